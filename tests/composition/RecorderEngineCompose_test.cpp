#include "capture/RecorderEngine.h"

#include "capture/AviScreenStream.h"
#include "capture/RecorderWindow.h"
#include "capture/StampText.h"
#include "platform/imaging/Imaging.h"
#include "resources/ids_compose.h"
#include "settings/RecorderPrefs.h"
#include "settings/TextStyle.h"
#include "tests/support/TestSupport.h"
#include "../capture/CaptureTestSupport.h"
#include "ComposeTestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <string.h>
#include <string>

using namespace capturetest;
using namespace composetest;
using testsupport::ScratchDir;

namespace {

const COLORREF kCyan = RGB(0, 255, 255);
const RECT kWindow = {100, 100, 600, 500};
const RECT kArea = {150, 150, 470, 390};   // 320 x 240, inside the window
const int kAreaWidth = 320;
const int kAreaHeight = 240;

const COLORREF kCaptionBand = RGB(0, 160, 0);
const COLORREF kStampBand = RGB(128, 0, 128);
const COLORREF kWatermark = RGB(255, 128, 0);
const COLORREF kYellow = RGB(255, 255, 0);
const COLORREF kRed = RGB(255, 0, 0);

std::unique_ptr<CRecorderPrefs> MakePrefs(const std::string& tempDir, DWORD rate)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakeEnginePrefs(tempDir, kFourccDib, (int)rate);
    prefs->m_captureMouse = FALSE;
    prefs->m_highlightCursor = FALSE;
    prefs->m_highlightClicks = FALSE;
    prefs->m_recordClickAudio = FALSE;
    prefs->m_recordKeyAudio = FALSE;
    prefs->m_flags &= ~0x3u;
    return prefs;
}

void SetStyle(CTextStyle* style, int posX, int posY, COLORREF band, COLORREF text)
{
    style->m_posX = posX;
    style->m_posY = posY;
    style->m_style = IMG_TEXT_NORMAL;
    style->m_transparent = FALSE;
    style->m_wordWrap = FALSE;
    style->m_textColor = text;
    style->m_backgroundColor = band;
    style->m_fontHeight = -18;
    style->m_fontWeight = FW_BOLD;
    style->m_faceName = "Arial";
    style->MakeFont();
}

// The band a caption of `text` gets on an output frame, measured here.
SIZE BandSize(const CTextStyle& style, const CString& text, int frameHeight)
{
    HDC dc = ::CreateCompatibleDC(NULL);
    HGDIOBJ old = ::SelectObject(dc, style.GetFont());
    SIZE extent = {};
    ::GetTextExtentPoint32A(dc, text, text.GetLength(), &extent);
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(dc, &tm);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return SIZE{extent.cx + 2 * tm.tmAveCharWidth, frameHeight > extent.cy ? extent.cy * 3 / 2 : 0};
}

std::string RectText(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// A 24-bit BMP of one colour.
bool WriteSolidBmp(const std::string& path, int width, int height, COLORREF colour)
{
    const DWORD row = (DWORD)((width * 24 + 31) / 32 * 4);
    const DWORD image = row * height;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {sizeof(info), width, height, 1, 24, BI_RGB, image};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + image;
    std::string bytes((const char*)&file, sizeof(file));
    bytes.append((const char*)&info, sizeof(info));
    std::string pixels(image, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            pixels[y * row + x * 3] = (char)GetBValue(colour);
            pixels[y * row + x * 3 + 1] = (char)GetGValue(colour);
            pixels[y * row + x * 3 + 2] = (char)GetRValue(colour);
        }
    bytes += pixels;
    return testsupport::WriteFileBytes(path, bytes.data(), bytes.size());
}

void MouseButton(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof(input));
}

class ComposeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App().ClearBoxes();
        m_window.reset(new ColourWindow(kWindow, kCyan));
        // The window shows the standard arrow, as a desktop program does.
        ::SetClassLongPtrA(m_window->Hwnd(), GCLP_HCURSOR, (LONG_PTR)::LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
        ASSERT_TRUE(PumpUntil([] { return ScreenPixel(300, 300) == kCyan; }, 5000)) << "the window is shown";
    }
    void TearDown() override
    {
        MouseButton(MOUSEEVENTF_LEFTUP);
        m_window.reset();
    }

    void MoveCursor(int x, int y)
    {
        ::SetCursorPos(x, y);
        ASSERT_TRUE(PumpUntil(
            [&] {
                POINT p;
                return ::GetCursorPos(&p) && p.x == x && p.y == y;
            },
            3000));
        Pump(100);
    }

    // Starts a recording of the area and returns once capture began.
    void Start(CRecorderEngine& engine, MainWindowDouble& main)
    {
        RECT area = kArea;
        ASSERT_TRUE(engine.PrepareRecording(&area));
        ASSERT_TRUE(PumpUntil([&] { return main.First(WM_RECORDER_STATE) == 1; }, 5000)) << "capture began";
    }

    void Stop(CRecorderEngine& engine, MainWindowDouble& main)
    {
        engine.RequestStop();
        ASSERT_TRUE(PumpUntil([&] { return main.Count(WM_RECORDER_FINISHED) > 0; }, 15000));
    }

    void Frames(CRecorderEngine& engine, std::vector<DecodedFrame>* frames)
    {
        std::string why;
        ASSERT_TRUE(ReadAviFrames((LPCSTR)engine.GetScreenFileName(), frames, &why)) << why;
        ASSERT_FALSE(frames->empty());
    }

    ScratchDir m_dir{"vxcompose"};
    std::unique_ptr<ColourWindow> m_window;
};

}  // namespace

// A recording with a caption at the bottom centre, the system stamp at the
// top left (shown for its first 5 seconds only) and a small watermark at the
// bottom right: every decoded frame has them where they belong, in their
// colours.
TEST_F(ComposeTest, CaptionStampAndWatermarkSitWhereTheyBelong)
{
    MoveCursor(20, 20);
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), 10);
    prefs->m_flags |= 0x3;
    prefs->m_caption.m_text = "Vexcap caption";
    SetStyle(&prefs->m_caption, 16, 512, kCaptionBand, RGB(255, 255, 255));
    SetStyle(&prefs->m_timeDate, 0, 0, kStampBand, kYellow);
    prefs->m_timeDateStamp = 0;
    prefs->m_elapsedTimeStamp = 0;
    prefs->m_computerNameStamp = 1;
    prefs->m_userNameStamp = 1;
    prefs->m_autoSystemStamp = TRUE;
    prefs->m_systemStampDuration = 5;
    const std::string mark = m_dir.File("mark.bmp");
    ASSERT_TRUE(WriteSolidBmp(mark, 20, 10, kWatermark));
    WatermarkSettings& wm = prefs->m_watermark;
    wm.m_bInclude = TRUE;
    wm.m_strImagePath = mark.c_str();
    wm.m_nImageScale = 100;
    wm.m_nHorizontalOffset = 0;
    wm.m_nVerticalOffset = 0;
    wm.m_nOpacity = 100;
    wm.m_bUseTransparentColor = FALSE;
    wm.m_nPosition = 8;
    wm.m_bEmboss = FALSE;
    wm.m_bPreserveSize = TRUE;

    const CString stampLine = BuildStampLine(*prefs, 0.0f);
    ASSERT_FALSE(stampLine.IsEmpty());
    const SIZE caption = BandSize(prefs->m_caption, prefs->m_caption.m_text, kAreaHeight);
    const SIZE stamp = BandSize(prefs->m_timeDate, stampLine, kAreaHeight);
    const RECT captionBand = {(kAreaWidth - caption.cx) / 2, kAreaHeight - caption.cy,
                              (kAreaWidth - caption.cx) / 2 + caption.cx, kAreaHeight};
    const RECT stampBand = {0, 0, stamp.cx, stamp.cy};
    const RECT watermark = {kAreaWidth - 20, kAreaHeight - 10, kAreaWidth, kAreaHeight};

    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    ASSERT_NO_FATAL_FAILURE(Start(*engine, main));
    Pump(6000);
    ASSERT_NO_FATAL_FAILURE(Stop(*engine, main));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_TRUE(App().Boxes().empty());

    std::vector<DecodedFrame> frames;
    ASSERT_NO_FATAL_FAILURE(Frames(*engine, &frames));
    int withStamp = 0, withoutStamp = 0;
    for (const DecodedFrame& f : frames) {
        SCOPED_TRACE("sample " + std::to_string(f.sample));
        ASSERT_EQ(kAreaWidth, f.width);
        const RECT band = f.BoundsNear(kCaptionBand, 0);
        EXPECT_EQ(RectText(captionBand), RectText(band));
        EXPECT_GT(f.CountNear(captionBand, RGB(255, 255, 255), 40), 20) << "caption text in its band";

        const bool due = f.sample < 50;   // 10 frames a second, 5 seconds
        const RECT stamped = f.BoundsNear(kStampBand, 0);
        if (due) {
            ++withStamp;
            EXPECT_EQ(RectText(stampBand), RectText(stamped));
            EXPECT_GT(f.CountNear(stampBand, kYellow, 40), 20) << "stamp text in its band";
        } else {
            ++withoutStamp;
            EXPECT_TRUE(::IsRectEmpty(&stamped)) << "no stamp from 5 s on: " << RectText(stamped);
            EXPECT_EQ(0, f.CountNear(stampBand, kYellow, 40));
        }

        EXPECT_EQ(20 * 10, f.CountNear(watermark, kWatermark, 2)) << "the whole watermark, opaque";
        const RECT beside = {watermark.left - 3, watermark.top - 3, watermark.left, kAreaHeight};
        EXPECT_EQ(0, f.CountNear(beside, kWatermark, 60));
        EXPECT_EQ(kCyan, f.Pixel(watermark.left - 2, watermark.top - 2));
    }
    EXPECT_GT(withStamp, 30);
    EXPECT_GT(withoutStamp, 3);
}

