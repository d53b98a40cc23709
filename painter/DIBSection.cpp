#include "painter/DIBSection.h"

#include <ole2.h>

#include <algorithm>
#include <cstring>

IMPLEMENT_DYNCREATE(CDIBSection, CObject)

namespace {

// OLE is started once per UI thread, by the first image made on it, and ended
// when that thread ends; a thread whose OLE someone else started is left alone.
struct OleThreadState {
    bool tried = false;
    bool started = false;
    ~OleThreadState()
    {
        if (started)
            ::OleUninitialize();
    }
};
thread_local OleThreadState t_ole;

void EnsureOleOnThisThread()
{
    if (t_ole.tried)
        return;
    t_ole.tried = true;
    const HRESULT hr = ::OleInitialize(NULL);
    if (hr == S_OK) {
        t_ole.started = true;
        return;
    }
    if (SUCCEEDED(hr)) {
        ::OleUninitialize();   // already running here: balance our own call only
        return;
    }
    ::MessageBoxA(NULL, "OLE 初始化失败。确认 OLE 库是正确的版本", NULL, MB_OK | MB_ICONERROR);
}

int s_failSections = 0;
int s_skipBeforeFailing = 0;

// The shared record of GetLogPalette.
struct LogPalette256 {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[256];
};
LogPalette256 s_logPalette;

PALETTEENTRY Entry(int r, int g, int b)
{
    PALETTEENTRY e = { (BYTE)r, (BYTE)g, (BYTE)b, 0 };
    return e;
}

// The 256-entry default table: 10 fixed colours, the 6-level colour cube
// without black, light grey and cyan, 22 greys, 11 fixed colours.
struct DefaultTable {
    PALETTEENTRY entries[256];
    DefaultTable()
    {
        static const BYTE first[10][3] = { { 0, 0, 0 },     { 128, 0, 0 },     { 0, 128, 0 },
                                           { 128, 128, 0 }, { 0, 0, 128 },     { 128, 0, 128 },
                                           { 0, 128, 128 }, { 192, 192, 192 }, { 192, 220, 192 },
                                           { 166, 202, 240 } };
        static const BYTE levels[6] = { 0, 44, 86, 135, 192, 255 };
        static const BYTE greys[22] = { 17, 24, 30, 37, 44, 52, 60, 68, 77, 86, 95,
                                        105, 114, 125, 146, 157, 168, 180, 204, 216, 229, 242 };
        static const BYTE last[11][3] = { { 255, 255, 255 }, { 255, 251, 240 }, { 160, 160, 164 },
                                          { 128, 128, 128 }, { 255, 0, 0 },     { 0, 255, 0 },
                                          { 255, 255, 0 },   { 0, 0, 255 },     { 255, 0, 255 },
                                          { 0, 255, 255 },   { 255, 255, 255 } };
        int n = 0;
        for (const auto& c : first)
            entries[n++] = Entry(c[0], c[1], c[2]);
        for (int b = 0; b < 6; ++b)
            for (int g = 0; g < 6; ++g)
                for (int r = 0; r < 6; ++r) {
                    const BYTE R = levels[r], G = levels[g], B = levels[b];
                    const bool black = R == 0 && G == 0 && B == 0;
                    const bool grey = R == 192 && G == 192 && B == 192;
                    const bool cyan = R == 0 && G == 255 && B == 255;
                    if (!black && !grey && !cyan)
                        entries[n++] = Entry(R, G, B);
                }
        for (BYTE v : greys)
            entries[n++] = Entry(v, v, v);
        for (const auto& c : last)
            entries[n++] = Entry(c[0], c[1], c[2]);
    }
};

const DefaultTable& Defaults()
{
    static const DefaultTable table;
    return table;
}

// A memory DC holding a bitmap for the length of one scope.
class ScopedMemDC {
public:
    ScopedMemDC(HDC compatible, HGDIOBJ bitmap) : m_dc(::CreateCompatibleDC(compatible)), m_old(NULL)
    {
        if (m_dc && bitmap)
            m_old = ::SelectObject(m_dc, bitmap);
    }
    ~ScopedMemDC()
    {
        if (!m_dc)
            return;
        if (m_old)
            ::SelectObject(m_dc, m_old);
        ::DeleteDC(m_dc);
    }
    HDC Get() const { return m_old ? m_dc : NULL; }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// The screen DC for one scope.
class ScreenDC {
public:
    ScreenDC() : m_dc(::GetDC(NULL)) {}
    ~ScreenDC()
    {
        if (m_dc)
            ::ReleaseDC(NULL, m_dc);
    }
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

// A GDI object selected into a DC for one scope.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? ::SelectObject(dc, obj) : NULL) {}
    ~ScopedSelect()
    {
        if (m_old)
            ::SelectObject(m_dc, m_old);
    }
    bool Ok() const { return m_old != NULL; }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

bool IsPaletteDevice(HDC dc)
{
    return dc && (::GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0;
}

}  // namespace

CDIBSection::CDIBSection()
    : m_hBitmap(NULL), m_pBits(NULL), m_colorUsage(0), m_nColors(0), m_useDrawDib(FALSE),
      m_hDrawDib(NULL), m_oldBitmap(NULL), m_oldPalette(NULL)
{
    std::memset(&m_info, 0, sizeof(m_info));
    EnsureOleOnThisThread();
}

CDIBSection::~CDIBSection()
{
    Release();
}

void CDIBSection::FailSectionCreationsForTest(int count, int skip)
{
    s_failSections = count;
    s_skipBeforeFailing = skip;
}

ULONGLONG CDIBSection::StrideFor(int width, int bitCount)
{
    return (((ULONGLONG)(width > 0 ? width : 0) * (ULONGLONG)(bitCount > 0 ? bitCount : 0) + 31) & ~31ULL) / 8;
}

ULONGLONG CDIBSection::ImageBytesFor(int width, int height, int bitCount)
{
    return StrideFor(width, bitCount) * (ULONGLONG)(height > 0 ? height : 0);
}

// Sizes below 1 are refused (a negative height would give a negative image
// size), and so is any image whose pixels do not fit in a 31-bit byte count.
BOOL CDIBSection::ValidFormat(int width, int height, int bitCount)
{
    if (width < 1 || height < 1)
        return FALSE;
    switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        break;
    default:
        return FALSE;
    }
    return ImageBytesFor(width, height, bitCount) <= 0x7FFFFFFFULL;
}

void CDIBSection::CloseDrawDib()
{
    if (m_hDrawDib) {
        ::DrawDibClose(m_hDrawDib);
        m_hDrawDib = NULL;
    }
}

void CDIBSection::Release()
{
    ReleaseMemDC();
    if (m_hBitmap) {
        ::DeleteObject(m_hBitmap);
        m_hBitmap = NULL;
    }
    m_pBits = NULL;
    m_palette.DeleteObject();
    std::memset(&m_info, 0, sizeof(m_info));
    CloseDrawDib();
    m_useDrawDib = FALSE;
    m_colorUsage = 0;
    m_nColors = 0;
}

void CDIBSection::TakeFrom(CDIBSection& other)
{
    other.ReleaseMemDC();
    const BOOL useDrawDib = m_useDrawDib;
    Release();
    m_hBitmap = other.m_hBitmap;
    m_info = other.m_info;
    m_pBits = other.m_pBits;
    m_colorUsage = other.m_colorUsage;
    m_nColors = other.m_nColors;
    if (other.m_palette.GetSafeHandle())
        m_palette.Attach(other.m_palette.Detach());
    m_useDrawDib = useDrawDib;
    other.m_hBitmap = NULL;
    other.m_pBits = NULL;
    other.Release();
}

UINT CDIBSection::ColorCountForBits(int bitCount)
{
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

PALETTEENTRY CDIBSection::DefaultPaletteEntry(int index)
{
    return Defaults().entries[index & 255];
}

BOOL CDIBSection::MakeDefaultPalette(CPalette& palette, int size)
{
    LogPalette256 lp;
    lp.palVersion = 0x300;
    const PALETTEENTRY* table = Defaults().entries;
    if (size == 1 || size == 2) {
        lp.palNumEntries = 2;
        lp.palPalEntry[0] = table[0];
        lp.palPalEntry[1] = table[255];
    } else if (size >= 3 && size <= 16) {
        lp.palNumEntries = 16;
        for (int i = 0; i < 8; ++i) {
            lp.palPalEntry[i] = table[i];
            lp.palPalEntry[8 + i] = table[248 + i];
        }
    } else {
        lp.palNumEntries = 256;
        std::memcpy(lp.palPalEntry, table, sizeof(lp.palPalEntry));
    }
    palette.DeleteObject();
    return palette.CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
}

BOOL CDIBSection::SetLogPalette(const LOGPALETTE* logPalette)
{
    if (!logPalette || logPalette->palNumEntries < 1 || logPalette->palNumEntries > 256) {
        BuildPaletteFromColors();
        return FALSE;
    }
    HPALETTE created = ::CreatePalette(logPalette);
    if (!created) {
        BuildPaletteFromColors();
        return FALSE;
    }
    ReleaseMemDC();   // the old palette may be selected there
    m_palette.DeleteObject();
    m_palette.Attach(created);
    if (m_nColors != 0) {
        RGBQUAD quads[256];
        for (int i = 0; i < logPalette->palNumEntries; ++i) {
            const PALETTEENTRY& e = logPalette->palPalEntry[i];
            quads[i].rgbRed = e.peRed;
            quads[i].rgbGreen = e.peGreen;
            quads[i].rgbBlue = e.peBlue;
            quads[i].rgbReserved = 0;
        }
        SetHeaderColors(logPalette->palNumEntries, quads);
    }
    return TRUE;
}

BOOL CDIBSection::SetPalette(CPalette* palette)
{
    if (!palette || !palette->GetSafeHandle())
        return FALSE;
    const int n = palette->GetEntryCount();
    if (n < 1 || n > 256)
        return FALSE;
    LogPalette256 lp;
    lp.palVersion = 0x300;
    lp.palNumEntries = (WORD)n;
    palette->GetPaletteEntries(0, n, lp.palPalEntry);
    return SetLogPalette(reinterpret_cast<LOGPALETTE*>(&lp));
}

LOGPALETTE* CDIBSection::GetLogPalette()
{
    if (!m_palette.GetSafeHandle())
        return NULL;
    const int n = std::min(m_palette.GetEntryCount(), 256);
    s_logPalette.palVersion = 0x300;
    s_logPalette.palNumEntries = (WORD)n;
    m_palette.GetPaletteEntries(0, n, s_logPalette.palPalEntry);
    return reinterpret_cast<LOGPALETTE*>(&s_logPalette);
}

BOOL CDIBSection::SetHeaderColors(UINT count, const RGBQUAD* colors)
{
    if (!colors || count == 0 || count > 256 || m_nColors == 0)
        return FALSE;
    UINT limit = m_info.hdr.biClrUsed;
    if (limit == 0)
        limit = 1u << std::min(8, m_info.hdr.biPlanes * m_info.hdr.biBitCount);
    const UINT n = std::min(std::min(count, limit), 256u);
    for (UINT i = 0; i < n; ++i) {
        m_info.colors[i] = colors[i];
        m_info.colors[i].rgbReserved = 0;
    }
    return TRUE;
}

BOOL CDIBSection::SetSectionColors(UINT count, const RGBQUAD* colors)
{
    if (!colors || count == 0 || count > 256 || m_nColors == 0 || !m_hBitmap)
        return FALSE;
    CDC* dc = GetMemDC(NULL, FALSE);
    if (!dc)
        return FALSE;
    const UINT set = ::SetDIBColorTable(dc->m_hDC, 0, std::min(count, m_nColors), colors);
    ReleaseMemDC();
    return set != 0;
}

BOOL CDIBSection::BuildPaletteFromColors()
{
    ReleaseMemDC();
    m_palette.DeleteObject();
    if (m_nColors == 0)
        return MakeDefaultPalette(m_palette, 256);
    LogPalette256 lp;
    std::memset(&lp, 0, sizeof(lp));
    lp.palVersion = 0x300;
    lp.palNumEntries = (WORD)m_nColors;
    UINT read = 0;
    RGBQUAD quads[256];
    if (CDC* dc = GetMemDC(NULL, FALSE)) {
        read = ::GetDIBColorTable(dc->m_hDC, 0, m_nColors, quads);
        ReleaseMemDC();
    }
    if (read == 0)
        return MakeDefaultPalette(m_palette, 256);
    for (UINT i = 0; i < read; ++i)
        lp.palPalEntry[i] = Entry(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue);
    if (m_palette.CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp)))
        return TRUE;
    return MakeDefaultPalette(m_palette, 256);
}

void CDIBSection::SetUseDrawDib(BOOL use)
{
    m_useDrawDib = use;
    if (!use)
        CloseDrawDib();
}

BOOL CDIBSection::UsesDrawDib() const
{
    return m_useDrawDib && m_info.hdr.biBitCount > 8;
}

HBITMAP CDIBSection::CreateSection(HDC dc)
{
    if (s_failSections > 0) {
        if (s_skipBeforeFailing > 0) {
            --s_skipBeforeFailing;
        } else {
            --s_failSections;
            return NULL;
        }
    }
    void* bits = NULL;
    HBITMAP section = ::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&m_info), m_colorUsage, &bits, NULL, 0);
    if (!section || !bits) {
        if (section)
            ::DeleteObject(section);
        return NULL;
    }
    m_pBits = static_cast<BYTE*>(bits);
    return section;
}

