#pragma once
// CLevelMeter: a small control (window class "monitor") that shows a value,
// such as the input level of the wave-input recorder, as a bar on a
// green-yellow-red colour ramp. A dialog creates it from a custom control and
// subclasses it; UI thread only.
#include "framework/ui/DC.h"
#include "framework/ui/GdiObject.h"
#include "framework/ui/Wnd.h"

class CLevelMeter : public CWnd {
public:
    CLevelMeter();
    ~CLevelMeter() override;

    // The maximum is raised to the minimum when smaller; the value is kept
    // inside. Nothing is redrawn.
    void SetRange(int minimum, int maximum);
    // Clamps the value into the range and draws the bar at once.
    void SetValue(int value);
    // Fills from the bottom; the ramp follows at the next size change.
    void SetVertical();
    int GetValue() const { return m_value; }
    int GetRange() const { return m_range; }

    static const char kClassName[];

protected:
    void PreSubclassWindow() override;
    void OnPaint();
    void OnSize(UINT type, int cx, int cy);
    DECLARE_MESSAGE_MAP()

private:
    void BuildRamp();
    void DrawBar(CDC* dc);

    BOOL m_horizontal;
    int m_minimum;
    int m_maximum;
    int m_value;
    CRect m_bar;
    CBitmap m_ramp;
    int m_range;
};
