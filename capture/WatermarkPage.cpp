#include "capture/WatermarkPage.h"

#include "controls/LongFileDialog.h"
#include "controls/ImageTipDlg.h"
#include "framework/Module.h"
#include "framework/WinApp.h"
#include "framework/ui/DC.h"
#include "framework/ui/FileDialog.h"
#include "framework/ui/MsgMap.h"
#include "resources/ids_watermark.h"

#include <gdiplus.h>

#include <commctrl.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const UINT kDirectionStrings[8] = {
    IDS_EMBOSS_NORTH, IDS_EMBOSS_NORTH_EAST, IDS_EMBOSS_EAST, IDS_EMBOSS_SOUTH_EAST,
    IDS_EMBOSS_SOUTH, IDS_EMBOSS_SOUTH_WEST, IDS_EMBOSS_WEST, IDS_EMBOSS_NORTH_WEST,
};

// Controls that follow the include box.
const int kIncludeIds[] = {
    IDC_WM_PATH, IDC_WM_BROWSE, IDC_WM_PATH_GROUP, IDC_WM_SIZE_GROUP, IDC_WM_POSITION_GROUP,
    IDC_WM_EFFECT_GROUP, IDC_WM_OPACITY, IDC_WM_OPACITY_LABEL, IDC_WM_OPACITY_VALUE,
    IDC_WM_OPACITY_UNIT, IDC_WM_EMBOSS, IDC_WM_KEEP_IMAGE_SIZE, IDC_WM_PREVIEW,
};
const int kScaleIds[] = {
    IDC_WM_SCALE, IDC_WM_SCALE_LABEL, IDC_WM_SCALE_VALUE, IDC_WM_SCALE_UNIT,
    IDC_WM_KEEP_ASPECT, IDC_WM_SMOOTH,
};
const int kHorizontalIds[] = {IDC_WM_HORZ_LABEL, IDC_WM_HORZ_OFFSET, IDC_WM_HORZ_VALUE, IDC_WM_HORZ_UNIT};
const int kVerticalIds[] = {IDC_WM_VERT_LABEL, IDC_WM_VERT_OFFSET, IDC_WM_VERT_VALUE, IDC_WM_VERT_UNIT};
const int kEmbossIds[] = {
    IDC_WM_EMBOSS_DIRECTION, IDC_WM_DIRECTION_LABEL, IDC_WM_DEPTH, IDC_WM_DEPTH_LABEL, IDC_WM_DEPTH_VALUE,
};
const int kTransparentIds[] = {IDC_WM_USE_TRANSPARENT, IDC_WM_CHANGE_COLOUR, IDC_WM_COLOUR_SWATCH};

template <size_t N> int Count(const int (&)[N])
{
    return (int)N;
}

bool ImageOpens(const char* path)
{
    GpBitmap* image = LoadWatermarkImage(path);
    if (!image)
        return false;
    GdipDisposeImage(image);
    return true;
}