// The cursor and its highlight are drawn where the cursor was, also when it
// sits exactly on the right and bottom edge of the area; a cursor just
// outside leaves the frame alone.
TEST_F(ComposeTest, CursorAndHighlightWhereTheCursorWas)
{
    struct Case {
        const char* name;
        int x, y;                  // relative to the area
        bool drawn;
        POINT highlightProbe;      // inside the highlight, clear of the cursor
    };
    const Case cases[] = {
        {"inside", 100, 80, true, {88, 80}},
        {"right and bottom edge", kAreaWidth, kAreaHeight, true, {kAreaWidth - 6, kAreaHeight - 4}},
        {"just outside", kAreaWidth + 1, 80, false, {kAreaWidth - 6, 80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MoveCursor(kArea.left + c.x, kArea.top + c.y);
        std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), 5);
        prefs->m_captureMouse = TRUE;
        prefs->m_highlightCursor = TRUE;
        prefs->m_highlightShape = 7000;
        prefs->m_highlightTranslucent = 0;
        prefs->m_highlightColor = kYellow;
        prefs->m_highlightSize = 40;
        // The focus frame lies just outside the area: hidden, so that the
        // cursor on the edge points at the recorded window, not at the frame.
        prefs->m_hideRect = TRUE;
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
        ASSERT_NO_FATAL_FAILURE(Start(*engine, main));
        Pump(1000);
        ASSERT_NO_FATAL_FAILURE(Stop(*engine, main));
        EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
        std::vector<DecodedFrame> frames;
        ASSERT_NO_FATAL_FAILURE(Frames(*engine, &frames));
        // The monitor thread samples the cursor every 40 ms: the last frame
        // surely has it.
        const DecodedFrame& f = frames.back();
        const RECT all = {0, 0, kAreaWidth, kAreaHeight};
        if (!c.drawn) {
            EXPECT_EQ(kAreaWidth * kAreaHeight, f.CountNear(all, kCyan, 0)) << "nothing drawn";
            continue;
        }
        EXPECT_EQ(ColourText(kYellow), ColourText(f.Pixel(c.highlightProbe.x, c.highlightProbe.y)));
        // Nothing beyond the highlight square.
        const RECT farAway = {0, 0, kAreaWidth, c.y - 21 > 0 ? c.y - 21 : 0};
        EXPECT_EQ(0, f.CountNear(farAway, kYellow, 0));
        if (c.x < kAreaWidth) {
            // The arrow (real or standard) right and below the hot spot:
            // black edge and white body.
            const RECT arrow = {c.x, c.y, c.x + 14, c.y + 22};
            EXPECT_GT(f.CountNear(arrow, RGB(0, 0, 0), 8), 5);
            EXPECT_GT(f.CountNear(arrow, RGB(255, 255, 255), 8), 5);
        }
    }
}

