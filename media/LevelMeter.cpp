#include "media/LevelMeter.h"

#include "framework/Module.h"

const char CLevelMeter::kClassName[] = "monitor";

BEGIN_MESSAGE_MAP(CLevelMeter, CWnd)
    ON_WM_PAINT()
    ON_WM_SIZE()
END_MESSAGE_MAP()

namespace {

// Registers the "monitor" class once per module, so that dialog templates
// can hold the meter as a custom control.
void RegisterMeterClass()
{
    WNDCLASSA wc = {};
    const HINSTANCE instance = AfxGetInstanceHandle();
    if (::GetClassInfoA(instance, CLevelMeter::kClassName, &wc))
        return;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = CLevelMeter::kClassName;
    ::RegisterClassA(&wc);
}

COLORREF RampColour(int position, int extent)
{
    int red = 510 * position / extent;
    int green = 510 - red;
    if (red > 255)
        red = 255;
    if (green > 255)
        green = 255;
    return RGB(red, green, 0);
}

}  // namespace

CLevelMeter::CLevelMeter()
    : m_horizontal(TRUE), m_minimum(0), m_maximum(100), m_value(0), m_range(100)
{
    RegisterMeterClass();
}

CLevelMeter::~CLevelMeter()
{
    m_ramp.DeleteObject();
}

void CLevelMeter::SetRange(int minimum, int maximum)
{
    if (maximum < minimum)
        maximum = minimum;
    m_minimum = minimum;
    m_maximum = maximum;
    m_range = maximum - minimum;
    if (m_value < m_minimum)
        m_value = m_minimum;
    if (m_value > m_maximum)
        m_value = m_maximum;
}

void CLevelMeter::SetValue(int value)
{
    if (value < m_minimum)
        value = m_minimum;
    if (value > m_maximum)
        value = m_maximum;
    m_value = value;
    if (!m_hWnd)
        return;
    CClientDC dc(this);
    CRect rect;
    GetClientRect(&rect);
    dc.DrawEdge(&rect, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    m_bar = rect;
    DrawBar(&dc);
}

void CLevelMeter::SetVertical()
{
    m_horizontal = FALSE;
    if (m_hWnd)
        Invalidate(TRUE);
}

// A meter bound to a dialog item got its size before it was subclassed: the
// ramp is built here, or it would stay empty until the first resize.
void CLevelMeter::PreSubclassWindow()
{
    CWnd::PreSubclassWindow();
    BuildRamp();
}

void CLevelMeter::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    BuildRamp();
}

void CLevelMeter::BuildRamp()
{
    CRect client;
    GetClientRect(&client);
    m_ramp.DeleteObject();
    if (client.Width() <= 0 || client.Height() <= 0)
        return;
    CClientDC dc(this);
    CDC memory;
    if (!memory.CreateCompatibleDC(&dc) || !m_ramp.CreateCompatibleBitmap(&dc, client.Width(), client.Height()))
        return;
    CBitmap* old = memory.SelectObject(&m_ramp);
    if (m_range < 1) {
        memory.FillSolidRect(&client, ::GetSysColor(COLOR_BTNFACE));
    } else if (m_horizontal) {
        const int extent = client.Width();
        for (int i = 0; i < extent; ++i)
            memory.FillSolidRect(i, 0, 1, client.Height(), RampColour(i, extent));
    } else {
        const int extent = client.Height();
        for (int i = 0; i < extent; ++i)
            memory.FillSolidRect(0, i, client.Width(), 1, RampColour(extent - i, extent));
    }
    memory.SelectObject(old);
}

void CLevelMeter::OnPaint()
{
    CPaintDC dc(this);
    CRect rect;
    GetClientRect(&rect);
    dc.DrawEdge(&rect, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    m_bar = rect;
    DrawBar(&dc);
}

// A meter without a range (minimum = maximum) shows its whole ramp, which is
// then the button face, instead of dividing by the empty range.
void CLevelMeter::DrawBar(CDC* dc)
{
    if (m_bar.IsRectEmpty())
        return;
    const double fraction = m_range < 1 ? 1.0 : static_cast<double>(m_value - m_minimum) / m_range;
    CRect client;
    GetClientRect(&client);
    CDC memory;
    CBitmap* old = NULL;
    const bool haveRamp = m_ramp.GetSafeHandle() && memory.CreateCompatibleDC(dc);
    if (haveRamp)
        old = memory.SelectObject(&m_ramp);
    if (m_horizontal) {
        const int length = static_cast<int>(m_bar.Width() * fraction);
        if (length > 0 && haveRamp)
            dc->BitBlt(m_bar.left, m_bar.top, length, m_bar.Height(), &memory, 0, m_bar.top, SRCCOPY);
        dc->FillSolidRect(m_bar.left + length, m_bar.top, m_bar.Width() - length, m_bar.Height(), RGB(0, 0, 0));
    } else {
        const int height = static_cast<int>(m_bar.Height() * fraction);
        if (height > 0 && haveRamp)
            dc->BitBlt(m_bar.left, m_bar.bottom - height, m_bar.Width(), height, &memory, m_bar.left,
                       client.Height() - height, SRCCOPY);
        dc->FillSolidRect(m_bar.left, m_bar.top, m_bar.Width(), m_bar.Height() - height, RGB(0, 0, 0));
    }
    if (haveRamp)
        memory.SelectObject(old);
}
