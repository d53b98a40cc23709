// Cost of the imaging layer's per-frame calls at 1920 x 1080: ImgResize in
// both modes to the sizes a zoom produces (and up from a zoomed-in area),
// ImgColorRes from 32 to 8 bits onto the live output's palette, and the
// bitmap-from-DIB / DIB-from-bitmap copies around them. Prints milliseconds
// per call, the median and the best of the runs (the machine may be busy).
// Run by hand (bench/imaging_resize.sh), never by the tests.
//
//   imaging_resize.exe [iterations]
#include "platform/imaging/Imaging.h"

#include <algorithm>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace {

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// A desktop-like picture: flat panels, a gradient band and lines of
// text-like speckle, drawn with plain pixel writes.
void Paint(ImgBitmap& b, bool photo)
{
    uint32_t seed = 7;
    for (int y = 0; y < b.height; ++y) {
        BYTE* row = b.bits + (size_t)y * b.bytesPerLine;
        const int step = b.bitsPerPixel / 8;
        for (int x = 0; x < b.width; ++x) {
            BYTE r, g, bl;
            seed = seed * 1103515245u + 12345u;
            if (photo) {
                r = (BYTE)(x * 255 / b.width);
                g = (BYTE)(y * 255 / b.height);
                bl = (BYTE)((x + y + (seed >> 28)) & 0xFF);
            } else if (y % 18 < 12 && x % 640 < 560 && (seed >> 29) == 0) {
                r = g = bl = 0;  // text
            } else if (x < 240) {
                r = 0x2B; g = 0x57; bl = 0x9A;  // side panel
            } else if (y < 30) {
                r = (BYTE)(x * 255 / b.width); g = 0x80; bl = 0xC0;  // title gradient
            } else {
                r = g = bl = 0xF0;  // page
            }
            row[x * step] = bl;
            row[x * step + 1] = g;
            row[x * step + 2] = r;
            if (step == 4)
                row[x * step + 3] = 0;
        }
    }
}

struct Stats {
    double median, best;
};

template <typename Setup, typename Call>
Stats Time(int iterations, Setup setup, Call call)
{
    std::vector<double> ms;
    for (int i = 0; i < iterations; ++i) {
        setup();
        const double t0 = Now();
        call();
        ms.push_back(Now() - t0);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front()};
}

void Copy(const ImgBitmap& from, ImgBitmap* to)
{
    ImgAllocateBitmap(to, from.width, from.height, from.bitsPerPixel, nullptr, 0);
    memcpy(to->bits, from.bits, (size_t)from.bytesPerLine * from.height);
}

}  // namespace

