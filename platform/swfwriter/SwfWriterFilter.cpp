#include "platform/swfwriter/SwfWriterFilter.h"
#include "platform/filters/SinkFilter.h"
#include "platform/swfwriter/SwfFileWriter.h"
#include <mmreg.h>
#include <stdio.h>
#include <new>
#include <string>
#include <vector>

extern "C" const CLSID CLSID_XrvSwfWriter = {0x31AD8E01, 0x8630, 0x4E54, {0xA8, 0x5F, 0xF8, 0xDD, 0x93, 0x43, 0xD7, 0x6A}};
extern "C" const IID IID_ISwfWriterSettings = {0x811D2419, 0x4199, 0x474C, {0xB1, 0x9A, 0x94, 0x17, 0x35, 0xD3, 0x06, 0x79}};

namespace {

const int kVideoPin = 0;
const int kAudioPin = 1;
const LPCWSTR kPinNames[2] = {L"Video", L"Audio"};

class CSwfWriterFilter : public CSinkFilterBase, public ISwfWriterSettings, public IFileSinkFilter {
public:
    CSwfWriterFilter() : CSinkFilterBase(CLSID_XrvSwfWriter, 2, kPinNames) {}
    ~CSwfWriterFilter() override { FinishFile(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_ISwfWriterSettings))
            *ppv = static_cast<ISwfWriterSettings*>(this);
        else if (IsEqualIID(riid, IID_IFileSinkFilter))
            *ppv = static_cast<IFileSinkFilter*>(this);
        else
            return CSinkFilterBase::QueryInterface(riid, ppv);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CSinkFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CSinkFilterBase::Release(); }

    STDMETHODIMP SetMovieSources(const void*, const void*, LPCWSTR, LPCWSTR outputPath, const void*, const void*,
                                 LPCWSTR, const void*, const void*) override
    {
        CDsAutoLock lock(FilterLock());
        if (State() != State_Stopped)
            return VFW_E_WRONG_STATE;
        if (outputPath && *outputPath)
            m_path = outputPath;
        return S_OK;
    }
    STDMETHODIMP GetFrameCount(DWORD* frames) override
    {
        if (!frames)
            return E_POINTER;
        CDsAutoLock lock(&m_writeLock);
        *frames = (DWORD)m_writer.FrameCount();
        return S_OK;
    }
    STDMETHODIMP SetMovieFormat(LONG width, LONG height, LONG frameRate, LONG depth, LONGLONG length) override
    {
        if (width < 1 || width > 4095 || height < 1 || height > 4095 || frameRate < 1 || frameRate > 255 ||
            length < 0)
            return E_INVALIDARG;
        CDsAutoLock lock(FilterLock());
        if (State() != State_Stopped)
            return VFW_E_WRONG_STATE;
        m_settings.width = width;
        m_settings.height = height;
        m_settings.frameRate = frameRate;
        m_depth = depth;
        m_length = length;
        return S_OK;
    }
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved5() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved6() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved8() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved9() override { return E_NOTIMPL; }
    STDMETHODIMP SetBackgroundColor(DWORD colour) override
    {
        CDsAutoLock lock(FilterLock());
        m_settings.background = colour & 0xFFFFFF;
        return S_OK;
    }
    STDMETHODIMP SetKeyFrameEvery(DWORD frames) override
    {
        if (frames > 0xFFFF)
            return E_INVALIDARG;
        CDsAutoLock lock(FilterLock());
        m_settings.keyFrameEvery = (int)frames;
        return S_OK;
    }
    STDMETHODIMP SetSmoothing(DWORD smooth) override
    {
        CDsAutoLock lock(FilterLock());
        m_settings.smoothing = smooth != 0;
        return S_OK;
    }
    STDMETHODIMP SetSoundCompression(DWORD adpcmBits) override
    {
        if (adpcmBits != 0 && (adpcmBits < 2 || adpcmBits > 5))
            return E_INVALIDARG;
        CDsAutoLock lock(FilterLock());
        m_settings.soundAdpcmBits = (int)adpcmBits;
        return S_OK;
    }
    STDMETHODIMP SetRange(LONGLONG start, LONGLONG stop) override
    {
        if (start < 0 || stop < start)
            return E_INVALIDARG;
        m_rangeStart = start;
        m_rangeStop = stop;
        return S_OK;
    }

    STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) override
    {
        if (!name || !*name)
            return E_INVALIDARG;
        CDsAutoLock lock(FilterLock());
        if (State() != State_Stopped)
            return VFW_E_WRONG_STATE;
        m_path = name;
        return S_OK;
    }
    STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) override
    {
        if (!name)
            return E_POINTER;
        CDsAutoLock lock(FilterLock());
        *name = nullptr;
        if (mt)
            ZeroMemory(mt, sizeof(*mt));
        if (m_path.empty())
            return S_FALSE;
        size_t bytes = (m_path.size() + 1) * sizeof(WCHAR);
        *name = (LPOLESTR)::CoTaskMemAlloc(bytes);
        if (!*name)
            return E_OUTOFMEMORY;
        memcpy(*name, m_path.c_str(), bytes);
        return S_OK;
    }

    HRESULT CheckSinkType(int pin, const AM_MEDIA_TYPE* mt) override
    {
        if (!mt || !mt->pbFormat)
            return S_FALSE;
        if (pin == kVideoPin) {
            if (mt->majortype != MEDIATYPE_Video || mt->formattype != FORMAT_VideoInfo ||
                mt->cbFormat < sizeof(VIDEOINFOHEADER))
                return S_FALSE;
            const BITMAPINFOHEADER& b = ((const VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
            const bool rgb32 = mt->subtype == MEDIASUBTYPE_RGB32 && b.biBitCount == 32;
            const bool rgb24 = mt->subtype == MEDIASUBTYPE_RGB24 && b.biBitCount == 24;
            if ((!rgb32 && !rgb24) || b.biCompression != BI_RGB || b.biWidth <= 0 || b.biWidth > 8192 ||
                b.biHeight == 0 || b.biHeight > 8192 || b.biHeight < -8192)
                return S_FALSE;
            return S_OK;
        }
        if (pin == kAudioPin) {
            if (mt->majortype != MEDIATYPE_Audio || mt->formattype != FORMAT_WaveFormatEx ||
                mt->cbFormat < sizeof(WAVEFORMATEX) - 2)
                return S_FALSE;
            const WAVEFORMATEX* wf = (const WAVEFORMATEX*)mt->pbFormat;
            const bool rate = wf->nSamplesPerSec == 5512 || wf->nSamplesPerSec == 11025 ||
                              wf->nSamplesPerSec == 22050 || wf->nSamplesPerSec == 44100;
            if (wf->wFormatTag != WAVE_FORMAT_PCM || !rate || (wf->nChannels != 1 && wf->nChannels != 2) ||
                (wf->wBitsPerSample != 8 && wf->wBitsPerSample != 16) ||
                wf->nBlockAlign != wf->nChannels * wf->wBitsPerSample / 8)
                return S_FALSE;
            return S_OK;
        }
        return S_FALSE;
    }

    HRESULT RenderSample(int pin, IMediaSample* sample) override
    {
        CDsAutoLock lock(&m_writeLock);
        if (!m_writing || m_failed)
            return S_FALSE;
        REFERENCE_TIME start = 0, stop = 0;
        DsSampleSpan(sample, m_end, &start, &stop);
        BYTE* data = nullptr;
        if (FAILED(sample->GetPointer(&data)) || !data)
            return E_POINTER;
        const long size = sample->GetActualDataLength();
        bool ok = true;
        if (pin == kVideoPin) {
            if (m_haveHeld)
                ok = EmitHeldFrame(start);
            ok = ok && ConvertFrame(data, size);
            m_haveHeld = ok;
            m_heldStop = stop > start ? stop : start + FrameTime();
        } else if (size > 0) {
            const WAVEFORMATEX* wf = (const WAVEFORMATEX*)InputPin(kAudioPin)->CurrentMediaType().pbFormat;
            long whole = size - size % wf->nBlockAlign;
            ok = m_writer.AddSound(data, (size_t)whole);
        }
        if (stop > m_end)
            m_end = stop;
        if (!ok) {
            m_failed = true;
            NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
            return E_FAIL;
        }
        return S_OK;
    }

protected:
    HRESULT OnPause(FILTER_STATE from) override
    {
        HRESULT hr = CSinkFilterBase::OnPause(from);
        if (FAILED(hr) || from != State_Stopped)
            return hr;
        CDsAutoLock lock(&m_writeLock);
        return StartFile() ? S_OK : E_FAIL;
    }
    HRESULT OnStop() override
    {
        HRESULT hr = CSinkFilterBase::OnStop();
        FinishFile();
        return hr;
    }

private:
    REFERENCE_TIME FrameTime() const { return 10000000 / m_settings.frameRate; }

    bool StartFile()
    {
        m_failed = false;
        m_haveHeld = false;
        m_end = 0;
        m_nextFrame = 0;
        if (m_path.empty() || m_settings.width <= 0 || !InputPin(kVideoPin)->IsConnected())
            return false;
        swf::MovieSettings settings = m_settings;
        if (InputPin(kAudioPin)->IsConnected()) {
            const WAVEFORMATEX* wf = (const WAVEFORMATEX*)InputPin(kAudioPin)->CurrentMediaType().pbFormat;
            settings.soundRate = wf->nSamplesPerSec;
            settings.soundChannels = wf->nChannels;
            settings.soundBits = wf->wBitsPerSample;
        }
        m_file = _wfopen(m_path.c_str(), L"w+b");
        if (!m_file)
            return false;
        std::string error;
        if (!m_writer.Open(m_file, settings, &error)) {
            ::OutputDebugStringA(("swf writer: " + error + "\n").c_str());
            fclose(m_file);
            m_file = nullptr;
            return false;
        }
        m_held.assign((size_t)settings.width * settings.height * 4, 0);
        m_writing = true;
        return true;
    }

    void FinishFile()
    {
        CDsAutoLock lock(&m_writeLock);
        if (!m_writing)
            return;
        if (m_haveHeld && !m_failed)
            EmitHeldFrame(m_heldStop > m_end ? m_heldStop : m_end);
        std::string error;
        if (!m_writer.Close(&error))
            ::OutputDebugStringA(("swf writer: " + error + "\n").c_str());
        fclose(m_file);
        m_file = nullptr;
        m_writing = false;
    }

    bool EmitHeldFrame(REFERENCE_TIME until)
    {
        while (m_nextFrame * FrameTime() < until) {
            if (!m_writer.WriteFrame(m_held.data()))
                return false;
            ++m_nextFrame;
        }
        return true;
    }

    // Scales (nearest pixel) and converts the sample into m_held: 32-bit,
    // bottom-up, at the movie's size.
    bool ConvertFrame(const BYTE* data, long size)
    {
        const AM_MEDIA_TYPE& mt = InputPin(kVideoPin)->CurrentMediaType();
        const BITMAPINFOHEADER& b = ((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
        const int bytesPerPixel = b.biBitCount / 8;
        const int srcW = b.biWidth;
        const int srcH = b.biHeight < 0 ? -b.biHeight : b.biHeight;
        const size_t stride = (((size_t)srcW * b.biBitCount + 31) / 32) * 4;
        const int w = m_settings.width, h = m_settings.height;
        if (size < 0 || (size_t)size < stride * srcH)
            return false;
        for (int y = 0; y < h; ++y) {
            int sy = (int)((long long)y * srcH / h);
            int row = b.biHeight < 0 ? srcH - 1 - sy : sy;
            const BYTE* src = data + (size_t)row * stride;
            BYTE* dst = &m_held[(size_t)y * w * 4];
            for (int x = 0; x < w; ++x) {
                const BYTE* p = src + (size_t)((long long)x * srcW / w) * bytesPerPixel;
                dst[4 * x] = p[0];
                dst[4 * x + 1] = p[1];
                dst[4 * x + 2] = p[2];
                dst[4 * x + 3] = 0;
            }
        }
        return true;
    }

    swf::MovieSettings m_settings;
    LONG m_depth = 0;
    LONGLONG m_length = 0;
    LONGLONG m_rangeStart = 0;
    LONGLONG m_rangeStop = 0;
    std::wstring m_path;

    CDsLock m_writeLock;
    swf::CSwfFileWriter m_writer;
    FILE* m_file = nullptr;
    bool m_writing = false;
    bool m_failed = false;
    std::vector<BYTE> m_held;
    bool m_haveHeld = false;
    REFERENCE_TIME m_heldStop = 0;
    long long m_nextFrame = 0;
    REFERENCE_TIME m_end = 0;
};

}  // namespace

HRESULT CreateSwfWriterFilter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CSwfWriterFilter(), riid, ppv);
}
