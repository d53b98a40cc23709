#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"

class CArchive;

// The style of the caption and of the time/date stamp that the capture engine
// draws into each frame: placement, colours, font fields and the caption text,
// with the font built from them. The owner sets the defaults. Not copyable:
// Assign copies the values and builds a font of its own. One thread at a time.
class CTextStyle {
public:
    CTextStyle();
    ~CTextStyle();

    void Assign(const CTextStyle& other);
    // (Re)builds the font from the fields; the previous font stays when that fails.
    BOOL MakeFont();
    // The common font dialog, started from the current font; TRUE on OK.
    BOOL ChooseFont(HWND parent);
    // The archive form: fifteen 32-bit values, face and text as archive
    // strings, then the rectangle as top, left, right, bottom.
    void Serialize(CArchive& ar);

    HFONT GetFont() const { return m_font; }

    // Font creation, replaceable by tests to make it fail.
    static HFONT (WINAPI* s_createFont)(const LOGFONTA*);

    int m_posX;
    int m_posY;
    int m_style;                // drawing style chosen in the caption and stamp dialogs
    BOOL m_transparent;
    BOOL m_wordWrap;
    COLORREF m_textColor;
    COLORREF m_backgroundColor;
    COLORREF m_shadowColor;
    COLORREF m_outlineColor;
    int m_fontHeight;
    int m_fontWeight;
    int m_fontItalic;           // used as a byte
    int m_fontUnderline;        // used as a byte
    int m_fontPitchFamily;      // used as a byte
    int m_fontCharSet;          // used as a byte
    CString m_faceName;
    CString m_text;
    RECT m_rect;

private:
    CTextStyle(const CTextStyle&) = delete;
    CTextStyle& operator=(const CTextStyle&) = delete;

    void GetCurrentLogFont(LOGFONTA& lf) const;

    HFONT m_font;               // owned; NULL until made
};
