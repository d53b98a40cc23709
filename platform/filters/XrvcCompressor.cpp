#include "platform/filters/XrvcCompressor.h"
#include "platform/filters/TransformFilter.h"

#include <vfw.h>
#include <initguid.h>
#include <new>
#include <stddef.h>
#include <set>
#include <vector>

// {6C1F4E2A-7B3D-4A58-9E61-2F0D8C3B5A17}
DEFINE_GUID(CLSID_XrvScreenCodecFilter, 0x6c1f4e2a, 0x7b3d, 0x4a58, 0x9e, 0x61, 0x2f, 0x0d, 0x8c, 0x3b, 0x5a, 0x17);

const WCHAR kXrvcCompressorName[] = L"Kestravon Screen Capture Codec";

namespace {

const DWORD kXrvcFourCC = mmioFOURCC('x', 'r', 'v', 'c');

// The media subtype of a FourCC: {FourCC-0000-0010-8000-00AA00389B71}.
GUID FourCCSubtype(DWORD fourcc)
{
    GUID g = {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    return g;
}

// The bitmap header of a VIDEOINFOHEADER type with its colour table, when
// the format block holds all of it; null otherwise.
const BITMAPINFOHEADER* VideoHeader(const AM_MEDIA_TYPE* mt, DWORD* formatBytes)
{
    if (!mt || !IsEqualGUID(mt->majortype, MEDIATYPE_Video) || !IsEqualGUID(mt->formattype, FORMAT_VideoInfo) ||
        !mt->pbFormat || mt->cbFormat < sizeof(VIDEOINFOHEADER))
        return NULL;
    const BITMAPINFOHEADER* bih = &((const VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
    const DWORD room = mt->cbFormat - (DWORD)offsetof(VIDEOINFOHEADER, bmiHeader);
    if (bih->biSize < sizeof(BITMAPINFOHEADER) || bih->biSize > room)
        return NULL;
    DWORD entries = 0;
    if (bih->biBitCount <= 8) {
        entries = bih->biClrUsed ? bih->biClrUsed : (1u << bih->biBitCount);
        if (entries > 256)
            return NULL;
    }
    const DWORD bytes = bih->biSize + entries * sizeof(RGBQUAD);
    if (bytes > room)
        return NULL;
    if (formatBytes)
        *formatBytes = bytes;
    return bih;
}

// Bytes of one uncompressed frame of the header (rows padded to 4 bytes).
DWORD ImageBytes(const BITMAPINFOHEADER* bih)
{
    const ULONGLONG stride = (((ULONGLONG)bih->biWidth * bih->biBitCount + 31) / 32) * 4;
    const ULONGLONG h = bih->biHeight < 0 ? -(LONGLONG)bih->biHeight : bih->biHeight;
    const ULONGLONG bytes = stride * h;
    return bytes > 0x7FFFFFFF ? 0 : (DWORD)bytes;
}

class CXrvcCompressor;

// IAMVideoCompression, on the filter and its output pin (part of the
// filter's reference count).
class CVideoCompression : public IAMVideoCompression {
public:
    explicit CVideoCompression(CXrvcCompressor* owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP put_KeyFrameRate(LONG rate) override;
    STDMETHODIMP get_KeyFrameRate(LONG* rate) override;
    STDMETHODIMP put_PFramesPerKeyFrame(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_PFramesPerKeyFrame(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Quality(double quality) override;
    STDMETHODIMP get_Quality(double* quality) override;
    STDMETHODIMP put_WindowSize(DWORDLONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_WindowSize(DWORDLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetInfo(LPWSTR version, int* versionBytes, LPWSTR description, int* descriptionBytes,
                         LONG* defaultKeyRate, LONG* defaultPFrames, double* defaultQuality, LONG* caps) override;
    STDMETHODIMP OverrideKeyFrame(LONG frame) override;
    // A lossless codec cannot be held to a frame size.
    STDMETHODIMP OverrideFrameSize(LONG, LONG) override { return E_NOTIMPL; }

private:
    CXrvcCompressor* m_owner;
};

// IAMVfwCompressDialogs, on the filter.
class CCompressDialogs : public IAMVfwCompressDialogs {
public:
    explicit CCompressDialogs(CXrvcCompressor* owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP ShowDialog(int dialog, HWND parent) override;
    STDMETHODIMP GetState(LPVOID state, int* stateBytes) override;
    STDMETHODIMP SetState(LPVOID state, int stateBytes) override;
    STDMETHODIMP SendDriverMessage(int message, LONG param1, LONG param2) override;

private:
    CXrvcCompressor* m_owner;
};

class CXrvcCompressor : public CTransformFilterBase {
public:
    CXrvcCompressor() : CTransformFilterBase(CLSID_XrvScreenCodecFilter), m_compression(this), m_dialogs(this) {}
    ~CXrvcCompressor() override
    {
        if (m_hic) {
            if (m_begun)
                ICCompressEnd(m_hic);
            ICClose(m_hic);
        }
    }

    HRESULT Open()
    {
        m_hic = ICOpen(ICTYPE_VIDEO, kXrvcFourCC, ICMODE_COMPRESS);
        if (!m_hic)
            return REGDB_E_CLASSNOTREG;   // the codec is not installed
        ICINFO info = {};
        info.dwSize = sizeof(info);
        if (!ICGetInfo(m_hic, &info, sizeof(info)))
            return E_FAIL;
        m_info = info;
        DWORD rate = 0;
        if (ICSendMessage(m_hic, ICM_GETDEFAULTKEYFRAMERATE, (DWORD_PTR)&rate, sizeof(rate)) == ICERR_OK && rate > 0 &&
            rate < 0x7FFFFFFF)
            m_defaultKeyRate = (LONG)rate;
        DWORD quality = 0;
        if (ICSendMessage(m_hic, ICM_GETDEFAULTQUALITY, (DWORD_PTR)&quality, sizeof(quality)) == ICERR_OK &&
            quality <= ICQUALITY_HIGH)
            m_defaultQuality = quality;
        return S_OK;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && IsEqualIID(riid, IID_IAMVideoCompression)) {
            *ppv = static_cast<IAMVideoCompression*>(&m_compression);
            AddRef();
            return S_OK;
        }
        if (ppv && IsEqualIID(riid, IID_IAMVfwCompressDialogs)) {
            *ppv = static_cast<IAMVfwCompressDialogs*>(&m_dialogs);
            AddRef();
            return S_OK;
        }
        return CTransformFilterBase::QueryInterface(riid, ppv);
    }

    // The output pin answers for IAMVideoCompression too: callers look for
    // it on the compressor's pins.
    HRESULT OutputPinInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IAMVideoCompression)) {
            *ppv = static_cast<IAMVideoCompression*>(&m_compression);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override
    {
        DWORD bytes = 0;
        const BITMAPINFOHEADER* bih = VideoHeader(in, &bytes);
        if (!bih || bih->biCompression != BI_RGB || ImageBytes(bih) == 0)
            return VFW_E_TYPE_NOT_ACCEPTED;
        CDsAutoLock lock(&m_codecLock);
        std::vector<BYTE> copy((const BYTE*)bih, (const BYTE*)bih + bytes);
        return ICCompressQuery(m_hic, copy.data(), NULL) == ICERR_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }

    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override
    {
        if (CheckInputType(in) != S_OK)
            return VFW_E_TYPE_NOT_ACCEPTED;
        DWORD inBytes = 0, outBytes = 0;
        const BITMAPINFOHEADER* inBih = VideoHeader(in, &inBytes);
        const BITMAPINFOHEADER* outBih = VideoHeader(out, &outBytes);
        if (!outBih || outBih->biCompression != kXrvcFourCC || !IsEqualGUID(out->subtype, FourCCSubtype(kXrvcFourCC)))
            return VFW_E_TYPE_NOT_ACCEPTED;
        std::vector<BYTE> a((const BYTE*)inBih, (const BYTE*)inBih + inBytes);
        std::vector<BYTE> b((const BYTE*)outBih, (const BYTE*)outBih + outBytes);
        CDsAutoLock lock(&m_codecLock);
        return ICCompressQuery(m_hic, a.data(), b.data()) == ICERR_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }

    // One output type: the codec's format for the input, at the input's rate.
    HRESULT GetOutputType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        const AM_MEDIA_TYPE& in = m_input->CurrentMediaType();
        DWORD inBytes = 0;
        const BITMAPINFOHEADER* inBih = VideoHeader(&in, &inBytes);
        if (!inBih)
            return VFW_E_NOT_CONNECTED;
        std::vector<BYTE> source((const BYTE*)inBih, (const BYTE*)inBih + inBytes);
        std::vector<BYTE> format;
        {
            CDsAutoLock lock(&m_codecLock);
            const LRESULT size = ICCompressGetFormatSize(m_hic, source.data());
            if (size < (LRESULT)sizeof(BITMAPINFOHEADER) || size > 64 * 1024)
                return VFW_E_TYPE_NOT_ACCEPTED;
            format.assign((size_t)size, 0);
            if (ICCompressGetFormat(m_hic, source.data(), format.data()) != ICERR_OK)
                return VFW_E_TYPE_NOT_ACCEPTED;
        }
        const DWORD cb = (DWORD)(offsetof(VIDEOINFOHEADER, bmiHeader) + format.size());
        VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)CoTaskMemAlloc(cb < sizeof(VIDEOINFOHEADER) ? sizeof(VIDEOINFOHEADER) : cb);
        if (!vih)
            return E_OUTOFMEMORY;
        const VIDEOINFOHEADER* inVih = (const VIDEOINFOHEADER*)in.pbFormat;
        ZeroMemory(vih, cb < sizeof(VIDEOINFOHEADER) ? sizeof(VIDEOINFOHEADER) : cb);
        vih->rcSource = inVih->rcSource;
        vih->rcTarget = inVih->rcTarget;
        vih->AvgTimePerFrame = inVih->AvgTimePerFrame;
        CopyMemory(&vih->bmiHeader, format.data(), format.size());
        if (vih->AvgTimePerFrame > 0)
            vih->dwBitRate = (DWORD)((ULONGLONG)vih->bmiHeader.biSizeImage * 8 * 10000000 / vih->AvgTimePerFrame);
        ZeroMemory(mt, sizeof(*mt));
        mt->majortype = MEDIATYPE_Video;
        mt->subtype = FourCCSubtype(kXrvcFourCC);
        mt->bFixedSizeSamples = FALSE;
        mt->bTemporalCompression = TRUE;
        mt->lSampleSize = 0;
        mt->formattype = FORMAT_VideoInfo;
        mt->cbFormat = cb < sizeof(VIDEOINFOHEADER) ? sizeof(VIDEOINFOHEADER) : cb;
        mt->pbFormat = (BYTE*)vih;
        return S_OK;
    }

    // Each buffer holds the codec's worst case for one frame.
    HRESULT DecideOutputBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        DWORD inBytes = 0;
        const BITMAPINFOHEADER* inBih = VideoHeader(&m_input->CurrentMediaType(), &inBytes);
        if (!inBih)
            return VFW_E_NOT_CONNECTED;
        std::vector<BYTE> source((const BYTE*)inBih, (const BYTE*)inBih + inBytes);
        LRESULT worst = 0;
        {
            CDsAutoLock lock(&m_codecLock);
            worst = ICCompressGetSize(m_hic, source.data(), NULL);
        }
        if (worst <= 0 || worst > 0x7FFFFFFF)
            return E_FAIL;
        if (request->cbBuffer < (long)worst)
            request->cbBuffer = (long)worst;
        if (request->cBuffers < 2)
            request->cBuffers = 2;
        if (request->cbAlign < 1)
            request->cbAlign = 1;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr))
            return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }

    HRESULT Transform(IMediaSample* in, IMediaSample* out) override
    {
        BYTE* src = NULL;
        BYTE* dst = NULL;
        if (FAILED(in->GetPointer(&src)) || FAILED(out->GetPointer(&dst)))
            return E_UNEXPECTED;
        CDsAutoLock lock(&m_codecLock);
        if (!m_begun)
            return VFW_E_WRONG_STATE;
        BITMAPINFOHEADER* inBih = (BITMAPINFOHEADER*)m_inFormat.data();
        BITMAPINFOHEADER* outBih = (BITMAPINFOHEADER*)m_outFormat.data();
        // A short frame would make the codec read past the sample.
        if (in->GetActualDataLength() < (long)ImageBytes(inBih))
            return E_INVALIDARG;
        if (out->GetSize() < m_worstFrame)
            return VFW_E_BUFFER_OVERFLOW;
        // After a gap (a seek, a flush) the picture before it is not the
        // reference the decoder will hold: start again with a key frame.
        if (in->IsDiscontinuity() == S_OK)
            m_forceKey = TRUE;
        const bool key = m_forceKey || m_frame == 0 || (m_keyRate > 0 && m_frame % m_keyRate == 0) ||
                         m_overrides.count(m_frame) != 0;
        m_forceKey = FALSE;
        DWORD ckid = 0, flags = 0;
        outBih->biSizeImage = (DWORD)m_worstFrame;
        const DWORD rc = ICCompress(m_hic, key ? ICCOMPRESS_KEYFRAME : 0, outBih, dst, inBih, src, &ckid, &flags,
                                    m_frame, 0, m_quality, NULL, NULL);
        if (rc != ICERR_OK || outBih->biSizeImage == 0 || outBih->biSizeImage > (DWORD)m_worstFrame)
            return E_FAIL;
        out->SetActualDataLength((long)outBih->biSizeImage);
        out->SetSyncPoint((flags & AVIIF_KEYFRAME) != 0);
        ++m_frame;
        return S_OK;
    }

    // Start of streaming: the codec begins with the formats and settings of
    // this run.
    HRESULT OnPause(FILTER_STATE from) override
    {
        if (from != State_Stopped || !m_input->IsConnected() || !m_output->IsConnected())
            return S_OK;
        DWORD inBytes = 0, outBytes = 0;
        const BITMAPINFOHEADER* inBih = VideoHeader(&m_input->CurrentMediaType(), &inBytes);
        const BITMAPINFOHEADER* outBih = VideoHeader(&m_output->CurrentMediaType(), &outBytes);
        if (!inBih || !outBih)
            return VFW_E_NOT_CONNECTED;
        CDsAutoLock lock(&m_codecLock);
        m_inFormat.assign((const BYTE*)inBih, (const BYTE*)inBih + inBytes);
        m_outFormat.assign((const BYTE*)outBih, (const BYTE*)outBih + outBytes);
        const LRESULT worst = ICCompressGetSize(m_hic, m_inFormat.data(), NULL);
        if (worst <= 0 || worst > 0x7FFFFFFF)
            return E_FAIL;
        m_worstFrame = (long)worst;
        if (ICCompressBegin(m_hic, m_inFormat.data(), m_outFormat.data()) != ICERR_OK)
            return E_FAIL;
        m_begun = TRUE;
        m_frame = 0;
        m_forceKey = TRUE;
        m_keyRate = m_keyRateSetting < 0 ? m_defaultKeyRate : m_keyRateSetting;
        m_quality = m_qualitySetting < 0 ? m_defaultQuality : (DWORD)m_qualitySetting;
        return S_OK;
    }

    HRESULT OnStop() override
    {
        CDsAutoLock lock(&m_codecLock);
        if (m_begun)
            ICCompressEnd(m_hic);
        m_begun = FALSE;
        m_overrides.clear();
        return S_OK;
    }

    // ---- what the two interfaces do

    HRESULT PutKeyFrameRate(LONG rate)
    {
        CDsAutoLock lock(&m_codecLock);
        m_keyRateSetting = rate < 0 ? -1 : rate;
        return S_OK;
    }
    HRESULT GetKeyFrameRate(LONG* rate)
    {
        if (!rate)
            return E_POINTER;
        CDsAutoLock lock(&m_codecLock);
        *rate = m_keyRateSetting < 0 ? m_defaultKeyRate : m_keyRateSetting;
        return S_OK;
    }
    // Quality 0..1 (negative: the codec's default) in the codec's 0..10000.
    HRESULT PutQuality(double quality)
    {
        if (quality > 1.0)
            return E_INVALIDARG;
        CDsAutoLock lock(&m_codecLock);
        m_qualitySetting = quality < 0 ? -1 : (LONG)(quality * ICQUALITY_HIGH + 0.5);
        return S_OK;
    }
    HRESULT GetQuality(double* quality)
    {
        if (!quality)
            return E_POINTER;
        CDsAutoLock lock(&m_codecLock);
        *quality = (m_qualitySetting < 0 ? (LONG)m_defaultQuality : m_qualitySetting) / (double)ICQUALITY_HIGH;
        return S_OK;
    }
    HRESULT OverrideKey(LONG frame)
    {
        if (frame < 0)
            return E_INVALIDARG;
        CDsAutoLock lock(&m_codecLock);
        m_overrides.insert(frame);
        return S_OK;
    }
    HRESULT Info(LPWSTR version, int* versionBytes, LPWSTR description, int* descriptionBytes, LONG* defaultKeyRate,
                 LONG* defaultPFrames, double* defaultQuality, LONG* caps)
    {
        // "major.minor" of the codec's version (strsafe.h, pulled in by
        // dshow.h, rules out the printf family here).
        WCHAR versionText[24];
        WCHAR* end = versionText;
        for (int part = 0; part < 2; ++part) {
            WCHAR digits[8];
            int n = 0;
            unsigned v = part == 0 ? HIWORD(m_info.dwVersion) : LOWORD(m_info.dwVersion);
            do {
                digits[n++] = (WCHAR)(L'0' + v % 10);
                v /= 10;
            } while (v);
            if (part == 1)
                *end++ = L'.';
            while (n)
                *end++ = digits[--n];
        }
        *end = 0;
        CopyText(versionText, version, versionBytes);
        CopyText(m_info.szDescription, description, descriptionBytes);
        if (defaultKeyRate)
            *defaultKeyRate = m_defaultKeyRate;
        if (defaultPFrames)
            *defaultPFrames = 0;
        if (defaultQuality)
            *defaultQuality = m_defaultQuality / (double)ICQUALITY_HIGH;
        if (caps) {
            LONG c = 0;
            if (m_info.dwFlags & VIDCF_QUALITY)
                c |= CompressionCaps_CanQuality;
            if (m_info.dwFlags & VIDCF_CRUNCH)
                c |= CompressionCaps_CanCrunch;
            if (m_info.dwFlags & VIDCF_TEMPORAL)
                c |= CompressionCaps_CanKeyFrame;
            *caps = c;
        }
        return S_OK;
    }

    HRESULT Dialog(int dialog, HWND parent)
    {
        switch (dialog) {
        case VfwCompressDialog_QueryConfig: {
            CDsAutoLock lock(&m_codecLock);
            return ICQueryConfigure(m_hic) ? S_OK : S_FALSE;
        }
        case VfwCompressDialog_QueryAbout: {
            CDsAutoLock lock(&m_codecLock);
            return ICQueryAbout(m_hic) ? S_OK : S_FALSE;
        }
        case VfwCompressDialog_Config:
        case VfwCompressDialog_About: {
            // A box may change the codec's state: not while it compresses.
            if (m_state != State_Stopped)
                return VFW_E_NOT_STOPPED;
            CDsAutoLock lock(&m_codecLock);
            const LRESULT rc = dialog == VfwCompressDialog_Config ? ICConfigure(m_hic, parent) : ICAbout(m_hic, parent);
            return rc == ICERR_OK ? S_OK : E_FAIL;
        }
        default:
            return E_INVALIDARG;
        }
    }

    // With no buffer, the size of the state; with one, the state itself
    // (a buffer too small is refused and told the size).
    HRESULT ReadState(LPVOID state, int* stateBytes)
    {
        if (!stateBytes)
            return E_POINTER;
        CDsAutoLock lock(&m_codecLock);
        const LRESULT size = ICGetStateSize(m_hic);
        if (size <= 0 || size > 0x100000)
            return E_FAIL;
        if (!state) {
            *stateBytes = (int)size;
            return S_OK;
        }
        if (*stateBytes < (int)size) {
            *stateBytes = (int)size;
            return E_INVALIDARG;
        }
        if (ICGetState(m_hic, state, (DWORD)size) != ICERR_OK)
            return E_FAIL;
        *stateBytes = (int)size;
        return S_OK;
    }

    // The codec answers with the bytes it used; none means it refused the
    // state and kept its own.
    HRESULT WriteState(LPVOID state, int stateBytes)
    {
        if (!state)
            return E_POINTER;
        if (stateBytes <= 0)
            return E_INVALIDARG;
        if (m_state != State_Stopped)
            return VFW_E_NOT_STOPPED;
        CDsAutoLock lock(&m_codecLock);
        return ICSetState(m_hic, state, (DWORD)stateBytes) > 0 ? S_OK : E_INVALIDARG;
    }

    HRESULT DriverMessage(int message, LONG param1, LONG param2)
    {
        CDsAutoLock lock(&m_codecLock);
        return (HRESULT)ICSendMessage(m_hic, (UINT)message, (DWORD_PTR)(LONG_PTR)param1, (DWORD_PTR)(LONG_PTR)param2);
    }

private:
    // Copies text into a caller's buffer of `bytes` bytes (cut to fit,
    // always terminated); with no buffer, tells the bytes needed.
    static void CopyText(LPCWSTR text, LPWSTR buffer, int* bytes)
    {
        const int needed = (int)((lstrlenW(text) + 1) * sizeof(WCHAR));
        if (!bytes)
            return;
        if (!buffer) {
            *bytes = needed;
            return;
        }
        const int chars = *bytes / (int)sizeof(WCHAR);
        if (chars <= 0)
            return;
        lstrcpynW(buffer, text, chars);
        *bytes = (int)((lstrlenW(buffer) + 1) * sizeof(WCHAR));
    }

    CVideoCompression m_compression;
    CCompressDialogs m_dialogs;
    CDsLock m_codecLock;
    HIC m_hic = NULL;
    ICINFO m_info = {};
    LONG m_defaultKeyRate = 0;
    DWORD m_defaultQuality = ICQUALITY_HIGH;
    // The caller's settings (negative: the codec's default).
    LONG m_keyRateSetting = -1;
    LONG m_qualitySetting = -1;
    std::set<LONG> m_overrides;
    // The run in progress.
    BOOL m_begun = FALSE;
    std::vector<BYTE> m_inFormat, m_outFormat;
    long m_worstFrame = 0;
    LONG m_frame = 0;
    LONG m_keyRate = 0;
    DWORD m_quality = ICQUALITY_HIGH;
    BOOL m_forceKey = TRUE;
};

STDMETHODIMP CVideoCompression::QueryInterface(REFIID riid, void** ppv) { return m_owner->QueryInterface(riid, ppv); }
STDMETHODIMP_(ULONG) CVideoCompression::AddRef() { return m_owner->AddRef(); }
STDMETHODIMP_(ULONG) CVideoCompression::Release() { return m_owner->Release(); }
STDMETHODIMP CVideoCompression::put_KeyFrameRate(LONG rate) { return m_owner->PutKeyFrameRate(rate); }
STDMETHODIMP CVideoCompression::get_KeyFrameRate(LONG* rate) { return m_owner->GetKeyFrameRate(rate); }
STDMETHODIMP CVideoCompression::put_Quality(double quality) { return m_owner->PutQuality(quality); }
STDMETHODIMP CVideoCompression::get_Quality(double* quality) { return m_owner->GetQuality(quality); }
STDMETHODIMP CVideoCompression::GetInfo(LPWSTR version, int* versionBytes, LPWSTR description, int* descriptionBytes,
                                        LONG* defaultKeyRate, LONG* defaultPFrames, double* defaultQuality, LONG* caps)
{
    return m_owner->Info(version, versionBytes, description, descriptionBytes, defaultKeyRate, defaultPFrames,
                         defaultQuality, caps);
}
STDMETHODIMP CVideoCompression::OverrideKeyFrame(LONG frame) { return m_owner->OverrideKey(frame); }

STDMETHODIMP CCompressDialogs::QueryInterface(REFIID riid, void** ppv) { return m_owner->QueryInterface(riid, ppv); }
STDMETHODIMP_(ULONG) CCompressDialogs::AddRef() { return m_owner->AddRef(); }
STDMETHODIMP_(ULONG) CCompressDialogs::Release() { return m_owner->Release(); }
STDMETHODIMP CCompressDialogs::ShowDialog(int dialog, HWND parent) { return m_owner->Dialog(dialog, parent); }
STDMETHODIMP CCompressDialogs::GetState(LPVOID state, int* stateBytes) { return m_owner->ReadState(state, stateBytes); }
STDMETHODIMP CCompressDialogs::SetState(LPVOID state, int stateBytes) { return m_owner->WriteState(state, stateBytes); }
STDMETHODIMP CCompressDialogs::SendDriverMessage(int message, LONG param1, LONG param2)
{
    return m_owner->DriverMessage(message, param1, param2);
}

} // namespace

HRESULT DsCreateXrvcCompressor(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    CXrvcCompressor* filter = new (std::nothrow) CXrvcCompressor;
    if (!filter)
        return E_OUTOFMEMORY;
    filter->AddRef();
    HRESULT hr = filter->Open();
    if (SUCCEEDED(hr))
        hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
}

HRESULT RegisterXrvcCompressorFilter()
{
    IFilterMapper2* mapper = NULL;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, NULL, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  (void**)&mapper);
    if (FAILED(hr))
        return hr;
    const REGPINTYPES inType = {&MEDIATYPE_Video, &GUID_NULL};
    const GUID outSubtype = FourCCSubtype(kXrvcFourCC);
    const REGPINTYPES outType = {&MEDIATYPE_Video, &outSubtype};
    REGFILTERPINS2 pins[2] = {};
    pins[0].cInstances = 1;
    pins[0].nMediaTypes = 1;
    pins[0].lpMediaType = &inType;
    pins[1].dwFlags = REG_PINFLAG_B_OUTPUT;
    pins[1].cInstances = 1;
    pins[1].nMediaTypes = 1;
    pins[1].lpMediaType = &outType;
    REGFILTER2 filter = {};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = 2;
    filter.rgPins2 = pins;
    hr = mapper->RegisterFilter(CLSID_XrvScreenCodecFilter, kXrvcCompressorName, NULL, &CLSID_VideoCompressorCategory,
                                NULL, &filter);
    mapper->Release();
    return hr;
}
