#pragma once
// The screen notes' image editor: the image editor's dialogs behind the
// interface the catalogue and the floaters call. Registered at start-up.
#include "catalogue/NoteHost.h"

class CShapeImageEditor : public IShapeImageEditor {
public:
    int EditShapeImage(CWnd* parent, CDataShapeObject* shape, ShapeEditorSettings* settings) override;
    BOOL OpenItemImageEditor(CWnd* parent, CDataShapeObject* shape, ShapeEditorSettings* settings) override;
    BOOL EditIcon(CWnd* parent, HBITMAP* colour, HBITMAP* mask, int size) override;
    BOOL CreateBlankImage(int width, int height, int bitsPerPixel, CDib* image) override;
};
