#pragma once
// Screen drawing: a window over the whole screen that shows a snapshot of the
// screen taken when drawing began and paints frames, highlights, ellipses,
// pen strokes, lines and arrows over it with the mouse. Being on top of the
// recorded area, the shapes are recorded with the screen. The recorder
// window makes the snapshot, opens the window and ends it; the window deletes
// itself when destroyed. UI thread only.
#include "capture/AreaPicker.h"

#include <vector>

class CCmdUI;
class CDrawShape;

// The index 0-7 of a colour in the drawing colour table (black, blue, cyan,
// green, yellow, white, magenta, red); 0 when it is not in the table.
int ScreenDrawColorIndex(COLORREF colour);
// The colour of a table index (0-7).
COLORREF ScreenDrawColor(int index);

// A copy of the virtual screen as a bitmap compatible with the screen, and,
// on palette displays, the system palette (NULL otherwise). The caller
// deletes both. NULL when the copy could not be made.
HBITMAP TakeScreenSnapshot(HPALETTE* palette);

// The region of a window rectangle (window coordinates) without the
// taskbar's notification area; NULL when there is no such area to cut out.
HRGN WindowRegionWithoutNotifyArea(const RECT& window, HWND notifyArea);

class CScreenDrawWnd : public CScreenOverlayWnd {
public:
    // The bitmap and palette stay the caller's. notify (NULL: the program's
    // main window) is asked to end drawing and owns the context menu.
    CScreenDrawWnd(CRecorderPrefs* prefs, HBITMAP screen, HPALETTE palette, HWND notify = NULL);
    ~CScreenDrawWnd() override;

    // Creates the window over the whole virtual screen; FALSE when it
    // cannot be made (the caller then deletes the object).
    BOOL CreateDrawWindow();

    // Asks the notify window to end drawing (WM_COMMAND ID_DRAW_STOP); when
    // there is none the window ends itself.
    void Cancel() override;
    void Done() override { Cancel(); }

    // The commands of menu 290 and the accelerators, also when the notify
    // window passes them back.
    void OnDrawCommand(UINT id);
    // Enabled and checked state of a command, for the menu.
    void GetCommandState(UINT id, BOOL* enabled, BOOL* checked) const;
    void OnUpdateDrawCommand(CCmdUI* ui);
    // Applies the states to a copy of the popup of menu 290.
    void UpdateMenu(HMENU popup) const;

    int Tool() const;
    int ToolWidth() const;
    COLORREF ToolColor() const;
    BOOL ToolTranslucent() const;
    size_t ShapeCount() const { return m_shapes.size(); }
    const CDrawShape* Shape(size_t i) const { return m_shapes[i]; }
    BOOL IsDrawing() const { return m_drawing; }

    BOOL PreTranslateMessage(MSG* pMsg) override;

    int OnCreate(LPCREATESTRUCT cs);
    void OnDestroy();
    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnRButtonUp(UINT flags, CPoint point);
    void OnPaint();
    void OnContextMenu(CWnd* wnd, CPoint point);
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    void OnKeyUp(UINT key, UINT repeat, UINT flags);
    void OnCaptureChanged(CWnd* wnd);
    LRESULT OnQueryNewPalette(WPARAM, LPARAM);
    void OnPaletteChanged(CWnd* focusWnd);

protected:
    DECLARE_MESSAGE_MAP()
    UINT CursorResource() const override;

private:
    // The tool's record in the preferences: width, colour, translucent.
    void ToolRecord(int tool, int** width, COLORREF** colour, BOOL** translucent) const;
    CDrawShape* MakeShape() const;
    // Drag rectangle and end point for a mouse position (Shift: a square).
    void Track(POINT point, BOOL square);
    // Paints the shape being drawn, restoring what it no longer covers.
    void PaintShape(CDrawShape* shape);
    void PaintSnapshot(HDC dc, const RECT& area) const;
    void DropShapeInProgress();
    void SetToolCursor();
    // Mouse-move handling shared by the mouse and the Shift key.
    void MoveTo(POINT point, BOOL buttonDown, BOOL shift);

    HBITMAP m_screen;          // not owned
    HPALETTE m_palette;        // not owned
    HACCEL m_accel;
    HCURSOR m_cursors[7];      // resources 292-298
    BOOL m_buttonDown;
    BOOL m_drawing;
    RECT m_drag;
    POINT m_start;
    POINT m_end;
    CDrawShape* m_shape;       // the shape being drawn, owned
    std::vector<CDrawShape*> m_shapes;   // finished shapes, owned
};
