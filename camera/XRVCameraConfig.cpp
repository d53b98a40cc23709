// The framework's windows and std strings come before the DirectShow
// headers (their macros would rename framework members and std functions).
#include <string>
#include <vector>
#include "framework/WinApp.h"
#include "media/ProgressDlg.h"
#include "camera/XRVCameraConfig.h"
#include "camera/CameraDevices.h"
#include "media/RecordingOutput.h"
#include "XRVDirectShow/GraphUtil.h"
#include "framework/WinThread.h"
#include "platform/camkit/CamKit.h"
#include "platform/dex/DexFactory.h"
#include "resources/ids_capture.h"
#include "settings/PathUtil.h"
#include "XRVDirectShow/GraphBuilderCallback.h"
#include "XRVDirectShow/GraphUtil.h"

#include <dshow.h>
#include <dvdmedia.h>

namespace {

const char kScreenCodecName[] = "Kestravon Screen Capture Codec";

}  // namespace

XRVCameraConfig::XRVCameraConfig(LPCSTR version, LPCSTR keyFormat, LPCSTR section) : XRVDSTimeline(FALSE, FALSE)
{
    ::InitializeCriticalSection(&m_graphLock);
    m_settings = new CameraSettings(version, keyFormat, section);
    ::SetRect(&m_previewRect, 50, 200, 226, 344);
    m_pGraph.Release();
    DexCreate(CLSID_FilterGraph, &m_pGraph.p);
}

XRVCameraConfig::~XRVCameraConfig()
{
    StopPreview();
    StopCapture(FALSE, 5000);
    TearDownGraph();
    if (m_pGraph) {
        if (m_frameSkipFilter)
            m_pGraph->RemoveFilter(m_frameSkipFilter);
        if (m_sampleGrabberFilter)
            m_pGraph->RemoveFilter(m_sampleGrabberFilter);
        if (m_colorConverter)
            m_pGraph->RemoveFilter(m_colorConverter);
        if (m_audioFrameSkip)
            m_pGraph->RemoveFilter(m_audioFrameSkip);
    }
    delete m_settings;
    ::DeleteCriticalSection(&m_graphLock);
}

BOOL XRVCameraConfig::IsBusy()
{
    if (!::TryEnterCriticalSection(&m_graphLock))
        return TRUE;
    const BOOL busy = m_capturing || m_prepared || m_progress != nullptr;
    ::LeaveCriticalSection(&m_graphLock);
    return busy;
}

// ------------------------------------------------------------ lists

void XRVCameraConfig::ListDeviceNames(CStringArray* names, REFCLSID category)
{
    ::ListDeviceNames(names, category);
}

void XRVCameraConfig::BuildDeviceList(CStringArray* names)
{
    if (!m_settings || !names)
        return;
    if (!m_settings->m_deviceListBuilt) {
        m_settings->m_deviceNames.RemoveAll();
        ListDeviceNames(&m_settings->m_deviceNames, CLSID_VideoInputDeviceCategory);
        m_settings->m_deviceListBuilt = TRUE;
    }
    names->RemoveAll();
    for (INT_PTR i = 0; i < m_settings->m_deviceNames.GetSize(); ++i)
        names->Add(m_settings->m_deviceNames[i]);
}

namespace {

// TRUE when the compressor of that name binds, takes RGB24 320x240 on its
// first input and offers IAMVideoCompression whose GetInfo answers.
BOOL IsUsableCompressor(const CString& name)
{
    IMoniker* moniker = NULL;
    CString found;
    if (!FindDeviceMoniker(CLSID_VideoCompressorCategory, &moniker, &found, name))
        return FALSE;
    BOOL ok = FALSE;
    IBaseFilter* filter = NULL;
    const CStringW wide(name);
    if (SUCCEEDED(FindCompressorFilter(1, wide, &filter)) && filter) {
        CameraSettings probe("3.0", "%s%s%s", "");
        IPin* in = NULL;
        if (SUCCEEDED(FindInputPin(filter, &in, 0)) && in) {
            if (in->QueryAccept(&probe.m_mediaType) == S_OK) {
                IEnumPins* pins = NULL;
                if (SUCCEEDED(filter->EnumPins(&pins))) {
                    IPin* pin = NULL;
                    while (!ok && pins->Next(1, &pin, NULL) == S_OK) {
                        IAMVideoCompression* compression = NULL;
                        if (SUCCEEDED(pin->QueryInterface(IID_IAMVideoCompression, (void**)&compression))) {
                            std::vector<WCHAR> version(4096), description(4096);
                            int versionSize = 8192, descriptionSize = 8192;
                            long keyFrames = 0, pFrames = 0, window = 0;
                            double quality = 0;
                            ok = SUCCEEDED(compression->GetInfo(version.data(), &versionSize, description.data(),
                                                                &descriptionSize, &keyFrames, &pFrames, &quality,
                                                                &window));
                            compression->Release();
                        }
                        pin->Release();
                    }
                    pins->Release();
                }
            }
            in->Release();
        }
        filter->Release();
    }
    moniker->Release();
    return ok;
}

}  // namespace

