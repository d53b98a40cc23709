#include "settings/TextStyle.h"
#include "settings/TextNoteStyle.h"

#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "SettingsTestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void FillCaption(CTextStyle& s)
{
    s.m_posX = 16;
    s.m_posY = 0;
    s.m_style = 2;
    s.m_transparent = 1;
    s.m_wordWrap = 1;
    s.m_textColor = 0x00FF00;
    s.m_backgroundColor = 0x000000;
    s.m_shadowColor = 0xC0C0C0;
    s.m_outlineColor = 0xFFFFFF;
    s.m_fontHeight = -12;
    s.m_fontWeight = 700;
    s.m_fontItalic = 1;
    s.m_fontUnderline = 0;
    s.m_fontPitchFamily = 0x22;
    s.m_fontCharSet = 134;
    s.m_faceName = "宋体";
    s.m_text = "Hi";
    s.m_rect.left = 1;
    s.m_rect.top = 2;
    s.m_rect.right = 3;
    s.m_rect.bottom = 4;
}

std::vector<BYTE> Store(CTextStyle& s)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        s.Serialize(ar);
        ar.Close();
    }
    const size_t size = (size_t)file.GetLength();
    BYTE* data = file.Detach();
    std::vector<BYTE> bytes(data, data + size);
    free(data);
    return bytes;
}

void Load(CTextStyle& s, std::vector<BYTE> bytes)
{
    CMemFile file(bytes.data(), (UINT)bytes.size());
    CArchive ar(&file, CArchive::load);
    s.Serialize(ar);
    ar.Close();
}

LOGFONTA FontOf(const CTextStyle& s)
{
    LOGFONTA lf = {};
    EXPECT_NE(nullptr, s.GetFont());
    ::GetObjectA(s.GetFont(), sizeof(lf), &lf);
    return lf;
}

HFONT WINAPI FailingCreateFont(const LOGFONTA*) { return NULL; }

}  // namespace

TEST(TextStyle, NewStyleHasEmptyTextAndNoFont)
{
    CTextStyle s;
    EXPECT_TRUE(s.m_faceName.IsEmpty());
    EXPECT_TRUE(s.m_text.IsEmpty());
    EXPECT_EQ(nullptr, s.GetFont());
}

// The archive form, derived by hand: fifteen little-endian 32-bit values,
// the face and the text with one-byte length prefixes (the face in code page
// 936), then the rectangle as top, left, right, bottom.
TEST(TextStyle, ArchiveBytesAreExact)
{
    CTextStyle s;
    FillCaption(s);
    const BYTE expected[] = {
        0x10, 0, 0, 0,  0, 0, 0, 0,  2, 0, 0, 0,  1, 0, 0, 0,  1, 0, 0, 0,
        0x00, 0xFF, 0x00, 0,  0, 0, 0, 0,  0xC0, 0xC0, 0xC0, 0,  0xFF, 0xFF, 0xFF, 0,
        0xF4, 0xFF, 0xFF, 0xFF,  0xBC, 0x02, 0, 0,  1, 0, 0, 0,  0, 0, 0, 0,
        0x22, 0, 0, 0,  0x86, 0, 0, 0,
        4, 0xCB, 0xCE, 0xCC, 0xE5,
        2, 'H', 'i',
        2, 0, 0, 0,  1, 0, 0, 0,  3, 0, 0, 0,  4, 0, 0, 0,
    };
    std::vector<BYTE> bytes = Store(s);
    EXPECT_EQ(std::vector<BYTE>(expected, expected + sizeof(expected)), bytes);
}

