#include "catalogue/CatalogueOb.h"

#include "controls/Dib.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "framework/OleDataObject.h"
#include "framework/OleDataSource.h"
#include "framework/SharedFile.h"
#include "framework/ui/DC.h"
#include "framework/ui/GdiObject.h"

#include <new>
#include <string.h>

// The schema word is ours; any schema is accepted on loading, since the
// record's layout never changed.
IMPLEMENT_SERIAL(CCatalogueOb, CObject, VERSIONABLE_SCHEMA | 1)

const char CCatalogueOb::kClipboardFormatName[] = "Skorvale 屏幕便笺";

namespace {

[[noreturn]] void ThrowFormat(CArchive& ar, int cause = CArchiveException::badIndex)
{
    AfxThrowArchiveException(cause, ar.m_strFileName);
}

// A memory DC compatible with the screen, deleted with the object.
class CScreenMemDC {
public:
    CScreenMemDC() : m_dc(::CreateCompatibleDC(NULL)) {}
    ~CScreenMemDC()
    {
        if (m_dc)
            ::DeleteDC(m_dc);
    }
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

// A CDib of the bitmap at the given depth, or null when it cannot be made.
CDib* DibFromBitmap(HBITMAP hBitmap, int bitCount)
{
    CScreenMemDC mem;
    if (!mem.Get() || !hBitmap)
        return NULL;
    CDib* pDib = new CDib;
    CDC* pDC = CDC::FromHandle(mem.Get());
    if (!pDib->CreateFromBitmap(pDC, CBitmap::FromHandle(hBitmap), bitCount, FALSE) || pDib->IsEmpty()) {
        delete pDib;
        return NULL;
    }
    return pDib;
}

// Selects a bitmap into a DC for the guard's life.
class CSelectGuard {
public:
    CSelectGuard(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(::SelectObject(dc, object)) {}
    ~CSelectGuard()
    {
        if (m_old)
            ::SelectObject(m_dc, m_old);
    }
    bool Ok() const { return m_old != NULL; }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

}  // namespace

ULONGLONG ArchiveBytesLeft(CArchive& ar)
{
    ar.Flush();
    CFile* pFile = ar.GetFile();
    const ULONGLONG length = pFile->GetLength();
    const ULONGLONG position = pFile->GetPosition();
    return position < length ? length - position : 0;
}

CCatalogueOb::CCatalogueOb()
    : m_nameOffset(0), m_imageOffset(0), m_maskOffset(0), m_dataOffset(0), m_pIconImage(NULL), m_pIconMask(NULL)
{
}

CCatalogueOb::~CCatalogueOb()
{
    delete m_pIconImage;
    delete m_pIconMask;
}

void CCatalogueOb::SetName(const CString& name)
{
    m_name = name;
    m_nameOffset = 0;
}

int CCatalogueOb::FindRendering(const CString& name) const
{
    for (size_t i = 0; i < m_renderings.size(); i++) {
        if (m_renderings[i].name == name)
            return (int)i;
    }
    return -1;
}

BOOL CCatalogueOb::AddRendering(UINT format, HGLOBAL hData)
{
    const SIZE_T size = ::GlobalSize(hData);
    const void* p = ::GlobalLock(hData);
    if (p == NULL && size != 0)
        return FALSE;
    char name[257] = "";
    if (::GetClipboardFormatNameA(format, name, 256) <= 0)
        name[0] = 0;
    Rendering r;
    r.format = format;
    r.name = name;
    r.bytes.assign((const BYTE*)p, (const BYTE*)p + size);
    if (p)
        ::GlobalUnlock(hData);
    m_renderings.push_back(std::move(r));
    m_dataOffset = 0;
    return TRUE;
}

void CCatalogueOb::AddNamedRendering(const CString& name, const void* pData, DWORD size)
{
    int i;
    while ((i = FindRendering(name)) >= 0)
        m_renderings.erase(m_renderings.begin() + i);
    Rendering r;
    r.format = 0;
    r.name = name;
    r.bytes.assign((const BYTE*)pData, (const BYTE*)pData + size);
    m_renderings.push_back(std::move(r));
    m_dataOffset = 0;
}

int CCatalogueOb::GetNamedRendering(const CString& name, void* pBuffer, DWORD bufferSize, DWORD* pNeeded) const
{
    const int i = FindRendering(name);
    if (i < 0)
        return -1;
    const std::vector<BYTE>& bytes = m_renderings[i].bytes;
    if (pNeeded)
        *pNeeded = (DWORD)bytes.size();
    if (pBuffer == NULL || bufferSize < bytes.size())
        return -1;
    if (!bytes.empty())
        memcpy(pBuffer, bytes.data(), bytes.size());
    return 0;
}

HGLOBAL CCatalogueOb::RenderingToGlobal(int i, UINT* pFormat) const
{
    if (i < 0 || i >= (int)m_renderings.size())
        return NULL;
    const Rendering& r = m_renderings[i];
    const UINT format = r.name.IsEmpty() ? r.format : ::RegisterClipboardFormatA(r.name);
    if (format == 0)
        return NULL;
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE | GMEM_ZEROINIT, r.bytes.empty() ? 1 : r.bytes.size());
    if (h == NULL)
        return NULL;
    void* p = ::GlobalLock(h);
    if (p == NULL) {
        ::GlobalFree(h);
        return NULL;
    }
    if (!r.bytes.empty())
        memcpy(p, r.bytes.data(), r.bytes.size());
    ::GlobalUnlock(h);
    if (pFormat)
        *pFormat = format;
    return h;
}

void CCatalogueOb::SetIconImages(CDib* pImage, CDib* pMask)
{
    if (pImage != m_pIconImage)
        delete m_pIconImage;
    if (pMask != m_pIconMask)
        delete m_pIconMask;
    m_pIconImage = pImage;
    m_pIconMask = pMask;
    m_imageOffset = 0;
    m_maskOffset = 0;
}

void CCatalogueOb::SetIcon(HBITMAP hColour, HBITMAP hMask)
{
    if (hColour == NULL) {
        SetIconImages(NULL, NULL);
        return;
    }
    CDib* pImage = DibFromBitmap(hColour, 24);
    CDib* pMask = NULL;
    if (hMask) {
        pMask = DibFromBitmap(hMask, 1);
    } else if (pImage) {
        // No mask: a black (fully opaque) one of the same size.
        HBITMAP hBlack = ::CreateBitmap(pImage->GetWidth(), pImage->GetHeight(), 1, 1, NULL);
        CScreenMemDC mem;
        if (hBlack && mem.Get()) {
            CSelectGuard sel(mem.Get(), hBlack);
            ::PatBlt(mem.Get(), 0, 0, pImage->GetWidth(), pImage->GetHeight(), BLACKNESS);
        }
        pMask = DibFromBitmap(hBlack, 1);
        if (hBlack)
            ::DeleteObject(hBlack);
    }
    SetIconImages(pImage, pMask);
}

void CCatalogueOb::SetIcon(HICON hIcon)
{
    if (hIcon == NULL) {
        SetIconImages(NULL, NULL);
        return;
    }
    ICONINFO info;
    if (!::GetIconInfo(hIcon, &info)) {
        SetIconImages(NULL, NULL);
        return;
    }
    SetIcon(info.hbmColor, info.hbmMask);
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    if (info.hbmMask)
        ::DeleteObject(info.hbmMask);
}

BOOL CCatalogueOb::SetIconFromImage(HWND hRefWnd, const CDib* pImage, const CDib* pMask, int size)
{
    if (pImage == NULL || pImage->IsEmpty() || size <= 0)
        return FALSE;
    HDC hRef = ::GetDC(hRefWnd);
    HBITMAP hColour = ::CreateCompatibleBitmap(hRef, size, size);
    ::ReleaseDC(hRefWnd, hRef);
    HDC hMem = ::CreateCompatibleDC(NULL);
    if (hColour == NULL || hMem == NULL) {
        if (hMem)
            ::DeleteDC(hMem);
        if (hColour)
            ::DeleteObject(hColour);
        return FALSE;
    }
    CDib* image = const_cast<CDib*>(pImage);
    const int w = image->GetWidth();
    const int h = image->GetHeight();
    HBITMAP hMask = NULL;
    {
        CSelectGuard sel(hMem, hColour);
        ::SetStretchBltMode(hMem, HALFTONE);
        ::SetBrushOrgEx(hMem, 0, 0, NULL);
        if (w > size || h > size) {
            // Too large: stretched, and opaque everywhere (no mask).
            image->Stretch(CDC::FromHandle(hMem), 0, 0, size, size);
        } else {
            const int x = (size - w) / 2;
            const int y = (size - h) / 2;
            image->Draw(CDC::FromHandle(hMem), x, y);
            hMask = ::CreateBitmap(size, size, 1, 1, NULL);
            HDC hMaskDC = ::CreateCompatibleDC(NULL);
            if (hMask && hMaskDC) {
                CSelectGuard selMask(hMaskDC, hMask);
                ::PatBlt(hMaskDC, 0, 0, size, size, WHITENESS);
                ::PatBlt(hMaskDC, x, y, w, h, BLACKNESS);
                if (pMask && !pMask->IsEmpty() && pMask->GetWidth() == w && pMask->GetHeight() == h)
                    const_cast<CDib*>(pMask)->Draw(CDC::FromHandle(hMaskDC), x, y);
            }
            if (hMaskDC)
                ::DeleteDC(hMaskDC);
        }
    }
    ::DeleteDC(hMem);
    const bool maskWanted = w <= size && h <= size;
    BOOL ok = FALSE;
    if (!maskWanted || hMask) {
        SetIcon(hColour, hMask);
        ok = m_pIconImage != NULL && m_pIconMask != NULL;
    }
    if (hMask)
        ::DeleteObject(hMask);
    ::DeleteObject(hColour);
    return ok;
}

HICON CCatalogueOb::CreateIconHandle(HWND hRefWnd) const
{
    if (m_pIconImage == NULL || m_pIconMask == NULL || m_pIconImage->IsEmpty() || m_pIconMask->IsEmpty())
        return NULL;
    const int w = m_pIconImage->GetWidth();
    const int h = m_pIconImage->GetHeight();
    HDC hRef = ::GetDC(hRefWnd);
    HBITMAP hColour = ::CreateCompatibleBitmap(hRef, w, h);
    ::ReleaseDC(hRefWnd, hRef);
    HBITMAP hMask = ::CreateBitmap(w, h, 1, 1, NULL);
    HDC hMem = ::CreateCompatibleDC(NULL);
    HICON hIcon = NULL;
    if (hColour && hMask && hMem) {
        {
            CSelectGuard sel(hMem, hColour);
            m_pIconImage->Draw(CDC::FromHandle(hMem), 0, 0);
        }
        {
            CSelectGuard sel(hMem, hMask);
            m_pIconMask->Draw(CDC::FromHandle(hMem), 0, 0);
        }
        ICONINFO info;
        info.fIcon = TRUE;
        info.xHotspot = 0;
        info.yHotspot = 0;
        info.hbmMask = hMask;
        info.hbmColor = hColour;
        hIcon = ::CreateIconIndirect(&info);
    }
    if (hMem)
        ::DeleteDC(hMem);
    if (hMask)
        ::DeleteObject(hMask);
    if (hColour)
        ::DeleteObject(hColour);
    return hIcon;
}

BOOL CCatalogueOb::DrawIcon(HDC hDC, int x, int y, int size) const
{
    if (m_pIconImage == NULL || m_pIconMask == NULL || size <= 0)
        return FALSE;
    HBITMAP hColour = ::CreateCompatibleBitmap(hDC, size, size);
    HBITMAP hMask = ::CreateBitmap(size, size, 1, 1, NULL);
    HDC hColourDC = ::CreateCompatibleDC(hDC);
    HDC hMaskDC = ::CreateCompatibleDC(hDC);
    BOOL ok = FALSE;
    if (hColour && hMask && hColourDC && hMaskDC) {
        CSelectGuard selColour(hColourDC, hColour);
        CSelectGuard selMask(hMaskDC, hMask);
        m_pIconImage->Stretch(CDC::FromHandle(hColourDC), 0, 0, size, size);
        m_pIconMask->Stretch(CDC::FromHandle(hMaskDC), 0, 0, size, size);
        // Transparent pixels (mask 1) of the colour bitmap become black.
        ::SetBkColor(hColourDC, RGB(0, 0, 0));
        ::SetTextColor(hColourDC, RGB(255, 255, 255));
        ::BitBlt(hColourDC, 0, 0, size, size, hMaskDC, 0, 0, SRCAND);
        const COLORREF oldBk = ::SetBkColor(hDC, RGB(255, 255, 255));
        const COLORREF oldText = ::SetTextColor(hDC, RGB(0, 0, 0));
        ::BitBlt(hDC, x, y, size, size, hMaskDC, 0, 0, SRCAND);
        ::BitBlt(hDC, x, y, size, size, hColourDC, 0, 0, SRCPAINT);
        ::SetBkColor(hDC, oldBk);
        ::SetTextColor(hDC, oldText);
        ok = TRUE;
    }
    if (hColourDC)
        ::DeleteDC(hColourDC);
    if (hMaskDC)
        ::DeleteDC(hMaskDC);
    if (hColour)
        ::DeleteObject(hColour);
    if (hMask)
        ::DeleteObject(hMask);
    return ok;
}

// --- Archive forms ---------------------------------------------------------------------------

void CCatalogueOb::StoreRenderings(CArchive& ar) const
{
    const DWORD_PTR n = m_renderings.size();
    ar.WriteCount(n);
    for (const Rendering& r : m_renderings)
        ar << r.format;
    ar.WriteCount(n);
    for (const Rendering& r : m_renderings)
        ar << r.name;
    ar.WriteCount(n);
    for (const Rendering& r : m_renderings)
        ar << (DWORD)r.bytes.size();
    for (const Rendering& r : m_renderings) {
        if (!r.bytes.empty())
            ar.Write(r.bytes.data(), (UINT)r.bytes.size());
    }
}

// Every count and size is checked against the bytes left before anything is
// allocated for it: a hostile record meets a format error, never a huge block.
void CCatalogueOb::LoadRenderings(CArchive& ar)
{
    // Each rendering takes at least 9 bytes: its format, a name length and
    // its size.
    const DWORD_PTR nFormats = ar.ReadCount();
    if ((ULONGLONG)nFormats * 9 > ArchiveBytesLeft(ar))
        ThrowFormat(ar, CArchiveException::endOfFile);
    std::vector<Rendering> renderings(nFormats);
    for (Rendering& r : renderings)
        ar >> r.format;
    const DWORD_PTR nNames = ar.ReadCount();
    if (nNames != nFormats)
        ThrowFormat(ar);
    if ((ULONGLONG)nNames > ArchiveBytesLeft(ar))
        ThrowFormat(ar, CArchiveException::endOfFile);
    for (Rendering& r : renderings)
        ar >> r.name;
    const DWORD_PTR nSizes = ar.ReadCount();
    if (nSizes != nFormats)
        ThrowFormat(ar);
    if ((ULONGLONG)nSizes * 4 > ArchiveBytesLeft(ar))
        ThrowFormat(ar, CArchiveException::endOfFile);
    std::vector<DWORD> sizes(nSizes);
    ULONGLONG total = 0;
    for (DWORD& s : sizes) {
        ar >> s;
        total += s;
    }
    if (total > ArchiveBytesLeft(ar))
        ThrowFormat(ar, CArchiveException::endOfFile);
    for (size_t i = 0; i < renderings.size(); i++) {
        renderings[i].bytes.resize(sizes[i]);
        if (sizes[i] != 0 && ar.Read(renderings[i].bytes.data(), sizes[i]) != sizes[i])
            ThrowFormat(ar, CArchiveException::endOfFile);
    }
    m_renderings.swap(renderings);
}

CDib* CCatalogueOb::LoadIconObject(CArchive& ar)
{
    CObject* pOb = ar.ReadObject(RUNTIME_CLASS(CDib));
    return static_cast<CDib*>(pOb);
}

void CCatalogueOb::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        StoreRenderings(ar);
        ar << m_name;
        ar.WriteObject(m_pIconImage);
        ar.WriteObject(m_pIconMask);
        return;
    }
    LoadRenderings(ar);
    CString name;
    ar >> name;
    CDib* pImage = LoadIconObject(ar);
    CDib* pMask = NULL;
    try {
        pMask = LoadIconObject(ar);
    } catch (...) {
        delete pImage;
        throw;
    }
    // A back-reference could name the image again; one object has one owner.
    if (pMask != NULL && pMask == pImage) {
        delete pImage;
        ThrowFormat(ar);
    }
    m_name = name;
    SetIconImages(pImage, pMask);
    ClearOffsets();
}

