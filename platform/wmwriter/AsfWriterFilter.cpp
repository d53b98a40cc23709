#include "platform/wmwriter/AsfWriterFilter.h"
#include "platform/filters/SinkFilter.h"
#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/AcmEncoder.h"
#include "platform/wmwriter/AsfFileWriter.h"
#include "platform/wmwriter/ZmbvEncoder.h"
#include <mmreg.h>
#include <new>
#include <string>
#include <vector>

extern "C" const IID IID_IConfigAsfWriter = {0x45086030, 0xf7e4, 0x486a, {0xb5, 0x04, 0x82, 0x6b, 0xb5, 0x79, 0x2a, 0x3b}};

const WCHAR kAsfVideoPinName[] = L"Video Input 01";
const WCHAR kAsfAudioPinName[] = L"Audio Input 01";

namespace {

const int kVideoPin = 0;
const int kAudioPin = 1;
const REFERENCE_TIME kDefaultFrameTime = 10000000 / 15;
const int kKeyFrameEvery = 80;
// The runtime's ASF_E_NOTFOUND: no attribute of that name.
const HRESULT kAttributeNotFound = (HRESULT)0xC00D07F0L;
const DWORD kZmbv = MAKEFOURCC('Z', 'M', 'B', 'V');

// The attributes a file's Content Description holds, by their runtime names.
const WCHAR* const kTagNames[4] = {L"Title", L"Author", L"Copyright", L"Description"};

class CAsfWriterFilter;

// IWMHeaderInfo of the filter: the four content-description strings.
class CHeaderInfo : public IWMHeaderInfo {
public:
    explicit CHeaderInfo(CAsfWriterFilter* owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetAttributeCount(WORD stream, WORD* count) override;
    STDMETHODIMP GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                     WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) override;
    STDMETHODIMP GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                    WORD* length) override;
    STDMETHODIMP SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                              WORD length) override;
    STDMETHODIMP GetMarkerCount(WORD* markers) override
    {
        if (!markers)
            return E_POINTER;
        *markers = 0;
        return S_OK;
    }
    STDMETHODIMP GetMarker(WORD, WCHAR*, WORD*, QWORD*) override { return E_INVALIDARG; }
    STDMETHODIMP AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveMarker(WORD) override { return E_INVALIDARG; }
    STDMETHODIMP GetScriptCount(WORD* scripts) override
    {
        if (!scripts)
            return E_POINTER;
        *scripts = 0;
        return S_OK;
    }
    STDMETHODIMP GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override { return E_INVALIDARG; }
    STDMETHODIMP AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveScript(WORD) override { return E_INVALIDARG; }

private:
    CAsfWriterFilter* m_owner;
};

