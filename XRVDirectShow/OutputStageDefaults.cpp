// The file writer's Windows Media and SWF stages as this program has them:
// our ASF writer configured by the chosen profile, our SWF writer with the
// movie's values, and the content description written through the ASF
// writer's header interface.
#include <string>

#include "XRVDirectShow/OutputStages.h"
#include "XRVDirectShow/SwfOutputStage.h"
#include "XRVDirectShow/TimelineReport.h"
#include "XRVDirectShow/WmvOutputStage.h"
#include "XRVDirectShow/XRVDSFileWriter.h"
#include "capture/RecordSettings.h"
#include "framework/ComPtr.h"

#include <wmsdk.h>

namespace {

std::wstring WideText(const CString& text)
{
    const char* s = text;
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, NULL, 0);
    if (n <= 1)
        return std::wstring();
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, &wide[0], n);
    wide.resize((size_t)n - 1);
    return wide;
}

HRESULT AddWmv(XRVDSFileWriter* writer, IGraphBuilder* graph, LPCWSTR path, IBaseFilter** filter, IPin** videoIn,
               IPin** audioIn)
{
    const WmvProfileChoice* choice = (const WmvProfileChoice*)writer->m_pProfileChoice;
    if (!choice) {
        ReportTimelineFailure(XRV_TIMELINE_SOURCE, __LINE__, "no Windows Media profile was chosen for the output");
        return E_INVALIDARG;
    }
    int width = 0, height = 0;
    writer->GetOutputSize(&width, &height);
    BOOL loaded = FALSE;
    HRESULT hr = AddWmvWriterStage(graph, *choice, WideText(writer->m_strProfileFolder).c_str(), width, height, path,
                                   filter, videoIn, audioIn, &loaded);
    if (loaded)
        writer->m_bLoadedWmvCore = TRUE;
    return hr;
}

HRESULT AddSwf(XRVDSFileWriter* writer, IGraphBuilder* graph, LPCWSTR path, IBaseFilter** filter, IPin** videoIn,
               IPin** audioIn)
{
    SwfStageValues values;
    values.swfOptions = writer->m_pSwfOptions;
    values.recordSettings = writer->m_pSettings;
    values.text1 = WideText(writer->m_strSwfText1);
    values.text2 = WideText(writer->m_strSwfText2);
    values.rangeStart = writer->m_rtStart < 0 ? 0 : writer->m_rtStart;
    values.rangeStop = writer->m_rtStop < 0 ? 0 : writer->m_rtStop;
    values.duration = writer->GetDuration();
    if (writer->m_pSettings && writer->m_pSettings->m_FrameRate.m_nScale)
        values.settingsRate = (double)writer->m_pSettings->m_FrameRate.m_nRate /
                              (double)writer->m_pSettings->m_FrameRate.m_nScale;
    int maxWidth = 0, maxHeight = 0, depth = 0;
    double maxRate = 0.0;
    if (SUCCEEDED(writer->GetMaxProperties(&maxWidth, &maxHeight, &maxRate, &depth))) {
        values.maxSourceRate = maxRate;
        values.maxSourceDepth = depth;
    }
    int width = 0, height = 0;
    writer->GetOutputSize(&width, &height);
    values.width = width;
    values.height = height;
    return AddSwfWriterStage(graph, values, path, filter, videoIn, audioIn);
}

// Title, author, copyright and description, as the header's strings.
HRESULT WriteWmvMetadata(XRVDSFileWriter* writer, IGraphBuilder* graph)
{
    if (!writer->m_pSettings)
        return S_OK;
    CComPtr<IBaseFilter> asf;
    XRV_CHECK(graph->FindFilterByName( L"Kestravon Avi Mux", &asf ));
    CComQIPtr<IServiceProvider> provider(asf);
    XRV_CHECK_PTR(provider, "CComQIPtr(asf)", "IServiceProvider");
    CComPtr<IWMHeaderInfo> header;
    XRV_CHECK(provider->QueryService( IID_IWMHeaderInfo, IID_IWMHeaderInfo, (void**)&header ));
    const struct {
        const CString* text;
        LPCWSTR name;
    } fields[] = {{&writer->m_pSettings->m_strTitle, L"Title"},
                  {&writer->m_pSettings->m_strAuthor, L"Author"},
                  {&writer->m_pSettings->m_strCopyright, L"Copyright"},
                  {&writer->m_pSettings->m_strDescription, L"Description"}};
    for (const auto& f : fields) {
        if (f.text->IsEmpty())
            continue;
        std::wstring value = WideText(*f.text);
        const size_t bytes = (value.size() + 1) * sizeof(WCHAR);
        if (bytes > 0xFFFF)
            return E_INVALIDARG;
        XRV_CHECK(header->SetAttribute( 0, f.name, WMT_TYPE_STRING, (const BYTE*)value.c_str(), (WORD)bytes ));
    }
    return S_OK;
}

} // namespace

const OutputStageFunctions kProgramOutputStages = {AddWmv, AddSwf, WriteWmvMetadata};
