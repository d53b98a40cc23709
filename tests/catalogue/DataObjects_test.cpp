#include "catalogue/DataGenericObject.h"

#include "catalogue/CatalogueOb.h"
#include "catalogue/DataLayoutObject.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/NoteStyle.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "CatalogueTestUtil.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>

using namespace cattest;

namespace {

const DWORD kV4 = 0x04000000;
const DWORD kV20 = 0x02000000;
const DWORD kV22 = 0x02020000;

template <typename T> std::string Write(T& object, DWORD version = kV4)
{
    CMemFile file(16384);
    CArchive ar(&file, CArchive::store, 4096);
    object.Exchange(ar, version);
    ar.Close();
    const UINT size = (UINT)file.GetLength();
    BYTE* p = file.Detach();
    std::string bytes((const char*)p, size);
    free(p);
    return bytes;
}

// Reads a record into the object; "ok" or "refused: <cause>" (named).
template <typename T> std::string Read(T& object, const std::string& bytes, DWORD version)
{
    CMemFile file((BYTE*)bytes.data(), (UINT)bytes.size(), 0);
    CArchive ar(&file, CArchive::load, 4096);
    ar.m_strFileName = "record";
    try {
        object.Exchange(ar, version);
        ar.Close();
        return "ok";
    } catch (CArchiveException* e) {
        ar.Abort();
        const std::string result = e->m_strFileName == "record" ? "refused: " + std::to_string(e->m_cause)
                                                                 : "refused without a name";
        e->Delete();
        return result;
    } catch (CException* e) {
        ar.Abort();
        e->Delete();
        return "other exception";
    }
}

void SetNoteStyle(CNoteStyle& s)
{
    s.m_textColor = 0x0000FF;
    s.m_backgroundColor = 0x80FFFF;
    s.m_fontHeight = -24;
    s.m_fontWeight = 700;
    s.m_fontItalic = 1;
    s.m_fontUnderline = 0;
    s.m_fontStrikeOut = 1;
    s.m_fontPitchFamily = 0x22;
    s.m_fontCharSet = 134;
    s.m_faceName = "Arial";
    s.m_text = "你好\r\nworld";
    s.m_flags = 0x42;
    s.m_frameColor = 0x123456;
    s.m_frameWidth = 9;
    s.m_noteWidth = 320;
    s.m_noteHeight = 90;
}

CDataTextObject* MakeNote()
{
    CDataTextObject* note = new CDataTextObject;
    note->m_id = 0x01020304;
    note->m_x = -5;
    note->m_y = 7;
    note->m_opacity = 60;
    SetNoteStyle(*note);
    return note;
}

CDataShapeObject* MakeShape()
{
    CDataShapeObject* shape = new CDataShapeObject;
    shape->m_id = 0xA1B2C3D4;
    shape->m_x = 100;
    shape->m_y = 200;
    shape->m_opacity = 80;
    std::unique_ptr<CDib> image(DibFromPacked(Golden("icon_image.dib")));
    shape->m_image.Copy(image.get());
    shape->m_transparentColour = 0xFF00FF;
    shape->SetScale(1, 100, 120);
    shape->m_caption.m_text = "Cap";
    shape->m_caption.m_rect = RECT{ 1, 2, 30, 40 };
    return shape;
}

// A 24-bit picture: the left half in `key`, the right half red.
void HalfKeyPicture(CDib& dib, COLORREF key)
{
    HDC screen = ::GetDC(NULL);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 16, 8);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    HBRUSH k = ::CreateSolidBrush(key), red = ::CreateSolidBrush(RGB(255, 0, 0));
    RECT left = { 0, 0, 8, 8 }, right = { 8, 0, 16, 8 };
    ::FillRect(dc, &left, k);
    ::FillRect(dc, &right, red);
    ::DeleteObject(k);
    ::DeleteObject(red);
    ::SelectObject(dc, old);
    EXPECT_TRUE(dib.CreateFromBitmap(CDC::FromHandle(dc), CBitmap::FromHandle(bmp), 24, FALSE));
    ::DeleteDC(dc);
    ::DeleteObject(bmp);
    ::ReleaseDC(NULL, screen);
}

