// The timed overlays in the preview: clips A (red) and B (blue) joined by a
// fade, a Chinese text over [0.5 s, 3 s) and an image over [1 s, 3.5 s), put
// together through the preview's facade; after each seek the screen shows the
// overlays of that timeline time (the samples count from 0 after a seek: the
// overlay filter must learn where they start). A screenshot of the 1.5 s
// frame is kept in the build folder to be looked at.
#include "PreviewTestSupport.h"

#include "DexTestMedia.h"
#include "UiTestSupport.h"

#include "overlays/OverlayImageAbove.h"
#include "overlays/OverlayText.h"
#include "overlays/SoftTransitions.h"
#include "overlays/TimelinePreview.h"

#include <gdiplus.h>

#include <vector>

namespace {

using namespace previewtest;

const LONGLONG kSec = 10000000;
const int kW = 320, kH = 240;
const RECT kImage = {200, 20, 264, 68};     // in the movie
const RECT kTextBox = {20, 140, 300, 220};  // where the text's glyphs land

// The screen's pixels (0xRRGGBB) of a rectangle, rows from the top.
std::vector<DWORD> ScreenPixels(const RECT& r)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<DWORD> pixels((size_t)w * h, 0);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = NULL;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        memcpy(pixels.data(), bits, pixels.size() * 4);
        SelectObject(memory, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    for (DWORD& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

class PreviewOverlaysTest : public PreviewTest {
protected:
    void SetUp() override
    {
        PreviewTest::SetUp();
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token, &input, NULL));
        for (int i = 0; i < 2; ++i) {
            dextest::AviPlan avi;
            avi.width = kW;
            avi.height = kH;
            avi.fps = 10;
            avi.frameColours.assign(20, i == 0 ? dextest::kRed : dextest::kBlue);
            ASSERT_EQ("", dextest::WriteAvi(clip[i], avi));
        }
        ASSERT_TRUE(dextest::WriteSolidPng(png, 64, 48, dextest::kGreen));
    }
    void TearDown() override
    {
        Gdiplus::GdiplusShutdown(token);
        PreviewTest::TearDown();
    }
    std::string clip[2] = {dir.File("A.avi"), dir.File("B.avi")};
    std::string png = dir.File("logo.png");
    ULONG_PTR token = 0;
};

TransitionInfo Fade()
{
    TransitionInfo info;
    for (const SoftTransitionClass& c : kSoftTransitionClasses)
        if (strcmp(c.name, "Fade") == 0) {
            std::wstring wide(c.clsid, c.clsid + strlen(c.clsid));
            CLSIDFromString(const_cast<LPOLESTR>(wide.c_str()), &info.guid);
        }
    info.uIndexStart = 0;
    info.uIndexStop = 1;
    info.rtStart = 2 * kSec;
    info.rtStop = 3 * kSec;
    info.rtDuration = kSec;
    return info;
}

}  // namespace

TEST_F(PreviewOverlaysTest, SeeksShowTheOverlaysOfThatTime)
{
    CTimelinePlayer player;
    ASSERT_EQ(S_OK, player.AddMediaFile(0, clip[0].c_str(), 0, 2 * kSec));
    ASSERT_EQ(S_OK, player.AddMediaFile(0, clip[1].c_str(), 2 * kSec, 4 * kSec));
    ASSERT_EQ(S_OK, player.AppendTransition(Fade()));
    COverlayText* text = new COverlayText;
    text->m_text = "中文字幕";
    text->m_font.lfHeight = 40;
    text->m_textColor = 0xFFFFFFFF;
    text->m_antiAliasText = 0;
    text->m_rectDestX = 30;
    text->m_rectDestY = 150;
    text->m_start = kSec / 2;
    text->m_end = 3 * kSec;
    ASSERT_EQ(S_OK, player.InsertOverlayFirst(text, NULL));
    COverlayImageAbove* image = new COverlayImageAbove;
    image->m_imagePath = png.c_str();
    image->m_rectDestX = (float)kImage.left;
    image->m_rectDestY = (float)kImage.top;
    image->m_rectDestWidth = 64;
    image->m_rectDestHeight = 48;
    image->m_movieWidth = kW;
    image->m_movieHeight = kH;
    image->m_start = kSec;
    image->m_end = 35 * kSec / 10;
    image->m_fadeIn = kSec / 2;
    ASSERT_EQ(S_OK, player.InsertOverlayFirst(image, NULL));
    ASSERT_EQ(S_OK, player.BuildPreviewGraph());

    mediatest::CTestParent host;
    CTimelinePreview preview;
    preview.SetPlayer(&player);
    RECT r = {0, 0, kW, kH};
    ASSERT_TRUE(preview.CreatePlayer(&host, r, 1));
    preview.Refresh();
    ASSERT_TRUE(mediatest::PumpUntil([&] { return preview.IsMediaReady() != FALSE; }, 10000));
    EXPECT_EQ(5 * kSec, preview.GetDuration());

    const RECT movie = preview.GetMovieRect();
    POINT origin = {movie.left, movie.top};
    ClientToScreen(preview.m_hWnd, &origin);
    const RECT screenMovie = {origin.x, origin.y, origin.x + kW, origin.y + kH};
    auto whiteInText = [&](const std::vector<DWORD>& px) {
        int n = 0;
        for (int y = kTextBox.top; y < kTextBox.bottom; ++y)
            for (int x = kTextBox.left; x < kTextBox.right; ++x) {
                const DWORD c = px[(size_t)y * kW + x];
                n += ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) > 200;
            }
        return n;
    };
    struct Case {
        double at;
        DWORD background;   // away from the overlays
        bool text;
        DWORD image;        // the image's middle
    } cases[] = {
        {1.5, dextest::kRed, true, dextest::kGreen},
        {0.2, dextest::kRed, false, dextest::kRed},
        {3.2, dextest::kBlue, false, dextest::kGreen},
        {0.6, dextest::kRed, true, 0xCC3300},   // a fifth into the image's fade-in
        {4.0, dextest::kBlue, false, dextest::kBlue},
        {1.5, dextest::kRed, true, dextest::kGreen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "at " << c.at << " s");
        preview.Seek((LONGLONG)(c.at * kSec + 0.5), 1);
        const DWORD imageColour = c.image;
        std::vector<DWORD> px;
        const bool shown = mediatest::PumpUntil(
            [&] {
                px = ScreenPixels(screenMovie);
                return Near(px[5 * kW + 5], c.background) && Near(px[44 * kW + 232], imageColour, 4) &&
                       (whiteInText(px) > 50) == c.text;
            },
            10000);
        EXPECT_TRUE(shown) << "background " << std::hex << px[5 * kW + 5] << ", image " << px[44 * kW + 232]
                           << std::dec << ", " << whiteInText(px) << " text pixels";
        if (c.at == 1.5 && shown) {
            const std::string folder = testsupport::BuildDir() + "\\preview-shots";
            CreateDirectoryA(folder.c_str(), NULL);
            EXPECT_TRUE(uitest::SaveScreenPng(folder + "\\preview-overlays-1.5s.png", &screenMovie));
        }
    }
    preview.DestroyWindow();
    player.KillActionThread(TRUE);
}
