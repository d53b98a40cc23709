#include "app/ShapeImageEditor.h"


#include "controls/Dib.h"
#include "framework/ui/DC.h"
#include "framework/ui/GdiObject.h"
#include "painter/ImageEditDlg.h"
#include "painter/ItemImageEditDlg.h"
#include "painter/PntIconEditDlg.h"

namespace {

CPntEditSettings EditorSettings(CWnd* parent, const ShapeEditorSettings* settings)
{
    CPntEditSettings edit;
    CWnd* owner = parent ? parent : settings ? settings->owner : NULL;
    edit.owner = owner ? owner->GetSafeHwnd() : NULL;
    if (settings)
        edit.transparentColour = settings->transparentColour;
    // The main window's preferences remember the text tool's tip.
    INoteHost* host = GetNoteHost();
    edit.prefs = host ? host->GetNotePrefs() : NULL;
    return edit;
}

} // namespace

int CShapeImageEditor::EditShapeImage(CWnd* parent, CDataShapeObject* shape, ShapeEditorSettings* settings)
{
    if (!shape)
        return 0;
    CPntEditSettings edit = EditorSettings(parent, settings);
    const BOOL changed = ::EditShapeImage(edit, shape);
    if (changed && settings)
        settings->transparentColour = edit.transparentColour;
    return changed ? 1 : 0;
}

BOOL CShapeImageEditor::OpenItemImageEditor(CWnd* parent, CDataShapeObject* shape, ShapeEditorSettings* settings)
{
    if (!shape)
        return FALSE;
    CPntEditSettings edit = EditorSettings(parent, settings);
    return ::OpenItemImageEditor(edit, shape);
}

// The edited picture becomes the colour bitmap, and its transparent colour
// the mask (white where transparent).
BOOL CShapeImageEditor::EditIcon(CWnd* parent, HBITMAP* colour, HBITMAP* mask, int size)
{
    if (!colour || !mask || !*colour || size <= 0)
        return FALSE;
    CPntIconEditDlg dlg(parent);
    if (!dlg.SetIcon(*colour, *mask) || dlg.DoModal() != IDOK)
        return FALSE;
    HBITMAP picture = (HBITMAP)::CopyImage(dlg.GetPaintCtrl().GetImage().GetSafeHandle(), IMAGE_BITMAP, 0, 0, 0);
    HBITMAP newMask = dlg.GetPaintCtrl().MakeMask();
    if (!picture || !newMask) {
        if (picture)
            ::DeleteObject(picture);
        if (newMask)
            ::DeleteObject(newMask);
        return FALSE;
    }
    ::DeleteObject(*colour);
    if (*mask)
        ::DeleteObject(*mask);
    *colour = picture;
    *mask = newMask;
    return TRUE;
}

// A white picture of the size, stored at the depth asked for.
BOOL CShapeImageEditor::CreateBlankImage(int width, int height, int bitsPerPixel, CDib* image)
{
    if (!image || width < 1 || height < 1 || width > 4096 || height > 4096)
        return FALSE;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)
        bitsPerPixel = 24;
    HDC screen = ::GetDC(NULL);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    ::ReleaseDC(NULL, screen);
    BOOL ok = FALSE;
    if (memory && bitmap) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        RECT all = {0, 0, width, height};
        ::FillRect(memory, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
        ::SelectObject(memory, old);
        ok = image->CreateFromBitmap(CDC::FromHandle(memory), CBitmap::FromHandle(bitmap), bitsPerPixel, FALSE);
    }
    if (bitmap)
        ::DeleteObject(bitmap);
    if (memory)
        ::DeleteDC(memory);
    return ok;
}
