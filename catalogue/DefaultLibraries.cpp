#include "catalogue/DefaultLibraries.h"

#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "framework/ui/DC.h"
#include "framework/ui/GdiObject.h"

#include <memory>

namespace defaultlibraries {

const char* const kShapesFile = "我的形状.skoo";
const char* const kNotesFile = "我的文字便条.skot";
const char* const kLayoutsFile = "编排.skol";

namespace {

const COLORREF kKey = RGB(255, 0, 255);
const DWORD kSeed = 0x5C0DE;    // fixed, so the shipped ids never change

enum ShapeKind { kArrow, kHighlight, kCallout };

// Draws one of the shapes on the key colour into a 24-bit picture.
BOOL DrawShape(ShapeKind kind, int w, int h, CDib& image)
{
    HDC screen = ::GetDC(NULL);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(NULL, screen);
    if (!bitmap || !dc) {
        if (dc)
            ::DeleteDC(dc);
        if (bitmap)
            ::DeleteObject(bitmap);
        return FALSE;
    }
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    HBRUSH key = ::CreateSolidBrush(kKey);
    RECT all = { 0, 0, w, h };
    ::FillRect(dc, &all, key);
    ::DeleteObject(key);
    HPEN pen = NULL;
    HBRUSH fill = NULL;
    switch (kind) {
    case kArrow: {
        pen = ::CreatePen(PS_SOLID, 2, RGB(128, 0, 0));
        fill = ::CreateSolidBrush(RGB(230, 30, 30));
        HGDIOBJ p = ::SelectObject(dc, pen), b = ::SelectObject(dc, fill);
        const POINT arrow[7] = { { 4, h * 3 / 8 }, { w * 5 / 8, h * 3 / 8 }, { w * 5 / 8, 4 }, { w - 4, h / 2 },
                                 { w * 5 / 8, h - 4 }, { w * 5 / 8, h * 5 / 8 }, { 4, h * 5 / 8 } };
        ::Polygon(dc, arrow, 7);
        ::SelectObject(dc, p);
        ::SelectObject(dc, b);
        break;
    }
    case kHighlight: {
        pen = ::CreatePen(PS_SOLID, 6, RGB(255, 200, 0));
        HGDIOBJ p = ::SelectObject(dc, pen), b = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        ::Ellipse(dc, 4, 4, w - 4, h - 4);
        ::SelectObject(dc, p);
        ::SelectObject(dc, b);
        break;
    }
    case kCallout: {
        pen = ::CreatePen(PS_SOLID, 2, RGB(40, 40, 120));
        fill = ::CreateSolidBrush(RGB(255, 255, 225));
        HGDIOBJ p = ::SelectObject(dc, pen), b = ::SelectObject(dc, fill);
        const POINT callout[7] = { { 2, 2 }, { w - 3, 2 }, { w - 3, h * 2 / 3 }, { w / 3, h * 2 / 3 },
                                   { w / 6, h - 3 }, { w / 5, h * 2 / 3 }, { 2, h * 2 / 3 } };
        ::Polygon(dc, callout, 7);
        ::SelectObject(dc, p);
        ::SelectObject(dc, b);
        break;
    }
    }
    if (pen)
        ::DeleteObject(pen);
    if (fill)
        ::DeleteObject(fill);
    ::SelectObject(dc, oldBitmap);
    const BOOL ok = image.CreateFromBitmap(CDC::FromHandle(dc), CBitmap::FromHandle(bitmap), 24, FALSE) &&
                    !image.IsEmpty();
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
    return ok;
}

BOOL SaveLibrary(CCataloguePropertyObject& cat, const CString& path)
{
    ::DeleteFileA(path);
    cat.m_path = path;
    return cat.Save(0) == 0;
}

BOOL WriteShapes(const CString& path, HWND hRefWnd)
{
    struct Shape {
        const char* name;
        ShapeKind kind;
        int w, h;
    } shapes[] = {
        { "箭头", kArrow, 120, 64 },
        { "突出显示", kHighlight, 160, 100 },
        { "标注", kCallout, 180, 120 },
    };
    CCataloguePropertyObject cat;
    cat.m_pageType = 1;
    for (const Shape& s : shapes) {
        CDataShapeObject shape;
        if (!DrawShape(s.kind, s.w, s.h, shape.m_image))
            return FALSE;
        shape.m_transparentColour = kKey;
        cat.InsertItem(cat.GetItemCount(), shape.MakeCatalogueItem(s.name, hRefWnd));
    }
    return SaveLibrary(cat, path);
}

BOOL WriteNotes(const CString& path, HWND hRefWnd)
{
    struct Note {
        const char* name;
        const char* text;
        COLORREF background;
        COLORREF textColour;
        DWORD flags;
        int weight;
    } notes[] = {
        { "注意", "注意：这里是重点。", RGB(255, 255, 160), RGB(0, 0, 0), 0x20 | 0x10 | 0x08 | 0x02, 700 },
        { "提示", "提示：单击这里继续。", RGB(200, 255, 200), RGB(0, 64, 0), 0x40 | 0x10, 400 },
        { "步骤", "第一步", RGB(255, 255, 255), RGB(0, 0, 160), 0x60 | 0x08 | 0x02, 700 },
    };
    CCataloguePropertyObject cat;
    cat.m_pageType = 2;
    for (const Note& n : notes) {
        CDataTextObject note;
        note.m_text = n.text;
        note.m_backgroundColor = n.background;
        note.m_textColor = n.textColour;
        note.m_flags = n.flags;
        note.m_fontWeight = n.weight;
        note.m_fontHeight = -16;
        note.m_noteWidth = 240;
        note.m_noteHeight = 90;
        cat.InsertItem(cat.GetItemCount(), note.MakeCatalogueItem(n.name, hRefWnd));
    }
    return SaveLibrary(cat, path);
}

}  // namespace

BOOL Write(const CString& folder, HWND hRefWnd)
{
    CDataGenericObject::Seed(kSeed);
    CCataloguePropertyObject layouts;
    layouts.m_pageType = 0;
    return WriteShapes(folder + "\\" + kShapesFile, hRefWnd) && WriteNotes(folder + "\\" + kNotesFile, hRefWnd) &&
           SaveLibrary(layouts, folder + "\\" + kLayoutsFile);
}

}  // namespace defaultlibraries
