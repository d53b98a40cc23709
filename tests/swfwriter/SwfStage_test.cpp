// The SWF stage of the output writer: the order and values of its settings
// calls (seen by a stand-in filter made through the factory), and our SWF
// writer filter in a real graph with frames and sound pushed through it.
#include "PushSource.h"
#include "TestSupport.h"
#include "XRVDirectShow/SwfOutputStage.h"
#include "platform/dex/DexFactory.h"
#include "platform/filters/SinkFilter.h"
#include "platform/swfwriter/SwfWriterFilter.h"
#include <gtest/gtest.h>
#include <math.h>
#include <mmreg.h>
#include <vector>

namespace {

// A stand-in SWF writer that records which settings operations are called,
// in order, with the values that matter.
struct SettingsCall {
    int op;
    LONGLONG a, b;
};
std::vector<SettingsCall>* g_calls = nullptr;

const LPCWSTR kStandInPins[2] = {L"Video", L"Audio"};

class CStandInSwfWriter : public CSinkFilterBase, public ISwfWriterSettings, public IFileSinkFilter {
public:
    CStandInSwfWriter() : CSinkFilterBase(CLSID_XrvSwfWriter, 2, kStandInPins) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_ISwfWriterSettings))
            *ppv = static_cast<ISwfWriterSettings*>(this);
        else if (IsEqualIID(riid, IID_IFileSinkFilter))
            *ppv = static_cast<IFileSinkFilter*>(this);
        else
            return CSinkFilterBase::QueryInterface(riid, ppv);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CSinkFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CSinkFilterBase::Release(); }
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE*) override { return S_FALSE; }
    HRESULT RenderSample(int, IMediaSample*) override { return S_OK; }

    STDMETHODIMP SetMovieSources(const void* options, const void*, LPCWSTR, LPCWSTR, const void*, const void*,
                                 LPCWSTR, const void*, const void*) override
    {
        return Record(1, (LONGLONG)(INT_PTR)options, 0);
    }
    STDMETHODIMP GetFrameCount(DWORD*) override { return Record(2, 0, 0); }
    STDMETHODIMP SetMovieFormat(LONG width, LONG height, LONG rate, LONG depth, LONGLONG length) override
    {
        Record(3, rate, length);
        g_calls->push_back({300, width * 10000 + height, depth});
        return S_OK;
    }
    STDMETHODIMP Reserved4() override { return Record(4, 0, 0); }
    STDMETHODIMP Reserved5() override { return Record(5, 0, 0); }
    STDMETHODIMP Reserved6() override { return Record(6, 0, 0); }
    STDMETHODIMP Reserved7() override { return Record(7, 0, 0); }
    STDMETHODIMP Reserved8() override { return Record(8, 0, 0); }
    STDMETHODIMP Reserved9() override { return Record(9, 0, 0); }
    STDMETHODIMP SetBackgroundColor(DWORD colour) override { return Record(10, colour, 0); }
    STDMETHODIMP SetKeyFrameEvery(DWORD frames) override { return Record(11, frames, 0); }
    STDMETHODIMP SetSmoothing(DWORD smooth) override { return Record(12, smooth, 0); }
    STDMETHODIMP SetSoundCompression(DWORD bits) override { return Record(13, bits, 0); }
    STDMETHODIMP SetRange(LONGLONG start, LONGLONG stop) override { return Record(14, start, stop); }
    STDMETHODIMP SetFileName(LPCOLESTR, const AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP GetCurFile(LPOLESTR*, AM_MEDIA_TYPE*) override { return E_NOTIMPL; }

private:
    HRESULT Record(int op, LONGLONG a, LONGLONG b)
    {
        g_calls->push_back({op, a, b});
        return S_OK;
    }
};

HRESULT CreateStandIn(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new CStandInSwfWriter(), riid, ppv);
}

class SwfStage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                           (void**)&m_graph));
    }
    void TearDown() override
    {
        DexSetClassFactory(CLSID_XrvSwfWriter, nullptr);
        g_calls = nullptr;
        if (m_graph)
            m_graph->Release();
        ::CoUninitialize();
    }
    IGraphBuilder* m_graph = nullptr;
};

