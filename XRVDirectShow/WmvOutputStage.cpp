#include "XRVDirectShow/WmvOutputStage.h"
#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"
#include "platform/wmwriter/AsfWriterFilter.h"
#include "platform/wmwriter/WmvCore.h"
#include <dvdmedia.h>
#include <vector>

#undef XRV_TIMELINE_SOURCE
#define XRV_TIMELINE_SOURCE ".\\XRVDirectShow\\XRVDSFileWriter"

namespace {

// Holds one reference and releases it on every return.
template <class T> struct Held {
    T* p = nullptr;
    ~Held()
    {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
    T* Detach()
    {
        T* t = p;
        p = nullptr;
        return t;
    }
};

// Gives every video stream of 0 x 0 the output size.
HRESULT FitVideoStreams(IWMProfile* profile, LONG width, LONG height)
{
    DWORD count = 0;
    XRV_CHECK(profile->GetStreamCount(&count));
    for (DWORD i = 0; i < count; ++i) {
        Held<IWMStreamConfig> config;
        XRV_CHECK(profile->GetStream(i, &config));
        GUID type = GUID_NULL;
        XRV_CHECK(config->GetStreamType(&type));
        if (type != MEDIATYPE_Video)
            continue;
        Held<IWMMediaProps> props;
        XRV_CHECK(config->QueryInterface(IID_IWMMediaProps, (void**)&props));
        DWORD size = 0;
        XRV_CHECK(props->GetMediaType(NULL, &size));
        if (size < sizeof(WM_MEDIA_TYPE))
            continue;
        std::vector<BYTE> buffer(size);
        WM_MEDIA_TYPE* mt = (WM_MEDIA_TYPE*)buffer.data();
        XRV_CHECK(props->GetMediaType(mt, &size));
        BITMAPINFOHEADER* bih = NULL;
        if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER) && mt->pbFormat)
            bih = &((VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
        else if (mt->formattype == FORMAT_VideoInfo2 && mt->cbFormat >= sizeof(VIDEOINFOHEADER2) && mt->pbFormat)
            bih = &((VIDEOINFOHEADER2*)mt->pbFormat)->bmiHeader;
        if (!bih || bih->biWidth != 0 || bih->biHeight != 0)
            continue;
        bih->biWidth = width;
        bih->biHeight = height;
        XRV_CHECK(props->SetMediaType(mt));
        XRV_CHECK(profile->ReconfigStream(config.p));
    }
    return S_OK;
}

}  // namespace

HRESULT AddWmvWriterStage(IGraphBuilder* graph, const WmvProfileChoice& choice, LPCWSTR profileFolder,
                          LONG outputWidth, LONG outputHeight, LPCWSTR outputPath, IBaseFilter** filter,
                          IPin** videoPin, IPin** audioPin, BOOL* loadedWmvCore)
{
    if (!graph || !outputPath || !filter || !videoPin || !audioPin)
        return E_POINTER;
    *filter = NULL;
    *videoPin = NULL;
    *audioPin = NULL;
    Held<IBaseFilter> writer;
    XRV_CHECK(DexCreateInstance(CLSID_WMAsfWriter, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&writer));
    const WCHAR* strwFilterName = L"Kestravon Avi Mux";
    XRV_CHECK(graph->AddFilter(writer.p, strwFilterName));
    // From here a failure also takes the filter out of the graph again.
    struct Remove {
        IGraphBuilder* graph;
        IBaseFilter* filter;
        bool keep = false;
        ~Remove()
        {
            if (!keep)
                graph->RemoveFilter(filter);
        }
    } remove{graph, writer.p};

    Held<IConfigInterleaving> interleaving;
    if (SUCCEEDED(writer->QueryInterface(IID_IConfigInterleaving, (void**)&interleaving)))
        interleaving->put_Mode(INTERLEAVE_FULL);
    Held<IConfigAsfWriter> config;
    XRV_CHECK(writer->QueryInterface(IID_IConfigAsfWriter, (void**)&config));
    if (!IsWmvCoreLoaded() && LoadWmvCore() && loadedWmvCore)
        *loadedWmvCore = TRUE;

    Held<IWMProfile> profile;
    if (choice.resourceId)
        XRV_CHECK(LoadProfileFromResource(&profile, choice.resourceId));
    else if (choice.textGiven)
        XRV_CHECK(LoadProfileFromText(&profile, choice.text.c_str()));
    else
        XRV_CHECK(ReadPrxProfiles(choice.name.c_str(), choice.useOwnFolder, &profile, profileFolder));
    XRV_CHECK(FitVideoStreams(profile.p, outputWidth, outputHeight));
    XRV_CHECK(config->ConfigureFilterUsingProfile(profile.p));
    XRV_CHECK(config->SetIndexMode(choice.indexMode));

    Held<IFileSinkFilter> sink;
    XRV_CHECK(writer->QueryInterface(IID_IFileSinkFilter, (void**)&sink));
    XRV_CHECK(sink->SetFileName(outputPath, NULL));
    FindVideoPin(writer.p, videoPin);
    FindAudioPin(writer.p, audioPin);
    remove.keep = true;
    *filter = writer.Detach();
    return S_OK;
}
