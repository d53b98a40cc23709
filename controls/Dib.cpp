#include "controls/Dib.h"

#include "framework/Exceptions.h"

#include <stdlib.h>
#include <string.h>

IMPLEMENT_SERIAL(CDib, CObject, 0)

namespace {
const DWORD kFileHeaderSize = 14;
const DWORD kInfoHeaderSize = 40;
// A file longer than this is not taken as a picture.
const ULONGLONG kMaxFileSize = 256u * 1024 * 1024;
// The extensions of the picture kinds read directly, not through the loader.
const char kBitmapFilter[] = "位图 (*.ico, *.bmp, *.dib)|*.ico; *.bmp;*.dib||";

const WORD kTagPlain = 0x4142;    // "BA"
const WORD kTagPacked = 0x5A42;   // "BZ"

DWORD ColourEntries(int bitCount)
{
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

DWORD RowBytes(int bitCount, LONG width)
{
    return (DWORD)((((ULONGLONG)bitCount * (ULONGLONG)width + 31) / 32) * 4);
}

void WriteFileHeader(BYTE* block, DWORD size, DWORD offBits)
{
    BITMAPFILEHEADER fh;
    fh.bfType = 0x4D42;
    fh.bfSize = size;
    fh.bfReserved1 = 0;
    fh.bfReserved2 = 0;
    fh.bfOffBits = offBits;
    memcpy(block, &fh, kFileHeaderSize);
}

// True when the extension (with its dot) is one of the *.ext patterns of the
// filter's description (the text before the first "|").
BOOL IsFilterExtension(const CString& ext)
{
    CString description(kBitmapFilter);
    const int bar = description.Find('|');
    if (bar >= 0)
        description = description.Left(bar);
    int pos = 0;
    while ((pos = description.Find("*.", pos)) >= 0) {
        int end = pos + 1;
        while (end < description.GetLength() && description[end] != ',' && description[end] != ')' &&
               description[end] != ';' && description[end] != ' ')
            end++;
        if (description.Mid(pos + 1, end - pos - 1).CompareNoCase(ext) == 0)
            return TRUE;
        pos = end;
    }
    return FALSE;
}
}  // namespace

const COLORREF CDib::kIconKeyCandidates[16] = {
    0x000000, 0xFFFFFF, 0x808080, 0xC0C0C0, 0x000080, 0x0000FF, 0x008080, 0x00FFFF,
    0x008000, 0x00FF00, 0x808000, 0xFFFF00, 0x800000, 0xFF0000, 0x800080, 0xFF00FF,
};

CDib::CDib()
    : m_pMemory(NULL), m_dwSize(0), m_nBitCount(0), m_pFileHeader(NULL), m_pInfoHeader(NULL),
      m_pInfo(NULL), m_pBits(NULL), m_pfnLoader(NULL), m_pfnCodec(NULL)
{
}

CDib::CDib(CDC* pDC, int nBitCount, BOOL bCompress) : CDib()
{
    CBitmap* pBitmap = pDC->GetCurrentBitmap();
    CreateFromBitmap(pDC, pBitmap, nBitCount, bCompress);
}

CDib::~CDib()
{
    Free();
}

void CDib::Free()
{
    if (m_pMemory != NULL) {
        HGLOBAL hMem = ::GlobalHandle(m_pMemory);
        ::GlobalUnlock(hMem);
        ::GlobalFree(hMem);
    }
    m_pMemory = NULL;
    m_dwSize = 0;
    m_nBitCount = 0;
    m_pFileHeader = NULL;
    m_pInfoHeader = NULL;
    m_pInfo = NULL;
    m_pBits = NULL;
}

BOOL CDib::Allocate(DWORD size)
{
    Free();
    HGLOBAL hMem = ::GlobalAlloc(GHND, size);
    if (hMem == NULL)
        return FALSE;
    m_pMemory = (BYTE*)::GlobalLock(hMem);
    if (m_pMemory == NULL) {
        ::GlobalFree(hMem);
        return FALSE;
    }
    m_dwSize = size;
    return TRUE;
}

void CDib::SetPointers()
{
    m_pFileHeader = (BITMAPFILEHEADER*)m_pMemory;
    m_pInfoHeader = (BITMAPINFOHEADER*)(m_pMemory + kFileHeaderSize);
    m_pInfo = (BITMAPINFO*)m_pInfoHeader;
    m_pBits = m_pMemory + m_pFileHeader->bfOffBits;
    m_nBitCount = m_pInfoHeader->biBitCount;
}

int CDib::GetWidth() const
{
    return m_pInfoHeader != NULL ? m_pInfoHeader->biWidth : 0;
}

int CDib::GetHeight() const
{
    return m_pInfoHeader != NULL ? abs(m_pInfoHeader->biHeight) : 0;
}

BOOL CDib::IsValidBlock(const BYTE* pBlock, DWORD size)
{
    if (pBlock == NULL || size < kFileHeaderSize + kInfoHeaderSize)
        return FALSE;
    if (pBlock[0] != 'B' || pBlock[1] != 'M')
        return FALSE;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    memcpy(&fh, pBlock, kFileHeaderSize);
    memcpy(&ih, pBlock + kFileHeaderSize, kInfoHeaderSize);
    if (ih.biSize < kInfoHeaderSize || ih.biSize > size - kFileHeaderSize)
        return FALSE;
    if (ih.biWidth <= 0 || ih.biWidth > 65535 || ih.biHeight == 0 || ih.biHeight > 65535 ||
        ih.biHeight < -65535 || ih.biPlanes != 1)
        return FALSE;
    const int bc = ih.biBitCount;
    if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32)
        return FALSE;
    ULONGLONG tableBytes = 0;
    switch (ih.biCompression) {
    case BI_RGB:
        break;
    case BI_RLE8:
        if (bc != 8 || ih.biHeight < 0)
            return FALSE;
        break;
    case BI_RLE4:
        if (bc != 4 || ih.biHeight < 0)
            return FALSE;
        break;
    case BI_BITFIELDS:
        if (bc != 16 && bc != 32)
            return FALSE;
        if (ih.biSize == kInfoHeaderSize)
            tableBytes += 12;   // the three masks follow the header
        break;
    default:
        return FALSE;
    }
    const DWORD entries = ih.biClrUsed != 0 ? ih.biClrUsed : ColourEntries(bc);
    if (entries > 256)
        return FALSE;
    tableBytes += 4ull * entries;
    const ULONGLONG tableEnd = kFileHeaderSize + (ULONGLONG)ih.biSize + tableBytes;
    if (tableEnd > size || fh.bfOffBits < tableEnd || fh.bfOffBits > size)
        return FALSE;
    ULONGLONG bitsBytes;
    if (ih.biCompression == BI_RLE8 || ih.biCompression == BI_RLE4) {
        if (ih.biSizeImage == 0)
            return FALSE;
        bitsBytes = ih.biSizeImage;
    } else {
        bitsBytes = (ULONGLONG)RowBytes(bc, ih.biWidth) * (ULONGLONG)abs(ih.biHeight);
    }
    return (ULONGLONG)fh.bfOffBits + bitsBytes <= size;
}

