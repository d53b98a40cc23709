#include "platform/wmwriter/WmProfile.h"
#include <dshow.h>
#include <mmreg.h>
#include <new>
#include <string>
#include <vector>
#include <wchar.h>

namespace {

// Media type GUIDs built from a FourCC (the DirectShow base GUID).
GUID FourccGuid(DWORD fourcc)
{
    GUID g = {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    return g;
}
const GUID kVideoType = FourccGuid(0x73646976);   // 'vids'
const GUID kAudioType = FourccGuid(0x73647561);   // 'auds'
// FORMAT_VideoInfo and FORMAT_WaveFormatEx.
const GUID kFormatVideoInfo = {0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
const GUID kFormatWaveFormatEx = {0x05589f81, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};

struct StreamData {
    GUID type = GUID_NULL;
    WORD number = 0;
    std::wstring name;
    std::wstring connection;
    DWORD bitrate = 0;
    DWORD bufferWindow = 0;
    GUID subtype = GUID_NULL;
    BOOL fixedSize = FALSE;
    BOOL temporal = FALSE;
    ULONG sampleSize = 0;
    GUID formatType = GUID_NULL;
    std::vector<BYTE> format;
};

HRESULT CopyString(const std::wstring& s, WCHAR* out, DWORD* count)
{
    if (!count)
        return E_POINTER;
    DWORD need = (DWORD)s.size() + 1;
    if (!out) {
        *count = need;
        return S_OK;
    }
    if (*count < need) {
        *count = need;
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(out, s.c_str(), need * sizeof(WCHAR));
    *count = need;
    return S_OK;
}

HRESULT CopyStringW(const std::wstring& s, WCHAR* out, WORD* count)
{
    if (!count)
        return E_POINTER;
    if (s.size() + 1 > 0xFFFF)
        return E_FAIL;
    DWORD n = *count;
    HRESULT hr = CopyString(s, out, &n);
    *count = (WORD)n;
    return hr;
}

class CStreamConfig : public IWMStreamConfig, public IWMMediaProps {
public:
    explicit CStreamConfig(const StreamData& data) : m_data(data) {}
    virtual ~CStreamConfig() {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IWMStreamConfig)
            *ppv = static_cast<IWMStreamConfig*>(this);
        else if (riid == IID_IWMMediaProps)
            *ppv = static_cast<IWMMediaProps*>(this);
        else {
            *ppv = NULL;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = ::InterlockedDecrement(&m_refs);
        if (!left)
            delete this;
        return (ULONG)left;
    }

    STDMETHODIMP GetStreamType(GUID* type) override { return Out(type, m_data.type); }
    STDMETHODIMP GetStreamNumber(WORD* number) override { return Out(number, m_data.number); }
    STDMETHODIMP SetStreamNumber(WORD number) override
    {
        if (number < 1 || number > 63)
            return E_INVALIDARG;
        m_data.number = number;
        return S_OK;
    }
    STDMETHODIMP GetStreamName(WCHAR* name, WORD* count) override { return CopyStringW(m_data.name, name, count); }
    STDMETHODIMP SetStreamName(LPCWSTR_WMSDK_TYPE_SAFE name) override { return Set(&m_data.name, name); }
    STDMETHODIMP GetConnectionName(WCHAR* name, WORD* count) override
    {
        return CopyStringW(m_data.connection, name, count);
    }
    STDMETHODIMP SetConnectionName(LPCWSTR_WMSDK_TYPE_SAFE name) override { return Set(&m_data.connection, name); }
    STDMETHODIMP GetBitrate(DWORD* bitrate) override { return Out(bitrate, m_data.bitrate); }
    STDMETHODIMP SetBitrate(DWORD bitrate) override
    {
        m_data.bitrate = bitrate;
        return S_OK;
    }
    STDMETHODIMP GetBufferWindow(DWORD* window) override { return Out(window, m_data.bufferWindow); }
    STDMETHODIMP SetBufferWindow(DWORD window) override
    {
        m_data.bufferWindow = window;
        return S_OK;
    }

    STDMETHODIMP GetType(GUID* type) override { return Out(type, m_data.type); }
    // Size first (type null), then the type with its format right behind it.
    STDMETHODIMP GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override
    {
        if (!size)
            return E_POINTER;
        DWORD need = (DWORD)(sizeof(WM_MEDIA_TYPE) + m_data.format.size());
        if (!type) {
            *size = need;
            return S_OK;
        }
        if (*size < need) {
            *size = need;
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        type->majortype = m_data.type;
        type->subtype = m_data.subtype;
        type->bFixedSizeSamples = m_data.fixedSize;
        type->bTemporalCompression = m_data.temporal;
        type->lSampleSize = m_data.sampleSize;
        type->formattype = m_data.formatType;
        type->pUnk = NULL;
        type->cbFormat = (ULONG)m_data.format.size();
        type->pbFormat = m_data.format.empty() ? NULL : (BYTE*)(type + 1);
        if (!m_data.format.empty())
            memcpy(type + 1, m_data.format.data(), m_data.format.size());
        *size = need;
        return S_OK;
    }
    STDMETHODIMP SetMediaType(WM_MEDIA_TYPE* type) override
    {
        if (!type || (type->cbFormat && !type->pbFormat) || type->cbFormat > 65536)
            return E_INVALIDARG;
        m_data.subtype = type->subtype;
        m_data.fixedSize = type->bFixedSizeSamples;
        m_data.temporal = type->bTemporalCompression;
        m_data.sampleSize = type->lSampleSize;
        m_data.formatType = type->formattype;
        m_data.format.assign(type->pbFormat, type->pbFormat + type->cbFormat);
        return S_OK;
    }

    const StreamData& Data() const { return m_data; }

private:
    template <class T> static HRESULT Out(T* out, const T& value)
    {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }
    static HRESULT Set(std::wstring* field, LPCWSTR value)
    {
        if (!value)
            return E_INVALIDARG;
        *field = value;
        return S_OK;
    }

    volatile LONG m_refs = 1;
    StreamData m_data;
};

class CProfile : public IWMProfile {
public:
    CProfile() {}
    virtual ~CProfile() {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IWMProfile) {
            *ppv = static_cast<IWMProfile*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = ::InterlockedDecrement(&m_refs);
        if (!left)
            delete this;
        return (ULONG)left;
    }

    STDMETHODIMP GetVersion(WMT_VERSION* version) override
    {
        if (!version)
            return E_POINTER;
        *version = m_version;
        return S_OK;
    }
    STDMETHODIMP GetName(WCHAR* name, DWORD* count) override { return CopyString(m_name, name, count); }
    STDMETHODIMP SetName(const WCHAR* name) override
    {
        if (!name)
            return E_INVALIDARG;
        m_name = name;
        return S_OK;
    }
    STDMETHODIMP GetDescription(WCHAR* text, DWORD* count) override { return CopyString(m_description, text, count); }
    STDMETHODIMP SetDescription(const WCHAR* text) override
    {
        if (!text)
            return E_INVALIDARG;
        m_description = text;
        return S_OK;
    }
    STDMETHODIMP GetStreamCount(DWORD* count) override
    {
        if (!count)
            return E_POINTER;
        *count = (DWORD)m_streams.size();
        return S_OK;
    }
    // Hands out a copy: changes reach the profile through ReconfigStream.
    STDMETHODIMP GetStream(DWORD index, IWMStreamConfig** config) override
    {
        if (!config)
            return E_POINTER;
        *config = NULL;
        if (index >= m_streams.size())
            return E_INVALIDARG;
        return NewConfig(m_streams[index], config);
    }
    STDMETHODIMP GetStreamByNumber(WORD number, IWMStreamConfig** config) override
    {
        if (!config)
            return E_POINTER;
        *config = NULL;
        for (const StreamData& s : m_streams)
            if (s.number == number)
                return NewConfig(s, config);
        return E_INVALIDARG;
    }
    STDMETHODIMP RemoveStream(IWMStreamConfig* config) override
    {
        WORD number = 0;
        if (!config || FAILED(config->GetStreamNumber(&number)))
            return E_INVALIDARG;
        return RemoveStreamByNumber(number);
    }
    STDMETHODIMP RemoveStreamByNumber(WORD number) override
    {
        for (size_t i = 0; i < m_streams.size(); ++i) {
            if (m_streams[i].number == number) {
                m_streams.erase(m_streams.begin() + i);
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }
    STDMETHODIMP AddStream(IWMStreamConfig* config) override
    {
        StreamData data;
        HRESULT hr = Read(config, &data);
        if (FAILED(hr))
            return hr;
        for (const StreamData& s : m_streams)
            if (s.number == data.number)
                return E_INVALIDARG;
        m_streams.push_back(data);
        return S_OK;
    }
    STDMETHODIMP ReconfigStream(IWMStreamConfig* config) override
    {
        StreamData data;
        HRESULT hr = Read(config, &data);
        if (FAILED(hr))
            return hr;
        for (StreamData& s : m_streams) {
            if (s.number == data.number) {
                s = data;
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }
    STDMETHODIMP CreateNewStream(REFGUID type, IWMStreamConfig** config) override
    {
        if (!config)
            return E_POINTER;
        StreamData data;
        data.type = type;
        return NewConfig(data, config);
    }
    STDMETHODIMP GetMutualExclusionCount(DWORD* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetMutualExclusion(DWORD, IWMMutualExclusion** me) override
    {
        if (me)
            *me = NULL;
        return E_INVALIDARG;
    }
    STDMETHODIMP RemoveMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
    STDMETHODIMP AddMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
    STDMETHODIMP CreateNewMutualExclusion(IWMMutualExclusion** me) override
    {
        if (me)
            *me = NULL;
        return E_NOTIMPL;
    }

    WMT_VERSION m_version = WMT_VER_7_0;
    std::wstring m_name;
    std::wstring m_description;
    std::vector<StreamData> m_streams;

private:
    static HRESULT NewConfig(const StreamData& data, IWMStreamConfig** config)
    {
        CStreamConfig* c = new (std::nothrow) CStreamConfig(data);
        if (!c)
            return E_OUTOFMEMORY;
        *config = c;
        return S_OK;
    }
    // Reads any IWMStreamConfig (ours or another's) through its interfaces.
    static HRESULT Read(IWMStreamConfig* config, StreamData* data)
    {
        if (!config)
            return E_INVALIDARG;
        HRESULT hr = config->GetStreamType(&data->type);
        if (SUCCEEDED(hr))
            hr = config->GetStreamNumber(&data->number);
        if (FAILED(hr))
            return hr;
        WCHAR buffer[256];
        WORD n = 256;
        if (SUCCEEDED(config->GetStreamName(buffer, &n)))
            data->name = buffer;
        n = 256;
        if (SUCCEEDED(config->GetConnectionName(buffer, &n)))
            data->connection = buffer;
        config->GetBitrate(&data->bitrate);
        config->GetBufferWindow(&data->bufferWindow);
        IWMMediaProps* props = NULL;
        if (SUCCEEDED(config->QueryInterface(IID_IWMMediaProps, (void**)&props))) {
            DWORD size = 0;
            hr = props->GetMediaType(NULL, &size);
            if (SUCCEEDED(hr) && size >= sizeof(WM_MEDIA_TYPE) && size < 65536 + sizeof(WM_MEDIA_TYPE)) {
                std::vector<BYTE> buffer(size);
                WM_MEDIA_TYPE* mt = (WM_MEDIA_TYPE*)buffer.data();
                hr = props->GetMediaType(mt, &size);
                if (SUCCEEDED(hr) && (!mt->cbFormat || mt->pbFormat)) {
                    data->subtype = mt->subtype;
                    data->fixedSize = mt->bFixedSizeSamples;
                    data->temporal = mt->bTemporalCompression;
                    data->sampleSize = mt->lSampleSize;
                    data->formatType = mt->formattype;
                    data->format.assign(mt->pbFormat, mt->pbFormat + mt->cbFormat);
                }
            }
            props->Release();
        }
        return S_OK;
    }

    volatile LONG m_refs = 1;
};

// --- Profile text -------------------------------------------------------

// One element of the text: its lower-case name and attributes.
struct Element {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    bool closing = false;

    const std::wstring* Find(const wchar_t* key) const
    {
        for (const auto& a : attributes)
            if (_wcsicmp(a.first.c_str(), key) == 0)
                return &a.second;
        return nullptr;
    }
    std::wstring Text(const wchar_t* key) const
    {
        const std::wstring* v = Find(key);
        return v ? *v : std::wstring();
    }
    // A whole number within [low, high]; `fallback` when absent; false when
    // present but not a number in range.
    bool Number(const wchar_t* key, long long low, long long high, long long fallback, long long* out) const
    {
        const std::wstring* v = Find(key);
        if (!v || v->empty()) {
            *out = fallback;
            return true;
        }
        wchar_t* end = nullptr;
        long long n = wcstoll(v->c_str(), &end, 10);
        if (!end || *end || n < low || n > high)
            return false;
        *out = n;
        return true;
    }
};

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = (wchar_t)towlower(c);
    return s;
}

std::wstring Unescape(const std::wstring& s)
{
    static const struct {
        const wchar_t* entity;
        wchar_t c;
    } entities[] = {{L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''}};
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        bool replaced = false;
        if (s[i] == L'&') {
            for (const auto& e : entities) {
                size_t n = wcslen(e.entity);
                if (s.compare(i, n, e.entity) == 0) {
                    out += e.c;
                    i += n - 1;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += s[i];
    }
    return out;
}

// Splits the text into elements; comments and declarations are skipped.
// False on an unterminated tag or attribute.
bool Tokenise(const std::wstring& text, std::vector<Element>* elements)
{
    size_t i = 0;
    while ((i = text.find(L'<', i)) != std::wstring::npos) {
        if (text.compare(i, 4, L"<!--") == 0) {
            size_t end = text.find(L"-->", i);
            if (end == std::wstring::npos)
                return false;
            i = end + 3;
            continue;
        }
        if (i + 1 < text.size() && (text[i + 1] == L'?' || text[i + 1] == L'!')) {
            size_t end = text.find(L'>', i);
            if (end == std::wstring::npos)
                return false;
            i = end + 1;
            continue;
        }
        Element e;
        ++i;
        if (i < text.size() && text[i] == L'/') {
            e.closing = true;
            ++i;
        }
        size_t start = i;
        while (i < text.size() && !iswspace(text[i]) && text[i] != L'>' && text[i] != L'/')
            ++i;
        e.name = Lower(text.substr(start, i - start));
        for (;;) {
            while (i < text.size() && iswspace(text[i]))
                ++i;
            if (i >= text.size())
                return false;
            if (text[i] == L'>') {
                ++i;
                break;
            }
            if (text[i] == L'/') {
                ++i;
                continue;
            }
            size_t keyStart = i;
            while (i < text.size() && text[i] != L'=' && !iswspace(text[i]) && text[i] != L'>')
                ++i;
            std::wstring key = text.substr(keyStart, i - keyStart);
            while (i < text.size() && iswspace(text[i]))
                ++i;
            if (i >= text.size() || text[i] != L'=')
                return false;
            ++i;
            while (i < text.size() && iswspace(text[i]))
                ++i;
            if (i >= text.size() || (text[i] != L'"' && text[i] != L'\''))
                return false;
            wchar_t quote = text[i++];
            size_t end = text.find(quote, i);
            if (end == std::wstring::npos)
                return false;
            e.attributes.push_back({key, Unescape(text.substr(i, end - i))});
            i = end + 1;
        }
        elements->push_back(e);
    }
    return true;
}

bool ParseGuid(const std::wstring& s, GUID* g)
{
    std::wstring t = s;
    if (t.empty())
        return false;
    if (t[0] != L'{')
        t = L"{" + t + L"}";
    return SUCCEEDED(::CLSIDFromString(t.c_str(), g));
}

// A FourCC written as four characters, or a number.
bool ParseFourcc(const std::wstring& s, DWORD* fourcc)
{
    if (s.size() == 4 && !iswdigit(s[0])) {
        *fourcc = (DWORD)(s[0] & 0xFF) | ((DWORD)(s[1] & 0xFF) << 8) | ((DWORD)(s[2] & 0xFF) << 16) |
                  ((DWORD)(s[3] & 0xFF) << 24);
        return true;
    }
    wchar_t* end = nullptr;
    unsigned long long n = wcstoull(s.c_str(), &end, 10);
    if (s.empty() || !end || *end || n > 0xFFFFFFFFull)
        return false;
    *fourcc = (DWORD)n;
    return true;
}

bool ParseHex(const std::wstring& s, std::vector<BYTE>* out)
{
    if (s.size() % 2 || s.size() > 2048)
        return false;
    for (size_t i = 0; i < s.size(); i += 2) {
        wchar_t pair[3] = {s[i], s[i + 1], 0};
        wchar_t* end = nullptr;
        unsigned long v = wcstoul(pair, &end, 16);
        if (!end || *end)
            return false;
        out->push_back((BYTE)v);
    }
    return true;
}

HRESULT ParseProfile(const std::wstring& text, CProfile* profile)
{
    std::vector<Element> elements;
    if (!Tokenise(text, &elements))
        return E_INVALIDARG;
    bool sawProfile = false;
    StreamData* stream = nullptr;
    VIDEOINFOHEADER vih;
    for (const Element& e : elements) {
        long long n = 0;
        if (e.closing) {
            if (e.name == L"streamconfig")
                stream = nullptr;
            continue;
        }
        if (e.name == L"profile") {
            if (sawProfile)
                return E_INVALIDARG;
            sawProfile = true;
            profile->m_name = e.Text(L"name");
            profile->m_description = e.Text(L"description");
            if (!e.Number(L"version", 0, 0xFFFFFFFFll, WMT_VER_7_0, &n))
                return E_INVALIDARG;
            profile->m_version = (WMT_VERSION)n;
        } else if (e.name == L"streamconfig") {
            if (!sawProfile)
                return E_INVALIDARG;
            StreamData s;
            if (!ParseGuid(e.Text(L"majortype"), &s.type))
                return E_INVALIDARG;
            if (!e.Number(L"streamnumber", 1, 63, (long long)profile->m_streams.size() + 1, &n))
                return E_INVALIDARG;
            s.number = (WORD)n;
            for (const StreamData& other : profile->m_streams)
                if (other.number == s.number)
                    return E_INVALIDARG;
            s.name = e.Text(L"streamname");
            s.connection = e.Text(L"inputname");
            if (!e.Number(L"bitrate", 0, 0xFFFFFFFFll, 0, &n))
                return E_INVALIDARG;
            s.bitrate = (DWORD)n;
            if (!e.Number(L"bufferwindow", -1, 0xFFFFFFFFll, 0, &n))
                return E_INVALIDARG;
            s.bufferWindow = (DWORD)n;
            profile->m_streams.push_back(s);
            stream = &profile->m_streams.back();
        } else if (!stream) {
            continue;
        } else if (e.name == L"wmmediatype") {
            if (!e.Text(L"subtype").empty() && !ParseGuid(e.Text(L"subtype"), &stream->subtype))
                return E_INVALIDARG;
            if (!e.Number(L"bfixedsizesamples", 0, 1, 0, &n))
                return E_INVALIDARG;
            stream->fixedSize = (BOOL)n;
            if (!e.Number(L"btemporalcompression", 0, 1, 0, &n))
                return E_INVALIDARG;
            stream->temporal = (BOOL)n;
            if (!e.Number(L"lsamplesize", 0, 0x7FFFFFFFll, 0, &n))
                return E_INVALIDARG;
            stream->sampleSize = (ULONG)n;
        } else if (e.name == L"videoinfoheader") {
            memset(&vih, 0, sizeof(vih));
            if (!e.Number(L"dwbitrate", 0, 0xFFFFFFFFll, 0, &n))
                return E_INVALIDARG;
            vih.dwBitRate = (DWORD)n;
            if (!e.Number(L"avgtimeperframe", 0, 0x7FFFFFFFFFFFll, 0, &n))
                return E_INVALIDARG;
            vih.AvgTimePerFrame = n;
            stream->formatType = kFormatVideoInfo;
            stream->format.assign((BYTE*)&vih, (BYTE*)&vih + sizeof(vih));
        } else if (e.name == L"bitmapinfoheader" && stream->format.size() == sizeof(VIDEOINFOHEADER)) {
            VIDEOINFOHEADER* v = (VIDEOINFOHEADER*)stream->format.data();
            BITMAPINFOHEADER& b = v->bmiHeader;
            b.biSize = sizeof(BITMAPINFOHEADER);
            if (!e.Number(L"biwidth", 0, 8192, 0, &n))
                return E_INVALIDARG;
            b.biWidth = (LONG)n;
            if (!e.Number(L"biheight", -8192, 8192, 0, &n))
                return E_INVALIDARG;
            b.biHeight = (LONG)n;
            if (!e.Number(L"biplanes", 0, 1, 1, &n))
                return E_INVALIDARG;
            b.biPlanes = (WORD)n;
            if (!e.Number(L"bibitcount", 0, 32, 0, &n))
                return E_INVALIDARG;
            b.biBitCount = (WORD)n;
            DWORD fourcc = 0;
            std::wstring compression = e.Text(L"bicompression");
            if (!compression.empty() && !ParseFourcc(compression, &fourcc))
                return E_INVALIDARG;
            b.biCompression = fourcc;
            if (!e.Number(L"bisizeimage", 0, 0x7FFFFFFFll, 0, &n))
                return E_INVALIDARG;
            b.biSizeImage = (DWORD)n;
        } else if (e.name == L"waveformatex") {
            WAVEFORMATEX wf = {};
            struct Field {
                const wchar_t* key;
                long long low, high;
            } fields[] = {{L"wFormatTag", 0, 0xFFFF},        {L"nChannels", 1, 8},
                          {L"nSamplesPerSec", 1, 384000},   {L"nAvgBytesPerSec", 0, 0x7FFFFFFF},
                          {L"nBlockAlign", 0, 0xFFFF},      {L"wBitsPerSample", 0, 64}};
            long long v[6];
            for (int i = 0; i < 6; ++i)
                if (!e.Find(fields[i].key) || !e.Number(fields[i].key, fields[i].low, fields[i].high, 0, &v[i]))
                    return E_INVALIDARG;
            wf.wFormatTag = (WORD)v[0];
            wf.nChannels = (WORD)v[1];
            wf.nSamplesPerSec = (DWORD)v[2];
            wf.nAvgBytesPerSec = (DWORD)v[3];
            wf.nBlockAlign = (WORD)v[4];
            wf.wBitsPerSample = (WORD)v[5];
            std::vector<BYTE> extra;
            if (!ParseHex(e.Text(L"codecdata"), &extra))
                return E_INVALIDARG;
            wf.cbSize = (WORD)extra.size();
            stream->formatType = kFormatWaveFormatEx;
            stream->format.assign((BYTE*)&wf, (BYTE*)&wf + sizeof(wf));
            stream->format.insert(stream->format.end(), extra.begin(), extra.end());
        }
    }
    return sawProfile ? S_OK : E_INVALIDARG;
}

class CProfileManager : public IWMProfileManager2 {
public:
    virtual ~CProfileManager() {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IWMProfileManager || riid == IID_IWMProfileManager2) {
            *ppv = static_cast<IWMProfileManager2*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = ::InterlockedDecrement(&m_refs);
        if (!left)
            delete this;
        return (ULONG)left;
    }
    STDMETHODIMP CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) override
    {
        if (!profile)
            return E_POINTER;
        CProfile* p = new (std::nothrow) CProfile();
        if (!p)
            return E_OUTOFMEMORY;
        p->m_version = version;
        *profile = p;
        return S_OK;
    }
    STDMETHODIMP LoadProfileByID(REFGUID, IWMProfile** profile) override
    {
        if (profile)
            *profile = NULL;
        return E_NOTIMPL;
    }
    STDMETHODIMP LoadProfileByData(const WCHAR* text, IWMProfile** profile) override
    {
        return LoadWmProfileFromText(text, profile);
    }
    STDMETHODIMP SaveProfile(IWMProfile*, WCHAR*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSystemProfileCount(DWORD* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP LoadSystemProfile(DWORD, IWMProfile** profile) override
    {
        if (profile)
            *profile = NULL;
        return E_INVALIDARG;
    }
    STDMETHODIMP GetSystemProfileVersion(WMT_VERSION* version) override
    {
        if (!version)
            return E_POINTER;
        *version = m_version;
        return S_OK;
    }
    STDMETHODIMP SetSystemProfileVersion(WMT_VERSION version) override
    {
        m_version = version;
        return S_OK;
    }

private:
    volatile LONG m_refs = 1;
    WMT_VERSION m_version = WMT_VER_8_0;
};

}  // namespace

HRESULT LoadWmProfileFromText(LPCWSTR text, IWMProfile** profile)
{
    if (!profile)
        return E_POINTER;
    *profile = NULL;
    if (!text)
        return E_INVALIDARG;
    CProfile* p = new (std::nothrow) CProfile();
    if (!p)
        return E_OUTOFMEMORY;
    HRESULT hr = ParseProfile(text, p);
    if (FAILED(hr)) {
        p->Release();
        return hr;
    }
    *profile = p;
    return S_OK;
}

HRESULT CreateWmProfileManager(IWMProfileManager** manager)
{
    if (!manager)
        return E_POINTER;
    *manager = new (std::nothrow) CProfileManager();
    return *manager ? S_OK : E_OUTOFMEMORY;
}