TEST(TextStyle, ArchiveRoundTripGivesAnEqualStyleAndBuildsTheFont)
{
    CTextStyle s;
    FillCaption(s);
    s.m_text = CString('x', 300);   // a length above 254 takes the longer prefix
    CTextStyle t;
    Load(t, Store(s));
    EXPECT_EQ(s.m_posX, t.m_posX);
    EXPECT_EQ(s.m_style, t.m_style);
    EXPECT_EQ(s.m_transparent, t.m_transparent);
    EXPECT_EQ(s.m_wordWrap, t.m_wordWrap);
    EXPECT_EQ(s.m_textColor, t.m_textColor);
    EXPECT_EQ(s.m_shadowColor, t.m_shadowColor);
    EXPECT_EQ(s.m_outlineColor, t.m_outlineColor);
    EXPECT_EQ(s.m_fontHeight, t.m_fontHeight);
    EXPECT_EQ(s.m_fontWeight, t.m_fontWeight);
    EXPECT_EQ(s.m_fontItalic, t.m_fontItalic);
    EXPECT_EQ(s.m_fontPitchFamily, t.m_fontPitchFamily);
    EXPECT_EQ(s.m_fontCharSet, t.m_fontCharSet);
    EXPECT_EQ(std::string(s.m_faceName), std::string(t.m_faceName));
    EXPECT_EQ(std::string(s.m_text), std::string(t.m_text));
    EXPECT_EQ(1, t.m_rect.left);
    EXPECT_EQ(2, t.m_rect.top);
    EXPECT_EQ(3, t.m_rect.right);
    EXPECT_EQ(4, t.m_rect.bottom);
    LOGFONTA lf = FontOf(t);
    EXPECT_EQ(-12, lf.lfHeight);
    EXPECT_EQ(700, lf.lfWeight);
}

