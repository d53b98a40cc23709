#include "platform/dex/XtlReader.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/MediaReader.h"

#include <initguid.h>
#include <wchar.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

DEFINE_GUID(CLSID_Xml2Dex, 0x18c628ed, 0x962a, 0x11d2, 0x8d, 0x08, 0x00, 0xa0, 0xc9, 0x44, 0x1e, 0x20);
DEFINE_GUID(IID_IXml2Dex, 0x18c628ee, 0x962a, 0x11d2, 0x8d, 0x08, 0x00, 0xa0, 0xc9, 0x44, 0x1e, 0x20);

namespace {

const size_t kMaxXtlBytes = 64 * 1024 * 1024;
const int kMaxDepth = 64;

struct XNode {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attrs;
    std::vector<std::unique_ptr<XNode>> children;

    const wchar_t* Attr(const wchar_t* key) const
    {
        for (const auto& a : attrs)
            if (_wcsicmp(a.first.c_str(), key) == 0)
                return a.second.c_str();
        return NULL;
    }
};

// A small well-formedness-checking parser: elements, attributes, the five
// named entities and character references, comments, declarations and
// processing instructions (passed over), CDATA. Text content is ignored.
class XParser {
public:
    explicit XParser(const std::wstring& text) : m_s(text), m_i(0) {}

    std::unique_ptr<XNode> ParseDocument()
    {
        SkipMisc();
        std::unique_ptr<XNode> root = Element(0);
        if (!root)
            return NULL;
        SkipMisc();
        return m_i == m_s.size() ? std::move(root) : NULL;
    }

private:
    bool At(const wchar_t* t) const { return m_s.compare(m_i, wcslen(t), t) == 0; }
    void SkipSpace()
    {
        while (m_i < m_s.size() && iswspace(m_s[m_i]))
            ++m_i;
    }
    bool SkipPast(const wchar_t* t)
    {
        size_t at = m_s.find(t, m_i);
        if (at == std::wstring::npos)
            return false;
        m_i = at + wcslen(t);
        return true;
    }
    // Comments, <?...?> and <!DOCTYPE ...> between elements.
    bool SkipMisc()
    {
        for (;;) {
            SkipSpace();
            if (At(L"<?")) {
                if (!SkipPast(L"?>"))
                    return false;
            } else if (At(L"<!--")) {
                if (!SkipPast(L"-->"))
                    return false;
            } else if (At(L"<!DOCTYPE")) {
                if (!SkipPast(L">"))
                    return false;
            } else {
                return true;
            }
        }
    }
    bool Name(std::wstring* out)
    {
        size_t start = m_i;
        while (m_i < m_s.size() && (iswalnum(m_s[m_i]) || m_s[m_i] == L'_' || m_s[m_i] == L'-' || m_s[m_i] == L':' ||
                                    m_s[m_i] == L'.'))
            ++m_i;
        *out = m_s.substr(start, m_i - start);
        return !out->empty();
    }
    bool Unescape(const std::wstring& raw, std::wstring* out)
    {
        out->clear();
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == L'<')
                return false;
            if (raw[i] != L'&') {
                out->push_back(raw[i]);
                continue;
            }
            size_t semi = raw.find(L';', i);
            if (semi == std::wstring::npos || semi - i > 10)
                return false;
            std::wstring ent = raw.substr(i + 1, semi - i - 1);
            if (ent == L"amp")
                out->push_back(L'&');
            else if (ent == L"lt")
                out->push_back(L'<');
            else if (ent == L"gt")
                out->push_back(L'>');
            else if (ent == L"quot")
                out->push_back(L'"');
            else if (ent == L"apos")
                out->push_back(L'\'');
            else if (ent.size() > 1 && ent[0] == L'#') {
                wchar_t* end = NULL;
                unsigned long v = ent[1] == L'x' ? wcstoul(ent.c_str() + 2, &end, 16) : wcstoul(ent.c_str() + 1, &end, 10);
                if (!end || *end || v == 0 || v > 0xFFFF)
                    return false;
                out->push_back((wchar_t)v);
            } else {
                return false;
            }
            i = semi;
        }
        return true;
    }
    std::unique_ptr<XNode> Element(int depth)
    {
        if (depth > kMaxDepth || !At(L"<"))
            return NULL;
        ++m_i;
        std::unique_ptr<XNode> node(new XNode());
        if (!Name(&node->name))
            return NULL;
        for (;;) {
            SkipSpace();
            if (At(L"/>")) {
                m_i += 2;
                return node;
            }
            if (At(L">")) {
                ++m_i;
                break;
            }
            std::wstring key, raw, value;
            if (!Name(&key))
                return NULL;
            SkipSpace();
            if (!At(L"="))
                return NULL;
            ++m_i;
            SkipSpace();
            if (m_i >= m_s.size() || (m_s[m_i] != L'"' && m_s[m_i] != L'\''))
                return NULL;
            wchar_t quote = m_s[m_i++];
            size_t end = m_s.find(quote, m_i);
            if (end == std::wstring::npos)
                return NULL;
            raw = m_s.substr(m_i, end - m_i);
            m_i = end + 1;
            if (!Unescape(raw, &value) || node->Attr(key.c_str()))
                return NULL;
            node->attrs.emplace_back(key, value);
        }
        // Content: child elements, text, comments, CDATA, up to the end tag.
        for (;;) {
            if (m_i >= m_s.size())
                return NULL;
            if (At(L"</")) {
                m_i += 2;
                std::wstring closing;
                if (!Name(&closing) || closing != node->name)
                    return NULL;
                SkipSpace();
                if (!At(L">"))
                    return NULL;
                ++m_i;
                return node;
            }
            if (At(L"<!--")) {
                if (!SkipPast(L"-->"))
                    return NULL;
            } else if (At(L"<![CDATA[")) {
                if (!SkipPast(L"]]>"))
                    return NULL;
            } else if (At(L"<?")) {
                if (!SkipPast(L"?>"))
                    return NULL;
            } else if (At(L"<")) {
                std::unique_ptr<XNode> child = Element(depth + 1);
                if (!child)
                    return NULL;
                node->children.push_back(std::move(child));
            } else {
                size_t next = m_s.find(L'<', m_i);
                if (next == std::wstring::npos)
                    return NULL;
                std::wstring text;
                if (!Unescape(m_s.substr(m_i, next - m_i), &text))
                    return NULL;
                m_i = next;
            }
        }
    }

    const std::wstring& m_s;
    size_t m_i;
};