COLORREF PixelOf(CDib* dib, int x, int y)
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

TEST(DataObjects, TheDefaultTextNoteIsA78ByteRendering)
{
    CDataTextObject note;
    note.m_id = 0x11223344;
    std::unique_ptr<CCatalogueOb> item(note.MakeCatalogueItem("便条", NULL));
    EXPECT_EQ(CString("便条"), item->GetName());
    ASSERT_EQ(1, item->GetRenderingCount());
    EXPECT_EQ(CString("Skorvale Note"), item->GetRendering(0).name);
    const std::vector<BYTE>& bytes = item->GetRendering(0).bytes;
    EXPECT_EQ(Golden("default_note.bin"), std::string((const char*)bytes.data(), bytes.size()));
    ASSERT_NE(nullptr, item->GetIconImage());
    EXPECT_EQ(32, item->GetIconImage()->GetWidth());
    ASSERT_NE(nullptr, item->GetIconMask());
}

TEST(DataObjects, CurrentRecordsAreByteExactAndReadBack)
{
    std::unique_ptr<CDataTextObject> note(MakeNote());
    EXPECT_EQ(Golden("note_v4.bin"), Write(*note));
    std::unique_ptr<CDataShapeObject> shape(MakeShape());
    EXPECT_EQ(Golden("shape_v4.bin"), Write(*shape));

    CDataLayoutObject layout;
    layout.m_created = 0x5F5E1000;
    layout.AddTail(note.get());
    layout.AddTail((CObject*)nullptr);
    layout.AddTail(shape.get());
    EXPECT_EQ(Golden("layout_v4.bin"), Write(layout)) << "the null entry is neither written nor counted";
    layout.RemoveAll();

    CDataTextObject noteBack;
    ASSERT_EQ("ok", Read(noteBack, Golden("note_v4.bin"), kV4));
    EXPECT_EQ(0x01020304u, noteBack.m_id);
    EXPECT_EQ(60, noteBack.m_opacity);
    EXPECT_EQ(CString("你好\r\nworld"), noteBack.m_text);
    EXPECT_EQ(Golden("note_v4.bin"), Write(noteBack));

    CDataShapeObject shapeBack;
    ASSERT_EQ("ok", Read(shapeBack, Golden("shape_v4.bin"), kV4));
    EXPECT_EQ(Golden("shape_v4.bin"), Write(shapeBack));
    int keep = 1, w = 0, h = 0;
    shapeBack.GetScale(&keep, &w, &h);
    EXPECT_EQ(0, keep);
    EXPECT_EQ(120, h);

    CDataLayoutObject layoutBack;
    ASSERT_EQ("ok", Read(layoutBack, Golden("layout_v4.bin"), kV4));
    ASSERT_EQ(2, layoutBack.GetCount());
    EXPECT_TRUE(layoutBack.GetHead()->IsKindOf(RUNTIME_CLASS(CDataTextObject)));
    EXPECT_TRUE(layoutBack.GetTail()->IsKindOf(RUNTIME_CLASS(CDataShapeObject)));
    EXPECT_EQ(0x5F5E1000u, layoutBack.m_created);
    EXPECT_EQ(Golden("layout_v4.bin"), Write(layoutBack));
    layoutBack.DeleteObjects();
}

