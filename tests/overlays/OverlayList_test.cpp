// The shared overlay list as the overlay filter's drawer: frames drawn
// upright whatever their row order, only the overlays active at the frame's
// time, in list order; bad frames refused untouched; edits from another
// thread never show half an overlay.
#include "OverlayTestSupport.h"

#include "overlays/OverlayList.h"
#include "overlays/OverlayRectangle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const LONGLONG kSecond = 10000000;
const int kW = 64, kH = 48;

COverlayRectangle* NewBox(COLORREF fill, float x, float y, float w, float h, LONGLONG start, LONGLONG end)
{
    COverlayRectangle* box = new COverlayRectangle;
    box->m_brushColor = fill | 0xFF000000;
    box->m_penWidth = 0;
    box->m_antiAliasShapes = 0;
    box->m_shapeX = x;
    box->m_shapeY = y;
    box->m_shapeWidth = w;
    box->m_shapeHeight = h;
    box->m_start = start;
    box->m_end = end;
    return box;
}

// A frame of kW x kH pixels (0x00RRGGBB) in memory order, bottom-up or
// top-down, read back by picture row.
struct Frame {
    explicit Frame(bool bottomUp) : bottomUp(bottomUp), pixels((size_t)kW * kH, 0) {}
    BYTE* Scan0() { return (BYTE*)&pixels[bottomUp ? (size_t)kW * (kH - 1) : 0]; }
    LONG Stride() const { return bottomUp ? -kW * 4 : kW * 4; }
    DWORD At(int x, int y) const { return pixels[(size_t)(bottomUp ? kH - 1 - y : y) * kW + x] & 0xFFFFFF; }
    int Count(DWORD colour) const
    {
        int n = 0;
        for (DWORD p : pixels)
            n += (p & 0xFFFFFF) == colour;
        return n;
    }
    bool bottomUp;
    std::vector<DWORD> pixels;
};

class OverlayListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        overlaytest::StartGdiplus();
        list = COverlayList::Create();
        ASSERT_NE(nullptr, list);
    }
    void TearDown() override { list->Release(); }
    COverlayList* list = nullptr;
};

}  // namespace

TEST_F(OverlayListTest, DrawsActiveOverlaysUprightInListOrder)
{
    // Red 0-2 s at the top-left, green 1-3 s over its right half, drawn later.
    list->Insert(0, NewBox(RGB(255, 0, 0), 4, 2, 10, 6, 0, 2 * kSecond));
    list->Insert(5, NewBox(RGB(0, 255, 0), 9, 2, 10, 6, kSecond, 3 * kSecond));
    ASSERT_EQ(2, list->GetCount());
    const struct {
        LONGLONG t;
        DWORD left, middle, right;   // at (5, 4), (11, 4), (17, 4)
    } cases[] = {
        {0, 0xFF0000, 0xFF0000, 0},
        {kSecond, 0xFF0000, 0x00FF00, 0x00FF00},
        {2 * kSecond, 0, 0x00FF00, 0x00FF00},
        {3 * kSecond, 0, 0, 0},
    };
    for (bool bottomUp : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << (bottomUp ? "bottom-up" : "top-down") << " at " << c.t);
            Frame f(bottomUp);
            ASSERT_EQ(S_OK, list->DrawFrame(f.Scan0(), kW, kH, f.Stride(), c.t));
            EXPECT_EQ(c.left, f.At(5, 4));
            EXPECT_EQ(c.middle, f.At(11, 4));
            EXPECT_EQ(c.right, f.At(17, 4));
            EXPECT_EQ(0u, f.At(5, kH - 5)) << "nothing near the bottom";
        }
    }
}

