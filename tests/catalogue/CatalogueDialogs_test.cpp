// The catalogue's file dialogs, driven through the real common dialogs: a
// name is typed into the dialog's file-name box and OK pressed.
#include "catalogue/CataloguePropertyObject.h"

#include "catalogue/CatalogueOb.h"
#include "controls/Dib.h"
#include "framework/Collections.h"
#include "framework/Exceptions.h"
#include "CatalogueTestUtil.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>

using namespace cattest;

namespace {

// Answers the file dialog with `name` (or Cancel for an empty one) and
// message boxes with OK.
class DialogAnswer {
public:
    explicit DialogAnswer(const std::string& name)
        : m_answer([this, name](HWND h) {
              if (!uitest::ModalAnswerer::MessageBoxText(h).empty())
                  return uitest::ModalAnswerer::Press(h, IDOK);
              if (m_fileDialogs++ > 0)
                  return false;
              if (name.empty())
                  return uitest::ModalAnswerer::Press(h, IDCANCEL);
              ::SetDlgItemTextA(h, 0x47C, name.c_str());
              ::SetDlgItemTextA(h, 0x480, name.c_str());
              return uitest::ModalAnswerer::Press(h, IDOK);
          }, 15000)
    {
    }
    const std::vector<std::string>& Messages() const { return m_answer.MessageTexts(); }

private:
    int m_fileDialogs = 0;
    uitest::ModalAnswerer m_answer;
};

std::string Copy(const testsupport::ScratchDir& dir, const std::string& golden, const std::string& as)
{
    const std::string bytes = Golden(golden);
    EXPECT_TRUE(testsupport::WriteFileBytes(dir.File(as), bytes.data(), bytes.size()));
    return dir.File(as);
}

// A 32 x 32 icon file of one colour, fully opaque.
std::string IconFileBytes(COLORREF colour)
{
    std::string out;
    auto u16 = [&](WORD v) { out.append((const char*)&v, 2); };
    auto u32 = [&](DWORD v) { out.append((const char*)&v, 4); };
    const DWORD imageSize = 40 + 32 * 32 * 4 + 32 * 4;
    u16(0), u16(1), u16(1);
    out += std::string("\x20\x20\x00\x00", 4);
    u16(1), u16(32), u32(imageSize), u32(22);
    u32(40), u32(32), u32(64), u16(1), u16(32), u32(0), u32(32 * 32 * 4), u32(0), u32(0), u32(0), u32(0);
    for (int i = 0; i < 32 * 32; i++)
        u32(0xFF000000 | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour));
    out += std::string(32 * 4, '\0');
    return out;
}

// A 24-bit .bmp file of w x h in one colour.
std::string BmpFileBytes(int w, int h, COLORREF colour)
{
    const int row = (w * 3 + 3) / 4 * 4;
    std::string out = "BM";
    auto u16 = [&](WORD v) { out.append((const char*)&v, 2); };
    auto u32 = [&](DWORD v) { out.append((const char*)&v, 4); };
    u32(54 + row * h), u16(0), u16(0), u32(54);
    u32(40), u32(w), u32(h), u16(1), u16(24), u32(0), u32(row * h), u32(0), u32(0), u32(0), u32(0);
    for (int y = 0; y < h; y++) {
        std::string line;
        for (int x = 0; x < w; x++)
            line += std::string{ (char)GetBValue(colour), (char)GetGValue(colour), (char)GetRValue(colour) };
        line.resize(row, '\0');
        out += line;
    }
    return out;
}

COLORREF IconPixel(CDib* dib, int x, int y)
{
    HDC dc = ::CreateCompatibleDC(NULL);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = dib->GetWidth();
    bi.bmiHeader.biHeight = dib->GetHeight();
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = ::CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = ::SelectObject(dc, section);
    dib->Draw(CDC::FromHandle(dc), 0, 0);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::SelectObject(dc, old);
    ::DeleteObject(section);
    ::DeleteDC(dc);
    return c;
}

}  // namespace

