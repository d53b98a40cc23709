#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"

// The default style of a new text note of the screen-notes catalogue, kept
// in the preferences. A plain value record; copies are independent.
class CTextNoteStyle : public CObject {
public:
    CTextNoteStyle();
    CTextNoteStyle(const CTextNoteStyle& other);
    ~CTextNoteStyle() override;

    void Assign(const CTextNoteStyle& other);
    CTextNoteStyle& operator=(const CTextNoteStyle& other)
    {
        Assign(other);
        return *this;
    }

    COLORREF m_textColor;
    COLORREF m_backgroundColor;
    int m_fontHeight;
    int m_fontWeight;
    int m_fontItalic;
    int m_fontUnderline;
    int m_fontStrikeOut;
    int m_fontPitchFamily;
    int m_fontCharSet;
    CString m_faceName;
    CString m_caption;
    int m_flags;
    COLORREF m_frameColor;
    int m_frameWidth;
    int m_sizeX;
    int m_sizeY;
};
