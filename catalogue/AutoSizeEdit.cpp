#include "catalogue/AutoSizeEdit.h"

#include "catalogue/Floater.h"
#include "framework/ui/AfxWin.h"
#include "framework/ui/Menu.h"
#include "resources/ids_notes.h"
#include "settings/MenuUpdate.h"

IMPLEMENT_DYNAMIC(CAutoSizeEdit, CWnd)
IMPLEMENT_DYNAMIC(CNoteEdit, CAutoSizeEdit)

BEGIN_MESSAGE_MAP(CAutoSizeEdit, CWnd)
    ON_CONTROL_REFLECT_EX(EN_CHANGE, OnChange)
    ON_MESSAGE(WM_SETTEXT, OnSetText)
    ON_WM_SIZE()
END_MESSAGE_MAP()

CAutoSizeEdit::CAutoSizeEdit() : m_mode(1)
{
}

BOOL CAutoSizeEdit::CreateEx(int mode, DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style,
                             const RECT& rect, CWnd* parent, UINT id, LPVOID param)
{
    m_mode = mode;
    return CWnd::CreateEx(exStyle, className, windowName, style, rect, parent, id, param);
}

BOOL CAutoSizeEdit::SubclassEdit(int mode, UINT id, CWnd* parent)
{
    m_mode = mode;
    if (!SubclassDlgItem(id, parent))
        return FALSE;
    Align();
    return TRUE;
}

void CAutoSizeEdit::SetMode(int mode)
{
    m_mode = mode;
    Align();
}

void CAutoSizeEdit::Align()
{
    if (!m_hWnd)
        return;
    const int mode = m_mode & 3;
    if (mode != 2 && mode != 3) {
        ::SendMessageA(m_hWnd, EM_SETRECT, 0, 0);
        return;
    }
    RECT client;
    GetClientRect(&client);
    const int lines = (int)::SendMessageA(m_hWnd, EM_GETLINECOUNT, 0, 0);
    CString sample("A");
    for (int i = 1; i < lines; ++i)
        sample += "\r\n";
    HDC dc = ::GetDC(m_hWnd);
    HGDIOBJ oldFont = ::SelectObject(dc, (HFONT)::SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    RECT measured = client;
    ::DrawTextA(dc, sample, sample.GetLength(), &measured, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_RIGHT);
    ::SelectObject(dc, oldFont);
    ::ReleaseDC(m_hWnd, dc);
    const DWORD margins = (DWORD)::SendMessageA(m_hWnd, EM_GETMARGINS, 0, 0);
    const int height = (measured.bottom - measured.top) + LOWORD(margins) + HIWORD(margins);
    const int clientHeight = client.bottom - client.top;
    if (height < clientHeight) {
        RECT format = client;
        format.top = mode == 2 ? (clientHeight - height) / 2 : clientHeight - height;
        format.bottom = format.top + height;
        ::SendMessageA(m_hWnd, EM_SETRECT, 0, (LPARAM)&format);
    } else {
        ::SendMessageA(m_hWnd, EM_SETRECT, 0, 0);
    }
}

BOOL CAutoSizeEdit::OnChange()
{
    Align();
    return FALSE;   // the parent hears of the change too
}

LRESULT CAutoSizeEdit::OnSetText(WPARAM, LPARAM)
{
    const LRESULT result = Default();
    Align();
    return result;
}

void CAutoSizeEdit::OnSize(UINT, int, int)
{
    Default();
    Align();
}

// ---------------------------------------------------------------------------
// CNoteEdit

BEGIN_MESSAGE_MAP(CNoteEdit, CAutoSizeEdit)
    ON_WM_KEYDOWN()
    ON_WM_CONTEXTMENU()
    ON_WM_INITMENUPOPUP()
    ON_COMMAND(57643, OnUndo)
    ON_UPDATE_COMMAND_UI(57643, OnUpdateUndo)
    ON_COMMAND(57635, OnCut)
    ON_UPDATE_COMMAND_UI(57635, OnUpdateSelection)
    ON_COMMAND(57634, OnCopy)
    ON_UPDATE_COMMAND_UI(57634, OnUpdateSelection)
    ON_COMMAND(57632, OnClear)
    ON_UPDATE_COMMAND_UI(57632, OnUpdateSelection)
    ON_COMMAND(57637, OnPaste)
    ON_UPDATE_COMMAND_UI(57637, OnUpdatePaste)
    ON_COMMAND(57642, OnSelectAll)
    ON_UPDATE_COMMAND_UI(57642, OnUpdateSelectAll)
    ON_COMMAND(ID_NOTEEDIT_END, OnEndEdit)
    ON_COMMAND(ID_NOTEEDIT_SETTINGS, OnSettings)
END_MESSAGE_MAP()

void CNoteEdit::OnKeyDown(UINT key, UINT, UINT)
{
    if (key == VK_ESCAPE) {
        OnEndEdit();
        return;
    }
    Default();
}

void CNoteEdit::OnContextMenu(CWnd*, CPoint point)
{
    CMenu menu;
    if (!menu.LoadMenu(IDM_NOTE_EDIT))
        return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup)
        return;
    if (point.x == -1 && point.y == -1) {
        RECT r;
        GetWindowRect(&r);
        point = CPoint(r.left, r.top);
    }
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
}

void CNoteEdit::OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu)
{
    UpdatePopupMenuUI(this, popup, index, systemMenu);
}

void CNoteEdit::OnUndo()
{
    SendMessage(EM_UNDO);
}

void CNoteEdit::OnUpdateUndo(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(SendMessage(EM_CANUNDO) != 0);
}

void CNoteEdit::OnCut()
{
    SendMessage(WM_CUT);
}

void CNoteEdit::OnCopy()
{
    SendMessage(WM_COPY);
}

void CNoteEdit::OnClear()
{
    SendMessage(WM_CLEAR);
}

void CNoteEdit::OnUpdateSelection(CCmdUI* pCmdUI)
{
    DWORD start = 0, end = 0;
    SendMessage(EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    pCmdUI->Enable(start != end);
}

void CNoteEdit::OnPaste()
{
    SendMessage(WM_PASTE);
}

void CNoteEdit::OnUpdatePaste(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(::IsClipboardFormatAvailable(CF_TEXT));
}

void CNoteEdit::OnSelectAll()
{
    SendMessage(EM_SETSEL, 0, -1);
    SendMessage(EM_SCROLLCARET);
}

void CNoteEdit::OnUpdateSelectAll(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(GetWindowTextLength() > 0);
}

void CNoteEdit::OnEndEdit()
{
    if (CWnd* parent = GetParent())
        parent->SetFocus();
}

void CNoteEdit::OnSettings()
{
    CWnd* parent = GetParent();
    if (!parent)
        return;
    parent->PostMessage(WM_COMMAND, ID_FLOATER_EDIT_SETTINGS, 0);
    parent->SetFocus();
}
