#include "catalogue/DataShapeObject.h"

#include "capture/FrameAnnotations.h"
#include "catalogue/CatalogueOb.h"
#include "framework/Exceptions.h"
#include "platform/imaging/Imaging.h"

IMPLEMENT_DYNAMIC(CDataShapeObject, CDataGenericObject)

const char CDataShapeObject::kTypeName[] = "Skorvale Format";

namespace {
const int kIconSize = 32;
const int kIconResourceShape = 28579;   // the shape icon, when rendering fails
}  // namespace

CDataShapeObject::CDataShapeObject()
    : m_transparentColour(0), m_widthPercent(100), m_heightPercent(100), m_keepAspect(1)
{
    m_caption.m_posX = 16;
    m_caption.m_posY = 0;
    m_caption.m_style = 4096;
    m_caption.m_transparent = 1;
    m_caption.m_wordWrap = 1;
    m_caption.m_textColor = 0;
    m_caption.m_backgroundColor = 0xFFFFFF;
    m_caption.m_shadowColor = 0xC0C0C0;
    m_caption.m_outlineColor = 0xFFFFFF;
    m_caption.m_fontHeight = -11;
    m_caption.m_fontWeight = 400;
    m_caption.m_fontItalic = 0;
    m_caption.m_fontUnderline = 0;
    m_caption.m_fontPitchFamily = 0;
    m_caption.m_fontCharSet = 1;
    m_caption.m_faceName = "宋体";
    m_caption.m_rect = RECT{ 0, 0, 0, 0 };
    m_caption.MakeFont();
}

CDataShapeObject::CDataShapeObject(const CDataShapeObject& other)
    : CDataGenericObject(), m_transparentColour(other.m_transparentColour),
      m_widthPercent(other.m_widthPercent), m_heightPercent(other.m_heightPercent),
      m_keepAspect(other.m_keepAspect)
{
    m_id = other.m_id;
    m_x = other.m_x;
    m_y = other.m_y;
    m_opacity = other.m_opacity;
    m_image.Copy(&other.m_image);
    m_caption.Assign(other.m_caption);
}

CDataShapeObject::~CDataShapeObject() {}

void CDataShapeObject::SetScale(int keepAspect, int widthPercent, int heightPercent)
{
    m_widthPercent = widthPercent;
    m_heightPercent = heightPercent;
    m_keepAspect = widthPercent != heightPercent ? 0 : keepAspect;
}

void CDataShapeObject::GetScale(int* keepAspect, int* widthPercent, int* heightPercent) const
{
    if (keepAspect)
        *keepAspect = m_widthPercent != m_heightPercent ? 0 : m_keepAspect;
    if (widthPercent)
        *widthPercent = m_widthPercent;
    if (heightPercent)
        *heightPercent = m_heightPercent;
}

void CDataShapeObject::Exchange(CArchive& ar, DWORD version)
{
    CDataGenericObject::Exchange(ar, version);
    const DWORD major = version >> 24;
    const DWORD minor = (version >> 16) & 0xFF;
    if (major < 2)
        return;
    if (ar.IsStoring()) {
        m_image.Serialize(ar);
        ar << (DWORD)m_transparentColour << (LONG)m_widthPercent << (LONG)m_heightPercent << (DWORD)m_keepAspect;
        m_caption.Serialize(ar);
        return;
    }
    m_image.Serialize(ar);
    if (major < 3) {
        CString obsolete;
        ar >> obsolete;
    }
    DWORD key, keep;
    LONG width, height;
    ar >> key >> width >> height >> keep;
    if (major > 2 || minor >= 2)
        m_caption.Serialize(ar);
    if (major == 2 && minor >= 2) {
        DWORD obsolete;
        ar >> obsolete;
    }
    m_transparentColour = key;
    SetScale((int)keep, width, height);
}

void CDataShapeObject::RenderIcon(HWND, CCatalogueOb* item)
{
    ImgBitmap bitmap;
    ImgInitBitmap(&bitmap);
    HBITMAP colour = NULL, mask = NULL;
    const BITMAPINFOHEADER* header = m_image.GetInfoHeader();
    const bool ok = !m_image.IsEmpty() && header &&
                    ImgBitmapFromDIB(&bitmap, reinterpret_cast<const BITMAPINFO*>(header), m_image.GetBits()) ==
                        IMG_SUCCESS &&
                    ImgMakeIconBitmaps(&bitmap, kIconSize, m_transparentColour, &colour, &mask) == IMG_SUCCESS;
    ImgFreeBitmap(&bitmap);
    if (!ok) {
        item->SetIcon(::LoadIconA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(kIconResourceShape)));
        return;
    }
    item->SetIcon(colour, mask);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
}

