#include "controls/CoolCombo.h"

#include "controls/Emboss.h"
#include "framework/Module.h"
#include "framework/ui/DC.h"

#include <algorithm>

IMPLEMENT_DYNCREATE(CCoolCombo, CStatic)

BEGIN_MESSAGE_MAP(CCoolCombo, CStatic)
    ON_WM_DRAWITEM_REFLECT()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_MOUSEMOVE()
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
    ON_WM_KEYDOWN()
    ON_WM_SIZE()
    ON_WM_GETDLGCODE()
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CCoolCombo::CCoolCombo()
    : m_nCurSel(kCoolInitial), m_bPopupFlat(TRUE), m_nCount(20), m_nColumns(8), m_bHover(FALSE),
      m_bFacePressed(FALSE), m_bArrowPressed(FALSE), m_bCaptured(FALSE), m_rcArrow(0, 0, 0, 0),
      m_rcFace(0, 0, 0, 0), m_sizeImages(0, 0), m_sizeOwnImage(0, 0), m_bFlatLook(TRUE),
      m_bSingleFace(FALSE), m_bArrowPressedWhileOpen(FALSE), m_bFaceShowsCellImage(FALSE),
      m_bLatched(FALSE), m_nKeyboardIndex(0), m_pPopup(NULL), m_bTearOff(FALSE)
{
}

CCoolCombo::~CCoolCombo()
{
    ClosePopup();
}

BOOL CCoolCombo::Create(const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (!CStatic::Create("", WS_CHILD | WS_VISIBLE | WS_TABSTOP | SS_NOTIFY | SS_OWNERDRAW, rect, pParentWnd, nID))
        return FALSE;
    Layout();
    return TRUE;
}

void CCoolCombo::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    ModifyStyle(SS_TYPEMASK, SS_NOTIFY | SS_OWNERDRAW);
    Layout();
}

// The arrow at the right end, full height; the face is the rest.
void CCoolCombo::Layout()
{
    if (m_hWnd == NULL)
        return;
    CRect rc;
    GetClientRect(&rc);
    const int h = rc.Height();
    const int w = rc.Width();
    int arrow = m_bSingleFace ? h - 1 : std::min((2 * h - 4) / 3, (w - 2) / 3);
    if (arrow < 0)
        arrow = 0;
    m_rcArrow = CRect(rc.right - arrow, rc.top, rc.right, rc.bottom);
    m_rcFace = CRect(rc.left, rc.top, rc.right - arrow, rc.bottom);
}

void CCoolCombo::OnSize(UINT, int, int)
{
    Default();
    Layout();
}

void CCoolCombo::SetCurSel(int nItem)
{
    if (nItem != m_nCurSel) {
        m_nCurSel = nItem;
        if (m_hWnd != NULL)
            Invalidate();
    }
    if (m_pPopup != NULL)
        m_pPopup->SetHotItem(nItem);
}

void CCoolCombo::SetFlatLook(BOOL bFlat)
{
    m_bFlatLook = bFlat;
    if (m_hWnd != NULL)
        Invalidate();
}

void CCoolCombo::SetSingleFace(BOOL bSingle)
{
    m_bSingleFace = bSingle;
    Layout();
}

void CCoolCombo::SetFaceShowsCellImage(BOOL bShow, BOOL bLatched)
{
    m_bFaceShowsCellImage = bShow;
    m_bLatched = bLatched;
    if (m_hWnd != NULL)
        Invalidate();
}

void CCoolCombo::SetCounts(int nCount, int nColumns)
{
    m_nCount = nCount;
    m_nColumns = nColumns;
}

void CCoolCombo::SetCellCommands(const int* pCommands, int nCount)
{
    m_commands.clear();
    if (pCommands != NULL && nCount > 0)
        m_commands.assign(pCommands, pCommands + nCount);
}

