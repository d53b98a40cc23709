// The render engine on the program's kind of timeline: an xrvc recording
// (red), an uncompressed one (blue) and a still (green, fitted in mode 5)
// over a 440 Hz tone, rendered in output mode frame- and sample-exact into
// sinks of our filter base; the render range; seeking; front-end answers;
// picture placement.
#include "DexTestMedia.h"
#include "TestSupport.h"

#include "platform/dex/ChainFilters.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/DexInterfaces.h"
#include "platform/dex/FramePlacement.h"
#include "platform/dex/RenderEngine.h"
#include "platform/filters/SinkFilter.h"

#include <gtest/gtest.h>

using namespace dextest;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
const REFERENCE_TIME kSec = 10000000;
const CLSID kKeepSink = {0x6e0e0c11, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x20}};

// Keeps every sample's times and bytes.
class CKeepSink : public CSinkFilterBase {
public:
    CKeepSink() : CSinkFilterBase(kKeepSink, 1) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB32) || IsEqualGUID(mt->subtype, MEDIASUBTYPE_PCM) ? S_OK
                                                                                                           : S_FALSE;
    }
    HRESULT RenderSample(int, IMediaSample* sample) override
    {
        REFERENCE_TIME start = -1, stop = -1;
        sample->GetTime(&start, &stop);
        BYTE* data = NULL;
        sample->GetPointer(&data);
        CDsAutoLock lock(&m_lock);
        starts.push_back(start);
        data_.emplace_back(data, data + sample->GetActualDataLength());
        return S_OK;
    }
    std::vector<REFERENCE_TIME> starts;
    std::vector<std::vector<BYTE>> data_;

private:
    CDsLock m_lock;
};

struct Media {
    std::string a, b, t, s;
};

class RenderEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(NULL, COINIT_MULTITHREADED);
        media = {dir.File("A.avi"), dir.File("B.avi"), dir.File("T.wav"), dir.File("S.png")};
        AviPlan avi;
        avi.width = 320;
        avi.height = 240;
        avi.codec = kXrvc;
        avi.frameColours.assign(10, kRed);
        ASSERT_EQ("", WriteAvi(media.a, avi));
        avi.codec = 0;
        avi.frameColours.assign(10, kBlue);
        ASSERT_EQ("", WriteAvi(media.b, avi));
        ASSERT_TRUE(WriteToneWav(media.t, 22050, 440.0, 22050 * 4));
        ASSERT_TRUE(WriteSolidPng(media.s, 1280, 720, kGreen));
    }
    void TearDown() override { CoUninitialize(); }

    // A 0-2 s, B 2-4 s, S 4-5 s (mode 5) in a 320x240 video group at 10 fps;
    // T 0-4 s in a 22050 Hz mono audio group.
    IAMTimeline* BuildTimeline(bool withAudio = true)
    {
        IAMTimeline* tl = NULL;
        EXPECT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &tl));
        IAMTimelineTrack* video = AddGroup(tl, true);
        AddSource(tl, video, Wide(media.a), 0, 2, 0);
        AddSource(tl, video, Wide(media.b), 2, 4, 0);
        AddSource(tl, video, Wide(media.s) + L".XRVImg3", 4, 5, 5);
        video->Release();
        if (withAudio) {
            IAMTimelineTrack* audio = AddGroup(tl, false);
            AddSource(tl, audio, Wide(media.t), 0, 4, 0);
            audio->Release();
        }
        return tl;
    }
    IAMTimelineTrack* AddGroup(IAMTimeline* tl, bool video, LONG width = 320)
    {
        IAMTimelineObj* groupObj = NULL;
        tl->CreateEmptyNode(&groupObj, TIMELINE_MAJOR_TYPE_GROUP);
        IAMTimelineGroup* group = NULL;
        groupObj->QueryInterface(IID_IAMTimelineGroup, (void**)&group);
        AM_MEDIA_TYPE mt = {};
        VIDEOINFOHEADER vih = {};
        WAVEFORMATEX wfx = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
        if (video) {
            vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            vih.bmiHeader.biWidth = width;
            vih.bmiHeader.biHeight = 240;
            vih.bmiHeader.biBitCount = 32;
            mt.majortype = MEDIATYPE_Video;
            mt.formattype = FORMAT_VideoInfo;
            mt.cbFormat = sizeof(vih);
            mt.pbFormat = (BYTE*)&vih;
        } else {
            mt.majortype = MEDIATYPE_Audio;
            mt.formattype = FORMAT_WaveFormatEx;
            mt.cbFormat = sizeof(wfx);
            mt.pbFormat = (BYTE*)&wfx;
        }
        group->SetMediaType(&mt);
        group->SetOutputFPS(10.0);
        group->SetPreviewMode(FALSE);
        tl->AddGroup(groupObj);
        IAMTimelineComp* comp = NULL;
        groupObj->QueryInterface(IID_IAMTimelineComp, (void**)&comp);
        IAMTimelineObj* trackObj = NULL;
        tl->CreateEmptyNode(&trackObj, TIMELINE_MAJOR_TYPE_TRACK);
        comp->VTrackInsBefore(trackObj, -1);
        IAMTimelineTrack* track = NULL;
        trackObj->QueryInterface(IID_IAMTimelineTrack, (void**)&track);
        trackObj->Release();
        comp->Release();
        group->Release();
        groupObj->Release();
        return track;
    }
    void AddSource(IAMTimeline* tl, IAMTimelineTrack* track, const std::wstring& name, double start, double stop,
                   int stretch)
    {
        IAMTimelineObj* obj = NULL;
        tl->CreateEmptyNode(&obj, TIMELINE_MAJOR_TYPE_SOURCE);
        IAMTimelineSrc* src = NULL;
        obj->QueryInterface(IID_IAMTimelineSrc, (void**)&src);
        BSTR b = SysAllocString(name.c_str());
        src->SetMediaName(b);
        SysFreeString(b);
        src->SetMediaTimes(0, (REFERENCE_TIME)((stop - start) * kSec));
        src->SetStretchMode(stretch);
        obj->SetStartStop((REFERENCE_TIME)(start * kSec), (REFERENCE_TIME)(stop * kSec));
        EXPECT_EQ(S_OK, track->SrcAdd(obj));
        src->Release();
        obj->Release();
    }

    // Renders the engine's two pins into sinks until EC_COMPLETE.
    bool Render(IRenderEngine* engine, CKeepSink* video, CKeepSink* audio, LONGLONG seekTo = -1,
                LONGLONG* finalPosition = NULL)
    {
        IGraphBuilder* graph = NULL;
        engine->GetFilterGraph(&graph);
        graph->AddFilter(video, L"Video Sink");
        graph->AddFilter(audio, L"Audio Sink");
        IPin* vPin = NULL;
        IPin* aPin = NULL;
        bool ok = engine->GetGroupOutputPin(0, &vPin) == S_OK && engine->GetGroupOutputPin(1, &aPin) == S_OK &&
                  graph->ConnectDirect(vPin, video->InputPin(0), NULL) == S_OK &&
                  graph->ConnectDirect(aPin, audio->InputPin(0), NULL) == S_OK;
        if (vPin)
            vPin->Release();
        if (aPin)
            aPin->Release();
        IMediaControl* control = NULL;
        IMediaEvent* events = NULL;
        IMediaSeeking* seeking = NULL;
        graph->QueryInterface(IID_IMediaControl, (void**)&control);
        graph->QueryInterface(IID_IMediaEvent, (void**)&events);
        graph->QueryInterface(IID_IMediaSeeking, (void**)&seeking);
        if (ok && seekTo >= 0)
            ok = seeking->SetPositions(&seekTo, AM_SEEKING_AbsolutePositioning, NULL, AM_SEEKING_NoPositioning) == S_OK;
        long code = 0;
        ok = ok && control->Run() >= 0 && events->WaitForCompletion(60000, &code) == S_OK && code == EC_COMPLETE;
        if (finalPosition) {
            IMediaSeeking* sinkSeeking = NULL;
            video->QueryInterface(IID_IMediaSeeking, (void**)&sinkSeeking);
            sinkSeeking->GetCurrentPosition(finalPosition);
            sinkSeeking->Release();
        }
        control->Stop();
        seeking->Release();
        events->Release();
        control->Release();
        graph->Release();
        return ok;
    }

    testsupport::ScratchDir dir{"render"};
    Media media;
};