// A left click (SendInput) marks the frames: at 15 frames per second a disc
// growing over 5 frames from size / 5 to the size; at 2 frames per second
// one frame at the full size.
TEST_F(ComposeTest, ClickMarkLastsAThirdOfASecond)
{
    struct Case {
        DWORD rate;
        std::vector<int> radii;
        DWORD holdMs;
    };
    const Case cases[] = {
        {15, {8, 10, 13, 20, 40}, 800},
        {2, {40}, 1300},
    };
    const POINT at = {160, 120};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        MoveCursor(kArea.left + at.x, kArea.top + at.y);
        std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), c.rate);
        prefs->m_captureMouse = TRUE;
        prefs->m_highlightClicks = TRUE;
        prefs->m_highlightLClickSize = 40;
        prefs->m_highlightLBShape = 1;
        prefs->m_highlightLBColor = kRed;
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
        ASSERT_NO_FATAL_FAILURE(Start(*engine, main));
        Pump(c.rate == 2 ? 1100 : 300);
        MouseButton(MOUSEEVENTF_LEFTDOWN);
        Pump(c.holdMs);
        MouseButton(MOUSEEVENTF_LEFTUP);
        Pump(c.rate == 2 ? 1100 : 300);
        ASSERT_NO_FATAL_FAILURE(Stop(*engine, main));
        EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
        std::vector<DecodedFrame> frames;
        ASSERT_NO_FATAL_FAILURE(Frames(*engine, &frames));

        // The disc's radius in each frame, measured to the left of the
        // cursor (the arrow covers the right): 0 when there is none.
        std::vector<int> seen;
        std::string all;
        for (const DecodedFrame& f : frames) {
            int radius = 0;
            while (at.x - radius - 1 >= 0 && Near(f.Pixel(at.x - radius - 1, at.y), kRed, 8))
                ++radius;
            all += std::to_string(radius) + " ";
            if (radius > 0)
                seen.push_back(radius);
        }
        ASSERT_EQ(c.radii.size(), seen.size()) << "radii per frame: " << all;
        for (size_t i = 0; i < seen.size(); ++i)
            EXPECT_NEAR(c.radii[i], seen[i], 1) << "frame " << i << " of the mark; radii: " << all;
        // The marked frames follow one another.
        std::string pattern;
        for (const DecodedFrame& f : frames)
            pattern += Near(f.Pixel(at.x - 3, at.y), kRed, 8) ? 'x' : '.';
        EXPECT_NE(std::string::npos, pattern.find(std::string(c.radii.size(), 'x'))) << pattern;
    }
}

// A right click while the left click's mark still runs draws nothing for
// the right button; one after it has ended gets its own mark.
TEST_F(ComposeTest, RightClickWaitsForTheLeftMark)
{
    const COLORREF blue = RGB(0, 0, 255);
    const POINT at = {160, 120};
    MoveCursor(kArea.left + at.x, kArea.top + at.y);
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), 15);
    prefs->m_captureMouse = TRUE;
    prefs->m_highlightClicks = TRUE;
    prefs->m_highlightLClickSize = 40;
    prefs->m_highlightLBShape = 1;
    prefs->m_highlightLBColor = kRed;
    prefs->m_highlightRClickSize = 40;
    prefs->m_highlightRBShape = 1;
    prefs->m_highlightRBColor = blue;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    ASSERT_NO_FATAL_FAILURE(Start(*engine, main));
    Pump(300);
    // Right pressed 70 ms after the left: inside the left mark's 333 ms.
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    Pump(70);
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    Pump(600);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    MouseButton(MOUSEEVENTF_LEFTUP);
    Pump(300);
    // A right click on its own, later.
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    Pump(600);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    Pump(300);
    ASSERT_NO_FATAL_FAILURE(Stop(*engine, main));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    std::vector<DecodedFrame> frames;
    ASSERT_NO_FATAL_FAILURE(Frames(*engine, &frames));
    std::string pattern;
    for (const DecodedFrame& f : frames) {
        const COLORREF p = f.Pixel(at.x - 3, at.y);
        pattern += Near(p, kRed, 8) ? 'L' : Near(p, blue, 8) ? 'R' : '.';
    }
    // One left mark of 5 frames, then one right mark of 5 frames, apart.
    const size_t left = pattern.find("LLLLL");
    const size_t right = pattern.find("RRRRR");
    ASSERT_NE(std::string::npos, left) << pattern;
    ASSERT_NE(std::string::npos, right) << pattern;
    EXPECT_LT(left, right) << pattern;
    EXPECT_EQ(std::string::npos, pattern.find("LLLLLL")) << pattern;
    EXPECT_EQ(std::string::npos, pattern.find("RRRRRR")) << pattern;
    EXPECT_EQ(std::string::npos, pattern.find("LR")) << "no right mark right after the left one: " << pattern;
    EXPECT_EQ(std::string::npos, pattern.find("R", right + 5)) << pattern;
    EXPECT_EQ(std::string::npos, pattern.find("L", left + 5)) << pattern;
}

