#pragma once
// Shared by the xrvc tests: registering the codec built in this tree, frame
// formats of each bit depth and a small synthetic desktop that types, scrolls,
// drags a window and blinks a caret.
#include <windows.h>
#include <vfw.h>
#include <stdint.h>
#include <string>
#include <vector>

namespace xrvctest {

const DWORD kXrvc = mmioFOURCC('x', 'r', 'v', 'c');

// Registers <build>\platform\xrvc\xrvc.dll as vidc.xrvc: the Drivers32
// value under HKLM, by its full path. Empty on success, otherwise what went
// wrong.
std::string InstallCodec();

// A BITMAPINFOHEADER with room for a 256-entry colour table.
struct Format {
    BITMAPINFOHEADER h;
    RGBQUAD palette[256];

    BITMAPINFOHEADER* Header() { return &h; }
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(&h); }
    LONG Size() const { return (LONG)(sizeof(BITMAPINFOHEADER) + h.biClrUsed * sizeof(RGBQUAD)); }
};

Format MakeFormat(int width, int height, int bitCount);
size_t Stride(int width, int bitCount);

// True when the pixel bytes of two DIBs of the format are equal (row padding
// is not part of the picture); *where gets the first differing row.
bool SamePixels(const BITMAPINFOHEADER& f, const uint8_t* a, const uint8_t* b, int* where = nullptr);

// A synthetic desktop: Step(i) changes the picture as frame i of a session
// would (typing, idle, a scroll, a window drag, a caret blink, now and then a
// full repaint of noise), Frame() renders it in the format's bit depth.
class CDesktop {
public:
    CDesktop(int width, int height, int bitCount);
    void Step(int frame);
    std::vector<uint8_t> Frame() const;

private:
    void Fill(int x, int y, int w, int h, uint32_t colour);
    void Glyph(int x, int y, uint32_t seed);
    void Window(int x, int y);
    uint32_t Rand();

    int m_w, m_h, m_bits;
    std::vector<uint32_t> m_px;   // 0xAARRGGBB, top-down
    uint32_t m_seed = 12345;
    int m_caretX = 0, m_caretY = 0;
    int m_winX = 0, m_winY = 0;
    bool m_caret = false;
};

}  // namespace xrvctest
