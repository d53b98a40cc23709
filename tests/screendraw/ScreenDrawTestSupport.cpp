#include "ScreenDrawTestSupport.h"

#include "framework/ui/MessageLoop.h"

namespace drawtest {

namespace {

POINT g_mouse = { 0, 0 };

// Every event carries its position: a button event alone may arrive before
// the move that went ahead of it.
void SendMouse(DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (g_mouse.x * 65535 + ::GetSystemMetrics(SM_CXSCREEN) / 2) / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = (g_mouse.y * 65535 + ::GetSystemMetrics(SM_CYSCREEN) / 2) / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
    PumpInput(40);
}

void SendKey(WORD vk, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = flags;
    ::SendInput(1, &in, sizeof(in));
    PumpInput(40);
}

}  // namespace

void PumpInput(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}

bool PumpInputUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        PumpInput(10);
    }
    return true;
}

void MouseTo(int x, int y)
{
    g_mouse.x = x;
    g_mouse.y = y;
    SendMouse(0);
}

void MouseButton(DWORD flag)
{
    SendMouse(flag);
}

void Drag(POINT from, POINT to, int steps)
{
    MouseTo(from.x, from.y);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= steps; i++)
        MouseTo(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
    MouseButton(MOUSEEVENTF_LEFTUP);
}

void KeyDown(WORD vk)
{
    SendKey(vk, 0);
}

void KeyUp(WORD vk)
{
    SendKey(vk, KEYEVENTF_KEYUP);
}

void PressKey(WORD vk)
{
    KeyDown(vk);
    KeyUp(vk);
}

}  // namespace drawtest