DWORD Pixel(const std::vector<BYTE>& frame, int x, int y) { return PixelAt(frame.data(), 320, 240, x, y); }

TEST_F(RenderEngineTest, OutputModeRendersEveryFrameAndSample)
{
    IAMTimeline* tl = BuildTimeline();
    IRenderEngine* engine = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_RenderEngine, &engine));
    ASSERT_EQ(S_OK, engine->SetTimelineObject(tl));
    ASSERT_EQ(S_OK, engine->ConnectFrontEnd());
    CKeepSink* video = new CKeepSink();
    CKeepSink* audio = new CKeepSink();
    video->AddRef();
    audio->AddRef();
    LONGLONG position = 0;
    ASSERT_TRUE(Render(engine, video, audio, -1, &position));
    EXPECT_EQ(1, video->CompleteCount());
    EXPECT_EQ(5 * kSec, position) << "the position rose to the end";

    ASSERT_EQ(50u, video->starts.size());
    for (size_t n = 0; n < 50; ++n)
        EXPECT_EQ((REFERENCE_TIME)n * kSec / 10, video->starts[n]) << "frame " << n;
    EXPECT_EQ(kRed, Pixel(video->data_[5], 160, 120));
    EXPECT_EQ(kRed, Pixel(video->data_[19], 0, 0));
    EXPECT_EQ(kBlue, Pixel(video->data_[20], 160, 120));
    EXPECT_EQ(kBlue, Pixel(video->data_[25], 319, 239));
    // The still, fitted in mode 5: 320x180 between 30-row black bands.
    const std::vector<BYTE>& still = video->data_[45];
    struct Row {
        int y;
        DWORD colour;
    } rows[] = {{0, 0}, {29, 0}, {30, kGreen}, {120, kGreen}, {209, kGreen}, {210, 0}, {239, 0}};
    for (const Row& r : rows) {
        EXPECT_EQ(r.colour, Pixel(still, 0, r.y)) << "row " << r.y;
        EXPECT_EQ(r.colour, Pixel(still, 319, r.y)) << "row " << r.y;
    }

    std::vector<short> samples;
    REFERENCE_TIME expectStart = 0;
    for (size_t i = 0; i < audio->data_.size(); ++i) {
        EXPECT_EQ((REFERENCE_TIME)samples.size() * kSec / 22050, audio->starts[i]) << "buffer " << i;
        const short* p = (const short*)audio->data_[i].data();
        samples.insert(samples.end(), p, p + audio->data_[i].size() / 2);
        (void)expectStart;
    }
    ASSERT_EQ(110250u, samples.size());
    std::vector<short> tone = Tone(22050, 440.0, 88200);
    EXPECT_TRUE(std::equal(tone.begin(), tone.end(), samples.begin())) << "440 Hz for 4 s, sample for sample";
    EXPECT_TRUE(std::all_of(samples.begin() + 88200, samples.end(), [](short s) { return s == 0; }))
        << "then silence";
    video->Release();
    audio->Release();
    engine->Release();
    tl->Release();
}

