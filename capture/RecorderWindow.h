#pragma once
// What the recorder engine asks of the main window that owns it: the window
// that receives the engine's posted messages, its record state, its own focus
// frame (the window outline that follows the cursor), the bit depth of the
// recording and the window handed to the camera. The main window implements
// it; tests give a stand-in. The engine calls these from its capture thread,
// never while it holds its area or frame lock.
#include "framework/AfxPlatform.h"

class IRecorderWindow {
public:
    // The window that receives WM_USER+0xCA, 0xCD, 0xCE and 0x4E0.
    virtual HWND GetRecorderHwnd() const = 0;
    // 0 idle, 1 recording, 2 paused: title, status text and tray tip.
    virtual void SetRecordState(int state) = 0;
    // ShowWindow on the main window's own focus frame.
    virtual void ShowFocusFrame(int nCmdShow) = 0;
    // Moves that frame round the area; nonzero on success.
    virtual BOOL MoveFocusFrame(const RECT* area, int width) = 0;
    // The bit depth of the frames being recorded.
    virtual void SetRecordedBitDepth(int bitCount) = 0;

protected:
    ~IRecorderWindow() {}
};

// Messages the engine posts (never sends).
#define WM_RECORDER_AREA_CHOSEN   (WM_USER + 0xC9)
#define WM_RECORDER_FINISHED      (WM_USER + 0xCA)   // wParam 0 success, 1 failure shown, 2 live size changed
#define WM_RECORDER_STATE         (WM_USER + 0xCD)   // wParam 1 capture began, 0 status refresh
#define WM_RECORDER_SELF_PAUSED   (WM_USER + 0xCE)
#define WM_FOCUS_FRAME_LIT        (WM_USER + 0xCF)   // to the focus frame: wParam 1 frame colour, 0 black
#define WM_FOCUS_FRAME_PLACE      (WM_USER + 0xD0)   // to the focus frame: place it round the area and show it
#define WM_RECORDER_INDICATOR     0x4E0              // wParam 1 paused/idle, 0 recording
