#pragma once
// Helpers of the window tests: a top-level parent window and polling with
// the message loop running.
#include "framework/ui/Wnd.h"

#include <functional>

namespace mediatest {

// Pumps messages until done() or the timeout; true when done.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// A visible top-level window to hold controls under test.
class CTestParent : public CWnd {
public:
    CTestParent();
    ~CTestParent() override;
};

// The colour of one client pixel of a window, as drawn.
COLORREF ClientPixel(HWND window, int x, int y);

}  // namespace mediatest