TEST(CatalogueDialogs, OpenTakesOnlyTheKindsExtension)
{
    testsupport::ScratchDir dir("catdlg");
    const std::string shapes = Copy(dir, "two_items.skoo", "two.skoo");
    const std::string notes = Copy(dir, "two_items.skoo", "two.skot");
    char cwd[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, cwd);

    CCataloguePropertyObject cat;
    cat.m_pageType = 1;
    {
        DialogAnswer answer("");
        EXPECT_EQ(-1, cat.OpenWithDialog(NULL)) << "cancelled";
    }
    {
        DialogAnswer answer(notes);
        EXPECT_EQ(-1, cat.OpenWithDialog(NULL));
        ASSERT_EQ(1u, answer.Messages().size());
        EXPECT_EQ("错误的形状库文件扩展名", answer.Messages()[0]);
        EXPECT_EQ(0, cat.GetItemCount());
    }
    {
        DialogAnswer answer(shapes);
        EXPECT_EQ(0, cat.OpenWithDialog(NULL));
        EXPECT_TRUE(answer.Messages().empty());
        EXPECT_EQ(2, cat.GetItemCount());
        EXPECT_EQ(CString("two"), cat.m_name);
    }
    char after[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, after);
    EXPECT_STREQ(cwd, after) << "the current directory is kept";

    CCataloguePropertyObject textPage;
    textPage.m_pageType = 2;
    DialogAnswer answer(notes);
    EXPECT_EQ(0, textPage.OpenWithDialog(NULL));
}

TEST(CatalogueDialogs, SaveAsRefusesAPathOpenElsewhereAndWritesWhole)
{
    testsupport::ScratchDir dir("catdlg");
    const std::string path = Copy(dir, "two_items_renamed.skoo", "lib.skoo");
    CCataloguePropertyObject cat;
    ASSERT_EQ(0, cat.Open(path.c_str()));
    CStringArray open;
    open.Add(CString(dir.File("OTHER.SKOO").c_str()));
    {
        DialogAnswer answer(dir.File("other.skoo"));
        EXPECT_EQ(-1, cat.SaveAs(open, NULL));
        ASSERT_EQ(1u, answer.Messages().size());
        EXPECT_EQ(0u, answer.Messages()[0].find("不能创建库 ")) << answer.Messages()[0];
        EXPECT_NE(std::string::npos, answer.Messages()[0].find("该文件已经在屏幕便笺中打开。"));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(dir.File("other.skoo").c_str()));
    }
    {
        DialogAnswer answer(dir.File("copy.skoo"));
        EXPECT_EQ(0, cat.SaveAs(open, NULL));
        EXPECT_EQ(CString("copy"), cat.m_name);
        EXPECT_EQ(CString(dir.File("copy.skoo").c_str()), cat.m_path);
    }
    // Written whole: the compacted form of the renamed library.
    CCataloguePropertyObject fresh;
    fresh.m_path = dir.File("fresh.skoo").c_str();
    fresh.InsertItem(0, MakeShapeItem());
    fresh.InsertItem(1, MakeNoteItem());
    fresh.GetItem(1)->SetName("Renamed");
    ASSERT_EQ(0, fresh.Save(0));
    EXPECT_EQ(FileBytes(dir.File("fresh.skoo")), FileBytes(dir.File("copy.skoo")));
    EXPECT_EQ(Golden("two_items_renamed.skoo"), FileBytes(path)) << "the old file stays";
}

TEST(CatalogueDialogs, ReplaceIconTakesABitmapOrTheFilesFirstIcon)
{
    testsupport::ScratchDir dir("catdlg");
    const std::string bmp = BmpFileBytes(20, 10, RGB(10, 200, 30));
    const std::string ico = IconFileBytes(RGB(200, 20, 180));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("small.bmp"), bmp.data(), bmp.size()));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("icon.bmp"), ico.data(), ico.size()));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("text.bmp"), "plain text", 10));
    CCataloguePropertyObject cat;
    cat.InsertItem(0, MakeNoteItem());
    CCatalogueOb* item = cat.GetItem(0);

    {
        DialogAnswer answer(dir.File("small.bmp"));
        ASSERT_EQ(0, cat.ReplaceItemIcon(0, 32, NULL));
        ASSERT_NE(nullptr, item->GetIconImage());
        EXPECT_EQ(RGB(10, 200, 30), IconPixel(item->GetIconImage(), 6, 11));
        EXPECT_EQ(RGB(0, 0, 0), IconPixel(item->GetIconMask(), 6, 11));
        EXPECT_EQ(RGB(255, 255, 255), IconPixel(item->GetIconMask(), 5, 11));
    }
    {
        // Named .bmp but not "BM": the icon path.
        DialogAnswer answer(dir.File("icon.bmp"));
        ASSERT_EQ(0, cat.ReplaceItemIcon(0, 32, NULL));
        EXPECT_EQ(RGB(200, 20, 180), IconPixel(item->GetIconImage(), 5, 11));
        EXPECT_EQ(RGB(0, 0, 0), IconPixel(item->GetIconMask(), 5, 11));
    }
    {
        DialogAnswer answer(dir.File("text.bmp"));
        EXPECT_EQ(-1, cat.ReplaceItemIcon(0, 32, NULL)) << "neither a picture nor an icon";
    }
    {
        DialogAnswer answer("");
        EXPECT_EQ(-1, cat.ReplaceItemIcon(0, 32, NULL));
    }
}