BOOL CDIBSection::BuildBlank(int width, int height, UINT planes, UINT bitCount, const void* bits,
                             const LOGPALETTE* logPalette)
{
    m_nColors = ColorCountForBits((int)(planes * bitCount));
    BITMAPINFOHEADER& h = m_info.hdr;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = (WORD)bitCount;
    h.biCompression = BI_RGB;
    h.biSizeImage = (DWORD)ImageBytesFor(width, height, (int)bitCount);
    m_colorUsage = DIB_RGB_COLORS;

    auto applyPalette = [&]() {
        if (logPalette) {
            SetLogPalette(logPalette);
        } else {
            CPalette defaults;
            MakeDefaultPalette(defaults, m_nColors ? (int)m_nColors : 256);
            SetPalette(&defaults);
        }
    };
    applyPalette();

    {
        ScreenDC screen;
        HDC dc = ::CreateCompatibleDC(screen.Get());
        if (!dc)
            return FALSE;
        HPALETTE oldPal = NULL;
        if (m_palette.GetSafeHandle()) {
            oldPal = ::SelectPalette(dc, (HPALETTE)m_palette.GetSafeHandle(), FALSE);
            ::RealizePalette(dc);
        }
        m_hBitmap = CreateSection(dc);
        if (oldPal)
            ::SelectPalette(dc, oldPal, FALSE);
        ::DeleteDC(dc);
    }
    if (!m_hBitmap)
        return FALSE;

    // The colour table now lives in the section too; the palette step once
    // more keeps header, section and palette in step.
    applyPalette();
    if (h.biSizeImage == 0)
        h.biSizeImage = (DWORD)ImageBytesFor(width, height, (int)bitCount);

    CRect all(0, 0, width + 1, height + 1);
    FillRect(&all, RGB(255, 255, 255));
    if (bits) {
        ScreenDC screen;
        ::SetDIBits(screen.Get(), m_hBitmap, 0, (UINT)height, bits, reinterpret_cast<BITMAPINFO*>(&m_info),
                    m_colorUsage);
    }
    return TRUE;
}

