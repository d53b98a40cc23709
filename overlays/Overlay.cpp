#include "overlays/Overlay.h"

#include "overlays/HotspotInfo.h"
#include "overlays/OverlayEllipse.h"
#include "overlays/OverlayImageAbove.h"
#include "overlays/OverlayRectangle.h"
#include "overlays/OverlaySpotlight.h"
#include "overlays/OverlayText.h"
#include "overlays/OverlayXml.h"
#include "settings/XmlNode.h"

#include <limits.h>

IMPLEMENT_DYNAMIC(COverlay, CObject)

namespace {

// Overlays are created on the user-interface thread.
int g_nextOverlayId = 0;

// Sizes and positions read from files stay within what a frame can hold.
const int kMaxSize = 32767;
const float kMaxCoordinate = 65536.0f;

}  // namespace

COverlay::COverlay()
    : m_clrTextShadow(0), m_useTextDropShadow(0), m_textShadowBlur(1), m_textShadowOpacity(75), m_textShadowSizeX(2),
      m_textShadowSizeY(2), m_rectDestX(0), m_rectDestY(0), m_rectDestWidth(0), m_rectDestHeight(0), m_height(0),
      m_width(0), m_movieHeight(0), m_movieWidth(0), m_textTopIndent(0), m_textLeftIndent(0), m_textRightIndent(0),
      m_textBottomIndent(0), m_opacity(1.0f), m_disableFading(0), m_disableFading2(0), m_keepAspectRatio(1),
      m_smoothScale(1), m_preserveSize(0), m_useTColor(0), m_textVJust(0), m_clrTransparent(0xFF000000),
      m_clipId(0), m_trackId(-1), m_overlayFlags(0), m_overlayId(g_nextOverlayId), m_movieScaleMode(5), m_start(0),
      m_end(0), m_fadeIn(0), m_fadeOut(0), m_hotspot(new HotspotInfo)
{
    if (g_nextOverlayId < INT_MAX)
        ++g_nextOverlayId;
}

COverlay::~COverlay()
{
    delete m_hotspot;
}

int COverlay::GetNextOverlayId()
{
    return g_nextOverlayId;
}

void COverlay::SetNextOverlayId(int next)
{
    g_nextOverlayId = next;
}

COverlay* COverlay::CreateByTypeName(LPCTSTR typeName)
{
    if (!typeName)
        return NULL;
    CString name(typeName);
    if (name.CompareNoCase("Text") == 0)
        return new COverlayText;
    if (name.CompareNoCase("Ellipse") == 0)
        return new COverlayEllipse;
    if (name.CompareNoCase("Rectangle") == 0)
        return new COverlayRectangle;
    if (name.CompareNoCase("ImageAbove") == 0)
        return new COverlayImageAbove;
    if (name.CompareNoCase("Spotlight") == 0)
        return new COverlaySpotlight;
    return NULL;
}

BOOL COverlay::IsOwnType(LPCTSTR typeName)
{
    return typeName && *typeName && CString(typeName).CompareNoCase("Overlay") != 0;
}

// Drawn on every frame, an overlay without fades would cover the whole video:
// it shows only inside its span, widened by the fades while they apply.
BOOL COverlay::IsActiveAt(LONGLONG time) const
{
    LONGLONG from = m_start;
    LONGLONG to = m_end;
    if (!m_disableFading && !m_disableFading2) {
        from -= m_fadeIn > 0 ? m_fadeIn : 0;
        to += m_fadeOut > 0 ? m_fadeOut : 0;
    }
    return time >= from && time < to;
}

// Fully opaque from Start to End, fading in over FadeIn before Start and out
// over FadeOut after End. Past End + FadeOut the fade-out formula goes
// negative: the result is kept within [0, 1].
float COverlay::ApplyFade(float alpha, LONGLONG time) const
{
    double a = (alpha >= 0.0f && alpha <= 1.0f) ? alpha : 1.0;
    if (!m_disableFading && !m_disableFading2) {
        if (m_fadeIn > 0 && time < m_start) {
            const double part = (double)(m_fadeIn + time - m_start) / (double)m_fadeIn;
            a *= part > 0.0 ? part : 0.0;
        }
        if (m_fadeOut > 0 && time > m_end)
            a *= (double)(m_end + m_fadeOut - time) / (double)m_fadeOut;
    }
    if (!(a > 0.0))
        return 0.0f;
    return a > 1.0 ? 1.0f : (float)a;
}

