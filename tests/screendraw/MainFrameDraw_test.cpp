// Screen drawing through the real main window: its hot key and menu entry
// open and end the drawing window, the drawing window's commands come back
// through it, and the engine's effects flag follows the drawing window on
// the engine of the moment only.
#include "SmallRecordingPrefs.h"
#include "app/MainFrame.h"

#include "app/MainWindowStart.h"
#include "capture/AviScreenStream.h"
#include "capture/RecorderEngine.h"
#include "capture/ScreenDrawWnd.h"
#include "framework/Module.h"
#include "resources/ids_app.h"
#include "resources/ids_screendraw.h"
#include "settings/RecorderPrefs.h"
#include "tests/support/TestSupport.h"
#include "CaptureTestSupport.h"
#include "ScreenDrawTestSupport.h"

#include <gtest/gtest.h>

using namespace capturetest;
using namespace drawtest;

namespace {

const DWORD kF8Code = 0x800 | 8;   // stored hot-key code of F8

class MainFrameDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        IMainWindowStart* start = CMainFrame::Make(NULL, "Vexcap draw test");
        ASSERT_TRUE(start != NULL);
        m_frame = static_cast<CMainFrame*>(start);
        CRecorderPrefs* p = m_frame->GetPrefs();
        SetSmallRecordingPrefs(p, m_temp.Path().c_str(), m_temp.Path().c_str());
        p->m_screenDrawKey = 0;
    }

    void TearDown() override
    {
        if (m_frame) {
            m_frame->EndScreenDraw();
            if (m_frame->GetEngine()) {
                m_frame->Discard();
                PumpUntil([&] { return m_frame->GetEngine() == NULL; }, 30000);
            }
            ::DestroyWindow(m_frame->GetSafeHwnd());
        }
    }

    void Command(UINT id) { ::SendMessageA(m_frame->GetSafeHwnd(), WM_COMMAND, id, 0); }

    void StartRecording()
    {
        ASSERT_TRUE(m_frame->Record());
        ASSERT_TRUE(m_frame->GetEngine() != NULL);
    }

    void StopRecording()
    {
        m_frame->Discard();
        ASSERT_TRUE(PumpUntil([&] { return m_frame->GetEngine() == NULL; }, 60000));
    }

    bool Suppressed() { return m_frame->GetEngine() && m_frame->GetEngine()->IsEffectsSuppressed(); }

    testsupport::ScratchDir m_temp{"vxdraw"};
    CMainFrame* m_frame = NULL;
};

// The screen-draw hot key and the menu entry each open drawing and end it;
// the snapshot goes with the window (the GDI object count comes back).
TEST_F(MainFrameDrawTest, HotKeyAndMenuEntryOpenAndEndDrawing)
{
    m_frame->GetPrefs()->m_screenDrawKey = kF8Code;
    m_frame->RegisterHotKeys();
    ASSERT_TRUE(m_frame->GetRegisteredHotKeys() & (1u << CMainFrame::kHotScreenDraw));
    PumpInput(100);
    const DWORD gdiBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);

    PressKey(VK_F8);
    EXPECT_TRUE(PumpInputUntil([&] { return m_frame->GetScreenDraw() != NULL; }, 3000)) << "F8 opens";
    PressKey(VK_F8);
    EXPECT_TRUE(PumpInputUntil([&] { return m_frame->GetScreenDraw() == NULL; }, 3000)) << "F8 ends";

    Command(ID_MAIN_SCREEN_DRAW);
    EXPECT_TRUE(m_frame->GetScreenDraw() != NULL) << "the menu entry opens";
    Command(ID_MAIN_SCREEN_DRAW);
    EXPECT_TRUE(m_frame->GetScreenDraw() == NULL) << "the menu entry ends";
    PumpInput(100);
    EXPECT_EQ(gdiBefore, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
}