BOOL CDIBSection::Create(int width, int height, UINT planes, UINT bitCount, const void* bits,
                         const LOGPALETTE* logPalette)
{
    if (planes != 1 || !ValidFormat(width, height, (int)bitCount))
        return FALSE;
    CDIBSection made;
    if (!made.BuildBlank(width, height, planes, bitCount, bits, logPalette)) {
        Release();
        return FALSE;
    }
    TakeFrom(made);
    return TRUE;
}

BOOL CDIBSection::BuildFromInfo(const BITMAPINFO* info, const void* bits)
{
    if (!info || !bits)
        return FALSE;
    const BITMAPINFOHEADER& src = info->bmiHeader;
    if (src.biSize < sizeof(BITMAPINFOHEADER) || src.biCompression != BI_RGB || src.biPlanes != 1)
        return FALSE;
    if (!ValidFormat(src.biWidth, src.biHeight, src.biBitCount))
        return FALSE;

    m_nColors = ColorCountForBits(src.biBitCount);
    m_info.hdr = src;
    m_info.hdr.biSize = sizeof(BITMAPINFOHEADER);
    // The pixel count comes from size and depth: the caller's biSizeImage is
    // not trusted, and a short colour table is not read past its end.
    m_info.hdr.biSizeImage = (DWORD)ImageBytesFor(src.biWidth, src.biHeight, src.biBitCount);
    UINT tableEntries = m_nColors;
    if (src.biClrUsed != 0 && src.biClrUsed < tableEntries)
        tableEntries = src.biClrUsed;
    m_info.hdr.biClrUsed = src.biClrUsed > m_nColors ? m_nColors : src.biClrUsed;
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + src.biSize);
    if (tableEntries)
        std::memcpy(m_info.colors, table, tableEntries * sizeof(RGBQUAD));
    m_colorUsage = DIB_RGB_COLORS;

    {
        ScreenDC screen;
        m_hBitmap = CreateSection(screen.Get());
    }
    if (!m_hBitmap)
        return FALSE;
    ::GdiFlush();
    std::memcpy(m_pBits, bits, m_info.hdr.biSizeImage);
    BuildPaletteFromColors();
    return TRUE;
}

