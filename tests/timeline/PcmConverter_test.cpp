// The "PCM" converter: found as the audio compressor named "PCM" (Wine's
// category is empty), it converts a 22050 Hz mono tone to the 44100 Hz
// stereo format set on its output, keeping the tone and the length.
#include "DexTestMedia.h"
#include "TimelineTestSupport.h"
#include "TestSupport.h"

#include "XRVDirectShow/GraphBuilderCallback.h"
#include "XRVDirectShow/MediaTypes.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/MediaSourceFilter.h"
#include "platform/filters/SinkFilter.h"

namespace {

using namespace dextest;

const CLSID kPcmSink = {0x6e0e0c11, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x60}};

class CPcmSink : public CSinkFilterBase {
public:
    CPcmSink() : CSinkFilterBase(kPcmSink, 1) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->subtype, MEDIASUBTYPE_PCM) ? S_OK : S_FALSE;
    }
    HRESULT RenderSample(int, IMediaSample* sample) override
    {
        BYTE* p = NULL;
        sample->GetPointer(&p);
        const short* s = (const short*)p;
        samples.insert(samples.end(), s, s + sample->GetActualDataLength() / 2);
        return S_OK;
    }
    std::vector<short> samples;
};

class PcmConverterTest : public ComTest {
protected:
    testsupport::ScratchDir dir{"pcm"};
};

TEST_F(PcmConverterTest, ConvertsToTheFormatSetOnItsOutput)
{
    std::string wav = dir.File("T.wav");
    ASSERT_TRUE(WriteToneWav(wav, 22050, 440.0, 22050 * 2));
    CComPtr<IBaseFilter> converter;
    ASSERT_EQ(S_OK, FindCompressorFilter(0, L"pcm", &converter));
    CComPtr<IBaseFilter> none;
    EXPECT_EQ(E_FAIL, FindCompressorFilter(0, L"No Such Codec", &none));

    CComQIPtr<IAMStreamConfig> config(converter);
    ASSERT_TRUE(config != NULL);
    WAVEFORMATEX wanted = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    AM_MEDIA_TYPE mt;
    ASSERT_TRUE(BuildAudioMediaType(&wanted, &mt, TRUE));
    ASSERT_EQ(S_OK, config->SetFormat(&mt));
    FreeMediaType(mt);

    CComPtr<IBaseFilter> source;
    ASSERT_EQ(S_OK, DexCreate(CLSID_XrvMediaSource, &source));
    CComQIPtr<IFileSourceFilter> load(source);
    std::wstring wide(wav.begin(), wav.end());
    ASSERT_EQ(S_OK, load->Load(wide.c_str(), NULL));
    CPcmSink* sink = new CPcmSink();
    CComPtr<IBaseFilter> hold(sink);
    CComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, graph.CoCreateInstance(CLSID_FilterGraph));
    graph->AddFilter(source, L"Source");
    graph->AddFilter(converter, L"Kestravon Audio Compressor");
    graph->AddFilter(sink, L"Sink");
    CComPtr<IPin> out, convIn, convOut;
    ASSERT_EQ(S_OK, source->FindPin(L"Audio", &out));
    ASSERT_EQ(S_OK, converter->FindPin(L"Input", &convIn));
    ASSERT_EQ(S_OK, converter->FindPin(L"Output", &convOut));
    ASSERT_EQ(S_OK, graph->ConnectDirect(out, convIn, NULL));
    ASSERT_EQ(S_OK, graph->ConnectDirect(convOut, sink->InputPin(0), NULL));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, config->SetFormat(const_cast<AM_MEDIA_TYPE*>(&sink->InputPin(0)->CurrentMediaType())));

    CComQIPtr<IMediaControl> control(graph);
    CComPtr<IMediaEvent> events;
    graph->QueryInterface(IID_IMediaEvent, (void**)&events);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    long code = 0;
    EXPECT_EQ(S_OK, events->WaitForCompletion(20000, &code));
    control->Stop();
    // Two seconds of 44100 Hz stereo, the tone still 440 Hz in both channels.
    EXPECT_NEAR(44100 * 2 * 2, (double)sink->samples.size(), 2 * 2 * 10);
    ASSERT_GT(sink->samples.size(), 44100u * 2);
    EXPECT_NEAR(880.0, CrossingsPerSecond(sink->samples.data(), 44100, 2, 44100), 6.0);
    EXPECT_NEAR(880.0, CrossingsPerSecond(sink->samples.data() + 1, 44100, 2, 44100), 6.0);
}

}  // namespace
