#include "platform/dex/MediaDetector.h"
#include "platform/dex/MediaReader.h"
#include "platform/dex/MediaSourceFilter.h"
#include "platform/filters/MediaTypeUtil.h"

#include <new>
#include <vector>

namespace {

struct DetStream {
    AM_MEDIA_TYPE mt;
    double length;   // seconds
};

class CMediaDetector final : public IMediaDet {
public:
    CMediaDetector() : m_cRef(1), m_current(0), m_filter(NULL) {}
    ~CMediaDetector() { Clear(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaDet)) {
            *ppv = static_cast<IMediaDet*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = InterlockedDecrement(&m_cRef);
        if (n == 0)
            delete this;
        return n;
    }

    STDMETHODIMP get_Filter(IUnknown** pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_filter;
        if (m_filter)
            m_filter->AddRef();
        return m_filter ? S_OK : S_FALSE;
    }

    // The detector keeps its own reference to the filter.
    STDMETHODIMP put_Filter(IUnknown* newVal) override
    {
        if (!newVal)
            return E_POINTER;
        IBaseFilter* filter = NULL;
        if (FAILED(newVal->QueryInterface(IID_IBaseFilter, (void**)&filter)))
            return E_NOINTERFACE;
        Clear();
        m_filter = filter;
        IFileSourceFilter* source = NULL;
        if (SUCCEEDED(filter->QueryInterface(IID_IFileSourceFilter, (void**)&source))) {
            LPOLESTR name = NULL;
            if (SUCCEEDED(source->GetCurFile(&name, NULL)) && name) {
                m_name = name;
                CoTaskMemFree(name);
            }
            source->Release();
        }
        IEnumPins* pins = NULL;
        HRESULT hr = filter->EnumPins(&pins);
        if (FAILED(hr))
            return hr;
        IPin* pin = NULL;
        while (pins->Next(1, &pin, NULL) == S_OK) {
            PIN_DIRECTION dir;
            if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_OUTPUT)
                AddPinStream(pin);
            pin->Release();
        }
        pins->Release();
        return m_streams.empty() ? VFW_E_NO_ACCEPTABLE_TYPES : S_OK;
    }

