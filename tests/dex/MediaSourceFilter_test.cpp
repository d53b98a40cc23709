// Our media source in Wine's filter graph: an xrvc recording with sound
// streams every frame and every sample with times computed from their
// numbers, seeks restart at 0, and the image source loads ".XRVImg3" names.
#include "DexTestMedia.h"
#include "TestSupport.h"

#include "platform/dex/DexFactory.h"
#include "platform/dex/MediaSourceFilter.h"
#include "platform/filters/SinkFilter.h"

#include <gtest/gtest.h>

using namespace dextest;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

const CLSID kAnySink = {0x6e0e0c11, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x10}};

struct Got {
    REFERENCE_TIME start, stop;
    DWORD centre;    // video: the centre pixel
    long bytes;
};

// Takes video (RGB32) and PCM; keeps times, the centre pixel and lengths.
class CAnySink : public CSinkFilterBase {
public:
    CAnySink() : CSinkFilterBase(kAnySink, 1) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB32) || IsEqualGUID(mt->subtype, MEDIASUBTYPE_PCM) ? S_OK
                                                                                                           : S_FALSE;
    }
    HRESULT RenderSample(int, IMediaSample* sample) override
    {
        Got g = {};
        sample->GetTime(&g.start, &g.stop);
        g.bytes = sample->GetActualDataLength();
        const AM_MEDIA_TYPE& mt = InputPin(0)->CurrentMediaType();
        if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo)) {
            const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
            BYTE* data = NULL;
            sample->GetPointer(&data);
            g.centre = PixelAt(data, bih.biWidth, bih.biHeight, bih.biWidth / 2, bih.biHeight / 2);
        }
        CDsAutoLock lock(&m_lock);
        m_got.push_back(g);
        return S_OK;
    }
    std::vector<Got> TakeAll()
    {
        CDsAutoLock lock(&m_lock);
        std::vector<Got> all;
        all.swap(m_got);
        return all;
    }

private:
    CDsLock m_lock;
    std::vector<Got> m_got;
};

class MediaSourceTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(NULL, COINIT_MULTITHREADED); }
    void TearDown() override { CoUninitialize(); }
    testsupport::ScratchDir dir{"dexsource"};
};

IPin* PinByName(IBaseFilter* filter, LPCWSTR name)
{
    IPin* pin = NULL;
    filter->FindPin(name, &pin);
    return pin;
}

// Source pin -> sink in a graph of Wine's, run to completion; the samples.
std::vector<Got> Play(IBaseFilter* source, LPCWSTR pinName, LONGLONG seekTo = -1)
{
    IGraphBuilder* graph = NULL;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph)))
        return {};
    CAnySink* sink = new CAnySink();
    sink->AddRef();
    graph->AddFilter(source, L"Source");
    graph->AddFilter(sink, L"Sink");
    IPin* out = PinByName(source, pinName);
    std::vector<Got> got;
    if (out && SUCCEEDED(graph->ConnectDirect(out, sink->InputPin(0), NULL))) {
        IMediaControl* control = NULL;
        IMediaEvent* events = NULL;
        IMediaSeeking* seeking = NULL;
        graph->QueryInterface(IID_IMediaControl, (void**)&control);
        graph->QueryInterface(IID_IMediaEvent, (void**)&events);
        graph->QueryInterface(IID_IMediaSeeking, (void**)&seeking);
        if (seekTo >= 0)
            seeking->SetPositions(&seekTo, AM_SEEKING_AbsolutePositioning, NULL, AM_SEEKING_NoPositioning);
        long code = 0;
        if (SUCCEEDED(control->Run()) && SUCCEEDED(events->WaitForCompletion(20000, &code)) && code == EC_COMPLETE)
            got = sink->TakeAll();
        control->Stop();
        seeking->Release();
        events->Release();
        control->Release();
    }
    if (out)
        out->Release();
    graph->RemoveFilter(sink);
    graph->RemoveFilter(source);
    sink->Release();
    graph->Release();
    return got;
}

