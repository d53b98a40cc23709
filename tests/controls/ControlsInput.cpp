#include "ControlsInput.h"

#include "UiTestSupport.h"

namespace ctlinput {

void MouseAt(POINT pt, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (LONG)(((LONGLONG)pt.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = (LONG)(((LONGLONG)pt.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    ::SendInput(1, &in, sizeof(in));
}

void MouseAt(int x, int y, DWORD flags)
{
    POINT pt = { x, y };
    MouseAt(pt, flags);
}

void Pump(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    uitest::PumpUntil([&] { return ::GetTickCount() - start >= ms; }, ms + 100);
}

void ClickAt(int x, int y)
{
    MouseAt(x, y);
    Pump(30);
    MouseAt(x, y, MOUSEEVENTF_LEFTDOWN);
    Pump(30);
    MouseAt(x, y, MOUSEEVENTF_LEFTUP);
    Pump(50);
}

POINT ScreenPoint(HWND hWnd, int x, int y)
{
    POINT pt = { x, y };
    ::ClientToScreen(hWnd, &pt);
    return pt;
}

static void SendKey(WORD vk, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = (WORD)::MapVirtualKeyA(vk, 0);
    in.ki.dwFlags = flags;
    ::SendInput(1, &in, sizeof(in));
}

void KeyDown(WORD vk)
{
    SendKey(vk, 0);
    Pump(20);
}

void KeyUp(WORD vk)
{
    SendKey(vk, KEYEVENTF_KEYUP);
    Pump(20);
}

void Key(WORD vk, bool alt, bool ctrl, bool shift)
{
    if (alt)
        KeyDown(VK_MENU);
    if (ctrl)
        KeyDown(VK_CONTROL);
    if (shift)
        KeyDown(VK_SHIFT);
    KeyDown(vk);
    KeyUp(vk);
    if (shift)
        KeyUp(VK_SHIFT);
    if (ctrl)
        KeyUp(VK_CONTROL);
    if (alt)
        KeyUp(VK_MENU);
    Pump(30);
}

}  // namespace ctlinput

namespace ctlinput {

namespace {
struct ScriptCall {
    void (*script)(void*);
    void* param;
};
DWORD WINAPI ScriptThread(LPVOID p)
{
    ScriptCall* call = (ScriptCall*)p;
    call->script(call->param);
    return 0;
}
}  // namespace

void RunScript(void (*script)(void*), void* param, DWORD timeoutMs)
{
    ScriptCall call = { script, param };
    HANDLE thread = ::CreateThread(NULL, 0, &ScriptThread, &call, 0, NULL);
    if (thread == NULL)
        return;
    uitest::PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    Pump(50);
}

}  // namespace ctlinput