TEST_F(OverlayListTest, RefusesFramesItCannotDraw)
{
    list->Insert(0, NewBox(RGB(255, 0, 0), 0, 0, kW, kH, 0, kSecond));
    Frame f(true);
    const struct {
        BYTE* scan0;
        LONG w, h, stride;
    } cases[] = {
        {nullptr, kW, kH, -kW * 4},
        {f.Scan0(), 0, kH, 0},
        {f.Scan0(), kW, 0, -kW * 4},
        {f.Scan0(), kW, kH, kW * 3},
        {f.Scan0(), kW, kH, -kW * 4 - 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(E_INVALIDARG, list->DrawFrame(c.scan0, c.w, c.h, c.stride, 0));
    EXPECT_EQ(0, f.Count(0xFF0000)) << "the frame is untouched";
}

TEST_F(OverlayListTest, EditsAndRemovalsKeepTheIndexesInRange)
{
    COverlayRectangle* a = NewBox(0, 0, 0, 1, 1, 0, 1);
    COverlayRectangle* b = NewBox(0, 0, 0, 1, 1, 0, 1);
    COverlayRectangle* c = NewBox(0, 0, 0, 1, 1, 0, 1);
    list->Insert(-3, a);    // clamped to the front
    list->Insert(99, b);    // clamped to the end
    list->Insert(1, c);
    list->Insert(0, nullptr);
    ASSERT_EQ(3, list->GetCount());
    EXPECT_EQ(a, list->GetAt(0));
    EXPECT_EQ(c, list->GetAt(1));
    EXPECT_EQ(b, list->GetAt(2));
    EXPECT_EQ(nullptr, list->GetAt(3));
    EXPECT_EQ(nullptr, list->GetAt(-1));
    EXPECT_EQ(nullptr, list->RemoveAt(3));
    EXPECT_EQ(c, list->RemoveAt(1));
    delete c;
    EXPECT_EQ(2, list->GetCount());
    // A second holder keeps the list (and its overlays) alive.
    list->AddRef();
    list->Release();
    EXPECT_EQ(a, list->GetAt(0));
    list->DeleteAll();
    EXPECT_EQ(0, list->GetCount());
}

// A render draws frames on its streaming thread while the user-interface
// thread removes and deletes overlays and puts new ones in: every frame shows
// each box whole or not at all.
TEST_F(OverlayListTest, RemovalsDuringDrawingNeverShowHalfAnOverlay)
{
    for (int i = 0; i < 4; ++i)
        list->Insert(i, NewBox(RGB(255, 0, 0), 2 + 15 * (i % 4), 4, 20, 10, 0, kSecond));
    std::atomic<bool> done(false);
    std::atomic<int> frames(0), bad(0);
    std::thread streaming([&] {
        while (!done.load()) {
            Frame f(true);
            list->DrawFrame(f.Scan0(), kW, kH, f.Stride(), kSecond / 2);
            // Every box covers rows 4-13: a frame shows 10 red rows or none,
            // and red columns on row 9 exactly when it shows red rows.
            int columns = 0;
            for (int x = 0; x < kW; ++x)
                columns += f.At(x, 9) == 0xFF0000;
            int rows = 0;
            for (int y = 0; y < kH; ++y)
                rows += f.At(10, y) == 0xFF0000 || f.At(25, y) == 0xFF0000 || f.At(40, y) == 0xFF0000 ||
                        f.At(55, y) == 0xFF0000;
            if (!(rows == 0 || rows == 10) || (rows == 0) != (columns == 0))
                bad.fetch_add(1);
            frames.fetch_add(1);
        }
    });
    for (int round = 0; round < 200; ++round) {
        COverlay* gone = nullptr;
        {
            COverlayListLock lock(list);
            gone = list->RemoveAt(round % 4);
        }
        delete gone;
        list->Insert(round % 4, NewBox(RGB(255, 0, 0), 2 + 15 * (round % 4), 4, 20, 10, 0, kSecond));
        if (round % 50 == 49)
            list->DeleteAll();
        Sleep(0);
    }
    while (frames.load() < 20)
        Sleep(1);
    done = true;
    streaming.join();
    EXPECT_EQ(0, bad.load()) << "of " << frames.load() << " frames";
}