// Every older record version: what it carries is read, what it lacks gets
// the defaults (opacity 100, a fresh id), and it is written back current.
TEST(DataObjects, OlderRecordVersionsReadAsTheTablesSay)
{
    struct NoteCase {
        const char* golden;
        DWORD version;
        int x, y;
    } notes[] = { { "note_v2.bin", kV20, -5, 7 }, { "note_v22.bin", kV22, 3, 4 } };
    for (const NoteCase& c : notes) {
        CDataTextObject note;
        SetNoteStyle(note);
        ASSERT_EQ("ok", Read(note, Golden(c.golden), c.version)) << c.golden;
        EXPECT_NE(0x01020304u, note.m_id) << c.golden << ": a fresh id";
        EXPECT_EQ(100, note.m_opacity) << c.golden;
        EXPECT_EQ(c.x, note.m_x) << c.golden;
        EXPECT_EQ(c.y, note.m_y) << c.golden;
        EXPECT_EQ(CString("你好\r\nworld"), note.m_text) << c.golden << ": no style in a major-2 record";
    }

    struct ShapeCase {
        const char* golden;
        DWORD version;
        bool caption;
    } shapes[] = { { "shape_v20.bin", kV20, false }, { "shape_v22.bin", kV22, true } };
    for (const ShapeCase& c : shapes) {
        CDataShapeObject shape;
        ASSERT_EQ("ok", Read(shape, Golden(c.golden), c.version)) << c.golden;
        EXPECT_NE(0xA1B2C3D4u, shape.m_id) << c.golden;
        EXPECT_EQ(100, shape.m_opacity) << c.golden;
        EXPECT_EQ(0xFF00FFu, shape.m_transparentColour) << c.golden;
        EXPECT_EQ(50, shape.m_widthPercent) << c.golden;
        EXPECT_EQ(1, shape.m_keepAspect) << c.golden;
        EXPECT_EQ(70u, shape.m_image.GetBlockSize()) << c.golden;
        EXPECT_EQ(CString(c.caption ? "Cap" : ""), shape.m_caption.m_text) << c.golden;
        if (c.caption) {
            EXPECT_EQ(30, shape.m_caption.m_rect.right) << c.golden;
        }
    }

    CDataLayoutObject layout;
    ASSERT_EQ("ok", Read(layout, Golden("layout_v22.bin"), kV22));
    ASSERT_EQ(1, layout.GetCount());
    EXPECT_TRUE(layout.GetHead()->IsKindOf(RUNTIME_CLASS(CDataShapeObject))) << "every old entry is a shape";
    layout.DeleteObjects();
}

TEST(DataObjects, MalformedRecordsAreRefusedAndChangeNothing)
{
    const std::string layout = Golden("layout_v4.bin");
    std::string unknownKind = layout;
    unknownKind[8] = 7;     // the first entry's kind
    std::string hugeCount = layout;
    memcpy(&hugeCount[4], "\xff\xff\xff\x7f", 4);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = { { "unknown entry kind", unknownKind }, { "count past the end", hugeCount } };
    for (const Case& c : cases) {
        CDataLayoutObject l;
        l.m_created = 5;
        EXPECT_EQ(0u, Read(l, c.bytes, kV4).find("refused: ")) << c.what;
        EXPECT_EQ(0, l.GetCount()) << c.what;
        EXPECT_EQ(5u, l.m_created) << c.what;
    }
    // Every cut of every record.
    const char* goldens[] = { "note_v4.bin", "shape_v4.bin", "layout_v4.bin", "shape_v22.bin", "layout_v22.bin" };
    for (const char* name : goldens) {
        const std::string bytes = Golden(name);
        const DWORD version = strstr(name, "v22") ? kV22 : kV4;
        for (size_t len = 0; len < bytes.size(); len++) {
            const std::string cut = bytes.substr(0, len);
            std::string result;
            if (strncmp(name, "note", 4) == 0) {
                CDataTextObject o;
                result = Read(o, cut, version);
            } else if (strncmp(name, "shape", 5) == 0) {
                CDataShapeObject o;
                result = Read(o, cut, version);
            } else {
                CDataLayoutObject o;
                result = Read(o, cut, version);
                EXPECT_EQ(0, o.GetCount()) << name << " cut at " << len;
            }
            EXPECT_EQ(0u, result.find("refused: ")) << name << " cut at " << len << ": " << result;
        }
    }
    // Through the rendering reader, with its source named.
    try {
        delete CDataGenericObject::ReadRendering("Skorvale Note", "abc", 3, kV4, "pasted note");
        ADD_FAILURE() << "a 3-byte note was read";
    } catch (CArchiveException* e) {
        EXPECT_EQ(CString("pasted note"), e->m_strFileName);
        e->Delete();
    }
    std::unique_ptr<CDataGenericObject> ok(CDataGenericObject::ReadRendering(
        "Skorvale Format", Golden("shape_v4.bin").data(), (DWORD)Golden("shape_v4.bin").size(), kV4, "x"));
    EXPECT_TRUE(ok->IsKindOf(RUNTIME_CLASS(CDataShapeObject)));
}

