#include "overlays/OverlayGdi.h"

#include "settings/TimelineError.h"

#include <math.h>

#include <algorithm>

namespace overlaygdi {

namespace {

FaceFallbackHook g_faceFallbackHook = NULL;

}  // namespace

// A movie size of 0 (the default) would divide by zero and shift callouts by
// half a frame: a size <= 0 is the frame's own size.
MovieScale ComputeMovieScale(int mode, int frameWidth, int frameHeight, int movieWidth, int movieHeight)
{
    MovieScale m;
    m.movieWidth = movieWidth > 0 ? movieWidth : frameWidth;
    m.movieHeight = movieHeight > 0 ? movieHeight : frameHeight;
    const double fx = m.movieWidth > 0 ? (double)frameWidth / m.movieWidth : 1.0;
    const double fy = m.movieHeight > 0 ? (double)frameHeight / m.movieHeight : 1.0;
    const bool smaller = fx < 1.0 || fy < 1.0;
    switch (mode) {
    case 0:
    case 6:
        m.sx = fx;
        m.sy = fy;
        break;
    case 1:
        m.sx = m.sy = 1.0;
        break;
    case 2:
        m.sx = smaller ? std::min(fx, fy) : fx;
        m.sy = smaller ? std::min(fx, fy) : fy;
        break;
    case 3:
        m.sx = smaller ? 1.0 : fx;
        m.sy = smaller ? 1.0 : fy;
        break;
    case 4:
        m.sx = std::min(fx, 1.0);
        m.sy = std::min(fy, 1.0);
        break;
    default:
        m.sx = m.sy = smaller ? std::min(fx, fy) : 1.0;
        break;
    }
    m.offsetX = (int)((frameWidth - m.movieWidth * m.sx) / 2.0);
    m.offsetY = (int)((frameHeight - m.movieHeight * m.sy) / 2.0);
    return m;
}

double Envelope(LONGLONG t, LONGLONG a, LONGLONG b, LONGLONG rampIn, LONGLONG rampOut)
{
    if (t < a)
        return rampIn > 0 ? 0.0 : 1.0;
    if (t >= b)
        return rampOut > 0 ? 0.0 : 1.0;
    double v = 1.0;
    if (rampIn > 0)
        v = std::min(v, (double)(t - a) / (double)rampIn);
    if (rampOut > 0)
        v = std::min(v, (double)(b - t) / (double)rampOut);
    return std::max(0.0, std::min(1.0, v));
}

std::wstring Widen(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    const int n = ::MultiByteToWideChar(936, 0, text, -1, NULL, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(n, L'\0');
    ::MultiByteToWideChar(936, 0, text, -1, &out[0], n);
    out.resize(n - 1);
    return out;
}

int FontStyleOf(const LOGFONTA& font)
{
    int style = Gdiplus::FontStyleRegular;
    if (font.lfItalic)
        style = Gdiplus::FontStyleItalic;
    if (font.lfStrikeOut)
        style = Gdiplus::FontStyleStrikeout;
    if (font.lfUnderline)
        style = Gdiplus::FontStyleUnderline;
    if (font.lfWeight == FW_BOLD)
        style = Gdiplus::FontStyleBold;
    if (font.lfItalic && font.lfWeight == FW_BOLD)
        style = Gdiplus::FontStyleBoldItalic;
    return style;
}

void SetFaceFallbackHook(FaceFallbackHook hook)
{
    g_faceFallbackHook = hook;
}

namespace {

// The family of a face: installed under that name, or the family the
// system's FontSubstitutes key names for it ("宋体" -> a CJK face).
Gdiplus::FontFamily* FindFamily(const char* face)
{
    const std::wstring wide = Widen(face);
    if (wide.empty())
        return NULL;
    Gdiplus::FontFamily* family = new Gdiplus::FontFamily(wide.c_str());
    if (family->IsAvailable())
        return family;
    delete family;
    HKEY key = NULL;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", 0,
                        KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return NULL;
    WCHAR target[LF_FACESIZE * 2] = {0};
    DWORD size = sizeof(target) - sizeof(WCHAR);
    DWORD type = 0;
    const LONG read = ::RegQueryValueExW(key, wide.c_str(), NULL, &type, (BYTE*)target, &size);
    ::RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_SZ)
        return NULL;
    if (WCHAR* comma = wcschr(target, L','))
        *comma = 0;   // "Face,charset"
    family = new Gdiplus::FontFamily(target);
    if (family->IsAvailable())
        return family;
    delete family;
    return NULL;
}

// The family GDI's font mapper picks for a face and character set: the last
// resort, so that Chinese text gets a face with Chinese glyphs.
Gdiplus::FontFamily* MappedFamily(const char* face, BYTE charSet, CString* name)
{
    LOGFONTW lf = {};
    lf.lfHeight = -16;
    lf.lfCharSet = charSet;
    const std::wstring wide = Widen(face);
    lstrcpynW(lf.lfFaceName, wide.c_str(), LF_FACESIZE);
    HFONT font = ::CreateFontIndirectW(&lf);
    HDC dc = ::CreateCompatibleDC(NULL);
    if (!font || !dc) {
        if (font)
            ::DeleteObject(font);
        if (dc)
            ::DeleteDC(dc);
        return NULL;
    }
    HGDIOBJ old = ::SelectObject(dc, font);
    WCHAR mapped[LF_FACESIZE] = {0};
    const int length = ::GetTextFaceW(dc, LF_FACESIZE, mapped);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::DeleteDC(dc);
    if (length <= 0)
        return NULL;
    Gdiplus::FontFamily* family = new Gdiplus::FontFamily(mapped);
    if (!family->IsAvailable()) {
        delete family;
        return NULL;
    }
    char narrow[LF_FACESIZE * 2] = {0};
    ::WideCharToMultiByte(936, 0, mapped, -1, narrow, sizeof(narrow), NULL, NULL);
    *name = narrow;
    return family;
}

}  // namespace

// Text never silently vanishes: a face that is not installed is replaced and
// the replacement logged.
Gdiplus::Font* CreateFont(const LOGFONTA& font)
{
    char face[LF_FACESIZE + 1];
    memcpy(face, font.lfFaceName, LF_FACESIZE);
    face[LF_FACESIZE] = 0;
    const char* candidates[] = {face, "宋体"};
    Gdiplus::FontFamily* family = NULL;
    CString used;
    for (const char* name : candidates) {
        family = FindFamily(name);
        if (family) {
            used = name;
            break;
        }
    }
    if (!family)
        family = MappedFamily("宋体", font.lfCharSet != ANSI_CHARSET ? font.lfCharSet : GB2312_CHARSET, &used);
    if (!family) {
        const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
        if (generic && generic->IsAvailable()) {
            family = generic->Clone();
            WCHAR name[LF_FACESIZE] = {0};
            family->GetFamilyName(name);
            char narrow[LF_FACESIZE * 2] = {0};
            ::WideCharToMultiByte(936, 0, name, -1, narrow, sizeof(narrow), NULL, NULL);
            used = narrow;
        }
    }
    if (!family)
        return NULL;
    if (used != face) {
        LogPrintf("Overlay text: face \"%s\" is not installed; drawn with \"%s\"\r\n", face, used.GetString());
        if (g_faceFallbackHook)
            g_faceFallbackHook(face, used.GetString());
    }
    float size = (float)std::min(std::abs((long)font.lfHeight), 4000L);
    if (size < 1.0f)
        size = 1.0f;
    Gdiplus::Font* result = new Gdiplus::Font(family, size, FontStyleOf(font), Gdiplus::UnitPixel);
    delete family;
    if (result->GetLastStatus() != Gdiplus::Ok) {
        delete result;
        return NULL;
    }
    return result;
}

TextBox MeasureText(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font& font)
{
    TextBox box = {0, 0, 0, 0};
    if (text.empty())
        return box;
    Gdiplus::StringFormat format;
    Gdiplus::CharacterRange range(0, (INT)text.size());
    format.SetMeasurableCharacterRanges(1, &range);
    Gdiplus::RectF layout(0, 0, 1000, 1000);
    Gdiplus::Region region;
    if (graphics.MeasureCharacterRanges(text.c_str(), (INT)text.size(), &font, layout, &format, 1, &region)
        != Gdiplus::Ok)
        return box;
    Gdiplus::RectF bounds;
    region.GetBounds(&bounds, &graphics);
    box.x = (int)bounds.X;
    box.y = (int)bounds.Y;
    box.width = (int)bounds.Width;
    box.height = (int)bounds.Height;
    return box;
}

}  // namespace overlaygdi