TEST_F(SwfStage, CallsTheSettingsInTheirOrderWithTheRateAndLengthFallbacks)
{
    DexSetClassFactory(CLSID_XrvSwfWriter, CreateStandIn);
    struct Case {
        const char* name;
        double settingsRate, maxRate;
        LONG settingsDepth, maxDepth;
        LONGLONG rangeStart, rangeStop, duration;
        LONG expectRate, expectDepth;
        LONGLONG expectLength;
    } cases[] = {
        {"settings rate, stored range", 29.97, 10.0, 24, 32, 10000000, 30000000, 90000000, 30, 24, 20000000},
        {"no settings rate: the largest source rate", 0.0, 14.6, 0, 32, 0, 0, 70000000, 15, 32, 70000000},
    };
    for (const Case& c : cases) {
        std::vector<SettingsCall> calls;
        g_calls = &calls;
        SwfStageValues v;
        int options = 0;
        v.swfOptions = &options;
        v.settingsRate = c.settingsRate;
        v.maxSourceRate = c.maxRate;
        v.settingsDepth = c.settingsDepth;
        v.maxSourceDepth = c.maxDepth;
        v.rangeStart = c.rangeStart;
        v.rangeStop = c.rangeStop;
        v.duration = c.duration;
        v.width = 320;
        v.height = 240;
        v.keyFrameEvery = 40;
        v.smoothing = 1;
        v.background = 0x123456;
        IBaseFilter* filter = nullptr;
        IPin *video = nullptr, *audio = nullptr;
        ASSERT_EQ(S_OK, AddSwfWriterStage(m_graph, v, L"c:\\movie.swf", &filter, &video, &audio)) << c.name;
        std::vector<int> order;
        for (const SettingsCall& s : calls)
            if (s.op < 100)
                order.push_back(s.op);
        EXPECT_EQ((std::vector<int>{1, 14, 3, 11, 12, 10}), order) << c.name;
        ASSERT_EQ(7u, calls.size()) << c.name;
        EXPECT_EQ((LONGLONG)(INT_PTR)&options, calls[0].a) << c.name;
        EXPECT_EQ(c.rangeStart, calls[1].a) << c.name;
        EXPECT_EQ(c.rangeStop, calls[1].b) << c.name;
        EXPECT_EQ(c.expectRate, calls[2].a) << c.name;
        EXPECT_EQ(c.expectLength, calls[2].b) << c.name;
        EXPECT_EQ(320 * 10000 + 240, calls[3].a) << c.name;
        EXPECT_EQ(c.expectDepth, calls[3].b) << c.name;
        EXPECT_EQ(40, calls[4].a) << c.name;
        EXPECT_EQ(1, calls[5].a) << c.name;
        EXPECT_EQ(0x123456, calls[6].a) << c.name;
        ASSERT_TRUE(video && audio) << c.name;
        FILTER_INFO info;
        filter->QueryFilterInfo(&info);
        EXPECT_STREQ(L"Kestravon SWF Writer", info.achName);
        if (info.pGraph)
            info.pGraph->Release();
        video->Release();
        audio->Release();
        m_graph->RemoveFilter(filter);
        filter->Release();
    }
}

// Bottom-up 32-bit frame n of 120 x 80.
std::vector<uint8_t> Frame(int n)
{
    std::vector<uint8_t> f(120 * 80 * 4);
    for (int i = 0; i < 120 * 80; ++i) {
        f[4 * i] = (uint8_t)(i % 120 * 2);
        f[4 * i + 1] = (uint8_t)(i / 120 * 3);
        f[4 * i + 2] = (uint8_t)((i % 120 > n * 5 && i % 120 < n * 5 + 8) ? 255 : 20);
    }
    return f;
}

std::string FrameBgr(int n)
{
    std::vector<uint8_t> f = Frame(n);
    std::string bgr;
    for (int y = 79; y >= 0; --y)
        for (int x = 0; x < 120; ++x)
            bgr.append((const char*)&f[(y * 120 + x) * 4], 3);
    return bgr;
}