BOOL CDataShapeObject::RenderScaled(HDC refDC, HBITMAP* picture, HBITMAP* mask, SIZE* size) const
{
    if (m_image.IsEmpty())
        return FALSE;
    const int w = ::MulDiv(m_image.GetWidth(), m_widthPercent, 100);
    const int h = ::MulDiv(m_image.GetHeight(), m_heightPercent, 100);
    if (w <= 0 || h <= 0)
        return FALSE;
    HBITMAP colour = ::CreateCompatibleBitmap(refDC, w, h);
    HBITMAP mono = ::CreateBitmap(w, h, 1, 1, NULL);
    HDC dc = ::CreateCompatibleDC(refDC);
    HDC maskDC = ::CreateCompatibleDC(refDC);
    if (!colour || !mono || !dc || !maskDC) {
        if (dc)
            ::DeleteDC(dc);
        if (maskDC)
            ::DeleteDC(maskDC);
        if (colour)
            ::DeleteObject(colour);
        if (mono)
            ::DeleteObject(mono);
        return FALSE;
    }
    HGDIOBJ oldColour = ::SelectObject(dc, colour);
    HGDIOBJ oldMask = ::SelectObject(maskDC, mono);
    ::SetStretchBltMode(dc, COLORONCOLOR);
    const_cast<CDib&>(m_image).Stretch(CDC::FromHandle(dc), 0, 0, w, h);
    if (!m_caption.m_text.IsEmpty()) {
        const RECT& r = m_caption.m_rect;
        const RECT scaled = { ::MulDiv(r.left, m_widthPercent, 100), ::MulDiv(r.top, m_heightPercent, 100),
                              ::MulDiv(r.right, m_widthPercent, 100), ::MulDiv(r.bottom, m_heightPercent, 100) };
        DrawCaptionText(dc, scaled, m_caption, m_caption.m_text);
    }
    if (m_transparentColour == kNoKey) {
        ::PatBlt(maskDC, 0, 0, w, h, BLACKNESS);
    } else {
        // Colour to monochrome: pixels of the background colour become 1.
        const COLORREF oldBk = ::SetBkColor(dc, m_transparentColour);
        ::BitBlt(maskDC, 0, 0, w, h, dc, 0, 0, SRCCOPY);
        ::SetBkColor(dc, oldBk);
    }
    ::SelectObject(dc, oldColour);
    ::SelectObject(maskDC, oldMask);
    ::DeleteDC(dc);
    ::DeleteDC(maskDC);
    *picture = colour;
    *mask = mono;
    if (size) {
        size->cx = w;
        size->cy = h;
    }
    return TRUE;
}

int LoadImageFile(const CString& path, CDib& image, COLORREF* transparent, ImgBitmap* holder)
{
    if (transparent)
        *transparent = CDataShapeObject::kNoKey;
    if (path.IsEmpty())
        return 0;
    HCURSOR oldCursor = ::SetCursor(::LoadCursorA(NULL, MAKEINTRESOURCEA(32514)));   // IDC_WAIT
    ImgBitmap own;
    ImgInitBitmap(&own);
    ImgBitmap* bitmap = holder ? holder : &own;
    int ok = 0;
    int index = -1;
    if (ImgLoadFile(path, bitmap, 0, IMG_ORDER_BGR, &index) == IMG_SUCCESS) {
        if (index >= 0 && bitmap->bitsPerPixel <= 8) {
            RGBQUAD palette[256];
            const int entries = 1 << bitmap->bitsPerPixel;
            if (ImgGetPalette(bitmap, 0, entries, palette) == IMG_SUCCESS && index < entries && transparent)
                *transparent = RGB(palette[index].rgbRed, palette[index].rgbGreen, palette[index].rgbBlue);
        }
        HGLOBAL packed = ImgPackedDIBFromBitmap(bitmap);
        if (packed) {
            ok = image.Attach(packed) ? 1 : 0;
            ::GlobalFree(packed);
        }
        if (!ok && transparent)
            *transparent = CDataShapeObject::kNoKey;
    }
    if (!holder)
        ImgFreeBitmap(&own);
    ::SetCursor(oldCursor);
    return ok;
}