Gdiplus::ARGB COverlay::FadedColor(COLORREF color, LONGLONG time) const
{
    const float alpha = ApplyFade(((color >> 24) & 0xFF) / 255.0f, time);
    const BYTE a = (BYTE)(alpha * 255.0f);
    return Gdiplus::Color::MakeARGB(a, GetRValue(color), GetGValue(color), GetBValue(color));
}

Gdiplus::Bitmap* COverlay::MakeShadow(Gdiplus::Image*, int)
{
    return NULL;
}

HRESULT COverlay::WriteXml(XmlNode& node)
{
    node.WriteValue("DisableFading", 2, m_disableFading);
    node.WriteValue("SmoothScale", 2, m_smoothScale);
    node.WriteValue("KeepAspectRatio", 2, m_keepAspectRatio);
    node.WriteValue("PreserveSize", 2, m_preserveSize);
    node.WriteValue("UseTColor", 2, m_useTColor);
    node.WriteValue("clrTransparent ", 9, (unsigned long)m_clrTransparent);
    node.WriteValue("Opacity", 7, m_opacity);
    node.WriteValue("Height", 2, m_height);
    node.WriteValue("MovieHeight", 2, m_movieHeight);
    node.WriteValue("Width", 2, m_width);
    node.WriteValue("MovieWidth", 2, m_movieWidth);
    node.WriteValue("TextBottomIndent", 2, m_textBottomIndent);
    node.WriteValue("TextLeftIndent", 2, m_textLeftIndent);
    node.WriteValue("TextRightIndent", 2, m_textRightIndent);
    node.WriteValue("TextTopIndent", 2, m_textTopIndent);
    node.WriteValue("strOverlayRichText", 1, m_richText);
    node.WriteValue("TextVJust", 2, m_textVJust);
    node.WriteValue("RectDest_X", 7, m_rectDestX);
    node.WriteValue("RectDest_Y", 7, m_rectDestY);
    node.WriteValue("RectDest_Width", 7, m_rectDestWidth);
    node.WriteValue("RectDest_Height", 7, m_rectDestHeight);
    overlayxml::WriteTime(node, "Start", m_start);
    overlayxml::WriteTime(node, "End", m_end);
    overlayxml::WriteTime(node, "FadeIn", m_fadeIn);
    overlayxml::WriteTime(node, "FadeOut", m_fadeOut);
    node.WriteValue("OverlayName", 1, m_overlayName);
    node.WriteValue("ClipID", 2, m_clipId);
    node.WriteValue("OverlayFlags", 2, m_overlayFlags);
    node.WriteValue("OverlayID", 2, m_overlayId);
    node.WriteValue("TrackID", 2, m_trackId);
    node.WriteValue("UseTextDropShadow", 2, m_useTextDropShadow);
    node.WriteValue("clrTextShadow", 9, (unsigned long)m_clrTextShadow);
    node.WriteValue("TextShadowBlur", 2, m_textShadowBlur);
    node.WriteValue("TextShadowOpacity", 2, m_textShadowOpacity);
    node.WriteValue("TextShadowSize_X", 2, m_textShadowSizeX);
    node.WriteValue("TextShadowSize_Y", 2, m_textShadowSizeY);
    m_hotspot->WriteXml(node);
    LPCTSTR type = GetTypeName();
    if (IsOwnType(type)) {
        node.WriteValue("Type", 1, type);
        CString block = CString("Overlay_") + type + "_Object";
        node.WriteOpenTag(block.GetString());
        WriteOwnXml(node);
        node.WriteCloseTag(block.GetString());
    }
    return 0;
}

HRESULT COverlay::WriteOwnXml(XmlNode&)
{
    return 0;
}

HRESULT COverlay::ReadOwnXml(XmlNode&, int)
{
    return 0;
}