void XRVCameraConfig::BuildCodecList(CStringArray* names)
{
    if (!m_settings || !names)
        return;
    if (!m_settings->m_codecListBuilt) {
        CStringArray& list = m_settings->m_codecNames;
        list.RemoveAll();
        if (m_settings->m_listCompressors) {
            EnsureOwnCompressorsRegistered();
            CStringArray all;
            ListDeviceNames(&all, CLSID_VideoCompressorCategory);
            // Wine lists an installed codec also under the name of its
            // DirectShow filter: each name is kept once.
            for (INT_PTR i = 0; i < all.GetSize(); ++i) {
                BOOL seen = FALSE;
                for (INT_PTR j = 0; j < list.GetSize() && !seen; ++j)
                    seen = list[j] == all[i];
                if (!seen && IsUsableCompressor(all[i]))
                    list.Add(all[i]);
            }
        }
        list.InsertAt(0, CameraSettings::DefaultCodecName());
        m_settings->m_codecListBuilt = TRUE;
    }
    names->RemoveAll();
    for (INT_PTR i = 0; i < m_settings->m_codecNames.GetSize(); ++i)
        names->Add(m_settings->m_codecNames[i]);
}

void XRVCameraConfig::AppendDeviceReport(CString* report)
{
    if (!report)
        return;
    *report += "Camera devices";
    *report += "\r\n\r\n";
    CStringArray names;
    ListDeviceNames(&names, CLSID_VideoInputDeviceCategory);
    for (INT_PTR i = 0; i < names.GetSize(); ++i)
        *report += names[i] + "\r\n";
}

BOOL XRVCameraConfig::EnsureDevice(BOOL pickFirst)
{
    if (!m_settings)
        return FALSE;
    if (m_settings->m_deviceName.IsEmpty() && pickFirst) {
        CStringArray names;
        BuildDeviceList(&names);
        if (names.GetSize() > 0)
            SetDevice(names[0]);
    }
    return !m_settings->m_deviceName.IsEmpty();
}

BOOL XRVCameraConfig::SetDevice(LPCSTR name)
{
    if (!m_settings)
        return FALSE;
    StopPreview();
    if (!m_settings->SelectDevice(name)) {
        m_hasVfwSourceDialog = m_hasVfwFormatDialog = m_filterHasPages = m_pinHasPages = FALSE;
        return FALSE;
    }
    InitCapFilters(FALSE);
    RefreshDialogAvailability();
    return TRUE;
}

BOOL XRVCameraConfig::SetCodec(LPCSTR name)
{
    EnsureOwnCompressorsRegistered();
    if (!m_settings || !m_settings->SelectCodec(name))
        return FALSE;
    InitCapFilters(FALSE);
    m_codecHasDialog = FALSE;
    IAMVfwCompressDialogs* dialogs = NULL;
    if (m_compressorFilter &&
        SUCCEEDED(m_compressorFilter->QueryInterface(IID_IAMVfwCompressDialogs, (void**)&dialogs))) {
        m_codecHasDialog = dialogs->ShowDialog(VfwCompressDialog_QueryConfig, NULL) == S_OK;
        dialogs->Release();
    }
    m_codecHasCompression = FALSE;
    CComPtr<IPin> out;
    CComPtr<IAMVideoCompression> compression;
    if (m_compressorFilter && SUCCEEDED(FindOutputPin(m_compressorFilter, &out.p, 0)) &&
        SUCCEEDED(out->QueryInterface(IID_IAMVideoCompression, (void**)&compression.p)))
        m_codecHasCompression = TRUE;
    return TRUE;
}

IBaseFilter* XRVCameraConfig::CompressorFilter()
{
    if (!m_compressorFilter && m_settings && !UsesDefaultCodec() && !IsBusy())
        InitCapFilters(FALSE);
    return m_compressorFilter;
}

CString XRVCameraConfig::GetDeviceName() { return m_settings ? m_settings->m_deviceName : CString(); }
CString XRVCameraConfig::GetCodecName() { return m_settings ? m_settings->m_codecName : CString(); }

BOOL XRVCameraConfig::UsesDefaultCodec()
{
    return m_settings && CameraSettings::IsDefaultCodecName(m_settings->m_codecName);
}

