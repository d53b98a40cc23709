#pragma once
#include "catalogue/AutoSizeEdit.h"
#include "catalogue/Floater.h"

class CDataTextObject;

// The in-place editor's control id.
#define IDC_NOTE_EDIT 1000

// A text note on the desktop: a resizable pop-up whose whole surface is the
// note (background, frame, text). A double click edits the text in place;
// the settings command runs the text-note dialog. A note listed under its
// automatic title gets the new text's title after an edit. UI thread.
class CTextFloater : public CFloater {
    DECLARE_DYNAMIC(CTextFloater)
public:
    CTextFloater(CNoteDesk* desk, CDataTextObject* data, const CString& name, UINT timerId);
    ~CTextFloater() override;

    // Creates the window at `topLeft` with the note's size, shows and
    // registers it.
    BOOL CreateAt(POINT topLeft);

    void StorePlacement() override;
    int GetMenuIndex() const override { return 1; }
    // The resize border: the frame width when the note has a frame, at
    // least the system's sizing frame.
    void GetBorderSize(int* cx, int* cy) const;
    CDataTextObject* GetNote() const;
    BOOL IsEditing() const { return m_edit.m_hWnd != NULL; }
    CNoteEdit& GetEdit() { return m_edit; }

    void BeginEdit();
    void EndEdit();
    // Paints the note into a device context of the window's size.
    void Draw(HDC dc, const RECT& rect);

protected:
    void RebuildFont();
    int FrameWidth() const;

    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    LRESULT OnNcHitTest(CPoint point);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnSize(UINT type, int cx, int cy);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnEditKillFocus();
    LRESULT OnNcButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcRButtonUp(WPARAM wParam, LPARAM lParam);
    void OnEditText();
    void OnEndEditCommand();
    void OnSettings();
    DECLARE_MESSAGE_MAP()

public:
    HFONT m_font;
    CNoteEdit m_edit;
    HBRUSH m_backgroundBrush;

private:
    BOOL m_endingEdit;
};

// The window class of text floaters, registered once per process.
LPCTSTR TextFloaterClass();