// The "Vol" envelope of an effect on the tone: full, half at 2 s and from
// there down linearly to nothing at 3 s (sample 50000, at 2.2675736 s, has
// 32768 - 32768 * 0.2675736 = 24001/65536).
TEST_F(RenderEngineTest, VolumeEnvelopeScalesTheSound)
{
    IAMTimeline* tl = BuildTimeline();
    IAMTimelineObj* groupObj = NULL;
    ASSERT_EQ(S_OK, tl->GetGroup(&groupObj, 1));
    IAMTimelineComp* comp = NULL;
    groupObj->QueryInterface(IID_IAMTimelineComp, (void**)&comp);
    IAMTimelineObj* trackObj = NULL;
    comp->GetVTrack(&trackObj, 0);
    IAMTimelineTrack* track = NULL;
    trackObj->QueryInterface(IID_IAMTimelineTrack, (void**)&track);
    IAMTimelineObj* source = NULL;
    REFERENCE_TIME at = 0;
    ASSERT_EQ(S_OK, track->GetNextSrc(&source, &at));

    IAMTimelineObj* fx = NULL;
    ASSERT_EQ(S_OK, tl->CreateEmptyNode(&fx, TIMELINE_MAJOR_TYPE_EFFECT));
    fx->SetSubObjectGUID(CLSID_AudMixer);
    fx->SetStartStop(0, 4 * kSec);
    IPropertySetter* setter = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_PropertySetter, &setter));
    DEXTER_PARAM param = {SysAllocString(L"Vol"), 0, 3};
    DEXTER_VALUE values[3];
    const double gains[3] = {1.0, 0.5, 0.0};
    const REFERENCE_TIME times[3] = {0, 2 * kSec, 3 * kSec};
    const DWORD interp[3] = {DEXTERF_JUMP, DEXTERF_JUMP, DEXTERF_INTERPOLATE};
    for (int i = 0; i < 3; ++i) {
        VariantInit(&values[i].v);
        values[i].v.vt = VT_R8;
        values[i].v.dblVal = gains[i];
        values[i].rt = times[i];
        values[i].dwInterp = interp[i];
    }
    ASSERT_EQ(S_OK, setter->AddProp(param, values));
    SysFreeString(param.name);
    ASSERT_EQ(S_OK, fx->SetPropertySetter(setter));
    IAMTimelineEffectable* effectable = NULL;
    ASSERT_EQ(S_OK, source->QueryInterface(IID_IAMTimelineEffectable, (void**)&effectable));
    ASSERT_EQ(S_OK, effectable->EffectInsBefore(fx, -1));

    IRenderEngine* engine = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_RenderEngine, &engine));
    engine->SetTimelineObject(tl);
    ASSERT_EQ(S_OK, engine->ConnectFrontEnd());
    CKeepSink* video = new CKeepSink();
    CKeepSink* audio = new CKeepSink();
    video->AddRef();
    audio->AddRef();
    ASSERT_TRUE(Render(engine, video, audio));
    std::vector<short> samples;
    for (const auto& d : audio->data_)
        samples.insert(samples.end(), (const short*)d.data(), (const short*)d.data() + d.size() / 2);
    ASSERT_EQ(110250u, samples.size());
    std::vector<short> tone = Tone(22050, 440.0, 88200);
    struct Check {
        size_t sample;
        int gain;   // in 1/65536
    } checks[] = {{5, 65536}, {44099, 65536}, {44100, 32768}, {50000, 24001}, {55125, 16384}, {66150, 0}, {80000, 0}};
    for (const Check& c : checks)
        EXPECT_EQ((int)(tone[c.sample] * (long long)c.gain / 65536), samples[c.sample]) << "sample " << c.sample;
    effectable->Release();
    setter->Release();
    fx->Release();
    source->Release();
    track->Release();
    trackObj->Release();
    comp->Release();
    groupObj->Release();
    video->Release();
    audio->Release();
    engine->Release();
    tl->Release();
}

