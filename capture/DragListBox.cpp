#include "capture/DragListBox.h"

IMPLEMENT_DYNAMIC(CDragListBox, CListBox)

const UINT CDragListBox::s_nDragListMessage = ::RegisterWindowMessageA(DRAGLISTMSGSTRING);

CDragListBox::CDragListBox() : m_nLast(-1)
{
}

void CDragListBox::PreSubclassWindow()
{
    CListBox::PreSubclassWindow();
    ::MakeDragList(m_hWnd);
}

LRESULT CDragListBox::ReflectDragNotify(LPARAM lParam)
{
    const DRAGLISTINFO* info = (const DRAGLISTINFO*)lParam;
    if (info == NULL)
        return 0;
    LRESULT result = 0;
    ReflectLastMsg(info->hWnd, &result);
    return result;
}

BOOL CDragListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message != s_nDragListMessage)
        return CListBox::OnChildNotify(message, wParam, lParam, pResult);
    const DRAGLISTINFO* info = (const DRAGLISTINFO*)lParam;
    LRESULT result = 0;
    switch (info->uNotification) {
    case DL_BEGINDRAG:
        result = BeginDrag(info->ptCursor);
        break;
    case DL_DRAGGING:
        result = Dragging(info->ptCursor);
        break;
    case DL_CANCELDRAG:
        CancelDrag(info->ptCursor);
        break;
    case DL_DROPPED:
        Dropped(GetCurSel(), info->ptCursor);
        break;
    default:
        return FALSE;
    }
    if (pResult != NULL)
        *pResult = result;
    return TRUE;
}

int CDragListBox::ItemFromPt(CPoint pt, BOOL bAutoScroll) const
{
    return ::LBItemFromPt(m_hWnd, pt, bAutoScroll);
}

BOOL CDragListBox::BeginDrag(CPoint pt)
{
    m_nLast = -1;
    DrawInsert(ItemFromPt(pt));
    return TRUE;
}

UINT CDragListBox::Dragging(CPoint pt)
{
    const int nIndex = ItemFromPt(pt);
    DrawInsert(nIndex);
    return nIndex == -1 ? DL_STOPCURSOR : DL_MOVECURSOR;
}

void CDragListBox::CancelDrag(CPoint)
{
    DrawInsert(-1);
}

// The dragged item goes before the item it was dropped on, or to the end when
// it was dropped in the empty part of the list below the last item; a drop on
// itself or on the item right after it leaves the order as it was.
void CDragListBox::Dropped(int nSrcIndex, CPoint pt)
{
    DrawInsert(-1);
    int nDest = ItemFromPt(pt, FALSE);
    if (nDest < 0 && BelowLastItem(pt))
        nDest = GetCount();
    if (nSrcIndex < 0 || nDest < 0 || nDest == nSrcIndex || nDest == nSrcIndex + 1)
        return;
    CString text;
    GetText(nSrcIndex, text);
    const DWORD_PTR data = GetItemData(nSrcIndex);
    DeleteString(nSrcIndex);
    if (nSrcIndex < nDest)
        nDest--;
    nDest = InsertString(nDest, text);
    SetItemData(nDest, data);
    SetCurSel(nDest);
}

BOOL CDragListBox::BelowLastItem(CPoint pt) const
{
    CRect client;
    GetClientRect(&client);
    CPoint local = pt;
    ScreenToClient(&local);
    if (!client.PtInRect(local))
        return FALSE;
    const int count = GetCount();
    if (count == 0)
        return TRUE;
    CRect last;
    if (GetItemRect(count - 1, &last) == LB_ERR)
        return FALSE;
    return local.y >= last.bottom;
}

void CDragListBox::DrawInsert(int nItem)
{
    if (m_nLast == nItem)
        return;
    ::DrawInsert(::GetParent(m_hWnd), m_hWnd, nItem);
    m_nLast = nItem;
}
