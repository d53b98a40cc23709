// Screen drawing from the main window: the hot key and the menu entry open
// the drawing window over a snapshot of the screen, or end it; the drawing
// window's menu commands come here and are passed back to it.
#include "app/MainFrame.h"

#include "capture/RecorderEngine.h"
#include "capture/ScreenDrawWnd.h"
#include "framework/ui/CmdTarget.h"
#include "resources/ids_screendraw.h"
#include "settings/RecorderPrefs.h"

CScreenDrawWnd* CMainFrame::GetScreenDraw() const
{
    if (m_screenDraw == NULL || !::IsWindow(m_screenDraw))
        return NULL;
    return static_cast<CScreenDrawWnd*>(CWnd::FromHandlePermanent(m_screenDraw));
}

// The flag lives in the engine: set on the engine of the moment while the
// drawing window is open, so that a recording that ends meanwhile leaves
// nothing behind and one that starts meanwhile gets it too.
void CMainFrame::ApplyScreenDrawEffects()
{
    if (!m_engine)
        return;
    const BOOL suppress = GetScreenDraw() != NULL && m_prefs && m_prefs->m_disableEffectsDuringScreenDraw;
    m_engine->SetEffectsSuppressed(suppress);
}

BOOL CMainFrame::StartScreenDraw()
{
    if (GetScreenDraw() != NULL)
        return TRUE;
    EndScreenDraw();   // frees a snapshot left by a window that went another way
    m_drawSnapshot = TakeScreenSnapshot(&m_drawPalette);
    if (!m_drawSnapshot)
        return FALSE;
    CScreenDrawWnd* window = new CScreenDrawWnd(m_prefs.get(), m_drawSnapshot, m_drawPalette, m_hWnd);
    if (!window->CreateDrawWindow()) {
        if (!window->m_hWnd)
            delete window;
        EndScreenDraw();
        return FALSE;
    }
    m_screenDraw = window->m_hWnd;
    ApplyScreenDrawEffects();
    return TRUE;
}

void CMainFrame::EndScreenDraw()
{
    HWND window = m_screenDraw;
    m_screenDraw = NULL;
    if (window && ::IsWindow(window))
        ::DestroyWindow(window);
    ApplyScreenDrawEffects();
    if (m_drawSnapshot)
        ::DeleteObject(m_drawSnapshot);
    m_drawSnapshot = NULL;
    if (m_drawPalette)
        ::DeleteObject(m_drawPalette);
    m_drawPalette = NULL;
}

void CMainFrame::OnScreenDrawToggle()
{
    if (GetScreenDraw() != NULL)
        EndScreenDraw();
    else if (!IsBusy())
        StartScreenDraw();
}

void CMainFrame::OnScreenDrawCommand(UINT id)
{
    if (id == ID_DRAW_STOP) {
        EndScreenDraw();
        return;
    }
    if (CScreenDrawWnd* window = GetScreenDraw())
        window->OnDrawCommand(id);
}

void CMainFrame::OnUpdateScreenDrawCommand(CCmdUI* pCmdUI)
{
    if (CScreenDrawWnd* window = GetScreenDraw())
        window->OnUpdateDrawCommand(pCmdUI);
    else
        pCmdUI->Enable(FALSE);
}