TEST_F(RenderEngineTest, RenderRangeAndSeek)
{
    IAMTimeline* tl = BuildTimeline();
    struct Case {
        const char* name;
        REFERENCE_TIME rangeStart, rangeStop, seek;
        size_t frames, samples;
        DWORD first, tenth;
    } cases[] = {
        {"range 1-3 s", kSec, 3 * kSec, -1, 20, 44100, kRed, kBlue},
        {"seek to 3 s", 0, -1, 3 * kSec, 20, 44100, kBlue, kGreen},
    };
    for (const Case& c : cases) {
        IRenderEngine* engine = NULL;
        ASSERT_EQ(S_OK, DexCreate(CLSID_RenderEngine, &engine));
        engine->SetTimelineObject(tl);
        ASSERT_EQ(S_OK, engine->SetRenderRange(c.rangeStart, c.rangeStop)) << c.name;
        ASSERT_EQ(S_OK, engine->ConnectFrontEnd()) << c.name;
        CKeepSink* video = new CKeepSink();
        CKeepSink* audio = new CKeepSink();
        video->AddRef();
        audio->AddRef();
        ASSERT_TRUE(Render(engine, video, audio, c.seek)) << c.name;
        ASSERT_EQ(c.frames, video->starts.size()) << c.name;
        EXPECT_EQ(0, video->starts[0]) << c.name << ": times start at 0";
        EXPECT_EQ(c.first, Pixel(video->data_[0], 160, 120)) << c.name;
        EXPECT_EQ(c.tenth, Pixel(video->data_[10], 160, 120)) << c.name;
        size_t samples = 0;
        for (const auto& d : audio->data_)
            samples += d.size() / 2;
        EXPECT_EQ(c.samples, samples) << c.name;
        video->Release();
        audio->Release();
        engine->Release();
    }
    tl->Release();
}

TEST_F(RenderEngineTest, FrontEndAnswers)
{
    IRenderEngine* engine = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_RenderEngine, &engine));
    // A timeline without groups: success, no pins.
    IAMTimeline* empty = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &empty));
    engine->SetTimelineObject(empty);
    EXPECT_EQ(S_OK, engine->ConnectFrontEnd());
    IPin* pin = NULL;
    EXPECT_TRUE(FAILED(engine->GetGroupOutputPin(0, &pin)));
    EXPECT_EQ(NULL, pin);

    IAMTimeline* tl = BuildTimeline();
    engine->SetTimelineObject(tl);
    EXPECT_EQ(S_OK, engine->ConnectFrontEnd()) << "pins made where there were none";
    EXPECT_EQ(S_OK, engine->ConnectFrontEnd()) << "same pins";
    ASSERT_EQ(S_OK, engine->GetGroupOutputPin(0, &pin));
    AM_MEDIA_TYPE* mt = NULL;
    IEnumMediaTypes* types = NULL;
    pin->EnumMediaTypes(&types);
    ASSERT_EQ(S_OK, types->Next(1, &mt, NULL));
    EXPECT_EQ(320, ((VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader.biWidth);
    EXPECT_EQ(1000000, ((VIDEOINFOHEADER*)mt->pbFormat)->AvgTimePerFrame);
    DsDeleteMediaType(mt);
    types->Release();
    pin->Release();

    // A group of another size: the pins changed.
    IAMTimeline* wider = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &wider));
    IAMTimelineTrack* track = AddGroup(wider, true, 640);
    AddSource(wider, track, Wide(media.b), 0, 2, 0);
    track->Release();
    engine->SetTimelineObject(wider);
    EXPECT_EQ(S_WARN_OUTPUTRESET_DEX, engine->ConnectFrontEnd());

    // A source that cannot be opened: the failure names it.
    IAMTimeline* broken = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &broken));
    track = AddGroup(broken, true);
    std::wstring missing = Wide(dir.File("missing.avi"));
    AddSource(broken, track, missing, 0, 2, 0);
    track->Release();
    engine->SetTimelineObject(broken);
    SetErrorInfo(0, NULL);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), engine->ConnectFrontEnd());
    IErrorInfo* info = NULL;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    BSTR text = NULL;
    info->GetDescription(&text);
    EXPECT_NE(std::wstring::npos, std::wstring(text).find(missing));
    SysFreeString(text);
    info->Release();

    engine->Release();
    broken->Release();
    wider->Release();
    tl->Release();
    empty->Release();
}

// Transitions on a second track: A (red) on the lower track over 0-2 s, B
// (blue) on the upper one over 1-3 s with a transition over 1-2 s, at 10 fps;
// frame n has progress (n - 10) / 10.
struct TransitionCase {
    const char* what;
    const char* clsid;     // the transform's class; null: GUID_NULL
    BOOL swap, cutsOnly, enabled;
    REFERENCE_TIME cutPoint;
    bool withB;            // B on the upper track
    struct Probe {
        int frame, x, y;
        DWORD colour;
    } probes[5];
};

const REFERENCE_TIME kHalfSec = kSec / 2;
const char* const kFade = "{16B280C5-EE70-11D1-9066-00C04FD9189D}";
const char* const kInset = "{76F363F2-7E9F-4ED7-A6A7-EE30351B6628}";

