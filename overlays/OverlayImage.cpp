#include "overlays/OverlayImage.h"

#include "overlays/BitmapBitsLock.h"
#include "overlays/OverlayXml.h"
#include "settings/XmlNode.h"

#include <vector>

IMPLEMENT_DYNAMIC(COverlayImage, COverlay)

COverlayImage::COverlayImage()
    : m_colorMask(0xFF000000), m_whiteColorMask(0xFFFFFFFF), m_rotate(0), m_xGrow(0), m_yGrow(0), m_vectorGrow(0),
      m_canRotate90(0), m_canRotate180(0), m_canRotate270(0), m_canFlipX(0), m_canFlipX90(0), m_canFlipX180(0),
      m_canFlipX270(0), m_useDropShadow(0), m_clrShadow(0), m_shadowBlur(2), m_shadowOpacity(75), m_shadowSizeX(4),
      m_shadowSizeY(4), m_image(NULL), m_rotated(FALSE), m_shadowDirty(FALSE), m_shadow(NULL), m_scaledImage(NULL),
      m_scaledShadow(NULL)
{
    m_overlayFlags = 1;
}

COverlayImage::~COverlayImage()
{
    DropDrawingState(false);
}

void COverlayImage::DropDrawingState(bool keepImage)
{
    delete m_shadow;
    m_shadow = NULL;
    delete m_scaledShadow;
    m_scaledShadow = NULL;
    delete m_scaledImage;
    m_scaledImage = NULL;
    if (!keepImage) {
        delete m_image;
        m_image = NULL;
        m_rotated = FALSE;
    }
}

void COverlayImage::SetRotate(int rotate)
{
    CSingleLock hold(&m_lock, TRUE);
    m_rotate = overlayxml::Bound(rotate, 0, 7);
    DropDrawingState(m_vectorGrow != 0);
    m_shadowDirty = m_useDropShadow != 0;
}

void COverlayImage::SetUseDropShadow(int use)
{
    CSingleLock hold(&m_lock, TRUE);
    m_useDropShadow = use;
    DropDrawingState(m_vectorGrow != 0);
    if (use)
        m_shadowDirty = TRUE;
}

// The image drawn into a (w + 2r) x (h + 2r) bitmap at (r, r); each pixel's
// alpha becomes the mean alpha of the (2r + 1) square around it (outside the
// bitmap counts as transparent) and its colour the shadow colour.
Gdiplus::Bitmap* COverlayImage::MakeShadow(Gdiplus::Image* image, int radius)
{
    if (!image)
        return NULL;
    const int r = overlayxml::Bound(radius, 0, 64);
    const int iw = (int)image->GetWidth();
    const int ih = (int)image->GetHeight();
    if (iw <= 0 || ih <= 0)
        return NULL;
    const int w = iw + 2 * r;
    const int h = ih + 2 * r;
    Gdiplus::Bitmap* shadow = new Gdiplus::Bitmap(w, h, PixelFormat32bppARGB);
    if (shadow->GetLastStatus() != Gdiplus::Ok) {
        delete shadow;
        return NULL;
    }
    {
        Gdiplus::Graphics g(shadow);
        g.Clear(Gdiplus::Color(0, 0, 0, 0));
        g.DrawImage(image, Gdiplus::Rect(r, r, iw, ih), 0, 0, iw, ih, Gdiplus::UnitPixel);
    }
    CBitmapBitsLock lock(shadow, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB,
                         FALSE);
    if (!lock.IsLocked()) {
        delete shadow;
        return NULL;
    }
    std::vector<int> alpha((size_t)w * h);
    std::vector<int> rows((size_t)w * h);
    BYTE* base = (BYTE*)lock.m_data.Scan0;
    const int stride = lock.m_data.Stride;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            alpha[(size_t)y * w + x] = base[(size_t)y * stride + 4 * x + 3];
    // Sums along rows, then along columns, over the window clipped to the bitmap.
    for (int y = 0; y < h; ++y) {
        int sum = 0;
        for (int x = -r; x < w + r; ++x) {
            if (x + r < w)
                sum += alpha[(size_t)y * w + x + r];
            if (x - r - 1 >= 0)
                sum -= alpha[(size_t)y * w + x - r - 1];
            if (x >= 0 && x < w)
                rows[(size_t)y * w + x] = sum;
        }
    }
    const int window = (2 * r + 1) * (2 * r + 1);
    const BYTE red = GetRValue(m_clrShadow), green = GetGValue(m_clrShadow), blue = GetBValue(m_clrShadow);
    for (int x = 0; x < w; ++x) {
        int sum = 0;
        for (int y = -r; y < h + r; ++y) {
            if (y + r < h)
                sum += rows[(size_t)(y + r) * w + x];
            if (y - r - 1 >= 0)
                sum -= rows[(size_t)(y - r - 1) * w + x];
            if (y >= 0 && y < h) {
                BYTE* p = base + (size_t)y * stride + 4 * x;
                p[0] = blue;
                p[1] = green;
                p[2] = red;
                p[3] = (BYTE)(sum / window);
            }
        }
    }
    return shadow;
}

