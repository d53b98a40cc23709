#include "platform/filters/AviMux.h"
#include "platform/filters/SeekingPassThrough.h"

#include <deque>
#include <new>
#include <string>
#include <vector>

namespace {

const DWORD kDefaultRiffLimit = 0x40000000;   // 1 GiB
const int kSuperEntries = 256;                // RIFF forms a super index can list
const DWORD kHeaderAlign = 2048;
const size_t kQueueCap = 32 * 1024 * 1024;    // buffered bytes before time order gives way
// Output buffers: a full-screen frame goes to the file writer in few writes.
const long kBufferSize = 1024 * 1024;
const size_t kSpareChunks = 8;
const DWORD kMaxInfoText = 65536;

volatile LONG g_riffLimit = 0;

// Little-endian byte building.
class CBytes {
public:
    std::vector<BYTE> b;
    void Tag(const char* t) { b.insert(b.end(), t, t + 4); }
    void D(DWORD v)
    {
        for (int i = 0; i < 4; ++i)
            b.push_back((BYTE)(v >> (8 * i)));
    }
    void W(WORD v)
    {
        b.push_back((BYTE)v);
        b.push_back((BYTE)(v >> 8));
    }
    void Q(ULONGLONG v)
    {
        D((DWORD)v);
        D((DWORD)(v >> 32));
    }
    void Raw(const void* p, size_t n) { b.insert(b.end(), (const BYTE*)p, (const BYTE*)p + n); }
    void Zeros(size_t n) { b.insert(b.end(), n, 0); }
    size_t Size() const { return b.size(); }
    void SetD(size_t at, DWORD v)
    {
        for (int i = 0; i < 4; ++i)
            b[at + i] = (BYTE)(v >> (8 * i));
    }
    // A JUNK chunk filling exactly `total` bytes (8 or more).
    void Junk(size_t total)
    {
        Tag("JUNK");
        D((DWORD)(total - 8));
        Zeros(total - 8);
    }
};

ULONGLONG Gcd(ULONGLONG a, ULONGLONG b)
{
    while (b) {
        ULONGLONG t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// The stream rate (rate / scale frames per second) of a frame duration.
// Frame durations in 100 ns are rounded or cut from rates such as 15 or
// 30000/1001; the small rational that gives the duration back is the rate
// the recording had, so that readers see 15/1 rather than 5000000/333333.
} // namespace

void DsAviFrameRate(REFERENCE_TIME frame, DWORD* rate, DWORD* scale)
{
    if (frame <= 0)
        frame = 666667;
    static const ULONGLONG scales[] = {1, 1001, 2, 3, 4, 5, 6, 8, 10, 100, 1000};
    for (ULONGLONG sc : scales) {
        ULONGLONG r = (10000000ull * sc + (ULONGLONG)frame / 2) / (ULONGLONG)frame;
        if (r == 0 || r > 0xFFFFFFFFull)
            continue;
        ULONGLONG cut = 10000000ull * sc / r;
        ULONGLONG rounded = (10000000ull * sc + r / 2) / r;
        if (cut == (ULONGLONG)frame || rounded == (ULONGLONG)frame) {
            ULONGLONG g = Gcd(r, sc);
            *rate = (DWORD)(r / g);
            *scale = (DWORD)(sc / g);
            return;
        }
    }
    ULONGLONG g = Gcd(10000000ull, (ULONGLONG)frame);
    *rate = (DWORD)(10000000ull / g);
    *scale = (DWORD)((ULONGLONG)frame / g);
}

namespace {

struct Chunk {
    REFERENCE_TIME time;
    std::vector<BYTE> data;
    bool key;
};

struct IndexEntry {
    ULONGLONG dataOffset;
    DWORD size;
    bool key;
};

struct SuperEntry {
    ULONGLONG offset;
    DWORD size;
    DWORD duration;
};

struct Idx1Entry {
    char id[4];
    DWORD flags;
    DWORD offset;
    DWORD size;
};

class CAviMux;

class CAviMuxInput : public CInputPinBase {
public:
    CAviMuxInput(CAviMux* owner, LPCWSTR name, int index) : CInputPinBase((CFilterBase*)owner, name), m_owner(owner), m_index(index) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;

private:
    CAviMux* m_owner;
    int m_index;
};

class CAviMuxSeeking : public CSeekingPassThrough {
public:
    CAviMuxSeeking(CAviMux* owner, CInputPinBase* input);
    STDMETHODIMP GetCurrentPosition(LONGLONG* pCurrent) override;

private:
    CAviMux* m_owner;
};

class CAviMuxOutput : public COutputPinBase {
public:
    CAviMuxOutput(CAviMux* owner, CInputPinBase* first);
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->majortype, MEDIATYPE_Stream) &&
                       (IsEqualGUID(mt->subtype, MEDIASUBTYPE_Avi) || IsEqualGUID(mt->subtype, GUID_NULL))
                   ? S_OK
                   : S_FALSE;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        ZeroMemory(mt, sizeof(*mt));
        mt->majortype = MEDIATYPE_Stream;
        mt->subtype = MEDIASUBTYPE_Avi;
        mt->lSampleSize = 1;
        mt->formattype = FORMAT_None;
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        if (request->cBuffers < 4)
            request->cBuffers = 4;
        if (request->cbBuffer < kBufferSize)
            request->cbBuffer = kBufferSize;
        if (request->cbAlign < 1)
            request->cbAlign = 1;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr))
            return hr;
        return actual.cbBuffer >= 1024 ? S_OK : E_FAIL;
    }

