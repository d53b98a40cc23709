// The AVI multiplexer with our file writer under Wine's filter graph: video
// and PCM become an AVI whose frames, rate, size and sound ffprobe reads;
// interleaving orders the chunks by time; INFO texts come from a property
// bag; a lowered RIFF limit gives AVI 2.0 forms that ffprobe counts in full.
#include "WriterTestUtil.h"

#include "MediaTestUtil.h"
#include "TestSupport.h"

#include "platform/dex/DexFactory.h"
#include "platform/filters/AviMux.h"

#include <gtest/gtest.h>

#include <map>

using namespace writertest;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

template <class T> T* Adopt(T* filter)
{
    filter->AddRef();
    return filter;
}

std::string Tone(DWORD rate, double seconds)
{
    return mediatest::Sine16(rate, 1, 440.0, seconds, 0.5);
}

struct AviPlan {
    int width = 64, height = 48, fps = 10, frames = 20;
    DWORD rate = 22050;
    double seconds = 2.0;   // 0: no audio
    InterleavingMode mode = INTERLEAVE_NONE;
    REFERENCE_TIME period = 10000000;
    IMediaPropertyBag* bag = NULL;
};

// Video (and sound) -> "Kestravon Avi Mux" -> "Kestravon File Writer".
long WriteAvi(const std::string& path, const AviPlan& plan, std::string* audio = NULL)
{
    Ref<CVideoSource> video(Adopt(new CVideoSource(plan.width, plan.height, plan.fps, plan.frames)));
    std::string pcm = plan.seconds > 0 ? Tone(plan.rate, plan.seconds) : std::string();
    if (audio)
        *audio = pcm;
    Ref<CPcmSource> sound(Adopt(new CPcmSource(mediatest::PcmFormat(plan.rate, 1, 16), pcm)));
    Ref<IBaseFilter> mux, writer;
    if (FAILED(DexCreate(CLSID_AviDest, &mux.p)) || FAILED(DexCreate(CLSID_FileWriter, &writer.p)))
        return -2;
    Ref<IFileSinkFilter2> sink;
    writer->QueryInterface(IID_IFileSinkFilter2, (void**)&sink);
    sink->SetMode(AM_FILE_OVERWRITE);
    sink->SetFileName(Wide(path).c_str(), NULL);
    Ref<IConfigInterleaving> interleaving;
    if (FAILED(mux->QueryInterface(IID_IConfigInterleaving, (void**)&interleaving)))
        return -3;
    interleaving->put_Mode(plan.mode);
    REFERENCE_TIME preroll = 7500000;
    interleaving->put_Interleaving(&plan.period, &preroll);
    if (plan.bag) {
        Ref<IPersistMediaPropertyBag> persist;
        if (FAILED(mux->QueryInterface(IID_IPersistMediaPropertyBag, (void**)&persist)) ||
            FAILED(persist->Load(plan.bag, NULL)))
            return -4;
    }
    TestGraph g;
    if (FAILED(g.Add(video, L"Video")) || FAILED(g.Add(mux, L"Kestravon Avi Mux")) ||
        FAILED(g.Add(writer, L"Kestravon File Writer")) || FAILED(g.Connect(video, mux)))
        return -5;
    if (plan.seconds > 0 && (FAILED(g.Add(sound, L"Sound")) || FAILED(g.Connect(sound, mux))))
        return -6;
    if (FAILED(g.Connect(mux, writer)))
        return -7;
    return g.RunToCompletion();
}

// The chunks of every "movi" list, in file order, and the forms' types.
struct AviLayout {
    std::vector<std::string> forms;      // "AVI ", "AVIX"...
    std::vector<std::string> chunkIds;   // "00db", "01wb", "ix00"...
    std::vector<DWORD> chunkSizes;
    bool idx1 = false;
    DWORD idx1Entries = 0;
    DWORD avihFlags = 0;
    bool ok = false;
};

