#pragma once
#include "catalogue/DataGenericObject.h"
#include "controls/Dib.h"
#include "settings/TextStyle.h"

struct ImgBitmap;

// A shape: a picture with a key colour drawn transparent, its scale on the
// desktop and an optional caption. Record: the generic record, then (major
// version 2 on) the picture's archive form, the key colour, the two scale
// percentages, the keep-aspect word and the caption's style. UI thread.
class CDataShapeObject : public CDataGenericObject {
    DECLARE_DYNAMIC(CDataShapeObject)
public:
    static const char kTypeName[];      // "Skorvale Format"
    static const COLORREF kNoKey = 0xFFFFFFFF;

    CDataShapeObject();
    // The same id, position, opacity, picture, key colour, scale and caption.
    CDataShapeObject(const CDataShapeObject& other);
    ~CDataShapeObject() override;

    void Exchange(CArchive& ar, DWORD version) override;
    void RenderIcon(HWND hWnd, CCatalogueOb* item) override;
    CString GetTypeName() const override { return kTypeName; }

    // keepAspect is stored and reported as 0 whenever the percentages differ.
    void SetScale(int keepAspect, int widthPercent, int heightPercent);
    void GetScale(int* keepAspect, int* widthPercent, int* heightPercent) const;

    // The shape as it shows on the desktop: the picture stretched to its
    // scale (width x widthPercent / 100 by height x heightPercent / 100) with
    // COLORONCOLOR, so no pixel blends the key colour with its neighbours,
    // the caption drawn over it in its rectangle scaled the same way, and a
    // monochrome mask whose set bits are the key-coloured pixels (none
    // without a key). Bitmaps compatible with `refDC`; the caller deletes
    // them. FALSE for an empty picture or a scale that leaves no pixel.
    BOOL RenderScaled(HDC refDC, HBITMAP* picture, HBITMAP* mask, SIZE* size) const;

    CDib m_image;
    COLORREF m_transparentColour;
    int m_widthPercent;
    int m_heightPercent;
    int m_keepAspect;
    CTextStyle m_caption;
};

// Loads a BMP, GIF or JPEG file into `image`; *transparent gets the GIF's key
// colour, else 0xFFFFFFFF. `holder` keeps the loaded library bitmap for the
// caller (the new-shape dialog); with none a bitmap of its own is used and
// freed. 1 on success, 0 on any failure.
int LoadImageFile(const CString& path, CDib& image, COLORREF* transparent, ImgBitmap* holder);
