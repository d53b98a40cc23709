#pragma once
// Shared by the composition tests: a frame of the test's own (a 32-bit DIB
// section in a memory DC, as the engine's frame is), colour checks, and the
// frames of a recorded AVI read back through AVIFile.
#include <windows.h>

#include <string>
#include <vector>

namespace composetest {

// A top-down 32-bit frame with a DC to draw into.
class TestFrame {
public:
    TestFrame(int width, int height, COLORREF fill);
    ~TestFrame();
    TestFrame(const TestFrame&) = delete;
    TestFrame& operator=(const TestFrame&) = delete;

    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Fill(COLORREF colour);
    // The pixel as a COLORREF (GDI is flushed first); CLR_INVALID outside.
    COLORREF Pixel(int x, int y) const;
    // Pixels of the rectangle (clipped to the frame) that are not `colour`.
    int CountOther(const RECT& rect, COLORREF colour) const;
    // Pixels of the rectangle within `tolerance` of `colour` on each channel.
    int CountNear(const RECT& rect, COLORREF colour, int tolerance) const;
    // The bounding box of the pixels of exactly `colour` (empty when none).
    RECT BoundsOf(COLORREF colour) const;

private:
    int m_width;
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    DWORD* m_bits;
};

// TRUE when every channel of the two colours differs by at most `tolerance`.
bool Near(COLORREF a, COLORREF b, int tolerance);
std::string ColourText(COLORREF colour);

// One decoded frame of a recording: width x height pixels, top row first.
struct DecodedFrame {
    LONG sample;               // its index in the stream
    int width;
    int height;
    std::vector<COLORREF> pixels;
    COLORREF Pixel(int x, int y) const { return pixels[(size_t)y * width + x]; }
    int CountNear(const RECT& rect, COLORREF colour, int tolerance) const;
    // The bounding box of the pixels within `tolerance` of `colour`.
    RECT BoundsNear(COLORREF colour, int tolerance) const;
};

// Reads every non-empty sample of the AVI's video stream, which must hold
// uncompressed 24- or 32-bit frames. False (with the reason) when it cannot.
bool ReadAviFrames(const std::string& file, std::vector<DecodedFrame>* frames, std::string* why);

}  // namespace composetest
