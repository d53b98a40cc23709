#pragma once
// Helpers of the overlay drawing tests: GDI+ started once for the process, a
// 32-bit top-down DIB section wrapped as a GDI+ bitmap (the frame the
// overlays draw into), and small image files written for the image overlays.
#include <windows.h>

#include <gdiplus.h>

#include <string>
#include <vector>

namespace overlaytest {

void StartGdiplus();

class DibFrame {
public:
    DibFrame(int width, int height, COLORREF fill);
    ~DibFrame();
    DibFrame(const DibFrame&) = delete;
    DibFrame& operator=(const DibFrame&) = delete;

    Gdiplus::Bitmap* Bitmap() { return m_bitmap; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The pixel as a COLORREF (red in the low byte).
    COLORREF At(int x, int y) const;
    void Set(int x, int y, COLORREF c);
    void Fill(COLORREF c);
    std::vector<DWORD> Pixels() const;
    // Pixels that differ from a colour, and their bounding box.
    int CountNot(COLORREF c, RECT* box = nullptr) const;

private:
    int m_width;
    int m_height;
    HBITMAP m_section;
    DWORD* m_bits;
    Gdiplus::Bitmap* m_bitmap;
};

// A 24-bit BMP of the pixels (COLORREF, rows from the top).
bool WriteBmp(const std::string& path, int width, int height, const std::vector<COLORREF>& pixels);

inline int R(COLORREF c) { return GetRValue(c); }
inline int G(COLORREF c) { return GetGValue(c); }
inline int B(COLORREF c) { return GetBValue(c); }

}  // namespace overlaytest
