#include "catalogue/TextFloater.h"

#include "catalogue/DataTextObject.h"
#include "catalogue/NoteDesk.h"
#include "catalogue/NoteDialogs.h"
#include "catalogue/NoteHost.h"
#include "framework/Module.h"
#include "framework/ui/AfxWin.h"
#include "resources/ids_notes.h"

IMPLEMENT_DYNAMIC(CTextFloater, CFloater)

BEGIN_MESSAGE_MAP(CTextFloater, CFloater)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_CTLCOLOR()
    ON_WM_NCHITTEST()
    ON_WM_GETMINMAXINFO()
    ON_WM_SIZE()
    ON_WM_LBUTTONDBLCLK()
    ON_EN_KILLFOCUS(IDC_NOTE_EDIT, OnEditKillFocus)
    ON_MESSAGE(WM_NCLBUTTONDOWN, OnNcButtonDown)
    ON_MESSAGE(WM_NCRBUTTONDOWN, OnNcButtonDown)
    ON_MESSAGE(WM_NCRBUTTONUP, OnNcRButtonUp)
    ON_COMMAND(ID_FLOATER_EDIT_TEXT, OnEditText)
    ON_COMMAND(ID_NOTEEDIT_END, OnEndEditCommand)
    ON_COMMAND(ID_FLOATER_EDIT_SETTINGS, OnSettings)
END_MESSAGE_MAP()

LPCTSTR TextFloaterClass()
{
    static CString name;
    if (name.IsEmpty()) {
        HCURSOR cursor = ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_NOTE_CURSOR));
        if (!cursor)
            cursor = ::LoadCursorA(NULL, MAKEINTRESOURCEA(32646));   // IDC_SIZEALL
        name = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, cursor, NULL, NULL);
    }
    return name;
}

CTextFloater::CTextFloater(CNoteDesk* desk, CDataTextObject* data, const CString& name, UINT timerId)
    : CFloater(desk, data, name, timerId), m_font(NULL), m_backgroundBrush(NULL), m_endingEdit(FALSE)
{
    m_edit.m_mode = 1;
    RebuildFont();
}

CTextFloater::~CTextFloater()
{
    if (m_hWnd)
        DestroyWindow();
    if (m_font)
        ::DeleteObject(m_font);
    if (m_backgroundBrush)
        ::DeleteObject(m_backgroundBrush);
}

CDataTextObject* CTextFloater::GetNote() const
{
    return static_cast<CDataTextObject*>(m_data);
}

void CTextFloater::RebuildFont()
{
    if (m_font)
        ::DeleteObject(m_font);
    if (m_backgroundBrush)
        ::DeleteObject(m_backgroundBrush);
    m_font = GetNote() ? GetNote()->CreateNoteFont(0) : NULL;
    m_backgroundBrush = ::CreateSolidBrush(GetNote() ? GetNote()->m_backgroundColor : RGB(255, 255, 255));
    if (m_edit.m_hWnd && m_font)
        ::SendMessageA(m_edit.m_hWnd, WM_SETFONT, (WPARAM)m_font, TRUE);
}

int CTextFloater::FrameWidth() const
{
    const CDataTextObject* note = GetNote();
    if (!note || (note->m_flags & CNoteStyle::kFrameMask) == 0)
        return 0;
    return note->m_frameWidth > 0 ? note->m_frameWidth : 0;
}

BOOL CTextFloater::CreateAt(POINT topLeft)
{
    const CDataTextObject* note = GetNote();
    if (!note)
        return FALSE;
    const int w = note->m_noteWidth > 0 ? note->m_noteWidth : 300;
    const int h = note->m_noteHeight > 0 ? note->m_noteHeight : 150;
    if (!CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TextFloaterClass(), "", WS_POPUP, topLeft.x, topLeft.y, w, h,
                  ::GetDesktopWindow(), NULL))
        return FALSE;
    const RECT rect = {topLeft.x, topLeft.y, topLeft.x + w, topLeft.y + h};
    ShowAndRegister(rect);
    return TRUE;
}

void CTextFloater::StorePlacement()
{
    CFloater::StorePlacement();
    CDataTextObject* note = GetNote();
    if (!m_hWnd || !note)
        return;
    RECT r;
    GetWindowRect(&r);
    note->m_noteWidth = r.right - r.left;
    note->m_noteHeight = r.bottom - r.top;
}

