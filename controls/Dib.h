#pragma once
#include "framework/Archive.h"
#include "framework/File.h"
#include "framework/Object.h"
#include "framework/Types.h"
#include "framework/ui/DC.h"

// One picture held as a packed .bmp image (file header, information header,
// colour table, bits) in a locked movable global block. Built from a GDI
// bitmap, a packed DIB or a file; drawn, turned back into a device-dependent
// bitmap, copied and kept in archives. Any image it accepts from outside
// (file, archive, packed DIB) is checked first: headers, offsets and sizes
// must describe bits that lie inside the block. UI thread (GDI).
class CDib : public CObject {
    DECLARE_SERIAL(CDib)
public:
    // Turns a file into a bitmap for Read (other image kinds); returns the
    // bitmap (the caller deletes it) or null; may set the transparent colour.
    typedef HBITMAP (*ImageLoader)(CFile* pFile, COLORREF* pTransparent, int flag);
    // Compresses (mode 1) or expands (mode 0) bytes for Serialize. Returns the
    // number of bytes in *ppOut (0 on failure); the buffer is allocated with
    // malloc. On compression *pCallerFrees says whether the caller frees it.
    typedef DWORD (*Codec)(int mode, const void* pIn, DWORD inSize, void** ppOut, BOOL* pCallerFrees);

    CDib();
    // Builds the image from the bitmap selected in pDC.
    CDib(CDC* pDC, int nBitCount, BOOL bCompress);
    ~CDib() override;

    BOOL CreateFromBitmap(CDC* pDC, CBitmap* pBitmap, int nBitCount, BOOL bCompress);
    // Copies a packed DIB (no file header); the caller keeps its block.
    BOOL Attach(HGLOBAL hPackedDib);
    void Copy(const CDib* pOther);
    BOOL Draw(CDC* pDC, int x, int y);
    BOOL Stretch(CDC* pDC, int x, int y, int cx, int cy);
    CSize GetSize() const { return CSize(GetWidth(), GetHeight()); }
    int GetWidth() const;
    int GetHeight() const;
    BYTE* GetBits() const { return m_pBits; }
    // A device-dependent bitmap of the image selected into pDC; returns the
    // object selected before (the caller selects it back and deletes the new
    // bitmap), null on failure. *pSize gets the bitmap's size.
    virtual CGdiObject* SelectIntoDC(CDC* pDC, SIZE* pSize);
    // Reads a .bmp file (or, through the image loader or as an icon, other
    // kinds); FALSE and empty when the file is none of them.
    BOOL Read(CFile* pFile, COLORREF* pTransparent, int loaderFlag);
    void Serialize(CArchive& ar) override;

    BOOL IsEmpty() const { return m_pMemory == NULL || m_dwSize == 0; }
    // The whole packed image, exactly as a .bmp file stores it.
    const BYTE* GetBlock() const { return m_pMemory; }
    DWORD GetBlockSize() const { return m_dwSize; }
    int GetBitCount() const { return m_nBitCount; }
    const BITMAPINFOHEADER* GetInfoHeader() const { return m_pInfoHeader; }

    void SetImageLoader(ImageLoader pfn) { m_pfnLoader = pfn; }
    void SetCodec(Codec pfn) { m_pfnCodec = pfn; }

    // TRUE when size bytes at pBlock hold a well-formed packed .bmp image
    // (file header included) whose bits lie inside the block.
    static BOOL IsValidBlock(const BYTE* pBlock, DWORD size);
    // The key colour for an icon with the given opaque-pixel counts per
    // candidate (16 entries, in the candidate order).
    static int ChooseIconKey(const DWORD counts[16]);
    static const COLORREF kIconKeyCandidates[16];

private:
    void Free();
    BOOL Allocate(DWORD size);
    void SetPointers();
    // Takes a copy of a checked block; FALSE (object unchanged) when invalid.
    BOOL TakeBlock(const BYTE* pBlock, DWORD size);
    HBITMAP LoadIconFile(CFile* pFile, COLORREF* pTransparent);
    int BuildFromBitmap(HDC hDC, HBITMAP hBitmap, const BITMAP& bm, int bitCount, DWORD compression);

    BYTE* m_pMemory;
    DWORD m_dwSize;
    int m_nBitCount;
    BITMAPFILEHEADER* m_pFileHeader;
    BITMAPINFOHEADER* m_pInfoHeader;
    BITMAPINFO* m_pInfo;
    BYTE* m_pBits;
    ImageLoader m_pfnLoader;
    Codec m_pfnCodec;
};
