#pragma once
#include "framework/Archive.h"
#include "framework/Object.h"
#include "framework/String.h"

#include <vector>

class CDib;
class COleDataObject;
class COleDataSource;

// One catalogue item: a named bundle of clipboard renderings with an icon
// (a colour image and its monochrome mask). Kept in a library file part by
// part (see CCataloguePropertyObject), and carried whole through the
// clipboard and drag and drop as one archive object record. The item owns
// its icon images and rendering bytes. UI thread.
class CCatalogueOb : public CObject {
    DECLARE_SERIAL(CCatalogueOb)
public:
    // One rendering: a clipboard format number (0 for a named rendering), its
    // format name (empty for a standard format) and its bytes.
    struct Rendering {
        DWORD format;
        CString name;
        std::vector<BYTE> bytes;
    };

    CCatalogueOb();
    ~CCatalogueOb() override;

    // Memory-file form (clipboard, drag and drop): formats, format names and
    // sizes arrays, the rendering bytes, the name, the icon image and mask.
    void Serialize(CArchive& ar) override;

    const CString& GetName() const { return m_name; }
    // Renaming clears the name offset, so the next save writes the name again.
    void SetName(const CString& name);

    int GetRenderingCount() const { return (int)m_renderings.size(); }
    const Rendering& GetRendering(int i) const { return m_renderings[i]; }
    // Appends a rendering copied from global memory, named by the format's
    // registered name (empty for a standard format).
    BOOL AddRendering(UINT format, HGLOBAL hData);
    // Replaces any rendering of that name (compared with case) by a copy of
    // the bytes, under format number 0.
    void AddNamedRendering(const CString& name, const void* pData, DWORD size);
    // Copies the named rendering into the buffer when it fits; *pNeeded gets
    // its size whenever the name is there. -1 when missing or too small.
    int GetNamedRendering(const CString& name, void* pBuffer, DWORD bufferSize, DWORD* pNeeded) const;
    // The index of the first rendering of that name, or -1.
    int FindRendering(const CString& name) const;
    // A copy of rendering i in new global memory (GMEM_MOVEABLE | GMEM_SHARE |
    // GMEM_ZEROINIT) and the format to offer it under: the name's registered
    // number, or the stored number. NULL (nothing to offer) for format 0.
    HGLOBAL RenderingToGlobal(int i, UINT* pFormat) const;

    CDib* GetIconImage() const { return m_pIconImage; }
    CDib* GetIconMask() const { return m_pIconMask; }
    // Takes ownership of both (either may be null); clears the icon offsets.
    void SetIconImages(CDib* pImage, CDib* pMask);
    // The icon from a colour bitmap and a mask bitmap (a fully opaque mask
    // when none is given); a null colour bitmap clears the icon.
    void SetIcon(HBITMAP hColour, HBITMAP hMask);
    // The icon from an icon handle's colour and mask bitmaps; null clears it.
    void SetIcon(HICON hIcon);
    // The icon from an image at size S x S: stretched and fully opaque when
    // larger than S, else centred unscaled with a mask that is opaque over the
    // image (or the given mask when its size matches). hRefWnd's client DC is
    // the reference for the colour bitmap.
    BOOL SetIconFromImage(HWND hRefWnd, const CDib* pImage, const CDib* pMask, int size);
    // An icon made of the image and mask (the caller destroys it); NULL
    // without both.
    HICON CreateIconHandle(HWND hRefWnd) const;
    // Draws the icon at (x, y) at size S, its transparent pixels leaving the
    // target as it was.
    BOOL DrawIcon(HDC hDC, int x, int y, int size) const;

    // Offsets in the library file of the last stored name, icon image, icon
    // mask and data parts; 0 when not stored or changed since.
    DWORD m_nameOffset;
    DWORD m_imageOffset;
    DWORD m_maskOffset;
    DWORD m_dataOffset;
    void ClearOffsets() { m_nameOffset = m_imageOffset = m_maskOffset = m_dataOffset = 0; }
    BOOL IsStored() const { return m_nameOffset && m_imageOffset && m_maskOffset && m_dataOffset; }

    // The parts of the library file, each through an archive of its own.
    void StoreNamePart(CArchive& ar) const;
    void LoadNamePart(CArchive& ar);
    void StoreIconPart(CArchive& ar, bool mask) const;
    void LoadIconPart(CArchive& ar, bool mask);
    void StoreDataPart(CArchive& ar) const;
    void LoadDataPart(CArchive& ar);

    // The item's clipboard record: the item as one object record. Reading
    // checks every count and size against the bytes present; a bad record
    // throws CArchiveException* named by `source`.
    void WriteRecord(CArchive& ar) const;
    static CCatalogueOb* ReadRecord(const void* pData, DWORD size, LPCTSTR source);

    // Offers the item on a data source: first the whole item as one object
    // record in the item clipboard format (in shared global memory), then
    // every rendering in index order under its format.
    void PlaceOnDataSource(COleDataSource* pSource) const;
    // The item offered in the item clipboard format, read with the record
    // checks; NULL when none is offered. A bad record throws
    // CArchiveException* named after the clipboard format.
    static CCatalogueOb* FromDataObject(COleDataObject* pData);

    // The name of the item's clipboard format, and its number.
    static const char kClipboardFormatName[];
    static CLIPFORMAT ClipboardFormat();

private:
    // The three arrays and the bytes, as the data part and the memory form
    // hold them.
    void StoreRenderings(CArchive& ar) const;
    void LoadRenderings(CArchive& ar);
    CDib* LoadIconObject(CArchive& ar);

    CString m_name;
    CDib* m_pIconImage;
    CDib* m_pIconMask;
    std::vector<Rendering> m_renderings;
};

// Bytes left between the archive's read position and the end of its file
// (loading archives). Flushes the archive's buffer back into the file first.
ULONGLONG ArchiveBytesLeft(CArchive& ar);