// The icons are copied into the control's own list; the item count follows.
BOOL CCoolCombo::SetImageList(HIMAGELIST hImages)
{
    const int count = hImages != NULL ? ::ImageList_GetImageCount(hImages) : 0;
    if (count <= 0)
        return FALSE;
    int cx = 0, cy = 0;
    ::ImageList_GetIconSize(hImages, &cx, &cy);
    m_images.DeleteImageList();
    if (!m_images.Create(cx, cy, ILC_COLOR24 | ILC_MASK, count, 0))
        return FALSE;
    m_images.SetBkColor(::ImageList_GetBkColor(hImages));
    for (int i = 0; i < count; i++) {
        HICON hIcon = ::ImageList_GetIcon(hImages, i, ILD_NORMAL);
        m_images.Add(hIcon);
        ::DestroyIcon(hIcon);
    }
    m_sizeImages = CSize(cx, cy);
    m_nCount = count;
    return TRUE;
}

BOOL CCoolCombo::LoadImageList(UINT nIDBitmap, int cxImage, COLORREF crMask)
{
    if (cxImage <= 0)
        return FALSE;
    HIMAGELIST hList = ::ImageList_LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDBitmap), cxImage, 0,
                                              crMask, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (hList == NULL)
        return FALSE;
    const BOOL ok = SetImageList(hList);
    ::ImageList_Destroy(hList);
    return ok;
}

BOOL CCoolCombo::SetImage(UINT nIDBitmap, int cxImage, int nIndex, COLORREF crMask)
{
    if (cxImage <= 0)
        return FALSE;
    HIMAGELIST hList = ::ImageList_LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDBitmap), cxImage, 0,
                                              crMask, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (hList == NULL)
        return FALSE;
    BOOL ok = FALSE;
    if (nIndex >= 0 && nIndex < ::ImageList_GetImageCount(hList)) {
        int cx = 0, cy = 0;
        ::ImageList_GetIconSize(hList, &cx, &cy);
        m_ownImage.DeleteImageList();
        if (m_ownImage.Create(cx, cy, ILC_COLOR24 | ILC_MASK, 1, 0)) {
            HICON hIcon = ::ImageList_GetIcon(hList, nIndex, ILD_NORMAL);
            ok = m_ownImage.Add(hIcon) >= 0;
            ::DestroyIcon(hIcon);
            m_sizeOwnImage = CSize(cx, cy);
        }
    }
    ::ImageList_Destroy(hList);
    if (ok && m_hWnd != NULL)
        Invalidate();
    return ok;
}

CWnd* CCoolCombo::OwnerWindow() const
{
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hOwner == NULL)
        hOwner = ::GetParent(m_hWnd);
    return CWnd::FromHandle(hOwner);
}