BOOL XRVCameraConfig::GetVideoSize(int* width, int* height)
{
    if (!m_settings || !width || !height)
        return FALSE;
    const AM_MEDIA_TYPE& mt = m_settings->m_mediaType;
    const BITMAPINFOHEADER* bih = NULL;
    if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER) && mt.pbFormat)
        bih = &((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
    else if (mt.formattype == FORMAT_VideoInfo2 && mt.cbFormat >= sizeof(VIDEOINFOHEADER2) && mt.pbFormat)
        bih = &((const VIDEOINFOHEADER2*)mt.pbFormat)->bmiHeader;
    if (!bih)
        return FALSE;
    *width = bih->biWidth;
    *height = bih->biHeight;
    return TRUE;
}

void XRVCameraConfig::DescribeTrack(RecordingTrackInfo* info)
{
    if (!info)
        return;
    info->cameraCodec = GetCodecName();
    info->cameraProfileWithAudio = m_profileWithAudio;
    info->cameraProfileWithoutAudio = m_profileWithoutAudio;
    int width = 0, height = 0;
    if (!GetVideoSize(&width, &height))
        return;
    info->cameraWidth = width;
    info->cameraHeight = height < 0 ? -height : height;
    info->cameraBitCount = 24;
    const AM_MEDIA_TYPE& mt = m_settings->m_mediaType;
    if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER) && mt.pbFormat)
        info->cameraBitCount = ((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader.biBitCount;
    else if (mt.formattype == FORMAT_VideoInfo2 && mt.cbFormat >= sizeof(VIDEOINFOHEADER2) && mt.pbFormat)
        info->cameraBitCount = ((const VIDEOINFOHEADER2*)mt.pbFormat)->bmiHeader.biBitCount;
}

void XRVCameraConfig::SetSettings(CameraSettings* settings)
{
    if (settings == m_settings)
        return;
    delete m_settings;
    m_settings = settings;
}

void XRVCameraConfig::SetProfileNames(LPCSTR withoutAudio, LPCSTR withAudio, LPCSTR folder)
{
    m_profileWithoutAudio = withoutAudio;
    m_profileWithAudio = withAudio;
    m_profileFolder = folder;
}

CString XRVCameraConfig::GetProfileFolder()
{
    CString folder;
    HKEY key = NULL;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\SkorvaleStudio.exe",
                        0, KEY_READ, &key) == ERROR_SUCCESS) {
        char path[261] = {0};
        DWORD size = 260, type = 0;
        if (::RegQueryValueExA(key, NULL, NULL, &type, (BYTE*)path, &size) == ERROR_SUCCESS && type == REG_SZ) {
            path[size < 260 ? size : 260] = 0;
            folder = path;
            const int slash = folder.ReverseFind('\\');
            folder = slash >= 0 ? folder.Left(slash + 1) : CString();
        }
        ::RegCloseKey(key);
    }
    // Without App Paths a bare "Windows Media Profiles" would be relative to
    // whatever the current folder is: the program's own folder stands in.
    if (folder.IsEmpty()) {
        char module[MAX_PATH] = {0};
        const DWORD n = ::GetModuleFileNameA(NULL, module, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            folder = module;
            const int slash = folder.ReverseFind('\\');
            folder = slash >= 0 ? folder.Left(slash + 1) : CString();
        }
    }
    AppendPathPart(folder, "Windows Media Profiles");
    return folder;
}

// ------------------------------------------------------------ settings for one recording

void XRVCameraConfig::SetCodecFlag(BOOL recordAudio)
{
    if (m_settings)
        m_settings->m_recordAudio = recordAudio;
}

void XRVCameraConfig::SetPushSourceAudio(BOOL pushed)
{
    if (m_settings)
        m_settings->m_pushSourceAudio = pushed;
}

BOOL XRVCameraConfig::SetOutputName(LPCSTR name)
{
    m_outputName = name;
    return TRUE;
}

void XRVCameraConfig::SetAudioFormat(const WAVEFORMATEX* format)
{
    if (!m_settings || !format)
        return;
    WAVEFORMATEX& wf = m_settings->m_audioFormat;
    wf.wFormatTag = format->wFormatTag;
    wf.nChannels = format->nChannels;
    wf.nSamplesPerSec = format->nSamplesPerSec;
    wf.nAvgBytesPerSec = format->nAvgBytesPerSec;
    wf.nBlockAlign = format->nBlockAlign;
    wf.wBitsPerSample = format->wBitsPerSample;
}

IXrvPushSource* XRVCameraConfig::GetPushSource()
{
    IXrvPushSource* push = m_pushSource;
    if (push)
        static_cast<IUnknown*>(push)->AddRef();
    return push;
}