BOOL ParseLong(const wchar_t* text, long lo, long hi, long* out)
{
    if (!text || !*text)
        return FALSE;
    wchar_t* end = NULL;
    long v = wcstol(text, &end, 10);
    if (!end || *end || v < lo || v > hi)
        return FALSE;
    *out = v;
    return TRUE;
}

BOOL ParseBool(const wchar_t* text, BOOL* out)
{
    if (!text)
        return FALSE;
    if (!_wcsicmp(text, L"1") || !_wcsicmp(text, L"true") || !_wcsicmp(text, L"yes")) {
        *out = TRUE;
        return TRUE;
    }
    if (!_wcsicmp(text, L"0") || !_wcsicmp(text, L"false") || !_wcsicmp(text, L"no")) {
        *out = FALSE;
        return TRUE;
    }
    return FALSE;
}

// A decimal rate ("29.97") as a double: digits only, in range.
BOOL ParseRate(const wchar_t* text, double lo, double hi, double* out)
{
    REFERENCE_TIME t = 0;
    if (!ParseXtlTime(text, &t) || wcschr(text, L':'))
        return FALSE;
    double v = t / 1e7;
    if (v < lo || v > hi)
        return FALSE;
    *out = v;
    return TRUE;
}

BOOL ParseStretch(const wchar_t* text, int* out)
{
    static const struct {
        const wchar_t* name;
        int mode;
    } names[] = {{L"stretch", RESIZEF_STRETCH},
                 {L"crop", RESIZEF_CROP},
                 {L"preserveaspectratio", RESIZEF_PRESERVEASPECTRATIO},
                 {L"preserveaspectrationoletterbox", RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX}};
    for (const auto& n : names)
        if (!_wcsicmp(text, n.name)) {
            *out = n.mode;
            return TRUE;
        }
    long v = 0;
    if (!ParseLong(text, 0, 5, &v))
        return FALSE;
    *out = (int)v;
    return TRUE;
}