TEST(DataObjects, NewIdFollowsItsFormulaOnItsOwnGenerator)
{
    // The run-time formula from seed 1 draws 41, 18467, 6334.
    CDataGenericObject::Seed(1);
    EXPECT_EQ((((41u & 0xFFF) | (18467u << 12)) << 12) | (6334u & 0xFFF), CDataGenericObject::NewId());
    srand(1);
    const int before = rand();
    CDataGenericObject::NewId();
    srand(1);
    EXPECT_EQ(before, rand()) << "rand() is left alone";
    CDataGenericObject::Seed((DWORD)time(NULL) ^ ::GetTickCount());
    CDataTextObject a, b;
    EXPECT_NE(a.m_id, b.m_id);
    CDataTextObject copy(a);
    EXPECT_EQ(a.m_id, copy.m_id);
    CNoteStyle style;
    CDataTextObject fresh(style);
    EXPECT_NE(a.m_id, fresh.m_id);
}

TEST(DataObjects, OpacityAndScaleKeepTheirRules)
{
    struct Case {
        int set;
        int expected;
    } cases[] = { { 50, 50 }, { 0, 50 }, { 1, 1 }, { 100, 100 }, { 101, 100 }, { -5, 100 } };
    CDataTextObject note;
    for (const Case& c : cases) {
        note.SetOpacity(c.set);
        EXPECT_EQ(c.expected, note.m_opacity) << c.set;
    }
    CDataShapeObject shape;
    EXPECT_EQ(0u, shape.m_transparentColour);
    EXPECT_EQ(1, shape.m_keepAspect);
    shape.SetScale(1, 100, 120);
    int keep = 1;
    shape.GetScale(&keep, nullptr, nullptr);
    EXPECT_EQ(0, keep);
    shape.m_keepAspect = 1;     // as a record could hold it
    shape.GetScale(&keep, nullptr, nullptr);
    EXPECT_EQ(0, keep);
    shape.SetScale(1, 90, 90);
    shape.GetScale(&keep, nullptr, nullptr);
    EXPECT_EQ(1, keep);
}

