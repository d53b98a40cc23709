#pragma once
#include "catalogue/CatWnd.h"
#include "catalogue/NoteDesk.h"
#include "catalogue/NoteHost.h"

class CDataGenericObject;
class CDataLayoutObject;

// Private message of the recorder's item window to itself: capture the
// mouse for an item dragged out of the window.
#define WM_CAT_DRAG_OUT (WM_USER + 205)
// Posted to the main window when the catalogue asks to be hidden.
#define WM_CAT_HIDE (WM_USER + 208)
// Preference flag: the tip about the layout hot keys is not shown again.
const DWORD kFlagNoHotKeyTip = 0x400000;

// The recorder's item grid: catalogue items become screen notes. Makes new
// shapes and text notes, edits the selected item, opens items as floaters
// (double click, drag out), saves the open floaters as a layout and reopens
// layouts (also by the layout hot keys), and upgrades older library files
// before it changes them. Owns the desk of open floaters. UI thread.
class CMyCatWnd : public CCatWnd, public INoteDeskSite {
    DECLARE_DYNCREATE(CMyCatWnd)
public:
    CMyCatWnd();
    ~CMyCatWnd() override;

    CNoteDesk& GetDesk() { return m_desk; }
    // The first press on the layout library tells where the layout keys are
    // set (once, unless the user unticked it before); TRUE when shown.
    BOOL OfferHotKeyTip();

    // INoteDeskSite.
    CWnd* GetDeskWindow() override { return this; }
    BOOL AcceptsObject(const CDataGenericObject* object) override;
    void AddToCatalogue(CDataGenericObject* object, const CString& name) override;

    // The data object of item i ("Skorvale Format", else "Skorvale Note"),
    // read at the page's version; NULL when it has none or cannot be read.
    CDataGenericObject* GetItemDataObject(int i);
    CDataLayoutObject* ReadLayout(int i);
    CCatalogueOb* MakeLayoutItem(CDataLayoutObject* layout, const CString& name);
    // Replaces item i's data and icon (the page is saved); TRUE when saved.
    BOOL ReplaceItem(int i, CDataGenericObject* object);
    BOOL ReplaceLayoutItem(int i, CDataLayoutObject* layout);
    // Appends an item of the object under the name and selects it.
    int AddItem(CDataGenericObject* object, const CString& name);
    // The page a shape (type 1) or text note (type 2) is stored in: the
    // active page when it fits and is writable, else the first that does.
    BOOL FindTargetPage(const CDataGenericObject* object, int* page);
    // 1 + the largest number after `prefix` among the item names.
    int NextNumber(const char* prefix) const;
    // Asks to upgrade an older library; TRUE when the page is current.
    BOOL EnsureCurrentFormat();
    // Opens item i on the desktop (centred at `centre` when given).
    void OpenItem(int i, const POINT* centre);
    void OpenLayout(CDataLayoutObject* layout, const CString& name);
    void SaveLayout();
    void CloseAllFloaters() { m_desk.CloseAllFloaters(); }
    // Layout hot keys: +1 next, -1 previous, 0 show or hide.
    void CycleLayout(int step);

    ShapeEditorSettings m_imageEditorSettings;
    ShapeEditorSettings m_itemEditorSettings;
    BOOL m_busy;
    BOOL m_showHotKeyTip;

protected:
    BOOL ReceiveData(COleDataObject* data, int index) override;
    void DrawLabel(HDC dc, int i) override;
    void OnDragStarted() override;
    // An older library is upgraded (or the change refused) first.
    BOOL BeforeEdit() override { return EnsureCurrentFormat(); }
    BOOL IsLayoutPage() const;
    int PageType() const;
    BOOL RunDialogFor(CWnd* dialog);

    int OnCreate(LPCREATESTRUCT cs);
    void OnPaint();
    UINT OnGetDlgCode();
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnRButtonDown(UINT flags, CPoint point);
    void OnTimer(UINT_PTR id);
    LRESULT OnFloaterClosed(WPARAM wParam, LPARAM lParam);
    LRESULT OnFloaterRaised(WPARAM wParam, LPARAM lParam);
    LRESULT OnDragOut(WPARAM wParam, LPARAM lParam);
    void OnNewShape();
    void OnUpdateNewShape(CCmdUI* pCmdUI);
    void OnNewNote();
    void OnUpdateNewNote(CCmdUI* pCmdUI);
    void OnEditShapeImage();
    void OnEditShapeItem();
    void OnUpdateShapeEditor(CCmdUI* pCmdUI);
    void OnEditNote();
    void OnUpdateEditNote(CCmdUI* pCmdUI);
    void OnItemOpacity();
    void OnUpdateItemOpacity(CCmdUI* pCmdUI);
    void OnDeleteItem();
    void OnSaveLayout();
    void OnUpdateFloatersOpen(CCmdUI* pCmdUI);
    void OnOpenLayout();
    void OnUpdateOpenLayout(CCmdUI* pCmdUI);
    void OnOpenFile();
    void OnCloseAll();
    void OnRefresh();
    void OnLayoutNext();
    void OnLayoutPrev();
    void OnLayoutToggle();
    void OnHotKeys();
    void OnProperties();
    void OnActivatePage(UINT id);
    void OnUpdatePageList(CCmdUI* pCmdUI);
    void OnLibraryList();
    void OnHide();
    void OnUpdateAlways(CCmdUI* pCmdUI);
    DECLARE_MESSAGE_MAP()

    CNoteDesk m_desk;
    CString m_className;
};
