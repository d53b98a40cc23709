// The frame composition's cost per frame at 1920 x 1080 with every
// annotation on, against the frame period at 30 frames per second: the
// cursor with its highlight and a click mark, the caption, the system stamp
// (all four items) and a 200 x 100 watermark at half opacity, on a frame of
// the recorder's default format (24 bits), drawn with the same calls the
// recorder engine makes per frame. A second pass adds the zoom path: a
// 1280 x 720 area resampled to the output size (plain and interpolated),
// timed without the watermark, which costs the same on both paths.
// Run by hand (bench/compose_frame.sh), never by the tests.
//
//   compose_frame.exe <watermark.bmp> [frames]
#include "app/RecorderApp.h"
#include "capture/FrameAnnotations.h"
#include "capture/FrameBitmap.h"
#include "capture/StampText.h"
#include "capture/FrameWatermark.h"
#include "platform/imaging/Imaging.h"
#include "settings/RecorderPrefs.h"
#include "settings/Rational.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace {

const int kWidth = 1920;
const int kHeight = 1080;
const int kZoomWidth = 1280;
const int kZoomHeight = 720;
const DWORD kFps = 30;

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}

void SetStyle(CTextStyle* style, int posX, int posY)
{
    style->m_posX = posX;
    style->m_posY = posY;
    style->m_style = 3;             // shadow and outline: the most drawing
    style->m_transparent = FALSE;
    style->m_textColor = RGB(255, 255, 255);
    style->m_backgroundColor = RGB(0, 0, 128);
    style->m_shadowColor = RGB(0, 0, 0);
    style->m_outlineColor = RGB(64, 64, 64);
    style->m_fontHeight = -24;
    style->m_fontWeight = FW_BOLD;
    style->m_faceName = "Arial";
    style->MakeFont();
}

// A frame section of the recorder's format in a memory DC.
struct Frame {
    Frame(int width, int height)
    {
        memset(&header, 0, sizeof(header));
        header.biSize = sizeof(header);
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = 24;
        header.biSizeImage = DibRowBytes(width, 24) * height;
        dc = CreateCompatibleDC(NULL);
        section = CreateDIBSection(dc, (BITMAPINFO*)&header, DIB_RGB_COLORS, &bits, NULL, 0);
        old = SelectObject(dc, section);
        for (DWORD i = 0; i < header.biSizeImage; ++i)
            ((BYTE*)bits)[i] = (BYTE)(i * 7 / 3);
    }
    ~Frame()
    {
        SelectObject(dc, old);
        DeleteObject(section);
        DeleteDC(dc);
    }
    BITMAPINFOHEADER header;
    HDC dc;
    HBITMAP section;
    HGDIOBJ old;
    void* bits;
};