HRESULT COverlayImage::WriteOwnXml(XmlNode& node)
{
    node.WriteValue("ImagePath", 1, m_imagePath);
    node.WriteValue("ColorMask", 9, (unsigned long)m_colorMask);
    node.WriteValue("WhiteColorMask", 9, (unsigned long)m_whiteColorMask);
    node.WriteValue("Rotate", 2, m_rotate);
    node.WriteValue("XGrow", 2, m_xGrow);
    node.WriteValue("YGrow", 2, m_yGrow);
    node.WriteValue("VectorGrow", 2, m_vectorGrow);
    node.WriteValue("CanRotate_90", 2, m_canRotate90);
    node.WriteValue("CanRotate_180", 2, m_canRotate180);
    node.WriteValue("CanRotate_270", 2, m_canRotate270);
    node.WriteValue("CanFlip_X", 2, m_canFlipX);
    node.WriteValue("CanFlip_X90", 2, m_canFlipX90);
    node.WriteValue("CanFlip_X180", 2, m_canFlipX180);
    node.WriteValue("CanFlip_X270", 2, m_canFlipX270);
    node.WriteValue("FriendlyName", 1, m_friendlyName);
    node.WriteValue("UseDropShadow", 2, m_useDropShadow);
    node.WriteValue("clrShadow", 9, (unsigned long)m_clrShadow);
    node.WriteValue("ShadowBlur", 2, m_shadowBlur);
    node.WriteValue("ShadowOpacity", 2, m_shadowOpacity);
    node.WriteValue("ShadowSize_X", 2, m_shadowSizeX);
    node.WriteValue("ShadowSize_Y", 2, m_shadowSizeY);
    return 0;
}

HRESULT COverlayImage::ReadOwnXml(XmlNode& node, int position)
{
    using namespace overlayxml;
    ReadText(node, "ImagePath", m_imagePath, position);
    ReadHex(node, "ColorMask", m_colorMask, position);
    ReadHex(node, "WhiteColorMask", m_whiteColorMask, position);
    int rotate = m_rotate;
    ReadInt(node, "Rotate", rotate, position);
    ReadInt(node, "XGrow", m_xGrow, position);
    ReadInt(node, "YGrow", m_yGrow, position);
    ReadInt(node, "VectorGrow", m_vectorGrow, position);
    ReadInt(node, "CanRotate_90", m_canRotate90, position);
    ReadInt(node, "CanRotate_180", m_canRotate180, position);
    ReadInt(node, "CanRotate_270", m_canRotate270, position);
    ReadInt(node, "CanFlip_X", m_canFlipX, position);
    ReadInt(node, "CanFlip_X90", m_canFlipX90, position);
    ReadInt(node, "CanFlip_X180", m_canFlipX180, position);
    ReadInt(node, "CanFlip_X270", m_canFlipX270, position);
    ReadText(node, "FriendlyName", m_friendlyName, position);
    int useShadow = m_useDropShadow;
    ReadInt(node, "UseDropShadow", useShadow, position);
    m_clrShadow = 0;
    m_shadowBlur = 2;
    m_shadowOpacity = 75;
    m_shadowSizeX = 4;
    m_shadowSizeY = 4;
    ReadHex(node, "clrShadow", m_clrShadow, position);
    ReadInt(node, "ShadowBlur", m_shadowBlur, position);
    ReadInt(node, "ShadowOpacity", m_shadowOpacity, position);
    ReadInt(node, "ShadowSize_X", m_shadowSizeX, position);
    ReadInt(node, "ShadowSize_Y", m_shadowSizeY, position);
    m_shadowBlur = Bound(m_shadowBlur, 0, 64);
    m_shadowOpacity = Bound(m_shadowOpacity, 0, 100);
    m_shadowSizeX = Bound(m_shadowSizeX, -32767, 32767);
    m_shadowSizeY = Bound(m_shadowSizeY, -32767, 32767);
    SetRotate(rotate);
    SetUseDropShadow(useShadow);
    return 0;
}
