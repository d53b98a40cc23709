#pragma once
// Real input for the screen-drawing tests: SendInput at screen coordinates,
// each event followed by a short pump through the framework's pre-translation
// (so that the drawing window's accelerators work as in the program).
#include <windows.h>

#include <functional>

namespace drawtest {

// Pumps messages for `ms`, with AfxPreTranslateMessage.
void PumpInput(DWORD ms);
// Pumps until done() or the timeout; true when done.
bool PumpInputUntil(const std::function<bool()>& done, DWORD timeoutMs);
void MouseTo(int x, int y);
void MouseButton(DWORD flag);   // MOUSEEVENTF_LEFTDOWN and the like, where MouseTo left the mouse
// Left-button drag from one point to another in `steps` moves.
void Drag(POINT from, POINT to, int steps = 4);
void KeyDown(WORD vk);
void KeyUp(WORD vk);
void PressKey(WORD vk);

}  // namespace drawtest