// Commands of the drawing menu reach the main window, which passes them back
// and ends drawing on the stop command; its menu update leaves undo
// disabled while there is nothing to undo.
TEST_F(MainFrameDrawTest, DrawingCommandsArePassedBack)
{
    m_frame->GetPrefs()->m_drawTool = 0;
    ASSERT_TRUE(m_frame->StartScreenDraw());
    PumpInput(100);
    Command(ID_DRAW_ARROW);
    EXPECT_EQ(5, m_frame->GetPrefs()->m_drawTool);
    Command(ID_DRAW_COLOR_FIRST + 4);
    EXPECT_EQ((COLORREF)0x00FFFF, m_frame->GetPrefs()->m_drawArrowColor);

    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_SCREENDRAW_MENU));
    ASSERT_TRUE(menu != NULL);
    HMENU popup = ::GetSubMenu(menu, 0);
    ::SendMessageA(m_frame->GetSafeHwnd(), WM_INITMENUPOPUP, (WPARAM)popup, 0);
    EXPECT_TRUE(::GetMenuState(popup, ID_DRAW_UNDO, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(::GetMenuState(popup, ID_DRAW_ARROW, MF_BYCOMMAND) & MF_CHECKED);
    ::DestroyMenu(menu);

    PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpInputUntil([&] { return m_frame->GetScreenDraw() == NULL; }, 3000)) << "Escape ends drawing";
    ASSERT_TRUE(m_frame->StartScreenDraw());
    Command(ID_DRAW_STOP);
    EXPECT_TRUE(m_frame->GetScreenDraw() == NULL);
    Command(ID_DRAW_UNDO);   // nothing open: ignored
}

// The effects flag is set on the running engine while drawing (only with
// DisableEffectsDuringScreenDraw), also on one that starts meanwhile, and
// cleared on the engine of the moment when drawing ends; a recording that
// ends while drawing leaves nothing to clear.
TEST_F(MainFrameDrawTest, EffectsFlagFollowsDrawingOnTheCurrentEngine)
{
    m_frame->GetPrefs()->m_disableEffectsDuringScreenDraw = FALSE;
    StartRecording();
    ASSERT_TRUE(m_frame->StartScreenDraw());
    EXPECT_FALSE(Suppressed()) << "the option is off";
    m_frame->EndScreenDraw();

    m_frame->GetPrefs()->m_disableEffectsDuringScreenDraw = TRUE;
    ASSERT_TRUE(m_frame->StartScreenDraw());
    EXPECT_TRUE(Suppressed());
    m_frame->EndScreenDraw();
    EXPECT_FALSE(Suppressed());

    ASSERT_TRUE(m_frame->StartScreenDraw());
    StopRecording();   // ends while drawing
    StartRecording();  // starts while drawing
    EXPECT_TRUE(Suppressed()) << "a recording started while drawing";
    m_frame->EndScreenDraw();
    EXPECT_FALSE(Suppressed());
    StopRecording();
}

