#include "platform/dex/DexFactory.h"
#include "platform/camkit/CamKit.h"
#include "platform/dex/ChainFilters.h"
#include "platform/dex/DexInterfaces.h"
#include "platform/dex/DexPropertySetter.h"
#include "platform/dex/DexTimeline.h"
#include "platform/dex/MediaDetector.h"
#include "platform/dex/MediaSourceFilter.h"
#include "platform/dex/PcmConverter.h"
#include "platform/dex/RenderEngine.h"
#include "platform/dex/XtlReader.h"
#include "platform/filters/AviMux.h"
#include "platform/filters/FileWriter.h"
#include "platform/filters/MediaPropertyBag.h"
#include "platform/filters/WaveDest.h"
#include "platform/filters/XrvcCompressor.h"
#include "platform/filters/WaveInSource.h"
#include "platform/swfwriter/SwfWriterFilter.h"
#include "platform/wmwriter/AsfWriterFilter.h"

#include <vector>

namespace {

struct Override {
    CLSID clsid;
    DexCreateFunction create;
};

CRITICAL_SECTION* OverrideLock()
{
    static CRITICAL_SECTION lock;
    static LONG ready = 0;
    static LONG initialising = 0;
    if (InterlockedCompareExchange(&ready, 0, 0) == 0) {
        if (InterlockedExchange(&initialising, 1) == 0) {
            InitializeCriticalSection(&lock);
            InterlockedExchange(&ready, 1);
        } else {
            while (InterlockedCompareExchange(&ready, 0, 0) == 0)
                Sleep(0);
        }
    }
    return &lock;
}

std::vector<Override>& Overrides()
{
    static std::vector<Override> list;
    return list;
}

DexCreateFunction FindOverride(REFCLSID clsid)
{
    DexCreateFunction found = NULL;
    EnterCriticalSection(OverrideLock());
    for (const Override& o : Overrides())
        if (IsEqualCLSID(o.clsid, clsid))
            found = o.create;
    LeaveCriticalSection(OverrideLock());
    return found;
}

} // namespace

DexCreateFunction DexSetClassFactory(REFCLSID clsid, DexCreateFunction create)
{
    DexCreateFunction previous = NULL;
    EnterCriticalSection(OverrideLock());
    std::vector<Override>& list = Overrides();
    for (size_t i = 0; i < list.size(); ++i) {
        if (IsEqualCLSID(list[i].clsid, clsid)) {
            previous = list[i].create;
            list.erase(list.begin() + i);
            break;
        }
    }
    if (create)
        list.push_back(Override{clsid, create});
    LeaveCriticalSection(OverrideLock());
    return previous;
}

// Our own classes answer before the system's: Wine's timeline is an empty
// shell and its property setter is not registered at all; our media
// source stands in for the maker's image and package sources, and our
// media detector for Wine's, which cannot read xrvc recordings; the render
// engine, the XML timeline reader, the colour space converter and the
// overlay and zoom filters are
// ours, and so are the Windows Media ASF writer and the SWF writer (Wine
// registers none of them).
HRESULT DexCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (DexCreateFunction create = FindOverride(clsid))
        return create(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_AMTimeline))
        return outer ? CLASS_E_NOAGGREGATION : DexCreateTimeline(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_PropertySetter))
        return outer ? CLASS_E_NOAGGREGATION : DexCreatePropertySetter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_Colour))
        return outer ? CLASS_E_NOAGGREGATION : DexCreateColourConverter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvOverlayFilter))
        return outer ? CLASS_E_NOAGGREGATION : DexCreateOverlayFilter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvZoomFilter))
        return outer ? CLASS_E_NOAGGREGATION : DexCreateZoomFilter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvPcmConverter))
        return outer ? CLASS_E_NOAGGREGATION : DexCreatePcmConverter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_Xml2Dex))
        return outer ? CLASS_E_NOAGGREGATION : DexCreateXml2Dex(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_RenderEngine))
        return outer ? CLASS_E_NOAGGREGATION : DexCreateRenderEngine(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_MediaDet))
        return outer ? CLASS_E_NOAGGREGATION : DexCreateMediaDetector(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvMediaSource) || IsEqualCLSID(clsid, CLSID_XrvImageSource) ||
        IsEqualCLSID(clsid, CLSID_XrvPackageSource))
        return outer ? CLASS_E_NOAGGREGATION : DexCreateMediaSource(clsid, riid, ppv);
    // Wine's AVI multiplexer cannot write and its file writer lacks
    // IFileSinkFilter2; the media property bag is not registered and the
    // wave destination is the maker's, not on the system at all.
    if (IsEqualCLSID(clsid, CLSID_XrvFrameSkip))
        return outer ? CLASS_E_NOAGGREGATION : CreateFrameSkipFilter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvVideoTee))
        return outer ? CLASS_E_NOAGGREGATION : CreateVideoTeeFilter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvPushSource))
        return outer ? CLASS_E_NOAGGREGATION : CreatePushSourceFilter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_AviDest))
        return outer ? CLASS_E_NOAGGREGATION : DsCreateAviMux(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_MediaPropertyBag))
        return outer ? CLASS_E_NOAGGREGATION : DsCreateMediaPropertyBag(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_FileWriter))
        return outer ? CLASS_E_NOAGGREGATION : DsCreateFileWriter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvWaveDest))
        return outer ? CLASS_E_NOAGGREGATION : DsCreateWaveDest(riid, ppv);
    // The xrvc compressor filter is ours; Wine would wrap the same codec in
    // its own compressor, which lacks the settings interfaces.
    if (IsEqualCLSID(clsid, CLSID_XrvScreenCodecFilter))
        return outer ? CLASS_E_NOAGGREGATION : DsCreateXrvcCompressor(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvWaveInSource))
        return outer ? CLASS_E_NOAGGREGATION : DsCreateWaveInSource(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_WMAsfWriter))
        return outer ? CLASS_E_NOAGGREGATION : CreateAsfWriterFilter(riid, ppv);
    if (IsEqualCLSID(clsid, CLSID_XrvSwfWriter))
        return outer ? CLASS_E_NOAGGREGATION : CreateSwfWriterFilter(riid, ppv);
    return ::CoCreateInstance(clsid, outer, context, riid, ppv);
}
