#pragma once
#include "painter/PntDlg.h"

// Asks for the width, height and colour depth of a new or resized image,
// optionally cropping to the selection. Widths and heights below 1 are
// refused with the framework's range message. UI thread.
class CPntBitmapSizeDlg : public CPntDlg {
public:
    explicit CPntBitmapSizeDlg(CWnd* parent);

    void SetValues(int width, int height, int bitsPerPixel);
    int GetBits() const;
    // The combo index of a bit count (2, "256 色", for a count not offered).
    static int IndexForBits(int bitsPerPixel);
    static int BitsForIndex(int index);
    static const int kMaxSide = 16384;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    int m_height;
    int m_width;
    int m_crop;
    int m_depthIndex;
    BOOL m_cropAllowed;

protected:
    void OnCropClicked();
    DECLARE_MESSAGE_MAP()
};
