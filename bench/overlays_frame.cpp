// The cost per 1920 x 1080 frame of each software transition (at t = 0.5,
// runs combined with the frames) and of drawing a text, an image with a drop
// shadow, an ellipse callout and a spotlight, against the frame period at
// 30 frames per second (33.3 ms). The image kinds are drawn once first, so
// that the timed frames use their per-size caches as the render does.
// Run by hand (bench/overlays_frame.sh), never by the tests.
//
//   overlays_frame.exe <image.bmp> [frames]
#include "overlays/BitmapBitsLock.h"
#include "overlays/OverlayEllipse.h"
#include "overlays/OverlayImageAbove.h"
#include "overlays/OverlaySpotlight.h"
#include "overlays/OverlayText.h"
#include "overlays/SoftTransitions.h"
#include "settings/GdiplusInitGuard.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

const int kWidth = 1920;
const int kHeight = 1080;
const double kPeriodMs = 1000.0 / 30.0;
const LONGLONG kSecond = 10000000;

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}

void Report(const char* name, double ms)
{
    printf("%-22s %8.2f ms  %6.3f of a frame\n", name, ms, ms / kPeriodMs);
}

void Pattern(std::vector<uint32_t>& frame, uint32_t seed)
{
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            frame[(size_t)y * kWidth + x] = seed ^ (uint32_t)((x * 7) | (y << 12));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: overlays_frame <image.bmp> [frames]\n");
        return 2;
    }
    const int frames = argc > 2 ? atoi(argv[2]) : 30;

    std::vector<uint32_t> outgoing((size_t)kWidth * kHeight), incoming(outgoing.size()), work(outgoing.size());
    Pattern(outgoing, 0x00FF0000u);
    Pattern(incoming, 0x000000FFu);
    SoftFrameInfo info = {0, kWidth, kHeight};
    printf("Per 1920x1080 frame, against %.1f ms (30 fps), %d frames each:\n", kPeriodMs, frames);
    for (const SoftTransitionRoutine& r : kSoftTransitionRoutines) {
        double total = 0;
        for (int i = 0; i < frames; ++i) {
            work = incoming;
            const double start = Now();
            SoftApplyTransition(r, 0.5, &info, outgoing.data(), work.data());
            total += Now() - start;
        }
        Report(r.name, total / frames);
    }

    CGdiplusInitGuard gdiplus(false);
    gdiplus.Start();
    std::vector<uint32_t> pixels(outgoing);
    Gdiplus::Bitmap frame(kWidth, kHeight, kWidth * 4, PixelFormat32bppRGB, (BYTE*)pixels.data());

    COverlayText text;
    text.m_end = 10 * kSecond;
    text.m_textColor = 0xFFFFFFFF;
    text.m_text = "屏幕录像 Screen recording";
    text.m_font.lfHeight = 48;
    text.m_rectDestX = 100;
    text.m_rectDestY = 100;

    COverlayImageAbove image;
    image.m_end = 10 * kSecond;
    image.m_imagePath = argv[1];
    image.m_rectDestX = 400;
    image.m_rectDestY = 300;
    image.m_rectDestWidth = 320;
    image.m_rectDestHeight = 240;
    image.SetUseDropShadow(1);
    image.m_shadowBlur = 4;

    COverlayEllipse callout;
    callout.m_end = 10 * kSecond;
    callout.m_brushColor = 0xC0FFFF80;
    callout.m_penColor = 0xFF0000FF;
    callout.m_penWidth = 3;
    callout.m_textColor = 0xFF000000;
    callout.m_text = "注意 Look here";
    callout.m_font.lfHeight = 32;
    callout.m_shapeX = 900;
    callout.m_shapeY = 500;
    callout.m_shapeWidth = 400;
    callout.m_shapeHeight = 200;

    COverlaySpotlight spotlight;
    spotlight.m_end = 10 * kSecond;
    spotlight.m_rectangleX = 640;
    spotlight.m_rectangleY = 360;
    spotlight.m_rectangleWidth = 640;
    spotlight.m_rectangleHeight = 360;
    spotlight.m_zoomLevel = 150;
    spotlight.m_blurRadius = 2;

    struct Item {
        const char* name;
        COverlay* overlay;
    } items[] = {{"text", &text}, {"image with shadow", &image}, {"ellipse callout", &callout},
                 {"spotlight", &spotlight}};
    for (const Item& item : items) {
        item.overlay->Draw(&frame, kSecond);
        double total = 0;
        for (int i = 0; i < frames; ++i) {
            pixels = outgoing;
            const double start = Now();
            item.overlay->Draw(&frame, kSecond);
            total += Now() - start;
        }
        Report(item.name, total / frames);
    }
    // The spotlight's parts: the blur of the whole frame, and a copy of its
    // rectangle.
    double blur = 0, copy = 0, lock = 0;
    for (int i = 0; i < frames; ++i) {
        double start = Now();
        COverlaySpotlight::BlurImage(&frame, 2.0, 150 / 256.0);
        blur += Now() - start;
        start = Now();
        delete frame.Clone(640, 360, 640, 360, PixelFormat32bppARGB);
        copy += Now() - start;
        start = Now();
        {
            CBitmapBitsLock bits(&frame, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, 0, FALSE);
        }
        lock += Now() - start;
    }
    Report("  spotlight blur", blur / frames);
    Report("  spotlight copy", copy / frames);
    Report("  frame lock", lock / frames);
    return 0;
}