LRESULT CCoolCombo::NotifyOwner(UINT code, int value)
{
    CWnd* pOwner = OwnerWindow();
    if (pOwner == NULL || pOwner->m_hWnd == NULL)
        return 0;
    NMCOOLCOMBO nm;
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = (UINT_PTR)GetDlgCtrlID();
    nm.hdr.code = code;
    nm.value = value;
    return ::SendMessageA(pOwner->m_hWnd, WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
}

BOOL CCoolCombo::IsCellCommandEnabled(int nCell) const
{
    if (nCell < 0 || (size_t)nCell >= m_commands.size() || m_commands[(size_t)nCell] <= 0)
        return TRUE;
    if (m_pPopup != NULL)
        return m_pPopup->IsCellEnabled(nCell);
    // The same routing the popup uses, through a short-lived query.
    class CQuery : public CCmdUI {
    public:
        BOOL on = TRUE;
        void Enable(BOOL b) override { on = b; m_bEnableChanged = TRUE; }
        void SetCheck(int) override {}
        void SetText(LPCTSTR) override {}
    } query;
    query.m_nID = (UINT)m_commands[(size_t)nCell];
    CWnd* pMain = AfxGetMainWnd();
    if (pMain == NULL || pMain->m_hWnd == NULL)
        pMain = CWnd::FromHandle(::GetAncestor(m_hWnd, GA_ROOT));
    if (pMain == NULL)
        return TRUE;
    query.DoUpdate(pMain, FALSE);
    return query.on;
}

void CCoolCombo::FillPopupParams(CCoolComboPopupParams& p)
{
    GetWindowRect(&p.ownerRect);
    p.pOwner = this;
    p.bTearOff = m_bTearOff;
    p.nCount = m_nCount;
    p.nCurrent = m_nCurSel;
    p.nColumns = m_nColumns;
    p.bFlat = m_bPopupFlat;
    p.strDefault = m_strDefault;
    p.pExtras = &m_extras;
    p.hImages = m_images.m_hImageList;
    p.pTooltips = &m_tooltips;
    p.pCommands = m_commands.empty() ? NULL : &m_commands[0];
    p.nCommands = (int)m_commands.size();
    p.strCaption = m_strCaption;
}

BOOL CCoolCombo::OpenPopup()
{
    if (m_pPopup != NULL)
        return FALSE;
    CCoolComboPopupParams params;
    FillPopupParams(params);
    CCoolComboPopup* pPopup = new CCoolComboPopup;
    m_pPopup = pPopup;
    if (!pPopup->Create(params)) {
        m_pPopup = NULL;
        delete pPopup;
        m_bArrowPressed = FALSE;
        Invalidate();
        return FALSE;
    }
    Invalidate();
    return TRUE;
}

void CCoolCombo::ClosePopup()
{
    if (m_pPopup != NULL && m_pPopup->m_hWnd != NULL)
        m_pPopup->DestroyWindow();   // reports closed, which forgets it
    m_pPopup = NULL;
}

BOOL CCoolCombo::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* hdr = (const NMHDR*)lParam;
    if (m_pPopup == NULL || hdr->hwndFrom != m_pPopup->m_hWnd || hdr->code < CCN_HOTCHANGED ||
        hdr->code > CCN_TORNOFF)
        return CStatic::OnNotify(wParam, lParam, pResult);
    const int value = ((const NMCOOLCOMBO*)lParam)->value;
    *pResult = 0;
    switch (hdr->code) {
    case CCN_HOTCHANGED: OnHovered(value); break;
    case CCN_OPENED: OnOpened(); break;
    case CCN_CLOSED: OnClosed(); break;
    case CCN_ITEMCHOSEN: OnItemChosen(value); break;
    case CCN_CANCELLED: OnCancelled(); break;
    case CCN_DEFAULTCHOSEN: OnDefaultChosen(); break;
    case CCN_EXTRACHOSEN: OnExtraChosen(value); break;
    case CCN_TORNOFF: OnTornOff(); break;
    }
    return TRUE;
}

void CCoolCombo::OnOpened() { NotifyOwner(CCN_OPENED, 0); }

void CCoolCombo::OnClosed()
{
    m_pPopup = NULL;
    m_bArrowPressed = FALSE;
    m_bArrowPressedWhileOpen = FALSE;
    if (m_hWnd != NULL)
        Invalidate();
    NotifyOwner(CCN_CLOSED, 0);
}

// A cell with a command sends the command instead of becoming current.
void CCoolCombo::OnItemChosen(int nCell)
{
    if (nCell >= 0 && (size_t)nCell < m_commands.size() && m_commands[(size_t)nCell] > 0) {
        m_nCurSel = kCoolNoItem;
        Invalidate();
        CWnd* pOwner = OwnerWindow();
        if (pOwner != NULL)
            pOwner->PostMessage(WM_COMMAND, MAKEWPARAM(m_commands[(size_t)nCell], 0), (LPARAM)m_hWnd);
        return;
    }
    SetCurSel(nCell);
    NotifyOwner(CCN_ITEMCHOSEN, nCell);
}

void CCoolCombo::OnDefaultChosen()
{
    SetCurSel(kCoolDefaultItem);
    NotifyOwner(CCN_DEFAULTCHOSEN, 0);
}

void CCoolCombo::OnExtraChosen(int nExtra)
{
    SetCurSel(kCoolExtraBase + nExtra);
    NotifyOwner(CCN_EXTRACHOSEN, nExtra);
}

void CCoolCombo::OnCancelled() { NotifyOwner(CCN_CANCELLED, 0); }
void CCoolCombo::OnHovered(int nCell) { NotifyOwner(CCN_HOTCHANGED, nCell); }

