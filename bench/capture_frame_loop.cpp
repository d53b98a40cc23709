// The capture loop's cost per frame at 1920 x 1080, 32 bits per pixel, on the
// Xvfb screen, against the frame period at 30 frames per second: the screen
// grab (the banded copy from the display DC into the frame's DIB section that
// the engine uses) and the write through the screen codec into an AVI stream (the
// recorder's AVI writer, a key frame every 80), over frames in which a window
// on the screen changes a little, as a working desktop does.
// Run by hand (bench/capture_frame_loop.sh), never by the tests.
//
//   capture_frame_loop.exe <xrvc.dll> <output.avi> [frames] [dc|getdc] [static|moving|other] [single]
//   (getdc: grab from GetDC(NULL) instead of a "DISPLAY" DC; static: leave
//   the screen unchanged between frames; moving: this process changes its
//   window between frames; other: a second process paints the window at 30
//   frames per second, as the programs a user records do; single: one BitBlt
//   of the whole screen instead of the engine's bands, to compare)
#include "capture/AviScreenStream.h"
#include "capture/FrameBitmap.h"
#include "capture/ScreenCopy.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

const int kWidth = 1920;
const int kHeight = 1080;
const DWORD kFps = 30;

// A full-screen window with some text-like content; each frame one "line"
// of it changes, and now and then a block moves.
HWND ShowDesktopWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = "VexcapBenchDesktop";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                NULL, NULL, wc.hInstance, NULL);
    UpdateWindow(hwnd);
    HDC dc = GetDC(hwnd);
    for (int y = 0; y < kHeight; y += 18) {
        char line[160];
        snprintf(line, sizeof(line), "%04d  The quick brown fox jumps over the lazy dog; int main() { return %d; }",
                 y, y * 7);
        TextOutA(dc, 8 + (y % 5) * 40, y, line, (int)strlen(line));
    }
    ReleaseDC(hwnd, dc);
    return hwnd;
}

void ChangeDesktop(HWND hwnd, int frame)
{
    HDC dc = GetDC(hwnd);
    char line[64];
    snprintf(line, sizeof(line), "typing... frame %d", frame);
    TextOutA(dc, 1000, 300 + (frame % 20) * 18, line, (int)strlen(line));
    if (frame % 30 == 0) {
        RECT block = {200 + frame % 600, 600, 500 + frame % 600, 800};
        FillRect(dc, &block, (HBRUSH)GetStockObject(frame % 60 ? GRAY_BRUSH : LTGRAY_BRUSH));
    }
    ReleaseDC(hwnd, dc);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// The painter process: shows the desktop window and changes it every frame
// period until the bench ends it. A recorder grabs other programs' windows,
// so the drawing happens outside the process that grabs.
int RunPainter()
{
    HWND desktop = ShowDesktopWindow();
    for (int i = 0;; ++i) {
        ChangeDesktop(desktop, i);
        Sleep(1000 / kFps);
    }
    return 0;
}

// Starts this program again as the painter and waits for its window.
bool StartPainter(PROCESS_INFORMATION* painter)
{
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, MAX_PATH);
    char line[MAX_PATH + 32];
    snprintf(line, sizeof(line), "\"%s\" --painter", self);
    STARTUPINFOA startup = {sizeof(startup)};
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, painter))
        return false;
    for (int i = 0; i < 200; ++i) {
        if (FindWindowA("VexcapBenchDesktop", NULL)) {
            Sleep(500);
            return true;
        }
        Sleep(50);
    }
    return false;
}

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "--painter") == 0)
        return RunPainter();
    if (argc < 3) {
        fprintf(stderr, "usage: capture_frame_loop <xrvc.dll> <output.avi> [frames]\n");
        return 2;
    }
    const int frames = argc > 3 ? atoi(argv[3]) : 150;
    if (!ICInstall(ICTYPE_VIDEO, kFourccXrvc, (LPARAM)argv[1], NULL, ICINSTALL_DRIVER)) {
        fprintf(stderr, "cannot install %s\n", argv[1]);
        return 1;
    }
    AVIFileInit();
    const bool windowDC = argc > 4 && strcmp(argv[4], "getdc") == 0;
    const bool staticScreen = argc > 5 && strcmp(argv[5], "static") == 0;
    const bool otherProcess = argc > 5 && strcmp(argv[5], "other") == 0;
    HWND desktop = NULL;
    PROCESS_INFORMATION painter = {};
    if (otherProcess) {
        if (!StartPainter(&painter)) {
            fprintf(stderr, "the painter process did not start\n");
            return 1;
        }
    } else {
        desktop = ShowDesktopWindow();
    }
    const bool singleBlit = argc > 6 && strcmp(argv[6], "single") == 0;
    HDC screen = windowDC ? GetDC(NULL) : CreateDCA("DISPLAY", NULL, NULL, NULL);
    HDC memDC = CreateCompatibleDC(screen);
    BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 32, BI_RGB};
    header.biSizeImage = DibRowBytes(kWidth, 32) * kHeight;
    void* bits = NULL;
    HBITMAP frame = CreateDIBSection(screen, (BITMAPINFO*)&header, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memDC, frame);

    AviStreamSettings settings = {kFourccXrvc, -1, 80, 0, kFps, 1, NULL, 0};
    AviOpenError error;
    CAviScreenStream stream;
    if (!stream.Open(argv[2], (BITMAPINFO*)&header, settings, &error)) {
        fprintf(stderr, "cannot open the AVI: %s\n", (LPCSTR)error.text);
        return 1;
    }

    double grabMs = 0, writeMs = 0, worstMs = 0;
    for (int i = 0; i < frames; ++i) {
        if (desktop && !staticScreen)
            ChangeDesktop(desktop, i);
        else if (otherProcess)
            Sleep(1000 / kFps / 2);  // let the painter draw, as between frames
        const double t0 = Now();
        if (singleBlit)
            BitBlt(memDC, 0, 0, kWidth, kHeight, screen, 0, 0, SRCCOPY);
        else
            CopyScreenArea(memDC, 0, 0, kWidth, kHeight, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const double t1 = Now();
        if (!stream.Write(bits, header.biSizeImage, i, AVIIF_KEYFRAME)) {
            fprintf(stderr, "write failed at frame %d\n", i);
            return 1;
        }
        const double t2 = Now();
        grabMs += t1 - t0;
        writeMs += t2 - t1;
        if (t2 - t0 > worstMs)
            worstMs = t2 - t0;
    }
    stream.Close();
    SelectObject(memDC, old);
    DeleteObject(frame);
    DeleteDC(memDC);
    DeleteDC(screen);
    if (desktop)
        DestroyWindow(desktop);
    if (otherProcess) {
        TerminateProcess(painter.hProcess, 0);
        WaitForSingleObject(painter.hProcess, 5000);
        CloseHandle(painter.hProcess);
        CloseHandle(painter.hThread);
    }
    AVIFileExit();

    const double period = 1000.0 / kFps;
    const double perFrame = (grabMs + writeMs) / frames;
    printf("frames                 %d at %dx%d, 32 bits, xrvc key frame every 80\n", frames, kWidth, kHeight);
    printf("grab per frame         %.2f ms\n", grabMs / frames);
    printf("compress+write / frame %.2f ms\n", writeMs / frames);
    printf("frame loop per frame   %.2f ms (worst %.2f ms)\n", perFrame, worstMs);
    printf("frame period at %lu fps %.2f ms\n", (unsigned long)kFps, period);
    printf("loop / period          %.3f (aim: below 0.25)\n", perFrame / period);
    return 0;
}
