// The render engine in output mode: a 1920 x 1080, 15 fps xrvc recording
// with 22050 Hz sound, on a timeline as the editor makes it, rendered with
// every frame and sample into sinks that keep nothing. Prints wall time per
// media time (the aim is at most 0.25) and the time spent making the
// recording. Run by hand (bench/render_output.sh), never by the tests.
//
//   render_output.exe <scratch folder> [seconds]
#include "capture/AviInterleaveWriter.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/DexInterfaces.h"
#include "platform/filters/SinkFilter.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <vfw.h>

#include <string>
#include <vector>

namespace {

const int kWidth = 1920;
const int kHeight = 1080;
const DWORD kFps = 15;
const DWORD kRate = 22050;
const REFERENCE_TIME kSecond = 10000000;
const CLSID kNullSink = {0x6e0e0c11, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x31}};

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

// Counts what reaches it.
class CNullSink : public CSinkFilterBase {
public:
    CNullSink() : CSinkFilterBase(kNullSink, 1) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT RenderSample(int, IMediaSample* sample) override
    {
        ++samples;
        bytes += sample->GetActualDataLength();
        return S_OK;
    }
    LONG samples = 0;
    LONGLONG bytes = 0;
};

// A desktop-like picture: a static pattern of panels with a window that moves
// and a changing clock area, so that the codec sees small changes per frame.
void PaintFrame(std::vector<DWORD>& pixels, int n)
{
    for (int y = 0; y < kHeight; ++y) {
        DWORD* row = &pixels[(size_t)(kHeight - 1 - y) * kWidth];
        for (int x = 0; x < kWidth; ++x)
            row[x] = (y < 40) ? 0x203040 : ((x / 240 + y / 135) % 2 ? 0xD0D0D0 : 0xE8E8F0);
    }
    const int wx = 200 + (n * 7) % 1200, wy = 150 + (n * 3) % 600;
    for (int y = wy; y < wy + 300; ++y) {
        DWORD* row = &pixels[(size_t)(kHeight - 1 - y) * kWidth];
        for (int x = wx; x < wx + 420; ++x)
            row[x] = y < wy + 24 ? 0x2050A0 : (((x - wx) / 6 + (y - wy) / 12 + n) % 9 ? 0xFFFFFF : 0x101010);
    }
}

