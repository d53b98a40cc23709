#include "controls/Emboss.h"

namespace {
const DWORD kRopBrushWhereMaskBlack = 0xB8074A;   // PSDPxax
}

void DrawImageEmbossed(HDC hdc, HIMAGELIST hImages, int iImage, int x, int y,
                       COLORREF highlight, COLORREF shadow)
{
    int cx = 0, cy = 0;
    if (hImages == NULL || !::ImageList_GetIconSize(hImages, &cx, &cy) || cx <= 0 || cy <= 0)
        return;
    HDC hColour = ::CreateCompatibleDC(hdc);
    HBITMAP hColourBmp = ::CreateCompatibleBitmap(hdc, cx, cy);
    HGDIOBJ oldColour = ::SelectObject(hColour, hColourBmp);
    RECT all = { 0, 0, cx, cy };
    ::FillRect(hColour, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
    ::ImageList_Draw(hImages, iImage, hColour, 0, 0, ILD_TRANSPARENT);

    HDC hMono = ::CreateCompatibleDC(hdc);
    HBITMAP hMonoBmp = ::CreateBitmap(cx, cy, 1, 1, NULL);
    HGDIOBJ oldMono = ::SelectObject(hMono, hMonoBmp);
    ::SetBkColor(hColour, RGB(255, 255, 255));
    ::BitBlt(hMono, 0, 0, cx, cy, hColour, 0, 0, SRCCOPY);

    const COLORREF oldText = ::SetTextColor(hdc, RGB(0, 0, 0));
    const COLORREF oldBk = ::SetBkColor(hdc, RGB(255, 255, 255));
    HBRUSH hHighlight = ::CreateSolidBrush(highlight);
    HGDIOBJ oldBrush = ::SelectObject(hdc, hHighlight);
    ::BitBlt(hdc, x + 1, y + 1, cx, cy, hMono, 0, 0, kRopBrushWhereMaskBlack);
    HBRUSH hShadow = ::CreateSolidBrush(shadow);
    ::SelectObject(hdc, hShadow);
    ::BitBlt(hdc, x, y, cx, cy, hMono, 0, 0, kRopBrushWhereMaskBlack);
    ::SelectObject(hdc, oldBrush);
    ::DeleteObject(hHighlight);
    ::DeleteObject(hShadow);
    ::SetTextColor(hdc, oldText);
    ::SetBkColor(hdc, oldBk);

    ::SelectObject(hMono, oldMono);
    ::DeleteObject(hMonoBmp);
    ::DeleteDC(hMono);
    ::SelectObject(hColour, oldColour);
    ::DeleteObject(hColourBmp);
    ::DeleteDC(hColour);
}
