#include "controls/FlexLayout.h"

const CFlexHorzRule FlexHorzFixed(0.0f, 0.0f);
const CFlexHorzRule FlexHorzMove(1.0f, 1.0f);
const CFlexHorzRule FlexHorzStretch(0.0f, 1.0f);
const CFlexVertRule FlexVertFixed(0.0f, 0.0f);
const CFlexVertRule FlexVertMove(1.0f, 1.0f);
const CFlexVertRule FlexVertStretch(0.0f, 1.0f);

CFlexLayout::CFlexLayout(CWnd* pDialog)
    : m_pDialog(pDialog), m_baseCx(0), m_baseCy(0), m_bInitialised(FALSE)
{
}

CFlexLayout::~CFlexLayout()
{
    POSITION pos = m_items.GetHeadPosition();
    while (pos != NULL) {
        CFlexItem* pItem = static_cast<CFlexItem*>(m_items.GetNext(pos));
        delete pItem->pHorz;
        delete pItem->pVert;
        delete pItem;
    }
    m_items.RemoveAll();
}

void CFlexLayout::Add(UINT nID, const CFlexHorzRule& horz, const CFlexVertRule& vert)
{
    CFlexItem* pItem = new CFlexItem;
    pItem->nID = nID;
    pItem->left = pItem->top = pItem->right = pItem->bottom = 0;
    pItem->pHorz = horz.Clone();
    pItem->pVert = vert.Clone();
    m_items.AddTail(pItem);
}

// Reads every control's rectangle in client coordinates. A combo box counts
// with its dropped-down height, so that its list keeps its length when it
// moves. One missing control leaves the layout unread: nothing moves until a
// later resize finds them all.
BOOL CFlexLayout::ReadControls()
{
    POSITION pos = m_items.GetHeadPosition();
    while (pos != NULL) {
        CFlexItem* pItem = static_cast<CFlexItem*>(m_items.GetNext(pos));
        HWND hCtrl = ::GetDlgItem(m_pDialog->m_hWnd, (int)pItem->nID);
        if (hCtrl == NULL)
            return FALSE;
        RECT rc;
        ::GetWindowRect(hCtrl, &rc);
        char cls[10] = "";
        ::GetClassNameA(hCtrl, cls, sizeof(cls));
        if (lstrcmpiA(cls, "ComboBox") == 0) {
            RECT dropped;
            if (::SendMessageA(hCtrl, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped))
                rc.bottom = rc.top + (dropped.bottom - dropped.top);
        }
        ::MapWindowPoints(NULL, m_pDialog->m_hWnd, (LPPOINT)&rc, 2);
        pItem->left = rc.left;
        pItem->top = rc.top;
        pItem->right = rc.right;
        pItem->bottom = rc.bottom;
        pItem->pHorz->Prepare(m_pDialog, m_baseCx);
        pItem->pVert->Prepare(m_pDialog, m_baseCy);
    }
    m_bInitialised = TRUE;
    return TRUE;
}

// All controls move in one deferred batch. Sizes below the base leave the
// controls at their base places.
void CFlexLayout::Reposition(int cx, int cy)
{
    if (m_items.IsEmpty())
        return;
    if (!m_bInitialised && !ReadControls())
        return;
    int dx = cx - m_baseCx;
    int dy = cy - m_baseCy;
    if (dx < 1)
        dx = 0;
    if (dy < 1)
        dy = 0;
    HDWP hdwp = ::BeginDeferWindowPos((int)m_items.GetCount());
    POSITION pos = m_items.GetHeadPosition();
    while (pos != NULL && hdwp != NULL) {
        const CFlexItem* pItem = static_cast<const CFlexItem*>(m_items.GetNext(pos));
        HWND hCtrl = ::GetDlgItem(m_pDialog->m_hWnd, (int)pItem->nID);
        if (hCtrl == NULL)
            continue;
        const int left = pItem->left + (int)((float)dx * pItem->pHorz->m_start);
        const int top = pItem->top + (int)((float)dy * pItem->pVert->m_start);
        const int right = pItem->right + (int)((float)dx * pItem->pHorz->m_end);
        const int bottom = pItem->bottom + (int)((float)dy * pItem->pVert->m_end);
        hdwp = ::DeferWindowPos(hdwp, hCtrl, NULL, left, top, right - left, bottom - top,
                                SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (hdwp != NULL)
        ::EndDeferWindowPos(hdwp);
}
