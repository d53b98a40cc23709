#pragma once
// Synthetic user input for the control tests: the mouse moved, pressed and
// released at screen points and keys pressed through SendInput, so that the
// controls get the same message sequence as from a real hand.
#include <windows.h>

namespace ctlinput {

// Moves the mouse to a screen point, with extra MOUSEEVENTF_ flags.
void MouseAt(POINT pt, DWORD flags = 0);
void MouseAt(int x, int y, DWORD flags = 0);
// Moves there, presses and releases the left button; messages are pumped in between.
void ClickAt(int x, int y);
// A client point of a window in screen coordinates.
POINT ScreenPoint(HWND hWnd, int x, int y);
// Presses and releases a virtual key (with Alt, Ctrl or Shift held when asked).
void Key(WORD vk, bool alt = false, bool ctrl = false, bool shift = false);
void KeyDown(WORD vk);
void KeyUp(WORD vk);
// Dispatches messages for ms milliseconds.
void Pump(DWORD ms);

}  // namespace ctlinput

namespace ctlinput {
// Runs an input script on a thread of its own while this thread keeps
// dispatching messages, for input that a modal loop (a window drag, a popup
// menu) must see while the test thread is inside it; returns when the script
// is done. Scripts must not call Pump.
void RunScript(void (*script)(void*), void* param, DWORD timeoutMs = 10000);
}  // namespace ctlinput
