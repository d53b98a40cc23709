#pragma once
// Area pickers: transparent windows laid over the whole screen with which the
// user points at what to record. A picker captures the mouse, draws an XOR
// outline round the current candidate and, when the user chooses, leaves the
// choice in its PickedArea and posts WM_AREA_PICKED (WM_USER+0xC9) to the
// window it tells; Escape, a right click or closing posts WM_AREA_PICK_CANCELLED
// (WM_USER+0xCB) instead. Both destroy the picker, which deletes itself.
// UI thread only.
#include "framework/ui/Wnd.h"

class CRecorderPrefs;

#define WM_AREA_PICKED          (WM_USER + 0xC9)
#define WM_AREA_PICK_CANCELLED  (WM_USER + 0xCB)

// Where a picker leaves the choice (screen coordinates).
struct PickedArea {
    RECT area = {0, 0, 0, 0};
    HWND window = NULL;
    POINT startPoint = {0, 0};
};

// Draws (or, drawn again, erases) `depth` nested one-pixel XOR rectangles of
// colour 0xFFFF00 inside rect; a rectangle too thin for them is filled with
// lines instead.
void DrawXorOutline(HDC dc, const RECT& rect, int depth);

// The rubber band of a drag from anchor to point: both corners inclusive.
RECT RubberBand(POINT anchor, POINT point);

class CScreenOverlayWnd : public CWnd {
public:
    // notify receives the posted messages; choice receives the chosen area.
    CScreenOverlayWnd(CRecorderPrefs* prefs, PickedArea* choice, HWND notify);
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
    virtual LPCSTR PickerCursor() const { return IDC_CROSS; }

    int m_screenWidth;
    int m_screenHeight;
    CRecorderPrefs* m_prefs;   // not owned
    PickedArea* m_choice;      // not owned
    HWND m_notify;
    HCURSOR m_savedCursor;
    BOOL m_finished;
};

// Picks a dragged region: the band from the button-down point to the
// button-up point (both inclusive); the start point is the anchor.
class CRegionPickerWnd : public CScreenOverlayWnd {
public:
    CRegionPickerWnd(CRecorderPrefs* prefs, PickedArea* choice, HWND notify);

    void Done() override;

    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);

protected:
    DECLARE_MESSAGE_MAP()

private:
    void ShowBand(const RECT& band);

    BOOL m_dragging;
    BOOL m_buttonDown;
    POINT m_anchor;
    RECT m_band;
    RECT m_shownBand;
    BOOL m_bandShown;
};