private:
    CAviMuxSeeking m_seeking;
};

// One input's stream in the file.
struct Stream {
    int pin = -1;
    bool video = false;
    char id[4] = {'0', '0', 'd', 'b'};
    std::deque<Chunk> queue;
    bool ended = false;
    ULONGLONG chunks = 0;          // video frames or audio chunks written
    ULONGLONG firstRiffChunks = 0;
    ULONGLONG bytes = 0;
    DWORD maxChunk = 0;
    REFERENCE_TIME nextTime = 0;   // for samples without times
    REFERENCE_TIME end = 0;
    std::vector<IndexEntry> segment;
    std::vector<SuperEntry> super;
};

class CAviMux : public CFilterBase, public IConfigInterleaving, public IConfigAviMux, public IPersistMediaPropertyBag {
public:
    CAviMux() : CFilterBase(CLSID_AviDest)
    {
        AddPin(m_in[0] = new CAviMuxInput(this, L"Input 01", 0));
        AddPin(m_in[1] = new CAviMuxInput(this, L"Input 02", 1));
        AddPin(m_out = new CAviMuxOutput(this, m_in[0]));
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IConfigInterleaving))
            *ppv = static_cast<IConfigInterleaving*>(this);
        else if (IsEqualIID(riid, IID_IConfigAviMux))
            *ppv = static_cast<IConfigAviMux*>(this);
        else if (IsEqualIID(riid, IID_IPersistMediaPropertyBag))
            *ppv = static_cast<IPersistMediaPropertyBag*>(this);
        else if (IsEqualIID(riid, IID_IMediaSeeking))
            return m_out->QueryInterface(riid, ppv);
        else
            return CFilterBase::QueryInterface(riid, ppv);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CFilterBase::Release(); }

    // IConfigInterleaving
    STDMETHODIMP put_Mode(InterleavingMode mode) override
    {
        if (mode < INTERLEAVE_NONE || mode > INTERLEAVE_NONE_BUFFERED)
            return E_INVALIDARG;
        CDsAutoLock lock(&m_filterLock);
        if (m_state != State_Stopped)
            return VFW_E_NOT_STOPPED;
        m_mode = mode;
        return S_OK;
    }
    STDMETHODIMP get_Mode(InterleavingMode* mode) override
    {
        if (!mode)
            return E_POINTER;
        *mode = m_mode;
        return S_OK;
    }
    STDMETHODIMP put_Interleaving(const REFERENCE_TIME* leaving, const REFERENCE_TIME* preroll) override
    {
        CDsAutoLock lock(&m_filterLock);
        if (m_state != State_Stopped)
            return VFW_E_NOT_STOPPED;
        if (leaving) {
            if (*leaving <= 0)
                return E_INVALIDARG;
            m_period = *leaving;
        }
        if (preroll) {
            if (*preroll < 0)
                return E_INVALIDARG;
            m_preroll = *preroll;
        }
        return S_OK;
    }
    STDMETHODIMP get_Interleaving(REFERENCE_TIME* leaving, REFERENCE_TIME* preroll) override
    {
        if (leaving)
            *leaving = m_period;
        if (preroll)
            *preroll = m_preroll;
        return S_OK;
    }

    // IConfigAviMux: kept and reported; every file has idx1 for its first
    // RIFF form whatever the compatibility setting.
    STDMETHODIMP SetMasterStream(LONG stream) override
    {
        if (stream < -1 || stream > 1)
            return E_INVALIDARG;
        m_master = stream;
        return S_OK;
    }
    STDMETHODIMP GetMasterStream(LONG* stream) override
    {
        if (!stream)
            return E_POINTER;
        *stream = m_master;
        return S_OK;
    }
    STDMETHODIMP SetOutputCompatibilityIndex(WINBOOL compat) override
    {
        m_compat = compat;
        return S_OK;
    }
    STDMETHODIMP GetOutputCompatibilityIndex(WINBOOL* compat) override
    {
        if (!compat)
            return E_POINTER;
        *compat = m_compat;
        return S_OK;
    }

    // IPersistMediaPropertyBag
    STDMETHODIMP GetClassID(CLSID* clsid) override { return CFilterBase::GetClassID(clsid); }
    STDMETHODIMP InitNew() override
    {
        CDsAutoLock lock(&m_filterLock);
        m_info.clear();
        return S_OK;
    }
    // Takes every "INFO/xxxx" property (four characters after the slash) as
    // a text of the file's INFO list; other names are not ours and are left.
    STDMETHODIMP Load(IMediaPropertyBag* bag, IErrorLog*) override
    {
        if (!bag)
            return E_POINTER;
        std::vector<std::pair<std::string, std::string>> info;
        for (ULONG i = 0; i < 10000; ++i) {
            VARIANT name, value;
            VariantInit(&name);
            VariantInit(&value);
            if (bag->EnumProperty(i, &name, &value) != S_OK)
                break;
            if (V_VT(&name) == VT_BSTR && V_BSTR(&name) && SysStringLen(V_BSTR(&name)) == 9 &&
                _wcsnicmp(V_BSTR(&name), L"INFO/", 5) == 0 &&
                SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR)) && V_BSTR(&value)) {
                std::string tag;
                for (int k = 5; k < 9; ++k)
                    tag.push_back((char)(V_BSTR(&name)[k] < 128 ? V_BSTR(&name)[k] : '_'));
                int len = WideCharToMultiByte(CP_ACP, 0, V_BSTR(&value), -1, NULL, 0, NULL, NULL);
                std::string text(len > 0 ? len : 1, '\0');
                if (len > 0)
                    WideCharToMultiByte(CP_ACP, 0, V_BSTR(&value), -1, &text[0], len, NULL, NULL);
                text.resize(strlen(text.c_str()));
                if (text.size() > kMaxInfoText)
                    text.resize(kMaxInfoText);
                if (!text.empty())
                    info.push_back(std::make_pair(tag, text));
            }
            VariantClear(&name);
            VariantClear(&value);
        }
        CDsAutoLock lock(&m_filterLock);
        m_info = info;
        return S_OK;
    }
    STDMETHODIMP Save(IMediaPropertyBag* bag, WINBOOL, WINBOOL) override
    {
        if (!bag)
            return E_POINTER;
        CDsAutoLock lock(&m_filterLock);
        for (const auto& item : m_info) {
            std::wstring name = L"INFO/" + std::wstring(item.first.begin(), item.first.end());
            int len = MultiByteToWideChar(CP_ACP, 0, item.second.c_str(), -1, NULL, 0);
            std::wstring text(len > 0 ? len : 1, L'\0');
            if (len > 0)
                MultiByteToWideChar(CP_ACP, 0, item.second.c_str(), -1, &text[0], len);
            VARIANT v;
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocString(text.c_str());
            HRESULT hr = bag->Write(name.c_str(), &v);
            VariantClear(&v);
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }

    LONGLONG Position()
    {
        CDsAutoLock lock(&m_muxLock);
        return m_written;
    }

    // ------------------------------------------------------------ streaming

    HRESULT Receive(int pin, IMediaSample* sample)
    {
        CDsAutoLock lock(&m_muxLock);
        if (FAILED(m_error))
            return m_error;
        HRESULT hr = Start();
        if (FAILED(hr))
            return Fail(hr);
        Stream* s = StreamOfPin(pin);
        if (!s)
            return E_UNEXPECTED;
        BYTE* data = NULL;
        hr = sample->GetPointer(&data);
        if (FAILED(hr))
            return hr;
        long length = sample->GetActualDataLength();
        if (length < 0)
            return E_INVALIDARG;
        REFERENCE_TIME start = 0, stop = 0;
        bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
        if (!timed)
            start = s->nextTime;
        bool key = s->video ? sample->IsSyncPoint() == S_OK : true;
        if (s->video) {
            REFERENCE_TIME frame = FrameTime();
            s->nextTime = start + frame;
            s->end = timed && stop > start ? stop : start + frame;
        } else {
            s->nextTime = start + BytesToTime(length);
            s->end = s->nextTime;
        }
        if (!Interleaved())
            return Check(WriteChunk(*s, data, (DWORD)length, key, start));
        // Audio goes in pieces of at most one interleave period.
        DWORD piece = (DWORD)length;
        if (!s->video) {
            const WAVEFORMATEX* wfx = Wave();
            ULONGLONG perPeriod = (ULONGLONG)wfx->nAvgBytesPerSec * (ULONGLONG)m_period / 10000000;
            perPeriod -= perPeriod % wfx->nBlockAlign;
            if (perPeriod < wfx->nBlockAlign)
                perPeriod = wfx->nBlockAlign;
            if (perPeriod < piece)
                piece = (DWORD)perPeriod;
        }
        for (long done = 0; done < length || (length == 0 && done == 0);) {
            DWORD part = (DWORD)(length - done) < piece ? (DWORD)(length - done) : piece;
            Chunk c;
            c.time = start + (s->video ? 0 : BytesToTime(done));
            // A buffer of a chunk already written is filled again: a fresh
            // one for every full-screen frame would cost new pages each time.
            if (!m_spare.empty()) {
                c.data.swap(m_spare.back());
                m_spare.pop_back();
            }
            c.data.assign(data + done, data + done + part);
            c.key = key;
            m_buffered += part;
            s->queue.push_back(std::move(c));
            done += part;
            if (length == 0)
                break;
        }
        return Check(Pump());
    }

    HRESULT EndOfStream(int pin)
    {
        {
            CDsAutoLock lock(&m_muxLock);
            Stream* s = StreamOfPin(pin);
            if (s)
                s->ended = true;
            if (FAILED(m_error))
                return S_OK;
            HRESULT hr = Start();
            if (SUCCEEDED(hr))
                hr = Pump();
            for (Stream& st : m_streams)
                if (!st.ended)
                    return Check(hr);
            if (SUCCEEDED(hr))
                hr = Finish();
            if (FAILED(hr)) {
                Fail(hr);
                return S_OK;
            }
        }
        return m_out->DeliverEndOfStream();
    }

    void BeginFlush() { m_out->DeliverBeginFlush(); }

    // A seek starts the file again from its beginning.
    void EndFlush()
    {
        {
            CDsAutoLock lock(&m_muxLock);
            Reset();
        }
        m_out->DeliverEndFlush();
    }

    CAviMuxInput* m_in[2];
    CAviMuxOutput* m_out;

protected:
    HRESULT OnPause(FILTER_STATE from) override
    {
        if (from == State_Stopped) {
            CDsAutoLock lock(&m_muxLock);
            Reset();
        }
        return S_OK;
    }

private:
    bool Interleaved() const { return m_mode != INTERLEAVE_NONE && m_mode != INTERLEAVE_CAPTURE; }

    HRESULT Check(HRESULT hr) { return FAILED(hr) ? Fail(hr) : S_OK; }

    HRESULT Fail(HRESULT hr)
    {
        if (SUCCEEDED(m_error)) {
            m_error = hr;
            NotifyEvent(EC_ERRORABORT, hr, 0);
        }
        return hr;
    }

    Stream* StreamOfPin(int pin)
    {
        for (Stream& s : m_streams)
            if (s.pin == pin)
                return &s;
        return NULL;
    }

    const VIDEOINFOHEADER* Video() const
    {
        return reinterpret_cast<const VIDEOINFOHEADER*>(m_in[0]->CurrentMediaType().pbFormat);
    }
    const WAVEFORMATEX* Wave() const
    {
        return reinterpret_cast<const WAVEFORMATEX*>(m_in[1]->CurrentMediaType().pbFormat);
    }
    REFERENCE_TIME FrameTime() const
    {
        REFERENCE_TIME t = Video()->AvgTimePerFrame;
        return t > 0 ? t : 666667;
    }
    REFERENCE_TIME BytesToTime(ULONGLONG bytes) const
    {
        DWORD avg = Wave()->nAvgBytesPerSec;
        return (REFERENCE_TIME)(bytes / avg * 10000000 + bytes % avg * 10000000 / avg);
    }

    void Reset()
    {
        m_streams.clear();
        m_started = false;
        m_error = S_OK;
        m_buffered = 0;
        m_written = 0;
        m_idx1.clear();
        m_odml = false;
        m_segments = 0;
        m_firstRiffSize = 0;
        m_firstMoviSize = 4;
    }

    // Lays out the streams and the header and sends the provisional header.
    HRESULT Start()
    {
        if (m_started)
            return S_OK;
        if (!m_out->IsConnected())
            return VFW_E_NOT_CONNECTED;
        m_streams.clear();
        for (int pin = 0; pin < 2; ++pin) {
            if (!m_in[pin]->IsConnected())
                continue;
            Stream s;
            s.pin = pin;
            s.video = pin == 0;
            int n = (int)m_streams.size();
            s.id[0] = (char)('0' + n / 10);
            s.id[1] = (char)('0' + n % 10);
            if (s.video) {
                DWORD compression = Video()->bmiHeader.biCompression;
                bool raw = compression == BI_RGB || compression == BI_BITFIELDS;
                s.id[2] = 'd';
                s.id[3] = raw ? 'b' : 'c';
            } else {
                s.id[2] = 'w';
                s.id[3] = 'b';
            }
            m_streams.push_back(s);
        }
        if (m_streams.empty())
            return VFW_E_NOT_CONNECTED;
        m_riffLimit = DsAviRiffLimit();
        m_headerSize = 0;
        std::vector<BYTE> header = Header();
        m_headerSize = (DWORD)((header.size() + 8 + kHeaderAlign - 1) / kHeaderAlign * kHeaderAlign);
        m_started = true;
        m_riffStart = 0;
        m_moviList = m_headerSize - 12;
        m_pos = m_headerSize;
        m_segments = 1;
        return Send(Header(), 0);
    }

    // The header from offset 0 through the first "movi" list's header, with
    // the sizes known so far. Its length is fixed for the run.
    std::vector<BYTE> Header()
    {
        CBytes h;
        h.Tag("RIFF");
        h.D(m_started ? m_firstRiffSize : 0);
        h.Tag("AVI ");
        h.Tag("LIST");
        size_t hdrlSize = h.Size();
        h.D(0);
        h.Tag("hdrl");

        const Stream* video = m_streams[0].video ? &m_streams[0] : NULL;
        REFERENCE_TIME frame = video ? FrameTime() : 0;
        ULONGLONG totalBytes = 0;
        REFERENCE_TIME end = 0;
        DWORD maxChunk = 0;
        for (const Stream& s : m_streams) {
            totalBytes += s.bytes;
            if (s.end > end)
                end = s.end;
            if (s.maxChunk > maxChunk)
                maxChunk = s.maxChunk;
        }
        h.Tag("avih");
        h.D(56);
        h.D((DWORD)(frame / 10));
        h.D(end > 0 ? (DWORD)(totalBytes * 10000000 / (ULONGLONG)end) : 0);
        h.D(0);
        h.D(0x10 | (Interleaved() ? 0x100 : 0));   // AVIF_HASINDEX, AVIF_ISINTERLEAVED
        h.D(video ? (DWORD)video->firstRiffChunks : 0);
        h.D(0);
        h.D((DWORD)m_streams.size());
        h.D(maxChunk + 8);
        h.D(video ? (DWORD)Video()->bmiHeader.biWidth : 0);
        h.D(video ? (DWORD)abs(Video()->bmiHeader.biHeight) : 0);
        h.Zeros(16);

        for (const Stream& s : m_streams) {
            h.Tag("LIST");
            size_t strlSize = h.Size();
            h.D(0);
            h.Tag("strl");
            h.Tag("strh");
            h.D(56);
            if (s.video) {
                const BITMAPINFOHEADER& bih = Video()->bmiHeader;
                DWORD rate = 0, scale = 0;
                DsAviFrameRate(frame, &rate, &scale);
                h.Tag("vids");
                h.D(bih.biCompression == BI_RGB || bih.biCompression == BI_BITFIELDS ? 0 : bih.biCompression);
                h.D(0);
                h.D(0);
                h.D(0);
                h.D(scale);
                h.D(rate);
                h.D(0);
                h.D((DWORD)s.chunks);
                h.D(s.maxChunk);
                h.D(0xFFFFFFFF);
                h.D(0);
                h.W(0);
                h.W(0);
                h.W((WORD)bih.biWidth);
                h.W((WORD)abs(bih.biHeight));
                const AM_MEDIA_TYPE& mt = m_in[0]->CurrentMediaType();
                size_t size = mt.cbFormat - offsetof(VIDEOINFOHEADER, bmiHeader);
                h.Tag("strf");
                h.D((DWORD)size);
                h.Raw(&Video()->bmiHeader, size);
                if (size & 1)
                    h.Zeros(1);
            } else {
                const WAVEFORMATEX* wfx = Wave();
                h.Tag("auds");
                h.D(0);
                h.D(0);
                h.D(0);
                h.D(0);
                h.D(wfx->nBlockAlign);
                h.D(wfx->nAvgBytesPerSec);
                h.D(0);
                h.D((DWORD)(s.bytes / wfx->nBlockAlign));
                h.D(s.maxChunk);
                h.D(0xFFFFFFFF);
                h.D(wfx->nBlockAlign);
                h.Zeros(8);
                size_t size = wfx->wFormatTag == WAVE_FORMAT_PCM ? 16 : sizeof(WAVEFORMATEX) + wfx->cbSize;
                h.Tag("strf");
                h.D((DWORD)size);
                h.Raw(wfx, size);
                if (size & 1)
                    h.Zeros(1);
            }
            // The super index, or the room it takes.
            size_t indxSize = 8 + 24 + 16 * kSuperEntries;
            if (m_odml) {
                h.Tag("indx");
                h.D((DWORD)(indxSize - 8));
                h.W(4);
                h.b.push_back(0);
                h.b.push_back(0);   // AVI_INDEX_OF_INDEXES
                h.D((DWORD)s.super.size());
                h.Raw(s.id, 4);
                h.Zeros(12);
                for (int i = 0; i < kSuperEntries; ++i) {
                    SuperEntry e = i < (int)s.super.size() ? s.super[i] : SuperEntry{0, 0, 0};
                    h.Q(e.offset);
                    h.D(e.size);
                    h.D(e.duration);
                }
            } else {
                h.Junk(indxSize);
            }
            h.SetD(strlSize, (DWORD)(h.Size() - strlSize - 4));
        }
        // The OpenDML header, or the room it takes.
        if (m_odml) {
            h.Tag("LIST");
            h.D(4 + 8 + 248);
            h.Tag("odml");
            h.Tag("dmlh");
            h.D(248);
            h.D(video ? (DWORD)video->chunks : 0);
            h.Zeros(244);
        } else {
            h.Junk(12 + 8 + 248);
        }
        h.SetD(hdrlSize, (DWORD)(h.Size() - hdrlSize - 4));

        if (!m_info.empty()) {
            h.Tag("LIST");
            size_t infoSize = h.Size();
            h.D(0);
            h.Tag("INFO");
            for (const auto& item : m_info) {
                h.Raw(item.first.data(), 4);
                h.D((DWORD)item.second.size() + 1);
                h.Raw(item.second.c_str(), item.second.size() + 1);
                if ((item.second.size() + 1) & 1)
                    h.Zeros(1);
            }
            h.SetD(infoSize, (DWORD)(h.Size() - infoSize - 4));
        }
        if (m_headerSize) {
            h.Junk(m_headerSize - 12 - h.Size());
            h.Tag("LIST");
            h.D(m_started ? m_firstMoviSize : 4);
            h.Tag("movi");
        }
        return h.b;
    }

    // Writes queued chunks in time order while every open stream has one
    // waiting (or too much is buffered to wait longer).
    HRESULT Pump()
    {
        for (;;) {
            Stream* best = NULL;
            bool waiting = false;
            for (Stream& s : m_streams) {
                if (s.queue.empty()) {
                    if (!s.ended)
                        waiting = true;
                    continue;
                }
                if (!best || s.queue.front().time < best->queue.front().time)
                    best = &s;
            }
            if (!best || (waiting && m_buffered < kQueueCap))
                return S_OK;
            Chunk c = std::move(best->queue.front());
            best->queue.pop_front();
            m_buffered -= c.data.size();
            HRESULT hr = WriteChunk(*best, c.data.data(), (DWORD)c.data.size(), c.key, c.time);
            if (m_spare.size() < kSpareChunks)
                m_spare.push_back(std::move(c.data));
            if (FAILED(hr))
                return hr;
        }
    }

    // The bytes the current RIFF form still needs for its indexes.
    ULONGLONG PendingIndexBytes(size_t extraEntries) const
    {
        ULONGLONG bytes = 0;
        for (const Stream& s : m_streams)
            bytes += 32 + 8 + 8 * (ULONGLONG)(s.segment.size() + extraEntries);
        if (m_segments == 1)
            bytes += 8 + 16 * (ULONGLONG)(m_idx1.size() + extraEntries);
        return bytes;
    }

    HRESULT WriteChunk(Stream& s, const BYTE* data, DWORD size, bool key, REFERENCE_TIME time)
    {
        ULONGLONG chunkBytes = 8 + (ULONGLONG)size + (size & 1);
        if (chunkBytes > 0x7FFFFFFF)
            return E_INVALIDARG;
        bool anyInSegment = false;
        for (const Stream& st : m_streams)
            anyInSegment = anyInSegment || !st.segment.empty();
        if (anyInSegment && m_pos + chunkBytes + PendingIndexBytes(1) - m_riffStart > m_riffLimit) {
            HRESULT hr = CloseSegment(true);
            if (FAILED(hr))
                return hr;
            if ((int)m_segments >= kSuperEntries)
                return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
            CBytes form;
            m_riffStart = m_pos;
            form.Tag("RIFF");
            form.D(0);
            form.Tag("AVIX");
            form.Tag("LIST");
            form.D(4);
            form.Tag("movi");
            m_moviList = m_pos + 12;
            hr = Send(form.b, m_pos);
            if (FAILED(hr))
                return hr;
            m_pos += form.Size();
            ++m_segments;
        }
        CBytes head;
        head.Raw(s.id, 4);
        head.D(size);
        ULONGLONG at = m_pos;
        HRESULT hr = Send(head.b, at);
        if (SUCCEEDED(hr) && size)
            hr = SendRaw(data, size, at + 8);
        if (SUCCEEDED(hr) && (size & 1)) {
            BYTE pad = 0;
            hr = SendRaw(&pad, 1, at + 8 + size);
        }
        if (FAILED(hr))
            return hr;
        m_pos += chunkBytes;
        s.segment.push_back(IndexEntry{at + 8, size, key});
        if (m_segments == 1) {
            Idx1Entry e;
            memcpy(e.id, s.id, 4);
            e.flags = key ? 0x10 : 0;
            e.offset = (DWORD)(at - (m_moviList + 8));
            e.size = size;
            m_idx1.push_back(e);
            ++s.firstRiffChunks;
        }
        ++s.chunks;
        s.bytes += size;
        if (size > s.maxChunk)
            s.maxChunk = size;
        REFERENCE_TIME end = s.video ? time + FrameTime() : time + BytesToTime(size);
        if (end > m_written)
            m_written = end;
        return S_OK;
    }

    // Ends the current RIFF form: the standard indexes (AVI 2.0), the movi
    // list's size, idx1 after the first form's list, the form's size.
    HRESULT CloseSegment(bool another)
    {
        if (another)
            m_odml = true;
        HRESULT hr = S_OK;
        if (m_odml) {
            for (Stream& s : m_streams) {
                if (s.segment.empty())
                    continue;
                CBytes ix;
                const char tag[4] = {'i', 'x', s.id[0], s.id[1]};
                ix.Raw(tag, 4);
                ix.D((DWORD)(24 + 8 * s.segment.size()));
                ix.W(2);
                ix.b.push_back(0);
                ix.b.push_back(1);   // AVI_INDEX_OF_CHUNKS
                ix.D((DWORD)s.segment.size());
                ix.Raw(s.id, 4);
                ULONGLONG base = m_riffStart;
                ix.Q(base);
                ix.D(0);
                DWORD duration = 0;
                for (const IndexEntry& e : s.segment) {
                    ix.D((DWORD)(e.dataOffset - base));
                    ix.D(e.size | (e.key ? 0 : 0x80000000u));
                    duration += s.video ? 1 : e.size / Wave()->nBlockAlign;
                }
                hr = Send(ix.b, m_pos);
                if (FAILED(hr))
                    return hr;
                s.super.push_back(SuperEntry{m_pos, (DWORD)ix.Size(), duration});
                m_pos += ix.Size();
            }
        }
        for (Stream& s : m_streams)
            s.segment.clear();
        DWORD moviSize = (DWORD)(m_pos - (m_moviList + 8));
        if (m_segments == 1) {
            m_firstMoviSize = moviSize;
            CBytes idx;
            idx.Tag("idx1");
            idx.D((DWORD)(16 * m_idx1.size()));
            for (const Idx1Entry& e : m_idx1) {
                idx.Raw(e.id, 4);
                idx.D(e.flags);
                idx.D(e.offset);
                idx.D(e.size);
            }
            hr = Send(idx.b, m_pos);
            if (FAILED(hr))
                return hr;
            m_pos += idx.Size();
            m_firstRiffSize = (DWORD)(m_pos - 8);
            m_idx1.clear();
            m_idx1.shrink_to_fit();
            return S_OK;
        }
        CBytes sizes;
        sizes.D((DWORD)(m_pos - m_riffStart - 8));
        hr = Send(sizes.b, m_riffStart + 4);
        if (FAILED(hr))
            return hr;
        CBytes movi;
        movi.D(moviSize);
        return Send(movi.b, m_moviList + 4);
    }

    HRESULT Finish()
    {
        HRESULT hr = Pump();
        if (SUCCEEDED(hr))
            hr = CloseSegment(false);
        if (SUCCEEDED(hr))
            hr = Send(Header(), 0);
        return hr;
    }

    HRESULT Send(const std::vector<BYTE>& bytes, ULONGLONG offset) { return SendRaw(bytes.data(), bytes.size(), offset); }

    // Sends bytes at a byte offset of the output, in buffers of the
    // output allocator.
    HRESULT SendRaw(const BYTE* data, size_t size, ULONGLONG offset)
    {
        while (size > 0) {
            IMediaSample* sample = NULL;
            HRESULT hr = m_out->GetDeliveryBuffer(&sample, NULL, NULL, 0);
            if (FAILED(hr))
                return hr;
            BYTE* buffer = NULL;
            sample->GetPointer(&buffer);
            size_t part = size < (size_t)sample->GetSize() ? size : (size_t)sample->GetSize();
            CopyMemory(buffer, data, part);
            sample->SetActualDataLength((long)part);
            REFERENCE_TIME start = (REFERENCE_TIME)offset, stop = (REFERENCE_TIME)(offset + part);
            sample->SetTime(&start, &stop);
            hr = m_out->Deliver(sample);
            sample->Release();
            if (hr != S_OK)
                return FAILED(hr) ? hr : E_ABORT;
            data += part;
            size -= part;
            offset += part;
        }
        return S_OK;
    }

    CDsLock m_muxLock;
    InterleavingMode m_mode = INTERLEAVE_NONE;
    REFERENCE_TIME m_period = 10000000;
    REFERENCE_TIME m_preroll = 0;
    LONG m_master = -1;
    WINBOOL m_compat = TRUE;
    std::vector<std::pair<std::string, std::string>> m_info;

    std::vector<Stream> m_streams;
    std::vector<std::vector<BYTE>> m_spare;   // buffers of written chunks, to be filled again
    bool m_started = false;
    HRESULT m_error = S_OK;
    size_t m_buffered = 0;
    LONGLONG m_written = 0;
    DWORD m_riffLimit = kDefaultRiffLimit;
    DWORD m_headerSize = 0;
    ULONGLONG m_pos = 0;
    ULONGLONG m_riffStart = 0;
    ULONGLONG m_moviList = 0;      // offset of the current "LIST" of movi
    DWORD m_segments = 0;
    bool m_odml = false;
    DWORD m_firstRiffSize = 0;
    DWORD m_firstMoviSize = 4;
    std::vector<Idx1Entry> m_idx1;
};