void ShowOpenFailure(const CString& path)
{
    CString text;
    text.Format(IDS_WATERMARK_OPEN_FAILED, (LPCTSTR)path);
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

// ---------------------------------------------------------------------------
// Preview

BEGIN_MESSAGE_MAP(CWatermarkPreviewDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CWatermarkPreviewDlg::CWatermarkPreviewDlg(const WatermarkSettings* settings)
    : CDialog(IDD_WATERMARK_PREVIEW), m_settings(settings), m_watermark(settings, &m_placement),
      m_source(NULL)
{
    m_placement.x = m_placement.y = m_placement.w = m_placement.h = 0.0f;
}

CWatermarkPreviewDlg::~CWatermarkPreviewDlg()
{
    DropImages();
    if (::IsWindow(m_hWnd))
        DestroyWindow();
}

void CWatermarkPreviewDlg::DropImages()
{
    m_watermark.DropPrepared();
    if (m_source) {
        GdipDisposeImage(m_source);
        m_source = NULL;
    }
}

void CWatermarkPreviewDlg::DropProcessed()
{
    m_watermark.DropPrepared();
}

BOOL CWatermarkPreviewDlg::OnEraseBkgnd(CDC*)
{
    return TRUE;   // the paint covers the whole client area
}

// Paints off screen first so that the gradient, the watermark and its
// transparency reach the window in one copy.
void CWatermarkPreviewDlg::OnPaint()
{
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    const int width = client.right;
    const int height = client.bottom;
    if (width < 1 || height < 1)
        return;

    GpBitmap* canvas = NULL;
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, NULL, &canvas) != Ok)
        return;
    GpGraphics* g = NULL;
    if (GdipGetImageGraphicsContext(canvas, &g) == Ok) {
        GpRectF area(0.0f, 0.0f, (REAL)width, (REAL)height);
        GpLineGradient* brush = NULL;
        if (GdipCreateLineBrushFromRectWithAngle(&area, 0xFF000000u, 0xFFFFFFFFu, 45.0f, FALSE,
                                                 WrapModeTile, &brush) == Ok) {
            GdipFillRectangle(g, brush, 0.0f, 0.0f, (REAL)width, (REAL)height);
            GdipDeleteBrush(brush);
        }

        if (!m_source && !m_settings->m_strImagePath.IsEmpty())
            m_source = LoadWatermarkImage(m_settings->m_strImagePath);
        if (m_source && !m_watermark.Prepared())
            m_watermark.Prepare(m_source, width, height);
        if (m_source && m_watermark.Prepared()) {
            UINT iw = 0, ih = 0;
            GdipGetImageWidth(m_source, &iw);
            GdipGetImageHeight(m_source, &ih);
            m_watermark.ComputePlacement(width, height, (int)iw, (int)ih);
            m_watermark.DrawWithOpacity(g, m_watermark.Prepared());
        }
        GdipDeleteGraphics(g);
    }

    GpGraphics* screen = NULL;
    if (GdipCreateFromHDC(dc.m_hDC, &screen) == Ok) {
        GdipDrawImageRectI(screen, canvas, 0, 0, width, height);
        GdipDeleteGraphics(screen);
    }
    GdipDisposeImage(canvas);
}

// ---------------------------------------------------------------------------
// Page

BEGIN_MESSAGE_MAP(CWatermarkPage, CPropertyPage)
    ON_BN_CLICKED(IDC_WM_INCLUDE, OnInclude)
    ON_BN_CLICKED(IDC_WM_BROWSE, OnBrowse)
    ON_BN_CLICKED(IDC_WM_PREVIEW, OnPreviewButton)
    ON_BN_CLICKED(IDC_WM_EMBOSS, OnEmboss)
    ON_BN_CLICKED(IDC_WM_USE_TRANSPARENT, OnUseTransparent)
    ON_BN_CLICKED(IDC_WM_KEEP_ASPECT, OnKeepAspect)
    ON_BN_CLICKED(IDC_WM_SMOOTH, OnSmooth)
    ON_BN_CLICKED(IDC_WM_KEEP_IMAGE_SIZE, OnKeepImageSize)
    ON_BN_CLICKED(IDC_WM_CHANGE_COLOUR, OnChangeColour)
    ON_CBN_SELCHANGE(IDC_WM_EMBOSS_DIRECTION, OnDirectionChanged)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_WM_POSITION_FIRST, IDC_WM_POSITION_LAST, OnPosition)
    ON_WM_HSCROLL()
    ON_WM_PAINT()
END_MESSAGE_MAP()

CWatermarkPage::CWatermarkPage(CWnd* pHostWnd, CWnd* pParentWnd)
    : CPropertyPage(IDD_WATERMARK_PAGE), m_pHostWnd(pHostWnd), m_preview(NULL), m_browseIcon(NULL)
{
    m_pParentWnd = pParentWnd;
}

CWatermarkPage::~CWatermarkPage()
{
    delete m_preview;
    if (m_browseIcon)
        ::DestroyIcon(m_browseIcon);
}

BOOL CWatermarkPage::IsChecked(int id) const
{
    return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CWatermarkPage::SetSlider(int id, int labelId, int low, int high, int value)
{
    HWND slider = ::GetDlgItem(m_hWnd, id);
    ::SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELPARAM(low, high));
    ::SendMessageA(slider, TBM_SETPOS, TRUE, value);
    CString text;
    text.Format("%d", (int)::SendMessageA(slider, TBM_GETPOS, 0, 0));
    ::SetDlgItemTextA(m_hWnd, labelId, text);
}