BOOL CDIBSection::CreateFromInfo(const BITMAPINFO* info, const void* bits)
{
    CDIBSection made;
    if (!made.BuildFromInfo(info, bits))
        return FALSE;
    TakeFrom(made);
    return TRUE;
}

BOOL CDIBSection::CreateFromBitmap(HBITMAP bitmap, CPalette* palette)
{
    BITMAP bm;
    if (!bitmap || ::GetObjectA(bitmap, sizeof(bm), &bm) == 0)
        return FALSE;
    const int width = bm.bmWidth;
    const int height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    int bitCount = bm.bmBitsPixel * bm.bmPlanes;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24)
        bitCount = 32;
    if (!ValidFormat(width, height, bitCount))
        return FALSE;

    CDIBSection made;
    made.m_nColors = ColorCountForBits(bitCount);
    BITMAPINFOHEADER& h = made.m_info.hdr;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = (WORD)bitCount;
    h.biCompression = BI_RGB;
    h.biSizeImage = (DWORD)ImageBytesFor(width, height, bitCount);
    made.m_colorUsage = DIB_RGB_COLORS;
    ScreenDC screen;
    if (made.m_nColors)
        ::GetDIBits(screen.Get(), bitmap, 0, 0, NULL, reinterpret_cast<BITMAPINFO*>(&made.m_info), DIB_RGB_COLORS);
    h.biSizeImage = (DWORD)ImageBytesFor(width, height, bitCount);
    h.biCompression = BI_RGB;
    if (palette)
        made.SetPalette(palette);

    HPALETTE oldPal = NULL;
    if (made.m_palette.GetSafeHandle())
        oldPal = ::SelectPalette(screen.Get(), (HPALETTE)made.m_palette.GetSafeHandle(), FALSE);
    made.m_hBitmap = made.CreateSection(screen.Get());
    if (oldPal)
        ::SelectPalette(screen.Get(), oldPal, FALSE);
    if (!made.m_hBitmap)
        return FALSE;
    if (!palette)
        made.BuildPaletteFromColors();

    BOOL copied = FALSE;
    {
        ScopedMemDC src(screen.Get(), bitmap);
        ScopedMemDC dst(screen.Get(), made.m_hBitmap);
        if (src.Get() && dst.Get())
            copied = ::BitBlt(dst.Get(), 0, 0, width, height, src.Get(), 0, 0, SRCCOPY);
    }
    if (!copied)
        return FALSE;
    TakeFrom(made);
    return TRUE;
}

BOOL CDIBSection::CopyFrom(const CDIBSection& other)
{
    if (&other == this)
        return m_hBitmap != NULL;
    if (!other.m_hBitmap)
        return FALSE;
    ::GdiFlush();
    // Wine 8: the first write to each page of a new section is slow (about
    // 100 ms for 8 MB), so an image of the same format takes the pixels into
    // the section it already has; nothing needs to be made, nothing can fail.
    const BITMAPINFOHEADER& mine = m_info.hdr;
    const BITMAPINFOHEADER& theirs = other.m_info.hdr;
    if (m_hBitmap && m_pBits && mine.biWidth == theirs.biWidth && mine.biHeight == theirs.biHeight &&
        mine.biBitCount == theirs.biBitCount && mine.biSizeImage == theirs.biSizeImage) {
        ReleaseMemDC();
        std::memcpy(m_pBits, other.m_pBits, mine.biSizeImage);
        if (m_nColors && std::memcmp(m_info.colors, other.m_info.colors, m_nColors * sizeof(RGBQUAD)) != 0) {
            std::memcpy(m_info.colors, other.m_info.colors, m_nColors * sizeof(RGBQUAD));
            SetSectionColors(m_nColors, m_info.colors);
            BuildPaletteFromColors();
        }
        m_info.hdr.biClrUsed = theirs.biClrUsed;
        m_useDrawDib = other.m_useDrawDib;
        return TRUE;
    }
    CDIBSection made;
    if (!made.BuildFromInfo(other.GetBitmapInfo(), other.m_pBits))
        return FALSE;
    TakeFrom(made);
    m_useDrawDib = other.m_useDrawDib;
    return TRUE;
}

BOOL CDIBSection::ChangeFormat(int width, int height, UINT planes, UINT bitCount, const CPoint* origin)
{
    if (!m_hBitmap)
        return FALSE;
    LogPalette256 lp;
    lp.palVersion = 0x300;
    const LOGPALETTE* newPalette = NULL;
    CPalette defaults;
    const int depth = (int)(planes * bitCount);
    if (depth == 1 || depth == 4) {
        MakeDefaultPalette(defaults, depth == 1 ? 2 : 16);
        lp.palNumEntries = (WORD)defaults.GetEntryCount();
        defaults.GetPaletteEntries(0, lp.palNumEntries, lp.palPalEntry);
        newPalette = reinterpret_cast<LOGPALETTE*>(&lp);
    } else if (depth == 8) {
        lp.palNumEntries = 256;
        std::memcpy(lp.palPalEntry, Defaults().entries, sizeof(lp.palPalEntry));
        if (m_palette.GetSafeHandle()) {
            const int n = std::min(m_palette.GetEntryCount(), 256);
            m_palette.GetPaletteEntries(0, n, lp.palPalEntry);
            newPalette = reinterpret_cast<LOGPALETTE*>(&lp);
        }
    } else if (m_palette.GetSafeHandle()) {
        lp.palNumEntries = (WORD)std::min(m_palette.GetEntryCount(), 256);
        m_palette.GetPaletteEntries(0, lp.palNumEntries, lp.palPalEntry);
        newPalette = reinterpret_cast<LOGPALETTE*>(&lp);
    }

    CDIBSection made;
    if (!made.Create(width, height, planes, bitCount, NULL, newPalette))
        return FALSE;
    CRect all(0, 0, width + 1, height + 1);
    made.FillRect(&all, 0x02FFFFFF);
    CDC* dc = made.GetMemDC();
    if (!dc)
        return FALSE;
    HPALETTE oldPal = NULL;
    if (m_palette.GetSafeHandle()) {
        oldPal = ::SelectPalette(dc->m_hDC, (HPALETTE)m_palette.GetSafeHandle(), FALSE);
        ::RealizePalette(dc->m_hDC);
    }
    const BOOL drawn = Draw(dc, 0, 0, origin, NULL);
    if (oldPal)
        ::SelectPalette(dc->m_hDC, oldPal, FALSE);
    made.ReleaseMemDC();
    if (!drawn)
        return FALSE;
    TakeFrom(made);
    return TRUE;
}

