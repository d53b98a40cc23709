#include "settings/TextStyle.h"

#include "framework/Archive.h"

#include <commdlg.h>

HFONT (WINAPI* CTextStyle::s_createFont)(const LOGFONTA*) = ::CreateFontIndirectA;

CTextStyle::CTextStyle()
    : m_posX(0),
      m_posY(0),
      m_style(0),
      m_transparent(FALSE),
      m_wordWrap(FALSE),
      m_textColor(0),
      m_backgroundColor(0),
      m_shadowColor(0),
      m_outlineColor(0),
      m_fontHeight(0),
      m_fontWeight(0),
      m_fontItalic(0),
      m_fontUnderline(0),
      m_fontPitchFamily(0),
      m_fontCharSet(0),
      m_font(NULL)
{
    ::SetRectEmpty(&m_rect);
}

CTextStyle::~CTextStyle()
{
    if (m_font)
        ::DeleteObject(m_font);
}

void CTextStyle::Assign(const CTextStyle& other)
{
    if (&other == this)
        return;
    m_posX = other.m_posX;
    m_posY = other.m_posY;
    m_style = other.m_style;
    m_transparent = other.m_transparent;
    m_wordWrap = other.m_wordWrap;
    m_textColor = other.m_textColor;
    m_backgroundColor = other.m_backgroundColor;
    m_shadowColor = other.m_shadowColor;
    m_outlineColor = other.m_outlineColor;
    m_fontHeight = other.m_fontHeight;
    m_fontWeight = other.m_fontWeight;
    m_fontItalic = other.m_fontItalic;
    m_fontUnderline = other.m_fontUnderline;
    m_fontPitchFamily = other.m_fontPitchFamily;
    m_fontCharSet = other.m_fontCharSet;
    m_faceName = other.m_faceName;
    m_text = other.m_text;
    m_rect = other.m_rect;
    MakeFont();
}

// A height of 0 means "no font chosen yet": the stock fixed font stands in,
// whatever the face name says.
BOOL CTextStyle::MakeFont()
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    if (m_fontHeight == 0) {
        ::GetObjectA(::GetStockObject(ANSI_FIXED_FONT), sizeof(lf), &lf);
    } else {
        lf.lfHeight = m_fontHeight;
        lf.lfWeight = m_fontWeight;
        lf.lfItalic = (BYTE)m_fontItalic;
        lf.lfUnderline = (BYTE)m_fontUnderline;
        lf.lfCharSet = (BYTE)m_fontCharSet;
        lf.lfPitchAndFamily = (BYTE)m_fontPitchFamily;
        ::lstrcpynA(lf.lfFaceName, m_faceName.GetString(), LF_FACESIZE);
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    HFONT font = s_createFont(&lf);
    if (!font)
        return FALSE;
    if (m_font)
        ::DeleteObject(m_font);
    m_font = font;
    return TRUE;
}

void CTextStyle::GetCurrentLogFont(LOGFONTA& lf) const
{
    memset(&lf, 0, sizeof(lf));
    HGDIOBJ font = m_font ? (HGDIOBJ)m_font : ::GetStockObject(ANSI_FIXED_FONT);
    ::GetObjectA(font, sizeof(lf), &lf);
}

BOOL CTextStyle::ChooseFont(HWND parent)
{
    LOGFONTA lf;
    GetCurrentLogFont(lf);
    CHOOSEFONTA cf;
    memset(&cf, 0, sizeof(cf));
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = parent;
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    if (!::ChooseFontA(&cf))
        return FALSE;
    m_fontHeight = lf.lfHeight;
    if (m_fontHeight != 0) {
        m_fontWeight = lf.lfWeight;
        m_fontItalic = lf.lfItalic;
        m_fontUnderline = lf.lfUnderline;
        m_fontCharSet = lf.lfCharSet;
        m_fontPitchFamily = lf.lfPitchAndFamily;
        m_faceName = lf.lfFaceName;
    }
    MakeFont();
    return TRUE;
}

void CTextStyle::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << (LONG)m_posX << (LONG)m_posY << (LONG)m_style << (LONG)m_transparent << (LONG)m_wordWrap
           << (DWORD)m_textColor << (DWORD)m_backgroundColor << (DWORD)m_shadowColor << (DWORD)m_outlineColor
           << (LONG)m_fontHeight << (LONG)m_fontWeight << (LONG)m_fontItalic << (LONG)m_fontUnderline
           << (LONG)m_fontPitchFamily << (LONG)m_fontCharSet;
        ar << m_faceName;
        ar << m_text;
        ar << m_rect.top << m_rect.left << m_rect.right << m_rect.bottom;
    } else {
        // Everything is read before anything is stored, so a short archive
        // (which throws) leaves the style as it was.
        LONG v[15];
        for (LONG& x : v)
            ar >> x;
        CString face, text;
        ar >> face;
        ar >> text;
        RECT rect;
        ar >> rect.top >> rect.left >> rect.right >> rect.bottom;
        m_posX = v[0];
        m_posY = v[1];
        m_style = v[2];
        m_transparent = v[3];
        m_wordWrap = v[4];
        m_textColor = (COLORREF)v[5];
        m_backgroundColor = (COLORREF)v[6];
        m_shadowColor = (COLORREF)v[7];
        m_outlineColor = (COLORREF)v[8];
        m_fontHeight = v[9];
        m_fontWeight = v[10];
        m_fontItalic = v[11];
        m_fontUnderline = v[12];
        m_fontPitchFamily = v[13];
        m_fontCharSet = v[14];
        m_faceName = face;
        m_text = text;
        m_rect = rect;
        MakeFont();
    }
}