BOOL CWatermarkPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    LoadSettings();

    // Shown in a host, the host closes the page: the sheet's own buttons go.
    // Standing alone, the page is the watermark's own settings: no include box.
    if (m_pHostWnd) {
        HWND sheet = ::GetParent(m_hWnd);
        static const int kSheetButtons[] = {IDOK, IDCANCEL, IDHELP};
        for (int id : kSheetButtons) {
            HWND button = ::GetDlgItem(sheet, id);
            if (button)
                ::ShowWindow(button, SW_HIDE);
        }
    } else {
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_WM_INCLUDE), SW_HIDE);
    }

    m_browseIcon = (HICON)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_WATERMARK_BROWSE),
                                       IMAGE_ICON, 16, 16, 0);
    if (m_browseIcon)
        ::SendDlgItemMessageA(m_hWnd, IDC_WM_BROWSE, BM_SETIMAGE, IMAGE_ICON, (LPARAM)m_browseIcon);

    ::CheckDlgButton(m_hWnd, IDC_WM_INCLUDE, m_values.m_bInclude ? BST_CHECKED : BST_UNCHECKED);
    ::SetDlgItemTextA(m_hWnd, IDC_WM_PATH, m_values.m_strImagePath);
    const int length = m_values.m_strImagePath.GetLength();
    ::SendDlgItemMessageA(m_hWnd, IDC_WM_PATH, EM_SETSEL, length, length);
    ::SendDlgItemMessageA(m_hWnd, IDC_WM_PATH, EM_SCROLLCARET, 0, 0);

    ::CheckDlgButton(m_hWnd, IDC_WM_USE_TRANSPARENT, m_values.m_bUseTransparentColor ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_WM_KEEP_ASPECT, m_values.m_bKeepAspectRatio ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_WM_SMOOTH, m_values.m_bSmoothScale ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_WM_KEEP_IMAGE_SIZE, m_values.m_bPreserveSize ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_WM_EMBOSS, m_values.m_bEmboss ? BST_CHECKED : BST_UNCHECKED);

    SetSlider(IDC_WM_OPACITY, IDC_WM_OPACITY_VALUE, 0, 100, m_values.m_nOpacity);
    SetSlider(IDC_WM_SCALE, IDC_WM_SCALE_VALUE, 1, 100, m_values.m_nImageScale);
    SetSlider(IDC_WM_HORZ_OFFSET, IDC_WM_HORZ_VALUE, 0, 50, m_values.m_nHorizontalOffset);
    SetSlider(IDC_WM_VERT_OFFSET, IDC_WM_VERT_VALUE, 0, 50, m_values.m_nVerticalOffset);
    SetSlider(IDC_WM_DEPTH, IDC_WM_DEPTH_VALUE, 0, 100, m_values.m_nEmbossDepth);

    HWND combo = ::GetDlgItem(m_hWnd, IDC_WM_EMBOSS_DIRECTION);
    for (UINT id : kDirectionStrings) {
        CString name;
        name.LoadString(id);
        ::SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)(LPCTSTR)name);
    }
    ::SendMessageA(combo, CB_SETCURSEL, (WPARAM)m_values.m_nEmbossDirection, 0);

    if (m_values.m_nPosition >= 0 && m_values.m_nPosition <= 8)
        ::CheckRadioButton(m_hWnd, IDC_WM_POSITION_FIRST, IDC_WM_POSITION_LAST,
                           IDC_WM_POSITION_FIRST + m_values.m_nPosition);
    ApplyEnabling();
    return TRUE;
}

void CWatermarkPage::EnableIds(const int* ids, int count, BOOL enable)
{
    for (int i = 0; i < count; ++i) {
        HWND control = ::GetDlgItem(m_hWnd, ids[i]);
        if (control)
            ::EnableWindow(control, enable);
    }
}

// One rule for every control: the include box (when it is shown) gates all;
// within it, keep-image-size gates the scale, emboss gates its direction and
// depth against the transparent colour, and the position's row and column
// gate the offsets that can move the watermark.
void CWatermarkPage::ApplyEnabling()
{
    const BOOL include = m_pHostWnd ? IsChecked(IDC_WM_INCLUDE) : TRUE;
    const BOOL emboss = IsChecked(IDC_WM_EMBOSS);
    const BOOL keepSize = IsChecked(IDC_WM_KEEP_IMAGE_SIZE);
    int position = m_values.m_nPosition;
    if (position < 0 || position > 8)
        position = 8;

    EnableIds(kIncludeIds, Count(kIncludeIds), include);
    for (int id = IDC_WM_POSITION_FIRST; id <= IDC_WM_POSITION_LAST; ++id)
        ::EnableWindow(::GetDlgItem(m_hWnd, id), include);
    EnableIds(kScaleIds, Count(kScaleIds), include && !keepSize);
    EnableIds(kHorizontalIds, Count(kHorizontalIds), include && position % 3 != 1);
    EnableIds(kVerticalIds, Count(kVerticalIds), include && position / 3 != 1);
    EnableIds(kEmbossIds, Count(kEmbossIds), include && emboss);
    EnableIds(kTransparentIds, Count(kTransparentIds), include && !emboss);
}