BOOL CDib::TakeBlock(const BYTE* pBlock, DWORD size)
{
    if (!IsValidBlock(pBlock, size))
        return FALSE;
    if (!Allocate(size))
        return FALSE;
    memcpy(m_pMemory, pBlock, size);
    SetPointers();
    return TRUE;
}

BOOL CDib::CreateFromBitmap(CDC* pDC, CBitmap* pBitmap, int nBitCount, BOOL bCompress)
{
    Free();
    BITMAP bm;
    if (pBitmap == NULL || !pBitmap->GetBitmap(&bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return FALSE;
    int bitCount = nBitCount;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        bitCount = bm.bmPlanes * bm.bmBitsPixel;
    DWORD compression = BI_RGB;
    if (bCompress && bitCount == 4)
        compression = BI_RLE4;
    else if (bCompress && bitCount == 8)
        compression = BI_RLE8;

    HDC hDC = pDC->GetSafeHdc();
    const BOOL screen = hDC == NULL;
    if (screen)
        hDC = ::GetDC(NULL);
    int result = BuildFromBitmap(hDC, (HBITMAP)pBitmap->m_hObject, bm, bitCount, compression);
    // A system that cannot compress (Wine 8 has no RLE encoder) still gets
    // the picture, in plain rows.
    if (result == 0 && compression != BI_RGB)
        result = BuildFromBitmap(hDC, (HBITMAP)pBitmap->m_hObject, bm, bitCount, BI_RGB);
    if (screen)
        ::ReleaseDC(NULL, hDC);
    if (result < 0)
        return FALSE;
    if (result == 0)
        m_dwSize = 0;   // the bits could not be read: the image counts as empty
    return TRUE;
}

// Returns 1 when built, 0 when the block exists but the bits could not be
// read, -1 when memory ran out.
int CDib::BuildFromBitmap(HDC hDC, HBITMAP hBitmap, const BITMAP& bm, int bitCount, DWORD compression)
{
    Free();
    const DWORD entries = ColourEntries(bitCount);
    const DWORD rowBytes = RowBytes(bitCount, bm.bmWidth);
    const DWORD headerBytes = kFileHeaderSize + kInfoHeaderSize + 4 * entries;

    // The header (and colour table) first; GDI completes it.
    BYTE* header = (BYTE*)calloc(1, headerBytes + 12);
    if (header == NULL)
        return -1;
    BITMAPINFOHEADER* ih = (BITMAPINFOHEADER*)(header + kFileHeaderSize);
    ih->biSize = kInfoHeaderSize;
    ih->biWidth = bm.bmWidth;
    ih->biHeight = bm.bmHeight;
    ih->biPlanes = 1;
    ih->biBitCount = (WORD)bitCount;
    ih->biCompression = compression;
    ::GetDIBits(hDC, hBitmap, 0, (UINT)bm.bmHeight, NULL, (BITMAPINFO*)ih, DIB_RGB_COLORS);
    // GetDIBits may describe 16/32 bits as BI_BITFIELDS; this image keeps
    // plain rows.
    if (ih->biCompression == BI_BITFIELDS)
        ih->biCompression = BI_RGB;
    ULONGLONG bitsBytes = ih->biSizeImage;
    if (bitsBytes == 0 || (ih->biCompression == BI_RGB && bitsBytes < (ULONGLONG)rowBytes * bm.bmHeight)) {
        ih->biCompression = BI_RGB;
        bitsBytes = (ULONGLONG)rowBytes * bm.bmHeight;
        ih->biSizeImage = (DWORD)bitsBytes;
    }
    const ULONGLONG total = headerBytes + bitsBytes;
    if (total > 0x7FFFFFFF || !Allocate((DWORD)total)) {
        free(header);
        return -1;
    }
    memcpy(m_pMemory, header, headerBytes);
    free(header);
    WriteFileHeader(m_pMemory, (DWORD)total, headerBytes);
    SetPointers();
    const int lines = ::GetDIBits(hDC, hBitmap, 0, (UINT)bm.bmHeight, m_pBits, m_pInfo, DIB_RGB_COLORS);
    if (m_pInfoHeader->biCompression == BI_BITFIELDS)
        m_pInfoHeader->biCompression = BI_RGB;
    if (lines == 0)
        return 0;
    // A compressed result may be shorter than the estimate.
    if (m_pInfoHeader->biCompression != BI_RGB && m_pInfoHeader->biSizeImage != 0 &&
        headerBytes + m_pInfoHeader->biSizeImage <= m_dwSize) {
        m_dwSize = headerBytes + m_pInfoHeader->biSizeImage;
        m_pFileHeader->bfSize = m_dwSize;
    }
    return 1;
}

// A packed DIB of a trusted owner, but still measured against its block.
BOOL CDib::Attach(HGLOBAL hPackedDib)
{
    const SIZE_T available = ::GlobalSize(hPackedDib);
    const BYTE* src = (const BYTE*)::GlobalLock(hPackedDib);
    if (src == NULL)
        return FALSE;
    BITMAPINFOHEADER ih;
    if (available < kInfoHeaderSize) {
        ::GlobalUnlock(hPackedDib);
        return FALSE;
    }
    memcpy(&ih, src, kInfoHeaderSize);
    const int bitCount = ih.biPlanes * ih.biBitCount;
    DWORD entries = ih.biClrUsed;
    if (entries == 0 && bitCount < 16)
        entries = 1u << bitCount;
    DWORD tableBytes = 4 * entries;
    if (ih.biCompression == BI_BITFIELDS && ih.biSize == kInfoHeaderSize)
        tableBytes += 12;
    ULONGLONG bitsBytes = ih.biSizeImage;
    if (bitsBytes == 0)
        bitsBytes = (ULONGLONG)RowBytes(bitCount, ih.biWidth) * (ULONGLONG)abs(ih.biHeight);
    const ULONGLONG headerSize = ih.biSize >= kInfoHeaderSize ? ih.biSize : kInfoHeaderSize;
    const ULONGLONG total = kFileHeaderSize + headerSize + tableBytes + bitsBytes;
    if (entries > 256 || total > 0x7FFFFFFF || total - kFileHeaderSize > available) {
        ::GlobalUnlock(hPackedDib);
        return FALSE;
    }
    BYTE* block = (BYTE*)malloc((size_t)total);
    if (block == NULL) {
        ::GlobalUnlock(hPackedDib);
        return FALSE;
    }
    WriteFileHeader(block, (DWORD)total, (DWORD)(kFileHeaderSize + headerSize + tableBytes));
    memcpy(block + kFileHeaderSize, src, (size_t)(total - kFileHeaderSize));
    ::GlobalUnlock(hPackedDib);
    const BOOL ok = TakeBlock(block, (DWORD)total);
    free(block);
    return ok;
}

void CDib::Copy(const CDib* pOther)
{
    if (pOther == NULL || pOther == this)
        return;
    Free();
    if (pOther->m_pMemory != NULL && pOther->m_dwSize != 0 && Allocate(pOther->m_dwSize)) {
        memcpy(m_pMemory, pOther->m_pMemory, m_dwSize);
        SetPointers();
    }
    m_pfnLoader = pOther->m_pfnLoader;
    m_pfnCodec = pOther->m_pfnCodec;
}

BOOL CDib::Draw(CDC* pDC, int x, int y)
{
    if (IsEmpty())
        return FALSE;
    const int h = GetHeight();
    return ::SetDIBitsToDevice(pDC->GetSafeHdc(), x, y, GetWidth(), h, 0, 0, 0, h, m_pBits, m_pInfo,
                               DIB_RGB_COLORS) != 0;
}

BOOL CDib::Stretch(CDC* pDC, int x, int y, int cx, int cy)
{
    if (IsEmpty())
        return FALSE;
    return ::StretchDIBits(pDC->GetSafeHdc(), x, y, cx, cy, 0, 0, GetWidth(), GetHeight(), m_pBits,
                           m_pInfo, DIB_RGB_COLORS, SRCCOPY) != (int)GDI_ERROR;
}

CGdiObject* CDib::SelectIntoDC(CDC* pDC, SIZE* pSize)
{
    if (pSize != NULL) {
        pSize->cx = 0;
        pSize->cy = 0;
    }
    if (IsEmpty() || pDC->GetSafeHdc() == NULL)
        return NULL;
    HDC hDC = pDC->m_hDC;
    HBITMAP hOne = m_nBitCount == 1
                       ? ::CreateBitmap(1, 1, 1, 1, NULL)
                       : ::CreateBitmap(1, 1, (UINT)::GetDeviceCaps(hDC, PLANES),
                                        (UINT)::GetDeviceCaps(hDC, BITSPIXEL), NULL);
    HGDIOBJ hOld = ::SelectObject(hDC, hOne);

    // A 1-bit image becomes black and white whatever its stored table says;
    // the stored table is put back afterwards.
    RGBQUAD saved[2] = {};
    if (m_nBitCount == 1) {
        memcpy(saved, m_pInfo->bmiColors, sizeof(saved));
        RGBQUAD black = { 0, 0, 0, 0 };
        RGBQUAD white = { 0xFF, 0xFF, 0xFF, 0 };
        m_pInfo->bmiColors[0] = black;
        m_pInfo->bmiColors[1] = white;
    }
    HBITMAP hNew = ::CreateDIBitmap(hDC, m_pInfoHeader, CBM_INIT, m_pBits, m_pInfo, DIB_RGB_COLORS);
    if (m_nBitCount == 1)
        memcpy(m_pInfo->bmiColors, saved, sizeof(saved));
    if (hNew == NULL) {
        ::SelectObject(hDC, hOld);
        ::DeleteObject(hOne);
        return NULL;
    }
    ::SelectObject(hDC, hNew);
    ::DeleteObject(hOne);
    BITMAP bm;
    if (pSize != NULL && ::GetObjectA(hNew, sizeof(bm), &bm)) {
        pSize->cx = bm.bmWidth;
        pSize->cy = bm.bmHeight;
    }
    return CGdiObject::FromHandle(hOld);
}

int CDib::ChooseIconKey(const DWORD counts[16])
{
    for (int i = 1; i < 16; i++) {
        if (counts[i] == 0)
            return i;
    }
    int best = 0;
    for (int i = 1; i < 16; i++) {
        if (counts[i] < counts[best])
            best = i;
    }
    return best;
}

HBITMAP CDib::LoadIconFile(CFile* pFile, COLORREF* pTransparent)
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExA(&version))
        return NULL;
    const BOOL supported = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ||
                           (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 4);
    const CString path = pFile->GetFilePath();
    if (!supported || path.IsEmpty())
        return NULL;

    const BOOL wasOpen = (HANDLE)*pFile != CFile::hFileNull;
    if (wasOpen)
        pFile->Close();
    HICON hIcon = (HICON)::LoadImageA(NULL, path, IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (wasOpen)
        pFile->Open(path, CFile::modeRead);
    if (hIcon == NULL)
        return NULL;

    const int size = 32;
    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    ::ReleaseDC(NULL, screen);

    // The mask: an 8-bit bitmap whose index 0 is black (opaque pixels).
    struct { BITMAPINFOHEADER h; RGBQUAD colours[256]; } maskInfo;
    ZeroMemory(&maskInfo, sizeof(maskInfo));
    maskInfo.h.biSize = sizeof(BITMAPINFOHEADER);
    maskInfo.h.biWidth = size;
    maskInfo.h.biHeight = size;
    maskInfo.h.biPlanes = 1;
    maskInfo.h.biBitCount = 8;
    maskInfo.h.biClrUsed = 2;
    maskInfo.colours[1].rgbRed = maskInfo.colours[1].rgbGreen = maskInfo.colours[1].rgbBlue = 0xFF;
    BYTE* maskBits = NULL;
    HBITMAP hMask = ::CreateDIBSection(mem, (BITMAPINFO*)&maskInfo, DIB_RGB_COLORS, (void**)&maskBits, NULL, 0);

    BITMAPINFO imageInfo;
    ZeroMemory(&imageInfo, sizeof(imageInfo));
    imageInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    imageInfo.bmiHeader.biWidth = size;
    imageInfo.bmiHeader.biHeight = size;
    imageInfo.bmiHeader.biPlanes = 1;
    imageInfo.bmiHeader.biBitCount = 24;
    BYTE* imageBits = NULL;
    HBITMAP hImage = ::CreateDIBSection(mem, &imageInfo, DIB_RGB_COLORS, (void**)&imageBits, NULL, 0);
    if (hMask == NULL || hImage == NULL) {
        if (hMask != NULL)
            ::DeleteObject(hMask);
        if (hImage != NULL)
            ::DeleteObject(hImage);
        ::DeleteDC(mem);
        ::DestroyIcon(hIcon);
        return NULL;
    }
    HGDIOBJ hOld = ::SelectObject(mem, hMask);
    ::PatBlt(mem, 0, 0, size, size, WHITENESS);
    ::DrawIconEx(mem, 0, 0, hIcon, size, size, 0, NULL, DI_MASK);
    ::SelectObject(mem, hImage);
    ::DrawIconEx(mem, 0, 0, hIcon, size, size, 0, NULL, DI_IMAGE);
    ::GdiFlush();

    DWORD counts[16] = { 0 };
    BOOL anyTransparent = FALSE;
    const DWORD maskRow = RowBytes(8, size);
    const DWORD imageRow = RowBytes(24, size);
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            if (maskBits[y * maskRow + x] != 0) {
                anyTransparent = TRUE;
                continue;
            }
            const BYTE* p = imageBits + y * imageRow + x * 3;
            const COLORREF c = RGB(p[2], p[1], p[0]);
            for (int i = 0; i < 16; i++) {
                if (kIconKeyCandidates[i] == c)
                    counts[i]++;
            }
        }
    }
    const COLORREF key = kIconKeyCandidates[ChooseIconKey(counts)];
    if (anyTransparent && pTransparent != NULL)
        *pTransparent = key;

    HBRUSH brush = ::CreateSolidBrush(key);
    HGDIOBJ oldBrush = ::SelectObject(mem, brush);
    ::PatBlt(mem, 0, 0, size, size, PATCOPY);
    ::SelectObject(mem, oldBrush);
    ::DeleteObject(brush);
    ::DrawIconEx(mem, 0, 0, hIcon, size, size, 0, NULL, DI_NORMAL);
    ::SelectObject(mem, hOld);
    ::DeleteDC(mem);
    ::DeleteObject(hMask);
    ::DestroyIcon(hIcon);
    return hImage;
}