// A zoom makes the area (320 x 240) differ from the output (160 x 120): the
// frame is grabbed at the area's size and scaled, and the caption is drawn
// after scaling, at the output size.
TEST_F(ComposeTest, ZoomedFrameIsScaledThenCaptioned)
{
    ColourWindow red(RECT{310, 100, 600, 500}, kRed);
    ASSERT_TRUE(PumpUntil([] { return ScreenPixel(400, 300) == kRed; }, 5000));
    MoveCursor(20, 20);
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), 5);
    prefs->m_zoomInitialLevel = 50;
    prefs->m_zoomInterpolate = FALSE;
    prefs->m_flags |= 0x2;
    prefs->m_caption.m_text = "Zoom";
    SetStyle(&prefs->m_caption, 16, 512, kCaptionBand, RGB(255, 255, 255));
    const SIZE caption = BandSize(prefs->m_caption, prefs->m_caption.m_text, 120);
    const RECT captionBand = {(160 - caption.cx) / 2, 120 - caption.cy, (160 - caption.cx) / 2 + caption.cx, 120};

    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    ASSERT_NO_FATAL_FAILURE(Start(*engine, main));
    EXPECT_EQ(160, engine->GetOutputWidth());
    EXPECT_EQ(120, engine->GetOutputHeight());
    Pump(1000);
    ASSERT_NO_FATAL_FAILURE(Stop(*engine, main));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_TRUE(App().Boxes().empty());
    std::vector<DecodedFrame> frames;
    ASSERT_NO_FATAL_FAILURE(Frames(*engine, &frames));
    for (const DecodedFrame& f : frames) {
        SCOPED_TRACE("sample " + std::to_string(f.sample));
        ASSERT_EQ(160, f.width);
        ASSERT_EQ(120, f.height);
        // The window edge at area x 160 lands on output x 80.
        EXPECT_EQ(ColourText(kCyan), ColourText(f.Pixel(79, 20)));
        EXPECT_EQ(ColourText(kRed), ColourText(f.Pixel(80, 20)));
        EXPECT_EQ(ColourText(kCyan), ColourText(f.Pixel(0, 60)));
        EXPECT_EQ(ColourText(kRed), ColourText(f.Pixel(159, 60)));
        EXPECT_EQ(RectText(captionBand), RectText(f.BoundsNear(kCaptionBand, 0)));
    }
}

// A watermark file that cannot be opened fails the recording before its
// first frame, naming the file.
TEST_F(ComposeTest, MissingWatermarkFailsNamingTheFile)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), 5);
    const std::string missing = m_dir.File("no-such-mark.png");
    prefs->m_watermark.m_bInclude = TRUE;
    prefs->m_watermark.m_strImagePath = missing.c_str();
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return main.Count(WM_RECORDER_FINISHED) > 0; }, 10000));
    EXPECT_EQ(1, main.First(WM_RECORDER_FINISHED));
    EXPECT_FALSE(engine->HasFramesWritten());
    const std::vector<std::string> boxes = App().Boxes();
    ASSERT_EQ(1u, boxes.size());
    CString expected;
    expected.Format(IDS_WATERMARK_FILE_UNREADABLE, missing.c_str());
    EXPECT_EQ(std::string((LPCSTR)expected), boxes[0]);
    EXPECT_NE(std::string::npos, boxes[0].find(missing));
}

// A palette change reported on a true-colour display changes no colours:
// the recording goes on with its one format and loses no frame.
TEST_F(ComposeTest, PaletteChangeWithTheSameColoursKeepsRecording)
{
    MoveCursor(20, 20);
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), 5);
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    ASSERT_NO_FATAL_FAILURE(Start(*engine, main));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 2; }, 5000));
    engine->SetPaletteChanged();
    const DWORD before = engine->GetCapturedFrames();
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= before + 3; }, 5000))
        << "frames go on after the change";
    ASSERT_NO_FATAL_FAILURE(Stop(*engine, main));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_TRUE(App().Boxes().empty());
    std::vector<DecodedFrame> frames;
    ASSERT_NO_FATAL_FAILURE(Frames(*engine, &frames));
    EXPECT_GE(frames.size(), (size_t)(before + 3));
    const RECT all = {0, 0, kAreaWidth, kAreaHeight};
    for (const DecodedFrame& f : frames)
        EXPECT_EQ(kAreaWidth * kAreaHeight, f.CountNear(all, kCyan, 0)) << "sample " << f.sample;
}
