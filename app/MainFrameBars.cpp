// The main window's menu bar, tool bar and status bar.
#include "app/MainFrame.h"

#include "app/RecorderApp.h"
#include "app/WatermarkOptionsPage.h"
#include "capture/StampOrderDlg.h"
#include "framework/ui/PropertySheet.h"
#include "settings/RecorderPrefs.h"
#include "controls/SkoMenuBar.h"
#include "controls/ToolBarEx.h"
#include "controls/TaskbarIcon.h"
#include "framework/Module.h"
#include "framework/ui/Controls.h"
#include "resources/ids_app.h"

namespace {
const UINT kToolButtons[] = { ID_MAIN_RECORD_PAUSE, ID_MAIN_STOP, ID_MAIN_DELETE };
const UINT kToolTexts[] = { IDS_MAIN_TB_RECORD, IDS_MAIN_TB_STOP, IDS_MAIN_TB_DELETE };
// Images of the tool-bar strip: the three buttons', then the Record button's
// pause image, shown while a recording runs.
const int kImageRecord = 0;
const int kImagePause = 3;
}  // namespace

void CMainFrame::CreateBars()
{
    m_menuBar.reset(new XRVSkoMenuBar);
    m_menuBar->m_bDetach = TRUE;
    if (m_menuBar->CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect(0, 0, 0, 0),
                            AFX_IDW_MENUBAR))
        m_menuBar->LoadMenu(IDR_MAINFRAME);

    m_toolBar.reset(new CToolBarEx);
    if (m_toolBar->CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP)) {
        // The captions need a face with Chinese glyphs: there is no font linking.
        LOGFONT lf;
        ZeroMemory(&lf, sizeof(lf));
        lf.lfHeight = -12;
        lf.lfCharSet = DEFAULT_CHARSET;
        lstrcpyA(lf.lfFaceName, "宋体");
        m_toolBar->SetTextFont(&lf);
        m_toolBar->SetSizes(CSize(23, 22), CSize(16, 16));
        m_toolBar->LoadBitmap(IDB_MAIN_TOOLBAR);
        m_toolBar->SetButtons(kToolButtons, 3);
        for (int i = 0; i < 3; i++) {
            CString text;
            text.LoadString(kToolTexts[i]);
            m_toolBar->SetButtonText(i, text);
        }
        m_toolBar->SetSizes(CSize(48, 40), CSize(16, 16));
    }

    m_statusBar.reset(new CStatusBar);
    m_statusBar->Create(this);
    SetMessageText(AFX_IDS_IDLEMESSAGE_TEXT);
    RecalcLayout();
}

BOOL CMainFrame::PreTranslateMessage(MSG* pMsg)
{
    if (m_menuBar && m_menuBar->m_hWnd != NULL && m_menuBar->PreTranslateMessage(pMsg))
        return TRUE;
    return CFrameWnd::PreTranslateMessage(pMsg);
}

// Exit goes only while no dialog of the window is open.
void CMainFrame::OnExitCommand()
{
    if (::GetLastActivePopup(m_hWnd) != m_hWnd)
        return;
    OnAppExit(0, 0);
}

void CMainFrame::OnUpdateExit(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(::GetLastActivePopup(m_hWnd) == m_hWnd);
}

void CMainFrame::OnOptionsWatermark()
{
    CRecorderPrefs copy(*m_prefs);
    CString title;
    title.LoadString(IDS_MAIN_WATERMARK_TITLE);
    CPropertySheet sheet(title, this);
    CWatermarkOptionsPage page(&copy, this, NULL);
    sheet.AddPage(&page);
    if (sheet.DoModal() != IDOK)
        return;
    m_prefs->m_watermark.Assign(copy.m_watermark);
    m_prefs->m_watermark.m_bOverlay = copy.m_watermark.m_bOverlay;
    m_prefs->m_flags = copy.m_flags;
}

void CMainFrame::OnOptionsStampOrder()
{
    CStampOrderDlg dlg(this);
    dlg.m_order = m_prefs->m_systemStampOrder;
    if (dlg.DoModal() == IDOK)
        m_prefs->m_systemStampOrder = dlg.m_order;
}

void CMainFrame::OnOptionsTimeDate()
{
    m_prefs->m_timeDateFormat.EditWithDialog(this);
}

void CMainFrame::OnHelpIndex()
{
    static_cast<CRecorderApp*>(AfxGetApp())->OpenHelpIndex();
}

void CMainFrame::ShowIndicator(BOOL paused)
{
    if (m_toolBar && m_toolBar->m_hWnd != NULL)
        m_toolBar->SendMessage(TB_CHANGEBITMAP, ID_MAIN_RECORD_PAUSE,
                               MAKELPARAM(paused ? kImageRecord : kImagePause, 0));
    if (m_tray && m_tray->m_hWnd != NULL) {
        // Shared icons: the system keeps them for the life of the program.
        HICON icon = (HICON)::LoadImageA(AfxGetResourceHandle(),
                                         MAKEINTRESOURCEA(paused ? IDI_MAIN_TRAY_PAUSED : IDI_MAIN_TRAY_RECORDING),
                                         IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                         ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
        if (icon != NULL && icon != m_tray->GetIcon())
            m_tray->SetIcon(icon, TRUE);
    }
}

void CMainFrame::OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu)
{
    CFrameWnd::OnMenuSelect(nItemID, nFlags, hSysMenu);
    if (nFlags == 0xFFFF && hSysMenu == NULL)
        SetRecordState(m_recordState);
}
