#pragma once
// Area pickers: transparent windows laid over the whole screen with which the
// user points at what to record. A picker captures the mouse, draws an XOR
// outline round the current candidate and, when the user chooses, leaves the
// choice in the preferences record (m_pickedArea, m_pickedWindow,
// m_pickedStartPoint) and posts WM_AREA_PICKED (WM_USER+0xC9) to the window
// it tells; Escape, a right click or closing posts WM_AREA_PICK_CANCELLED
// (WM_USER+0xCB) instead. Both destroy the picker, which deletes itself.
// UI thread only.
#include "framework/ui/Wnd.h"

class CRecorderPrefs;
class CSizeCursor;

#define WM_AREA_PICKED          (WM_USER + 0xC9)
#define WM_AREA_PICK_CANCELLED  (WM_USER + 0xCB)

// The window that keeps the open picker (the recorder window). A picker that
// answers an owner dialog or page hands itself back through ReleaseChild.
class IAreaPickerHost {
public:
    virtual void ReleaseChild() = 0;

protected:
    ~IAreaPickerHost() = default;
};

// The record wizard's region page, as a picker sees it.
class IRegionPageOwner {
public:
    // Takes the picked rectangle (screen coordinates) and shows its controls again.
    virtual void SetPickedRect(const RECT* area) = 0;
    // Shows or hides the controls that the picker covers.
    virtual void ShowPickerControls(BOOL show) = 0;

protected:
    ~IRegionPageOwner() = default;
};

// The fixed-region dialog, as the dialog-region picker sees it.
class IFixedRegionOwner {
public:
    // Writes x, y, width and height of the rectangle into its fields.
    virtual void ShowRect(const RECT* area) = 0;
    // Shows or hides the dialog together with the program's main window.
    virtual void ShowWindowWithMain(BOOL show) = 0;

protected:
    ~IFixedRegionOwner() = default;
};

// Draws (or, drawn again, erases) `depth` nested one-pixel XOR rectangles of
// colour 0xFFFF00 inside rect; a rectangle too thin for them is filled with
// lines instead.
void DrawXorOutline(HDC dc, const RECT& rect, int depth);

// The rubber band of a drag from anchor to point: both corners inclusive.
RECT RubberBand(POINT anchor, POINT point);

// TRUE when recording the area is agreed: at once for areas up to 1024 x 768
// or when the flag word says not to ask again; otherwise the user is asked,
// and the don't-ask-again box sets or clears that flag.
BOOL ConfirmLargeCaptureArea(int left, int top, int right, int bottom, CRecorderPrefs* prefs, CWnd* parent);

class CScreenOverlayWnd : public CWnd {
public:
    // notify receives the posted messages (NULL: the program's main window);
    // host, when given, gets the picker back from pickers that answer an owner.
    CScreenOverlayWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host = NULL);
    ~CScreenOverlayWnd() override;

    // Creates the overlay over the whole screen; FALSE when it cannot be made
    // (the caller then still owns and deletes the object).
    BOOL CreateOverlay();

    // Posts the cancel message, then destroys the picker.
    virtual void Cancel();
    // Posts the chosen message, then destroys the picker.
    virtual void Done();

    int OnCreate(LPCREATESTRUCT cs);
    void OnDestroy();
    void OnClose();
    void OnRButtonUp(UINT flags, CPoint point);
    BOOL OnEraseBkgnd(CDC* dc);
    LRESULT OnHotKey(WPARAM id, LPARAM keys);
    LRESULT OnHelp(WPARAM, LPARAM);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);

protected:
    DECLARE_MESSAGE_MAP()
    void PostNcDestroy() override;
    // The cursor resource of the picker (the arrow when the program lacks it).
    virtual UINT CursorResource() const = 0;
    // Shows the outline of rect, erasing the one shown before.
    void ShowOutline(const RECT& rect, int depth);
    void HideOutline();
    // Posts message (none when 0), destroys the picker and then, with
    // release, hands it back to the host. Nothing of the object may be used
    // afterwards: it is deleted. FALSE when the picker had already ended.
    BOOL EndPicker(UINT message, BOOL release);
    // The point of a mouse message in screen coordinates.
    POINT ScreenPoint(CPoint clientPoint) const;

    int m_screenWidth;
    int m_screenHeight;
    CRecorderPrefs* m_prefs;   // not owned
    HWND m_notify;
    IAreaPickerHost* m_host;   // not owned
    HCURSOR m_savedCursor;
    BOOL m_finished;

private:
    BOOL m_created;
    BOOL m_outlineShown;
    RECT m_outline;
    int m_outlineDepth;
};

// Picks a dragged region: the band from the button-down point to the
// button-up point (both inclusive); the start point is the anchor. While
// dragging, the cursor shows the band's width and height.
class CRegionPickerWnd : public CScreenOverlayWnd {
public:
    CRegionPickerWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host = NULL);
    ~CRegionPickerWnd() override;

    void Done() override;

    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnDestroy();

protected:
    DECLARE_MESSAGE_MAP()
    UINT CursorResource() const override;

    BOOL m_dragging;
    BOOL m_buttonDown;
    POINT m_anchor;
    RECT m_band;

private:
    CSizeCursor* m_sizeCursor;
};
