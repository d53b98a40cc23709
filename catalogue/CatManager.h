#pragma once
#include "framework/String.h"
#include "framework/ui/Wnd.h"

#include <vector>

struct CCatAppearance;
class CCataloguePropertyObject;
class CCatWnd;
class COleDataObject;
struct CRuntimeClass;

// The open catalogue pages (libraries) as a stack of header bars, one per
// page, with the active page's item grid under its header. Activates,
// creates, opens and closes pages, and owns the edit protocol: Prepare edit,
// the change, Save page, and Undo edit when the save fails. UI thread.
class CCatManager : public CWnd {
    DECLARE_DYNCREATE(CCatManager)
public:
    CCatManager();
    ~CCatManager() override;

    // The runtime class of the item grid to make (CCatWnd when none).
    CRuntimeClass* m_itemClass;

    virtual BOOL CanEditIcons() { return FALSE; }
    virtual BOOL EditItemIcon(CCataloguePropertyObject* page, int index, int size);
    // Activates page i: 0 outside the pages.
    virtual BOOL Activate(int i);
    virtual BOOL NewPage(int type);
    // Opens a page of the type from the path, or through the open dialog
    // without one; 1 when a page (new or already open) was activated.
    virtual BOOL OpenPage(int type, LPCTSTR path);
    virtual BOOL ClosePage(int i);
    virtual BOOL AcceptsPaste(COleDataObject* data);
    virtual BOOL CreateManager(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    virtual void DrawHeader(HDC dc, const RECT& rect, int i);
    virtual int HitTestHeader(POINT point) const;
    // Commands the manager does not handle go to the item grid.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    // Adds the page (taken over) at its kind's position; the position.
    int AddPage(CCataloguePropertyObject* page);
    // A page's library path; empty outside the pages.
    CString GetPagePath(int i) const;
    BOOL IsPageProtected(int i) const;
    // Saves the page (-1: the active one), asking for a new path when the
    // save fails; 0, or -1 when it could not be saved.
    int SavePage(int i);
    void PrepareEdit();
    void UndoEdit();
    // Runs a change of the active page through the edit protocol: TRUE when
    // it was saved; otherwise the page is as before.
    template <typename F> BOOL EditPage(F change)
    {
        PrepareEdit();
        if (!change())
            return FALSE;
        if (SavePage(-1) == 0)
            return TRUE;
        UndoEdit();
        return FALSE;
    }

    int GetPageCount() const { return (int)m_pages.size(); }
    CCataloguePropertyObject* GetPageAt(int i) const;
    int GetActive() const { return m_active; }
    CCataloguePropertyObject* GetActivePage() const { return GetPageAt(m_active); }
    int FindPage(LPCTSTR path) const;
    CCatWnd* GetItemWindow() const { return m_itemWnd; }
    CCatAppearance* GetAppearance() const { return m_appearance; }
    int GetHeaderHeight() const { return m_headerHeight; }
    // Another header height (for a header font other than the record's).
    void SetHeaderHeight(int height)
    {
        m_headerHeight = height > 0 ? height : m_headerHeight;
        LayoutItems();
    }
    RECT GetItemRect() const { return m_itemRect; }
    int GetHot() const { return m_hot; }
    void SetHot(int hot) { m_hot = hot; }
    // Places the item grid under the active header (also done by painting).
    void LayoutItems();
    // Removes and destroys page i (no checks).
    void RemovePage(int i);
    // A header's name as drawn in `width` pixels with the header font.
    CString FitHeaderName(HDC dc, const CString& name, int width) const;

    BOOL m_busy;

protected:
    int TargetPage() const { return m_hot >= 0 ? m_hot : m_active; }
    void TrackMenu(UINT menuId, int subMenu, CPoint screenPoint);

    int OnCreate(LPCREATESTRUCT cs);
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnSize(UINT type, int cx, int cy);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnRButtonDown(UINT flags, CPoint point);
    void OnTimer(UINT_PTR id);
    void OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu);
    void OnNew();
    void OnUpdateNew(CCmdUI* pCmdUI);
    void OnOpen();
    void OnClose();
    void OnUpdateClose(CCmdUI* pCmdUI);
    void OnActivateHot();
    void OnUpdateActivateHot(CCmdUI* pCmdUI);
    DECLARE_MESSAGE_MAP()

    std::vector<CCataloguePropertyObject*> m_pages;
    CCatAppearance* m_appearance;
    CCatWnd* m_itemWnd;
    int m_active;
    int m_hot;
    BOOL m_pressed;
    BOOL m_menuOpen;
    HFONT m_headerFont;
    int m_headerHeight;
    RECT m_itemRect;
};