// Checks a tree before anything is built; the first fault ends the check.
class XChecker {
public:
    HRESULT Check(const XNode& root)
    {
        if (_wcsicmp(root.name.c_str(), L"timeline"))
            return E_INVALIDARG;
        for (const auto& g : root.children) {
            if (!_wcsicmp(g->name.c_str(), L"group")) {
                HRESULT hr = Group(*g);
                if (FAILED(hr))
                    return hr;
            }
        }
        return S_OK;
    }

private:
    HRESULT Group(const XNode& g)
    {
        const wchar_t* type = g.Attr(L"type");
        if (!type || (_wcsicmp(type, L"video") && _wcsicmp(type, L"audio") && wcscmp(type, L"0") && wcscmp(type, L"1")))
            return E_INVALIDARG;
        long v = 0;
        double d = 0;
        BOOL b = FALSE;
        if (g.Attr(L"width") && !ParseLong(g.Attr(L"width"), 1, kMaxMediaSide, &v))
            return E_INVALIDARG;
        if (g.Attr(L"height") && !ParseLong(g.Attr(L"height"), 1, kMaxMediaSide, &v))
            return E_INVALIDARG;
        if (g.Attr(L"bitdepth") && !ParseLong(g.Attr(L"bitdepth"), 8, 32, &v))
            return E_INVALIDARG;
        if (g.Attr(L"samplingrate") && !ParseLong(g.Attr(L"samplingrate"), 1000, 192000, &v))
            return E_INVALIDARG;
        if (g.Attr(L"framerate") && !ParseRate(g.Attr(L"framerate"), 0.001, 1000.0, &d))
            return E_INVALIDARG;
        if (g.Attr(L"previewmode") && !ParseBool(g.Attr(L"previewmode"), &b))
            return E_INVALIDARG;
        return Children(g);
    }
    HRESULT Children(const XNode& n)
    {
        for (const auto& c : n.children) {
            HRESULT hr = Node(*c);
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }
    HRESULT Span(const XNode& n, bool required)
    {
        REFERENCE_TIME start = 0, stop = 0;
        const wchar_t* a = n.Attr(L"start");
        const wchar_t* b = n.Attr(L"stop");
        if (required && (!a || !b))
            return E_INVALIDARG;
        if ((a && !ParseXtlTime(a, &start)) || (b && !ParseXtlTime(b, &stop)))
            return E_INVALIDARG;
        if (a && b && stop <= start)
            return E_INVALIDARG;
        return S_OK;
    }
    HRESULT Node(const XNode& n)
    {
        BOOL b = FALSE;
        if (n.Attr(L"mute") && !ParseBool(n.Attr(L"mute"), &b))
            return E_INVALIDARG;
        const wchar_t* name = n.name.c_str();
        if (!_wcsicmp(name, L"composite") || !_wcsicmp(name, L"track"))
            return Children(n);
        if (!_wcsicmp(name, L"clip")) {
            if (!n.Attr(L"src") && !n.Attr(L"clsid"))
                return E_INVALIDARG;
            HRESULT hr = Span(n, true);
            if (FAILED(hr))
                return hr;
            REFERENCE_TIME ms = 0, me = 0;
            if ((n.Attr(L"mstart") && !ParseXtlTime(n.Attr(L"mstart"), &ms)) ||
                (n.Attr(L"mstop") && !ParseXtlTime(n.Attr(L"mstop"), &me)))
                return E_INVALIDARG;
            if (n.Attr(L"mstart") && n.Attr(L"mstop") && me <= ms)
                return E_INVALIDARG;
            int mode = 0;
            long stream = 0;
            if (n.Attr(L"stretchmode") && !ParseStretch(n.Attr(L"stretchmode"), &mode))
                return E_INVALIDARG;
            if (n.Attr(L"stream") && !ParseLong(n.Attr(L"stream"), 0, 255, &stream))
                return E_INVALIDARG;
            return Children(n);
        }
        if (!_wcsicmp(name, L"transition") || !_wcsicmp(name, L"effect")) {
            CLSID clsid;
            const wchar_t* text = n.Attr(L"clsid");
            if (!text || FAILED(CLSIDFromString((LPOLESTR)text, &clsid)))
                return E_INVALIDARG;
            if (n.Attr(L"swapinputs") && !ParseBool(n.Attr(L"swapinputs"), &b))
                return E_INVALIDARG;
            return Span(n, !_wcsicmp(name, L"transition"));
        }
        return S_OK;   // unknown elements (param, linear...) are passed over
    }
};

// Builds the checked tree into the timeline.
class XBuilder {
public:
    explicit XBuilder(IAMTimeline* timeline) : m_tl(timeline) {}

