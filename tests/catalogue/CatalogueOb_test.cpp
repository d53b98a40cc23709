#include "catalogue/CatalogueOb.h"

#include "controls/Dib.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "CatalogueTestUtil.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace cattest;

namespace {

std::string RecordBytes(const CCatalogueOb& item)
{
    CMemFile file(4096);
    CArchive ar(&file, CArchive::store);
    item.WriteRecord(ar);
    ar.Close();
    const UINT size = (UINT)file.GetLength();
    BYTE* p = file.Detach();
    std::string bytes((const char*)p, size);
    free(p);
    return bytes;
}

// "ok" with the item, or "refused: <cause>" when the error names the source.
std::string TryRead(const std::string& bytes, std::unique_ptr<CCatalogueOb>* out = nullptr)
{
    try {
        CCatalogueOb* item = CCatalogueOb::ReadRecord(bytes.data(), (DWORD)bytes.size(), "clipboard item");
        if (out)
            out->reset(item);
        else
            delete item;
        return "ok";
    } catch (CArchiveException* e) {
        const bool named = e->m_strFileName == "clipboard item";
        const int cause = e->m_cause;
        e->Delete();
        return named ? "refused: " + std::to_string(cause) : "refused without a name";
    } catch (CException* e) {
        e->Delete();
        return "other exception";
    }
}

std::string ItemListing(const CCatalogueOb& item)
{
    CCataloguePropertyObject cat;
    CCatalogueOb* copy = nullptr;
    std::unique_ptr<CCatalogueOb> back;
    EXPECT_EQ("ok", TryRead(RecordBytes(item), &back));
    copy = back.release();
    cat.InsertItem(0, copy);
    return Listing(cat);
}

// Reads the pixels of a CDib drawn into a 24-bit DIB section.
COLORREF DibPixel(CDib& dib, int x, int y)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = dib.GetWidth();
    bi.bmiHeader.biHeight = -dib.GetHeight();
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = ::CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC dc = ::CreateCompatibleDC(NULL);
    HGDIOBJ old = ::SelectObject(dc, section);
    dib.Draw(CDC::FromHandle(dc), 0, 0);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(section);
    return c;
}

// A 24-bit picture of w x h in one colour.
CDib* SolidDib(int w, int h, COLORREF colour)
{
    HDC screen = ::GetDC(NULL);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    HBRUSH brush = ::CreateSolidBrush(colour);
    RECT r = { 0, 0, w, h };
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
    ::SelectObject(dc, old);
    CDib* dib = new CDib;
    EXPECT_TRUE(dib->CreateFromBitmap(CDC::FromHandle(dc), CBitmap::FromHandle(bmp), 24, FALSE));
    ::DeleteDC(dc);
    ::DeleteObject(bmp);
    ::ReleaseDC(NULL, screen);
    return dib;
}

}  // namespace

TEST(CatalogueItem, ClipboardRecordIsByteExact)
{
    CCatalogueOb plain;
    plain.SetName("Ab");
    plain.AddNamedRendering("Skorvale Note", "xyz", 3);
    EXPECT_EQ(Golden("item_record_plain.bin"), RecordBytes(plain));

    CCatalogueOb withIcon;
    withIcon.SetName("Ab");
    withIcon.AddNamedRendering("Skorvale Note", "xyz", 3);
    withIcon.SetIconImages(DibFromPacked(Golden("icon_image.dib")), DibFromPacked(Golden("icon_mask.dib")));
    const std::string record = RecordBytes(withIcon);
    EXPECT_EQ(Golden("item_record.bin"), record);

    std::unique_ptr<CCatalogueOb> back;
    ASSERT_EQ("ok", TryRead(record, &back));
    EXPECT_EQ(CString("Ab"), back->GetName());
    ASSERT_NE(nullptr, back->GetIconMask());
    EXPECT_EQ(withIcon.GetIconMask()->GetBlockSize(), back->GetIconMask()->GetBlockSize());
    EXPECT_EQ(0, memcmp(withIcon.GetIconImage()->GetBlock(), back->GetIconImage()->GetBlock(), 70));
    EXPECT_EQ(ItemListing(withIcon), ItemListing(*back));
    EXPECT_FALSE(back->IsStored()) << "a pasted item is not in any file yet";
}