// A hidden preview drops its image too: it is shown again with the settings
// of that moment.
void CWatermarkPage::RefreshPreview()
{
    if (!m_preview)
        return;
    m_preview->DropProcessed();
    if (::IsWindow(m_preview->m_hWnd) && m_preview->IsWindowVisible())
        m_preview->Invalidate(TRUE);
}

// The preview opens beside the host (or the page): on its right, centred
// vertically, or on its left when the right would leave the screen.
void CWatermarkPage::ShowPreview()
{
    if (!m_preview) {
        m_preview = new CWatermarkPreviewDlg(&m_values);
        if (!m_preview->Create(IDD_WATERMARK_PREVIEW, this)) {
            delete m_preview;
            m_preview = NULL;
            return;
        }
    }
    CWnd* anchor = m_pHostWnd ? m_pHostWnd : this;
    RECT host, own;
    anchor->GetWindowRect(&host);
    m_preview->GetWindowRect(&own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = host.right;
    const int y = host.top + ((host.bottom - host.top) - height) / 2;
    if (x + width > ::GetSystemMetrics(SM_CXSCREEN))
        x = host.left - width;
    m_preview->SetWindowPos(NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_preview->ShowWindow(SW_SHOWNOACTIVATE);
}

BOOL CWatermarkPage::OnSetActive()
{
    CPropertyPage::OnSetActive();
    ShowPreview();
    return TRUE;
}

void CWatermarkPage::TakePathFromEdit()
{
    CString path;
    CWnd::FromHandle(::GetDlgItem(m_hWnd, IDC_WM_PATH))->GetWindowText(path);
    if (path.CompareNoCase(m_values.m_strImagePath) != 0 && m_preview)
        m_preview->DropImages();
    m_values.m_strImagePath = path;
}

BOOL CWatermarkPage::ValidateAndStore()
{
    TakePathFromEdit();
    if (m_values.m_bInclude && !ImageOpens(m_values.m_strImagePath)) {
        ShowOpenFailure(m_values.m_strImagePath);
        return FALSE;
    }
    StoreSettings();
    return TRUE;
}

BOOL CWatermarkPage::OnKillActive()
{
    if (!ValidateAndStore())
        return FALSE;
    if (!CPropertyPage::OnKillActive())
        return FALSE;
    if (m_preview && ::IsWindow(m_preview->m_hWnd))
        m_preview->ShowWindow(SW_HIDE);
    return TRUE;
}

BOOL CWatermarkPage::OnApply()
{
    if (!ValidateAndStore())
        return FALSE;
    return CPropertyPage::OnApply();
}

void CWatermarkPage::OnInclude()
{
    const BOOL include = IsChecked(IDC_WM_INCLUDE);
    if (include && IsHintDue()) {
        CImageTipDlg hint(this, GetHintCaptionId());
        hint.SetTipStrings(IDS_WATERMARK_HINT_TITLE, IDS_WATERMARK_HINT_TEXT);
        hint.DoModal();
        SetHintDue(hint.GetShowAgain());
    }
    m_values.m_bInclude = include;
    ApplyEnabling();
    RefreshPreview();
}

void CWatermarkPage::OnBrowse()
{
    CString filter, title, path;
    filter.LoadString(IDS_WATERMARK_FILTER);
    title.LoadString(IDS_WATERMARK_BROWSE_TITLE);
    CWnd::FromHandle(::GetDlgItem(m_hWnd, IDC_WM_PATH))->GetWindowText(path);
    CLongFileDialog dialog(TRUE, "bmp", path, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, filter, this, 0,
                           ".bmp;.gif;.jpg;.png");
    dialog.m_ofn.lpstrTitle = title;
    if (dialog.DoModal() != IDOK)
        return;
    path = dialog.GetPathName();
    ::SetDlgItemTextA(m_hWnd, IDC_WM_PATH, path);
    if (!ImageOpens(path))
        ShowOpenFailure(path);
    TakePathFromEdit();
    RefreshPreview();
}

void CWatermarkPage::OnPreviewButton()
{
    ShowPreview();
}

// Emboss replaces the colours by edges, so keying a colour means nothing
// while it is on: the stored switch is off whatever the box shows.
void CWatermarkPage::OnEmboss()
{
    m_values.m_bEmboss = IsChecked(IDC_WM_EMBOSS);
    m_values.m_bUseTransparentColor = m_values.m_bEmboss ? FALSE : IsChecked(IDC_WM_USE_TRANSPARENT);
    ApplyEnabling();
    RefreshPreview();
}

void CWatermarkPage::OnUseTransparent()
{
    m_values.m_bUseTransparentColor = IsChecked(IDC_WM_USE_TRANSPARENT);
    RefreshPreview();
}

void CWatermarkPage::OnKeepAspect()
{
    m_values.m_bKeepAspectRatio = IsChecked(IDC_WM_KEEP_ASPECT);
    RefreshPreview();
}

void CWatermarkPage::OnSmooth()
{
    m_values.m_bSmoothScale = IsChecked(IDC_WM_SMOOTH);
    RefreshPreview();
}

void CWatermarkPage::OnKeepImageSize()
{
    m_values.m_bPreserveSize = IsChecked(IDC_WM_KEEP_IMAGE_SIZE);
    ApplyEnabling();
    RefreshPreview();
}

void CWatermarkPage::OnDirectionChanged()
{
    const int selection = (int)::SendDlgItemMessageA(m_hWnd, IDC_WM_EMBOSS_DIRECTION, CB_GETCURSEL, 0, 0);
    if (selection >= 0)
        m_values.m_nEmbossDirection = selection;
    RefreshPreview();
}

void CWatermarkPage::OnChangeColour()
{
    CColorDialog dialog(m_values.m_crTransparentColor, CC_RGBINIT, this);
    if (dialog.DoModal() != IDOK)
        return;
    m_values.m_crTransparentColor = dialog.GetColor();
    RECT swatch;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_WM_COLOUR_SWATCH), &swatch);
    ScreenToClient(&swatch);
    InvalidateRect(&swatch, TRUE);
    RefreshPreview();
}