// The recording as the recorder writes it: frames compressed by the
// installed xrvc codec, each followed by its share of the sound, through the
// recorder's interleaving writer.
bool WriteRecording(const std::wstring& path, int seconds)
{
    BITMAPINFOHEADER bih = {sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 32, BI_RGB, kWidth * kHeight * 4, 0, 0, 0, 0};
    HIC hic = ICOpen(ICTYPE_VIDEO, mmioFOURCC('x', 'r', 'v', 'c'), ICMODE_COMPRESS);
    if (!hic)
        return false;
    COMPVARS cv = {};
    cv.cbSize = sizeof(cv);
    cv.dwFlags = ICMF_COMPVARS_VALID;
    cv.hic = hic;
    cv.fccType = ICTYPE_VIDEO;
    cv.fccHandler = mmioFOURCC('x', 'r', 'v', 'c');
    cv.lKey = (LONG)kFps * 10;
    cv.lQ = ICQUALITY_DEFAULT;
    BITMAPINFO in = {};
    in.bmiHeader = bih;
    if (!ICSeqCompressFrameStart(&cv, &in)) {
        ICClose(hic);
        return false;
    }
    LONG formatSize = (LONG)ICCompressGetFormatSize(hic, &in);
    std::vector<BYTE> outFormat(formatSize > 0 ? formatSize : sizeof(bih));
    ICCompressGetFormat(hic, &in, (BITMAPINFO*)outFormat.data());

    AVISTREAMINFOA vsi = {};
    vsi.fccType = streamtypeVIDEO;
    vsi.fccHandler = cv.fccHandler;
    vsi.dwScale = 1;
    vsi.dwRate = kFps;
    SetRect(&vsi.rcFrame, 0, 0, kWidth, kHeight);
    WAVEFORMATEX wfx = {WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
    AVISTREAMINFOA asi = {};
    asi.fccType = streamtypeAUDIO;
    asi.dwScale = 1;
    asi.dwRate = kRate;
    asi.dwSampleSize = 2;
    std::string narrow(path.begin(), path.end());
    CAviInterleaveWriter writer;
    bool ok = writer.Create(narrow.c_str(), vsi, outFormat.data(), (LONG)outFormat.size(), asi, &wfx, sizeof(wfx));
    std::vector<DWORD> pixels((size_t)kWidth * kHeight);
    std::vector<short> tone(kRate / kFps);
    LONG sample = 0;
    for (int n = 0; ok && n < seconds * (int)kFps; ++n) {
        PaintFrame(pixels, n);
        BOOL key = FALSE;
        LONG size = (LONG)(pixels.size() * 4);
        void* data = ICSeqCompressFrame(&cv, 0, pixels.data(), &key, &size);
        ok = data && writer.WriteVideo(data, (DWORD)size, key);
        for (size_t i = 0; i < tone.size(); ++i, ++sample)
            tone[i] = (short)(8000 * sin(2 * 3.14159265358979 * 440.0 * sample / kRate));
        ok = ok && writer.WriteAudio(tone.data(), (DWORD)(tone.size() * 2), (DWORD)tone.size());
    }
    ICSeqCompressFrameEnd(&cv);
    ICCompressorFree(&cv);
    return writer.Close() && ok;
}

IAMTimelineTrack* AddGroup(IAMTimeline* tl, bool video)
{
    IAMTimelineObj* groupObj = NULL;
    tl->CreateEmptyNode(&groupObj, TIMELINE_MAJOR_TYPE_GROUP);
    IAMTimelineGroup* group = NULL;
    groupObj->QueryInterface(IID_IAMTimelineGroup, (void**)&group);
    AM_MEDIA_TYPE mt = {};
    VIDEOINFOHEADER vih = {};
    WAVEFORMATEX wfx = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    if (video) {
        vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih.bmiHeader.biWidth = kWidth;
        vih.bmiHeader.biHeight = kHeight;
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
    group->SetOutputFPS(kFps);
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

void AddSource(IAMTimeline* tl, IAMTimelineTrack* track, const std::wstring& name, int seconds)
{
    IAMTimelineObj* obj = NULL;
    tl->CreateEmptyNode(&obj, TIMELINE_MAJOR_TYPE_SOURCE);
    IAMTimelineSrc* src = NULL;
    obj->QueryInterface(IID_IAMTimelineSrc, (void**)&src);
    BSTR b = SysAllocString(name.c_str());
    src->SetMediaName(b);
    SysFreeString(b);
    src->SetMediaTimes(0, seconds * kSecond);
    obj->SetStartStop(0, seconds * kSecond);
    track->SrcAdd(obj);
    src->Release();
    obj->Release();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: render_output.exe <scratch folder> [seconds]\n");
        return 2;
    }
    const int seconds = argc > 2 ? _wtoi(argv[2]) : 60;
    CoInitializeEx(NULL, COINIT_MULTITHREADED);
    const std::wstring path = std::wstring(argv[1]) + L"\\render_output.avi";
    double t0 = Now();
    if (!WriteRecording(path, seconds)) {
        fprintf(stderr, "cannot write the recording (is the xrvc codec installed?)\n");
        return 1;
    }
    double made = Now() - t0;

    IAMTimeline* tl = NULL;
    IRenderEngine* engine = NULL;
    if (FAILED(DexCreate(CLSID_AMTimeline, &tl)) || FAILED(DexCreate(CLSID_RenderEngine, &engine)))
        return 1;
    IAMTimelineTrack* video = AddGroup(tl, true);
    AddSource(tl, video, path, seconds);
    IAMTimelineTrack* audio = AddGroup(tl, false);
    AddSource(tl, audio, path, seconds);
    engine->SetTimelineObject(tl);
    if (FAILED(engine->ConnectFrontEnd())) {
        fprintf(stderr, "ConnectFrontEnd failed\n");
        return 1;
    }
    IGraphBuilder* graph = NULL;
    engine->GetFilterGraph(&graph);
    CNullSink* sinks[2] = {new CNullSink(), new CNullSink()};
    for (int g = 0; g < 2; ++g) {
        sinks[g]->AddRef();
        graph->AddFilter(sinks[g], g ? L"Audio" : L"Video");
        IPin* pin = NULL;
        engine->GetGroupOutputPin(g, &pin);
        if (!pin || FAILED(graph->ConnectDirect(pin, sinks[g]->InputPin(0), NULL))) {
            fprintf(stderr, "cannot connect group %d\n", g);
            return 1;
        }
        pin->Release();
    }
    IMediaControl* control = NULL;
    IMediaEvent* events = NULL;
    graph->QueryInterface(IID_IMediaControl, (void**)&control);
    graph->QueryInterface(IID_IMediaEvent, (void**)&events);
    double t1 = Now();
    control->Run();
    long code = 0;
    events->WaitForCompletion(INFINITE, &code);
    double wall = Now() - t1;
    control->Stop();

    printf("recording: %d s of %dx%d at %lu fps with %lu Hz sound (made in %.1f s)\n", seconds, kWidth, kHeight,
           (unsigned long)kFps, (unsigned long)kRate, made);
    printf("rendered: %ld frames, %ld audio buffers, completion code %ld\n", sinks[0]->samples, sinks[1]->samples,
           code);
    printf("wall time / media time: %.3f (aim: at most 0.25)\n", wall / seconds);
    events->Release();
    control->Release();
    graph->Release();
    sinks[0]->Release();
    sinks[1]->Release();
    video->Release();
    audio->Release();
    engine->Release();
    tl->Release();
    DeleteFileW(path.c_str());
    CoUninitialize();
    return 0;
}
