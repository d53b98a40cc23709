#pragma once
#include "framework/ui/GdiObject.h"
#include "framework/ui/Wnd.h"

class CHtmlText;

// The tip view: a title line with an optional icon, an optional picture panel
// on the left and a rich text body (CHtmlText). Any window of the class
// "TipTextWnd" gets one automatically, so a dialog template can place it as a
// custom control. UI thread.
class CTipText : public CWnd {
    DECLARE_DYNCREATE(CTipText)
public:
    CTipText();
    ~CTipText() override;

    // Registers the window class "TipTextWnd" (once per process).
    static BOOL RegisterWindowClass();
    static const char kClassName[];

    void SetText(LPCTSTR lpszText);
    void SetTitle(LPCTSTR lpszTitle);
    void SetTitleFont(const LOGFONT* pLogFont);
    // The module's icon of that name, else the system icon of that name.
    void SetIcon(LPCTSTR lpszName);
    // Side picture: its mask and low-colour form by resource id (0: none),
    // the picture by resource name (a DIB section), the panel colour (-1:
    // COLOR_APPWORKSPACE) and whether it is centred vertically.
    void SetImage(UINT nMaskId, LPCTSTR lpszPicture, UINT nLowColourId, COLORREF panelColour, BOOL bCentre);

    const CString& GetTitle() const { return m_title; }
    CHtmlText* GetBody() const { return m_pBody; }
    HICON GetIconHandle() const { return m_hIcon; }
    // The plain form of a tagged text: tags become blanks, help stretches go.
    static CString PlainText(LPCTSTR lpszText);

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnDestroy();
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnSysColorChange();
    void OnSize(UINT nType, int cx, int cy);
    void PostNcDestroy() override;
    DECLARE_MESSAGE_MAP()

private:
    friend LRESULT CALLBACK TipTextWndProc(HWND, UINT, WPARAM, LPARAM);
    void PlaceBody();

    CBitmap m_picture;
    CBitmap m_lowColourPicture;
    CBitmap m_mask;
    CFont m_titleFont;
    CString m_title;
    COLORREF m_panelColour;
    BOOL m_bCentrePicture;
    HICON m_hIcon;
    BOOL m_bRelayout;
    RECT m_bodyRect;
    CHtmlText* m_pBody;
    BOOL m_bAutoDelete;   // made by the window class: deleted with its window
};