void CTextFloater::GetBorderSize(int* cx, int* cy) const
{
    const int frame = FrameWidth();
    const int sx = ::GetSystemMetrics(SM_CXFRAME);
    const int sy = ::GetSystemMetrics(SM_CYFRAME);
    *cx = frame > sx ? frame : sx;
    *cy = frame > sy ? frame : sy;
}

void CTextFloater::Draw(HDC dc, const RECT& rect)
{
    const CDataTextObject* note = GetNote();
    if (!note)
        return;
    const int frame = FrameWidth();
    DrawNoteFrame(dc, note, rect, frame);
    RECT inner = rect;
    ::InflateRect(&inner, -(2 + frame), -(2 + frame));
    UINT format = DT_NOPREFIX | DT_EXPANDTABS;
    const DWORD flags = note->m_flags;
    if (flags & CNoteStyle::kWordWrap)
        format |= DT_WORDBREAK;
    if ((flags & 3) == 1)
        format |= DT_RIGHT;
    else if ((flags & 3) == 2)
        format |= DT_CENTER;
    HGDIOBJ oldFont = m_font ? ::SelectObject(dc, m_font) : NULL;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, note->m_textColor);
    const CString& text = note->m_text;
    const int vertical = flags & 0x0C;
    if (vertical == 0) {
        RECT r = inner;
        ::DrawTextA(dc, text, text.GetLength(), &r, format);
    } else {
        RECT block = inner;
        ::DrawTextA(dc, text, text.GetLength(), &block, format | DT_CALCRECT);
        const int blockHeight = block.bottom - block.top;
        const int freeHeight = (inner.bottom - inner.top) - blockHeight;
        RECT target = inner;
        if (vertical == 4)
            target.top = inner.bottom - blockHeight;
        else
            target.top = inner.top + (freeHeight - 1) / 2 + 1;
        if (freeHeight < 0)
            target.top = inner.top;   // taller than the note: from the top
        target.bottom = target.top + blockHeight;
        const int saved = ::SaveDC(dc);
        ::IntersectClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
        ::DrawTextA(dc, text, text.GetLength(), &target, format);
        ::RestoreDC(dc, saved);
    }
    if (oldFont)
        ::SelectObject(dc, oldFont);
}

void CTextFloater::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(&client);
    HDC mem = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
    if (mem && bitmap) {
        HGDIOBJ old = ::SelectObject(mem, bitmap);
        Draw(mem, client);
        ::BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
        ::SelectObject(mem, old);
    }
    if (bitmap)
        ::DeleteObject(bitmap);
    if (mem)
        ::DeleteDC(mem);
    ::EndPaint(m_hWnd, &ps);
}

BOOL CTextFloater::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

HBRUSH CTextFloater::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd && pWnd->m_hWnd == m_edit.m_hWnd && GetNote()) {
        ::SetBkColor(pDC->GetSafeHdc(), GetNote()->m_backgroundColor);
        ::SetTextColor(pDC->GetSafeHdc(), GetNote()->m_textColor);
        return m_backgroundBrush;
    }
    return CWnd::OnCtlColor(pDC, pWnd, ctlColor);
}

LRESULT CTextFloater::OnNcHitTest(CPoint point)
{
    const LRESULT hit = Default();
    if (hit != HTCLIENT)
        return hit;
    int cx, cy;
    GetBorderSize(&cx, &cy);
    RECT r;
    GetWindowRect(&r);
    const bool left = point.x < r.left + cx;
    const bool right = point.x >= r.right - cx;
    const bool top = point.y < r.top + cy;
    const bool bottom = point.y >= r.bottom - cy;
    if (top && left)
        return HTTOPLEFT;
    if (top && right)
        return HTTOPRIGHT;
    if (bottom && left)
        return HTBOTTOMLEFT;
    if (bottom && right)
        return HTBOTTOMRIGHT;
    if (left)
        return HTLEFT;
    if (right)
        return HTRIGHT;
    if (top)
        return HTTOP;
    if (bottom)
        return HTBOTTOM;
    return HTCLIENT;
}

