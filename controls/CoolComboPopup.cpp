#include "controls/CoolComboPopup.h"

#include "controls/Emboss.h"
#include "framework/ui/DC.h"
#include "framework/ui/FrameWnd.h"

#include <algorithm>

const char* const CCoolComboPopup::kDefaultCaption = "拖拉使这个菜单浮动";

namespace {

// Records what a command's update handler answers.
class CCellCmdUI : public CCmdUI {
public:
    BOOL m_bEnabled = TRUE;
    void Enable(BOOL bOn) override
    {
        m_bEnabled = bOn;
        m_bEnableChanged = TRUE;
    }
    void SetCheck(int) override {}
    void SetText(LPCTSTR) override {}
};

// "Ctrl+Shift+N" for every accelerator of the table bound to the command.
CString AcceleratorTexts(HACCEL hAccel, int command)
{
    CString result;
    if (hAccel == NULL)
        return result;
    const int count = ::CopyAcceleratorTableA(hAccel, NULL, 0);
    if (count <= 0)
        return result;
    std::vector<ACCEL> table((size_t)count);
    ::CopyAcceleratorTableA(hAccel, &table[0], count);
    for (const ACCEL& a : table) {
        if ((int)a.cmd != command)
            continue;
        CString key;
        if (a.fVirt & FALT)
            key += "Alt+";
        if (a.fVirt & FCONTROL)
            key += "Ctrl+";
        if (a.fVirt & FSHIFT)
            key += "Shift+";
        if (a.fVirt & FVIRTKEY) {
            char name[64] = "";
            const LONG scan = (LONG)::MapVirtualKeyA(a.key, 0) << 16;
            ::GetKeyNameTextA(scan, name, sizeof(name));
            key += name;
        } else {
            key += (char)a.key;
        }
        result += "\t";
        result += key;
    }
    return result;
}

}  // namespace

IMPLEMENT_DYNAMIC(CCoolComboPopup, CWnd)