const TransitionCase kTransitionCases[] = {
    {"Fade", kFade, FALSE, FALSE, TRUE, 0, true,
     {{9, 160, 120, kRed}, {10, 160, 120, kRed}, {15, 160, 120, 0x7F007F}, {20, 160, 120, kBlue}, {25, 0, 0, kBlue}}},
    // Inset grows from the picture's top-left corner, whatever the frame's row order.
    {"Inset", kInset, FALSE, FALSE, TRUE, 0, true,
     {{15, 2, 2, kBlue}, {15, 158, 118, kBlue}, {15, 162, 122, kRed}, {15, 317, 237, kRed}, {15, 2, 237, kRed}}},
    {"Inset, swapped inputs", kInset, TRUE, FALSE, TRUE, 0, true,
     {{15, 2, 2, kRed}, {15, 158, 118, kRed}, {15, 162, 122, kBlue}, {15, 317, 237, kBlue}, {20, 2, 2, kBlue}}},
    {"Fade without B: black comes in", kFade, FALSE, FALSE, TRUE, 0, false,
     {{10, 160, 120, kRed}, {15, 160, 120, 0x7F0000}, {15, 0, 0, 0x7F0000}, {15, 319, 239, 0x7F0000}, {5, 160, 120, kRed}}},
    {"Unknown transform: a cut at the cut point", "{01234567-89AB-CDEF-0123-456789ABCDEF}", FALSE, FALSE, TRUE,
     kHalfSec, true,
     {{10, 160, 120, kRed}, {14, 160, 120, kRed}, {15, 160, 120, kBlue}, {19, 0, 0, kBlue}, {20, 0, 0, kBlue}}},
    {"Cuts only", kFade, FALSE, TRUE, TRUE, kHalfSec, true,
     {{10, 160, 120, kRed}, {14, 160, 120, kRed}, {15, 160, 120, kBlue}, {19, 0, 0, kBlue}, {20, 0, 0, kBlue}}},
    {"Cut, swapped inputs", NULL, TRUE, FALSE, TRUE, kHalfSec, true,
     {{10, 160, 120, kBlue}, {14, 160, 120, kBlue}, {15, 160, 120, kRed}, {19, 0, 0, kRed}, {20, 0, 0, kBlue}}},
    {"Transitions disabled: B shows", kFade, FALSE, FALSE, FALSE, 0, true,
     {{9, 160, 120, kRed}, {10, 160, 120, kBlue}, {15, 160, 120, kBlue}, {19, 0, 0, kBlue}, {25, 0, 0, kBlue}}},
};

TEST_F(RenderEngineTest, TransitionsBlendTheTrackWithTheTracksBelow)
{
    for (const TransitionCase& c : kTransitionCases) {
        SCOPED_TRACE(c.what);
        IAMTimeline* tl = NULL;
        ASSERT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &tl));
        IAMTimelineTrack* lower = AddGroup(tl, true);
        AddSource(tl, lower, Wide(media.a), 0, 2, 0);
        IAMTimelineObj* groupObj = NULL;
        ASSERT_EQ(S_OK, tl->GetGroup(&groupObj, 0));
        IAMTimelineComp* comp = NULL;
        groupObj->QueryInterface(IID_IAMTimelineComp, (void**)&comp);
        IAMTimelineObj* upperObj = NULL;
        tl->CreateEmptyNode(&upperObj, TIMELINE_MAJOR_TYPE_TRACK);
        ASSERT_EQ(S_OK, comp->VTrackInsBefore(upperObj, -1));
        IAMTimelineTrack* upper = NULL;
        upperObj->QueryInterface(IID_IAMTimelineTrack, (void**)&upper);
        if (c.withB)
            AddSource(tl, upper, Wide(media.b), 1, 3, 0);

        IAMTimelineObj* transObj = NULL;
        tl->CreateEmptyNode(&transObj, TIMELINE_MAJOR_TYPE_TRANSITION);
        GUID sub = GUID_NULL;
        if (c.clsid)
            CLSIDFromString((LPOLESTR)Wide(c.clsid).c_str(), &sub);
        transObj->SetSubObjectGUID(sub);
        transObj->SetStartStop(1 * kSec, 2 * kSec);
        IAMTimelineTrans* trans = NULL;
        transObj->QueryInterface(IID_IAMTimelineTrans, (void**)&trans);
        trans->SetSwapInputs(c.swap);
        trans->SetCutsOnly(c.cutsOnly);
        trans->SetCutPoint(c.cutPoint);
        IAMTimelineTransable* transable = NULL;
        upperObj->QueryInterface(IID_IAMTimelineTransable, (void**)&transable);
        ASSERT_EQ(S_OK, transable->TransAdd(transObj));
        tl->EnableTransitions(c.enabled);

        IRenderEngine* engine = NULL;
        ASSERT_EQ(S_OK, DexCreate(CLSID_RenderEngine, &engine));
        ASSERT_EQ(S_OK, engine->SetTimelineObject(tl));
        ASSERT_EQ(S_OK, engine->ConnectFrontEnd());
        CKeepSink* video = new CKeepSink();
        video->AddRef();
        IGraphBuilder* graph = NULL;
        engine->GetFilterGraph(&graph);
        graph->AddFilter(video, L"Video Sink");
        IPin* pin = NULL;
        ASSERT_EQ(S_OK, engine->GetGroupOutputPin(0, &pin));
        ASSERT_EQ(S_OK, graph->ConnectDirect(pin, video->InputPin(0), NULL));
        pin->Release();
        IMediaControl* control = NULL;
        IMediaEvent* events = NULL;
        graph->QueryInterface(IID_IMediaControl, (void**)&control);
        graph->QueryInterface(IID_IMediaEvent, (void**)&events);
        long code = 0;
        ASSERT_GE(control->Run(), 0);
        ASSERT_EQ(S_OK, events->WaitForCompletion(60000, &code));
        control->Stop();
        // Transitions do not lengthen the timeline: without B it ends with A.
        ASSERT_EQ(c.withB ? 30u : 20u, video->data_.size());
        for (const TransitionCase::Probe& p : c.probes)
            EXPECT_EQ(p.colour, Pixel(video->data_[p.frame], p.x, p.y))
                << "frame " << p.frame << " at " << p.x << "," << p.y;

        events->Release();
        control->Release();
        graph->Release();
        video->Release();
        engine->Release();
        transable->Release();
        trans->Release();
        transObj->Release();
        upper->Release();
        upperObj->Release();
        comp->Release();
        groupObj->Release();
        lower->Release();
        tl->Release();
    }
}