void CTextFloater::OnGetMinMaxInfo(MINMAXINFO* info)
{
    int cx, cy;
    GetBorderSize(&cx, &cy);
    info->ptMinTrackSize.x = 2 * cx > 4 ? 2 * cx : 4;
    info->ptMinTrackSize.y = 2 * cy > 4 ? 2 * cy : 4;
}

void CTextFloater::OnSize(UINT type, int cx, int cy)
{
    CFloater::OnSize(type, cx, cy);
    if (m_edit.m_hWnd) {
        RECT r;
        GetClientRect(&r);
        ::InflateRect(&r, -(2 + FrameWidth()), -(2 + FrameWidth()));
        m_edit.MoveWindow(&r);
    }
}

void CTextFloater::BeginEdit()
{
    CDataTextObject* note = GetNote();
    if (m_edit.m_hWnd || !note || !m_hWnd)
        return;
    RECT r;
    GetClientRect(&r);
    ::InflateRect(&r, -(2 + FrameWidth()), -(2 + FrameWidth()));
    DWORD style = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (!(note->m_flags & CNoteStyle::kWordWrap))
        style |= ES_AUTOHSCROLL;
    if ((note->m_flags & 3) == 1)
        style |= ES_RIGHT;
    else if ((note->m_flags & 3) == 2)
        style |= ES_CENTER;
    const int vertical = note->m_flags & 0x0C;
    const int mode = vertical == 4 ? 3 : vertical == 8 ? 2 : 1;
    if (!m_edit.CreateEx(mode, 0, "EDIT", "", style, r, this, IDC_NOTE_EDIT))
        return;
    if (m_font)
        ::SendMessageA(m_edit.m_hWnd, WM_SETFONT, (WPARAM)m_font, FALSE);
    ::SendMessageA(m_edit.m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    m_edit.SetWindowText(note->m_text);
    m_edit.SetFocus();
    m_edit.SendMessage(EM_SETSEL, 0, -1);
}

void CTextFloater::EndEdit()
{
    CDataTextObject* note = GetNote();
    if (!m_edit.m_hWnd || !note || m_endingEdit)
        return;
    m_endingEdit = TRUE;
    const BOOL automatic = m_name == MakeNoteTitle(note->m_text);
    CString text;
    m_edit.GetWindowText(text);
    note->m_text = text;
    if (automatic)
        m_name = MakeNoteTitle(text);
    // Destroying the focused editor sends its kill-focus again, which the
    // flag turns away.
    m_edit.DestroyWindow();
    m_endingEdit = FALSE;
    Invalidate(FALSE);
}

void CTextFloater::OnLButtonDblClk(UINT, CPoint)
{
    BeginEdit();
}

void CTextFloater::OnEditKillFocus()
{
    EndEdit();
}

LRESULT CTextFloater::OnNcButtonDown(WPARAM, LPARAM)
{
    EndEdit();
    return Default();
}

LRESULT CTextFloater::OnNcRButtonUp(WPARAM, LPARAM)
{
    if (m_desk && m_desk->BringDialogForward())
        return 0;
    return Default();
}

void CTextFloater::OnEditText()
{
    BeginEdit();
}

void CTextFloater::OnEndEditCommand()
{
    EndEdit();
}

void CTextFloater::OnSettings()
{
    CDataTextObject* note = GetNote();
    if (!note || !m_desk || m_desk->BringDialogForward())
        return;
    EndEdit();
    RECT before;
    GetWindowRect(&before);
    const BOOL automatic = m_name == MakeNoteTitle(note->m_text);
    ShowWindow(SW_HIDE);
    CNoteStyle defaults;
    INoteHost* host = GetNoteHost();
    const BOOL haveDefaults = host && host->GetDefaultNoteStyle(&defaults);
    CTextNoteDlg dlg(note, haveDefaults ? &defaults : NULL, m_desk->GetWindow());
    m_desk->SetOpenDialog(&dlg, this);
    const INT_PTR result = dlg.DoModal();
    m_desk->SetOpenDialog(NULL, NULL);
    if (result == IDOK && m_hWnd) {
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, before.left, before.top, note->m_noteWidth, note->m_noteHeight,
                       SWP_NOACTIVATE);
        RebuildFont();
        if (automatic)
            m_name = MakeNoteTitle(note->m_text);
        Invalidate(FALSE);
    }
    if (m_hWnd)
        ShowWindow(SW_SHOWNOACTIVATE);
}
