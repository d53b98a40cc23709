// The Windows Media output stage and our ASF writer filter in a real filter
// graph: profiles found by name or given as text, the output size for a
// 0 x 0 stream, samples pushed through the pins, and the file read back by
// ffprobe and ffmpeg.
#include "AsfTestMedia.h"
#include "PushSource.h"
#include "MediaTestUtil.h"
#include "TestSupport.h"
#include "XRVDirectShow/WmvOutputStage.h"
#include "platform/filters/FilterBase.h"
#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/AsfWriterFilter.h"
#include "platform/wmwriter/WmProfile.h"
#include "platform/wmwriter/WmvCore.h"
#include <gtest/gtest.h>
#include <mmreg.h>
#include <strsafe.h>
#include <vector>

using namespace asftest;

namespace {

std::wstring Profile(const wchar_t* name, int width, int height, int fps)
{
    wchar_t text[2048];
    StringCchPrintfW(text, 2048,
             L"<profile version=\"589824\" storageformat=\"1\" name=\"%ls\" description=\"test\">\r\n"
             L" <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
             L"streamname=\"Video Stream\" inputname=\"Video409\" bitrate=\"500000\" bufferwindow=\"3000\">\r\n"
             L"  <videomediaprops maxkeyframespacing=\"80000000\" quality=\"75\"/>\r\n"
             L"  <wmmediatype subtype=\"{33564D57-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"0\" "
             L"btemporalcompression=\"1\" lsamplesize=\"0\">\r\n"
             L"   <videoinfoheader dwbitrate=\"500000\" dwbiterrorrate=\"0\" avgtimeperframe=\"%d\">\r\n"
             L"    <bitmapinfoheader biwidth=\"%d\" biheight=\"%d\" biplanes=\"1\" bibitcount=\"24\" "
             L"bicompression=\"WMV3\" bisizeimage=\"0\"/>\r\n"
             L"   </videoinfoheader>\r\n  </wmmediatype>\r\n </streamconfig>\r\n"
             L" <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"2\" "
             L"streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"128000\" bufferwindow=\"-1\">\r\n"
             L"  <wmmediatype subtype=\"{00000001-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\" "
             L"btemporalcompression=\"0\" lsamplesize=\"2\">\r\n"
             L"   <waveformatex wFormatTag=\"1\" nChannels=\"1\" nSamplesPerSec=\"8000\" nAvgBytesPerSec=\"16000\" "
             L"nBlockAlign=\"2\" wBitsPerSample=\"16\" codecdata=\"\"/>\r\n"
             L"  </wmmediatype>\r\n </streamconfig>\r\n</profile>\r\n",
             name, 10000000 / fps, width, height);
    return text;
}

bool WriteProfileFile(const std::string& path, const std::wstring& text)
{
    std::string bytes("\xFF\xFE", 2);
    bytes.append((const char*)text.data(), text.size() * sizeof(wchar_t));
    return WriteAll(path, bytes);
}

// The size of the profile's first video stream.
SIZE VideoSize(IWMProfile* profile)
{
    SIZE size = {-1, -1};
    IWMStreamConfig* config = nullptr;
    if (FAILED(profile->GetStream(0, &config)))
        return size;
    IWMMediaProps* props = nullptr;
    config->QueryInterface(IID_IWMMediaProps, (void**)&props);
    DWORD bytes = 0;
    props->GetMediaType(nullptr, &bytes);
    std::vector<BYTE> buffer(bytes);
    WM_MEDIA_TYPE* mt = (WM_MEDIA_TYPE*)buffer.data();
    if (SUCCEEDED(props->GetMediaType(mt, &bytes)) && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        size.cx = ((VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader.biWidth;
        size.cy = ((VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader.biHeight;
    }
    props->Release();
    config->Release();
    return size;
}

class WmvStage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                           (void**)&m_graph));
    }
    void TearDown() override
    {
        if (m_graph)
            m_graph->Release();
        ::CoUninitialize();
    }
    int FilterCount()
    {
        IEnumFilters* filters = nullptr;
        int n = 0;
        if (SUCCEEDED(m_graph->EnumFilters(&filters))) {
            IBaseFilter* f = nullptr;
            while (filters->Next(1, &f, nullptr) == S_OK) {
                ++n;
                f->Release();
            }
            filters->Release();
        }
        return n;
    }
    IGraphBuilder* m_graph = nullptr;
};

TEST_F(WmvStage, FindsAProfileByNameInAnyCaseAndFitsA0x0StreamToTheOutputSize)
{
    testsupport::ScratchDir dir("wmvs");
    ASSERT_TRUE(WriteProfileFile(dir.File("a.prx"), Profile(L"Other Profile", 0, 0, 10)));
    ASSERT_TRUE(WriteProfileFile(dir.File("b.prx"), Profile(L"Screen 10 fps", 0, 0, 10)));
    ASSERT_TRUE(WriteProfileFile(dir.File("c.prx"), Profile(L"Fixed Size", 320, 240, 10)));
    ASSERT_TRUE(WriteAll(dir.File("d.prx"), "not a profile at all"));
    const std::wstring folder = Wide(dir.Path());

    IWMProfile* profile = nullptr;
    ASSERT_EQ(S_OK, ReadPrxProfiles(L"SCREEN 10 FPS", TRUE, &profile, folder.c_str()));
    WCHAR name[64];
    DWORD length = 64;
    ASSERT_EQ(S_OK, profile->GetName(name, &length));
    EXPECT_STREQ(L"Screen 10 fps", name);
    profile->Release();
    EXPECT_EQ(E_FAIL, ReadPrxProfiles(L"Missing", TRUE, &profile, folder.c_str()));
    EXPECT_EQ(E_POINTER, ReadPrxProfiles(L"Other Profile", TRUE, nullptr, folder.c_str()));
    EXPECT_EQ(E_FAIL, ReadPrxProfiles(L"Other Profile", TRUE, &profile, L""));

    struct Case {
        const wchar_t* name;
        LONG width, height;
    } cases[] = {{L"screen 10 FPS", 200, 120}, {L"fixed size", 320, 240}};
    for (const Case& c : cases) {
        WmvProfileChoice choice;
        choice.name = c.name;
        choice.useOwnFolder = TRUE;
        IBaseFilter* filter = nullptr;
        IPin *video = nullptr, *audio = nullptr;
        BOOL loaded = FALSE;
        const std::wstring out = Wide(dir.File("out.wmv"));
        ASSERT_EQ(S_OK, AddWmvWriterStage(m_graph, choice, folder.c_str(), 200, 120, out.c_str(), &filter, &video,
                                          &audio, &loaded))
            << c.name;
        ASSERT_TRUE(video && audio) << c.name;
        PIN_INFO info;
        video->QueryPinInfo(&info);
        EXPECT_STREQ(L"Video Input 01", info.achName);
        info.pFilter->Release();
        IConfigAsfWriter* config = nullptr;
        ASSERT_EQ(S_OK, filter->QueryInterface(IID_IConfigAsfWriter, (void**)&config));
        IWMProfile* current = nullptr;
        ASSERT_EQ(S_OK, config->GetCurrentProfile(&current));
        SIZE size = VideoSize(current);
        EXPECT_EQ(c.width, size.cx) << c.name;
        EXPECT_EQ(c.height, size.cy) << c.name;
        FILTER_INFO fi;
        filter->QueryFilterInfo(&fi);
        EXPECT_STREQ(L"Kestravon Avi Mux", fi.achName);
        if (fi.pGraph)
            fi.pGraph->Release();
        current->Release();
        config->Release();
        video->Release();
        audio->Release();
        m_graph->RemoveFilter(filter);
        filter->Release();
        if (loaded)
            UnloadWmvCore();
    }

    WmvProfileChoice missing;
    missing.name = L"No Such Profile";
    missing.useOwnFolder = TRUE;
    IBaseFilter* filter = nullptr;
    IPin *video = nullptr, *audio = nullptr;
    EXPECT_EQ(E_FAIL, AddWmvWriterStage(m_graph, missing, folder.c_str(), 200, 120, L"c:\\x.wmv", &filter, &video,
                                        &audio, nullptr));
    EXPECT_EQ(nullptr, filter);
    EXPECT_EQ(0, FilterCount()) << "a failed stage leaves nothing in the graph";
}

// Builds source -> stage -> file in the graph with the profile text, sets the
// four tags, pushes `frames` frames and their tone, and stops the graph.
// Returns the tone that went in (empty after a failed assertion).
std::string WriteThroughGraph(IGraphBuilder* graph, const std::wstring& profileText, const std::string& path,
                              int frames)
{
    CPushSource* source = new CPushSource(kWidth, kHeight, asftest::PcmFormatBytes());
    source->AddRef();
    struct Release {
        IUnknown* p;
        ~Release() { p->Release(); }
    } releaseSource{static_cast<IBaseFilter*>(source)};
    EXPECT_EQ(S_OK, graph->AddFilter(source, L"Source"));
    WmvProfileChoice choice;
    choice.textGiven = TRUE;
    choice.text = profileText;
    IBaseFilter* filter = nullptr;
    IPin *video = nullptr, *audio = nullptr;
    HRESULT hr = AddWmvWriterStage(graph, choice, L"", kWidth, kHeight, Wide(path).c_str(), &filter, &video, &audio,
                                   nullptr);
    EXPECT_EQ(S_OK, hr);
    if (FAILED(hr))
        return std::string();
    Release releaseFilter{filter}, releaseVideo{video}, releaseAudio{audio};
    EXPECT_EQ(S_OK, graph->ConnectDirect(source->Out(0), video, nullptr));
    EXPECT_EQ(S_OK, graph->ConnectDirect(source->Out(1), audio, nullptr));

    IServiceProvider* services = nullptr;
    EXPECT_EQ(S_OK, filter->QueryInterface(IID_IServiceProvider, (void**)&services));
    IWMHeaderInfo* header = nullptr;
    EXPECT_EQ(S_OK, services->QueryService(IID_IWMHeaderInfo, IID_IWMHeaderInfo, (void**)&header));
    const wchar_t* tags[4][2] = {{L"Title", L"Demo title"}, {L"Author", L"Demo author"},
                                 {L"Copyright", L"Demo rights"}, {L"Description", L"Demo description"}};
    for (auto& t : tags)
        EXPECT_EQ(S_OK, header->SetAttribute(0, t[0], WMT_TYPE_STRING, (const BYTE*)t[1],
                                             (WORD)((wcslen(t[1]) + 1) * 2)));
    EXPECT_EQ(E_INVALIDARG, header->SetAttribute(0, L"Title", WMT_TYPE_DWORD, (const BYTE*)L"x", 4));
    WORD count = 0;
    EXPECT_EQ(S_OK, header->GetAttributeCount(0, &count));
    EXPECT_EQ(4, count);
    header->Release();
    services->Release();

    IMediaControl* control = nullptr;
    EXPECT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, (void**)&control));
    IMediaFilter* clockless = nullptr;
    graph->QueryInterface(IID_IMediaFilter, (void**)&clockless);
    clockless->SetSyncSource(nullptr);
    clockless->Release();
    EXPECT_TRUE(SUCCEEDED(control->Run()));
    const std::string tone = Tone((double)frames / kFps);
    const REFERENCE_TIME frameTime = 10000000 / kFps;
    const size_t audioPerFrame = tone.size() / frames;
    for (int n = 0; n < frames; ++n) {
        std::vector<uint8_t> f = Frame(n);
        EXPECT_EQ(S_OK, source->Out(0)->Send(f.data(), (long)f.size(), n * frameTime, (n + 1) * frameTime));
        EXPECT_EQ(S_OK, source->Out(1)->Send(tone.data() + n * audioPerFrame, (long)audioPerFrame, n * frameTime,
                                             (n + 1) * frameTime));
    }
    source->Out(0)->DeliverEndOfStream();
    source->Out(1)->DeliverEndOfStream();
    EXPECT_TRUE(SUCCEEDED(control->Stop()));
    control->Release();
    return tone;
}

