#include "XRVDirectShow/SwfOutputStage.h"
#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/TimelineReport.h"
#include "framework/FloatRound.h"
#include "platform/dex/DexFactory.h"
#include "platform/swfwriter/SwfWriterFilter.h"
#include <math.h>

#undef XRV_TIMELINE_SOURCE
#define XRV_TIMELINE_SOURCE ".\\XRVDirectShow\\XRVDSFileWriter"

HRESULT AddSwfWriterStage(IGraphBuilder* graph, const SwfStageValues& v, LPCWSTR outputPath, IBaseFilter** filter,
                          IPin** videoPin, IPin** audioPin)
{
    if (!graph || !outputPath || !filter || !videoPin || !audioPin)
        return E_POINTER;
    *filter = NULL;
    *videoPin = NULL;
    *audioPin = NULL;
    IBaseFilter* swf = NULL;
    XRV_CHECK(DexCreateInstance(CLSID_XrvSwfWriter, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&swf));
    const WCHAR* strwFilterName = L"Kestravon SWF Writer";
    HRESULT hr = graph->AddFilter(swf, strwFilterName);
    if (FAILED(hr)) {
        ReportTimelineCall(XRV_TIMELINE_SOURCE, __LINE__, "pGraph->AddFilter( *ppSwfMux, strwFilterName )",
                           __FUNCTION__);
        swf->Release();
        return hr;
    }
    // Every later failure takes the filter out again.
    struct Undo {
        IGraphBuilder* graph;
        IBaseFilter* filter;
        bool keep = false;
        ~Undo()
        {
            if (!keep) {
                graph->RemoveFilter(filter);
                filter->Release();
            }
        }
    } undo{graph, swf};

    ISwfWriterSettings* settings = NULL;
    if (SUCCEEDED(swf->QueryInterface(IID_ISwfWriterSettings, (void**)&settings))) {
        struct Release {
            IUnknown* p;
            ~Release() { p->Release(); }
        } release{settings};
        LONGLONG length = v.rangeStop - v.rangeStart;
        if (length == 0)
            length = v.duration;
        double rate = v.settingsRate;
        if (rate == 0.0)
            rate = v.maxSourceRate;
        const LONG wholeRate = (LONG)floor(RoundToDouble(rate) + 0.5);
        const LONG depth = v.settingsDepth ? v.settingsDepth : v.maxSourceDepth;
        XRV_CHECK(settings->SetMovieSources(v.swfOptions, v.recordSettings, v.text1.c_str(), outputPath,
                                            v.namePairs, v.clips, v.text2.c_str(), v.clipInfo, v.mediaFileNames));
        XRV_CHECK(settings->SetRange(v.rangeStart, v.rangeStop));
        XRV_CHECK(settings->SetMovieFormat(v.width, v.height, wholeRate, depth, length));
        XRV_CHECK(settings->SetKeyFrameEvery(v.keyFrameEvery));
        XRV_CHECK(settings->SetSmoothing(v.smoothing));
        XRV_CHECK(settings->SetBackgroundColor(v.background));
    }
    IFileSinkFilter* sink = NULL;
    XRV_CHECK(swf->QueryInterface(IID_IFileSinkFilter, (void**)&sink));
    hr = sink->SetFileName(outputPath, NULL);
    sink->Release();
    if (FAILED(hr)) {
        ReportTimelineCall(XRV_TIMELINE_SOURCE, __LINE__, "pSink->SetFileName( strOutputPath, NULL )",
                           __FUNCTION__);
        return hr;
    }
    FindInputPin(swf, videoPin, 0);
    FindInputPin(swf, audioPin, 1);
    undo.keep = true;
    *filter = swf;
    return S_OK;
}
