#pragma once
#include "framework/ui/Wnd.h"

// A multi-line edit control that keeps its text at the top, the centre or
// the bottom of its client area as the text changes (mode 1, 2 or 3 in the
// low two bits). The text-note dialog's preview and the text floater's
// in-place editor. UI thread.
class CAutoSizeEdit : public CWnd {
    DECLARE_DYNAMIC(CAutoSizeEdit)
public:
    CAutoSizeEdit();
    BOOL CreateEx(int mode, DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id, LPVOID param = NULL);
    // Binds an edit control of a dialog and sets the mode.
    BOOL SubclassEdit(int mode, UINT id, CWnd* parent);
    void SetMode(int mode);
    int GetMode() const { return m_mode; }
    // Places the formatting rectangle for the mode.
    void Align();

    int m_mode;

protected:
    BOOL OnChange();
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    void OnSize(UINT type, int cx, int cy);
    DECLARE_MESSAGE_MAP()
};

// The text floater's in-place editor: Esc and "end editing" give the focus
// back to the floater, which ends the edit; its context menu (327) carries
// the edit commands.
class CNoteEdit : public CAutoSizeEdit {
    DECLARE_DYNAMIC(CNoteEdit)
public:
    CNoteEdit() {}

protected:
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    void OnContextMenu(CWnd* pWnd, CPoint point);
    void OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu);
    void OnUndo();
    void OnUpdateUndo(CCmdUI* pCmdUI);
    void OnCut();
    void OnCopy();
    void OnClear();
    void OnUpdateSelection(CCmdUI* pCmdUI);
    void OnPaste();
    void OnUpdatePaste(CCmdUI* pCmdUI);
    void OnSelectAll();
    void OnUpdateSelectAll(CCmdUI* pCmdUI);
    void OnEndEdit();
    void OnSettings();
    DECLARE_MESSAGE_MAP()
};