class CAsfWriterFilter : public CSinkFilterBase, public IConfigAsfWriter, public IFileSinkFilter,
                         public IServiceProvider {
public:
    CAsfWriterFilter();
    ~CAsfWriterFilter() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return CSinkFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CSinkFilterBase::Release(); }

    // IConfigAsfWriter
    STDMETHODIMP ConfigureFilterUsingProfileId(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetCurrentProfileId(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP ConfigureFilterUsingProfileGuid(REFGUID) override { return E_NOTIMPL; }
    STDMETHODIMP GetCurrentProfileGuid(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP ConfigureFilterUsingProfile(IWMProfile* profile) override;
    STDMETHODIMP GetCurrentProfile(IWMProfile** profile) override;
    STDMETHODIMP SetIndexMode(BOOL index) override
    {
        m_indexMode = index;
        return S_OK;
    }
    STDMETHODIMP GetIndexMode(BOOL* index) override
    {
        if (!index)
            return E_POINTER;
        *index = m_indexMode;
        return S_OK;
    }

    // IFileSinkFilter
    STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) override;

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) override;

    HRESULT CheckSinkType(int pin, const AM_MEDIA_TYPE* mt) override;
    HRESULT RenderSample(int pin, IMediaSample* sample) override;
    void OnPinEndOfStream(int pin) override;

    // Content-description strings, by kTagNames index.
    std::wstring m_tags[4];
    CDsLock m_tagLock;

protected:
    HRESULT OnStop() override;
    HRESULT OnPause(FILTER_STATE from) override;

private:
    bool StartFile();
    void FinishFile();
    // Writes the held frame for every output frame time before `until`.
    bool EmitHeldFrame(REFERENCE_TIME until);
    bool ConvertFrame(const BYTE* data, long size);

    CHeaderInfo m_headerInfo;
    IWMProfile* m_profile = nullptr;
    BOOL m_indexMode = TRUE;
    std::wstring m_path;
    // From the profile.
    bool m_haveVideo = false;
    int m_width = 0;
    int m_height = 0;
    REFERENCE_TIME m_frameTime = kDefaultFrameTime;
    bool m_haveAudio = false;
    std::string m_audioFormat;

    // While writing (under m_writeLock).
    CDsLock m_writeLock;
    asf::CFileStore m_store;
    asf::CAsfFileWriter m_writer;
    wmwriter::CZmbvEncoder m_encoder;
    bool m_writing = false;
    bool m_failed = false;
    std::vector<BYTE> m_held;         // the last frame, converted to the output size
    bool m_haveHeld = false;
    REFERENCE_TIME m_heldStop = 0;
    long long m_nextFrame = 0;        // output frame number still to write
    REFERENCE_TIME m_end = 0;         // latest sample stop seen
    std::vector<uint8_t> m_encoded;
    // Compressed sound: the codec, and the blocks made but not yet written.
    bool m_compressSound = false;
    wmwriter::CAcmEncoder m_acm;
    std::string m_blocks;
    uint64_t m_soundTimeBytes = 0;   // PCM bytes before the blocks in m_blocks
    bool WriteSoundBlocks();
};

const LPCWSTR kPinNames[2] = {kAsfVideoPinName, kAsfAudioPinName};

CAsfWriterFilter::CAsfWriterFilter() : CSinkFilterBase(CLSID_WMAsfWriter, 2, kPinNames), m_headerInfo(this) {}

CAsfWriterFilter::~CAsfWriterFilter()
{
    FinishFile();
    if (m_profile)
        m_profile->Release();
}

STDMETHODIMP CAsfWriterFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IConfigAsfWriter))
        *ppv = static_cast<IConfigAsfWriter*>(this);
    else if (IsEqualIID(riid, IID_IFileSinkFilter))
        *ppv = static_cast<IFileSinkFilter*>(this);
    else if (IsEqualIID(riid, IID_IServiceProvider))
        *ppv = static_cast<IServiceProvider*>(this);
    else
        return CSinkFilterBase::QueryInterface(riid, ppv);
    AddRef();
    return S_OK;
}