void CCoolCombo::OnTornOff()
{
    m_bArrowPressed = FALSE;
    m_bFacePressed = FALSE;
    m_bArrowPressedWhileOpen = FALSE;
    Invalidate();
    NotifyOwner(CCN_TORNOFF, 0);
}

// A click on the face: the next cell (then the default item, then the first
// cell again), or with commands the keyboard cell's command.
void CCoolCombo::SelectNext()
{
    if (!m_commands.empty()) {
        if (IsWindowEnabled() && IsCellCommandEnabled(m_nKeyboardIndex))
            OnItemChosen(m_nKeyboardIndex);
        return;
    }
    if (m_nCount <= 0)
        return;
    if (m_nCurSel >= 0 && m_nCurSel < m_nCount) {
        if (m_nCurSel + 1 < m_nCount)
            OnItemChosen(m_nCurSel + 1);
        else if (!m_strDefault.IsEmpty())
            OnDefaultChosen();
        else
            OnItemChosen(0);
        return;
    }
    OnItemChosen(0);
}

void CCoolCombo::OnLButtonDown(UINT, CPoint point)
{
    SetFocus();
    if (m_rcArrow.PtInRect(point) && !m_bSingleFace) {
        if (m_pPopup != NULL) {
            m_bArrowPressedWhileOpen = TRUE;
            return;
        }
        ::ReleaseCapture();
        m_bArrowPressed = TRUE;
        OpenPopup();
        return;
    }
    if (m_bSingleFace && m_rcArrow.PtInRect(point)) {
        ::ReleaseCapture();
        m_bArrowPressed = TRUE;
        OpenPopup();
        return;
    }
    m_bFacePressed = TRUE;
    m_bCaptured = TRUE;
    SetCapture();
    Invalidate();
}

void CCoolCombo::OnLButtonDblClk(UINT nFlags, CPoint point)
{
    OnLButtonDown(nFlags, point);
}

void CCoolCombo::OnLButtonUp(UINT, CPoint point)
{
    if (!m_bFacePressed)
        return;
    m_bFacePressed = FALSE;
    if (m_bCaptured) {
        m_bCaptured = FALSE;
        ::ReleaseCapture();
    }
    Invalidate();
    if (m_rcFace.PtInRect(point))
        SelectNext();
}

void CCoolCombo::OnMouseMove(UINT, CPoint point)
{
    if (!m_bHover) {
        m_bHover = TRUE;
        TRACKMOUSEEVENT tme = { sizeof(tme), TME_LEAVE, m_hWnd, 0 };
        ::TrackMouseEvent(&tme);
        Invalidate();
    }
    CRect client;
    GetClientRect(&client);
    if (m_bCaptured && !client.PtInRect(point)) {
        m_bCaptured = FALSE;
        m_bFacePressed = FALSE;
        ::ReleaseCapture();
        Invalidate();
    }
}

LRESULT CCoolCombo::OnMouseLeave(WPARAM, LPARAM)
{
    m_bHover = FALSE;
    Invalidate();
    return 0;
}

void CCoolCombo::OnKeyDown(UINT nChar, UINT, UINT)
{
    if ((nChar == VK_SPACE || nChar == VK_DOWN) && m_pPopup == NULL) {
        OpenPopup();
        return;
    }
    Default();
}