int main(int argc, char** argv)
{
    const int iterations = argc > 1 ? atoi(argv[1]) : 20;
    printf("imaging layer, %d iterations each; ms per call (median / best); frame period at 30 fps: 33.3 ms\n",
           iterations);

    // What the machine gives: copying a warm 8 MB frame, and writing a
    // fresh 8 MB block of each kind the layer allocates per call.
    {
        const size_t size = (size_t)1920 * 1080 * 4;
        std::vector<BYTE> a(size, 1), b(size, 2);
        Stats s = Time(iterations, [] {}, [&] { memcpy(b.data(), a.data(), size); });
        printf("baseline: memcpy of a warm 1920x1080x32 frame          %7.2f / %7.2f\n", s.median, s.best);
        void* mem = nullptr;
        s = Time(iterations, [&] { if (mem) VirtualFree(mem, 0, MEM_RELEASE); },
                 [&] { mem = VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE); memset(mem, 3, size); });
        VirtualFree(mem, 0, MEM_RELEASE);
        printf("baseline: VirtualAlloc + first write of 8 MB          %7.2f / %7.2f\n", s.median, s.best);
        ImgBitmap fresh;
        ImgInitBitmap(&fresh);
        s = Time(iterations, [&] { ImgFreeBitmap(&fresh); },
                 [&] { ImgAllocateBitmap(&fresh, 1920, 1080, 32, nullptr, 0); memset(fresh.bits, 3, size); });
        ImgFreeBitmap(&fresh);
        printf("baseline: ImgAllocateBitmap + first write of 8 MB     %7.2f / %7.2f\n", s.median, s.best);
    }

    struct Resize {
        int fromW, fromH, toW, toH;
    } resizes[] = {
        {1920, 1080, 1280, 720}, {1920, 1080, 960, 540}, {1920, 1080, 1440, 810}, {1920, 1080, 640, 360},
        {960, 540, 1920, 1080},  {1280, 720, 1920, 1080}, {1600, 900, 1920, 1080},
    };
    for (int bits : {32, 24})
        for (const Resize& r : resizes) {
            ImgBitmap source, work;
            ImgInitBitmap(&source);
            ImgInitBitmap(&work);
            if (ImgAllocateBitmap(&source, r.fromW, r.fromH, bits, nullptr, 0) != IMG_SUCCESS) {
                printf("allocation failed\n");
                return 1;
            }
            Paint(source, false);
            for (BOOL interpolate : {TRUE, FALSE}) {
                int rc = IMG_SUCCESS;
                const Stats s = Time(iterations, [&] { Copy(source, &work); },
                                     [&] { rc = ImgResize(&work, r.toW, r.toH, interpolate); });
                printf("ImgResize %2d bits %4dx%-4d -> %4dx%-4d %-12s %7.2f / %7.2f%s\n", bits, r.fromW, r.fromH,
                       r.toW, r.toH, interpolate ? "interpolated" : "nearest", s.median, s.best,
                       rc == IMG_SUCCESS ? "" : "  FAILED");
            }
            ImgFreeBitmap(&work);
            ImgFreeBitmap(&source);
        }

    // The live output's 8-bit palette: the fixed one with the static colours.
    RGBQUAD live[256];
    ImgSystemColourPalette(live);
    for (bool photo : {false, true}) {
        ImgBitmap source, work;
        ImgInitBitmap(&source);
        ImgInitBitmap(&work);
        ImgAllocateBitmap(&source, 1920, 1080, 32, nullptr, 0);
        Paint(source, photo);
        int rc = IMG_SUCCESS;
        Stats s = Time(iterations, [&] { Copy(source, &work); },
                       [&] { rc = ImgColorRes(&work, 8, IMG_CRF_USERPALETTE, live, 256); });
        printf("ImgColorRes 32 -> 8 bits, live palette, %-8s 1920x1080   %7.2f / %7.2f%s\n",
               photo ? "photo" : "desktop", s.median, s.best, rc == IMG_SUCCESS ? "" : "  FAILED");
        s = Time(iterations, [&] { Copy(source, &work); }, [&] { rc = ImgColorRes(&work, 24, 0, nullptr, 0); });
        printf("ImgColorRes 32 -> 24 bits, %-8s 1920x1080                %7.2f / %7.2f%s\n", photo ? "photo" : "desktop",
               s.median, s.best, rc == IMG_SUCCESS ? "" : "  FAILED");
        ImgFreeBitmap(&work);
        ImgFreeBitmap(&source);
    }

    // The copies around a conversion: packed DIB out, bitmap back in.
    ImgBitmap frame, back;
    ImgInitBitmap(&frame);
    ImgInitBitmap(&back);
    ImgAllocateBitmap(&frame, 1920, 1080, 32, nullptr, 0);
    Paint(frame, false);
    HGLOBAL dib = NULL;
    Stats s = Time(iterations, [&] { if (dib) GlobalFree(dib); dib = NULL; }, [&] { dib = ImgPackedDIBFromBitmap(&frame); });
    printf("ImgPackedDIBFromBitmap 32 bits 1920x1080              %7.2f / %7.2f%s\n", s.median, s.best, dib ? "" : "  FAILED");
    int rc = IMG_SUCCESS;
    s = Time(iterations, [] {}, [&] { rc = ImgBitmapFromPackedDIB(&back, dib); });
    printf("ImgBitmapFromPackedDIB 32 bits 1920x1080              %7.2f / %7.2f%s\n", s.median, s.best,
           rc == IMG_SUCCESS ? "" : "  FAILED");
    GlobalFree(dib);
    ImgFreeBitmap(&back);
    ImgFreeBitmap(&frame);
    return 0;
}