// A transition on a composition: A (red) on a track over 0-2 s; above it a
// composition of two tracks, B (blue) over 1-3 s and a green still over
// 2.5-3 s, with the transition on the composition over 1-2 s. The
// composition's picture comes in over A as a track's would; after the
// transition its own layers decide (the still over B).
TEST_F(RenderEngineTest, TransitionsOnACompositionBlendWhatItShows)
{
    struct Case {
        const char* what;
        const char* clsid;
        BOOL swap;
        TransitionCase::Probe probes[5];
    } cases[] = {
        {"Fade", kFade, FALSE,
         {{9, 160, 120, kRed}, {15, 160, 120, 0x7F007F}, {20, 160, 120, kBlue}, {25, 160, 120, kGreen},
          {29, 5, 5, kGreen}}},
        {"Inset", kInset, FALSE,
         {{15, 2, 2, kBlue}, {15, 158, 118, kBlue}, {15, 162, 122, kRed}, {15, 317, 237, kRed}, {22, 2, 2, kBlue}}},
        {"Inset, swapped inputs", kInset, TRUE,
         {{15, 2, 2, kRed}, {15, 158, 118, kRed}, {15, 162, 122, kBlue}, {15, 317, 237, kBlue}, {25, 5, 5, kGreen}}},
        {"Unknown transform: a cut at the cut point", "{01234567-89AB-CDEF-0123-456789ABCDEF}", FALSE,
         {{14, 160, 120, kRed}, {15, 160, 120, kBlue}, {19, 0, 0, kBlue}, {20, 0, 0, kBlue}, {26, 0, 0, kGreen}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IAMTimeline* tl = NULL;
        ASSERT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &tl));
        IAMTimelineTrack* lower = AddGroup(tl, true);
        AddSource(tl, lower, Wide(media.a), 0, 2, 0);
        IAMTimelineObj* groupObj = NULL;
        ASSERT_EQ(S_OK, tl->GetGroup(&groupObj, 0));
        IAMTimelineComp* group = NULL;
        groupObj->QueryInterface(IID_IAMTimelineComp, (void**)&group);
        IAMTimelineObj* compObj = NULL;
        tl->CreateEmptyNode(&compObj, TIMELINE_MAJOR_TYPE_COMPOSITE);
        ASSERT_EQ(S_OK, group->VTrackInsBefore(compObj, -1));
        IAMTimelineComp* comp = NULL;
        compObj->QueryInterface(IID_IAMTimelineComp, (void**)&comp);
        for (int i = 0; i < 2; ++i) {
            IAMTimelineObj* trackObj = NULL;
            tl->CreateEmptyNode(&trackObj, TIMELINE_MAJOR_TYPE_TRACK);
            ASSERT_EQ(S_OK, comp->VTrackInsBefore(trackObj, -1));
            IAMTimelineTrack* track = NULL;
            trackObj->QueryInterface(IID_IAMTimelineTrack, (void**)&track);
            if (i == 0)
                AddSource(tl, track, Wide(media.b), 1, 3, 0);
            else
                AddSource(tl, track, Wide(media.s) + L".XRVImg3", 2.5, 3, 0);
            track->Release();
            trackObj->Release();
        }
        IAMTimelineObj* transObj = NULL;
        tl->CreateEmptyNode(&transObj, TIMELINE_MAJOR_TYPE_TRANSITION);
        GUID sub = GUID_NULL;
        CLSIDFromString((LPOLESTR)Wide(c.clsid).c_str(), &sub);
        transObj->SetSubObjectGUID(sub);
        transObj->SetStartStop(1 * kSec, 2 * kSec);
        IAMTimelineTrans* trans = NULL;
        transObj->QueryInterface(IID_IAMTimelineTrans, (void**)&trans);
        trans->SetSwapInputs(c.swap);
        trans->SetCutPoint(kHalfSec);
        IAMTimelineTransable* transable = NULL;
        ASSERT_EQ(S_OK, compObj->QueryInterface(IID_IAMTimelineTransable, (void**)&transable));
        ASSERT_EQ(S_OK, transable->TransAdd(transObj));

        IRenderEngine* engine = NULL;
        ASSERT_EQ(S_OK, DexCreate(CLSID_RenderEngine, &engine));
        ASSERT_EQ(S_OK, engine->SetTimelineObject(tl));
        ASSERT_EQ(S_OK, engine->ConnectFrontEnd());
        CKeepSink* video = new CKeepSink();
        video->AddRef();
        IGraphBuilder* graph = NULL;
        engine->GetFilterGraph(&graph);
        graph->AddFilter(video, L"Video Sink");
        IPin* pin = NULL;
        ASSERT_EQ(S_OK, engine->GetGroupOutputPin(0, &pin));
        ASSERT_EQ(S_OK, graph->ConnectDirect(pin, video->InputPin(0), NULL));
        pin->Release();
        IMediaControl* control = NULL;
        IMediaEvent* events = NULL;
        graph->QueryInterface(IID_IMediaControl, (void**)&control);
        graph->QueryInterface(IID_IMediaEvent, (void**)&events);
        long code = 0;
        ASSERT_GE(control->Run(), 0);
        ASSERT_EQ(S_OK, events->WaitForCompletion(60000, &code));
        control->Stop();
        ASSERT_EQ(30u, video->data_.size());
        for (const TransitionCase::Probe& p : c.probes)
            EXPECT_EQ(p.colour, Pixel(video->data_[p.frame], p.x, p.y))
                << "frame " << p.frame << " at " << p.x << "," << p.y;

        events->Release();
        control->Release();
        graph->Release();
        video->Release();
        engine->Release();
        transable->Release();
        trans->Release();
        transObj->Release();
        comp->Release();
        compObj->Release();
        group->Release();
        groupObj->Release();
        lower->Release();
        tl->Release();
    }
}