TEST(DataObjects, NoteTitles)
{
    struct Case {
        const char* text;
        const char* title;
    } cases[] = {
        { "short note", "short note" },
        { "exactly fifteen", "exactly fifteen" },
        { "abcdefghijklmnopqrst", "abcdefghijklmno..." },
        { "alpha beta gamma delta xx", "alpha beta..." },       // last space in the cut at 10
        { "Four wordy text goes on", "Four wordy..." },
        { "abcd efghijklmnopqrst", "abcd efghijklmn..." },      // space at 4: no second cut
        { "  two\r\n\r\nlines  ", "two lines" },
        { "一二三四五六七八九十一二三四五六七", "一二三四五六七八九十一二三四五..." },
        { "", "" },
        { "   ", "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(CString(c.title), MakeNoteTitle(c.text)) << c.text;
    // The example of four words whose last space in the first 15 characters
    // is at index 11: the first 11 characters and "...".
    EXPECT_EQ(CString("aaaaa bbbbb..."), MakeNoteTitle("aaaaa bbbbb cccccc dddde"));
}

TEST(DataObjects, NoteFontsAndTheTextIcon)
{
    CDataTextObject note;
    note.m_fontHeight = 0;
    HFONT font = note.CreateNoteFont(0);
    ASSERT_NE(nullptr, font);
    LOGFONTA made, stock;
    ::GetObjectA(font, sizeof(made), &made);
    ::GetObjectA(::GetStockObject(ANSI_FIXED_FONT), sizeof(stock), &stock);
    EXPECT_STREQ(stock.lfFaceName, made.lfFaceName);
    EXPECT_EQ(stock.lfHeight, made.lfHeight);
    ::DeleteObject(font);
    font = note.CreateNoteFont(-20);
    ::GetObjectA(font, sizeof(made), &made);
    EXPECT_EQ(-20, made.lfHeight);
    ::DeleteObject(font);

    struct Width {
        DWORD flags;
        int width;
        int icon;
    } widths[] = { { 0x00, 8, 0 }, { 0x20, 0, 0 }, { 0x20, 2, 1 }, { 0x40, 9, 2 }, { 0x60, 10, 3 } };
    for (const Width& w : widths) {
        note.m_flags = w.flags;
        note.m_frameWidth = w.width;
        EXPECT_EQ(w.icon, note.IconFrameWidth()) << w.flags << "/" << w.width;
    }

    // The icon: solid frame in the frame colour, background inside, ink of
    // "Ab" in the text colour in the middle.
    note.m_fontHeight = -14;
    note.m_flags = 0x20;
    note.m_frameWidth = 4;
    note.m_frameColor = RGB(0, 0, 200);
    note.m_backgroundColor = RGB(255, 255, 0);
    note.m_textColor = RGB(200, 0, 0);
    note.m_faceName = "Arial";
    CCatalogueOb item;
    note.RenderIcon(NULL, &item);
    ASSERT_NE(nullptr, item.GetIconImage());
    EXPECT_EQ(RGB(0, 0, 200), PixelOf(item.GetIconImage(), 0, 31));
    EXPECT_EQ(RGB(255, 255, 0), PixelOf(item.GetIconImage(), 3, 28));
    int ink = 0;
    for (int y = 4; y < 28; y++)
        for (int x = 4; x < 28; x++)
            ink += PixelOf(item.GetIconImage(), x, y) == RGB(200, 0, 0);
    EXPECT_GT(ink, 10);
    EXPECT_EQ(RGB(0, 0, 0), PixelOf(item.GetIconMask(), 16, 16)) << "opaque";
}

TEST(DataObjects, TheShapeIconMasksItsKeyColour)
{
    CDataShapeObject shape;
    HalfKeyPicture(shape.m_image, RGB(255, 0, 255));
    shape.m_transparentColour = RGB(255, 0, 255);
    CCatalogueOb item;
    shape.RenderIcon(NULL, &item);
    ASSERT_NE(nullptr, item.GetIconMask());
    // The mask's DIB rows run bottom-up; PixelOf reads through GDI, top-down.
    EXPECT_EQ(RGB(255, 255, 255), PixelOf(item.GetIconMask(), 3, 16)) << "key half transparent";
    EXPECT_EQ(RGB(0, 0, 0), PixelOf(item.GetIconMask(), 28, 16)) << "red half opaque";
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(item.GetIconImage(), 28, 16));
    shape.m_transparentColour = CDataShapeObject::kNoKey;
    shape.RenderIcon(NULL, &item);
    EXPECT_EQ(RGB(0, 0, 0), PixelOf(item.GetIconMask(), 3, 16)) << "no key: opaque";
}

TEST(DataObjects, LoadImageFileGivesTheGifKeyColour)
{
    const std::string gif = testsupport::SourceDir() + "\\tests\\imaging\\data\\key.gif";
    CDib image;
    COLORREF key = 0;
    ASSERT_EQ(1, LoadImageFile(gif.c_str(), image, &key, nullptr));
    EXPECT_EQ(RGB(255, 0, 255), key);
    EXPECT_EQ(8, image.GetWidth());
    const std::string bmp = testsupport::SourceDir() + "\\tests\\imaging\\data\\pattern.bmp";
    ASSERT_EQ(1, LoadImageFile(bmp.c_str(), image, &key, nullptr));
    EXPECT_EQ(0xFFFFFFFFu, key);
    EXPECT_EQ(5, image.GetWidth());
    EXPECT_EQ(0, LoadImageFile("", image, &key, nullptr));
    key = 0;
    EXPECT_EQ(0, LoadImageFile((gif + ".missing").c_str(), image, &key, nullptr));
    EXPECT_EQ(0xFFFFFFFFu, key);
}

TEST(DataObjects, NoteFramesByKind)
{
    struct Case {
        DWORD kind;
        COLORREF topLeft;       // ring 0 at the left edge
        COLORREF bottomRight;   // ring 0 at the right edge
        COLORREF inner;         // ring 1 at the left edge
    };
    const COLORREF bg = RGB(90, 150, 210), frame = RGB(60, 120, 30);
    const COLORREF bgLight = ShadeNoteColour(bg, true), bgDark = ShadeNoteColour(bg, false);
    const COLORREF fLight = ShadeNoteColour(frame, true), fDark = ShadeNoteColour(frame, false);
    EXPECT_EQ(RGB(255 - (255 - 90) / 3, 255 - (255 - 150) / 3, 255 - (255 - 210) / 3), bgLight);
    EXPECT_EQ(RGB(45, 75, 105), bgDark);
    const Case cases[] = {
        { 0x00, bg, bg, bg },
        { 0x20, frame, frame, frame },
        { 0x40, fLight, fDark, frame },     // width 6: band 2, rings 0-1 light/dark, 2-3 mid
        { 0x60, bgLight, bgDark, bgLight },
        { 0x80, bgDark, bgLight, bgDark },
    };
    for (const Case& c : cases) {
        CNoteStyle style;
        style.m_flags = c.kind;
        style.m_backgroundColor = bg;
        style.m_frameColor = frame;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = 40;
        bi.bmiHeader.biHeight = -40;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP section = ::CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
        HDC dc = ::CreateCompatibleDC(NULL);
        HGDIOBJ old = ::SelectObject(dc, section);
        DrawNoteFrame(dc, &style, RECT{ 0, 0, 40, 40 }, 6);
        EXPECT_EQ(c.topLeft, ::GetPixel(dc, 0, 20)) << c.kind;
        EXPECT_EQ(c.bottomRight, ::GetPixel(dc, 39, 20)) << c.kind;
        EXPECT_EQ(c.inner, ::GetPixel(dc, c.kind == 0x40 ? 2 : 1, 20)) << c.kind;
        EXPECT_EQ(bg, ::GetPixel(dc, 20, 20)) << c.kind;
        if (c.kind == 0x40) {
            EXPECT_EQ(fDark, ::GetPixel(dc, 5, 20)) << "innermost ring";
            EXPECT_EQ(fLight, ::GetPixel(dc, 34, 20)) << "innermost ring";
        }
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
        ::DeleteObject(section);
    }
}

// Scaling neither makes nor removes key pixels: every pixel of the scaled
// picture is one of the picture's own colours, and the mask marks exactly
// the key-coloured ones.
TEST(DataObjects, ScaledShapesKeepTheKeyColourExact)
{
    const std::string gif = testsupport::SourceDir() + "\\tests\\imaging\\data\\key.gif";
    CDataShapeObject shape;
    COLORREF key = 0;
    ASSERT_EQ(1, LoadImageFile(gif.c_str(), shape.m_image, &key, nullptr));
    shape.m_transparentColour = key;
    const COLORREF palette[] = { RGB(0, 0, 0), RGB(255, 0, 0), RGB(255, 0, 255), RGB(255, 255, 255) };
    struct Case {
        int w, h;
        int width, height;
    } cases[] = { { 100, 100, 8, 6 }, { 200, 150, 16, 9 }, { 50, 50, 4, 3 }, { 333, 10, 27, 1 } };
    HDC screen = ::GetDC(NULL);
    for (const Case& c : cases) {
        shape.SetScale(1, c.w, c.h);
        HBITMAP picture = NULL, mask = NULL;
        SIZE size = {};
        ASSERT_TRUE(shape.RenderScaled(screen, &picture, &mask, &size)) << c.w << "/" << c.h;
        EXPECT_EQ(c.width, size.cx);
        EXPECT_EQ(c.height, size.cy);
        HDC dc = ::CreateCompatibleDC(screen);
        int keys = 0;
        for (int y = 0; y < size.cy; y++) {
            for (int x = 0; x < size.cx; x++) {
                HGDIOBJ old = ::SelectObject(dc, picture);
                const COLORREF p = ::GetPixel(dc, x, y);
                ::SelectObject(dc, mask);
                const bool transparent = ::GetPixel(dc, x, y) == RGB(255, 255, 255);
                ::SelectObject(dc, old);
                EXPECT_NE(std::end(palette), std::find(std::begin(palette), std::end(palette), p))
                    << c.w << "/" << c.h << " at " << x << "," << y;
                EXPECT_EQ(p == key, transparent) << c.w << "/" << c.h << " at " << x << "," << y;
                keys += p == key;
            }
        }
        EXPECT_GT(keys, 0) << c.w << "/" << c.h;
        ::DeleteDC(dc);
        ::DeleteObject(picture);
        ::DeleteObject(mask);
    }
    shape.SetScale(1, 0, 100);
    HBITMAP picture = NULL, mask = NULL;
    EXPECT_FALSE(shape.RenderScaled(screen, &picture, &mask, nullptr));

    // A caption lands in its rectangle scaled with the picture.
    CDataShapeObject captioned;
    HalfKeyPicture(captioned.m_image, RGB(255, 0, 255));
    captioned.m_transparentColour = CDataShapeObject::kNoKey;
    captioned.m_caption.m_text = "W";
    captioned.m_caption.m_textColor = RGB(0, 0, 255);
    captioned.m_caption.m_rect = RECT{ 8, 0, 16, 8 };
    captioned.SetScale(1, 400, 400);
    SIZE size = {};
    ASSERT_TRUE(captioned.RenderScaled(screen, &picture, &mask, &size));
    EXPECT_EQ(64, size.cx);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, picture);
    // Ink: pixels other than the picture's own (glyph edges may be smoothed).
    int inkLeft = 0, inkRight = 0;
    for (int y = 0; y < 32; y++) {
        for (int x = 0; x < 64; x++) {
            const COLORREF p = ::GetPixel(dc, x, y);
            (x < 32 ? inkLeft : inkRight) += p != RGB(255, 0, 255) && p != RGB(255, 0, 0);
        }
    }
    ::SelectObject(dc, mask);
    EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(dc, 3, 3)) << "no key: opaque";
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(picture);
    ::DeleteObject(mask);
    EXPECT_EQ(0, inkLeft);
    EXPECT_GT(inkRight, 5);
    ::ReleaseDC(NULL, screen);
}