AviLayout ReadLayout(const std::string& path)
{
    AviLayout l;
    std::string f;
    if (!testsupport::ReadFileBytes(path, &f))
        return l;
    auto d = [&](size_t at) { return at + 4 <= f.size() ? *reinterpret_cast<const DWORD*>(&f[at]) : 0u; };
    size_t pos = 0;
    while (pos + 12 <= f.size()) {
        if (f.compare(pos, 4, "RIFF") != 0)
            return l;
        size_t end = pos + 8 + d(pos + 4);
        if (end > f.size())
            return l;
        l.forms.push_back(f.substr(pos + 8, 4));
        for (size_t at = pos + 12; at + 8 <= end;) {
            std::string id = f.substr(at, 4);
            DWORD size = d(at + 4);
            if (id == "LIST" && f.compare(at + 8, 4, "movi") == 0) {
                for (size_t c = at + 12; c + 8 <= at + 8 + size;) {
                    l.chunkIds.push_back(f.substr(c, 4));
                    l.chunkSizes.push_back(d(c + 4));
                    c += 8 + d(c + 4) + (d(c + 4) & 1);
                }
            } else if (id == "LIST" && f.compare(at + 8, 4, "hdrl") == 0 && f.compare(at + 12, 4, "avih") == 0) {
                l.avihFlags = d(at + 12 + 8 + 12);
            } else if (id == "idx1") {
                l.idx1 = true;
                l.idx1Entries = size / 16;
            }
            at += 8 + size + (size & 1);
        }
        pos = end;
    }
    l.ok = pos == f.size();
    return l;
}

class AviMuxTest : public ::testing::Test {
protected:
    void TearDown() override { DsSetAviRiffLimit(0); }
    ComScope com;
    testsupport::ScratchDir dir;
};

TEST_F(AviMuxTest, FfprobeReadsFramesRateSizeAndTheWholeSound)
{
    struct Case {
        const char* name;
        int width, height, fps, frames;
        DWORD rate;
        double seconds;
    } cases[] = {
        {"64x48 at 10 fps with 2 s of 22050 Hz", 64, 48, 10, 20, 22050, 2.0},
        {"odd width 33x17 at 15 fps with 1 s of 8000 Hz", 33, 17, 15, 15, 8000, 1.0},
        {"video only", 64, 48, 25, 10, 0, 0.0},
    };
    for (const Case& c : cases) {
        AviPlan plan;
        plan.width = c.width;
        plan.height = c.height;
        plan.fps = c.fps;
        plan.frames = c.frames;
        plan.rate = c.rate ? c.rate : 8000;
        plan.seconds = c.seconds;
        std::string path = dir.File("plain.avi"), pcm;
        ASSERT_EQ(EC_COMPLETE, WriteAvi(path, plan, &pcm)) << c.name;
        EXPECT_EQ(std::to_string(c.frames), ProbeEntry(path, "v:0", "nb_read_frames")) << c.name;
        EXPECT_EQ(std::to_string(c.width), ProbeEntry(path, "v:0", "width")) << c.name;
        EXPECT_EQ(std::to_string(c.height), ProbeEntry(path, "v:0", "height")) << c.name;
        EXPECT_EQ(std::to_string(c.fps) + "/1", ProbeEntry(path, "v:0", "r_frame_rate")) << c.name;
        AviLayout layout = ReadLayout(path);
        ASSERT_TRUE(layout.ok) << c.name;
        EXPECT_TRUE(layout.idx1) << c.name;
        EXPECT_EQ(layout.chunkIds.size(), layout.idx1Entries) << c.name;
        EXPECT_EQ(std::vector<std::string>{"AVI "}, layout.forms) << c.name;
        if (c.seconds > 0) {
            EXPECT_EQ(std::to_string(c.rate), ProbeEntry(path, "a:0", "sample_rate")) << c.name;
            std::string stored = AudioBytes(path, dir.File("sound.raw"));
            EXPECT_EQ(pcm.size(), stored.size()) << c.name;
            EXPECT_TRUE(pcm == stored) << c.name;
        } else {
            EXPECT_EQ("", ProbeEntry(path, "a:0", "sample_rate")) << c.name;
        }
    }
}

// With full interleaving, no stream runs ahead of the other by more than one
// period (and one frame); audio goes in pieces of at most one period.
TEST_F(AviMuxTest, InterleavingKeepsStreamsTogether)
{
    struct Case {
        const char* name;
        InterleavingMode mode;
        REFERENCE_TIME period;
        bool interleaved;
    } cases[] = {
        {"none", INTERLEAVE_NONE, 10000000, false},
        {"full, 1 s", INTERLEAVE_FULL, 10000000, true},
        {"full, one frame", INTERLEAVE_FULL, 1000000, true},
    };
    for (const Case& c : cases) {
        AviPlan plan;
        plan.frames = 30;
        plan.seconds = 3.0;
        plan.mode = c.mode;
        plan.period = c.period;
        std::string path = dir.File("interleave.avi"), pcm;
        ASSERT_EQ(EC_COMPLETE, WriteAvi(path, plan, &pcm)) << c.name;
        AviLayout layout = ReadLayout(path);
        ASSERT_TRUE(layout.ok) << c.name;
        EXPECT_EQ(c.interleaved, (layout.avihFlags & 0x100) != 0) << c.name;
        EXPECT_EQ(pcm, AudioBytes(path, dir.File("sound.raw"))) << c.name;
        EXPECT_EQ("30", ProbeEntry(path, "v:0", "nb_read_frames")) << c.name;
        if (!c.interleaved)
            continue;
        const double byteTime = 1.0 / (22050 * 2);
        const double periodSeconds = c.period / 1e7;
        double videoTime = 0, audioTime = 0, worst = 0;
        for (size_t i = 0; i < layout.chunkIds.size(); ++i) {
            if (layout.chunkIds[i] == "00db")
                videoTime += 0.1;
            if (layout.chunkIds[i] == "01wb") {
                EXPECT_LE(layout.chunkSizes[i] * byteTime, periodSeconds + 1e-9) << c.name;
                audioTime += layout.chunkSizes[i] * byteTime;
            }
            worst = std::max(worst, std::abs(videoTime - audioTime));
        }
        EXPECT_LE(worst, periodSeconds + 0.1 + 1e-6) << c.name;
    }
}

