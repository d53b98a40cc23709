#include "catalogue/DataGenericObject.h"

#include "catalogue/CatalogueOb.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <new>
#include <stdlib.h>
#include <string>
#include <time.h>

IMPLEMENT_DYNAMIC(CDataGenericObject, CObject)

namespace {

// The generator of NewId: the C run-time's linear congruential formula on a
// state of its own, so that nothing else that calls rand() moves it.
DWORD g_state = 0;
bool g_seeded = false;

void SeedOnce()
{
    if (g_seeded)
        return;
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    CDataGenericObject::Seed((DWORD)time(NULL) ^ ::GetTickCount() ^ (::GetCurrentProcessId() << 16) ^
                             counter.LowPart ^ counter.HighPart);
}

}  // namespace

void CDataGenericObject::Seed(DWORD seed)
{
    g_state = seed;
    g_seeded = true;
}

int CDataGenericObject::Rand()
{
    SeedOnce();
    g_state = g_state * 214013u + 2531011u;
    return (int)((g_state >> 16) & 0x7FFF);
}

DWORD CDataGenericObject::NewId()
{
    const DWORD r1 = (DWORD)Rand();
    const DWORD r2 = (DWORD)Rand();
    const DWORD r3 = (DWORD)Rand();
    return (((r1 & 0xFFF) | (r2 << 12)) << 12) | (r3 & 0xFFF);
}

CDataGenericObject::CDataGenericObject() : m_id(NewId()), m_x(0), m_y(0), m_opacity(100) {}

CDataGenericObject::~CDataGenericObject() {}

void CDataGenericObject::SetOpacity(int percent)
{
    if (percent >= 1 && percent <= 100)
        m_opacity = percent;
}

// Older records carry no opacity: they get 100 and a fresh id. An opacity
// outside 1..100 read from a record is taken as 100 (the value a floater
// could not show).
void CDataGenericObject::Exchange(CArchive& ar, DWORD version)
{
    if (ar.IsStoring()) {
        ar << m_id << (LONG)m_x << (LONG)m_y;
        if (version >= kCurrentVersion)
            ar << (LONG)m_opacity;
        return;
    }
    DWORD id;
    LONG x, y;
    ar >> id >> x >> y;
    LONG opacity = 100;
    if (version >= kCurrentVersion) {
        ar >> opacity;
        if (opacity < 1 || opacity > 100)
            opacity = 100;
    } else {
        id = NewId();
    }
    m_id = id;
    m_x = x;
    m_y = y;
    m_opacity = opacity;
}

CCatalogueOb* CDataGenericObject::MakeCatalogueItem(const CString& name, HWND hWnd)
{
    CMemFile mem(16384);
    CArchive ar(&mem, CArchive::store, 4096);
    Exchange(ar, kCurrentVersion);
    ar.Close();
    const UINT length = (UINT)mem.GetLength();
    BYTE* bytes = mem.Detach();
    CCatalogueOb* item = new CCatalogueOb;
    item->AddNamedRendering(GetTypeName(), bytes, length);
    item->SetName(name);
    free(bytes);
    RenderIcon(hWnd, item);
    return item;
}

CDataGenericObject* CDataGenericObject::ReadRendering(const CString& typeName, const void* pData, DWORD size,
                                                      DWORD version, LPCTSTR source)
{
    CDataGenericObject* object;
    if (typeName == CDataTextObject::kTypeName)
        object = new CDataTextObject;
    else if (typeName == CDataShapeObject::kTypeName)
        object = new CDataShapeObject;
    else
        AfxThrowArchiveException(CArchiveException::badClass, source);
    CMemFile file(const_cast<BYTE*>(static_cast<const BYTE*>(pData)), size, 0);
    CArchive ar(&file, CArchive::load, 4096);
    ar.m_strFileName = source;
    try {
        object->Exchange(ar, version);
    } catch (CArchiveException* e) {
        ar.Abort();
        delete object;
        if (e->m_strFileName.IsEmpty())
            e->m_strFileName = source;
        throw;
    } catch (CException* e) {
        ar.Abort();
        delete object;
        e->Delete();
        AfxThrowArchiveException(CArchiveException::genericException, source);
    } catch (const std::bad_alloc&) {
        ar.Abort();
        delete object;
        AfxThrowArchiveException(CArchiveException::genericException, source);
    }
    ar.Abort();
    return object;
}

// Works on the text's characters in code page 936 (a double-byte character
// is one character), so no cut falls between the two bytes of one.
CString MakeNoteTitle(const CString& text)
{
    const int wideLength = ::MultiByteToWideChar(936, 0, text.GetString(), text.GetLength(), NULL, 0);
    std::wstring s((size_t)wideLength, L'\0');
    if (wideLength > 0)
        ::MultiByteToWideChar(936, 0, text.GetString(), text.GetLength(), &s[0], wideLength);
    for (wchar_t& c : s) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    size_t at;
    while ((at = s.find(L"  ")) != std::wstring::npos)
        s.erase(at, 1);
    if (!s.empty() && s[0] == L' ')
        s.erase(0, 1);
    if (!s.empty() && s[s.size() - 1] == L' ')
        s.erase(s.size() - 1);
    std::wstring title = s.substr(0, 15);
    if (s.size() > 15) {
        const size_t space = title.rfind(L' ');
        if (space != std::wstring::npos && space >= 5)
            title = title.substr(0, space);
    }
    const bool cut = title != s && !title.empty();
    CString out;
    const int bytes = ::WideCharToMultiByte(936, 0, title.data(), (int)title.size(), NULL, 0, NULL, NULL);
    if (bytes > 0) {
        char* p = out.GetBuffer(bytes);
        ::WideCharToMultiByte(936, 0, title.data(), (int)title.size(), p, bytes, NULL, NULL);
        out.ReleaseBuffer(bytes);
    }
    if (cut)
        out += "...";
    return out;
}