// Marks the picture's top-left pixel of every frame it gets with white and
// keeps the frame times it was given.
class CMarkingDrawer : public IOverlayFrameDrawer {
public:
    CMarkingDrawer() { InitializeCriticalSection(&lock); }
    ~CMarkingDrawer() { DeleteCriticalSection(&lock); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOverlayFrameDrawer)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)InterlockedIncrement(&ref); }
    STDMETHODIMP_(ULONG) Release() override { return (ULONG)InterlockedDecrement(&ref); }
    STDMETHODIMP DrawFrame(BYTE* scan0, LONG width, LONG height, LONG stride, LONGLONG time) override
    {
        EXPECT_EQ(320, width);
        EXPECT_EQ(240, height);
        strides.push_back(stride);
        times.push_back(time);
        ((DWORD*)scan0)[0] = 0xFFFFFF;
        return S_OK;
    }
    STDMETHODIMP_(CRITICAL_SECTION*) GetDrawLock() override { return &lock; }

    volatile LONG ref = 1;
    CRITICAL_SECTION lock;
    std::vector<LONG> strides;
    std::vector<LONGLONG> times;
};

// The overlay filter between the engine and a sink: each frame reaches the
// drawer upright (the top row first, rows running backwards in the bottom-up
// sample) at the start time set on the filter plus the sample's time, and
// without a drawer frames pass unchanged.
TEST_F(RenderEngineTest, OverlayFilterHandsFramesUprightAtTheirTimelineTime)
{
    struct Case {
        const char* what;
        bool withDrawer;
        LONGLONG startTime;
        LONGLONG seekTo;
    } cases[] = {
        {"no drawer", false, 0, -1},
        {"from the start", true, 0, -1},
        {"start time set", true, 30 * kSec, -1},
        {"after a seek, samples count from 0", true, 7 * kSec, kSec},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IAMTimeline* tl = BuildTimeline(false);
        IRenderEngine* engine = NULL;
        ASSERT_EQ(S_OK, DexCreate(CLSID_RenderEngine, &engine));
        ASSERT_EQ(S_OK, engine->SetTimelineObject(tl));
        ASSERT_EQ(S_OK, engine->ConnectFrontEnd());
        IBaseFilter* filter = NULL;
        ASSERT_EQ(S_OK, DexCreateOverlayFilter(IID_IBaseFilter, (void**)&filter));
        IXrvOverlay* overlay = NULL;
        ASSERT_EQ(S_OK, filter->QueryInterface(IID_IXrvOverlay, (void**)&overlay));
        CMarkingDrawer drawer;
        EXPECT_EQ(NULL, overlay->GetLock()) << "no lock without a drawer";
        if (c.withDrawer) {
            ASSERT_EQ(S_OK, overlay->SetDrawer(&drawer));
            EXPECT_EQ(&drawer.lock, overlay->GetLock());
        }
        ASSERT_EQ(S_OK, overlay->SetStartTime(c.startTime));
        // Asked to, the filter signals each frame it passed on.
        HANDLE delivered = CreateEventW(NULL, FALSE, FALSE, NULL);
        ASSERT_EQ(S_OK, overlay->SetValue(c.withDrawer ? 1 : 0, (LONG_PTR)delivered));
        CKeepSink* video = new CKeepSink();
        video->AddRef();
        IGraphBuilder* graph = NULL;
        engine->GetFilterGraph(&graph);
        graph->AddFilter(filter, L"Overlay");
        graph->AddFilter(video, L"Video Sink");
        IPin* pin = NULL;
        IEnumPins* pins = NULL;
        IPin* in = NULL;
        IPin* out = NULL;
        filter->EnumPins(&pins);
        pins->Next(1, &in, NULL);
        pins->Next(1, &out, NULL);
        pins->Release();
        ASSERT_EQ(S_OK, engine->GetGroupOutputPin(0, &pin));
        ASSERT_EQ(S_OK, graph->ConnectDirect(pin, in, NULL));
        ASSERT_EQ(S_OK, graph->ConnectDirect(out, video->InputPin(0), NULL));
        IMediaControl* control = NULL;
        IMediaEvent* events = NULL;
        IMediaSeeking* seeking = NULL;
        graph->QueryInterface(IID_IMediaControl, (void**)&control);
        graph->QueryInterface(IID_IMediaEvent, (void**)&events);
        graph->QueryInterface(IID_IMediaSeeking, (void**)&seeking);
        if (c.seekTo >= 0) {
            LONGLONG at = c.seekTo;
            ASSERT_EQ(S_OK, seeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, NULL, AM_SEEKING_NoPositioning));
        }
        long code = 0;
        ASSERT_GE(control->Run(), 0);
        ASSERT_EQ(S_OK, events->WaitForCompletion(60000, &code));
        control->Stop();

        const size_t frames = c.seekTo >= 0 ? 40 : 50;
        ASSERT_EQ(frames, video->data_.size());
        EXPECT_EQ(c.withDrawer ? (LONG)frames : 0, overlay->DrawnFrames());
        for (size_t n = 0; n < frames; ++n) {
            const std::vector<BYTE>& f = video->data_[n];
            // Every source fills the top and bottom rows alike (the still's bands too).
            EXPECT_EQ(c.withDrawer ? 0xFFFFFFu : Pixel(f, 0, 239), Pixel(f, 0, 0)) << "frame " << n << ", top-left";
            EXPECT_NE(0xFFFFFFu, Pixel(f, 0, 239)) << "frame " << n << ": the bottom row is untouched";
        }
        if (c.withDrawer) {
            ASSERT_EQ(frames, drawer.times.size());
            for (size_t n = 0; n < frames; ++n) {
                EXPECT_EQ(c.startTime + (LONGLONG)n * kSec / 10, drawer.times[n]) << "frame " << n;
                EXPECT_EQ(-320 * 4, drawer.strides[n]);
            }
        }
        EXPECT_EQ(c.withDrawer ? WAIT_OBJECT_0 : WAIT_TIMEOUT, WaitForSingleObject(delivered, 0))
            << "the frame event is set only while asked for";
        ASSERT_EQ(S_OK, overlay->SetValue(0, 0));
        CloseHandle(delivered);
        ASSERT_EQ(S_OK, overlay->SetDrawer(NULL));
        EXPECT_EQ(1, drawer.ref) << "the filter let go of the drawer";

        in->Release();
        out->Release();
        pin->Release();
        seeking->Release();
        events->Release();
        control->Release();
        graph->Release();
        video->Release();
        overlay->Release();
        filter->Release();
        engine->Release();
        tl->Release();
    }
}