HRESULT CAviMuxInput::CheckMediaType(const AM_MEDIA_TYPE* mt)
{
    if (!mt->pbFormat)
        return S_FALSE;
    if (m_index == 0) {
        if (!IsEqualGUID(mt->majortype, MEDIATYPE_Video) || !IsEqualGUID(mt->formattype, FORMAT_VideoInfo) ||
            mt->cbFormat < sizeof(VIDEOINFOHEADER) || mt->cbFormat > sizeof(VIDEOINFOHEADER) + 1024 + 256 * 4)
            return S_FALSE;
        const BITMAPINFOHEADER& bih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader;
        if (bih.biWidth <= 0 || bih.biWidth > 32767 || bih.biHeight == 0 || abs(bih.biHeight) > 32767)
            return S_FALSE;
        return S_OK;
    }
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx) ||
        mt->cbFormat < sizeof(PCMWAVEFORMAT))
        return S_FALSE;
    const WAVEFORMATEX* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    if (wfx->nBlockAlign == 0 || wfx->nAvgBytesPerSec == 0)
        return S_FALSE;
    if (wfx->wFormatTag != WAVE_FORMAT_PCM &&
        (mt->cbFormat < sizeof(WAVEFORMATEX) || sizeof(WAVEFORMATEX) + wfx->cbSize > mt->cbFormat))
        return S_FALSE;
    return S_OK;
}