TEST(TextStyle, ShortArchiveThrowsAndLeavesTheStyle)
{
    CTextStyle s;
    FillCaption(s);
    std::vector<BYTE> bytes = Store(s);
    bytes.resize(bytes.size() - 3);
    CTextStyle t;
    t.m_posX = 77;
    t.m_faceName = "Keep";
    bool thrown = false;
    try {
        Load(t, bytes);
    } catch (CException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(77, t.m_posX);
    EXPECT_EQ(std::string("Keep"), t.m_faceName.GetString());
}

TEST(TextStyle, HeightZeroUsesTheStockFixedFont)
{
    CTextStyle s;
    s.m_faceName = "Tahoma";
    s.m_fontWeight = 900;
    ASSERT_TRUE(s.MakeFont());
    LOGFONTA stock = {};
    ::GetObjectA(::GetStockObject(ANSI_FIXED_FONT), sizeof(stock), &stock);
    LOGFONTA lf = FontOf(s);
    EXPECT_EQ(stock.lfHeight, lf.lfHeight);
    EXPECT_EQ(stock.lfWeight, lf.lfWeight);
    EXPECT_STREQ(stock.lfFaceName, lf.lfFaceName);
}

TEST(TextStyle, FontFieldsAndFaceCutTo31Characters)
{
    CTextStyle s;
    s.m_fontHeight = -20;
    s.m_fontWeight = 700;
    s.m_fontItalic = 1;
    s.m_fontUnderline = 1;
    s.m_fontCharSet = 0;
    s.m_fontPitchFamily = FF_SWISS | VARIABLE_PITCH;
    s.m_faceName = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij";   // 36 characters
    ASSERT_TRUE(s.MakeFont());
    LOGFONTA lf = FontOf(s);
    EXPECT_EQ(-20, lf.lfHeight);
    EXPECT_EQ(700, lf.lfWeight);
    EXPECT_EQ(1, lf.lfItalic);
    EXPECT_EQ(1, lf.lfUnderline);
    EXPECT_EQ(FF_SWISS | VARIABLE_PITCH, lf.lfPitchAndFamily);
    EXPECT_EQ(std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcde"), lf.lfFaceName);
}

TEST(TextStyle, FailedFontCreationKeepsThePreviousFont)
{
    CTextStyle s;
    s.m_fontHeight = -15;
    s.m_faceName = "Tahoma";
    ASSERT_TRUE(s.MakeFont());
    HFONT before = s.GetFont();
    s.m_fontHeight = -30;
    CTextStyle::s_createFont = &FailingCreateFont;
    BOOL made = s.MakeFont();
    CTextStyle::s_createFont = ::CreateFontIndirectA;
    EXPECT_FALSE(made);
    EXPECT_EQ(before, s.GetFont());
    EXPECT_EQ(-15, FontOf(s).lfHeight);   // still a live font object
}

TEST(TextStyle, AssignCopiesAndBuildsItsOwnFont)
{
    CTextStyle s;
    FillCaption(s);
    s.MakeFont();
    CTextStyle t;
    t.Assign(s);
    EXPECT_EQ(std::string("Hi"), t.m_text.GetString());
    EXPECT_EQ(4, t.m_rect.bottom);
    ASSERT_NE(nullptr, t.GetFont());
    EXPECT_NE(s.GetFont(), t.GetFont());
    EXPECT_EQ(-12, FontOf(t).lfHeight);
}

TEST(TextStyle, ChooseFontCancelChangesNothing)
{
    CTextStyle s;
    s.m_fontHeight = -16;
    s.m_fontWeight = 400;
    s.m_faceName = "Tahoma";
    s.MakeFont();
    settingstest::DialogAnswerer answer(::GetCurrentThreadId(), IDCANCEL);
    EXPECT_FALSE(s.ChooseFont(NULL));
    EXPECT_EQ(-16, s.m_fontHeight);
    EXPECT_EQ(std::string("Tahoma"), s.m_faceName.GetString());
}

TEST(TextStyle, ChooseFontOkStoresTheChosenFont)
{
    CTextStyle s;
    s.m_fontHeight = -16;
    s.m_fontWeight = 700;
    s.m_faceName = "Tahoma";
    s.MakeFont();
    HFONT before = s.GetFont();
    {
        settingstest::DialogAnswerer answer(::GetCurrentThreadId(), IDOK);
        EXPECT_TRUE(s.ChooseFont(NULL));
    }
    EXPECT_NE(0, s.m_fontHeight);
    EXPECT_EQ(std::string("Tahoma"), s.m_faceName.GetString());
    EXPECT_EQ(700, s.m_fontWeight);
    EXPECT_NE(before, s.GetFont());   // rebuilt
    EXPECT_EQ(s.m_fontHeight, FontOf(s).lfHeight);
}

TEST(TextNoteStyle, DefaultsAndCopies)
{
    CTextNoteStyle a;
    EXPECT_EQ(0x000000u, a.m_textColor);
    EXPECT_EQ(0xFFFFFFu, a.m_backgroundColor);
    EXPECT_EQ(-11, a.m_fontHeight);
    EXPECT_EQ(400, a.m_fontWeight);
    EXPECT_EQ(0, a.m_fontItalic);
    EXPECT_EQ(0, a.m_fontUnderline);
    EXPECT_EQ(0, a.m_fontStrikeOut);
    EXPECT_EQ(0, a.m_fontPitchFamily);
    EXPECT_EQ(1, a.m_fontCharSet);
    EXPECT_EQ(std::string("宋体"), std::string(a.m_faceName));
    EXPECT_TRUE(a.m_caption.IsEmpty());
    EXPECT_EQ(80, a.m_flags);
    EXPECT_EQ(0x7F7F7Fu, a.m_frameColor);
    EXPECT_EQ(4, a.m_frameWidth);
    EXPECT_EQ(300, a.m_sizeX);
    EXPECT_EQ(150, a.m_sizeY);

    a.m_caption = "note";
    a.m_fontStrikeOut = 1;
    a.m_sizeY = 99;
    CTextNoteStyle b(a);
    EXPECT_EQ(std::string("note"), b.m_caption.GetString());
    EXPECT_EQ(1, b.m_fontStrikeOut);
    EXPECT_EQ(99, b.m_sizeY);
    CTextNoteStyle c;
    c = a;
    EXPECT_EQ(99, c.m_sizeY);
    a.m_caption = "changed";
    EXPECT_EQ(std::string("note"), c.m_caption.GetString());
}
