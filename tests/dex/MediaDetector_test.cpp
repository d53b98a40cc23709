// Our media detector: it agrees with Wine's on what both can read (an
// uncompressed recording with sound, a .wav tone), reads what Wine's cannot
// (an xrvc recording, grabbing frames) and describes a source filter handed
// over with put_Filter.
#include "DexTestMedia.h"
#include "TestSupport.h"

#include "platform/dex/DexFactory.h"
#include "platform/dex/DexInterfaces.h"
#include "platform/dex/MediaSourceFilter.h"
#include "platform/filters/MediaTypeUtil.h"

#include <gtest/gtest.h>

using namespace dextest;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class MediaDetectorTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(NULL, COINIT_MULTITHREADED); }
    void TearDown() override { CoUninitialize(); }
    testsupport::ScratchDir dir{"dexdet"};
};

struct StreamFacts {
    GUID major = GUID_NULL;
    GUID sub = GUID_NULL;
    double length = 0;
    double rate = 0;
    LONG width = 0, height = 0;
    DWORD samplesPerSec = 0;
    WORD channels = 0, bits = 0;
};

std::vector<StreamFacts> Describe(IMediaDet* det, HRESULT* hr)
{
    std::vector<StreamFacts> all;
    LONG count = 0;
    *hr = det->get_OutputStreams(&count);
    for (LONG i = 0; SUCCEEDED(*hr) && i < count; ++i) {
        StreamFacts f;
        det->put_CurrentStream(i);
        det->get_StreamType(&f.major);
        det->get_StreamLength(&f.length);
        AM_MEDIA_TYPE mt = {};
        if (SUCCEEDED(det->get_StreamMediaType(&mt))) {
            f.sub = mt.subtype;
            if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
                f.width = ((VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader.biWidth;
                f.height = ((VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader.biHeight;
                det->get_FrameRate(&f.rate);
            } else if (IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) && mt.cbFormat >= sizeof(PCMWAVEFORMAT)) {
                const WAVEFORMATEX* w = (const WAVEFORMATEX*)mt.pbFormat;
                f.samplesPerSec = w->nSamplesPerSec;
                f.channels = w->nChannels;
                f.bits = w->wBitsPerSample;
            }
            DsFreeMediaType(&mt);
        }
        all.push_back(f);
    }
    return all;
}

TEST_F(MediaDetectorTest, AgreesWithWinesOnWhatBothRead)
{
    std::string b = dir.File("B.avi");
    AviPlan avi;
    avi.width = 320;
    avi.height = 240;
    avi.frameColours.assign(10, kBlue);
    avi.toneRate = 22050;
    avi.toneSamples = 44100;
    ASSERT_EQ("", WriteAvi(b, avi));
    std::string t = dir.File("T.wav");
    ASSERT_TRUE(WriteToneWav(t, 22050, 440.0, 22050 * 4));

    for (const std::string& path : {b, t}) {
        IMediaDet* ours = NULL;
        IMediaDet* wine = NULL;
        ASSERT_EQ(S_OK, DexCreate(CLSID_MediaDet, &ours));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MediaDet, NULL, CLSCTX_INPROC_SERVER, IID_IMediaDet, (void**)&wine));
        BSTR name = SysAllocString(Wide(path).c_str());
        ASSERT_EQ(S_OK, ours->put_Filename(name)) << path;
        ASSERT_EQ(S_OK, wine->put_Filename(name)) << path << ": Wine's detector reads it";
        SysFreeString(name);
        HRESULT hrOurs, hrWine;
        std::vector<StreamFacts> a = Describe(ours, &hrOurs);
        std::vector<StreamFacts> w = Describe(wine, &hrWine);
        ASSERT_EQ(S_OK, hrOurs);
        ASSERT_EQ(S_OK, hrWine);
        ASSERT_EQ(w.size(), a.size()) << path;
        // Wine lists streams in the file's order, as we do.
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_TRUE(IsEqualGUID(w[i].major, a[i].major)) << path << " stream " << i;
            EXPECT_TRUE(IsEqualGUID(w[i].sub, a[i].sub)) << path << " stream " << i;
            EXPECT_NEAR(w[i].length, a[i].length, 0.01) << path << " stream " << i;
            EXPECT_NEAR(w[i].rate, a[i].rate, 0.001) << path << " stream " << i;
            EXPECT_EQ(w[i].width, a[i].width) << path << " stream " << i;
            EXPECT_EQ(w[i].height, a[i].height) << path << " stream " << i;
            EXPECT_EQ(w[i].samplesPerSec, a[i].samplesPerSec) << path << " stream " << i;
            EXPECT_EQ(w[i].channels, a[i].channels) << path << " stream " << i;
            EXPECT_EQ(w[i].bits, a[i].bits) << path << " stream " << i;
        }
        ours->Release();
        wine->Release();
    }
}

