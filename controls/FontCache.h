#pragma once
#include "framework/Collections.h"
#include "framework/ui/GdiObject.h"

// A process-wide cache of fonts by integer key, shared by every instance. The
// application keeps one instance from start-up to exit; the fonts live until
// the last instance goes. UI thread only.
class CFontCache {
public:
    CFontCache();
    virtual ~CFontCache();

    // Copies the description used for keys that were never set.
    static void SetDefaultFont(const LOGFONT* pLogFont);
    // The font of the key, created from the default description (height in
    // tenths of a point) on first request.
    static CFont* GetFont(int key);
    // Replaces the key's font; with bPointSize the height is in tenths of a
    // point, else in logical units.
    static CFont* SetFont(int key, const LOGFONT* pLogFont, BOOL bPointSize);

private:
    static LOGFONT s_defaultFont;
    static int s_instances;
    static CMap<int, int, CFont*, CFont*>& Fonts();
};
