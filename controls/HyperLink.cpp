#include "controls/HyperLink.h"

#include "framework/Module.h"
#include "framework/ui/DC.h"
#include "resources/ids_controls.h"

#include <shellapi.h>

COLORREF CHyperLink::s_normalColour = 0xFF0000;
COLORREF CHyperLink::s_activeColour = 0x808000;
COLORREF CHyperLink::s_visitedColour = 0x800080;
COLORREF CHyperLink::s_hoverColour = 0x0000FF;

namespace {
HINSTANCE RealShellExecute(LPCSTR verb, LPCSTR file)
{
    return ::ShellExecuteA(NULL, verb, file, NULL, NULL, SW_SHOW);
}
UINT RealWinExec(LPCSTR command, UINT show)
{
    return ::WinExec(command, show);
}

// The default value of a key under root, or empty.
CString KeyDefault(HKEY root, const CString& path)
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return CString();
    char value[MAX_PATH + 1] = "";
    DWORD size = MAX_PATH;
    DWORD type = 0;
    const LONG rc = ::RegQueryValueExA(hKey, NULL, NULL, &type, (LPBYTE)value, &size);
    ::RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return CString();
    value[size < MAX_PATH ? size : MAX_PATH] = '\0';
    return CString(value);
}
}  // namespace

CHyperLink::ShellExecuteProc CHyperLink::s_pfnShellExecute = &RealShellExecute;
CHyperLink::WinExecProc CHyperLink::s_pfnWinExec = &RealWinExec;
HKEY CHyperLink::s_hClassesRoot = HKEY_CLASSES_ROOT;

IMPLEMENT_DYNAMIC(CHyperLink, CStatic)

BEGIN_MESSAGE_MAP(CHyperLink, CStatic)
    ON_WM_CTLCOLOR_REFLECT()
    ON_WM_SETCURSOR()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_KEYDOWN()
    ON_WM_NCHITTEST()
    ON_WM_GETDLGCODE()
END_MESSAGE_MAP()

CHyperLink::CHyperLink()
    : m_hCursor(::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_CURSOR_HAND))), m_bActive(FALSE),
      m_bHover(FALSE), m_bVisited(FALSE), m_dwOptions(0x55)
{
}

CHyperLink::~CHyperLink()
{
}

void CHyperLink::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    CString text;
    GetWindowText(text);
    if (m_strAddress.IsEmpty())
        m_strAddress = text;
    if (text.IsEmpty())
        SetWindowText(m_strAddress);
    HFONT hFont = (HFONT)SendMessage(WM_GETFONT);
    if (hFont != NULL) {
        LOGFONT lf;
        ::GetObjectA(hFont, sizeof(lf), &lf);
        lf.lfUnderline = (m_dwOptions & kUnderline) ? TRUE : FALSE;
        m_font.DeleteObject();
        m_font.CreateFontIndirect(&lf);
        SendMessage(WM_SETFONT, (WPARAM)m_font.m_hObject, TRUE);
    } else {
        m_dwOptions &= ~kSizeToText;
    }
    // Statics get mouse messages only with SS_NOTIFY.
    ModifyStyle(0, SS_NOTIFY);
    SizeToText();
    if (m_tooltip.Create(this)) {
        CRect rc;
        GetClientRect(&rc);
        m_tooltip.AddTool(this, m_strAddress, &rc, 1);
    }
}

void CHyperLink::SetLink(LPCTSTR lpszAddress, LPCTSTR lpszTooltip)
{
    m_strAddress = lpszAddress != NULL ? lpszAddress : "";
    if (m_hWnd == NULL)
        return;
    ShowWindow(SW_HIDE);
    SizeToText();
    if (m_tooltip.m_hWnd != NULL)
        m_tooltip.UpdateTipText(lpszTooltip != NULL ? lpszTooltip : (LPCTSTR)m_strAddress, this, 1);
    ShowWindow(SW_SHOW);
}

void CHyperLink::SizeToText()
{
    if (!(m_dwOptions & kSizeToText) || m_font.m_hObject == NULL)
        return;
    CString text;
    GetWindowText(text);
    CClientDC dc(this);
    HGDIOBJ old = ::SelectObject(dc.GetSafeHdc(), m_font.m_hObject);
    SIZE size = { 0, 0 };
    ::GetTextExtentPoint32A(dc.GetSafeHdc(), text, text.GetLength(), &size);
    ::SelectObject(dc.GetSafeHdc(), old);
    CRect window;
    GetWindowRect(&window);
    CWnd* pParent = GetParent();
    if (pParent != NULL)
        pParent->ScreenToClient(&window);
    CRect client;
    GetClientRect(&client);
    const int ncx = window.Width() - client.Width();
    const int ncy = window.Height() - client.Height();
    const DWORD style = GetStyle();
    CRect rc = window;
    if (style & SS_CENTERIMAGE)
        rc.top = window.top + (window.Height() - size.cy) / 2;
    rc.bottom = rc.top + size.cy + ncy;
    if ((style & SS_TYPEMASK) == SS_CENTER)
        rc.left = window.left + (window.Width() - size.cx) / 2;
    else if ((style & SS_TYPEMASK) == SS_RIGHT)
        rc.left = window.right - size.cx - ncx;
    rc.right = rc.left + size.cx + ncx;
    MoveWindow(&rc);
    if (m_tooltip.m_hWnd != NULL) {
        GetClientRect(&client);
        m_tooltip.SetToolRect(this, 1, &client);
    }
}

