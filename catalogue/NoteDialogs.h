#pragma once
#include "framework/AfxPlatform.h"
#include "framework/ui/Dialog.h"

class CDataGenericObject;
class CDataShapeObject;
class CDataTextObject;
class CFloater;
class CNoteStyle;

// The note dialogs: a note's opacity (328), a text note (319) and a shape's
// scale (270). Each edits a data object and changes it only on OK. UI thread.

// Opacity in percent (1..100) with a live preview on a window (restored on
// Cancel).
class COpacityDlg : public CDialog {
public:
    COpacityDlg(CWnd* parent, CDataGenericObject* data, CWnd* preview);
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    int m_percent;

protected:
    void OnChange();
    // The edit's value when it is a whole number from 1 to 100, else -1.
    int ReadPercent() const;
    DECLARE_MESSAGE_MAP()
    CDataGenericObject* m_data;
    CWnd* m_preview;
};

// A text note's text and size, with a preview of the text in the note's
// colours and layout. Constructed with the main window's default style,
// which the note starts from when it has no text.
class CTextNoteDlg : public CDialog {
public:
    CTextNoteDlg(CDataTextObject* data, const CNoteStyle* defaults, CWnd* parent = NULL);
    ~CTextNoteDlg() override;
    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void OnTextChange();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    DECLARE_MESSAGE_MAP()
    CDataTextObject* m_data;
    const CNoteStyle* m_defaults;
    class CAutoSizeEdit* m_preview;
    HFONT m_font;
    HBRUSH m_brush;
};

// A shape's horizontal and vertical scale, 10..600 percent, optionally
// locked together. `changed` is 1 after OK stored new values.
class CAnnotationResizeDlg : public CDialog {
public:
    CAnnotationResizeDlg(CDataShapeObject* shape, const RECT* over, CWnd* parent);
    BOOL OnInitDialog() override;
    void OnOK() override;
    int m_keepAspect;
    int m_widthPercent;
    int m_heightPercent;
    int m_changed;

protected:
    void OnWidthChange();
    void OnHeightChange();
    void OnLock();
    void OnDefault();
    DECLARE_MESSAGE_MAP()
    CDataShapeObject* m_shape;
    RECT m_over;
    BOOL m_hasOver;
    int m_updating;
};

// Moves a window (keeping its size) so its centre is the rectangle's, then
// inside the virtual desktop.
void CenterWindowInRect(CWnd* dialog, const RECT* rect);