TEST(CatalogueItem, RecordsOfOtherShapesAreRefused)
{
    const std::string good = Golden("item_record.bin");
    // The mask as a back-reference to the picture object (map index 4).
    std::string shared = Golden("item_record_plain.bin");
    shared.resize(shared.size() - 4);
    const std::string image = good.substr(shared.size(), good.size() - shared.size());
    const size_t imageLen = 2 + 2 + 2 + 4 + 2 + 4 + 70;
    shared += image.substr(0, imageLen) + std::string("\x04\x00", 2);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        { "nothing", "" },
        { "null object", std::string("\0\0", 2) },
        { "another class", std::string("\xff\xff\x00\x00\x04\x00" "CDib", 10) + good.substr(18) },
        { "mask and picture one object", shared },
        { "cut inside the bytes", good.substr(0, 40) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(0u, TryRead(c.bytes).find("refused: ")) << c.what << ": " << TryRead(c.bytes);
}

// 500 mutated records: each reads or is refused by name; none crashes.
TEST(CatalogueItem, BoundedFuzzingOfTheClipboardReader)
{
    const std::string goldens[] = { Golden("item_record.bin"), Golden("item_record_plain.bin") };
    unsigned seed = 777;
    auto next = [&]() { return seed = seed * 1103515245u + 12345u, (seed >> 8); };
    int refused = 0;
    for (int i = 0; i < 500; i++) {
        std::string bytes = goldens[i % 2];
        const size_t at = next() % bytes.size();
        switch (next() % 3) {
        case 0: bytes[at] ^= (char)(1 << (next() % 8)); break;
        case 1: {
            const DWORD values[] = { 0, 0xFFFFFFFF, 0xFFFF, 0x7FFFFFFF };
            const DWORD v = values[next() % 4];
            memcpy(&bytes[at], &v, std::min<size_t>(4, bytes.size() - at));
            break;
        }
        default: bytes.resize(at); break;
        }
        const std::string result = TryRead(bytes);
        ASSERT_TRUE(result == "ok" || result.find("refused: ") == 0) << "mutation " << i << ": " << result;
        refused += result != "ok";
    }
    EXPECT_GT(refused, 200);
}

TEST(CatalogueItem, RenderingsByNameAndNumber)
{
    CCatalogueOb item;
    item.SetName("x");
    item.AddNamedRendering("Skorvale Note", "abc", 3);
    item.AddNamedRendering("skorvale note", "A", 1);
    item.AddNamedRendering("Skorvale Note", "defg", 4);
    ASSERT_EQ(2, item.GetRenderingCount()) << "same name replaced, other case kept";
    EXPECT_EQ(CString("Skorvale Note"), item.GetRendering(1).name);

    char buffer[8] = {};
    DWORD needed = 0;
    EXPECT_EQ(-1, item.GetNamedRendering("Skorvale Note", buffer, 3, &needed));
    EXPECT_EQ(4u, needed);
    EXPECT_EQ(0, item.GetNamedRendering("Skorvale Note", buffer, 8, &needed));
    EXPECT_EQ(std::string("defg"), std::string(buffer, 4));
    EXPECT_EQ(-1, item.GetNamedRendering("Missing", buffer, 8, &needed));

    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, 2);
    memcpy(::GlobalLock(h), "\x10\x20", 2);
    ::GlobalUnlock(h);
    ASSERT_TRUE(item.AddRendering(CF_BITMAP, h));
    ::GlobalFree(h);
    const UINT registered = ::RegisterClipboardFormatA("Skorvale Catalogue Test Format");
    h = ::GlobalAlloc(GMEM_MOVEABLE, 1);
    *(char*)::GlobalLock(h) = 'q';
    ::GlobalUnlock(h);
    ASSERT_TRUE(item.AddRendering(registered, h));
    ::GlobalFree(h);
    EXPECT_EQ(CString(""), item.GetRendering(2).name);
    EXPECT_EQ(CString("Skorvale Catalogue Test Format"), item.GetRendering(3).name);

    struct Case {
        int index;
        UINT format;
    } cases[] = {
        { 1, ::RegisterClipboardFormatA("Skorvale Note") },
        { 2, CF_BITMAP },
        { 3, registered },
    };
    for (const Case& c : cases) {
        UINT format = 0;
        HGLOBAL g = item.RenderingToGlobal(c.index, &format);
        ASSERT_NE(nullptr, g) << c.index;
        EXPECT_EQ(c.format, format) << c.index;
        EXPECT_EQ(0, memcmp(::GlobalLock(g), item.GetRendering(c.index).bytes.data(), item.GetRendering(c.index).bytes.size()));
        ::GlobalUnlock(g);
        ::GlobalFree(g);
    }
    CCatalogueOb unnamed;
    unnamed.AddNamedRendering("", "z", 1);
    UINT format = 77;
    EXPECT_EQ(nullptr, unnamed.RenderingToGlobal(0, &format)) << "format 0 is offered nowhere";
}

