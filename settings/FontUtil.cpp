#include "settings/FontUtil.h"

#include <stdlib.h>

namespace {

struct FontSearch {
    BYTE charSet;
    BYTE family;      // the 0x70 bits, 0 any
    BYTE pitch;       // the 0x03 bits, 0 any
    DWORD fontType;   // 0 any, TRUETYPE_FONTTYPE
    char face[LF_FACESIZE];
};

int CALLBACK MatchFace(const LOGFONTA* lf, const TEXTMETRICA*, DWORD fontType, LPARAM param)
{
    FontSearch* search = reinterpret_cast<FontSearch*>(param);
    if (lf->lfCharSet != search->charSet)
        return 1;
    if (search->family && (lf->lfPitchAndFamily & 0x70) != search->family)
        return 1;
    if (search->pitch && (lf->lfPitchAndFamily & 0x03) != search->pitch)
        return 1;
    if (search->fontType && !(fontType & search->fontType))
        return 1;
    lstrcpynA(search->face, lf->lfFaceName, LF_FACESIZE);
    return 0;   // the first match ends the enumeration
}

bool Search(HDC dc, FontSearch& search, LPCTSTR face)
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfCharSet = DEFAULT_CHARSET;
    if (face)
        lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    search.face[0] = 0;
    ::EnumFontFamiliesExA(dc, &lf, (FONTENUMPROCA)MatchFace, reinterpret_cast<LPARAM>(&search), 0);
    return search.face[0] != 0;
}

}  // namespace

CString EnumerateFonts(BYTE pitchAndFamily, BYTE charSet, LPCTSTR preferredFace, HDC dc)
{
    HDC screen = NULL;
    if (!dc)
        dc = screen = ::GetDC(NULL);
    CString result;
    const BYTE family = pitchAndFamily & 0x70;
    const BYTE pitch = pitchAndFamily & 0x03;
    if (preferredFace && *preferredFace) {
        FontSearch search = { charSet, 0, 0, 0, {} };
        if (Search(dc, search, preferredFace) && lstrcmpA(search.face, preferredFace) == 0)
            result = search.face;
    }
    if (result.IsEmpty()) {
        const FontSearch order[] = {
            { charSet, family, pitch, TRUETYPE_FONTTYPE, {} }, { charSet, family, pitch, 0, {} },
            { charSet, family, 0, TRUETYPE_FONTTYPE, {} },     { charSet, family, 0, 0, {} },
            { charSet, 0, pitch, TRUETYPE_FONTTYPE, {} },      { charSet, 0, pitch, 0, {} },
        };
        for (FontSearch search : order) {
            if (Search(dc, search, NULL)) {
                result = search.face;
                break;
            }
        }
    }
    if (screen)
        ::ReleaseDC(NULL, screen);
    return result;
}

BOOL CreateMatchingPointFont(HFONT* font, int pointSize, BYTE pitchAndFamily, BYTE charSet, LPCTSTR preferredFace,
                             int weight, HDC dc)
{
    if (!font)
        return FALSE;
    if (*font) {
        ::DeleteObject(*font);
        *font = NULL;
    }
    HDC screen = NULL;
    if (!dc)
        dc = screen = ::GetDC(NULL);
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfWeight = weight;
    lf.lfCharSet = charSet;
    lf.lfPitchAndFamily = pitchAndFamily;
    lstrcpynA(lf.lfFaceName, EnumerateFonts(pitchAndFamily, charSet, preferredFace, dc), LF_FACESIZE);
    // The size is in tenths of a point: convert it to logical units of the DC,
    // as a point font is made.
    POINT pt = { 0, ::MulDiv(::GetDeviceCaps(dc, LOGPIXELSY), pointSize, 720) };
    ::DPtoLP(dc, &pt, 1);
    POINT origin = { 0, 0 };
    ::DPtoLP(dc, &origin, 1);
    lf.lfHeight = -abs((int)(pt.y - origin.y));
    *font = ::CreateFontIndirectA(&lf);
    if (screen)
        ::ReleaseDC(NULL, screen);
    return *font != NULL;
}

UINT GetLocaleAnsiCodePage()
{
    char text[16] = {};
    UINT codePage = 0;
    if (::GetLocaleInfoA(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, sizeof(text)))
        codePage = (UINT)atoi(text);
    if (codePage != 0)
        return codePage;
    HDC screen = ::GetDC(NULL);
    CHARSETINFO info;
    UINT result = 0;
    if (::TranslateCharsetInfo((DWORD*)(UINT_PTR)::GetTextCharset(screen), &info, TCI_SRCCHARSET))
        result = info.ciACP;
    ::ReleaseDC(NULL, screen);
    return result;
}

BYTE GetDefaultCharset()
{
    CHARSETINFO info;
    if (::TranslateCharsetInfo((DWORD*)(UINT_PTR)GetLocaleAnsiCodePage(), &info, TCI_SRCCODEPAGE))
        return (BYTE)info.ciCharset;
    HDC screen = ::GetDC(NULL);
    BYTE charset = (BYTE)::GetTextCharset(screen);
    ::ReleaseDC(NULL, screen);
    return charset;
}
