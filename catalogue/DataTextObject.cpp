#include "catalogue/DataTextObject.h"

#include "catalogue/CatalogueOb.h"
#include "framework/Exceptions.h"

#include <string.h>

IMPLEMENT_DYNAMIC(CDataTextObject, CDataGenericObject)

const char CDataTextObject::kTypeName[] = "Skorvale Note";

namespace {
const int kIconSize = 32;
const int kIconResourceText = 323;   // the text-note icon, when drawing fails
}  // namespace

CDataTextObject::CDataTextObject() {}

CDataTextObject::CDataTextObject(const CDataTextObject& other) : CDataGenericObject(), CNoteStyle(other)
{
    m_id = other.m_id;
    m_x = other.m_x;
    m_y = other.m_y;
    m_opacity = other.m_opacity;
}

CDataTextObject::CDataTextObject(const CNoteStyle& style) : CDataGenericObject(), CNoteStyle(style) {}

CDataTextObject::~CDataTextObject() {}

void CDataTextObject::CopyFrom(const CDataTextObject& other)
{
    m_id = other.m_id;
    m_x = other.m_x;
    m_y = other.m_y;
    m_opacity = other.m_opacity;
    CopyBody(other);
}

void CDataTextObject::Exchange(CArchive& ar, DWORD version)
{
    CDataGenericObject::Exchange(ar, version);
    if ((version >> 24) < 3)
        return;
    if (ar.IsStoring()) {
        ar << (DWORD)m_textColor << (DWORD)m_backgroundColor << (LONG)m_fontHeight << (LONG)m_fontWeight
           << (LONG)m_fontItalic << (LONG)m_fontUnderline << (LONG)m_fontStrikeOut << (LONG)m_fontPitchFamily
           << (LONG)m_fontCharSet;
        ar << m_faceName << m_text;
        ar << m_flags << (DWORD)m_frameColor << (LONG)m_frameWidth << (LONG)m_noteWidth << (LONG)m_noteHeight;
        return;
    }
    // Read whole before anything is stored, so a short record changes nothing.
    DWORD words[9];
    for (DWORD& w : words)
        ar >> w;
    CString face, text;
    ar >> face >> text;
    DWORD tail[5];
    for (DWORD& w : tail)
        ar >> w;
    m_textColor = words[0];
    m_backgroundColor = words[1];
    m_fontHeight = (int)words[2];
    m_fontWeight = (int)words[3];
    m_fontItalic = (int)words[4];
    m_fontUnderline = (int)words[5];
    m_fontStrikeOut = (int)words[6];
    m_fontPitchFamily = (int)words[7];
    m_fontCharSet = (int)words[8];
    m_faceName = face;
    m_text = text;
    m_flags = tail[0];
    m_frameColor = tail[1];
    m_frameWidth = (int)tail[2];
    m_noteWidth = (int)tail[3];
    m_noteHeight = (int)tail[4];
}

HFONT CDataTextObject::CreateNoteFont(int height) const
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfHeight = height != 0 ? height : m_fontHeight;
    if (lf.lfHeight == 0) {
        ::GetObjectA(::GetStockObject(ANSI_FIXED_FONT), sizeof(lf), &lf);
    } else {
        lf.lfWeight = m_fontWeight;
        lf.lfItalic = (BYTE)m_fontItalic;
        lf.lfUnderline = (BYTE)m_fontUnderline;
        lf.lfStrikeOut = (BYTE)m_fontStrikeOut;
        lf.lfCharSet = (BYTE)m_fontCharSet;
        lf.lfPitchAndFamily = (BYTE)m_fontPitchFamily;
        lstrcpynA(lf.lfFaceName, m_faceName, LF_FACESIZE);
    }
    return ::CreateFontIndirectA(&lf);
}

HFONT CDataTextObject::FitNoteFont(HDC dc, const RECT& rect) const
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    for (int h = m_fontHeight; h != 0; h += h < 0 ? 1 : -1) {
        HFONT font = CreateNoteFont(h);
        if (font == NULL)
            return NULL;
        HGDIOBJ old = ::SelectObject(dc, font);
        SIZE size = { 0, 0 };
        ::GetTextExtentPoint32A(dc, "Ab", 2, &size);
        ::SelectObject(dc, old);
        if (size.cx <= width && size.cy <= height)
            return font;
        ::DeleteObject(font);
    }
    return NULL;
}

int CDataTextObject::IconFrameWidth() const
{
    if ((m_flags & kFrameMask) == 0 || m_frameWidth == 0)
        return 0;
    if (m_frameWidth < 3)
        return 1;
    return m_frameWidth < 10 ? 2 : 3;
}

void CDataTextObject::RenderIcon(HWND hWnd, CCatalogueOb* item)
{
    HDC ref = ::GetDC(hWnd);
    HDC dc = ::CreateCompatibleDC(ref);
    HBITMAP bitmap = ::CreateCompatibleBitmap(ref, kIconSize, kIconSize);
    ::ReleaseDC(hWnd, ref);
    HGDIOBJ old = (dc && bitmap) ? ::SelectObject(dc, bitmap) : NULL;
    if (old == NULL) {
        if (dc)
            ::DeleteDC(dc);
        if (bitmap)
            ::DeleteObject(bitmap);
        item->SetIcon(::LoadIconA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(kIconResourceText)));
        return;
    }
    const int frame = IconFrameWidth();
    RECT rect = { 0, 0, kIconSize, kIconSize };
    DrawNoteFrame(dc, this, rect, frame);
    ::InflateRect(&rect, -(2 + frame), -(2 + frame));
    HFONT font = FitNoteFont(dc, rect);
    if (font) {
        HGDIOBJ oldFont = ::SelectObject(dc, font);
        ::SetTextColor(dc, m_textColor);
        ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextA(dc, "Ab", 2, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::SelectObject(dc, oldFont);
        ::DeleteObject(font);
    }
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    item->SetIcon(bitmap, NULL);
    ::DeleteObject(bitmap);
}
