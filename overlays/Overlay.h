#pragma once
// A timed overlay: laid over the video for a time span, described by XML
// property text (a block of base elements, the hot spot, then the kind's own
// elements) and drawn into each frame by its kind (Draw). Created on the
// user-interface thread; the timeline's overlay list owns it.
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"

#include <gdiplus.h>

class HotspotInfo;
class XmlNode;

class COverlay : public CObject {
    DECLARE_DYNAMIC(COverlay)
public:
    COverlay();
    ~COverlay() override;

    // Paints the overlay into a frame (a 32-bit GDI+ bitmap) at the frame's
    // timeline time, in 100-ns units. Nothing when the overlay is not active.
    virtual void Draw(Gdiplus::Bitmap* frame, LONGLONG time) = 0;
    // A blurred silhouette of the image in the shadow colour, 2 * radius
    // larger in each direction; owned by the caller. NULL without an image.
    virtual Gdiplus::Bitmap* MakeShadow(Gdiplus::Image* image, int radius);
    virtual void OnChanged() {}
    virtual void SetStart(LONGLONG start) { m_start = start; }
    virtual void SetEnd(LONGLONG end) { m_end = end; }
    virtual LONGLONG GetEffectiveStart() { return GetStart(); }
    virtual LONGLONG GetStart() { return m_start; }
    virtual LONGLONG GetEnd() { return m_end; }
    virtual LPCTSTR GetTypeName() { return "Overlay"; }
    virtual HRESULT WriteXml(XmlNode& node);
    virtual HRESULT WriteOwnXml(XmlNode& node);
    virtual HRESULT ReadXml(XmlNode& node, int position);
    virtual HRESULT ReadOwnXml(XmlNode& node, int position);

    // A new overlay of the named kind ("Text", "Ellipse", "Rectangle",
    // "ImageAbove", "Spotlight", without case), or NULL.
    static COverlay* CreateByTypeName(LPCTSTR typeName);

    // The identifier the next overlay takes. Loading overlays moves it past
    // their identifiers.
    static int GetNextOverlayId();
    static void SetNextOverlayId(int next);

    // Whether the overlay shows at a time: [Start - FadeIn, End + FadeOut)
    // while fading, else [Start, End).
    BOOL IsActiveAt(LONGLONG time) const;
    // The alpha (0..1; outside that 1) faded for a time, within [0, 1].
    float ApplyFade(float alpha, LONGLONG time) const;
    // A stored colour (COLORREF order, alpha in the top byte) as GDI+ ARGB,
    // its alpha faded for the time.
    Gdiplus::ARGB FadedColor(COLORREF color, LONGLONG time) const;
    HotspotInfo& Hotspot() { return *m_hotspot; }

    // Text drop shadow.
    COLORREF m_clrTextShadow;
    int m_useTextDropShadow;
    int m_textShadowBlur;
    int m_textShadowOpacity;
    int m_textShadowSizeX;
    int m_textShadowSizeY;
    // Destination rectangle, in movie coordinates.
    float m_rectDestX;
    float m_rectDestY;
    float m_rectDestWidth;
    float m_rectDestHeight;
    int m_height;
    int m_width;
    int m_movieHeight;   // the movie the overlay was laid out on; <= 0 means the frame's size
    int m_movieWidth;
    int m_textTopIndent;
    int m_textLeftIndent;
    int m_textRightIndent;
    int m_textBottomIndent;
    float m_opacity;
    int m_disableFading;
    int m_disableFading2;   // not stored
    int m_keepAspectRatio;
    int m_smoothScale;
    int m_preserveSize;
    int m_useTColor;
    CString m_overlayName;
    CString m_richText;
    int m_textVJust;
    COLORREF m_clrTransparent;
    int m_clipId;
    int m_trackId;
    int m_overlayFlags;
    int m_overlayId;
    int m_movieScaleMode;   // not stored
    LONGLONG m_start;
    LONGLONG m_end;
    LONGLONG m_fadeIn;
    LONGLONG m_fadeOut;

protected:
    // Text overlays read their own block inside "Overlay_<type>_Object".
    static BOOL IsOwnType(LPCTSTR typeName);

private:
    HotspotInfo* m_hotspot;
};