TEST_F(WmvStage, PushedFramesAndSoundComeOutAsZmbvAndPcmWithTheFourTags)
{
    testsupport::ScratchDir dir("wmvs");
    const std::string path = dir.File("out.wmv");
    const int frames = 20;
    const std::string tone = WriteThroughGraph(m_graph, Profile(L"Given", 0, 0, kFps), path, frames);
    ASSERT_FALSE(tone.empty());

    EXPECT_EQ(1, CheckAsfFile(Wide(path).c_str(), nullptr));
    EXPECT_EQ("zmbv", ProbeEntry(path, "v:0", "stream=codec_name"));
    EXPECT_EQ("100\n60", ProbeEntry(path, "v:0", "stream=width,height"));
    EXPECT_EQ("20", ProbeEntry(path, "v:0", "stream=nb_read_frames"));
    EXPECT_EQ("pcm_s16le", ProbeEntry(path, "a:0", "stream=codec_name"));
    EXPECT_EQ("Demo title", ProbeEntry(path, "", "format_tags=title"));
    EXPECT_EQ("Demo author", ProbeEntry(path, "", "format_tags=artist"));
    EXPECT_EQ("Demo rights", ProbeEntry(path, "", "format_tags=copyright"));
    EXPECT_EQ("Demo description", ProbeEntry(path, "", "format_tags=comment"));
    std::vector<std::string> decoded = DecodeFrames(path, kWidth, kHeight);
    ASSERT_EQ((size_t)frames, decoded.size());
    for (int n = 0; n < frames; ++n)
        EXPECT_TRUE(decoded[n] == FrameBgr(n)) << "frame " << n;
    std::vector<int> sound = mediatest::DecodeAudio16(path, dir.File("sound.raw"), kRate);
    EXPECT_NEAR((double)tone.size() / 2, (double)sound.size(), kRate / 50.0);
}