CDC* CDIBSection::GetMemDC(CDC* pDC, BOOL selectPalette)
{
    ReleaseMemDC();
    if (!m_hBitmap)
        return NULL;
    if (!m_memDC.Attach(::CreateCompatibleDC(pDC ? pDC->m_hDC : NULL)))
        return NULL;
    m_oldBitmap = ::SelectObject(m_memDC.m_hDC, m_hBitmap);
    if (!m_oldBitmap) {
        m_memDC.DeleteDC();
        return NULL;
    }
    if (selectPalette && IsPaletteDevice(m_memDC.m_hDC)) {
        if (!m_palette.GetSafeHandle()) {
            ReleaseMemDC();
            BuildPaletteFromColors();
            return GetMemDC(pDC, selectPalette);
        }
        m_oldPalette = ::SelectPalette(m_memDC.m_hDC, (HPALETTE)m_palette.GetSafeHandle(), FALSE);
        ::RealizePalette(m_memDC.m_hDC);
    }
    return &m_memDC;
}

void CDIBSection::ReleaseMemDC()
{
    if (!m_memDC.m_hDC)
        return;
    ::GdiFlush();
    if (m_oldBitmap)
        ::SelectObject(m_memDC.m_hDC, m_oldBitmap);
    if (m_oldPalette)
        ::SelectPalette(m_memDC.m_hDC, m_oldPalette, FALSE);
    m_oldBitmap = NULL;
    m_oldPalette = NULL;
    m_memDC.DeleteDC();
}

namespace {

// A pen or brush selected into the image's DC for one drawing operation.
struct PenAndBrush {
    HDC dc;
    HPEN pen;
    HBRUSH brush;
    HGDIOBJ oldPen;
    HGDIOBJ oldBrush;
    PenAndBrush(HDC d, int penWidth, COLORREF colour, bool filled)
        : dc(d), pen(NULL), brush(NULL), oldPen(NULL), oldBrush(NULL)
    {
        if (filled) {
            brush = ::CreateSolidBrush(colour);
            if (!brush)
                return;
            oldBrush = ::SelectObject(dc, brush);
            oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
        } else {
            pen = ::CreatePen(PS_SOLID, penWidth, colour);
            if (!pen)
                return;
            oldPen = ::SelectObject(dc, pen);
            oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        }
    }
    bool Ok() const { return oldPen && oldBrush; }
    ~PenAndBrush()
    {
        if (oldPen)
            ::SelectObject(dc, oldPen);
        if (oldBrush)
            ::SelectObject(dc, oldBrush);
        if (pen)
            ::DeleteObject(pen);
        if (brush)
            ::DeleteObject(brush);
    }
};

// Corners in order, right and bottom made exclusive.
CRect OrderedInclusive(int x1, int y1, int x2, int y2)
{
    return CRect(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1, std::max(y1, y2) + 1);
}

}  // namespace

BOOL CDIBSection::DrawDot(int x, int y, int penWidth, COLORREF colour)
{
    CDC* dc = GetMemDC();
    if (!dc)
        return FALSE;
    BOOL ok;
    if (penWidth <= 1) {
        ok = ::SetPixelV(dc->m_hDC, x, y, colour);
    } else {
        PenAndBrush tools(dc->m_hDC, penWidth, colour, false);
        ok = tools.Ok() && ::Ellipse(dc->m_hDC, x, y, x + 1, y + 1);
    }
    ReleaseMemDC();
    return ok;
}

// GDI leaves a line's end pixel out; it is set here so both ends are drawn.
BOOL CDIBSection::DrawLine(int x1, int y1, int x2, int y2, int penWidth, COLORREF colour)
{
    CDC* dc = GetMemDC();
    if (!dc)
        return FALSE;
    BOOL ok;
    if (penWidth <= 1 && x1 == x2 && y1 == y2) {
        ok = ::SetPixelV(dc->m_hDC, x1, y1, colour);
    } else {
        PenAndBrush tools(dc->m_hDC, std::max(penWidth, 1), colour, false);
        ok = tools.Ok() && ::MoveToEx(dc->m_hDC, x1, y1, NULL) && ::LineTo(dc->m_hDC, x2, y2);
        if (ok)
            ::SetPixelV(dc->m_hDC, x2, y2, colour);
    }
    ReleaseMemDC();
    return ok;
}

BOOL CDIBSection::DrawRectangle(int x1, int y1, int x2, int y2, int penWidth, COLORREF colour, BOOL filled,
                                BOOL rounded)
{
    CDC* dc = GetMemDC();
    if (!dc)
        return FALSE;
    BOOL ok;
    if (penWidth <= 1 && x1 == x2 && y1 == y2) {
        ok = ::SetPixelV(dc->m_hDC, x1, y1, colour);
    } else {
        const CRect r = OrderedInclusive(x1, y1, x2, y2);
        PenAndBrush tools(dc->m_hDC, std::max(penWidth, 1), colour, filled != FALSE);
        if (!tools.Ok())
            ok = FALSE;
        else if (rounded)
            ok = ::RoundRect(dc->m_hDC, r.left, r.top, r.right, r.bottom, r.Width() / 3, r.Height() / 3);
        else
            ok = ::Rectangle(dc->m_hDC, r.left, r.top, r.right, r.bottom);
    }
    ReleaseMemDC();
    return ok;
}

