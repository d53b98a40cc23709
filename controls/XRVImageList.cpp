#include "controls/XRVImageList.h"

#include "framework/FloatRound.h"
#include "framework/Module.h"

#include <vector>

IMPLEMENT_DYNCREATE(XRVImageList, CImageList)

namespace {
// The weighted sum in double precision, each step held as a double before the
// next, so that a grey pixel keeps its value in the 32-bit build too.
BYTE Luminance(BYTE r, BYTE g, BYTE b)
{
    const double red = RoundToDouble(0.299 * r);
    const double redGreen = RoundToDouble(red + RoundToDouble(0.587 * g));
    return (BYTE)(int)RoundToDouble(redGreen + RoundToDouble(0.114 * b));
}
}  // namespace

HICON XRVImageList::CreateGreyIcon(HICON hIcon)
{
    ICONINFO info;
    if (!::GetIconInfo(hIcon, &info))
        return NULL;
    HICON result = NULL;
    BITMAP bm;
    if (info.hbmColor != NULL && ::GetObjectA(info.hbmColor, sizeof(bm), &bm)) {
        // For icons the hot spot is the centre: twice it is the size.
        const int w = info.xHotspot > 0 ? (int)info.xHotspot * 2 : bm.bmWidth;
        const int h = info.yHotspot > 0 ? (int)info.yHotspot * 2 : bm.bmHeight;
        HDC screen = ::GetDC(NULL);
        HBITMAP grey = ::CreateBitmap(w, h, bm.bmPlanes, bm.bmBitsPixel, NULL);
        if (grey != NULL && bm.bmBitsPixel == 32) {
            BITMAPINFO bi = {};
            bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
            bi.bmiHeader.biWidth = w;
            bi.bmiHeader.biHeight = h;
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            std::vector<BYTE> bits((size_t)w * h * 4);
            ::GetDIBits(screen, info.hbmColor, 0, (UINT)h, bits.data(), &bi, DIB_RGB_COLORS);
            for (size_t i = 0; i + 3 < bits.size(); i += 4) {
                const BYTE y = Luminance(bits[i + 2], bits[i + 1], bits[i]);
                bits[i] = bits[i + 1] = bits[i + 2] = y;
            }
            ::SetDIBits(screen, grey, 0, (UINT)h, bits.data(), &bi, DIB_RGB_COLORS);
        } else if (grey != NULL) {
            HDC src = ::CreateCompatibleDC(screen);
            HDC dst = ::CreateCompatibleDC(screen);
            HGDIOBJ oldSrc = ::SelectObject(src, info.hbmColor);
            HGDIOBJ oldDst = ::SelectObject(dst, grey);
            for (int y = 0; y < h; y++) {
                for (int x = 0; x < w; x++) {
                    const COLORREF c = ::GetPixel(src, x, y);
                    const BYTE l = Luminance(GetRValue(c), GetGValue(c), GetBValue(c));
                    ::SetPixelV(dst, x, y, RGB(l, l, l));
                }
            }
            ::SelectObject(src, oldSrc);
            ::SelectObject(dst, oldDst);
            ::DeleteDC(src);
            ::DeleteDC(dst);
        }
        ::ReleaseDC(NULL, screen);
        if (grey != NULL) {
            ICONINFO made = info;
            made.fIcon = TRUE;
            made.hbmColor = grey;
            result = ::CreateIconIndirect(&made);
            ::DeleteObject(grey);
        }
    }
    if (info.hbmColor != NULL)
        ::DeleteObject(info.hbmColor);
    if (info.hbmMask != NULL)
        ::DeleteObject(info.hbmMask);
    return result;
}

int XRVImageList::AddIconResource(UINT nIconId, int cx, int cy, BOOL bGrey)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HICON hIcon = (HICON)::LoadImageA(hInst, MAKEINTRESOURCEA(nIconId), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR);
    if (hIcon == NULL && hInst != AfxGetInstanceHandle())
        hIcon = (HICON)::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nIconId), IMAGE_ICON, cx, cy,
                                    LR_DEFAULTCOLOR);
    if (hIcon == NULL || m_hImageList == NULL) {
        if (hIcon != NULL)
            ::DestroyIcon(hIcon);
        return -1;
    }
    int index = -1;
    if (m_bGrey || bGrey) {
        HICON hGrey = CreateGreyIcon(hIcon);
        if (hGrey != NULL) {
            index = ImageList_ReplaceIcon(m_hImageList, -1, hGrey);
            ::DestroyIcon(hGrey);
        }
    } else {
        index = ImageList_ReplaceIcon(m_hImageList, -1, hIcon);
    }
    ::DestroyIcon(hIcon);
    return index;
}