// A profile naming IMA ADPCM or GSM gets that codec's blocks from the PCM
// the pin takes; the sound keeps its length and its tone.
TEST_F(WmvStage, ProfilesNamingImaAdpcmOrGsmGetCompressedSound)
{
    struct Case {
        const wchar_t* waveFormat;
        const char* codec;
    } cases[] = {
        {L"wFormatTag=\"17\" nChannels=\"1\" nSamplesPerSec=\"8000\" nAvgBytesPerSec=\"4055\" "
         L"nBlockAlign=\"256\" wBitsPerSample=\"4\" codecdata=\"f901\"",
         "adpcm_ima_wav"},
        {L"wFormatTag=\"49\" nChannels=\"1\" nSamplesPerSec=\"8000\" nAvgBytesPerSec=\"1625\" "
         L"nBlockAlign=\"65\" wBitsPerSample=\"0\" codecdata=\"4001\"",
         "gsm_ms"},
    };
    const std::wstring pcm = L"wFormatTag=\"1\" nChannels=\"1\" nSamplesPerSec=\"8000\" nAvgBytesPerSec=\"16000\" "
                             L"nBlockAlign=\"2\" wBitsPerSample=\"16\" codecdata=\"\"";
    for (const Case& c : cases) {
        testsupport::ScratchDir dir("wmva");
        const std::string path = dir.File("out.wmv");
        std::wstring text = Profile(L"Compressed", 0, 0, kFps);
        text.replace(text.find(pcm), pcm.size(), c.waveFormat);
        const std::string tone = WriteThroughGraph(m_graph, text, path, 20);
        ASSERT_FALSE(tone.empty()) << c.codec;
        EXPECT_EQ(c.codec, ProbeEntry(path, "a:0", "stream=codec_name"));
        EXPECT_EQ("zmbv", ProbeEntry(path, "v:0", "stream=codec_name"));
        std::vector<int> sound = mediatest::DecodeAudio16(path, dir.File("sound.raw"), kRate);
        // The last block is padded with silence: up to one block longer.
        EXPECT_GE(sound.size() + 10, tone.size() / 2) << c.codec;
        EXPECT_LE(sound.size(), tone.size() / 2 + 520) << c.codec;
        EXPECT_NEAR(440.0, mediatest::ZeroCrossingFrequency(sound, 1, kRate), 10.0) << c.codec;
        IEnumFilters* filters = nullptr;
        m_graph->EnumFilters(&filters);
        IBaseFilter* f = nullptr;
        std::vector<IBaseFilter*> all;
        while (filters->Next(1, &f, nullptr) == S_OK)
            all.push_back(f);
        filters->Release();
        for (IBaseFilter* each : all) {
            m_graph->RemoveFilter(each);
            each->Release();
        }
    }
}