BOOL CDib::Read(CFile* pFile, COLORREF* pTransparent, int loaderFlag)
{
    HBITMAP hBitmap = NULL;
    if (m_pfnLoader != NULL) {
        // The extension is taken from the file name itself, so that a dot in
        // a folder name does not count.
        const CString path = pFile->GetFilePath();
        const CString name = path.Mid(path.ReverseFind('\\') + 1);
        const int dot = name.ReverseFind('.');
        if (dot < 0 || !IsFilterExtension(name.Mid(dot)))
            hBitmap = m_pfnLoader(pFile, pTransparent, loaderFlag);
    }
    if (hBitmap == NULL)
        hBitmap = LoadIconFile(pFile, pTransparent);

    if (hBitmap != NULL) {
        CBitmap bitmap;
        bitmap.Attach(hBitmap);
        BITMAP bm;
        bitmap.GetBitmap(&bm);
        CDC mem;
        mem.CreateCompatibleDC(NULL);
        const BOOL ok = CreateFromBitmap(&mem, &bitmap, bm.bmPlanes * bm.bmBitsPixel, FALSE);
        return ok && !IsEmpty();
    }

    Free();
    if ((HANDLE)*pFile == CFile::hFileNull)
        return FALSE;
    try {
        const ULONGLONG length = pFile->GetLength();
        if (length < kFileHeaderSize + kInfoHeaderSize || length > kMaxFileSize)
            return FALSE;
        BYTE* data = (BYTE*)malloc((size_t)length);
        if (data == NULL)
            return FALSE;
        pFile->SeekToBegin();
        const UINT got = pFile->Read(data, (UINT)length);
        const BOOL ok = got == length && TakeBlock(data, (DWORD)length);
        free(data);
        return ok;
    } catch (CException* e) {
        e->Delete();
        Free();
        return FALSE;
    }
}

