#pragma once
// The image kinds' base: the image file and how it is coloured, turned,
// grown and shadowed, and the drawing state built from it (the loaded image,
// the shadow, and both scaled to the last destination size). The state is
// guarded by the overlay's own lock, held for the whole of a draw. Abstract.
#include "overlays/Overlay.h"

#include "framework/Sync.h"

class COverlayImage : public COverlay {
    DECLARE_DYNAMIC(COverlayImage)
public:
    COverlayImage();
    ~COverlayImage() override;

    Gdiplus::Bitmap* MakeShadow(Gdiplus::Image* image, int radius) override;
    HRESULT WriteOwnXml(XmlNode& node) override;
    HRESULT ReadOwnXml(XmlNode& node, int position) override;
    // Rebuilds the shadow of the loaded image (none in this base).
    virtual void MakeImageShadow() {}

    // Under the lock: drop the shadow and, unless VectorGrow is set, the
    // loaded image, so that both are rebuilt at the next draw.
    void SetRotate(int rotate);
    void SetUseDropShadow(int use);

    CString m_imagePath;   // code page 936
    COLORREF m_colorMask;
    COLORREF m_whiteColorMask;
    int m_rotate;          // a GDI+ RotateFlipType
    int m_xGrow;
    int m_yGrow;
    int m_vectorGrow;
    int m_canRotate90;
    int m_canRotate180;
    int m_canRotate270;
    int m_canFlipX;
    int m_canFlipX90;
    int m_canFlipX180;
    int m_canFlipX270;
    CString m_friendlyName;
    int m_useDropShadow;
    COLORREF m_clrShadow;
    int m_shadowBlur;
    int m_shadowOpacity;
    int m_shadowSizeX;
    int m_shadowSizeY;

protected:
    void DropDrawingState(bool keepImage);

    CCriticalSection m_lock;
    Gdiplus::Bitmap* m_image;
    BOOL m_rotated;
    BOOL m_shadowDirty;
    Gdiplus::Bitmap* m_shadow;
    Gdiplus::Bitmap* m_scaledImage;    // m_image at the last destination size
    Gdiplus::Bitmap* m_scaledShadow;   // m_shadow at its last destination size
};