TEST_F(MediaDetectorTest, ReadsRecordingsAndGrabsFrames)
{
    std::string a = dir.File("A.avi");
    AviPlan avi;
    avi.width = 320;
    avi.height = 240;
    avi.codec = kXrvc;
    avi.frameColours = {kRed, kRed, kRed, kRed, kRed, kBlue, kBlue, kBlue, kBlue, kBlue};
    ASSERT_EQ("", WriteAvi(a, avi));
    IMediaDet* det = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_MediaDet, &det));
    BSTR name = SysAllocString(Wide(a).c_str());
    ASSERT_EQ(S_OK, det->put_Filename(name));
    SysFreeString(name);
    HRESULT hr;
    std::vector<StreamFacts> facts = Describe(det, &hr);
    ASSERT_GE(facts.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Video, facts[0].major));
    EXPECT_EQ(320, facts[0].width);
    EXPECT_EQ(240, facts[0].height);
    EXPECT_DOUBLE_EQ(5.0, facts[0].rate);
    EXPECT_DOUBLE_EQ(2.0, facts[0].length);

    ASSERT_EQ(S_OK, det->EnterBitmapGrabMode(0.0));
    struct Grab {
        double time;
        DWORD colour;
    } grabs[] = {{0.0, kRed}, {0.99, kRed}, {1.0, kBlue}, {5.0, kBlue}};
    for (const Grab& g : grabs) {
        LONG size = 0;
        ASSERT_EQ(S_OK, det->GetBitmapBits(g.time, &size, NULL, 64, 48));
        std::vector<char> dib(size);
        ASSERT_EQ(S_OK, det->GetBitmapBits(g.time, &size, dib.data(), 64, 48));
        const BYTE* bits = (const BYTE*)dib.data() + sizeof(BITMAPINFOHEADER);
        const BYTE* centre = bits + 24 * ((64 * 3 + 3) & ~3) + 32 * 3;
        DWORD rgb = centre[0] | (centre[1] << 8) | (centre[2] << 16);
        EXPECT_EQ(g.colour, rgb) << "at " << g.time;
    }
    LONG small = 10;
    std::vector<char> tiny(10);
    EXPECT_EQ(E_OUTOFMEMORY, det->GetBitmapBits(0.0, &small, tiny.data(), 64, 48)) << "a buffer too small";
    EXPECT_EQ(E_INVALIDARG, det->put_CurrentStream(7));
    BSTR empty = SysAllocString(L"");
    EXPECT_EQ(E_INVALIDARG, det->put_Filename(empty));
    SysFreeString(empty);
    det->Release();
}

// A still through the image source filter handed to put_Filter.
TEST_F(MediaDetectorTest, DescribesAFilterHandedOver)
{
    std::string png = dir.File("S.png");
    ASSERT_TRUE(WriteSolidPng(png, 1280, 720, kGreen));
    IBaseFilter* image = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_XrvImageSource, &image));
    IFileSourceFilter* load = NULL;
    ASSERT_EQ(S_OK, image->QueryInterface(IID_IFileSourceFilter, (void**)&load));
    ASSERT_EQ(S_OK, load->Load((Wide(png) + L".XRVImg3").c_str(), NULL));
    load->Release();
    IMediaDet* det = NULL;
    ASSERT_EQ(S_OK, DexCreate(CLSID_MediaDet, &det));
    ASSERT_EQ(S_OK, det->put_Filter(image));
    image->Release();   // the detector keeps its own reference
    HRESULT hr;
    std::vector<StreamFacts> facts = Describe(det, &hr);
    ASSERT_EQ(1u, facts.size());
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Video, facts[0].major));
    EXPECT_EQ(1280, facts[0].width);
    EXPECT_EQ(720, facts[0].height);
    double rate = -1;
    EXPECT_EQ(S_FALSE, det->get_FrameRate(&rate)) << "a still has no rate";
    EXPECT_EQ(0.0, rate);
    BSTR name = NULL;
    det->get_Filename(&name);
    EXPECT_EQ(Wide(png) + L".XRVImg3", std::wstring(name ? name : L""));
    SysFreeString(name);
    det->Release();
}

}  // namespace
