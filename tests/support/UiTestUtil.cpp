#include "UiTestUtil.h"

#include "framework/ui/MessageLoop.h"

namespace mediatest {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        AfxPumpWaitingMessages();
        if (done())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

CTestParent::CTestParent()
{
    CreateEx(WS_EX_TOPMOST, AfxRegisterWndClass(0, ::LoadCursor(NULL, IDC_ARROW),
                                                reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)),
             "media test", WS_POPUP | WS_VISIBLE, 100, 100, 500, 400, NULL, NULL);
}

CTestParent::~CTestParent()
{
    if (m_hWnd)
        DestroyWindow();
}

COLORREF ClientPixel(HWND window, int x, int y)
{
    HDC dc = ::GetDC(window);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::ReleaseDC(window, dc);
    return colour;
}

}  // namespace mediatest