BOOL CDIBSection::DrawEllipse(int x1, int y1, int x2, int y2, int penWidth, COLORREF colour, BOOL filled)
{
    CDC* dc = GetMemDC();
    if (!dc)
        return FALSE;
    const CRect r = OrderedInclusive(x1, y1, x2, y2);
    PenAndBrush tools(dc->m_hDC, std::max(penWidth, 1), colour, filled != FALSE);
    const BOOL ok = tools.Ok() && ::Ellipse(dc->m_hDC, r.left, r.top, r.right, r.bottom);
    ReleaseMemDC();
    return ok;
}

BOOL CDIBSection::DrawTextIn(LPCTSTR text, const RECT& rect, UINT format, COLORREF colour, CFont* font)
{
    if (!text || !*text)
        return TRUE;
    CDC* dc = GetMemDC();
    if (!dc)
        return FALSE;
    CRect r(rect);
    r.NormalizeRect();
    const HDC h = dc->m_hDC;
    const COLORREF oldColour = ::SetTextColor(h, colour == 0xFF000000 ? ::GetSysColor(COLOR_WINDOWTEXT) : colour);
    const int oldMode = ::SetBkMode(h, TRANSPARENT);
    HGDIOBJ oldFont = font && font->GetSafeHandle() ? ::SelectObject(h, font->GetSafeHandle()) : NULL;
    const int drawn = ::DrawTextA(h, text, -1, &r, format);
    if (oldFont)
        ::SelectObject(h, oldFont);
    ::SetBkMode(h, oldMode);
    ::SetTextColor(h, oldColour);
    ReleaseMemDC();
    return drawn > 0;
}

BOOL CDIBSection::FloodFill(int x, int y, COLORREF colour)
{
    if (x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight())
        return FALSE;
    CDC* dc = GetMemDC();
    if (!dc)
        return FALSE;
    const COLORREF found = ::GetPixel(dc->m_hDC, x, y);
    PenAndBrush tools(dc->m_hDC, 1, colour, true);
    const BOOL ok = tools.Ok() && found != CLR_INVALID && ::ExtFloodFill(dc->m_hDC, x, y, found, FLOODFILLSURFACE);
    ReleaseMemDC();
    return ok;
}

BOOL CDIBSection::FillRect(const RECT* rect, COLORREF colour)
{
    if (!rect)
        return FALSE;
    CDC* dc = GetMemDC();
    if (!dc)
        return FALSE;
    HBRUSH brush = ::CreateSolidBrush(colour);
    const BOOL ok = brush && ::FillRect(dc->m_hDC, rect, brush);
    if (brush)
        ::DeleteObject(brush);
    ReleaseMemDC();
    return ok;
}

COLORREF CDIBSection::GetPixel(int x, int y)
{
    CDC* dc = GetMemDC();
    if (!dc)
        return CLR_INVALID;
    const COLORREF c = ::GetPixel(dc->m_hDC, x, y);
    ReleaseMemDC();
    return c;
}

namespace {

// The part of an image that a draw copies: the origin (default 0, 0) and the
// size (default the image) cut to the image.
CRect SourcePart(const CSize& image, const CPoint* origin, const CSize* size)
{
    CPoint o = origin ? *origin : CPoint(0, 0);
    CSize s = size ? *size : image;
    CRect part(o.x, o.y, o.x + s.cx, o.y + s.cy);
    CRect bounds(0, 0, image.cx, image.cy);
    CRect cut;
    cut.IntersectRect(&part, &bounds);
    return cut;
}

}  // namespace

BOOL CDIBSection::Draw(CDC* pDC, int x, int y, const CPoint* srcOrigin, const CSize* size)
{
    if (!m_hBitmap || !pDC || !pDC->m_hDC)
        return FALSE;
    const CRect part = SourcePart(GetSize(), srcOrigin, size);
    if (part.IsRectEmpty())
        return TRUE;   // nothing of the image lies in the part asked for
    const HDC target = pDC->m_hDC;
    if (UsesDrawDib()) {
        if (!m_hDrawDib)
            m_hDrawDib = ::DrawDibOpen();
        if (m_hDrawDib) {
            ::GdiFlush();
            ::DrawDibSetPalette(m_hDrawDib, (HPALETTE)m_palette.GetSafeHandle());
            ::DrawDibRealize(m_hDrawDib, target, FALSE);
            if (::DrawDibDraw(m_hDrawDib, target, x, y, part.Width(), part.Height(), &m_info.hdr, m_pBits,
                              part.left, part.top, part.Width(), part.Height(), 0))
                return TRUE;
        }
    }
    if (pDC == &m_memDC)   // drawing the image onto itself
        return ::BitBlt(target, x, y, part.Width(), part.Height(), target, part.left, part.top, SRCCOPY);
    ReleaseMemDC();
    ScopedMemDC src(target, m_hBitmap);
    if (!src.Get())
        return FALSE;
    HPALETTE oldPal = NULL;
    if (IsPaletteDevice(target) && m_palette.GetSafeHandle()) {
        oldPal = ::SelectPalette(target, (HPALETTE)m_palette.GetSafeHandle(), FALSE);
        ::RealizePalette(target);
    }
    const BOOL ok = ::BitBlt(target, x, y, part.Width(), part.Height(), src.Get(), part.left, part.top, SRCCOPY);
    if (oldPal)
        ::SelectPalette(target, oldPal, FALSE);
    return ok;
}

