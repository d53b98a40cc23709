#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"

class CTextNoteStyle;

// The style of one text note: colours, font fields, face, the note's text,
// its frame and layout flags and its size. The second base of a text-note
// data object, so it has a virtual destructor of its own. A plain value.
class CNoteStyle {
public:
    // Frame kinds (bits 5-7 of the flags) and the layout bits.
    enum {
        kFrameMask = 0xE0,
        kFrameNone = 0x00,
        kFrameSolid = 0x20,
        kFrameBevel = 0x40,
        kFrameRaised = 0x60,
        kWordWrap = 0x10,
    };

    // The text-note defaults.
    CNoteStyle();
    CNoteStyle(const CNoteStyle& other);
    CNoteStyle& operator=(const CNoteStyle& other);
    virtual ~CNoteStyle();

    // Copies every field (colours, font words, both strings, the five
    // trailing words).
    void CopyBody(const CNoteStyle& other);
    // The preferences' default style of new text notes.
    void AssignFrom(const CTextNoteStyle& prefs);

    COLORREF m_textColor;
    COLORREF m_backgroundColor;
    int m_fontHeight;
    int m_fontWeight;
    int m_fontItalic;           // low byte used
    int m_fontUnderline;        // low byte used
    int m_fontStrikeOut;        // low byte used
    int m_fontPitchFamily;      // low byte used
    int m_fontCharSet;          // low byte used
    CString m_faceName;
    CString m_text;
    DWORD m_flags;
    COLORREF m_frameColor;
    int m_frameWidth;
    int m_noteWidth;
    int m_noteHeight;
};

// Draws the note's background and frame into `rect` with the given frame
// width (text floaters and text-note icons).
void DrawNoteFrame(HDC dc, const CNoteStyle* style, RECT rect, int frameWidth);
// Halves every channel (darker), or moves it two thirds towards white.
COLORREF ShadeNoteColour(COLORREF colour, bool lighter);
