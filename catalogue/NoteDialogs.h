#pragma once
#include "framework/AfxPlatform.h"
#include "catalogue/NoteStyle.h"
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

// A text note's text, size and style (font and text colour through the font
// dialog, background and frame colours through the colour dialog, frame kind
// and width, alignment, word wrap), with a preview of the text in the note's
// colours and layout. Constructed with the main window's default style,
// which the note starts from when it has no text. Edits a copy of the style:
// the note changes only on OK. UI thread.
class CTextNoteDlg : public CDialog {
public:
    CTextNoteDlg(CDataTextObject* data, const CNoteStyle* defaults, CWnd* parent = NULL);
    ~CTextNoteDlg() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    // The style being edited (text and size are read from the fields on OK).
    const CNoteStyle& GetStyle() const { return m_style; }

    // Horizontal alignment index (0 left, 1 centred, 2 right) and vertical
    // index (0 top, 1 middle, 2 bottom) of the style's layout bits, and back.
    static int AlignIndex(DWORD flags);
    static int VAlignIndex(DWORD flags);
    static DWORD WithAlignment(DWORD flags, int alignIndex, int valignIndex);

protected:
    void OnTextChange();
    void OnFont();
    void OnBackground();
    void OnFrameColour();
    void OnLayoutChange();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    // The colour dialog from `colour`; FALSE when cancelled.
    BOOL ChooseColour(COLORREF* colour);
    // The preview in the edited style's font, colours and layout.
    void RefreshPreview();
    DECLARE_MESSAGE_MAP()
    CDataTextObject* m_data;
    const CNoteStyle* m_defaults;
    CNoteStyle m_style;
    class CAutoSizeEdit* m_preview;
    HFONT m_font;
    HBRUSH m_brush;
    COLORREF m_customColours[16];
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
