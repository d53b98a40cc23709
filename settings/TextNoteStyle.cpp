#include "settings/TextNoteStyle.h"

CTextNoteStyle::CTextNoteStyle()
    : m_textColor(0x000000),
      m_backgroundColor(0xFFFFFF),
      m_fontHeight(-11),
      m_fontWeight(400),
      m_fontItalic(0),
      m_fontUnderline(0),
      m_fontStrikeOut(0),
      m_fontPitchFamily(0),
      m_fontCharSet(1),
      m_faceName("宋体"),
      m_flags(80),
      m_frameColor(0x7F7F7F),
      m_frameWidth(4),
      m_sizeX(300),
      m_sizeY(150)
{
}

CTextNoteStyle::CTextNoteStyle(const CTextNoteStyle& other) : CObject()
{
    Assign(other);
}

CTextNoteStyle::~CTextNoteStyle() {}

void CTextNoteStyle::Assign(const CTextNoteStyle& other)
{
    m_textColor = other.m_textColor;
    m_backgroundColor = other.m_backgroundColor;
    m_fontHeight = other.m_fontHeight;
    m_fontWeight = other.m_fontWeight;
    m_fontItalic = other.m_fontItalic;
    m_fontUnderline = other.m_fontUnderline;
    m_fontStrikeOut = other.m_fontStrikeOut;
    m_fontPitchFamily = other.m_fontPitchFamily;
    m_fontCharSet = other.m_fontCharSet;
    m_faceName = other.m_faceName;
    m_caption = other.m_caption;
    m_flags = other.m_flags;
    m_frameColor = other.m_frameColor;
    m_frameWidth = other.m_frameWidth;
    m_sizeX = other.m_sizeX;
    m_sizeY = other.m_sizeY;
}
