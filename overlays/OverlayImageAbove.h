#pragma once
// An image drawn above the video: coloured through its colour masks, turned
// once by Rotate, optionally keyed by the transparent colour and laid on a
// soft drop shadow, scaled with the movie.
#include "overlays/OverlayImage.h"

class COverlayImageAbove : public COverlayImage {
    DECLARE_DYNAMIC(COverlayImageAbove)
public:
    COverlayImageAbove();

    void Draw(Gdiplus::Bitmap* frame, LONGLONG time) override;
    LPCTSTR GetTypeName() override { return "ImageAbove"; }
    void MakeImageShadow() override;

private:
    BOOL PrepareImage();
    Gdiplus::Bitmap* Scaled(Gdiplus::Bitmap* source, Gdiplus::Bitmap*& cache, int width, int height);
};