// The shapes drawn while recording are in the recording where they were
// drawn: over a white and a blue window (x 100-499 and 500-899, y 100-399,
// the recorded area), a red width-8 frame (band red, inside unchanged), a
// black width-8 arrow (head 36 long) and a translucent yellow highlight
// (yellow over white, black over blue). U takes the highlight away again,
// and after Escape the recording shows the live screen. The frames are
// decoded by ffmpeg.
TEST_F(MainFrameDrawTest, DrawingShowsInTheRecordingUntilEscape)
{
    ColourWindow white({100, 100, 500, 400}, RGB(255, 255, 255));
    ColourWindow blue({500, 100, 900, 400}, RGB(0, 0, 255));
    CRecorderPrefs* p = m_frame->GetPrefs();
    ::SetRect(&p->m_fixedRect, 100, 100, 800, 300);   // x, y, width, height
    p->m_drawTool = 0;
    p->m_drawFrameWidth = 8;
    p->m_drawFrameColor = RGB(255, 0, 0);
    p->m_drawFrameTranslucent = FALSE;
    p->m_drawArrowWidth = 8;
    p->m_drawArrowColor = RGB(0, 0, 0);
    p->m_drawArrowTranslucent = FALSE;
    p->m_drawHighlightWidth = 1;
    p->m_drawHighlightColor = RGB(255, 255, 0);
    p->m_drawHighlightTranslucent = TRUE;
    p->m_screenDrawKey = kF8Code;
    m_frame->RegisterHotKeys();
    ASSERT_TRUE(m_frame->GetRegisteredHotKeys() & (1u << CMainFrame::kHotScreenDraw));
    MouseTo(880, 390);
    PumpInput(300);

    ASSERT_TRUE(m_frame->Record());
    PumpInput(800);
    PressKey(VK_F8);
    ASSERT_TRUE(PumpInputUntil([&] { return m_frame->GetScreenDraw() != NULL; }, 3000)) << "F8 opens drawing";
    PumpInput(300);
    Drag({150, 150}, {300, 300});   // the frame
    PressKey('A');
    Drag({150, 360}, {400, 360});   // the arrow, its tip at 400
    PressKey('H');
    Drag({400, 150}, {600, 250});   // the highlight
    MouseTo(880, 390);
    PumpInput(1500);
    PressKey('U');
    PumpInput(1500);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(PumpInputUntil([&] { return m_frame->GetScreenDraw() == NULL; }, 3000)) << "Escape ends drawing";
    PumpInput(1500);
    ASSERT_TRUE(m_frame->Stop());
    ASSERT_TRUE(PumpInputUntil([&] { return m_frame->GetEngine() == NULL; }, 60000));
    const std::string saved = m_temp.File("Capture-1.avi");
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(saved.c_str()));

    const int W = 800, H = 300;
    const std::string raw = m_temp.File("frames.raw");
    std::string out;
    ASSERT_EQ(0, testsupport::RunHost("ffmpeg -v error -y -i '" + testsupport::UnixPath(saved) +
                                          "' -f rawvideo -pix_fmt rgb24 '" + testsupport::UnixPath(raw) + "'",
                                      &out))
        << out;
    std::string bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(raw, &bytes));
    const size_t frameBytes = (size_t)W * H * 3;
    const size_t frames = bytes.size() / frameBytes;
    ASSERT_GE(frames, 10u);
    // Screen points and what each state of the drawing shows there.
    const DWORD kRedC = 0xFF0000, kWhiteC = 0xFFFFFF, kBlueC = 0x0000FF, kYellowC = 0xFFFF00, kBlackC = 0;
    struct Point {
        int x, y;
        DWORD all, undone, live;   // all three shapes; the highlight undone; drawing ended
    } points[] = {
        {153, 220, kRedC, kRedC, kWhiteC},         // the frame's band
        {220, 220, kWhiteC, kWhiteC, kWhiteC},     // inside the frame
        {297, 220, kRedC, kRedC, kWhiteC},
        {250, 360, kBlackC, kBlackC, kWhiteC},     // the arrow's shaft
        {395, 360, kBlackC, kBlackC, kWhiteC},     // near its tip
        {366, 370, kBlackC, kBlackC, kWhiteC},     // the head, 36 back from the tip
        {366, 350, kBlackC, kBlackC, kWhiteC},
        {405, 360, kWhiteC, kWhiteC, kWhiteC},     // past the tip
        {450, 200, kYellowC, kWhiteC, kWhiteC},    // highlight over white
        {550, 200, kBlackC, kBlueC, kBlueC},       // highlight over blue
        {550, 300, kBlueC, kBlueC, kBlueC},
    };
    auto pixel = [&](size_t f, int x, int y) {
        const unsigned char* px = (const unsigned char*)bytes.data() + f * frameBytes +
                                  ((size_t)(y - 100) * W + (x - 100)) * 3;
        return (DWORD)(px[0] << 16 | px[1] << 8 | px[2]);
    };
    auto shows = [&](size_t f, int state) {
        for (const Point& pt : points) {
            const DWORD want = state == 0 ? pt.all : state == 1 ? pt.undone : pt.live;
            if (pixel(f, pt.x, pt.y) != want)
                return false;
        }
        return true;
    };
    // The states follow each other in this order, and the recording ends live.
    size_t f = 0;
    for (int state = 0; state < 3; ++state) {
        while (f < frames && !shows(f, state))
            ++f;
        ASSERT_LT(f, frames) << "no frame shows state " << state;
    }
    EXPECT_TRUE(shows(frames - 1, 2));
}

}  // namespace