// 500 mutated note, shape and layout records through the readers: each is
// read or refused with a format error that names its source.
TEST(DataObjects, BoundedFuzzingOfTheRecordReaders)
{
    struct Source {
        const char* golden;
        const char* type;       // a rendering type, or null for a layout
    } sources[] = { { "note_v4.bin", "Skorvale Note" }, { "shape_v4.bin", "Skorvale Format" },
                    { "layout_v4.bin", nullptr } };
    unsigned seed = 4242;
    auto next = [&]() { return seed = seed * 1103515245u + 12345u, (seed >> 8); };
    int refused = 0;
    for (int i = 0; i < 500; i++) {
        const Source& s = sources[i % 3];
        std::string bytes = Golden(s.golden);
        const size_t at = next() % bytes.size();
        switch (next() % 3) {
        case 0: bytes[at] ^= (char)(1 << (next() % 8)); break;
        case 1: {
            const DWORD values[] = { 0, 0xFFFFFFFF, 0xFFFF, 0x7FFFFFFF, 3 };
            const DWORD v = values[next() % 5];
            memcpy(&bytes[at], &v, std::min<size_t>(4, bytes.size() - at));
            break;
        }
        default: bytes.resize(at); break;
        }
        std::string result;
        if (s.type) {
            try {
                delete CDataGenericObject::ReadRendering(s.type, bytes.data(), (DWORD)bytes.size(), kV4, "fuzz");
                result = "ok";
            } catch (CArchiveException* e) {
                result = e->m_strFileName == "fuzz" ? "refused" : "refused without a name";
                e->Delete();
            } catch (CException* e) {
                e->Delete();
                result = "other exception";
            }
        } else {
            CDataLayoutObject layout;
            result = Read(layout, bytes, kV4);
            if (result.find("refused: ") == 0)
                result = "refused";
            layout.DeleteObjects();
        }
        ASSERT_TRUE(result == "ok" || result == "refused") << s.golden << " mutation " << i << ": " << result;
        refused += result == "refused";
    }
    EXPECT_GT(refused, 100);
}
