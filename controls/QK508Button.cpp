#include "controls/QK508Button.h"

#include "framework/ui/DC.h"

IMPLEMENT_DYNCREATE(QK508Button, XRVButton)

QK508Button::QK508Button()
{
}

QK508Button::~QK508Button()
{
}

void QK508Button::PreSubclassWindow()
{
    XRVButton::PreSubclassWindow();
    GetWindowText(m_caption);
    if (m_faceText.IsEmpty())
        m_faceText = m_caption;
}

void QK508Button::SetFaceText(LPCTSTR lpszText)
{
    if (lpszText == NULL || m_faceText == lpszText)
        return;
    m_faceText = lpszText;
    m_rcFace.SetRectEmpty();
    if (m_hWnd != NULL)
        Invalidate();
}

void QK508Button::SetCaption(LPCTSTR lpszText)
{
    if (lpszText == NULL || m_caption == lpszText)
        return;
    m_caption = lpszText;
    if (m_hWnd != NULL) {
        SetWindowText(m_caption);
        Invalidate();
    }
}

void QK508Button::DrawCaption(LPDRAWITEMSTRUCT lpDIS, CRect& rect, BOOL bMeasureOnly)
{
    CString text = m_faceText;
    if (text.IsEmpty())
        GetWindowText(text);
    DrawButtonText(CDC::FromHandle(lpDIS->hDC), lpDIS, text, rect, bMeasureOnly);
}