// Elements are looked up by name from the position on; a missing element
// leaves its field as it is, except the text shadow's, which have their own
// defaults when absent. Values that size or place anything are bounded.
HRESULT COverlay::ReadXml(XmlNode& node, int position)
{
    using namespace overlayxml;
    ReadInt(node, "DisableFading", m_disableFading, position);
    ReadInt(node, "SmoothScale", m_smoothScale, position);
    ReadInt(node, "KeepAspectRatio", m_keepAspectRatio, position);
    ReadInt(node, "PreserveSize", m_preserveSize, position);
    ReadInt(node, "UseTColor", m_useTColor, position);
    ReadHexSpaced(node, "clrTransparent ", m_clrTransparent, position);
    ReadFloat(node, "Opacity", m_opacity, position);
    ReadInt(node, "Height", m_height, position);
    ReadInt(node, "MovieHeight", m_movieHeight, position);
    ReadInt(node, "Width", m_width, position);
    ReadInt(node, "MovieWidth", m_movieWidth, position);
    ReadInt(node, "TextBottomIndent", m_textBottomIndent, position);
    ReadInt(node, "TextLeftIndent", m_textLeftIndent, position);
    ReadInt(node, "TextRightIndent", m_textRightIndent, position);
    ReadInt(node, "TextTopIndent", m_textTopIndent, position);
    ReadText(node, "strOverlayRichText", m_richText, position);
    ReadInt(node, "TextVJust", m_textVJust, position);
    ReadFloat(node, "RectDest_X", m_rectDestX, position);
    ReadFloat(node, "RectDest_Y", m_rectDestY, position);
    ReadFloat(node, "RectDest_Width", m_rectDestWidth, position);
    ReadFloat(node, "RectDest_Height", m_rectDestHeight, position);
    ReadTime(node, "Start", m_start, position);
    ReadTime(node, "End", m_end, position);
    ReadTime(node, "FadeIn", m_fadeIn, position);
    ReadTime(node, "FadeOut", m_fadeOut, position);
    ReadText(node, "OverlayName", m_overlayName, position);
    ReadInt(node, "ClipID", m_clipId, position);
    ReadInt(node, "TrackID", m_trackId, position);
    ReadInt(node, "OverlayFlags", m_overlayFlags, position);
    if (ReadInt(node, "OverlayID", m_overlayId, position) && m_overlayId >= g_nextOverlayId)
        g_nextOverlayId = m_overlayId < INT_MAX ? m_overlayId + 1 : INT_MAX;

    m_opacity = Bound(m_opacity, 0.0f, 1.0f);
    m_height = Bound(m_height, 0, kMaxSize);
    m_width = Bound(m_width, 0, kMaxSize);
    m_movieHeight = Bound(m_movieHeight, 0, kMaxSize);
    m_movieWidth = Bound(m_movieWidth, 0, kMaxSize);
    m_rectDestX = Bound(m_rectDestX, -kMaxCoordinate, kMaxCoordinate);
    m_rectDestY = Bound(m_rectDestY, -kMaxCoordinate, kMaxCoordinate);
    m_rectDestWidth = Bound(m_rectDestWidth, 0.0f, kMaxCoordinate);
    m_rectDestHeight = Bound(m_rectDestHeight, 0.0f, kMaxCoordinate);
    m_fadeIn = Bound(m_fadeIn, 0LL, LLONG_MAX / 4);
    m_fadeOut = Bound(m_fadeOut, 0LL, LLONG_MAX / 4);
    m_start = Bound(m_start, -(LLONG_MAX / 4), LLONG_MAX / 4);
    m_end = Bound(m_end, -(LLONG_MAX / 4), LLONG_MAX / 4);

    int hotspot = 0;
    ReadInt(node, "Hotspot", hotspot, position);
    if (hotspot != 0)
        return E_FAIL;

    m_useTextDropShadow = 1;
    m_clrTextShadow = 0;
    m_textShadowBlur = 1;
    m_textShadowOpacity = 75;
    ReadInt(node, "UseTextDropShadow", m_useTextDropShadow, position);
    ReadHex(node, "clrTextShadow", m_clrTextShadow, position);
    ReadInt(node, "TextShadowBlur", m_textShadowBlur, position);
    ReadInt(node, "TextShadowOpacity", m_textShadowOpacity, position);
    ReadInt(node, "TextShadowSize_X", m_textShadowSizeX, position);
    ReadInt(node, "TextShadowSize_Y", m_textShadowSizeY, position);
    m_textShadowBlur = Bound(m_textShadowBlur, 0, 64);
    m_textShadowOpacity = Bound(m_textShadowOpacity, 0, 100);
    m_textShadowSizeX = Bound(m_textShadowSizeX, -kMaxSize, kMaxSize);
    m_textShadowSizeY = Bound(m_textShadowSizeY, -kMaxSize, kMaxSize);

    m_hotspot->ReadXml(node, position);

    LPCTSTR type = GetTypeName();
    if (IsOwnType(type)) {
        CString blockName = CString("Overlay_") + type + "_Object";
        XmlNode block;
        int at = position;
        if (node.FindElement(blockName.GetString(), block, at))
            ReadOwnXml(block, 0);
    }
    return 0;
}
