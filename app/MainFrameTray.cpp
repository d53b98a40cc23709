// The main window's tray icon and its menu.
#include "app/MainFrame.h"

#include "capture/RecorderEngine.h"
#include "controls/TaskbarIcon.h"
#include "framework/Module.h"
#include "framework/WinApp.h"
#include "resources/ids_app.h"

// Shown while a recording runs, with the state text as its tip.
void CMainFrame::UpdateTrayIcon(const CString& stateText)
{
    if (!m_tray || m_tray->m_hWnd == NULL)
        return;
    m_tray->SetTooltipText(stateText, TRUE);
    if (m_recordState != 0)
        m_tray->Show();
    else
        m_tray->Hide();
}

LRESULT CMainFrame::OnTaskbarIcon(WPARAM, LPARAM mouseMessage)
{
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        OnShowWindowCommand();
        return 0;
    }
    if (mouseMessage != WM_RBUTTONUP)
        return 0;
    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDM_MAIN_TRAY));
    if (menu == NULL)
        return 0;
    POINT pt;
    ::GetCursorPos(&pt);
    // The menu closes when the user clicks elsewhere only while the window is
    // in the foreground.
    SetForegroundWindow();
    ::TrackPopupMenu(::GetSubMenu(menu, 0), TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, pt.x, pt.y, 0, m_hWnd, NULL);
    PostMessage(WM_NULL);
    ::DestroyMenu(menu);
    return 0;
}

void CMainFrame::OnRecordPause()
{
    if (IsBusy())
        return;
    if (m_engine && !m_engine->IsPaused())
        Pause();
    else
        Record();
}

void CMainFrame::OnStopCommand()
{
    if (!IsBusy())
        Stop();
}

// Asks first: a deleted recording cannot come back.
void CMainFrame::OnDeleteCommand()
{
    if (IsBusy() || !m_engine)
        return;
    CString question;
    question.LoadString(IDS_MAIN_DELETE_CONFIRM);
    if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES && m_engine && !IsBusy())
        Discard();
}

void CMainFrame::OnShowWindowCommand()
{
    ShowWindow(SW_SHOW);
    SetForegroundWindow();
}

void CMainFrame::OnUpdateWhileRecording(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_engine != nullptr && !IsBusy());
}