TEST_F(AviMuxTest, InfoTextsComeFromThePropertyBag)
{
    struct Case {
        const char* name;
        std::vector<std::pair<std::wstring, std::wstring>> props;
        std::string tags;
    } cases[] = {
        {"author only", {{L"INFO/IART", L"Ann"}}, "TAG:artist=Ann"},
        {"author, subject, copyright",
         {{L"INFO/IART", L"Ann"}, {L"INFO/ISBJ", L"A talk"}, {L"INFO/ICOP", L"(c) 2026"}},
         "TAG:artist=Ann\nTAG:copyright=(c) 2026\nTAG:subject=A talk"},
        {"names that are not INFO texts are left", {{L"Description", L"x"}, {L"INFO/TOOLONG", L"y"}}, ""},
        {"an empty text is not written", {{L"INFO/IART", L""}}, ""},
    };
    for (const Case& c : cases) {
        Ref<IMediaPropertyBag> bag;
        ASSERT_EQ(S_OK, DexCreate(CLSID_MediaPropertyBag, &bag.p)) << c.name;
        for (const auto& p : c.props) {
            VARIANT v;
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocString(p.second.c_str());
            EXPECT_EQ(S_OK, bag->Write(p.first.c_str(), &v)) << c.name;
            VariantClear(&v);
        }
        AviPlan plan;
        plan.frames = 5;
        plan.seconds = 0.5;
        plan.bag = bag;
        std::string path = dir.File("info.avi");
        ASSERT_EQ(EC_COMPLETE, WriteAvi(path, plan)) << c.name;
        EXPECT_EQ(c.tags, ProbeTags(path)) << c.name;
        EXPECT_EQ("5", ProbeEntry(path, "v:0", "nb_read_frames")) << c.name;
    }
}

TEST_F(AviMuxTest, PastTheRiffLimitTheFileContinuesInAvi2Forms)
{
    // 9,216-byte frames: about 21 per 200,000-byte form.
    DsSetAviRiffLimit(200000);
    AviPlan plan;
    plan.frames = 100;
    plan.seconds = 10.0;
    plan.mode = INTERLEAVE_FULL;
    std::string path = dir.File("big.avi"), pcm;
    ASSERT_EQ(EC_COMPLETE, WriteAvi(path, plan, &pcm));
    AviLayout layout = ReadLayout(path);
    ASSERT_TRUE(layout.ok);
    ASSERT_GE(layout.forms.size(), 5u);
    EXPECT_EQ("AVI ", layout.forms[0]);
    for (size_t i = 1; i < layout.forms.size(); ++i)
        EXPECT_EQ("AVIX", layout.forms[i]) << i;
    EXPECT_TRUE(layout.idx1);
    std::string file;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, &file));
    EXPECT_NE(std::string::npos, file.find("dmlh"));
    EXPECT_NE(std::string::npos, file.find("indx"));
    // Every form within the limit.
    size_t pos = 0;
    while (pos + 8 <= file.size()) {
        DWORD size = *reinterpret_cast<const DWORD*>(&file[pos + 4]);
        EXPECT_LE(size + 8u, 200000u) << "form at " << pos;
        pos += 8 + size;
    }
    EXPECT_EQ("100", ProbeEntry(path, "v:0", "nb_read_frames"));
    EXPECT_EQ("10/1", ProbeEntry(path, "v:0", "r_frame_rate"));
    EXPECT_TRUE(pcm == AudioBytes(path, dir.File("sound.raw")));
    double seconds = atof(ProbeEntry(path, "v:0", "duration").c_str());
    EXPECT_NEAR(10.0, seconds, 0.11);
}

