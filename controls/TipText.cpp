#include "controls/TipText.h"

#include "controls/HtmlText.h"
#include "framework/Module.h"
#include "framework/ui/DC.h"
#include "settings/FontUtil.h"

#include <mutex>

IMPLEMENT_DYNCREATE(CTipText, CWnd)

BEGIN_MESSAGE_MAP(CTipText, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_MOUSEWHEEL()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_SIZE()
END_MESSAGE_MAP()

const char CTipText::kClassName[] = "TipTextWnd";

namespace {
const UINT kBodyId = 1;
}

// The class procedure: a window of the class that has no object yet gets a
// CTipText (of the runtime class kept in the class extra bytes), bound before
// its WM_NCCREATE is handled; the object deletes itself after the window.
LRESULT CALLBACK TipTextWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE && CWnd::FromHandlePermanent(hWnd) == NULL) {
        // The class extra bytes name the class of object to make; the first
        // window of the class stores the default there.
        CRuntimeClass* pClass = (CRuntimeClass*)::GetClassLongPtrA(hWnd, 0);
        if (pClass == NULL) {
            pClass = RUNTIME_CLASS(CTipText);
            ::SetClassLongPtrA(hWnd, 0, (LONG_PTR)pClass);
        }
        CObject* pObject = pClass != NULL ? pClass->CreateObject() : NULL;
        CTipText* pTip = dynamic_cast<CTipText*>(pObject);
        if (pTip == NULL) {
            delete pObject;
            return FALSE;
        }
        pTip->m_bAutoDelete = TRUE;
        if (!pTip->SubclassWindow(hWnd)) {
            delete pTip;
            return FALSE;
        }
        ::SetWindowLongPtrA(hWnd, 0, (LONG_PTR)pTip);
        return ::CallWindowProcA(&AfxWndProc, hWnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY)
        ::SetWindowLongPtrA(hWnd, 0, 0);
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

BOOL CTipText::RegisterWindowClass()
{
    static std::once_flag once;
    static BOOL registered = FALSE;
    std::call_once(once, [] {
        WNDCLASSA wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = &TipTextWndProc;
        wc.cbClsExtra = sizeof(LONG_PTR);
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.hInstance = AfxGetInstanceHandle();
        wc.hCursor = ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
        wc.lpszClassName = kClassName;
        registered = ::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    });
    return registered;
}

CTipText::CTipText()
    : m_panelColour((COLORREF)-1), m_bCentrePicture(FALSE), m_hIcon(NULL), m_bRelayout(TRUE),
      m_pBody(new CHtmlText), m_bAutoDelete(FALSE)
{
    ZeroMemory(&m_bodyRect, sizeof(m_bodyRect));
}

CTipText::~CTipText()
{
    delete m_pBody;
}

void CTipText::PostNcDestroy()
{
    if (m_bAutoDelete)
        delete this;
}

int CTipText::OnCreate(LPCREATESTRUCT)
{
    ModifyStyle(0, WS_CLIPCHILDREN);
    CRect rect(0, 0, 10, 10);
    if (!m_pBody->Create(WS_CHILD | WS_VISIBLE, rect, this, kBodyId))
        return -1;
    m_bRelayout = TRUE;
    return 0;
}

void CTipText::OnDestroy()
{
    if (m_pBody->m_hWnd != NULL)
        m_pBody->DestroyWindow();
    Default();
}

void CTipText::OnSize(UINT, int, int)
{
    m_bRelayout = TRUE;
    Invalidate();
}

// Tags become blanks; a stretch from a "help" tag to its "/help" tag goes.
CString CTipText::PlainText(LPCTSTR lpszText)
{
    const CString text(lpszText != NULL ? lpszText : "");
    CString plain;
    int pos = 0;
    int tags = 0;
    BOOL skipping = FALSE;
    while (pos < text.GetLength()) {
        const int open = text.Find('<', pos);
        if (open < 0 || tags >= 1000) {
            if (!skipping)
                plain += text.Mid(pos);
            break;
        }
        int close = text.Find('>', open + 1);
        if (close < 0)
            close = text.GetLength() - 1;
        if (!skipping)
            plain += text.Mid(pos, open - pos);
        CString tag = text.Mid(open + 1, close - open - 1);
        tag.MakeLower();
        tags++;
        if (skipping) {
            if (tag.Find("/help") >= 0)
                skipping = FALSE;
        } else if (tag.Find("help") >= 0 && tag.Find("/help") < 0) {
            skipping = TRUE;
        } else {
            plain += ' ';
        }
        pos = close + 1;
    }
    return plain;
}

void CTipText::SetText(LPCTSTR lpszText)
{
    m_pBody->SetText(lpszText);
    if (m_hWnd != NULL)
        SetWindowText(PlainText(lpszText));
}

void CTipText::SetTitle(LPCTSTR lpszTitle)
{
    m_title = lpszTitle != NULL ? lpszTitle : "";
    if (m_hWnd != NULL)
        Invalidate();
}

void CTipText::SetTitleFont(const LOGFONT* pLogFont)
{
    m_titleFont.DeleteObject();
    if (pLogFont != NULL)
        m_titleFont.CreateFontIndirect(pLogFont);
    if (m_hWnd != NULL)
        Invalidate();
}

void CTipText::SetIcon(LPCTSTR lpszName)
{
    m_hIcon = NULL;
    if (lpszName != NULL) {
        m_hIcon = ::LoadIconA(AfxGetResourceHandle(), lpszName);
        if (m_hIcon == NULL)
            m_hIcon = ::LoadIconA(NULL, lpszName);
    }
    if (m_hWnd != NULL)
        Invalidate();
}

void CTipText::SetImage(UINT nMaskId, LPCTSTR lpszPicture, UINT nLowColourId, COLORREF panelColour,
                        BOOL bCentre)
{
    m_picture.DeleteObject();
    m_lowColourPicture.DeleteObject();
    m_mask.DeleteObject();
    HINSTANCE hInst = AfxGetResourceHandle();
    if (lpszPicture != NULL)
        m_picture.Attach(::LoadImageA(hInst, lpszPicture, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (nLowColourId != 0)
        m_lowColourPicture.LoadBitmap(nLowColourId);
    if (nMaskId != 0)
        m_mask.LoadBitmap(nMaskId);
    m_panelColour = panelColour;
    m_bCentrePicture = bCentre;
    m_bRelayout = TRUE;
    if (m_hWnd != NULL)
        Invalidate();
}

BOOL CTipText::OnEraseBkgnd(CDC*)
{
    return TRUE;   // OnPaint fills everything
}

BOOL CTipText::OnMouseWheel(UINT, short zDelta, CPoint)
{
    if (m_pBody->m_hWnd != NULL)
        m_pBody->PostMessage(WM_VSCROLL, zDelta < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    return TRUE;
}

void CTipText::OnSysColorChange()
{
    Invalidate();
}

void CTipText::PlaceBody()
{
    if (m_pBody->m_hWnd != NULL)
        m_pBody->MoveWindow(&m_bodyRect, TRUE);
}

void CTipText::OnPaint()
{
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    const COLORREF background = ::GetSysColor(COLOR_WINDOW);
    const COLORREF textColour = ::GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF panel = m_panelColour == (COLORREF)-1 ? ::GetSysColor(COLOR_APPWORKSPACE) : m_panelColour;
    dc.DrawEdge(&rc, EDGE_SUNKEN, BF_RECT | BF_ADJUST);

    // The picture panel.
    int panelWidth = 0;
    BITMAP bm;
    if (m_picture.m_hObject != NULL && m_picture.GetBitmap(&bm)) {
        panelWidth = bm.bmWidth;
        dc.FillSolidRect(rc.left, rc.top, panelWidth, rc.Height(), panel);
        CBitmap* pShown = &m_picture;
        if (dc.GetDeviceCaps(BITSPIXEL) <= 8 && m_lowColourPicture.m_hObject != NULL)
            pShown = &m_lowColourPicture;
        const int y = m_bCentrePicture ? rc.top + (rc.Height() - bm.bmHeight) / 2 : rc.top;
        CDC mem;
        mem.CreateCompatibleDC(&dc);
        CBitmap* old = mem.SelectObject(pShown);
        if (m_mask.m_hObject != NULL) {
            dc.BitBlt(rc.left, y, bm.bmWidth, bm.bmHeight, &mem, 0, 0, SRCINVERT);
            mem.SelectObject(&m_mask);
            dc.BitBlt(rc.left, y, bm.bmWidth, bm.bmHeight, &mem, 0, 0, SRCAND);
            mem.SelectObject(pShown);
            dc.BitBlt(rc.left, y, bm.bmWidth, bm.bmHeight, &mem, 0, 0, SRCINVERT);
        } else {
            dc.BitBlt(rc.left, y, bm.bmWidth, bm.bmHeight, &mem, 0, 0, SRCCOPY);
        }
        mem.SelectObject(old);
    }
    CRect rest(rc.left + panelWidth, rc.top, rc.right, rc.bottom);
    dc.FillSolidRect(&rest, background);

    // The title band: two lines of the title font.
    if (m_titleFont.m_hObject == NULL) {
        HFONT hFont = NULL;
        if (CreateMatchingPointFont(&hFont, 140, VARIABLE_PITCH | FF_ROMAN, GetDefaultCharset(),
                                    "Times New Roman", 100, NULL))
            m_titleFont.Attach(hFont);
    }
    CFont* oldFont = m_titleFont.m_hObject != NULL ? dc.SelectObject(&m_titleFont) : NULL;
    TEXTMETRIC tm;
    dc.GetTextMetrics(&tm);
    const int lineHeight = tm.tmHeight + tm.tmExternalLeading;
    const int band = 2 * lineHeight;
    CRect title(rest.left + tm.tmAveCharWidth, rest.top + lineHeight * 3 / 4,
                rest.right - tm.tmAveCharWidth, rest.top + band);
    if (m_hIcon != NULL) {
        const int cx = ::GetSystemMetrics(SM_CXICON);
        const int cy = ::GetSystemMetrics(SM_CYICON);
        const int ix = rest.right - tm.tmAveCharWidth - cx;
        dc.DrawIcon(ix, rest.top + (band - cy) / 2, m_hIcon);
        title.right = ix - tm.tmAveCharWidth;
    }
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(textColour);
    dc.DrawText(m_title, &title, DT_WORDBREAK | DT_NOPREFIX);
    if (oldFont != NULL)
        dc.SelectObject(oldFont);

    dc.FillSolidRect(rest.left, rest.top + band, rest.Width(), 2, ::GetSysColor(COLOR_APPWORKSPACE));
    const RECT body = { rest.left, rest.top + band + 2, rest.right, rest.bottom - 1 };
    if (m_bRelayout || !::EqualRect(&body, &m_bodyRect)) {
        m_bodyRect = body;
        m_bRelayout = FALSE;
        PlaceBody();
    }
}