class BenchApp : public CRecorderApp {
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: compose_frame <watermark.bmp> [frames]\n");
        return 2;
    }
    static BenchApp app;
    const int frames = argc > 2 ? atoi(argv[2]) : 150;
    CRecorderPrefs prefs(&app);
    SetStyle(&prefs.m_caption, 16, 512);
    prefs.m_caption.m_text = "Vexcap: composition benchmark caption";
    SetStyle(&prefs.m_timeDate, 0, 0);
    prefs.m_timeDateStamp = prefs.m_elapsedTimeStamp = prefs.m_computerNameStamp = prefs.m_userNameStamp = 1;
    WatermarkSettings& wm = prefs.m_watermark;
    wm.m_bInclude = TRUE;
    wm.m_strImagePath = argv[1];
    wm.m_nImageScale = 100;
    wm.m_nOpacity = 50;
    wm.m_nPosition = 8;
    wm.m_bPreserveSize = TRUE;
    const CRational rate(kFps, 1, 1);

    Frame frame(kWidth, kHeight);
    CFrameWatermark watermark(wm);
    if (!watermark.Load(&frame.header)) {
        fprintf(stderr, "cannot load the watermark %s\n", argv[1]);
        return 1;
    }
    HCURSOR arrow = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    const RECT whole = {0, 0, kWidth, kHeight};

    // One frame's annotations, as the engine draws them.
    auto annotate = [&](HDC dc, int i) {
        const POINT at = {400 + (i * 13) % 1000, 300 + (i * 7) % 500};
        DrawCursorHighlight(dc, at, 64, 7000, 2, RGB(255, 255, 0));
        DrawClickMark(dc, at, 10 + i % 40, kClickDisc, RGB(255, 0, 0));
        DrawCursorImage(dc, arrow, POINT{0, 0}, at);
    };
    auto captionAndStamp = [&](HDC dc, int i) {
        DrawCaptionText(dc, whole, prefs.m_caption, prefs.m_caption.m_text);
        const CString line = BuildStampLine(prefs, StampElapsedSeconds((DWORD)i, rate));
        DrawCaptionText(dc, whole, prefs.m_timeDate, line);
    };

    double cursorMs = 0, textMs = 0, watermarkMs = 0, worstMs = 0;
    for (int i = 0; i < frames; ++i) {
        const double t0 = Now();
        annotate(frame.dc, i);
        GdiFlush();
        const double t1 = Now();
        captionAndStamp(frame.dc, i);
        GdiFlush();
        const double t2 = Now();
        watermark.DrawOnFramePart((BITMAPINFO*)&frame.header, (BYTE*)frame.bits);
        const double t3 = Now();
        cursorMs += t1 - t0;
        textMs += t2 - t1;
        watermarkMs += t3 - t2;
        if (t3 - t0 > worstMs)
            worstMs = t3 - t0;
    }

    // The watermark painted through the whole frame, for comparison.
    double wholeMs = 0;
    const int wholeRounds = frames < 20 ? frames : 20;
    for (int i = 0; i < wholeRounds; ++i) {
        const double t0 = Now();
        watermark.DrawOnFrame((BITMAPINFO*)&frame.header, frame.bits);
        wholeMs += Now() - t0;
    }
    wholeMs /= wholeRounds;

    // The zoom path: the area's own-size frame resampled to the output size,
    // captioned there and copied into the output frame.
    Frame area(kZoomWidth, kZoomHeight);
    double scaleMs[2] = {0, 0};
    for (int interpolate = 0; interpolate < 2; ++interpolate) {
        ImgBitmap scaled;
        ImgInitBitmap(&scaled);
        const int rounds = interpolate ? (frames < 30 ? frames : 30) : frames;
        for (int i = 0; i < rounds; ++i) {
            const double t0 = Now();
            annotate(area.dc, i);
            GdiFlush();
            if (ImgBitmapFromDIB(&scaled, (BITMAPINFO*)&area.header, area.bits) != IMG_SUCCESS ||
                ImgResize(&scaled, kWidth, kHeight, interpolate) != IMG_SUCCESS) {
                fprintf(stderr, "scaling failed\n");
                return 1;
            }
            HDC dc = ImgCreateDC(&scaled);
            captionAndStamp(dc, i);
            GdiFlush();
            ImgReleaseDC(dc);
            memcpy(frame.bits, scaled.bits, frame.header.biSizeImage);
            scaleMs[interpolate] += Now() - t0;
        }
        scaleMs[interpolate] /= rounds;
        ImgFreeBitmap(&scaled);
    }

    const double period = 1000.0 / kFps;
    const double perFrame = (cursorMs + textMs + watermarkMs) / frames;
    printf("frames                      %d at %dx%d, 24 bits, every annotation on\n", frames, kWidth, kHeight);
    printf("cursor+highlight+click      %.2f ms\n", cursorMs / frames);
    printf("caption+stamp               %.2f ms\n", textMs / frames);
    printf("watermark 200x100 at 50%%    %.2f ms (through the whole frame: %.2f ms)\n", watermarkMs / frames,
           wholeMs);
    printf("composition per frame       %.2f ms (worst %.2f ms)\n", perFrame, worstMs);
    printf("zoomed %dx%d, plain       %.2f ms per frame (cursor, text, scaling; watermark as above)\n",
           kZoomWidth, kZoomHeight, scaleMs[0]);
    printf("zoomed %dx%d, interpolated %.2f ms per frame (the same)\n", kZoomWidth, kZoomHeight, scaleMs[1]);
    printf("frame period at %lu fps      %.2f ms\n", (unsigned long)kFps, period);
    printf("composition / period        %.3f\n", perFrame / period);
    return 0;
}