// Reads the size and rate of the profile's first video stream and the wave
// format of its first audio stream. Refused while pins are connected or the
// filter runs, and for a profile this writer cannot write.
STDMETHODIMP CAsfWriterFilter::ConfigureFilterUsingProfile(IWMProfile* profile)
{
    if (!profile)
        return E_POINTER;
    CDsAutoLock lock(FilterLock());
    if (State() != State_Stopped || InputPin(kVideoPin)->IsConnected() || InputPin(kAudioPin)->IsConnected())
        return VFW_E_WRONG_STATE;
    DWORD count = 0;
    HRESULT hr = profile->GetStreamCount(&count);
    if (FAILED(hr))
        return hr;
    bool haveVideo = false, haveAudio = false;
    int width = 0, height = 0;
    REFERENCE_TIME frameTime = kDefaultFrameTime;
    std::string audioFormat;
    for (DWORD i = 0; i < count; ++i) {
        IWMStreamConfig* config = nullptr;
        if (FAILED(profile->GetStream(i, &config)) || !config)
            continue;
        IWMMediaProps* props = nullptr;
        GUID type = GUID_NULL;
        config->GetStreamType(&type);
        if (SUCCEEDED(config->QueryInterface(IID_IWMMediaProps, (void**)&props))) {
            DWORD size = 0;
            if (SUCCEEDED(props->GetMediaType(nullptr, &size)) && size >= sizeof(WM_MEDIA_TYPE) && size < (1u << 20)) {
                std::vector<BYTE> buffer(size);
                WM_MEDIA_TYPE* mt = (WM_MEDIA_TYPE*)buffer.data();
                if (SUCCEEDED(props->GetMediaType(mt, &size)) && mt->pbFormat) {
                    if (type == MEDIATYPE_Video && !haveVideo && mt->formattype == FORMAT_VideoInfo &&
                        mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
                        const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)mt->pbFormat;
                        width = vih->bmiHeader.biWidth;
                        height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
                        if (vih->AvgTimePerFrame > 0)
                            frameTime = vih->AvgTimePerFrame;
                        haveVideo = true;
                    } else if (type == MEDIATYPE_Audio && !haveAudio && mt->formattype == FORMAT_WaveFormatEx &&
                               mt->cbFormat >= sizeof(WAVEFORMATEX)) {
                        const WAVEFORMATEX* wf = (const WAVEFORMATEX*)mt->pbFormat;
                        if (sizeof(WAVEFORMATEX) + wf->cbSize <= mt->cbFormat) {
                            audioFormat.assign((const char*)wf, sizeof(WAVEFORMATEX) + wf->cbSize);
                            haveAudio = true;
                        }
                    }
                }
            }
            props->Release();
        }
        config->Release();
    }
    if (!haveVideo && !haveAudio)
        return E_INVALIDARG;
    if (haveVideo && (width <= 0 || height <= 0 || width > 8192 || height > 8192))
        return E_INVALIDARG;
    if (haveAudio) {
        const WAVEFORMATEX* wf = (const WAVEFORMATEX*)audioFormat.data();
        if (!wf->nBlockAlign || !wf->nChannels || !wf->nSamplesPerSec)
            return E_INVALIDARG;
        // IMA ADPCM and GSM 6.10 are made from 16-bit PCM by the installed
        // codec, in the exact format it makes for the profile's rate and
        // channels; other compressed formats are refused.
        if (wf->wFormatTag == WAVE_FORMAT_IMA_ADPCM || wf->wFormatTag == WAVE_FORMAT_GSM610) {
            std::string made;
            if (!wmwriter::CAcmEncoder::SuggestFormat(wf->wFormatTag, wf->nSamplesPerSec, wf->nChannels, &made))
                return E_INVALIDARG;
            audioFormat = made;
        } else if (wf->wFormatTag != WAVE_FORMAT_PCM) {
            return E_INVALIDARG;
        }
    }
    if (m_profile)
        m_profile->Release();
    m_profile = profile;
    m_profile->AddRef();
    m_haveVideo = haveVideo;
    m_width = width;
    m_height = height;
    m_frameTime = frameTime;
    m_haveAudio = haveAudio;
    m_audioFormat = audioFormat;
    return S_OK;
}

STDMETHODIMP CAsfWriterFilter::GetCurrentProfile(IWMProfile** profile)
{
    if (!profile)
        return E_POINTER;
    CDsAutoLock lock(FilterLock());
    *profile = m_profile;
    if (!m_profile)
        return E_FAIL;
    m_profile->AddRef();
    return S_OK;
}

STDMETHODIMP CAsfWriterFilter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*)
{
    if (!name || !*name)
        return E_INVALIDARG;
    CDsAutoLock lock(FilterLock());
    if (State() != State_Stopped)
        return VFW_E_WRONG_STATE;
    m_path = name;
    return S_OK;
}

STDMETHODIMP CAsfWriterFilter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt)
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

