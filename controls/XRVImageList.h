#pragma once
#include "framework/ui/ImageList.h"

// An image list filled from icon resources, optionally in grey.
class XRVImageList : public CImageList {
    DECLARE_DYNCREATE(XRVImageList)
public:
    XRVImageList() : m_bGrey(0) {}

    // Loads the icon (the given size) from the resource module and appends it,
    // in grey when bGrey or the list's grey flag is set; the new index or -1.
    int AddIconResource(UINT nIconId, int cx, int cy, BOOL bGrey = FALSE);
    // A grey copy of an icon (luminance 0.299 R + 0.587 G + 0.114 B, alpha
    // and mask kept); null on failure. The caller destroys it.
    static HICON CreateGreyIcon(HICON hIcon);

    BYTE m_bGrey;
};
