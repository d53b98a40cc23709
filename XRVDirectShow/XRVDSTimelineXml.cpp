// Reading a whole timeline from XTL text: the text goes to a temporary
// UTF-16 file that the XML timeline reader fills the timeline from; the
// object's bookkeeping and graph are then rebuilt.
#include <string>

#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/MediaReader.h"
#include "platform/dex/XtlReader.h"
#include "settings/FileUtil.h"

namespace {

void Report(int line, const char* text)
{
    ReportTimelineFailure(XRV_TIMELINE_SOURCE, line, text);
}

// An "&" that does not start an entity or character reference ("&amp;",
// "&lt;", "&#38;"...) becomes "&amp;"; everything else stays as it is.
std::wstring EscapeBareAmpersands(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            out.push_back(text[i]);
            continue;
        }
        size_t j = i + 1;
        bool entity = false;
        if (j < text.size() && text[j] == L'#') {
            ++j;
            bool hex = j < text.size() && (text[j] == L'x' || text[j] == L'X');
            if (hex)
                ++j;
            size_t digits = j;
            while (j < text.size() && (hex ? iswxdigit(text[j]) : iswdigit(text[j])))
                ++j;
            entity = j > digits && j < text.size() && text[j] == L';';
        } else {
            size_t letters = j;
            while (j < text.size() && iswalnum(text[j]) && j - letters < 10)
                ++j;
            entity = j > letters && j < text.size() && text[j] == L';';
        }
        out += entity ? L"&" : L"&amp;";
    }
    return out;
}

// Removes the file when it goes out of scope, on every path.
struct TempFile {
    char path[MAX_PATH];
    ~TempFile()
    {
        if (path[0])
            ::DeleteFileA(path);
    }
};

struct MissingCount {
    int missing;
};

HRESULT CheckSourceExists(IAMTimelineObj* sourceObj, void* context)
{
    CComQIPtr<IAMTimelineSrc> src(sourceObj);
    if (!src)
        return S_OK;
    BSTR name = NULL;
    if (FAILED(src->GetMediaName(&name)) || !name || !*name) {
        SysFreeString(name);
        return S_OK;   // colour sources have no file
    }
    std::wstring file = MediaFileOfName(name, NULL);
    bool package = wcsstr(name, L"xrvrec://") != NULL;
    SysFreeString(name);
    if (!package && ::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        ((MissingCount*)context)->missing++;
    return S_OK;
}

} // namespace

int XRVDSTimeline::ValidateTimelineSources(BOOL)
{
    MissingCount count = {0};
    ForEachTrackSource(CheckSourceExists, &count);
    return count.missing;
}

HRESULT XRVDSTimeline::ReadTimelineFromXMLFile(LPCTSTR text, BOOL validationFlag)
{
    if (!text || !m_pTimeline)
        return E_FAIL;
    CComPtr<IXml2Dex> pXml;
    HRESULT hr = DexCreate(CLSID_Xml2Dex, &pXml);
    if (FAILED(hr)) {
        Report(__LINE__, "CoCreateInstance() failed for CLSID_Xml2Dex in ReadTimelineFromXML()");
        return hr;
    }
    char folder[MAX_PATH];
    DWORD n = ::GetTempPathA(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH)
        return E_FAIL;
    TempFile temp;
    temp.path[0] = 0;
    if (!CreateUniqueFile(folder, "SkoProj", "xtl", temp.path, FALSE))
        return E_FAIL;

    int chars = ::MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    std::wstring wide(chars > 0 ? chars - 1 : 0, L'\0');
    if (chars > 1)
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], chars);
    std::wstring escaped = EscapeBareAmpersands(wide);
    HANDLE file = ::CreateFileA(temp.path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return E_FAIL;
    static const BYTE bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, bom, 2, &written, NULL) &&
              (escaped.empty() ||
               ::WriteFile(file, escaped.data(), (DWORD)(escaped.size() * sizeof(wchar_t)), &written, NULL));
    ::CloseHandle(file);
    if (!ok)
        return E_FAIL;

    // The records this object owns go with the old timeline; a copy's
    // borrowed ones stay with the object that owns them.
    m_pTimeline->ClearAllGroups();
    m_nVideoPin = -1;
    m_nAudioPin = -1;
    for (int i = 0; i < (int)m_Transitions.GetSize(); ++i)
        DeleteTransition(m_Transitions[i]);
    m_Transitions.RemoveAll();

    std::wstring widePath(temp.path, temp.path + strlen(temp.path));
    BSTR name = ::SysAllocString(widePath.c_str());
    hr = pXml->ReadXMLFile(m_pTimeline, name);
    ::SysFreeString(name);
    if (FAILED(hr)) {
        Report(__LINE__, "ReadXMLFile() failed in ReadTimelineFromXMLFile()");
        return hr;
    }
    if (ValidateTimelineSources(validationFlag) != 0)
        return S_FALSE;
    FindGroupIndexes(m_pTimeline);
    m_nAudioCompMain = m_nAudioCompCount;
    m_nAudioCompSecond = m_nAudioCompMain + 1;
    m_nAudioCompCount = m_nAudioCompMain + 2;
    m_nCurAudioComp = 0;
    GetCachedMaxProperties(FALSE);
    // A file without an audio group gets one, so that sound can be added.
    if (m_nAudioPin == -1 && !m_bNoAudio)
        CreateAudioGroup();
    AddAudioGroup(FALSE);
    return UpdateFilterGraph(FALSE, FALSE);
}