STDMETHODIMP CAsfWriterFilter::QueryService(REFGUID, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IWMHeaderInfo) || IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IWMHeaderInfo*>(&m_headerInfo);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CAsfWriterFilter::CheckSinkType(int pin, const AM_MEDIA_TYPE* mt)
{
    if (!mt || !mt->pbFormat)
        return S_FALSE;
    if (pin == kVideoPin) {
        if (!m_haveVideo || mt->majortype != MEDIATYPE_Video || mt->formattype != FORMAT_VideoInfo ||
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
        if (!m_haveAudio || mt->majortype != MEDIATYPE_Audio || mt->formattype != FORMAT_WaveFormatEx ||
            mt->cbFormat < sizeof(WAVEFORMATEX) - 2)
            return S_FALSE;
        const WAVEFORMATEX* in = (const WAVEFORMATEX*)mt->pbFormat;
        const WAVEFORMATEX* want = (const WAVEFORMATEX*)m_audioFormat.data();
        const WORD bits = want->wFormatTag == WAVE_FORMAT_PCM ? want->wBitsPerSample : 16;
        if (in->wFormatTag != WAVE_FORMAT_PCM || in->nChannels != want->nChannels ||
            in->nSamplesPerSec != want->nSamplesPerSec || in->wBitsPerSample != bits)
            return S_FALSE;
        return S_OK;
    }
    return S_FALSE;
}

bool CAsfWriterFilter::StartFile()
{
    m_failed = false;
    m_haveHeld = false;
    m_nextFrame = 0;
    m_end = 0;
    if (m_path.empty() || (!m_haveVideo && !m_haveAudio))
        return false;
    const bool video = m_haveVideo && InputPin(kVideoPin)->IsConnected();
    const bool audio = m_haveAudio && InputPin(kAudioPin)->IsConnected();
    if (!video && !audio)
        return false;
    if (!m_store.Create(m_path.c_str()))
        return false;
    asf::WriterOptions options;
    options.simpleIndex = m_indexMode != FALSE;
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    options.creationTime = ((uint64_t)now.dwHighDateTime << 32) | now.dwLowDateTime;
    GUID id;
    if (SUCCEEDED(::CoCreateGuid(&id)))
        memcpy(options.fileId.b, &id, 16);
    {
        CDsAutoLock lock(&m_tagLock);
        options.tags.title.assign(m_tags[0].begin(), m_tags[0].end());
        options.tags.author.assign(m_tags[1].begin(), m_tags[1].end());
        options.tags.copyright.assign(m_tags[2].begin(), m_tags[2].end());
        options.tags.description.assign(m_tags[3].begin(), m_tags[3].end());
    }
    asf::VideoStreamInfo info;
    info.width = m_width;
    info.height = m_height;
    info.fourcc = kZmbv;
    info.bitCount = 32;
    std::string error;
    if (video && !m_encoder.Begin(m_width, m_height, kKeyFrameEvery))
        return false;
    if (!m_writer.Open(&m_store, options, video ? &info : nullptr, audio ? &m_audioFormat : nullptr, &error)) {
        ::OutputDebugStringA(("asf writer: " + error + "\n").c_str());
        m_store.Close();
        return false;
    }
    m_compressSound = audio && ((const WAVEFORMATEX*)m_audioFormat.data())->wFormatTag != WAVE_FORMAT_PCM;
    if (m_compressSound) {
        const AM_MEDIA_TYPE& in = InputPin(kAudioPin)->CurrentMediaType();
        if (!m_acm.Open(std::string((const char*)in.pbFormat, in.cbFormat), m_audioFormat)) {
            std::string ignored;
            m_writer.Close(0, &ignored);
            m_store.Close();
            return false;
        }
    }
    m_blocks.clear();
    m_soundTimeBytes = 0;
    m_held.assign((size_t)m_width * m_height * 4, 0);
    m_writing = true;
    return true;
}

// Writes the compressed blocks made so far as one object, timed by the PCM
// that went before them.
bool CAsfWriterFilter::WriteSoundBlocks()
{
    if (m_blocks.empty())
        return true;
    const WAVEFORMATEX* out = (const WAVEFORMATEX*)m_audioFormat.data();
    const uint64_t pcmPerSecond = (uint64_t)out->nSamplesPerSec * out->nChannels * 2;
    const REFERENCE_TIME at = (REFERENCE_TIME)(m_soundTimeBytes * 10000000 / pcmPerSecond);
    bool ok = m_writer.WriteAudio((const uint8_t*)m_blocks.data(), (uint32_t)m_blocks.size(), at);
    m_soundTimeBytes = m_acm.PcmBytesEncoded();
    m_blocks.clear();
    return ok;
}

void CAsfWriterFilter::FinishFile()
{
    CDsAutoLock lock(&m_writeLock);
    if (!m_writing)
        return;
    if (m_haveHeld)
        EmitHeldFrame(m_heldStop > m_end ? m_heldStop : m_end);
    if (m_compressSound) {
        if (!m_acm.Finish(&m_blocks) || !WriteSoundBlocks())
            ::OutputDebugStringA("asf writer: the last sound block was not written\n");
        m_acm.Close();
    }
    std::string error;
    REFERENCE_TIME duration = m_end;
    if (m_haveVideo && m_nextFrame * m_frameTime > duration)
        duration = m_nextFrame * m_frameTime;
    if (!m_writer.Close(duration, &error))
        ::OutputDebugStringA(("asf writer: " + error + "\n").c_str());
    m_encoder.End();
    m_store.Close();
    m_writing = false;
}

HRESULT CAsfWriterFilter::OnPause(FILTER_STATE from)
{
    HRESULT hr = CSinkFilterBase::OnPause(from);
    if (FAILED(hr) || from != State_Stopped)
        return hr;
    CDsAutoLock lock(&m_writeLock);
    if (!StartFile())
        return m_path.empty() ? VFW_E_NOT_CONNECTED : E_FAIL;
    return S_OK;
}

HRESULT CAsfWriterFilter::OnStop()
{
    HRESULT hr = CSinkFilterBase::OnStop();
    FinishFile();
    return hr;
}

// Scales (nearest pixel) and converts the sample into m_held: 32-bit,
// bottom-up, at the profile's size.
bool CAsfWriterFilter::ConvertFrame(const BYTE* data, long size)
{
    const AM_MEDIA_TYPE& mt = InputPin(kVideoPin)->CurrentMediaType();
    const BITMAPINFOHEADER& b = ((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
    const int bytesPerPixel = b.biBitCount / 8;
    const int srcW = b.biWidth;
    const int srcH = b.biHeight < 0 ? -b.biHeight : b.biHeight;
    const bool topDown = b.biHeight < 0;
    const size_t stride = (((size_t)srcW * b.biBitCount + 31) / 32) * 4;
    if (size < 0 || (size_t)size < stride * srcH)
        return false;
    for (int y = 0; y < m_height; ++y) {
        int sy = (int)((long long)y * srcH / m_height);          // bottom-up row of the output
        int row = topDown ? srcH - 1 - sy : sy;
        const BYTE* src = data + (size_t)row * stride;
        BYTE* dst = &m_held[(size_t)y * m_width * 4];
        for (int x = 0; x < m_width; ++x) {
            const BYTE* p = src + (size_t)((long long)x * srcW / m_width) * bytesPerPixel;
            dst[4 * x] = p[0];
            dst[4 * x + 1] = p[1];
            dst[4 * x + 2] = p[2];
            dst[4 * x + 3] = 0;
        }
    }
    return true;
}

bool CAsfWriterFilter::EmitHeldFrame(REFERENCE_TIME until)
{
    while (m_nextFrame * m_frameTime < until) {
        bool key = false;
        if (!m_encoder.Encode(m_held.data(), &m_encoded, &key) ||
            !m_writer.WriteVideo(m_encoded.data(), (uint32_t)m_encoded.size(), key, m_nextFrame * m_frameTime))
            return false;
        ++m_nextFrame;
    }
    return true;
}

// Video samples are resampled to the profile's rate: output frame k shows
// the latest input frame that started at or before k frame times.
HRESULT CAsfWriterFilter::RenderSample(int pin, IMediaSample* sample)
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
        m_heldStop = stop > start ? stop : start + m_frameTime;
    } else {
        const WAVEFORMATEX* wf = (const WAVEFORMATEX*)InputPin(kAudioPin)->CurrentMediaType().pbFormat;
        long whole = size - size % wf->nBlockAlign;
        if (whole > 0 && m_compressSound)
            ok = m_acm.Encode(data, (size_t)whole, &m_blocks) && WriteSoundBlocks();
        else if (whole > 0)
            ok = m_writer.WriteAudio(data, (uint32_t)whole, start);
        if (stop <= start)   // untimed or without a stop: the sound's own length
            stop = start + (REFERENCE_TIME)whole * 10000000 / (wf->nAvgBytesPerSec ? wf->nAvgBytesPerSec : 1);
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

void CAsfWriterFilter::OnPinEndOfStream(int pin)
{
    (void)pin;
}

STDMETHODIMP CHeaderInfo::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWMHeaderInfo)) {
        *ppv = static_cast<IWMHeaderInfo*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CHeaderInfo::AddRef() { return m_owner->AddRef(); }
STDMETHODIMP_(ULONG) CHeaderInfo::Release() { return m_owner->Release(); }

int TagIndex(LPCWSTR name)
{
    for (int i = 0; i < 4; ++i)
        if (name && _wcsicmp(name, kTagNames[i]) == 0)
            return i;
    return -1;
}

STDMETHODIMP CHeaderInfo::GetAttributeCount(WORD, WORD* count)
{
    if (!count)
        return E_POINTER;
    CDsAutoLock lock(&m_owner->m_tagLock);
    WORD n = 0;
    for (const std::wstring& t : m_owner->m_tags)
        n += t.empty() ? 0 : 1;
    *count = n;
    return S_OK;
}

STDMETHODIMP CHeaderInfo::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                              WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length)
{
    if (!nameLength || !type || !length)
        return E_POINTER;
    int which = -1;
    {
        CDsAutoLock lock(&m_owner->m_tagLock);
        WORD n = 0;
        for (int i = 0; i < 4; ++i) {
            if (m_owner->m_tags[i].empty())
                continue;
            if (n++ == index)
                which = i;
        }
    }
    if (which < 0)
        return E_INVALIDARG;
    WORD need = (WORD)(wcslen(kTagNames[which]) + 1);
    if (name) {
        if (*nameLength < need)
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        memcpy(name, kTagNames[which], need * sizeof(WCHAR));
    }
    *nameLength = need;
    WORD s = 0;
    return GetAttributeByName(stream ? stream : &s, kTagNames[which], type, value, length);
}

// Strings come back UTF-16 with their terminating zero, length in bytes.
STDMETHODIMP CHeaderInfo::GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                             WORD* length)
{
    if (!stream || !name || !type || !length)
        return E_POINTER;
    int i = TagIndex(name);
    if (i < 0)
        return kAttributeNotFound;
    CDsAutoLock lock(&m_owner->m_tagLock);
    const std::wstring& text = m_owner->m_tags[i];
    if (text.empty())
        return kAttributeNotFound;
    WORD need = (WORD)((text.size() + 1) * sizeof(WCHAR));
    *type = WMT_TYPE_STRING;
    *stream = 0;
    if (value) {
        if (*length < need) {
            *length = need;
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        memcpy(value, text.c_str(), need);
    }
    *length = need;
    return S_OK;
}

STDMETHODIMP CHeaderInfo::SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                                       WORD length)
{
    if (!name)
        return E_INVALIDARG;
    int i = TagIndex(name);
    if (i < 0)
        return E_NOTIMPL;
    if (stream != 0 || type != WMT_TYPE_STRING || (length && !value) || length % 2)
        return E_INVALIDARG;
    std::wstring text((const WCHAR*)value, length / 2);
    size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos)
        text.resize(zero);
    if (text.size() > 30000)
        return E_INVALIDARG;
    CDsAutoLock lock(&m_owner->m_tagLock);
    m_owner->m_tags[i] = text;
    return S_OK;
}

}  // namespace

HRESULT CreateAsfWriterFilter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CAsfWriterFilter(), riid, ppv);
}
