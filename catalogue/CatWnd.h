#pragma once
#include "framework/String.h"
#include "framework/ui/Controls.h"
#include "framework/ui/OleDropTarget.h"
#include "framework/ui/Wnd.h"

struct CCatAppearance;
class CCatManager;
class CCatalogueOb;
class CCataloguePropertyObject;
class CCatWnd;
class COleDataObject;
class COleDataSource;

// The rename edits of the item grid: Esc cancels, Enter (without a
// modifier) commits; losing the focus ends the rename.
class CCatRenameEdit : public CEdit {
public:
    CCatRenameEdit() : m_cancel(FALSE), m_owner(NULL) {}
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL m_cancel;
    CCatWnd* m_owner;

protected:
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    BOOL OnKillFocusReflect();
    DECLARE_MESSAGE_MAP()
};

// The drop target of the item grid: it asks the window for the effect and
// hands the drop to it.
class CCatDropTarget : public COleDropTarget {
public:
    DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point) override;
    void OnDragLeave(CWnd* pWnd) override;
    BOOL OnDrop(CWnd* pWnd, COleDataObject* pDataObject, DROPEFFECT dropEffect, CPoint point) override;
};

// The items of one catalogue page as a scrolling grid of icons with labels
// in one of four views (icons with labels, icons, list, rows). Selects,
// renames, copies, pastes, deletes, reorders and drags items; every change
// goes through the manager's edit protocol (copy, change, save, undo on a
// failed save). A child of its manager. UI thread.
class CCatWnd : public CWnd {
    DECLARE_DYNCREATE(CCatWnd)
public:
    CCatWnd();
    ~CCatWnd() override;

    BOOL CreateGrid(CCatManager* manager, const RECT& rect, UINT id);
    void SetAppearance(CCatAppearance* appearance) { m_appearance = appearance; }
    // Takes the page (not owned), ends a rename, lays out, clears the
    // selection and repaints.
    void SetPage(CCataloguePropertyObject* page);
    CCataloguePropertyObject* GetPage() const { return m_page; }
    CCatManager* GetManager() const { return m_manager; }

    // Columns, margin and the scroll range for the page and client size.
    void Layout();
    RECT GetCellRect(int i) const;
    RECT GetIconRect(int i) const;
    RECT GetLabelRect(int i) const;
    int HitTest(POINT point) const;
    int InsertIndexAt(POINT point) const;
    void SetView(int view);
    int GetView() const { return m_view; }
    int GetColumns() const { return m_columns; }
    int GetMargin() const { return m_margin; }
    int GetLineHeight() const { return m_lineHeight; }
    int GetSelection() const { return m_selected; }
    BOOL IsPageWritable() const;
    int GetItemCount() const;

    // The part of `text` that fits `width` on one line: up to the next CR,
    // cut at the last space when too wide, "..." appended when asked.
    // *consumed gets how many bytes the line used (a CR LF after it too).
    static CString FitLabelLine(HDC dc, const CString& text, int width, BOOL ellipsis, int* consumed);
    // The name of an item made from pasted text: up to the first NUL, at
    // most 64 bytes (never cutting a code page 936 character), control
    // bytes but CR and LF made spaces.
    static CString PastedTextName(const char* data, size_t size);

    // Virtual operations of the grid.
    virtual BOOL DropData(COleDataObject* data, DROPEFFECT effect, CPoint point);
    virtual DROPEFFECT DropEffect(COleDataObject* data, DWORD keyState, CPoint point);
    virtual void DragLeave() {}
    virtual void DrawItem(HDC dc, int i, const RECT& client);
    virtual void DrawIconFrame(HDC dc, int i);
    virtual void DrawItemIcon(HDC dc, int i);
    virtual void DrawLabel(HDC dc, int i);
    virtual void SelectIndex(int i);
    virtual BOOL FillDataSource(COleDataSource* source, int i);
    virtual BOOL ReceiveData(COleDataObject* data, int index);
    virtual void OnDragStarted() {}
    // Asked before every change of the page; FALSE leaves the page alone.
    virtual BOOL BeforeEdit() { return TRUE; }

    void BeginRename(int i);
    void EndRename(const CString& text, BOOL cancel);
    // Inserts the item (taken over) through the edit protocol; the index of
    // the new item, or -1 when the save failed.
    int InsertItemSaved(CCatalogueOb* item, int index);
    // Draws the label text lines into the rectangle.
    void DrawLabelText(HDC dc, int i, const CString& text);

    int m_draggedIndex;

protected:
    void EndVisibleRename();
    void ScrollTo(int pos);

    int OnCreate(LPCREATESTRUCT cs);
    void OnDestroy();
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnSize(UINT type, int cx, int cy);
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnRButtonDown(UINT flags, CPoint point);
    void OnSysColorChange();
    void OnKillFocus(CWnd* newWnd);
    void OnWindowPosChanged(WINDOWPOS* pos);
    void OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu);
    void OnCopy();
    void OnUpdateCopy(CCmdUI* pCmdUI);
    void OnPaste();
    void OnUpdatePaste(CCmdUI* pCmdUI);
    void OnDelete();
    void OnUpdateWritableSelection(CCmdUI* pCmdUI);
    void OnView(UINT id);
    void OnUpdateView(CCmdUI* pCmdUI);
    void OnChangeIcon();
    void OnEditIcon();
    void OnUpdateEditIcon(CCmdUI* pCmdUI);
    DECLARE_MESSAGE_MAP()

    CCatAppearance* m_appearance;
    CCataloguePropertyObject* m_page;
    CCatManager* m_manager;
    int m_view;
    int m_lineHeight;
    int m_columns;
    int m_margin;
    HFONT m_itemFont;
    CCatRenameEdit m_multiEdit;
    CCatRenameEdit m_singleEdit;
    int m_selected;
    int m_previous;
    int m_anchor;
    int m_renaming;
    CCatDropTarget m_dropTarget;
};