TEST(WmvCore, LoadsTheRuntimeAndHasNoEncoderProfileFolder)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    EXPECT_TRUE(LoadWmvCore());
    EXPECT_TRUE(IsWmvCoreLoaded());
    UnloadWmvCore();
    EXPECT_FALSE(IsWmvCoreLoaded());
    std::wstring folder = L"stale";
    EXPECT_TRUE(FAILED(GetDefaultProfileFolder(&folder)));
    EXPECT_TRUE(folder.empty());
    IWMProfile* profile = nullptr;
    EXPECT_EQ(E_FAIL, ReadPrxProfiles(L"Anything", FALSE, &profile, nullptr)) << "no default folder here";
    EXPECT_EQ(E_FAIL, LoadProfileFromResource(&profile, 0));
    EXPECT_EQ(E_FAIL, LoadProfileFromResource(&profile, 4242));
    ASSERT_EQ(S_OK, LoadProfileFromText(&profile, Profile(L"Text", 0, 0, 15).c_str()));
    DWORD streams = 0;
    profile->GetStreamCount(&streams);
    EXPECT_EQ(2u, streams);
    profile->Release();
    EXPECT_FALSE(IsWmvCoreLoaded()) << "the text loader frees the runtime it loaded";
    ::CoUninitialize();
}