HRESULT CAviMuxInput::OnReceive(IMediaSample* sample) { return m_owner->Receive(m_index, sample); }
HRESULT CAviMuxInput::OnEndOfStream() { return m_owner->EndOfStream(m_index); }
HRESULT CAviMuxInput::OnBeginFlush()
{
    m_owner->BeginFlush();
    return S_OK;
}
HRESULT CAviMuxInput::OnEndFlush()
{
    m_owner->EndFlush();
    return S_OK;
}

CAviMuxSeeking::CAviMuxSeeking(CAviMux* owner, CInputPinBase* input)
    : CSeekingPassThrough(static_cast<IBaseFilter*>(owner), input), m_owner(owner)
{
}

STDMETHODIMP CAviMuxSeeking::GetCurrentPosition(LONGLONG* pCurrent)
{
    if (!pCurrent)
        return E_POINTER;
    *pCurrent = m_owner->Position();
    return S_OK;
}

CAviMuxOutput::CAviMuxOutput(CAviMux* owner, CInputPinBase* first)
    : COutputPinBase(owner, L"AVI Out"), m_seeking(owner, first)
{
}

STDMETHODIMP CAviMuxOutput::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && IsEqualIID(riid, IID_IMediaSeeking)) {
        *ppv = static_cast<IMediaSeeking*>(&m_seeking);
        AddRef();
        return S_OK;
    }
    return COutputPinBase::QueryInterface(riid, ppv);
}

} // namespace

HRESULT DsCreateAviMux(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CAviMux(), riid, ppv);
}

void DsSetAviRiffLimit(DWORD bytes) { InterlockedExchange(&g_riffLimit, (LONG)bytes); }

DWORD DsAviRiffLimit()
{
    DWORD limit = (DWORD)InterlockedCompareExchange(&g_riffLimit, 0, 0);
    return limit ? limit : kDefaultRiffLimit;
}