COLORREF CHyperLink::CurrentColour() const
{
    if (m_bHover && (m_dwOptions & kHoverColour))
        return s_hoverColour;
    if (!(m_dwOptions & kNoActiveColour) && m_bActive)
        return s_activeColour;
    return m_bVisited ? s_visitedColour : s_normalColour;
}

// The parent's default colours and brush, then the link's text colour.
HBRUSH CHyperLink::CtlColor(CDC* pDC, UINT)
{
    HWND hParent = ::GetParent(m_hWnd);
    HBRUSH brush = (HBRUSH)::DefWindowProcA(hParent, WM_CTLCOLORSTATIC, (WPARAM)pDC->GetSafeHdc(), (LPARAM)m_hWnd);
    if (brush == NULL)
        brush = ::GetSysColorBrush(COLOR_BTNFACE);
    pDC->SetTextColor(CurrentColour());
    return brush;
}

BOOL CHyperLink::OnSetCursor(CWnd*, UINT, UINT)
{
    if (m_hCursor == NULL)
        return (BOOL)Default();
    ::SetCursor(m_hCursor);
    return TRUE;
}

LRESULT CHyperLink::OnNcHitTest(CPoint)
{
    return HTCLIENT;
}

UINT CHyperLink::OnGetDlgCode()
{
    return DLGC_WANTCHARS | (UINT)Default();
}

BOOL CHyperLink::PreTranslateMessage(MSG* pMsg)
{
    if (m_tooltip.m_hWnd != NULL && pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST)
        m_tooltip.RelayEvent(pMsg);
    return CStatic::PreTranslateMessage(pMsg);
}

void CHyperLink::OnMouseMove(UINT, CPoint point)
{
    if (!m_bHover) {
        m_bHover = TRUE;
        Invalidate();
        SetCapture();
        return;
    }
    CRect client;
    GetClientRect(&client);
    if (!client.PtInRect(point)) {
        m_bHover = FALSE;
        ::ReleaseCapture();
        Invalidate();
    }
}

void CHyperLink::OnLButtonDown(UINT, CPoint)
{
    if (m_dwOptions & kFocusOnPress)
        SetFocus();
    if (m_dwOptions & kOpenOnPress)
        Open();
    m_bActive = TRUE;
    Invalidate();
}

void CHyperLink::OnLButtonUp(UINT, CPoint)
{
    if (m_bActive && !(m_dwOptions & kOpenOnPress))
        Open();
}

void CHyperLink::OnKeyDown(UINT nChar, UINT, UINT)
{
    if (nChar == VK_SPACE) {
        Open();
        return;
    }
    Default();
}

void CHyperLink::OnSetFocus(CWnd*)
{
    m_bActive = TRUE;
    Invalidate();
    UpdateWindow();
    HDC hdc = ::GetDC(m_hWnd);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    ::DrawFocusRect(hdc, &rc);
    ::ReleaseDC(m_hWnd, hdc);
}

void CHyperLink::OnKillFocus(CWnd*)
{
    m_bActive = FALSE;
    m_bHover = FALSE;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    Invalidate();
}

void CHyperLink::Open()
{
    OpenLink(m_strAddress, SW_SHOW);
}

CString CHyperLink::BrowserCommand(const CString& registered, const CString& address)
{
    CString command = registered;
    const int quoted = command.Find("\"%1\"");
    if (quoted >= 0) {
        command = command.Left(quoted);
    } else {
        const int plain = command.Find("%1");
        if (plain >= 0)
            command = command.Left(plain);
    }
    // One argument whatever the address holds: blanks stay inside the
    // quotes, and quotes of its own are dropped.
    CString arg = address;
    arg.Remove('"');
    return command + " \"" + arg + "\"";
}

HINSTANCE CHyperLink::OpenLink(LPCTSTR lpszAddress, int)
{
    const CString address = lpszAddress != NULL ? lpszAddress : "";
    HINSTANCE result = s_pfnShellExecute("open", address);
    if ((INT_PTR)result <= 32) {
        const CString docClass = KeyDefault(s_hClassesRoot, ".htm");
        if (!docClass.IsEmpty()) {
            const CString command = KeyDefault(s_hClassesRoot, docClass + "\\shell\\open\\command");
            if (!command.IsEmpty())
                result = (HINSTANCE)(UINT_PTR)s_pfnWinExec(BrowserCommand(command, address), SW_SHOW);
        }
    }
    if ((INT_PTR)result > 32) {
        m_bVisited = TRUE;
        if (m_hWnd != NULL)
            Invalidate();
    } else {
        ::MessageBeep(MB_ICONEXCLAMATION);
        CString format, text;
        format.LoadString(IDS_LINK_CANNOT_OPEN);
        text.Format(format, (int)(INT_PTR)result);
        ::MessageBoxA(m_hWnd, text, NULL, MB_OK | MB_ICONEXCLAMATION);
    }
    return result;
}