    STDMETHODIMP get_OutputStreams(LONG* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        if (!m_reader && !m_filter)
            return E_INVALIDARG;
        *pVal = (LONG)m_streams.size();
        return S_OK;
    }
    STDMETHODIMP get_CurrentStream(LONG* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_current;
        return S_OK;
    }
    STDMETHODIMP put_CurrentStream(LONG newVal) override
    {
        if (newVal < 0 || newVal >= (LONG)m_streams.size())
            return E_INVALIDARG;
        m_current = newVal;
        return S_OK;
    }
    STDMETHODIMP get_StreamType(GUID* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        if (!Current())
            return E_INVALIDARG;
        *pVal = Current()->mt.majortype;
        return S_OK;
    }
    STDMETHODIMP get_StreamTypeB(BSTR* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        GUID type;
        HRESULT hr = get_StreamType(&type);
        if (FAILED(hr))
            return hr;
        WCHAR text[40];
        StringFromGUID2(type, text, 40);
        *pVal = SysAllocString(text);
        return *pVal ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_StreamLength(double* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        if (!Current())
            return E_INVALIDARG;
        *pVal = Current()->length;
        return S_OK;
    }
    STDMETHODIMP get_Filename(BSTR* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_name.empty() ? NULL : SysAllocString(m_name.c_str());
        return S_OK;
    }
    STDMETHODIMP put_Filename(BSTR newVal) override
    {
        if (!newVal || !*newVal)
            return E_INVALIDARG;
        std::unique_ptr<CMediaReader> reader;
        HRESULT hr = OpenMediaReader(newVal, &reader);
        if (FAILED(hr))
            return hr;
        Clear();
        m_reader = std::move(reader);
        m_name = newVal;
        for (int i = 0; i < m_reader->StreamCount(); ++i) {
            DetStream s = {};
            const MediaStreamInfo& info = m_reader->Stream(i);
            hr = MediaTypeOfStream(info, &s.mt);
            if (FAILED(hr)) {
                Clear();
                return hr;
            }
            s.length = info.length / 1e7;
            m_streams.push_back(s);
        }
        return S_OK;
    }
    STDMETHODIMP GetBitmapBits(double StreamTime, LONG* pBufferSize, char* pBuffer, LONG Width, LONG Height) override
    {
        if (!pBuffer && !pBufferSize)
            return E_POINTER;
        if (Width <= 0 || Height <= 0 || Width > kMaxMediaSide || Height > kMaxMediaSide)
            return E_INVALIDARG;
        LONG stride = (Width * 3 + 3) & ~3;
        LONG needed = (LONG)sizeof(BITMAPINFOHEADER) + stride * Height;
        if (!pBuffer) {
            *pBufferSize = needed;
            return S_OK;
        }
        if (pBufferSize && *pBufferSize < needed)
            return E_OUTOFMEMORY;
        int v = m_reader ? m_reader->FindStream(MEDIA_STREAM_VIDEO) : -1;
        if (v < 0)
            return VFW_E_INVALIDMEDIATYPE;
        const MediaStreamInfo& s = m_reader->Stream(v);
        LONG frame = 0;
        if (!s.still && s.rateNum && StreamTime > 0)
            frame = (LONG)(StreamTime * s.rateNum / s.rateDen + 1e-9);
        std::vector<BYTE> rgb32((size_t)s.width * s.height * 4);
        HRESULT hr = m_reader->ReadFrame(v, frame, rgb32.data());
        if (FAILED(hr))
            return hr;
        BITMAPINFOHEADER* bih = (BITMAPINFOHEADER*)pBuffer;
        ZeroMemory(bih, sizeof(*bih));
        bih->biSize = sizeof(*bih);
        bih->biWidth = Width;
        bih->biHeight = Height;
        bih->biPlanes = 1;
        bih->biBitCount = 24;
        bih->biCompression = BI_RGB;
        bih->biSizeImage = stride * Height;
        BYTE* bits = (BYTE*)(bih + 1);
        for (LONG y = 0; y < Height; ++y) {
            const DWORD* src = (const DWORD*)(rgb32.data() + (size_t)((LONGLONG)y * s.height / Height) * s.width * 4);
            BYTE* dst = bits + (size_t)y * stride;
            for (LONG x = 0; x < Width; ++x) {
                DWORD p = src[(LONGLONG)x * s.width / Width];
                dst[x * 3] = (BYTE)p;
                dst[x * 3 + 1] = (BYTE)(p >> 8);
                dst[x * 3 + 2] = (BYTE)(p >> 16);
            }
        }
        return S_OK;
    }
    STDMETHODIMP WriteBitmapBits(double StreamTime, LONG Width, LONG Height, BSTR Filename) override
    {
        if (!Filename)
            return E_POINTER;
        LONG size = 0;
        HRESULT hr = GetBitmapBits(StreamTime, &size, NULL, Width, Height);
        if (FAILED(hr))
            return hr;
        std::vector<char> dib(size);
        hr = GetBitmapBits(StreamTime, &size, dib.data(), Width, Height);
        if (FAILED(hr))
            return hr;
        BITMAPFILEHEADER bfh = {};
        bfh.bfType = 0x4D42;
        bfh.bfSize = (DWORD)(sizeof(bfh) + dib.size());
        bfh.bfOffBits = sizeof(bfh) + sizeof(BITMAPINFOHEADER);
        HANDLE file = CreateFileW(Filename, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return HRESULT_FROM_WIN32(GetLastError());
        DWORD written = 0;
        BOOL ok = WriteFile(file, &bfh, sizeof(bfh), &written, NULL) &&
                  WriteFile(file, dib.data(), (DWORD)dib.size(), &written, NULL);
        CloseHandle(file);
        return ok ? S_OK : E_FAIL;
    }
    STDMETHODIMP get_StreamMediaType(AM_MEDIA_TYPE* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        if (!Current())
            return E_INVALIDARG;
        return DsCopyMediaType(pVal, &Current()->mt);
    }
    STDMETHODIMP GetSampleGrabber(ISampleGrabber** ppVal) override
    {
        if (ppVal)
            *ppVal = NULL;
        return E_NOTIMPL;
    }
    // Frames per second of a video stream (0 and S_FALSE for a still).
    STDMETHODIMP get_FrameRate(double* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = 0.0;
        const DetStream* s = Current();
        if (!s)
            return E_INVALIDARG;
        if (!IsEqualGUID(s->mt.majortype, MEDIATYPE_Video))
            return VFW_E_INVALIDMEDIATYPE;
        if (IsEqualGUID(s->mt.formattype, FORMAT_VideoInfo) && s->mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
            REFERENCE_TIME perFrame = ((const VIDEOINFOHEADER*)s->mt.pbFormat)->AvgTimePerFrame;
            if (perFrame > 0) {
                *pVal = 1e7 / (double)perFrame;
                return S_OK;
            }
        }
        return S_FALSE;
    }
    STDMETHODIMP EnterBitmapGrabMode(double) override
    {
        return m_reader && m_reader->FindStream(MEDIA_STREAM_VIDEO) >= 0 ? S_OK : VFW_E_INVALIDMEDIATYPE;
    }

private:
    const DetStream* Current() const
    {
        return m_current >= 0 && m_current < (LONG)m_streams.size() ? &m_streams[m_current] : NULL;
    }
    void AddPinStream(IPin* pin)
    {
        DetStream s = {};
        if (FAILED(pin->ConnectionMediaType(&s.mt))) {
            IEnumMediaTypes* types = NULL;
            AM_MEDIA_TYPE* first = NULL;
            if (FAILED(pin->EnumMediaTypes(&types)) || !types)
                return;
            HRESULT hr = types->Next(1, &first, NULL);
            types->Release();
            if (hr != S_OK || !first)
                return;
            s.mt = *first;
            CoTaskMemFree(first);
        }
        IMediaSeeking* seeking = NULL;
        if (SUCCEEDED(pin->QueryInterface(IID_IMediaSeeking, (void**)&seeking))) {
            LONGLONG duration = 0;
            if (SUCCEEDED(seeking->GetDuration(&duration)))
                s.length = duration / 1e7;
            seeking->Release();
        }
        m_streams.push_back(s);
    }
    void Clear()
    {
        for (DetStream& s : m_streams)
            DsFreeMediaType(&s.mt);
        m_streams.clear();
        m_current = 0;
        m_reader.reset();
        m_name.clear();
        if (m_filter) {
            m_filter->Release();
            m_filter = NULL;
        }
    }

    volatile LONG m_cRef;
    LONG m_current;
    IBaseFilter* m_filter;
    std::unique_ptr<CMediaReader> m_reader;
    std::wstring m_name;
    std::vector<DetStream> m_streams;
};

} // namespace

HRESULT DexCreateMediaDetector(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    CMediaDetector* det = new (std::nothrow) CMediaDetector();
    if (!det)
        return E_OUTOFMEMORY;
    HRESULT hr = det->QueryInterface(riid, ppv);
    det->Release();
    return hr;
}
