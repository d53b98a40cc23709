#include "controls/TipDlg.h"

#include "controls/HtmlText.h"
#include "controls/TipText.h"
#include "framework/ui/DataExchange.h"
#include "resources/ids_controls.h"
#include "settings/ShellUtil.h"

BEGIN_MESSAGE_MAP(CTipDlg, CDialog)
    ON_WM_MOUSEWHEEL()
END_MESSAGE_MAP()

CTipDlg::CTipDlg(CWnd* pParentWnd, BOOL bValue)
    : CDialog(IDD_TIP, pParentWnd), m_bShowAgain(TRUE), m_bValue(bValue), m_nMaskId(0),
      m_lpszPicture(NULL), m_nLowColourId(0), m_panelColour((COLORREF)-1), m_bCentre(FALSE),
      m_bImagePending(FALSE), m_bTitleFontPending(FALSE), m_lpszIcon(NULL), m_bIconPending(FALSE),
      m_bTipPending(FALSE), m_bCustomCaption(FALSE), m_bHideCheckBox(FALSE)
{
    ZeroMemory(&m_titleFont, sizeof(m_titleFont));
    CTipText::RegisterWindowClass();
}

CTipDlg::~CTipDlg()
{
}

CTipText* CTipDlg::GetTipText() const
{
    if (m_hWnd == NULL)
        return NULL;
    return dynamic_cast<CTipText*>(CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, IDC_TIP_TEXT)));
}

void CTipDlg::SetImage(UINT nMaskId, LPCTSTR lpszPicture, UINT nLowColourId, COLORREF panelColour, BOOL bCentre)
{
    m_nMaskId = nMaskId;
    if (lpszPicture != NULL && !IS_INTRESOURCE(lpszPicture)) {
        m_strPicture = lpszPicture;
        m_lpszPicture = m_strPicture;
    } else {
        m_lpszPicture = lpszPicture;
    }
    m_nLowColourId = nLowColourId;
    m_panelColour = panelColour;
    m_bCentre = bCentre;
    m_bImagePending = TRUE;
    ApplyTip();
}

void CTipDlg::SetTitleFont(const LOGFONT* pLogFont)
{
    if (pLogFont == NULL)
        return;
    m_titleFont = *pLogFont;
    m_bTitleFontPending = TRUE;
    ApplyTip();
}

void CTipDlg::SetIcon(LPCTSTR lpszName)
{
    if (lpszName != NULL && !IS_INTRESOURCE(lpszName)) {
        m_strIcon = lpszName;
        m_lpszIcon = m_strIcon;
    } else {
        m_lpszIcon = lpszName;
    }
    m_bIconPending = TRUE;
    ApplyTip();
}

void CTipDlg::SetTip(LPCTSTR lpszTitle, LPCTSTR lpszText)
{
    m_strTitle = lpszTitle != NULL ? lpszTitle : "";
    m_strText = lpszText != NULL ? lpszText : "";
    m_bTipPending = TRUE;
    ApplyTip();
}

void CTipDlg::SetTipStrings(UINT nTitleId, UINT nTextId)
{
    CString title, text;
    title.LoadString(nTitleId);
    text.LoadString(nTextId);
    SetTip(title, text);
}

void CTipDlg::SetTipText(UINT nTitleId, LPCTSTR lpszText)
{
    CString title;
    title.LoadString(nTitleId);
    SetTip(title, lpszText);
}

// Before the dialog exists the settings wait for OnInitDialog; afterwards
// they go to the tip view at once.
void CTipDlg::ApplyTip()
{
    CTipText* pTip = GetTipText();
    if (pTip == NULL)
        return;
    if (m_bTitleFontPending) {
        pTip->SetTitleFont(&m_titleFont);
        m_bTitleFontPending = FALSE;
    }
    if (m_bImagePending) {
        pTip->SetImage(m_nMaskId, m_lpszPicture, m_nLowColourId, m_panelColour, m_bCentre);
        m_bImagePending = FALSE;
    }
    if (m_bIconPending) {
        pTip->SetIcon(m_lpszIcon);
        m_bIconPending = FALSE;
    }
    if (m_bTipPending) {
        pTip->SetTitle(m_strTitle);
        pTip->SetText(m_strText);
        m_bTipPending = FALSE;
        CString caption;
        if (m_bCustomCaption)
            caption = m_strCaption;
        else
            caption.LoadString(IDS_TIP_CAPTION);
        SetWindowText(caption);
        CString check;
        check.LoadString(IDS_TIP_SHOW_AGAIN);
        SetDlgItemText(IDC_TIP_SHOW_AGAIN, check);
    }
}

BOOL CTipDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ApplyTip();
    CString caption;
    if (m_bCustomCaption)
        caption = m_strCaption;
    else
        caption.LoadString(IDS_TIP_CAPTION);
    SetWindowText(caption);
    CString check;
    check.LoadString(IDS_TIP_SHOW_AGAIN);
    SetDlgItemText(IDC_TIP_SHOW_AGAIN, check);
    if (m_bHideCheckBox)
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_TIP_SHOW_AGAIN), SW_HIDE);
    ForceForegroundWindow(m_hWnd);
    return TRUE;
}

void CTipDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Check(pDX, IDC_TIP_SHOW_AGAIN, m_bShowAgain);
}

void CTipDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

BOOL CTipDlg::OnMouseWheel(UINT nFlags, short zDelta, CPoint pt)
{
    HWND hTip = ::GetDlgItem(m_hWnd, IDC_TIP_TEXT);
    if (hTip != NULL)
        ::SendMessageA(hTip, WM_MOUSEWHEEL, MAKEWPARAM(nFlags, zDelta), MAKELPARAM(pt.x, pt.y));
    return TRUE;
}

// ---------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CTipDlgEx, CTipDlg)
    ON_COMMAND(IDYES, OnYes)
    ON_COMMAND(IDNO, OnNo)
END_MESSAGE_MAP()

CTipDlgEx::CTipDlgEx(CWnd* pParentWnd, BOOL bYesDefault) : CTipDlg(pParentWnd, bYesDefault)
{
}

// Yes and No stand left of the close button, each one button width plus 10
// pixels further left, in the dialog's font.
BOOL CTipDlgEx::OnInitDialog()
{
    CTipDlg::OnInitDialog();
    CRect close;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDOK), &close);
    ScreenToClient(&close);
    const int step = close.Width() + 10;
    CString yes, no;
    no.LoadString(IDS_TIP_NO);
    yes.LoadString(IDS_TIP_YES);
    CRect rectNo = close;
    rectNo.OffsetRect(-step, 0);
    CRect rectYes = close;
    rectYes.OffsetRect(-2 * step, 0);
    m_btnNo.Create(no, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, rectNo, this, IDNO);
    m_btnYes.Create(yes, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, rectYes, this, IDYES);
    CFont* pFont = GetFont();
    m_btnNo.SetFont(pFont);
    m_btnYes.SetFont(pFont);
    SendMessage(DM_SETDEFID, m_bValue ? IDYES : IDNO);
    ::SendMessageA(::GetDlgItem(m_hWnd, IDOK), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    GotoDlgCtrl(m_bValue ? &m_btnYes : &m_btnNo);
    return FALSE;
}

void CTipDlgEx::OnYes()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDYES);
}

void CTipDlgEx::OnNo()
{
    EndDialog(IDNO);
}
