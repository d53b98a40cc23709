// The timeline's output stages used by the file writer: the video
// compressor, the audio stage and the WAV writer between the render engine's
// group outputs and the multiplexer or the file.
#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/GraphBuilderCallback.h"
#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/TimelineReport.h"
#include "capture/RecordSettings.h"
#include "platform/filters/WaveDest.h"

#include <vector>

namespace {

// A wide copy of an ANSI text (strsafe.h, pulled in by dshow.h, rules out
// std::wstring here).
struct WideText {
    std::vector<WCHAR> buffer;
    const WCHAR* c_str() const { return buffer.data(); }
};

WideText Wide(LPCSTR text)
{
    WideText w;
    int n = MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, NULL, 0);
    w.buffer.assign(n > 0 ? n : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, w.buffer.data(), n);
    return w;
}

// Places `filter` (added under `name`) between `out` and `in`.
HRESULT ConnectThrough(IGraphBuilder* graph, IBaseFilter* filter, LPCWSTR name, IPin* out, IPin* in)
{
    XRV_CHECK(graph->AddFilter( filter, name ));
    CComPtr<IPin> filterIn, filterOut;
    XRV_CHECK(FindInputPin(filter, &filterIn, 0));
    XRV_CHECK(FindOutputPin(filter, &filterOut, 0));
    XRV_CHECK(graph->Connect( out, filterIn ));
    XRV_CHECK(graph->Connect( filterOut, in ));
    return S_OK;
}

} // namespace

// The settings' video compressor, found by its friendly name among the
// video compressors, goes between the video output and the multiplexer. No
// compressor chosen (an empty name) writes the frames as they come.
HRESULT XRVDSTimeline::AddMovieVidComp(IPin* videoOut, IPin* muxIn)
{
    if (!videoOut || !muxIn || !m_pGraph)
        return E_POINTER;
    CString name = m_pOutputFormat ? m_pOutputFormat->m_strVideoCompressor : CString();
    if (name.IsEmpty()) {
        XRV_CHECK(m_pGraph->Connect( videoOut, muxIn ));
        return S_OK;
    }
    WideText wide = Wide(name);
    CComPtr<IBaseFilter> compressor;
    HRESULT hr = FindCompressorFilter(1, wide.c_str(), &compressor);
    if (FAILED(hr) || !compressor) {
        ReportTimelineFailure(XRV_TIMELINE_SOURCE, __LINE__, "FindCompressorFilter() failed in AddMovieVidComp()");
        return FAILED(hr) ? hr : E_FAIL;
    }
    // The settings' key-frame rate and quality (ten-thousandths; negative
    // leaves the codec's default) go to a compressor that takes them.
    CComPtr<IAMVideoCompression> compression;
    if (SUCCEEDED(compressor->QueryInterface(IID_IAMVideoCompression, (void**)&compression)) && compression &&
        m_pOutputFormat) {
        if (m_pOutputFormat->m_nKeyFrameRate > 0)
            compression->put_KeyFrameRate(m_pOutputFormat->m_nKeyFrameRate);
        if (m_pOutputFormat->m_nCodecQuality >= 0 && m_pOutputFormat->m_nCodecQuality <= 10000)
            compression->put_Quality(m_pOutputFormat->m_nCodecQuality / 10000.0);
    }
    return ConnectThrough(m_pGraph, compressor, wide.c_str(), videoOut, muxIn);
}

// PCM (or no compressor) goes straight through: the audio group already
// gives PCM. Another name is looked up among the audio compressors.
HRESULT XRVDSTimeline::AddMovieAudio(IPin* audioOut, IPin* targetIn)
{
    if (!audioOut || !targetIn || !m_pGraph)
        return E_POINTER;
    CString name = m_pOutputFormat ? m_pOutputFormat->m_strAudioCompressor : CString();
    if (name.IsEmpty() || name.CompareNoCase("PCM") == 0) {
        XRV_CHECK(m_pGraph->Connect( audioOut, targetIn ));
        return S_OK;
    }
    CComPtr<IBaseFilter> compressor;
    HRESULT hr = FindCompressorFilter(0, Wide(name).c_str(), &compressor);
    if (FAILED(hr) || !compressor) {
        ReportTimelineFailure(XRV_TIMELINE_SOURCE, __LINE__, "FindCompressorFilter() failed in AddMovieAudio()");
        return FAILED(hr) ? hr : E_FAIL;
    }
    return ConnectThrough(m_pGraph, compressor, L"Kestravon Audio Compressor", audioOut, targetIn);
}

HRESULT XRVDSTimeline::AddWavFileWriter(LPCWSTR path, IPin* audioOut)
{
    if (!path || !audioOut || !m_pGraph)
        return E_POINTER;
    CComPtr<IBaseFilter> waveDest, fileWriter;
    XRV_CHECK(AddFilter( m_pGraph, CLSID_XrvWaveDest, L"Kestravon Wave Dest", &waveDest ));
    XRV_CHECK(AddFilter( m_pGraph, CLSID_FileWriter, L"Kestravon File Writer", &fileWriter ));
    CComQIPtr<IFileSinkFilter2> sink(fileWriter);
    XRV_CHECK_PTR(sink, "fileWriter->QueryInterface", "IFileSinkFilter2");
    XRV_CHECK(sink->SetMode(AM_FILE_OVERWRITE));
    XRV_CHECK(sink->SetFileName(path, NULL));
    CComPtr<IPin> waveIn, waveOut, writerIn;
    XRV_CHECK(FindInputPin(waveDest, &waveIn, 0));
    XRV_CHECK(FindOutputPin(waveDest, &waveOut, 0));
    XRV_CHECK(FindInputPin(fileWriter, &writerIn, 0));
    XRV_CHECK(AddMovieAudio(audioOut, waveIn));
    XRV_CHECK(m_pGraph->Connect(waveOut, writerIn));
    return S_OK;
}
