#include "capture/FrameWatermark.h"

#include "capture/FrameBitmap.h"

#include <algorithm>
#include <math.h>
#include <string.h>
#include <vector>

void CFrameWatermark::DrawOnFramePart(const BITMAPINFO* frame, BYTE* bits)
{
    if (!frame || !bits || !IsPrepared())
        return;
    const BITMAPINFOHEADER& header = frame->bmiHeader;
    const int width = header.biWidth;
    const int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const int depth = header.biBitCount;
    if (width <= 0 || height <= 0 || (depth != 8 && depth != 16 && depth != 24 && depth != 32))
        return;
    // One pixel more on each side for the resampling's edge.
    const WatermarkPlacement place = m_placement;
    const int left = std::max(0, (int)floorf(place.x) - 1);
    const int top = std::max(0, (int)floorf(place.y) - 1);
    const int right = std::min(width, (int)ceilf(place.x + place.w) + 1);
    const int bottom = std::min(height, (int)ceilf(place.y + place.h) + 1);
    if (right <= left || bottom <= top)
        return;
    const int partWidth = right - left;
    const int partHeight = bottom - top;

    const DWORD formatSize = header.biSize + DibColorEntries(header) * sizeof(RGBQUAD);
    std::vector<BYTE> format((const BYTE*)frame, (const BYTE*)frame + formatSize);
    BITMAPINFOHEADER* part = (BITMAPINFOHEADER*)format.data();
    part->biWidth = partWidth;
    part->biHeight = partHeight;
    part->biSizeImage = DibRowBytes(partWidth, depth) * (DWORD)partHeight;
    std::vector<BYTE> pixels(part->biSizeImage);

    const DWORD frameRow = DibRowBytes(width, depth);
    const DWORD partRow = DibRowBytes(partWidth, depth);
    const DWORD offset = (DWORD)left * (DWORD)depth / 8;
    const DWORD span = (DWORD)partWidth * (DWORD)depth / 8;
    // Rows top-down: a bottom-up frame keeps row y at height - 1 - y.
    auto frameLine = [&](int y) {
        const int row = header.biHeight > 0 ? height - 1 - y : y;
        return bits + (size_t)row * frameRow + offset;
    };
    auto partLine = [&](int y) { return pixels.data() + (size_t)(partHeight - 1 - (y - top)) * partRow; };
    for (int y = top; y < bottom; ++y)
        memcpy(partLine(y), frameLine(y), span);

    m_placement.x = place.x - (float)left;
    m_placement.y = place.y - (float)top;
    DrawOnFrame((const BITMAPINFO*)format.data(), pixels.data());
    m_placement = place;

    for (int y = top; y < bottom; ++y)
        memcpy(frameLine(y), partLine(y), span);
}
