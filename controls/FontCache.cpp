#include "controls/FontCache.h"

LOGFONT CFontCache::s_defaultFont;
int CFontCache::s_instances = 0;

CMap<int, int, CFont*, CFont*>& CFontCache::Fonts()
{
    static CMap<int, int, CFont*, CFont*> fonts;
    return fonts;
}

CFontCache::CFontCache()
{
    if (s_instances == 0)
        ZeroMemory(&s_defaultFont, sizeof(s_defaultFont));
    s_instances++;
}

// The last instance deletes the fonts and also empties the map, so that a
// later request builds a new font instead of handing out a deleted one.
CFontCache::~CFontCache()
{
    if (--s_instances > 0)
        return;
    CMap<int, int, CFont*, CFont*>& fonts = Fonts();
    POSITION pos = fonts.GetStartPosition();
    while (pos != NULL) {
        int key = 0;
        CFont* font = NULL;
        fonts.GetNextAssoc(pos, key, font);
        delete font;
    }
    fonts.RemoveAll();
}

void CFontCache::SetDefaultFont(const LOGFONT* pLogFont)
{
    if (pLogFont != NULL)
        memcpy(&s_defaultFont, pLogFont, sizeof(LOGFONT));
}

CFont* CFontCache::GetFont(int key)
{
    CFont* font = NULL;
    if (Fonts().Lookup(key, font) && font != NULL)
        return font;
    font = new CFont;
    font->CreatePointFontIndirect(&s_defaultFont);
    Fonts().SetAt(key, font);
    return font;
}

CFont* CFontCache::SetFont(int key, const LOGFONT* pLogFont, BOOL bPointSize)
{
    delete GetFont(key);
    Fonts().RemoveKey(key);
    CFont* font = new CFont;
    if (pLogFont != NULL) {
        if (bPointSize)
            font->CreatePointFontIndirect(pLogFont);
        else
            font->CreateFontIndirect(pLogFont);
    }
    Fonts().SetAt(key, font);
    return font;
}