BOOL CDIBSection::Stretch(CDC* pDC, int x, int y, int width, int height)
{
    if (!m_hBitmap || !pDC || !pDC->m_hDC)
        return FALSE;
    const HDC target = pDC->m_hDC;
    ::SetStretchBltMode(target, COLORONCOLOR);
    if (UsesDrawDib()) {
        if (!m_hDrawDib)
            m_hDrawDib = ::DrawDibOpen();
        if (m_hDrawDib) {
            ::GdiFlush();
            ::DrawDibSetPalette(m_hDrawDib, (HPALETTE)m_palette.GetSafeHandle());
            ::DrawDibRealize(m_hDrawDib, target, FALSE);
            if (::DrawDibDraw(m_hDrawDib, target, x, y, width, height, &m_info.hdr, m_pBits, 0, 0, GetWidth(),
                              GetHeight(), 0))
                return TRUE;
        }
    }
    ReleaseMemDC();
    ScopedMemDC src(target, m_hBitmap);
    if (!src.Get())
        return FALSE;
    HPALETTE oldPal = NULL;
    if (IsPaletteDevice(target) && m_palette.GetSafeHandle()) {
        oldPal = ::SelectPalette(target, (HPALETTE)m_palette.GetSafeHandle(), FALSE);
        ::RealizePalette(target);
    }
    const BOOL ok = ::StretchBlt(target, x, y, width, height, src.Get(), 0, 0, GetWidth(), GetHeight(), SRCCOPY);
    if (oldPal)
        ::SelectPalette(target, oldPal, FALSE);
    return ok;
}

namespace {

// Copies `part` of the section onto the target at (x, y, width, height),
// leaving out the pixels of the transparent colour: a copy of the part with
// those pixels blacked out is ORed onto the target after a monochrome mask
// has cleared the opaque area there.
BOOL BlitTransparent(HDC target, HBITMAP section, HPALETTE palette, const CRect& part, int x, int y, int width,
                     int height, COLORREF transparent)
{
    const int w = part.Width(), h = part.Height();
    // Palette-relative black and white on palette devices, plain ones elsewhere.
    const bool paletted = IsPaletteDevice(target);
    const COLORREF black = paletted ? 0x02000000 : RGB(0, 0, 0);
    const COLORREF white = paletted ? 0x02FFFFFF : RGB(255, 255, 255);
    // The copy is a 32-bit DIB, not a bitmap compatible with the target: one
    // compatible with an indexed DIB takes a colour table of its own, so its
    // indexes would mean other colours when ORed into the target.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* colourBits = NULL;
    HBITMAP colour = ::CreateDIBSection(target, &bi, DIB_RGB_COLORS, &colourBits, NULL, 0);
    HBITMAP mask = ::CreateBitmap(w, h, 1, 1, NULL);
    BOOL ok = colour && mask;
    if (ok) {
        ScopedMemDC src(target, section);
        ScopedMemDC img(target, colour);
        ScopedMemDC msk(target, mask);
        ok = src.Get() && img.Get() && msk.Get();
        HPALETTE oldTarget = NULL;
        if (ok && palette && IsPaletteDevice(target)) {
            ::SelectPalette(src.Get(), palette, FALSE);
            ::RealizePalette(src.Get());
            ::SelectPalette(img.Get(), palette, FALSE);
            ::RealizePalette(img.Get());
            oldTarget = ::SelectPalette(target, palette, FALSE);
            ::RealizePalette(target);
        }
        ok = ok && ::BitBlt(img.Get(), 0, 0, w, h, src.Get(), part.left, part.top, SRCCOPY);
        if (ok) {
            ::SetBkColor(img.Get(), transparent);
            ok = ::BitBlt(msk.Get(), 0, 0, w, h, img.Get(), 0, 0, SRCCOPY);
        }
        if (ok) {
            ::SetBkColor(img.Get(), black);
            ::SetTextColor(img.Get(), white);
            ok = ::BitBlt(img.Get(), 0, 0, w, h, msk.Get(), 0, 0, SRCAND);
        }
        if (ok) {
            const COLORREF oldBk = ::SetBkColor(target, white);
            const COLORREF oldText = ::SetTextColor(target, black);
            const int oldMode = ::SetStretchBltMode(target, COLORONCOLOR);
            if (width == w && height == h)
                ok = ::BitBlt(target, x, y, w, h, msk.Get(), 0, 0, SRCAND) &&
                     ::BitBlt(target, x, y, w, h, img.Get(), 0, 0, SRCPAINT);
            else
                ok = ::StretchBlt(target, x, y, width, height, msk.Get(), 0, 0, w, h, SRCAND) &&
                     ::StretchBlt(target, x, y, width, height, img.Get(), 0, 0, w, h, SRCPAINT);
            ::SetStretchBltMode(target, oldMode);
            ::SetTextColor(target, oldText);
            ::SetBkColor(target, oldBk);
        }
        if (oldTarget)
            ::SelectPalette(target, oldTarget, FALSE);
    }
    if (colour)
        ::DeleteObject(colour);
    if (mask)
        ::DeleteObject(mask);
    return ok;
}

}  // namespace

BOOL CDIBSection::DrawTransparent(CDC* pDC, int x, int y, COLORREF transparent, const CPoint* srcOrigin,
                                  const CSize* size)
{
    if (transparent == 0xFFFFFFFF)
        return Draw(pDC, x, y, srcOrigin, size);
    if (!m_hBitmap || !pDC || !pDC->m_hDC)
        return FALSE;
    const CRect part = SourcePart(GetSize(), srcOrigin, size);
    if (part.IsRectEmpty())
        return TRUE;
    ReleaseMemDC();
    return BlitTransparent(pDC->m_hDC, m_hBitmap, (HPALETTE)m_palette.GetSafeHandle(), part, x, y, part.Width(),
                           part.Height(), transparent);
}

BOOL CDIBSection::StretchTransparent(CDC* pDC, int x, int y, int width, int height, COLORREF transparent)
{
    if (transparent == 0xFFFFFFFF)
        return Stretch(pDC, x, y, width, height);
    if (!m_hBitmap || !pDC || !pDC->m_hDC)
        return FALSE;
    ReleaseMemDC();
    return BlitTransparent(pDC->m_hDC, m_hBitmap, (HPALETTE)m_palette.GetSafeHandle(),
                           CRect(0, 0, GetWidth(), GetHeight()), x, y, width, height, transparent);
}

UINT CDIBSection::CanPaste()
{
    UINT formats[1] = { CF_BITMAP };
    const int found = ::GetPriorityClipboardFormat(formats, 1);
    return found > 0 ? (UINT)found : 0;
}