BEGIN_MESSAGE_MAP(CCoolComboPopup, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_KEYDOWN()
    ON_WM_KILLFOCUS()
    ON_WM_CAPTURECHANGED()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CCoolComboPopup::CCoolComboPopup()
    : m_nCount(0), m_nColumns(1), m_nRows(0), m_cxCell(18), m_cyCell(18),
      m_cxEdge(::GetSystemMetrics(SM_CXEDGE)), m_cyEdge(::GetSystemMetrics(SM_CYEDGE)), m_nHot(kCoolNoItem),
      m_nCurrent(kCoolNoItem), m_nChosen(kCoolNoItem), m_bTearOff(FALSE), m_bTearOffPress(FALSE),
      m_bPressSeen(FALSE), m_cyRow(0), m_pOwner(NULL), m_hImages(NULL), m_bTornOff(FALSE),
      m_bRecreating(FALSE), m_bClosing(FALSE), m_bHoldOpen(FALSE), m_bShowTooltips(TRUE), m_bStatusPrompts(TRUE),
      m_bOpenAbove(TRUE), m_nTextGap(4), m_strCaption(kDefaultCaption)
{
}

CCoolComboPopup::~CCoolComboPopup()
{
}

BOOL CCoolComboPopup::Create(const CCoolComboPopupParams& p)
{
    m_rcOwner = p.ownerRect;
    m_pOwner = p.pOwner;
    m_bTearOff = p.bTearOff;
    m_nCount = p.nCount > 0 ? p.nCount : 0;
    m_nColumns = p.nColumns > 0 ? p.nColumns : 1;   // no grid of 0 columns
    m_strDefault = p.strDefault;
    if (p.pExtras != NULL)
        m_extras.Copy(*p.pExtras);
    m_hImages = p.hImages;
    if (!p.strCaption.IsEmpty())
        m_strCaption = p.strCaption;
    if (p.pCommands != NULL && p.nCommands > 0) {
        m_commands.assign((size_t)m_nCount, -1);
        for (int i = 0; i < m_nCount && i < p.nCommands; i++)
            m_commands[(size_t)i] = p.pCommands[i];
    }
    m_tooltips.SetSize(m_nCount);
    if (p.pTooltips != NULL)
        for (int i = 0; i < m_nCount && i < p.pTooltips->GetSize(); i++)
            m_tooltips[i] = p.pTooltips->GetAt(i);

    // An initial item that does not exist is none; the initial state stays.
    const int cur = p.nCurrent;
    const bool exists = (cur >= 0 && cur < m_nCount) || (cur == kCoolDefaultItem && !m_strDefault.IsEmpty()) ||
                        (cur >= kCoolExtraBase && cur - kCoolExtraBase < m_extras.GetSize()) || cur == kCoolInitial;
    m_nCurrent = exists ? cur : kCoolNoItem;

    NONCLIENTMETRICSA ncm;
    ZeroMemory(&ncm, sizeof(ncm));
    ncm.cbSize = sizeof(ncm);
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
        m_font.CreateFontIndirect(&ncm.lfMessageFont);
    BuildCellTexts();
    if (!CreateWindowNow(FALSE))
        return FALSE;
    OnOpened();
    return TRUE;
}

BOOL CCoolComboPopup::CreateWindowNow(BOOL bToolWindow)
{
    LPCTSTR cls = AfxRegisterWndClass(CS_SAVEBITS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                                      ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    Layout();
    HWND hOwner = m_pOwner != NULL ? m_pOwner->m_hWnd : NULL;
    BOOL ok;
    if (bToolWindow) {
        // The frame goes around the same client area.
        CRect rc = m_rcWindow;
        ::AdjustWindowRectEx(&rc, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_TOOLWINDOW);
        ok = CreateEx(WS_EX_TOOLWINDOW, cls, m_strCaption, WS_POPUP | WS_CAPTION | WS_VISIBLE | WS_SYSMENU,
                      rc.left, rc.top, rc.Width(), rc.Height(), hOwner, NULL);
    } else {
        ok = CreateEx(0, cls, m_strCaption, WS_POPUP | WS_VISIBLE, m_rcWindow.left, m_rcWindow.top,
                      m_rcWindow.Width(), m_rcWindow.Height(), hOwner, NULL);
    }
    if (!ok)
        return FALSE;
    AddTooltips();
    if (!bToolWindow) {
        SetFocus();
        SetCapture();
    }
    return TRUE;
}

// Cell texts of command cells: the string of the command is "prompt\ntext";
// the menu text gets the accelerators of the main window appended.
void CCoolComboPopup::BuildCellTexts()
{
    m_texts.SetSize(m_nCount);
    m_accelTexts.SetSize(m_nCount);
    m_prompts.SetSize(m_nCount);
    if (m_commands.empty())
        return;
    CWnd* pMain = MainWindow();
    HACCEL hAccel = NULL;
    if (pMain != NULL && pMain->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
        hAccel = static_cast<CFrameWnd*>(pMain)->GetDefaultAccelerator();
    for (int i = 0; i < m_nCount; i++) {
        const int cmd = m_commands[(size_t)i];
        if (cmd <= 0)
            continue;
        CString s;
        s.LoadString((UINT)cmd);
        const int nl = s.Find('\n');
        if (nl >= 0) {
            m_prompts[i] = s.Left(nl);
            m_texts[i] = s.Mid(nl + 1);
        } else {
            m_texts[i] = s;
        }
        m_accelTexts[i] = m_texts[i] + AcceleratorTexts(hAccel, cmd);
        if (m_tooltips[i].IsEmpty())
            m_tooltips[i] = m_texts[i];
    }
}

CWnd* CCoolComboPopup::MainWindow() const
{
    CWnd* pMain = AfxGetMainWnd();
    if (pMain != NULL && pMain->m_hWnd != NULL)
        return pMain;
    // Without an application (a test window, say) the owner's top window stands in.
    HWND hRoot = m_pOwner != NULL ? ::GetAncestor(m_pOwner->m_hWnd, GA_ROOT) : NULL;
    return hRoot != NULL ? CWnd::FromHandle(hRoot) : NULL;
}

CSize CCoolComboPopup::GetCellSize()
{
    CSize size(16, 16);
    if (m_hImages != NULL) {
        int cx = 0, cy = 0;
        if (::ImageList_GetIconSize(m_hImages, &cx, &cy))
            size = CSize(cx, cy);
    }
    if (!m_commands.empty()) {
        CClientDC dc(NULL);
        HGDIOBJ old = ::SelectObject(dc.GetSafeHdc(), m_font.m_hObject != NULL ? m_font.m_hObject
                                                                             : ::GetStockObject(DEFAULT_GUI_FONT));
        const int imageWidth = size.cx;
        for (int i = 0; i < m_nCount; i++) {
            if (m_commands[(size_t)i] <= 0)
                continue;
            CString text = m_accelTexts[i] + "  ";
            RECT rc = { 0, 0, 0, 0 };
            ::DrawTextA(dc.GetSafeHdc(), text, text.GetLength(), &rc,
                        DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER);
            size.cx = std::max<LONG>(size.cx, imageWidth + m_nTextGap + (rc.right - rc.left));
        }
        ::SelectObject(dc.GetSafeHdc(), old);
    }
    return size;
}

void CCoolComboPopup::Layout()
{
    {
        CClientDC dc(NULL);
        HGDIOBJ old = ::SelectObject(dc.GetSafeHdc(), m_font.m_hObject != NULL ? m_font.m_hObject
                                                                             : ::GetStockObject(DEFAULT_GUI_FONT));
        SIZE m = { 0, 0 };
        ::GetTextExtentPoint32A(dc.GetSafeHdc(), "M", 1, &m);
        ::SelectObject(dc.GetSafeHdc(), old);
        m_cyRow = m.cy + 4 * m_cyEdge + 1;
    }
    const CSize cell = GetCellSize();
    m_cxCell = cell.cx + 2;
    m_cyCell = cell.cy + 2;
    m_nRows = (m_nCount + m_nColumns - 1) / m_nColumns;

    const int left = 3 * m_cxEdge;
    const int width = m_cxCell * m_nColumns;
    int y = m_cyEdge + 1;
    m_rcTearOff.SetRectEmpty();
    m_rcDefault.SetRectEmpty();
    m_rcSeparator.SetRectEmpty();
    m_rcExtras.SetRectEmpty();
    if (m_bTearOff && !m_bTornOff) {
        const int h = ::GetSystemMetrics(SM_CYSMCAPTION) / 2 - 1;
        m_rcTearOff = CRect(left, m_cyEdge, left + width, m_cyEdge + h);
        y = m_rcTearOff.bottom + m_cyEdge;
    }
    if (!m_strDefault.IsEmpty()) {
        if (m_bTearOff && !m_bTornOff)
            y += m_cyEdge;
        m_rcDefault = CRect(left, y, left + width, y + m_cyRow + 1);
        y = m_rcDefault.bottom + 2 * m_cyEdge;
    }
    m_rcGrid = CRect(left, y, left + width, y + m_cyCell * m_nRows + 2 * m_cyEdge + 1);
    int bottom = m_rcGrid.bottom;
    if (m_extras.GetSize() > 0) {
        m_rcSeparator = CRect(left, m_rcGrid.bottom + m_cyEdge, left + width, m_rcGrid.bottom + m_cyEdge + 2);
        m_rcExtras = CRect(left, m_rcSeparator.bottom + m_cyEdge, left + width,
                           m_rcSeparator.bottom + m_cyEdge + m_cyRow * (int)m_extras.GetSize());
        bottom = m_rcExtras.bottom;
    }
    const int cx = m_rcGrid.right + 3 * m_cxEdge;
    const int cy = bottom + 2 * m_cyEdge;

    if (m_bTornOff && m_hWnd != NULL) {
        CRect rc;
        GetClientRect(&rc);
        ClientToScreen(&rc);
        m_rcWindow = CRect(rc.left, rc.top, rc.left + cx, rc.top + cy);
        return;
    }
    // Under the owner, kept inside the virtual screen; when it would pass
    // the bottom it opens above the owner.
    const int sx = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int sy = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int sr = sx + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int sb = sy + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    int x = m_rcOwner.left;
    int top = m_rcOwner.bottom;
    if (x + cx > sr)
        x = sr - cx;
    if (x < sx)
        x = sx;
    int h = cy;
    if (top + cy > sb) {
        if (m_bOpenAbove)
            top = m_rcOwner.top - 1 - cy;
        else
            h = sb - top;
    }
    m_rcWindow = CRect(x, top, x + cx, top + h);
}

void CCoolComboPopup::AddTooltips()
{
    if (!m_bShowTooltips || !m_tooltip.Create(this))
        return;
    for (int i = 0; i < m_nCount; i++) {
        if (m_tooltips[i].IsEmpty())
            continue;
        const CRect rc = GetItemRect(i);
        m_tooltip.AddTool(this, m_tooltips[i], &rc, (UINT_PTR)i + 1);
    }
    m_tooltip.Activate(TRUE);
}

BOOL CCoolComboPopup::PreTranslateMessage(MSG* pMsg)
{
    if (m_tooltip.m_hWnd != NULL && pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST)
        m_tooltip.RelayEvent(pMsg);
    return CWnd::PreTranslateMessage(pMsg);
}

CRect CCoolComboPopup::GetItemRect(int nItem) const
{
    if (nItem == kCoolDefaultItem)
        return m_rcDefault;
    if (nItem >= kCoolExtraBase && nItem - kCoolExtraBase < m_extras.GetSize()) {
        const int i = nItem - kCoolExtraBase;
        return CRect(m_rcExtras.left, m_rcExtras.top + i * m_cyRow, m_rcExtras.right,
                     m_rcExtras.top + (i + 1) * m_cyRow);
    }
    if (nItem >= 0 && nItem < m_nCount) {
        const int row = nItem / m_nColumns;
        const int col = nItem % m_nColumns;
        const int x = m_rcGrid.left + col * m_cxCell;
        const int y = m_rcGrid.top + row * m_cyCell;
        return CRect(x, y, x + m_cxCell, y + m_cyCell);
    }
    return CRect(0, 0, 0, 0);
}

int CCoolComboPopup::HitTest(CPoint pt) const
{
    if (!m_rcDefault.IsRectEmpty() && m_rcDefault.PtInRect(pt))
        return kCoolDefaultItem;
    if (m_rcGrid.PtInRect(pt) && pt.y < m_rcGrid.top + m_nRows * m_cyCell) {
        const int col = (pt.x - m_rcGrid.left) / m_cxCell;
        const int row = (pt.y - m_rcGrid.top) / m_cyCell;
        const int index = row * m_nColumns + col;
        if (col < m_nColumns && index < m_nCount)
            return index;
        return kCoolNoItem;
    }
    if (!m_rcExtras.IsRectEmpty() && m_rcExtras.PtInRect(pt))
        return kCoolExtraBase + (pt.y - m_rcExtras.top) / m_cyRow;
    return kCoolNoItem;
}

CString CCoolComboPopup::GetCellText(int nCell) const
{
    return nCell >= 0 && nCell < m_accelTexts.GetSize() ? m_accelTexts[nCell] : CString();
}

CString CCoolComboPopup::GetCellPrompt(int nCell) const
{
    return nCell >= 0 && nCell < m_prompts.GetSize() ? m_prompts[nCell] : CString();
}

int CCoolComboPopup::GetCellCommand(int nCell) const
{
    if (nCell < 0 || (size_t)nCell >= m_commands.size())
        return -1;
    return m_commands[(size_t)nCell];
}

// A command cell is enabled as the main window's update handler says.
BOOL CCoolComboPopup::IsCellEnabled(int nCell) const
{
    const int cmd = GetCellCommand(nCell);
    if (cmd <= 0)
        return TRUE;
    CWnd* pMain = MainWindow();
    if (pMain == NULL)
        return TRUE;
    CCellCmdUI state;
    state.m_nID = (UINT)cmd;
    state.DoUpdate(pMain, FALSE);
    return state.m_bEnabled;
}

LRESULT CCoolComboPopup::Notify(UINT code, int value)
{
    if (m_pOwner == NULL || m_pOwner->m_hWnd == NULL)
        return 0;
    NMCOOLCOMBO nm;
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = (UINT_PTR)::GetDlgCtrlID(m_pOwner->m_hWnd);
    nm.hdr.code = code;
    nm.value = value;
    return ::SendMessageA(m_pOwner->m_hWnd, WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
}

void CCoolComboPopup::OnOpened() { Notify(CCN_OPENED, 0); }
void CCoolComboPopup::OnClosed() { Notify(CCN_CLOSED, 0); }
void CCoolComboPopup::OnDefaultChosen() { Notify(CCN_DEFAULTCHOSEN, 0); }
void CCoolComboPopup::OnExtraChosen(int nExtra) { Notify(CCN_EXTRACHOSEN, nExtra); }
void CCoolComboPopup::OnItemChosen(int nCell) { Notify(CCN_ITEMCHOSEN, nCell); }
void CCoolComboPopup::OnCancelled() { Notify(CCN_CANCELLED, 0); }
void CCoolComboPopup::OnHovered(int nCell) { Notify(CCN_HOTCHANGED, nCell); }

void CCoolComboPopup::SetHotItem(int nItem)
{
    if (nItem == m_nHot)
        return;
    if (m_hWnd != NULL) {
        CRect rc = GetItemRect(m_nHot);
        InvalidateRect(&rc, FALSE);
        rc = GetItemRect(nItem);
        InvalidateRect(&rc, FALSE);
    }
    m_nHot = nItem;
    ShowPrompt(nItem);
    if (nItem >= 0 && nItem < m_nCount)
        OnHovered(nItem);
}

// The prompt of a command cell in the main frame's status bar; anything
// else brings the idle text back.
void CCoolComboPopup::ShowPrompt(int nItem)
{
    if (!m_bStatusPrompts)
        return;
    CWnd* pMain = AfxGetMainWnd();
    if (pMain == NULL || !pMain->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
        return;
    CFrameWnd* pFrame = static_cast<CFrameWnd*>(pMain);
    if (GetCellCommand(nItem) > 0)
        pFrame->SetMessageText(GetCellPrompt(nItem));
    else
        pFrame->SetMessageText(AFX_IDS_IDLEMESSAGE);
}

void CCoolComboPopup::Choose(int nItem)
{
    m_nChosen = nItem;
    if (nItem == kCoolDefaultItem) {
        OnDefaultChosen();
    } else if (nItem >= kCoolExtraBase && nItem - kCoolExtraBase < m_extras.GetSize()) {
        OnExtraChosen(nItem - kCoolExtraBase);
    } else if (nItem >= 0 && nItem < m_nCount) {
        const int cmd = GetCellCommand(nItem);
        if (cmd == 0 || (cmd > 0 && !IsCellEnabled(nItem)))
            return;   // a separator or a disabled command does nothing
        if (cmd > 0) {
            CWnd* pMain = MainWindow();
            if (pMain != NULL)
                pMain->PostMessage(WM_COMMAND, MAKEWPARAM(cmd, 0), (LPARAM)::GetParent(m_hWnd));
        } else {
            OnItemChosen(nItem);
        }
    } else {
        OnCancelled();
    }
    if (!m_bTornOff && m_hWnd != NULL)
        Close();
}

void CCoolComboPopup::Cancel()
{
    OnCancelled();
}

void CCoolComboPopup::Close()
{
    if (m_bClosing || m_hWnd == NULL)
        return;
    m_bClosing = TRUE;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    DestroyWindow();
}

// Turns the popup into a floating tool window: the window is made again
// (without reporting closed) and, after a drag on the bar, moved with the mouse.
BOOL CCoolComboPopup::TearOff(BOOL bStartDrag)
{
    if (m_bTornOff || m_hWnd == NULL)
        return FALSE;
    m_bTearOffPress = FALSE;
    CRect client;
    GetClientRect(&client);
    ClientToScreen(&client);
    m_bRecreating = TRUE;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    if (m_tooltip.m_hWnd != NULL)
        m_tooltip.DestroyWindow();
    DestroyWindow();
    m_bRecreating = FALSE;
    m_bTornOff = TRUE;
    m_rcWindow = client;
    LPCTSTR cls = AfxRegisterWndClass(CS_SAVEBITS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                                      ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    Layout();
    CRect rc(client.left, client.top, client.left + m_rcWindow.Width(), client.top + m_rcWindow.Height());
    ::AdjustWindowRectEx(&rc, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_TOOLWINDOW);
    HWND hOwner = m_pOwner != NULL ? m_pOwner->m_hWnd : NULL;
    if (!CreateEx(WS_EX_TOOLWINDOW, cls, m_strCaption, WS_POPUP | WS_CAPTION | WS_VISIBLE | WS_SYSMENU,
                  rc.left, rc.top, rc.Width(), rc.Height(), hOwner, NULL)) {
        OnClosed();
        delete this;
        return FALSE;
    }
    Layout();
    AddTooltips();
    if (bStartDrag) {
        POINT pt;
        ::GetCursorPos(&pt);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    }
    if (m_pOwner != NULL && m_pOwner->m_hWnd != NULL)
        Notify(CCN_TORNOFF, 0);
    return TRUE;
}

void CCoolComboPopup::OnMouseMove(UINT, CPoint point)
{
    CRect client;
    GetClientRect(&client);
    const BOOL inside = client.PtInRect(point);
    if (m_bTornOff) {
        if (inside && ::GetCapture() != m_hWnd)
            SetCapture();
        else if (!inside && ::GetCapture() == m_hWnd)
            ::ReleaseCapture();
    }
    if (m_bTearOffPress && !m_rcTearOff.PtInRect(point)) {
        TearOff(TRUE);
        return;
    }
    SetHotItem(inside ? HitTest(point) : kCoolNoItem);
}

void CCoolComboPopup::OnLButtonDown(UINT, CPoint point)
{
    m_bPressSeen = TRUE;
    CRect client;
    GetClientRect(&client);
    if (!client.PtInRect(point)) {
        if (!m_bTornOff) {
            Cancel();
            Close();
        }
        return;
    }
    if (!m_rcTearOff.IsRectEmpty() && m_rcTearOff.PtInRect(point))
        m_bTearOffPress = TRUE;
}

// The release of the click that opened the popup (over the arrow) is not a
// choice: only a release after a press seen here, or one inside, counts.
void CCoolComboPopup::OnLButtonUp(UINT, CPoint point)
{
    if (m_bTearOffPress) {
        m_bTearOffPress = FALSE;
        return;
    }
    CRect client;
    GetClientRect(&client);
    if (client.PtInRect(point)) {
        const int item = HitTest(point);
        if (item != kCoolNoItem)
            Choose(item);
    } else if (m_bPressSeen && !m_bTornOff) {
        Cancel();
        Close();
    }
}

// The item a navigation key moves to from the hot one.
int CCoolComboPopup::KeyTarget(UINT nChar) const
{
    const bool hasDefault = !m_strDefault.IsEmpty();
    const int extras = (int)m_extras.GetSize();
    const int lastRowFirst = m_nCount > 0 ? ((m_nCount - 1) / m_nColumns) * m_nColumns : 0;
    const int lastExtra = extras > 0 ? kCoolExtraBase + extras - 1 : kCoolNoItem;
    const int hot = m_nHot;
    const bool inGrid = hot >= 0 && hot < m_nCount;
    const bool inExtras = hot >= kCoolExtraBase && hot <= lastExtra;
    const bool atTop = !inGrid && !inExtras;   // none or the default item
    auto belowGrid = [&]() {
        if (extras > 0)
            return (int)kCoolExtraBase;
        return hasDefault ? (int)kCoolDefaultItem : 0;
    };
    switch (nChar) {
    case VK_DOWN:
        if (atTop)
            return 0;
        if (inGrid)
            return hot + m_nColumns < m_nCount ? hot + m_nColumns : belowGrid();
        if (hot < lastExtra)
            return hot + 1;
        return hasDefault ? (int)kCoolDefaultItem : 0;
    case VK_UP:
        if (inGrid) {
            if (hot >= m_nColumns)
                return hot - m_nColumns;
            if (hasDefault)
                return kCoolDefaultItem;
            return extras > 0 ? lastExtra : lastRowFirst;
        }
        if (atTop)
            return extras > 0 ? lastExtra : lastRowFirst;
        if (hot == kCoolExtraBase)
            return lastRowFirst;
        return hot - 1;
    case VK_RIGHT:
        if (atTop)
            return 0;
        if (inGrid)
            return hot + 1 < m_nCount ? hot + 1 : belowGrid();
        if (hot < lastExtra)
            return hot + 1;
        return hasDefault ? (int)kCoolDefaultItem : 0;
    case VK_LEFT:
        if (inGrid) {
            if (hot > 0)
                return hot - 1;
            if (hasDefault)
                return kCoolDefaultItem;
            return extras > 0 ? lastExtra : m_nCount - 1;
        }
        if (atTop)
            return extras > 0 ? lastExtra : m_nCount - 1;
        if (hot == kCoolExtraBase)
            return m_nCount - 1;
        return hot - 1;
    }
    return hot;
}

void CCoolComboPopup::OnKeyDown(UINT nChar, UINT, UINT)
{
    switch (nChar) {
    case VK_DOWN:
    case VK_UP:
    case VK_RIGHT:
    case VK_LEFT:
        if (m_nCount > 0 || !m_extras.IsEmpty() || !m_strDefault.IsEmpty())
            SetHotItem(KeyTarget(nChar));
        return;
    case VK_RETURN:
        Choose(m_nHot);
        return;
    case VK_ESCAPE:
        if (::GetCapture() == m_hWnd) {
            m_bClosing = TRUE;   // the capture change is not a second cancel
            ::ReleaseCapture();
            m_bClosing = FALSE;
        }
        Cancel();
        if (!m_bTornOff)
            Close();
        return;
    }
    Default();
}

void CCoolComboPopup::OnKillFocus(CWnd*)
{
    Default();
    if (!m_bTornOff && !m_bClosing && !m_bRecreating && !m_bHoldOpen && m_hWnd != NULL) {
        Cancel();
        Close();
    }
}

void CCoolComboPopup::OnCaptureChanged(CWnd*)
{
    if (!m_bTornOff && !m_bClosing && !m_bRecreating && !m_bHoldOpen && m_hWnd != NULL) {
        Cancel();
        Close();
    }
}

void CCoolComboPopup::OnDestroy()
{
    if (!m_bRecreating)
        OnClosed();
    Default();
}

void CCoolComboPopup::PostNcDestroy()
{
    if (!m_bRecreating)
        delete this;
}

void CCoolComboPopup::DrawItemState(CDC* pDC, int nItem, const CRect& rc, BOOL bEnabled)
{
    RECT r = rc;
    const bool current = nItem == m_nCurrent && (bEnabled || nItem < 0 || nItem >= m_nCount);
    const bool hot = nItem == m_nHot;
    if (current) {
        pDC->FillSolidRect(&r, ::GetSysColor(hot ? COLOR_BTNFACE : COLOR_3DLIGHT));
        ::DrawEdge(pDC->GetSafeHdc(), &r, BDR_SUNKENOUTER, BF_RECT);
    } else if (hot) {
        pDC->FillSolidRect(&r, ::GetSysColor(COLOR_BTNFACE));
        ::DrawEdge(pDC->GetSafeHdc(), &r, BDR_RAISEDINNER, BF_RECT);
    } else {
        pDC->FillSolidRect(&r, ::GetSysColor(COLOR_BTNFACE));
    }
}

void CCoolComboPopup::DrawCell(CDC* pDC, int nCell, const CRect& rc)
{
    HDC hdc = pDC->GetSafeHdc();
    const int cmd = GetCellCommand(nCell);
    if (cmd == 0) {
        pDC->FillSolidRect(&rc, ::GetSysColor(COLOR_BTNFACE));
        RECT line = { rc.left, (rc.top + rc.bottom) / 2, rc.right, rc.bottom };
        ::DrawEdge(hdc, &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    const BOOL enabled = IsCellEnabled(nCell);
    DrawItemState(pDC, nCell, rc, enabled);
    int imageWidth = 0;
    if (m_hImages != NULL && nCell < ::ImageList_GetImageCount(m_hImages)) {
        int cx = 0, cy = 0;
        ::ImageList_GetIconSize(m_hImages, &cx, &cy);
        imageWidth = cx;
        const int y = rc.top + (rc.Height() - cy) / 2;
        if (enabled)
            ::ImageList_Draw(m_hImages, nCell, hdc, rc.left + 1, y, ILD_TRANSPARENT);
        else
            DrawImageEmbossed(hdc, m_hImages, nCell, rc.left + 1, y, ::GetSysColor(COLOR_3DHILIGHT),
                              ::GetSysColor(COLOR_BTNSHADOW));
    }
    if (cmd < 0)
        return;
    const CString text = m_accelTexts[nCell];
    const int tab = text.Find('\t');
    const CString label = tab >= 0 ? text.Left(tab) : text;
    const CString accel = tab >= 0 ? text.Mid(tab + 1) : CString();
    HGDIOBJ old = ::SelectObject(hdc, m_font.m_hObject != NULL ? m_font.m_hObject : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(hdc, TRANSPARENT);
    auto draw = [&](int dx, COLORREF colour) {
        ::SetTextColor(hdc, colour);
        RECT r = { rc.left + 1 + imageWidth + m_nTextGap + dx, rc.top + dx, rc.right - 2 + dx, rc.bottom + dx };
        ::DrawTextA(hdc, label, label.GetLength(), &r, DT_NOPREFIX | DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER);
        if (!accel.IsEmpty())
            ::DrawTextA(hdc, accel, accel.GetLength(), &r,
                        DT_NOPREFIX | DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    };
    if (enabled) {
        draw(0, ::GetSysColor(COLOR_BTNTEXT));
    } else {
        draw(1, ::GetSysColor(COLOR_3DHILIGHT));
        draw(0, ::GetSysColor(COLOR_BTNSHADOW));
    }
    ::SelectObject(hdc, old);
}

void CCoolComboPopup::OnPaint()
{
    CPaintDC dc(this);
    HDC hdc = dc.GetSafeHdc();
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, ::GetSysColor(COLOR_BTNFACE));
    HGDIOBJ oldFont = ::SelectObject(hdc, m_font.m_hObject != NULL ? m_font.m_hObject
                                                                  : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(hdc, TRANSPARENT);
    if (!m_rcTearOff.IsRectEmpty())
        dc.FillSolidRect(&m_rcTearOff, ::GetSysColor(COLOR_HIGHLIGHT));
    auto drawTextItem = [&](int item, const CString& text) {
        const CRect rc = GetItemRect(item);
        DrawItemState(&dc, item, rc, TRUE);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNTEXT));
        RECT r = rc;
        ::DrawTextA(hdc, text, text.GetLength(), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    };
    if (!m_strDefault.IsEmpty()) {
        drawTextItem(kCoolDefaultItem, m_strDefault);
        CRect inner = m_rcDefault;
        inner.DeflateRect(m_cxEdge + 1, m_cyEdge + 1);
        HPEN pen = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
        HGDIOBJ oldPen = ::SelectObject(hdc, pen);
        HGDIOBJ oldBrush = ::SelectObject(hdc, ::GetStockObject(NULL_BRUSH));
        ::Rectangle(hdc, inner.left, inner.top, inner.right, inner.bottom);
        ::SelectObject(hdc, oldBrush);
        ::SelectObject(hdc, oldPen);
        ::DeleteObject(pen);
    }
    for (int i = 0; i < m_nCount; i++)
        DrawCell(&dc, i, GetItemRect(i));
    if (!m_extras.IsEmpty()) {
        dc.FillSolidRect(m_rcSeparator.left, m_rcSeparator.top, m_rcSeparator.Width(), 1,
                         ::GetSysColor(COLOR_BTNSHADOW));
        dc.FillSolidRect(m_rcSeparator.left, m_rcSeparator.top + 1, m_rcSeparator.Width(), 1,
                         ::GetSysColor(COLOR_3DHILIGHT));
        for (int i = 0; i < m_extras.GetSize(); i++)
            drawTextItem(kCoolExtraBase + i, m_extras[i]);
    }
    ::SelectObject(hdc, oldFont);
    RECT frame = client;
    ::DrawEdge(hdc, &frame, EDGE_RAISED, BF_RECT);
}