void CCatalogueOb::StoreNamePart(CArchive& ar) const
{
    ar << m_name;
}

void CCatalogueOb::LoadNamePart(CArchive& ar)
{
    ar >> m_name;
}

void CCatalogueOb::StoreIconPart(CArchive& ar, bool mask) const
{
    ar.WriteObject(mask ? m_pIconMask : m_pIconImage);
}

void CCatalogueOb::LoadIconPart(CArchive& ar, bool mask)
{
    CDib* p = LoadIconObject(ar);
    CDib*& slot = mask ? m_pIconMask : m_pIconImage;
    delete slot;
    slot = p;
}

void CCatalogueOb::StoreDataPart(CArchive& ar) const
{
    StoreRenderings(ar);
}

void CCatalogueOb::LoadDataPart(CArchive& ar)
{
    LoadRenderings(ar);
}

void CCatalogueOb::WriteRecord(CArchive& ar) const
{
    ar.WriteObject(this);
}

CCatalogueOb* CCatalogueOb::ReadRecord(const void* pData, DWORD size, LPCTSTR source)
{
    CMemFile file(const_cast<BYTE*>(static_cast<const BYTE*>(pData)), size, 0);
    CArchive ar(&file, CArchive::load);
    ar.m_strFileName = source;
    CObject* pOb = NULL;
    try {
        pOb = ar.ReadObject(RUNTIME_CLASS(CCatalogueOb));
    } catch (CArchiveException* e) {
        ar.Abort();
        if (e->m_strFileName.IsEmpty())
            e->m_strFileName = source;
        throw;
    } catch (CException* e) {
        // Anything else a hostile record provokes is a format error too.
        ar.Abort();
        e->Delete();
        AfxThrowArchiveException(CArchiveException::genericException, source);
    } catch (const std::bad_alloc&) {
        ar.Abort();
        AfxThrowArchiveException(CArchiveException::genericException, source);
    }
    ar.Abort();
    if (pOb == NULL)
        AfxThrowArchiveException(CArchiveException::badClass, source);
    return static_cast<CCatalogueOb*>(pOb);
}

