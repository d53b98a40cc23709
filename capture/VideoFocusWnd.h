#pragma once
// The thin frame round the recorded area: a top-most tool window whose region
// is a 5-pixel band outside the area, so that it never covers recorded pixels.
// It blinks on the engine's request, and with an engine it can be dragged to
// move the area. The recorder window keeps one without an engine to outline
// the window under the cursor. Lives on the UI thread.
#include "framework/ui/GdiObject.h"
#include "framework/ui/Wnd.h"

class CRecorderEngine;

class CVideoFocusWnd : public CWnd {
public:
    CVideoFocusWnd(CRecorderEngine* engine, COLORREF color);
    ~CVideoFocusWnd() override;

    // Creates the (hidden) frame round the area; `moveCursor` is the class cursor.
    BOOL CreateFrame(const RECT& area, HCURSOR moveCursor);
    void SetColor(COLORREF color);
    // Offsets the normal placement and sets the show command.
    void MoveBy(int dx, int dy, int nCmdShow);
    // Moves the frame round `area` with a band of `width` (5 when 0), gives it
    // the band region and shows it; the recorder window's outline uses it.
    BOOL PlaceAround(const RECT& area, int width, BOOL solid);

    BOOL IsLit() const { return m_lit; }
    BOOL IsDragging() const { return m_dragging; }

    // The window region of a frame of W x H (area + twice the band): the band
    // of `band` pixels, cut into corner marks unless `solid`.
    static HRGN CreateBandRegion(int width, int height, int band, BOOL solid);

protected:
    void OnPaint();
    void OnDestroy();
    void OnCaptureChanged(CWnd* wnd);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    LRESULT OnSetLit(WPARAM lit, LPARAM);
    LRESULT OnPlace(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    CRecorderEngine* m_engine;
    BOOL m_dragging;
    BOOL m_lit;
    CBrush m_brush;
};
