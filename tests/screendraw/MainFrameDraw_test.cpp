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

}  // namespace