CLIPFORMAT CCatalogueOb::ClipboardFormat()
{
    static const CLIPFORMAT s_format = (CLIPFORMAT)::RegisterClipboardFormatA(kClipboardFormatName);
    return s_format;
}

void CCatalogueOb::PlaceOnDataSource(COleDataSource* pSource) const
{
    CSharedFile file(GMEM_MOVEABLE | GMEM_SHARE | GMEM_ZEROINIT, 4096);
    {
        CArchive ar(&file, CArchive::store, 4096);
        WriteRecord(ar);
        ar.Close();
    }
    HGLOBAL record = file.Detach();
    if (record)
        pSource->CacheGlobalData(ClipboardFormat(), record);
    for (int i = 0; i < (int)m_renderings.size(); i++) {
        UINT format = 0;
        HGLOBAL h = RenderingToGlobal(i, &format);
        if (h)
            pSource->CacheGlobalData((CLIPFORMAT)format, h);
    }
}

CCatalogueOb* CCatalogueOb::FromDataObject(COleDataObject* pData)
{
    HGLOBAL h = pData->GetGlobalData(ClipboardFormat());
    if (h == NULL)
        return NULL;
    const SIZE_T size = ::GlobalSize(h);
    const void* p = ::GlobalLock(h);
    CCatalogueOb* item = NULL;
    try {
        if (p == NULL || size > 0xFFFFFFFF)
            AfxThrowArchiveException(CArchiveException::genericException, kClipboardFormatName);
        item = ReadRecord(p, (DWORD)size, kClipboardFormatName);
    } catch (...) {
        if (p)
            ::GlobalUnlock(h);
        ::GlobalFree(h);
        throw;
    }
    ::GlobalUnlock(h);
    ::GlobalFree(h);
    return item;
}
