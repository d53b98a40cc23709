#pragma once
#include "framework/String.h"
#include "framework/ui/Wnd.h"

class CDataGenericObject;
class CDataShapeObject;
class CNoteDesk;

// Commands of the floater menu (320) and the note edit menu (327).
#define ID_FLOATER_CLOSE           32891
#define ID_FLOATER_RESIZE          32894
#define ID_FLOATER_EDIT_CAPTION    32896
#define ID_FLOATER_EDIT_TEXT       32989
#define ID_FLOATER_EDIT_SETTINGS   32990
#define ID_FLOATER_SAVE            32991
#define ID_FLOATER_DUPLICATE       32992
#define ID_FLOATER_EDIT_IMAGE      32993
#define ID_NOTEEDIT_SETTINGS       32995
#define ID_NOTEEDIT_END            33001
#define ID_FLOATER_OPACITY         33002
#define ID_CAT_SAVE_LAYOUT         60699
#define ID_CAT_CLOSE_ALL           60704
#define ID_CAT_REFRESH             60705

// The one-shot repaint timer of an image floater.
#define FLOATER_REPAINT_TIMER 1347

// A screen note floating on the desktop: a borderless top-most tool window
// showing one data object (owned). The left button drags it; its context
// menu carries the note commands; it may be translucent. It never destroys
// itself: closing posts WM_FLOATER_CLOSED to its desk, which destroys it.
// A translucent floater counts itself once in the application's count of
// translucent windows and gives back only what it counted. UI thread.
class CFloater : public CWnd {
    DECLARE_DYNAMIC(CFloater)
public:
    CFloater(CNoteDesk* desk, CDataGenericObject* data, const CString& name, UINT timerId);
    ~CFloater() override;

    // Writes the window's centre (and a text note's size) into the object.
    virtual void StorePlacement();
    // The popup of menu 320: 0 shapes, 1 text notes.
    virtual int GetMenuIndex() const = 0;

    CDataGenericObject* GetData() const { return m_data; }
    const CString& GetName() const { return m_name; }
    void SetName(const CString& name) { m_name = name; }
    // Applies the object's opacity to the window and keeps the translucent
    // count in step (after an opacity edit).
    void ApplyOpacity();
    BOOL CountsAsTranslucent() const { return m_countedTranslucent; }
    // Closes as the close command does: placement stored, the translucent
    // count given back, WM_FLOATER_CLOSED posted.
    void Close();

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

protected:
    // Shows the window at the rectangle, top-most, and registers it.
    void ShowAndRegister(const RECT& rect);
    void GiveBackTranslucency();

    int OnCreate(LPCREATESTRUCT cs);
    void OnDestroy();
    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnRButtonUp(UINT flags, CPoint point);
    void OnMove(int x, int y);
    void OnSize(UINT type, int cx, int cy);
    void OnTimer(UINT_PTR id);
    void OnContextMenu(CWnd* pWnd, CPoint point);
    void OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu);
    void OnClose();
    void OnCloseCommand();
    void OnSave();
    void OnUpdateSave(CCmdUI* pCmdUI);
    void OnDuplicate();
    void OnOpacity();
    void OnUpdateOpacity(CCmdUI* pCmdUI);
    DECLARE_MESSAGE_MAP()

public:
    CDataGenericObject* m_data;
    CString m_name;
    CNoteDesk* m_desk;
    BOOL m_dragging;
    int m_dragOffsetX;
    int m_dragOffsetY;
    UINT m_timerId;

protected:
    BOOL m_countedTranslucent;
    BOOL m_closing;
};

// A shape on the desktop: its rendered picture, cut by a window region to
// the pixels that are not of the key colour.
class CImageFloater : public CFloater {
    DECLARE_DYNAMIC(CImageFloater)
public:
    // Takes over the picture and the object.
    CImageFloater(CNoteDesk* desk, HBITMAP picture, CDataShapeObject* data, const CString& name, UINT timerId);
    ~CImageFloater() override;

    // Creates the window with its top-left at `topLeft`, sized to the
    // picture (150 x 75 when its size cannot be read), cuts it to the
    // picture's shape, shows and registers it.
    BOOL CreateAt(POINT topLeft);
    // The picture's size (150 x 75 when unknown).
    SIZE GetPictureSize() const;
    int GetMenuIndex() const override { return 0; }
    CDataShapeObject* GetShape() const;

protected:
    // A new floater for a copy of the shape at the present centre, then this
    // one closes (after an edit changed the shape).
    void Replace();
    void RunShapeEdit(bool itemEditor);

    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnEditCaption();
    void OnEditImage();
    void OnUpdateEditor(CCmdUI* pCmdUI);
    void OnResize();
    DECLARE_MESSAGE_MAP()

public:
    int m_flag;
    int m_widthScale;
    int m_heightScale;
    HBITMAP m_picture;
};

// The window class of image floaters, registered once per process.
LPCTSTR ImageFloaterClass();