    HRESULT Build(const XNode& root)
    {
        for (const auto& g : root.children)
            if (!_wcsicmp(g->name.c_str(), L"group")) {
                HRESULT hr = Group(*g);
                if (FAILED(hr))
                    return hr;
            }
        return S_OK;
    }

private:
    static void Common(IAMTimelineObj* obj, const XNode& n)
    {
        BOOL muted = FALSE;
        if (n.Attr(L"mute") && ParseBool(n.Attr(L"mute"), &muted))
            obj->SetMuted(muted);
        if (const wchar_t* name = n.Attr(L"username")) {
            BSTR b = SysAllocString(name);
            obj->SetUserName(b);
            SysFreeString(b);
        }
    }
    HRESULT Group(const XNode& g)
    {
        IAMTimelineObj* obj = NULL;
        HRESULT hr = m_tl->CreateEmptyNode(&obj, TIMELINE_MAJOR_TYPE_GROUP);
        if (FAILED(hr))
            return hr;
        IAMTimelineGroup* group = NULL;
        obj->QueryInterface(IID_IAMTimelineGroup, (void**)&group);
        const wchar_t* type = g.Attr(L"type");
        BOOL video = !_wcsicmp(type, L"video") || !wcscmp(type, L"0");
        AM_MEDIA_TYPE mt = {};
        VIDEOINFOHEADER vih = {};
        WAVEFORMATEX wfx = {};
        long v = 0;
        if (video) {
            vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            vih.bmiHeader.biWidth = ParseLong(g.Attr(L"width"), 1, kMaxMediaSide, &v) ? v : 320;
            vih.bmiHeader.biHeight = ParseLong(g.Attr(L"height"), 1, kMaxMediaSide, &v) ? v : 240;
            vih.bmiHeader.biPlanes = 1;
            vih.bmiHeader.biBitCount = (WORD)(ParseLong(g.Attr(L"bitdepth"), 8, 32, &v) ? v : 32);
            mt.majortype = MEDIATYPE_Video;
            mt.formattype = FORMAT_VideoInfo;
            mt.cbFormat = sizeof(vih);
            mt.pbFormat = (BYTE*)&vih;
        } else {
            wfx.wFormatTag = WAVE_FORMAT_PCM;
            wfx.nChannels = 2;
            wfx.nSamplesPerSec = ParseLong(g.Attr(L"samplingrate"), 1000, 192000, &v) ? (DWORD)v : 44100;
            wfx.wBitsPerSample = 16;
            wfx.nBlockAlign = 4;
            wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * 4;
            mt.majortype = MEDIATYPE_Audio;
            mt.formattype = FORMAT_WaveFormatEx;
            mt.cbFormat = sizeof(wfx);
            mt.pbFormat = (BYTE*)&wfx;
        }
        group->SetMediaType(&mt);
        double fps = 0;
        if (ParseRate(g.Attr(L"framerate"), 0.001, 1000.0, &fps))
            group->SetOutputFPS(fps);
        BOOL preview = TRUE;
        if (ParseBool(g.Attr(L"previewmode"), &preview))
            group->SetPreviewMode(preview);
        const wchar_t* name = g.Attr(L"username");
        if (!name)
            name = g.Attr(L"name");
        if (name) {
            BSTR b = SysAllocString(name);
            group->SetGroupName(b);
            SysFreeString(b);
        }
        Common(obj, g);
        hr = m_tl->AddGroup(obj);
        IAMTimelineComp* comp = NULL;
        if (SUCCEEDED(hr))
            hr = obj->QueryInterface(IID_IAMTimelineComp, (void**)&comp);
        if (SUCCEEDED(hr))
            hr = Layers(obj, comp, g);
        if (comp)
            comp->Release();
        group->Release();
        obj->Release();
        return hr;
    }
    // Children of a group or composite: compositions and tracks in order,
    // transitions and effects of the container itself.
    HRESULT Layers(IAMTimelineObj* self, IAMTimelineComp* comp, const XNode& n)
    {
        for (const auto& c : n.children) {
            const wchar_t* name = c->name.c_str();
            HRESULT hr = S_OK;
            if (!_wcsicmp(name, L"composite") || !_wcsicmp(name, L"track")) {
                bool isTrack = !_wcsicmp(name, L"track");
                IAMTimelineObj* obj = NULL;
                hr = m_tl->CreateEmptyNode(&obj, isTrack ? TIMELINE_MAJOR_TYPE_TRACK : TIMELINE_MAJOR_TYPE_COMPOSITE);
                if (FAILED(hr))
                    return hr;
                Common(obj, *c);
                hr = comp->VTrackInsBefore(obj, -1);
                if (SUCCEEDED(hr)) {
                    if (isTrack)
                        hr = Track(obj, *c);
                    else {
                        IAMTimelineComp* inner = NULL;
                        hr = obj->QueryInterface(IID_IAMTimelineComp, (void**)&inner);
                        if (SUCCEEDED(hr)) {
                            hr = Layers(obj, inner, *c);
                            inner->Release();
                        }
                    }
                }
                obj->Release();
            } else if (!_wcsicmp(name, L"transition") || !_wcsicmp(name, L"effect")) {
                hr = Attachment(self, *c);
            }
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }
    HRESULT Track(IAMTimelineObj* trackObj, const XNode& n)
    {
        IAMTimelineTrack* track = NULL;
        HRESULT hr = trackObj->QueryInterface(IID_IAMTimelineTrack, (void**)&track);
        if (FAILED(hr))
            return hr;
        for (const auto& c : n.children) {
            const wchar_t* name = c->name.c_str();
            if (!_wcsicmp(name, L"clip"))
                hr = Clip(track, *c);
            else if (!_wcsicmp(name, L"transition") || !_wcsicmp(name, L"effect"))
                hr = Attachment(trackObj, *c);
            if (FAILED(hr))
                break;
        }
        track->Release();
        return hr;
    }
    HRESULT Clip(IAMTimelineTrack* track, const XNode& n)
    {
        IAMTimelineObj* obj = NULL;
        HRESULT hr = m_tl->CreateEmptyNode(&obj, TIMELINE_MAJOR_TYPE_SOURCE);
        if (FAILED(hr))
            return hr;
        IAMTimelineSrc* src = NULL;
        obj->QueryInterface(IID_IAMTimelineSrc, (void**)&src);
        REFERENCE_TIME start = 0, stop = 0, ms = 0, me = 0;
        ParseXtlTime(n.Attr(L"start"), &start);
        ParseXtlTime(n.Attr(L"stop"), &stop);
        if (!n.Attr(L"mstart") || !ParseXtlTime(n.Attr(L"mstart"), &ms))
            ms = 0;
        if (!n.Attr(L"mstop") || !ParseXtlTime(n.Attr(L"mstop"), &me))
            me = ms + (stop - start);
        if (const wchar_t* file = n.Attr(L"src")) {
            BSTR b = SysAllocString(file);
            src->SetMediaName(b);
            SysFreeString(b);
        } else {
            CLSID clsid;
            CLSIDFromString((LPOLESTR)n.Attr(L"clsid"), &clsid);
            obj->SetSubObjectGUID(clsid);
        }
        int mode = 0;
        if (n.Attr(L"stretchmode") && ParseStretch(n.Attr(L"stretchmode"), &mode))
            src->SetStretchMode(mode);
        long stream = 0;
        if (ParseLong(n.Attr(L"stream"), 0, 255, &stream))
            src->SetStreamNumber(stream);
        src->SetMediaTimes(ms, me);
        obj->SetStartStop(start, stop);
        Common(obj, n);
        hr = track->SrcAdd(obj);
        for (const auto& c : n.children)
            if (SUCCEEDED(hr) && !_wcsicmp(c->name.c_str(), L"effect"))
                hr = Attachment(obj, *c);
        src->Release();
        obj->Release();
        return hr;
    }
    HRESULT Attachment(IAMTimelineObj* owner, const XNode& n)
    {
        bool isTrans = !_wcsicmp(n.name.c_str(), L"transition");
        IAMTimelineObj* obj = NULL;
        HRESULT hr = m_tl->CreateEmptyNode(&obj, isTrans ? TIMELINE_MAJOR_TYPE_TRANSITION : TIMELINE_MAJOR_TYPE_EFFECT);
        if (FAILED(hr))
            return hr;
        CLSID clsid;
        CLSIDFromString((LPOLESTR)n.Attr(L"clsid"), &clsid);
        obj->SetSubObjectGUID(clsid);
        REFERENCE_TIME start = 0, stop = 0;
        owner->GetStartStop(&start, &stop);
        REFERENCE_TIME s = 0, e = isTrans ? 0 : stop - start;
        if (n.Attr(L"start"))
            ParseXtlTime(n.Attr(L"start"), &s);
        if (n.Attr(L"stop"))
            ParseXtlTime(n.Attr(L"stop"), &e);
        obj->SetStartStop(s, e);
        Common(obj, n);
        if (isTrans) {
            BOOL swap = FALSE;
            IAMTimelineTrans* trans = NULL;
            if (ParseBool(n.Attr(L"swapinputs"), &swap) && SUCCEEDED(obj->QueryInterface(IID_IAMTimelineTrans, (void**)&trans))) {
                trans->SetSwapInputs(swap);
                trans->Release();
            }
            IAMTimelineTransable* transable = NULL;
            hr = owner->QueryInterface(IID_IAMTimelineTransable, (void**)&transable);
            if (SUCCEEDED(hr)) {
                hr = transable->TransAdd(obj);
                transable->Release();
            }
        } else {
            IAMTimelineEffectable* effectable = NULL;
            hr = owner->QueryInterface(IID_IAMTimelineEffectable, (void**)&effectable);
            if (SUCCEEDED(hr)) {
                hr = effectable->EffectInsBefore(obj, -1);
                effectable->Release();
            }
        }
        obj->Release();
        return hr;
    }

    IAMTimeline* m_tl;
};

HRESULT ReadTextFile(LPCWSTR path, std::wstring* text)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > (LONGLONG)kMaxXtlBytes) {
        CloseHandle(file);
        return E_INVALIDARG;
    }
    std::string bytes((size_t)size.QuadPart, '\0');
    DWORD got = 0;
    BOOL ok = bytes.empty() || ReadFile(file, &bytes[0], (DWORD)bytes.size(), &got, NULL);
    CloseHandle(file);
    if (!ok || got != bytes.size())
        return E_FAIL;
    if (bytes.size() >= 2 && (BYTE)bytes[0] == 0xFF && (BYTE)bytes[1] == 0xFE) {
        text->assign((const wchar_t*)(bytes.data() + 2), (bytes.size() - 2) / 2);
        return S_OK;
    }
    size_t skip = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + skip, (int)(bytes.size() - skip), NULL, 0);
    if (n <= 0 && bytes.size() > skip)
        return E_INVALIDARG;
    text->assign(n, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, (int)(bytes.size() - skip), &(*text)[0], n);
    return S_OK;
}

