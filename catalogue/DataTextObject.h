#pragma once
#include "catalogue/DataGenericObject.h"
#include "catalogue/NoteStyle.h"

// A text note: the generic fields and a note style (colours, font, text,
// frame, size). Record: the generic record, then (major version 3 on) the
// style: nine words, face and text, five words. UI thread.
class CDataTextObject : public CDataGenericObject, public CNoteStyle {
    DECLARE_DYNAMIC(CDataTextObject)
public:
    static const char kTypeName[];      // "Skorvale Note"

    // A fresh id and the text-note defaults.
    CDataTextObject();
    // The same id, position, opacity and style.
    CDataTextObject(const CDataTextObject& other);
    // A fresh id and the given style.
    explicit CDataTextObject(const CNoteStyle& style);
    ~CDataTextObject() override;

    void CopyFrom(const CDataTextObject& other);

    void Exchange(CArchive& ar, DWORD version) override;
    void RenderIcon(HWND hWnd, CCatalogueOb* item) override;
    CString GetTypeName() const override { return kTypeName; }

    // A font of the style at `height` (the style's height when 0); the
    // stock fixed font's when both are 0. The caller deletes it; NULL when
    // it cannot be made.
    HFONT CreateNoteFont(int height) const;
    // The largest font, from the style's height one step at a time towards
    // 0, in which "Ab" fits the rectangle; NULL when none does.
    HFONT FitNoteFont(HDC dc, const RECT& rect) const;
    // The frame width the 32 x 32 icon draws with.
    int IconFrameWidth() const;
};