void CWatermarkPage::OnPosition(UINT nID)
{
    m_values.m_nPosition = (int)(nID - IDC_WM_POSITION_FIRST);
    ApplyEnabling();
    RefreshPreview();
}

void CWatermarkPage::OnHScroll(UINT, UINT, CScrollBar* pScrollBar)
{
    HWND slider = pScrollBar ? pScrollBar->GetSafeHwnd() : NULL;
    if (!slider)
        return;
    const int position = (int)::SendMessageA(slider, TBM_GETPOS, 0, 0);
    int labelId = 0;
    switch (::GetDlgCtrlID(slider)) {
    case IDC_WM_OPACITY:
        m_values.m_nOpacity = position;
        labelId = IDC_WM_OPACITY_VALUE;
        break;
    case IDC_WM_SCALE:
        m_values.m_nImageScale = position;
        labelId = IDC_WM_SCALE_VALUE;
        break;
    case IDC_WM_HORZ_OFFSET:
        m_values.m_nHorizontalOffset = position;
        labelId = IDC_WM_HORZ_VALUE;
        break;
    case IDC_WM_VERT_OFFSET:
        m_values.m_nVerticalOffset = position;
        labelId = IDC_WM_VERT_VALUE;
        break;
    case IDC_WM_DEPTH:
        m_values.m_nEmbossDepth = position;
        labelId = IDC_WM_DEPTH_VALUE;
        break;
    default:
        return;
    }
    CString text;
    text.Format("%d", position);
    ::SetDlgItemTextA(m_hWnd, labelId, text);
    RefreshPreview();
}

// The swatch control only draws its frame; the page fills it with the colour.
void CWatermarkPage::OnPaint()
{
    CPaintDC dc(this);
    RECT swatch;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_WM_COLOUR_SWATCH), &swatch);
    ScreenToClient(&swatch);
    ::InflateRect(&swatch, -1, -1);
    HBRUSH brush = ::CreateSolidBrush(m_values.m_crTransparentColor);
    ::FillRect(dc.m_hDC, &swatch, brush);
    ::DeleteObject(brush);
}