CSize CDIBSection::GetClipboardBitmapSize()
{
    CSize size(0, 0);
    if (!::IsClipboardFormatAvailable(CF_BITMAP) || !::OpenClipboard(NULL))
        return size;
    BITMAP bm;
    HBITMAP bitmap = (HBITMAP)::GetClipboardData(CF_BITMAP);
    if (bitmap && ::GetObjectA(bitmap, sizeof(bm), &bm)) {
        size.cx = bm.bmWidth;
        size.cy = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    }
    ::CloseClipboard();
    return size;
}

// Every clipboard call is checked: a caller that cuts clears pixels only when
// they really reached the clipboard.
BOOL CDIBSection::CopyToClipboard(const RECT* rect, HWND owner)
{
    if (!m_hBitmap)
        return FALSE;
    CRect part(0, 0, GetWidth(), GetHeight());
    if (rect) {
        CRect asked(*rect);
        asked.NormalizeRect();
        part.IntersectRect(&asked, CRect(0, 0, GetWidth(), GetHeight()));
    }
    if (part.IsRectEmpty())
        return FALSE;

    HBITMAP copy = NULL;
    {
        ScreenDC screen;
        copy = ::CreateCompatibleBitmap(screen.Get(), part.Width(), part.Height());
        if (!copy)
            return FALSE;
        ScopedMemDC mem(screen.Get(), copy);
        CDC memDC;
        BOOL drawn = FALSE;
        if (mem.Get() && memDC.Attach(mem.Get())) {
            const CPoint origin = part.TopLeft();
            const CSize size = part.Size();
            drawn = Draw(&memDC, 0, 0, &origin, &size);
            memDC.Detach();
        }
        if (!drawn) {
            ::DeleteObject(copy);
            return FALSE;
        }
    }
    HPALETTE palette = NULL;
    if (LOGPALETTE* lp = GetLogPalette())
        palette = ::CreatePalette(lp);

    auto fail = [&]() {
        if (copy)
            ::DeleteObject(copy);
        if (palette)
            ::DeleteObject(palette);
        return FALSE;
    };
    if (!::OpenClipboard(owner))
        return fail();
    if (!::EmptyClipboard()) {
        ::CloseClipboard();
        return fail();
    }
    if (palette) {
        if (!::SetClipboardData(CF_PALETTE, palette)) {
            ::CloseClipboard();
            return fail();
        }
        palette = NULL;   // the clipboard owns it now
    }
    if (!::SetClipboardData(CF_BITMAP, copy)) {
        ::EmptyClipboard();
        ::CloseClipboard();
        return fail();
    }
    copy = NULL;
    return ::CloseClipboard();
}

BOOL CDIBSection::Paste(const RECT* rect, BOOL takePalette)
{
    if (!m_hBitmap || !::IsClipboardFormatAvailable(CF_BITMAP))
        return FALSE;
    if (!::OpenClipboard(NULL))
        return FALSE;
    BOOL ok = FALSE;
    HBITMAP bitmap = (HBITMAP)::GetClipboardData(CF_BITMAP);
    BITMAP bm;
    if (bitmap && ::GetObjectA(bitmap, sizeof(bm), &bm)) {
        CRect dest = rect ? CRect(*rect) : CRect(0, 0, GetWidth(), GetHeight());
        dest.NormalizeRect();
        HPALETTE clipPalette = ::IsClipboardFormatAvailable(CF_PALETTE) ? (HPALETTE)::GetClipboardData(CF_PALETTE)
                                                                        : NULL;
        if (clipPalette && takePalette)
            SetPalette(CPalette::FromHandle(clipPalette));
        if (CDC* dc = GetMemDC()) {
            const HDC h = dc->m_hDC;
            const int saved = ::SaveDC(h);
            ::IntersectClipRect(h, dest.left, dest.top, dest.right, dest.bottom);
            if (clipPalette && takePalette && m_palette.GetSafeHandle()) {
                ::SelectPalette(h, (HPALETTE)m_palette.GetSafeHandle(), FALSE);
                ::RealizePalette(h);
            }
            ScopedMemDC src(h, bitmap);
            if (src.Get()) {
                if (clipPalette) {
                    ::SelectPalette(src.Get(), clipPalette, FALSE);
                    ::RealizePalette(src.Get());
                }
                const int height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
                ok = ::BitBlt(h, dest.left, dest.top, bm.bmWidth, height, src.Get(), 0, 0, SRCCOPY);
                if (clipPalette)
                    ::SelectPalette(src.Get(), (HPALETTE)::GetStockObject(DEFAULT_PALETTE), FALSE);
            }
            ::RestoreDC(h, saved);
            ReleaseMemDC();
        }
    }
    ::CloseClipboard();
    return ok;
}

BOOL CDIBSection::PasteTransparent(const RECT* rect, COLORREF transparent, BOOL takePalette)
{
    if (!m_hBitmap)
        return FALSE;
    CRect dest = rect ? CRect(*rect) : CRect(0, 0, GetWidth(), GetHeight());
    dest.NormalizeRect();
    CDIBSection layer;
    if (!layer.Create(dest.Width(), dest.Height(), (UINT)GetPlanes(), (UINT)GetBitCount(), NULL, GetLogPalette()))
        return FALSE;
    if (m_nColors) {
        layer.SetHeaderColors(m_nColors, m_info.colors);
        layer.SetSectionColors(m_nColors, m_info.colors);
    }
    CRect all(0, 0, dest.Width() + 1, dest.Height() + 1);
    layer.FillRect(&all, transparent);
    if (!layer.Paste(NULL, takePalette))
        return FALSE;
    if (takePalette && m_nColors) {
        SetHeaderColors(m_nColors, layer.m_info.colors);
        SetSectionColors(m_nColors, layer.m_info.colors);
        BuildPaletteFromColors();
    }
    CDC* dc = GetMemDC();
    if (!dc)
        return FALSE;
    const BOOL ok = layer.DrawTransparent(dc, dest.left, dest.top, transparent);
    ReleaseMemDC();
    return ok;
}