TEST(FramePlacement, ModesPlaceAndCut)
{
    struct Case {
        const char* name;
        LONG sw, sh, dw, dh;
        int mode;
        FramePlace expect;
    } cases[] = {
        {"stretch", 1280, 720, 320, 240, 0, {0, 0, 320, 240}},
        {"crop keeps natural size, centred", 100, 50, 320, 240, 1, {110, 95, 100, 50}},
        {"crop of a larger picture cuts it", 400, 300, 320, 240, 1, {-40, -30, 400, 300}},
        {"aspect, bands top and bottom", 1280, 720, 320, 240, 2, {0, 30, 320, 180}},
        {"aspect enlarges", 160, 90, 320, 240, 2, {0, 30, 320, 180}},
        {"aspect without bands covers", 1280, 720, 320, 240, 3, {-53, 0, 426, 240}},
        {"mode 5 fits a larger picture", 1280, 720, 320, 240, 5, {0, 30, 320, 180}},
        {"mode 5 never enlarges", 160, 90, 320, 240, 5, {80, 75, 160, 90}},
        {"mode 5, tall picture", 300, 600, 320, 240, 5, {100, 0, 120, 240}},
    };
    for (const Case& c : cases) {
        FramePlace p = PlacePicture(c.sw, c.sh, c.dw, c.dh, c.mode);
        EXPECT_EQ(c.expect.x, p.x) << c.name;
        EXPECT_EQ(c.expect.y, p.y) << c.name;
        EXPECT_EQ(c.expect.w, p.w) << c.name;
        EXPECT_EQ(c.expect.h, p.h) << c.name;
    }
    // Drawing a 2x1 picture (left red, right blue) stretched into 4x2.
    DWORD src[2] = {kRed, kBlue};
    DWORD dst[8] = {};
    DrawPicture((const BYTE*)src, 2, 1, (BYTE*)dst, 4, 2, PlacePicture(2, 1, 4, 2, 0));
    const DWORD expect[8] = {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(expect[i], dst[i]) << i;
}

TEST(FramePlacement, MulDiv64DoesNotOverflow)
{
    struct Case {
        LONGLONG a, b, c, expect;
    } cases[] = {
        {10, 3, 4, 7},
        {36000000000LL, 36000000000LL, 72000000000LL, 18000000000LL},
        {9000000000000LL, 44100, 10000000, 39690000000LL},
        {0, 5, 3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expect, MulDiv64(c.a, c.b, c.c)) << c.a << "*" << c.b << "/" << c.c;
}

}  // namespace