// Recordings keep their exact rate: the frame durations the graph carries
// are rounded, the stream header is not.
TEST(AviMuxRate, FrameDurationsGiveTheirExactRate)
{
    struct Case {
        REFERENCE_TIME frame;
        DWORD rate, scale;
    } cases[] = {
        {666666, 15, 1},          {666667, 15, 1},     {333667, 30000, 1001}, {333666, 30000, 1001},
        {333333, 30, 1},          {417083, 24000, 1001}, {1000000, 10, 1},    {10000000, 1, 1},
        {750000000, 1, 75},       {1234321, 10000000, 1234321},
    };
    for (const Case& c : cases) {
        DWORD rate = 0, scale = 0;
        DsAviFrameRate(c.frame, &rate, &scale);
        EXPECT_EQ(c.rate, rate) << c.frame;
        EXPECT_EQ(c.scale, scale) << c.frame;
    }
}

TEST_F(AviMuxTest, ConfigurationChecksItsArguments)
{
    Ref<IBaseFilter> mux;
    ASSERT_EQ(S_OK, DexCreate(CLSID_AviDest, &mux.p));
    Ref<IConfigInterleaving> interleaving;
    ASSERT_EQ(S_OK, mux->QueryInterface(IID_IConfigInterleaving, (void**)&interleaving));
    EXPECT_EQ(E_INVALIDARG, interleaving->put_Mode((InterleavingMode)7));
    REFERENCE_TIME zero = 0, negative = -1, good = 5000000;
    EXPECT_EQ(E_INVALIDARG, interleaving->put_Interleaving(&zero, NULL));
    EXPECT_EQ(E_INVALIDARG, interleaving->put_Interleaving(NULL, &negative));
    EXPECT_EQ(S_OK, interleaving->put_Interleaving(&good, &good));
    REFERENCE_TIME period = 0, preroll = 0;
    EXPECT_EQ(S_OK, interleaving->get_Interleaving(&period, &preroll));
    EXPECT_EQ(good, period);
    EXPECT_EQ(good, preroll);
    Ref<IPersistMediaPropertyBag> persist;
    ASSERT_EQ(S_OK, mux->QueryInterface(IID_IPersistMediaPropertyBag, (void**)&persist));
    EXPECT_EQ(E_POINTER, persist->Load(NULL, NULL));

    // The inputs take video (first) and sound (second) with usable formats only.
    Ref<IEnumPins> pins;
    ASSERT_EQ(S_OK, mux->EnumPins(&pins));
    Ref<IPin> video, audio;
    ASSERT_EQ(S_OK, pins->Next(1, &video, NULL));
    ASSERT_EQ(S_OK, pins->Next(1, &audio, NULL));
    VIDEOINFOHEADER vih = {};
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = 64;
    vih.bmiHeader.biHeight = 48;
    VIDEOINFOHEADER noWidth = vih;
    noWidth.bmiHeader.biWidth = 0;
    WAVEFORMATEX pcm = mediatest::PcmFormat(22050, 1, 16);
    WAVEFORMATEX noBlock = pcm;
    noBlock.nBlockAlign = 0;
    struct Case {
        const char* name;
        IPin* pin;
        GUID major, formatType;
        const void* format;
        ULONG size;
        HRESULT expected;
    } cases[] = {
        {"video", video, MEDIATYPE_Video, FORMAT_VideoInfo, &vih, sizeof(vih), S_OK},
        {"video, width 0", video, MEDIATYPE_Video, FORMAT_VideoInfo, &noWidth, sizeof(vih), S_FALSE},
        {"video, short block", video, MEDIATYPE_Video, FORMAT_VideoInfo, &vih, 20, S_FALSE},
        {"sound on the video input", video, MEDIATYPE_Audio, FORMAT_WaveFormatEx, &pcm, sizeof(pcm), S_FALSE},
        {"sound", audio, MEDIATYPE_Audio, FORMAT_WaveFormatEx, &pcm, sizeof(pcm), S_OK},
        {"sound, block align 0", audio, MEDIATYPE_Audio, FORMAT_WaveFormatEx, &noBlock, sizeof(pcm), S_FALSE},
    };
    for (const Case& c : cases) {
        AM_MEDIA_TYPE mt = {};
        mt.majortype = c.major;
        mt.formattype = c.formatType;
        mt.pbFormat = (BYTE*)c.format;
        mt.cbFormat = c.size;
        EXPECT_EQ(c.expected, c.pin->QueryAccept(&mt)) << c.name;
    }
}

}  // namespace