TEST(WmProfile, RefusesTextThatIsNoUsableProfile)
{
    const std::wstring good = Profile(L"Good", 0, 0, 10);
    auto replace = [&](const std::wstring& from, const std::wstring& to) {
        std::wstring s = good;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    struct Case {
        const char* name;
        std::wstring text;
    } cases[] = {
        {"empty", L""},
        {"plain text", L"hello"},
        {"unterminated tag", L"<profile name=\"x\""},
        {"unterminated value", L"<profile name=\"x>"},
        {"stream before the profile", L"<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\"/>"},
        {"bad major type", replace(L"{73646976-0000-0010-8000-00AA00389B71}", L"video")},
        {"stream number 0", replace(L"streamnumber=\"1\"", L"streamnumber=\"0\"")},
        {"duplicate stream number", replace(L"streamnumber=\"2\"", L"streamnumber=\"1\"")},
        {"width not a number", replace(L"biwidth=\"0\"", L"biwidth=\"wide\"")},
        {"huge width", replace(L"biwidth=\"0\"", L"biwidth=\"100000\"")},
        {"no sample rate", replace(L"nSamplesPerSec=\"8000\"", L"")},
        {"odd codec data", replace(L"codecdata=\"\"", L"codecdata=\"abc\"")},
    };
    for (const Case& c : cases) {
        IWMProfile* profile = reinterpret_cast<IWMProfile*>(1);
        EXPECT_EQ(E_INVALIDARG, LoadWmProfileFromText(c.text.c_str(), &profile)) << c.name;
        EXPECT_EQ(nullptr, profile) << c.name;
    }
    IWMProfile* profile = nullptr;
    ASSERT_EQ(S_OK, LoadWmProfileFromText(good.c_str(), &profile));
    IWMStreamConfig* audio = nullptr;
    ASSERT_EQ(S_OK, profile->GetStreamByNumber(2, &audio));
    WCHAR name[32];
    WORD length = 32;
    EXPECT_EQ(S_OK, audio->GetConnectionName(name, &length));
    EXPECT_STREQ(L"Audio409", name);
    audio->Release();
    profile->Release();
}

}  // namespace