// Record: WORD tag ("BA" plain, "BZ" through the codec), DWORD count, bytes.
// A record that cannot be taken leaves the object as it was; a damaged image
// or a record cut short throws CArchiveException.
void CDib::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        if (m_pfnCodec == NULL || IsEmpty()) {
            ar << kTagPlain << (DWORD)(IsEmpty() ? 0 : m_dwSize);
            if (!IsEmpty())
                ar.Write(m_pMemory, m_dwSize);
            return;
        }
        void* packed = NULL;
        BOOL callerFrees = FALSE;
        const DWORD count = m_pfnCodec(1, m_pMemory, m_dwSize, &packed, &callerFrees);
        ar << kTagPacked << count;
        if (count != 0 && packed != NULL)
            ar.Write(packed, count);
        if (callerFrees)
            free(packed);
        return;
    }

    WORD tag = 0;
    DWORD count = 0;
    ar >> tag >> count;
    if (count == 0)
        return;
    if (tag != kTagPlain && tag != kTagPacked)
        return;   // unknown: the count cannot be trusted either
    const BOOL skipOnly = tag == kTagPacked && m_pfnCodec == NULL;
    // Read in pieces, so that a hostile count fails at the end of the data
    // instead of asking for gigabytes at once.
    BYTE* data = NULL;
    DWORD have = 0;
    BYTE chunk[16384];
    while (have < count) {
        const UINT want = (UINT)((count - have) < sizeof(chunk) ? (count - have) : sizeof(chunk));
        const UINT got = ar.Read(chunk, want);
        if (got == 0)
            break;
        if (!skipOnly) {
            BYTE* grown = (BYTE*)realloc(data, have + got);
            if (grown == NULL) {
                free(data);
                AfxThrowMemoryException();
            }
            data = grown;
            memcpy(data + have, chunk, got);
        }
        have += got;
    }
    if (have < count) {
        free(data);
        AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
    }
    if (skipOnly)
        return;

    const BYTE* image = data;
    DWORD imageSize = count;
    void* expanded = NULL;
    if (tag == kTagPacked) {
        BOOL unused = FALSE;
        imageSize = m_pfnCodec(0, data, count, &expanded, &unused);
        free(data);
        data = NULL;
        if (imageSize == 0 || expanded == NULL) {
            free(expanded);
            return;
        }
        image = (const BYTE*)expanded;
    }
    const BOOL ok = IsValidBlock(image, imageSize);
    if (ok)
        TakeBlock(image, imageSize);
    free(data);
    free(expanded);
    if (!ok)
        AfxThrowArchiveException(CArchiveException::badIndex, ar.m_strFileName);
}