class CXml2Dex final : public IXml2Dex {
public:
    CXml2Dex() : m_cRef(1) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IXml2Dex)) {
            *ppv = static_cast<IXml2Dex*>(this);
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
    STDMETHODIMP GetTypeInfoCount(UINT* n) override
    {
        if (n)
            *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }

    STDMETHODIMP CreateGraphFromFile(IUnknown**, IUnknown*, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP WriteGrfFile(IUnknown*, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP WriteXMLFile(IUnknown*, BSTR) override { return E_NOTIMPL; }
    // The file is parsed and checked whole before the timeline is touched.
    STDMETHODIMP ReadXMLFile(IUnknown* pTimeline, BSTR XMLName) override
    {
        if (!pTimeline || !XMLName)
            return E_POINTER;
        IAMTimeline* timeline = NULL;
        if (FAILED(pTimeline->QueryInterface(IID_IAMTimeline, (void**)&timeline)))
            return E_NOINTERFACE;
        std::wstring text;
        HRESULT hr = ReadTextFile(XMLName, &text);
        std::unique_ptr<XNode> root;
        if (SUCCEEDED(hr)) {
            XParser parser(text);
            root = parser.ParseDocument();
            if (!root)
                hr = E_INVALIDARG;
        }
        if (SUCCEEDED(hr))
            hr = XChecker().Check(*root);
        if (SUCCEEDED(hr)) {
            hr = XBuilder(timeline).Build(*root);
            if (FAILED(hr))
                timeline->ClearAllGroups();
        }
        timeline->Release();
        return hr;
    }
    STDMETHODIMP Delete(IUnknown*, double, double) override { return E_NOTIMPL; }
    STDMETHODIMP WriteXMLPart(IUnknown*, double, double, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP PasteXMLFile(IUnknown*, double, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP CopyXML(IUnknown*, double, double) override { return E_NOTIMPL; }
    STDMETHODIMP PasteXML(IUnknown*, double) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override { return S_OK; }
    STDMETHODIMP ReadXML(IUnknown*, IUnknown*) override { return E_NOTIMPL; }
    STDMETHODIMP WriteXML(IUnknown*, BSTR*) override { return E_NOTIMPL; }

private:
    volatile LONG m_cRef;
};

} // namespace

// "4.5", "12", "00:00:04.50", "1:02:03.1234567": up to 7 fraction digits,
// converted exactly; no signs, no exponents.
BOOL ParseXtlTime(const wchar_t* text, REFERENCE_TIME* time)
{
    if (!text || !*text || !time)
        return FALSE;
    LONGLONG parts[3] = {0, 0, 0};
    int count = 0;
    const wchar_t* p = text;
    LONGLONG value = 0;
    int digits = 0;
    for (;; ++p) {
        if (*p >= L'0' && *p <= L'9') {
            if (++digits > 12)
                return FALSE;
            value = value * 10 + (*p - L'0');
            continue;
        }
        if (digits == 0 || count >= 3)
            return FALSE;
        parts[count++] = value;
        value = 0;
        digits = 0;
        if (*p == L':')
            continue;
        break;
    }
    // Minutes and seconds of the hh:mm:ss form are below 60.
    if (count > 1 && (parts[count - 1] >= 60 || (count == 3 && parts[1] >= 60)))
        return FALSE;
    LONGLONG seconds = count == 3 ? parts[0] * 3600 + parts[1] * 60 + parts[2]
                     : count == 2 ? parts[0] * 60 + parts[1]
                                  : parts[0];
    LONGLONG fraction = 0;
    if (*p == L'.') {
        ++p;
        int n = 0;
        for (; *p >= L'0' && *p <= L'9'; ++p, ++n) {
            if (n >= 7)
                return FALSE;
            fraction = fraction * 10 + (*p - L'0');
        }
        if (n == 0)
            return FALSE;
        for (; n < 7; ++n)
            fraction *= 10;
    }
    if (*p != 0 || seconds > 1000000000LL)
        return FALSE;
    *time = seconds * 10000000 + fraction;
    return TRUE;
}

HRESULT DexCreateXml2Dex(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    CXml2Dex* reader = new (std::nothrow) CXml2Dex();
    if (!reader)
        return E_OUTOFMEMORY;
    HRESULT hr = reader->QueryInterface(riid, ppv);
    reader->Release();
    return hr;
}
