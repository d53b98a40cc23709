#include "painter/PntBitmapSizeDlg.h"

#include "framework/ui/DataExchange.h"
#include "resources/ids_painter.h"

namespace {

struct Depth {
    const char* text;
    int bits;
};
const Depth kDepths[] = {
    { "单色", 1 }, { "16 色", 4 }, { "256 色", 8 }, { "高颜色", 16 }, { "真彩色", 24 }, { "32 位色", 32 },
};
const int kDepthCount = (int)(sizeof(kDepths) / sizeof(kDepths[0]));

}  // namespace

BEGIN_MESSAGE_MAP(CPntBitmapSizeDlg, CPntDlg)
    ON_BN_CLICKED(IDC_PNT_SIZE_CROP, OnCropClicked)
END_MESSAGE_MAP()

CPntBitmapSizeDlg::CPntBitmapSizeDlg(CWnd* parent)
    : CPntDlg(IDD_PNT_BITMAP_SIZE, parent), m_height(0), m_width(0), m_crop(0), m_depthIndex(1),
      m_cropAllowed(FALSE)
{
}

int CPntBitmapSizeDlg::IndexForBits(int bitsPerPixel)
{
    for (int i = 0; i < kDepthCount; ++i)
        if (kDepths[i].bits == bitsPerPixel)
            return i;
    return 2;
}

int CPntBitmapSizeDlg::BitsForIndex(int index)
{
    return index >= 0 && index < kDepthCount ? kDepths[index].bits : 8;
}

void CPntBitmapSizeDlg::SetValues(int width, int height, int bitsPerPixel)
{
    m_width = width;
    m_height = height;
    m_depthIndex = IndexForBits(bitsPerPixel);
}

int CPntBitmapSizeDlg::GetBits() const
{
    return BitsForIndex(m_depthIndex);
}

BOOL CPntBitmapSizeDlg::OnInitDialog()
{
    CPntDlg::OnInitDialog();
    if (CWnd* combo = GetDlgItem(IDC_PNT_SIZE_DEPTH)) {
        for (const Depth& d : kDepths)
            combo->SendMessage(CB_ADDSTRING, 0, (LPARAM)d.text);
        combo->SendMessage(CB_SETCURSEL, (WPARAM)m_depthIndex, 0);
    }
    if (CWnd* crop = GetDlgItem(IDC_PNT_SIZE_CROP))
        crop->EnableWindow(m_cropAllowed);
    OnCropClicked();
    return TRUE;
}

void CPntBitmapSizeDlg::DoDataExchange(CDataExchange* pDX)
{
    CPntDlg::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_PNT_SIZE_HEIGHT, m_height);
    if (!m_crop)
        DDV_MinMaxInt(pDX, m_height, 1, kMaxSide);
    DDX_Text(pDX, IDC_PNT_SIZE_WIDTH, m_width);
    if (!m_crop)
        DDV_MinMaxInt(pDX, m_width, 1, kMaxSide);
    DDX_Check(pDX, IDC_PNT_SIZE_CROP, m_crop);
    DDX_CBIndex(pDX, IDC_PNT_SIZE_DEPTH, m_depthIndex);
}

// The size fields apply only when the picture is not cropped to the selection.
void CPntBitmapSizeDlg::OnCropClicked()
{
    m_crop = (int)::IsDlgButtonChecked(m_hWnd, IDC_PNT_SIZE_CROP) == BST_CHECKED;
    for (UINT id = IDC_PNT_SIZE_WIDTH_LABEL; id <= IDC_PNT_SIZE_HEIGHT; ++id)
        if (CWnd* item = GetDlgItem(id))
            item->EnableWindow(!m_crop);
}