std::string RunHostText(const std::string& cmd)
{
    std::string out;
    if (testsupport::RunHost(cmd, &out) != 0)
        return "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Once with PCM sound (decoded exactly) and once with the sound asked as
// 4-bit SWF ADPCM through the settings interface (decoded within ADPCM's
// error); code sizes SWF has no place for are refused.
TEST_F(SwfStage, OurWriterMakesAMovieFfmpegDecodesAtTheOutputSizeAndRate)
{
    for (DWORD adpcm : {0u, 4u}) {
        SCOPED_TRACE(adpcm ? "ADPCM sound" : "PCM sound");
        testsupport::ScratchDir dir("swfs");
        const std::string path = dir.File("movie.swf");
        std::wstring wpath(path.begin(), path.end());
        WAVEFORMATEX wf = {WAVE_FORMAT_PCM, 1, 11025, 22050, 2, 16, 0};
        CPushSource* source = new CPushSource(120, 80, std::string((const char*)&wf, sizeof(wf)));
        source->AddRef();
        ASSERT_EQ(S_OK, m_graph->AddFilter(source, L"Source"));
        SwfStageValues v;
        v.maxSourceRate = 10.0;
        v.duration = 20000000;
        v.width = 120;
        v.height = 80;
        IBaseFilter* filter = nullptr;
        IPin *video = nullptr, *audio = nullptr;
        ASSERT_EQ(S_OK, AddSwfWriterStage(m_graph, v, wpath.c_str(), &filter, &video, &audio));
        ISwfWriterSettings* swfSettings = nullptr;
        ASSERT_EQ(S_OK, filter->QueryInterface(IID_ISwfWriterSettings, (void**)&swfSettings));
        EXPECT_EQ(E_INVALIDARG, swfSettings->SetSoundCompression(1));
        EXPECT_EQ(E_INVALIDARG, swfSettings->SetSoundCompression(6));
        ASSERT_EQ(S_OK, swfSettings->SetSoundCompression(adpcm));
        swfSettings->Release();
        ASSERT_EQ(S_OK, m_graph->ConnectDirect(source->Out(0), video, nullptr));
        ASSERT_EQ(S_OK, m_graph->ConnectDirect(source->Out(1), audio, nullptr));
        IMediaFilter* clockless = nullptr;
        m_graph->QueryInterface(IID_IMediaFilter, (void**)&clockless);
        clockless->SetSyncSource(nullptr);
        clockless->Release();
        IMediaControl* control = nullptr;
        ASSERT_EQ(S_OK, m_graph->QueryInterface(IID_IMediaControl, (void**)&control));
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        const int frames = 20;
        std::string sound;
        for (int n = 0; n < frames; ++n) {
            std::vector<uint8_t> f = Frame(n);
            ASSERT_EQ(S_OK, source->Out(0)->Send(f.data(), (long)f.size(), n * 1000000LL, (n + 1) * 1000000LL));
            std::string block;
            for (int i = 0; i < 1102; ++i) {
                short s = (short)(8000 * sin(2 * 3.14159265358979 * 300.0 * (n * 1102 + i) / 11025));
                block.push_back((char)(s & 0xFF));
                block.push_back((char)((s >> 8) & 0xFF));
            }
            sound += block;
            ASSERT_EQ(S_OK, source->Out(1)->Send(block.data(), (long)block.size(), n * 1000000LL, (n + 1) * 1000000LL));
        }
        ASSERT_TRUE(SUCCEEDED(control->Stop()));
        control->Release();
        video->Release();
        audio->Release();
        m_graph->RemoveFilter(filter);
        m_graph->RemoveFilter(source);
        filter->Release();
        source->Release();

        const std::string unix = testsupport::UnixPath(path);
        EXPECT_EQ("flashsv\n120\n80\n10/1\n20",
                  RunHostText("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                      "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of default=nw=1:nk=1 '" + unix + "'"));
        const std::string raw = dir.File("frames.raw");
        ASSERT_EQ("", RunHostText("ffmpeg -v error -y -i '" + unix + "' -map 0:v:0 -f rawvideo -pix_fmt bgr24 '" +
                          testsupport::UnixPath(raw) + "' && echo"));
        std::string decoded;
        ASSERT_TRUE(testsupport::ReadFileBytes(raw, &decoded));
        ASSERT_EQ((size_t)frames * 120 * 80 * 3, decoded.size());
        for (int n = 0; n < frames; ++n)
            EXPECT_TRUE(decoded.compare((size_t)n * 120 * 80 * 3, 120 * 80 * 3, FrameBgr(n)) == 0) << "frame " << n;
        const std::string pcm = dir.File("sound.raw");
        RunHostText("ffmpeg -v error -y -i '" + unix + "' -map 0:a:0 -f s16le -acodec pcm_s16le '" + testsupport::UnixPath(pcm) + "'");
        std::string decodedSound;
        ASSERT_TRUE(testsupport::ReadFileBytes(pcm, &decodedSound));
        if (!adpcm) {
            EXPECT_TRUE(decodedSound == sound) << decodedSound.size() << " of " << sound.size() << " bytes";
            continue;
        }
        EXPECT_EQ("adpcm_swf", RunHostText("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name "
                                           "-of default=nw=1:nk=1 '" + unix + "'"));
        ASSERT_GE(decodedSound.size(), sound.size());
        double error2 = 0, signal2 = 0;
        for (size_t i = 0; i + 1 < sound.size(); i += 2) {
            const double want = (short)((uint8_t)sound[i] | ((uint8_t)sound[i + 1] << 8));
            const double got = (short)((uint8_t)decodedSound[i] | ((uint8_t)decodedSound[i + 1] << 8));
            error2 += (got - want) * (got - want);
            signal2 += want * want;
        }
        EXPECT_LT(sqrt(error2 / signal2), 0.05);
    }
}

}  // namespace