UINT CCoolCombo::OnGetDlgCode()
{
    return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

void CCoolCombo::OnSetFocus(CWnd*)
{
    Default();
    Invalidate();
}

void CCoolCombo::OnKillFocus(CWnd*)
{
    Default();
    Invalidate();
}

void CCoolCombo::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    HDC hdc = lpDIS->hDC;
    const BOOL enabled = IsWindowEnabled();
    if (!enabled)
        lpDIS->itemState |= ODS_DISABLED | ODS_NOACCEL;
    CRect face = m_bSingleFace ? CRect(lpDIS->rcItem) : m_rcFace;

    // The face background: lighter in the initial state and when a latched
    // cell image is shown.
    const bool cellImage = m_bFaceShowsCellImage && m_bLatched && m_nCurSel >= 0 &&
                           m_images.m_hImageList != NULL && m_nCurSel < m_images.GetImageCount();
    const COLORREF back = ::GetSysColor(m_nCurSel == kCoolInitial || cellImage ? COLOR_3DLIGHT : COLOR_BTNFACE);
    pDC->FillSolidRect(&face, back);
    if (!m_bSingleFace && !m_rcArrow.IsRectEmpty()) {
        UINT state = DFCS_SCROLLDOWN;
        if (m_bFlatLook && !m_bArrowPressed)
            state |= DFCS_FLAT;
        if (m_bArrowPressed)
            state |= DFCS_PUSHED;
        if (!enabled)
            state |= DFCS_INACTIVE;
        RECT arrow = m_rcArrow;
        ::DrawFrameControl(hdc, &arrow, DFC_SCROLL, state);
    }
    RECT edge = face;
    const bool open = m_pPopup != NULL;
    if (m_bFlatLook) {
        if (enabled && m_bFacePressed)
            ::DrawEdge(hdc, &edge, BDR_SUNKENOUTER, BF_RECT);
        else if (enabled && (m_bHover || open))
            ::DrawEdge(hdc, &edge, BDR_RAISEDINNER, BF_RECT);
        else
            pDC->Draw3dRect(&edge, ::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNFACE));
    } else if (enabled) {
        ::DrawEdge(hdc, &edge, m_bFacePressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }
    if (m_bSingleFace) {
        UINT state = DFCS_SCROLLDOWN | DFCS_FLAT | (enabled ? 0 : DFCS_INACTIVE);
        RECT arrow = m_rcArrow;
        ::InflateRect(&arrow, -2, -2);
        ::DrawFrameControl(hdc, &arrow, DFC_SCROLL, state);
    }
    DrawFace(pDC, face, enabled);
    if (::GetFocus() == m_hWnd) {
        RECT focus = face;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(hdc, &focus);
    }
}

void CCoolCombo::DrawFace(CDC* pDC, const CRect& rcFace, BOOL bEnabled)
{
    HDC hdc = pDC->GetSafeHdc();
    const int saved = ::SaveDC(hdc);
    CRect clip = rcFace;
    clip.DeflateRect(::GetSystemMetrics(SM_CXEDGE), ::GetSystemMetrics(SM_CYEDGE));
    ::IntersectClipRect(hdc, clip.left, clip.top, clip.right, clip.bottom);
    const BOOL cellEnabled = IsCellCommandEnabled(m_nCurSel);
    const COLORREF hi = ::GetSysColor(COLOR_3DHILIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    if (m_bFaceShowsCellImage && bEnabled && m_nCurSel >= 0 && m_images.m_hImageList != NULL &&
        m_nCurSel < m_images.GetImageCount()) {
        const int x = rcFace.left + (rcFace.Width() - m_sizeImages.cx) / 2;
        const int y = rcFace.top + (rcFace.Height() - m_sizeImages.cy) / 2;
        if (cellEnabled)
            ::ImageList_Draw(m_images, m_nCurSel, hdc, x, y, ILD_TRANSPARENT);
        else
            DrawImageEmbossed(hdc, m_images, m_nCurSel, x, y, hi, shadow);
    } else if (m_ownImage.m_hImageList != NULL) {
        const int x = rcFace.left + (rcFace.Width() - m_sizeOwnImage.cx) / 2;
        const int y = rcFace.top + (rcFace.Height() - m_sizeOwnImage.cy) / 2;
        if (bEnabled && cellEnabled)
            ::ImageList_Draw(m_ownImage, 0, hdc, x, y, ILD_TRANSPARENT);
        else
            DrawImageEmbossed(hdc, m_ownImage, 0, x, y, hi, shadow);
    }
    // The initial state looks checkered.
    if (m_nCurSel == kCoolInitial && bEnabled) {
        const COLORREF light = ::GetSysColor(COLOR_3DLIGHT);
        for (int y = clip.top; y < clip.bottom; y++)
            for (int x = clip.left + ((clip.left + y + 1) & 1); x < clip.right; x += 2)
                ::SetPixelV(hdc, x, y, light);
    }
    ::RestoreDC(hdc, saved);
}