TEST_F(MediaSourceTest, RecordingStreamsEveryFrameAndSample)
{
    std::string path = dir.File("A.avi");
    AviPlan avi;
    avi.codec = kXrvc;
    avi.frameColours = {kRed, kRed, kRed, kBlue, kBlue, kBlue, kBlue};
    avi.toneRate = 22050;
    avi.toneSamples = 30000;
    ASSERT_EQ("", WriteAvi(path, avi));

    IBaseFilter* source = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_XrvMediaSource, &source));
    IFileSourceFilter* load = NULL;
    ASSERT_EQ(S_OK, source->QueryInterface(IID_IFileSourceFilter, (void**)&load));
    ASSERT_EQ(S_OK, load->Load(Wide(path).c_str(), NULL));
    EXPECT_EQ(E_UNEXPECTED, load->Load(Wide(path).c_str(), NULL)) << "one file per filter";
    LPOLESTR name = NULL;
    ASSERT_EQ(S_OK, load->GetCurFile(&name, NULL));
    EXPECT_EQ(Wide(path), std::wstring(name));
    CoTaskMemFree(name);
    load->Release();

    std::vector<Got> video = Play(source, L"Video");
    ASSERT_EQ(7u, video.size());
    for (size_t n = 0; n < video.size(); ++n) {
        EXPECT_EQ((REFERENCE_TIME)n * 2000000, video[n].start) << "frame " << n;
        EXPECT_EQ((REFERENCE_TIME)(n + 1) * 2000000, video[n].stop) << "frame " << n;
        EXPECT_EQ(n < 3 ? kRed : kBlue, video[n].centre) << "frame " << n;
    }
    std::vector<Got> audio = Play(source, L"Audio");
    long bytes = 0;
    REFERENCE_TIME expectStart = 0;
    LONGLONG samples = 0;
    for (const Got& g : audio) {
        EXPECT_EQ(samples * 10000000 / 22050, g.start) << "at sample " << samples;
        EXPECT_EQ(expectStart, g.start);
        samples += g.bytes / 2;
        expectStart = g.stop;
        bytes += g.bytes;
    }
    EXPECT_EQ(30000 * 2, bytes);

    // A seek to 1 s: frame 5 comes first, at time 0.
    video = Play(source, L"Video", 10000000);
    ASSERT_EQ(2u, video.size());
    EXPECT_EQ(0, video[0].start);
    EXPECT_EQ(kBlue, video[0].centre);
    EXPECT_EQ(2000000, video[1].start);
    source->Release();
}

TEST_F(MediaSourceTest, ImageAndPackageSourcesLoadThroughTheFactory)
{
    std::string png = dir.File("S.png");
    ASSERT_TRUE(WriteSolidPng(png, 64, 36, kGreen));
    IBaseFilter* image = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_XrvImageSource, &image));
    IFileSourceFilter* load = NULL;
    ASSERT_EQ(S_OK, image->QueryInterface(IID_IFileSourceFilter, (void**)&load));
    ASSERT_EQ(S_OK, load->Load((Wide(png) + L".XRVImg3").c_str(), NULL));
    load->Release();
    CLSID clsid;
    image->GetClassID(&clsid);
    EXPECT_TRUE(IsEqualCLSID(CLSID_XrvImageSource, clsid));
    std::vector<Got> frames = Play(image, L"Video");
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(0, frames[0].start);
    EXPECT_EQ(kGreen, frames[0].centre);
    image->Release();

    // A name that names no file is refused with a clear error.
    IBaseFilter* package = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_XrvPackageSource, &package));
    ASSERT_EQ(S_OK, package->QueryInterface(IID_IFileSourceFilter, (void**)&load));
    EXPECT_TRUE(FAILED(load->Load(Wide(dir.File("none.avi")).c_str(), NULL)));
    IEnumPins* pins = NULL;
    ASSERT_EQ(S_OK, package->EnumPins(&pins));
    IPin* pin = NULL;
    EXPECT_EQ(S_FALSE, pins->Next(1, &pin, NULL)) << "no pins without a file";
    pins->Release();
    load->Release();
    package->Release();
}

}  // namespace