TEST(CatalogueItem, IconFromAnImageAtSize32)
{
    CCatalogueOb item;
    // Small: unscaled at ((32 - w) / 2, (32 - h) / 2), opaque only there.
    std::unique_ptr<CDib> small(SolidDib(20, 10, RGB(200, 30, 40)));
    ASSERT_TRUE(item.SetIconFromImage(NULL, small.get(), nullptr, 32));
    ASSERT_NE(nullptr, item.GetIconImage());
    ASSERT_NE(nullptr, item.GetIconMask());
    EXPECT_EQ(32, item.GetIconImage()->GetWidth());
    EXPECT_EQ(1, item.GetIconMask()->GetBitCount());
    struct Probe {
        int x, y;
        bool inside;
    } probes[] = { { 6, 11, true }, { 25, 20, true }, { 5, 11, false }, { 26, 20, false },
                   { 6, 10, false }, { 25, 21, false }, { 0, 0, false }, { 15, 15, true } };
    for (const Probe& p : probes) {
        EXPECT_EQ(p.inside ? RGB(0, 0, 0) : RGB(255, 255, 255), DibPixel(*item.GetIconMask(), p.x, p.y))
            << p.x << "," << p.y;
        if (p.inside) {
            EXPECT_EQ(RGB(200, 30, 40), DibPixel(*item.GetIconImage(), p.x, p.y)) << p.x << "," << p.y;
        }
    }
    // Large: stretched to 32 x 32 and opaque everywhere.
    std::unique_ptr<CDib> large(SolidDib(40, 20, RGB(10, 120, 250)));
    ASSERT_TRUE(item.SetIconFromImage(NULL, large.get(), nullptr, 32));
    EXPECT_EQ(0u, item.m_imageOffset);
    for (int y = 0; y < 32; y += 31) {
        for (int x = 0; x < 32; x += 31) {
            EXPECT_EQ(RGB(0, 0, 0), DibPixel(*item.GetIconMask(), x, y)) << x << "," << y;
            EXPECT_EQ(RGB(10, 120, 250), DibPixel(*item.GetIconImage(), x, y)) << x << "," << y;
        }
    }
}

TEST(CatalogueItem, IconHandleAndDrawingKeepTransparentPixels)
{
    CCatalogueOb item;
    std::unique_ptr<CDib> small(SolidDib(20, 10, RGB(0, 0, 255)));
    ASSERT_TRUE(item.SetIconFromImage(NULL, small.get(), nullptr, 32));
    HICON icon = item.CreateIconHandle(NULL);
    ASSERT_NE(nullptr, icon);
    ::DestroyIcon(icon);

    // Drawn at 64 over green: the picture's area blue, the rest still green.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 80;
    bi.bmiHeader.biHeight = -80;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = ::CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC dc = ::CreateCompatibleDC(NULL);
    HGDIOBJ old = ::SelectObject(dc, section);
    HBRUSH green = ::CreateSolidBrush(RGB(0, 255, 0));
    RECT all = { 0, 0, 80, 80 };
    ::FillRect(dc, &all, green);
    ::DeleteObject(green);
    ASSERT_TRUE(item.DrawIcon(dc, 8, 8, 64));
    EXPECT_EQ(RGB(0, 0, 255), ::GetPixel(dc, 8 + 32, 8 + 32));
    EXPECT_EQ(RGB(0, 255, 0), ::GetPixel(dc, 8 + 2, 8 + 2));
    EXPECT_EQ(RGB(0, 255, 0), ::GetPixel(dc, 4, 4));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(section);

    // A picture without a mask gives no icon handle.
    item.SetIconImages(SolidDib(4, 4, 0), nullptr);
    EXPECT_EQ(nullptr, item.CreateIconHandle(NULL));
}
