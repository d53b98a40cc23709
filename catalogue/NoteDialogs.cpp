#include "catalogue/NoteDialogs.h"

#include "capture/DesktopUtil.h"
#include "catalogue/AutoSizeEdit.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/NoteHost.h"
#include "framework/WinApp.h"
#include "framework/ui/AfxWin.h"
#include "resources/ids_notes.h"

#include <commctrl.h>
#include <commdlg.h>
#include <stdlib.h>

namespace {

// A whole decimal number of at most `maxDigits` digits, else -1.
int ReadWholeNumber(const CWnd* dialog, int id, int maxDigits)
{
    char text[32] = "";
    ::GetDlgItemTextA(dialog->GetSafeHwnd(), id, text, sizeof text);
    int n = 0, digits = 0;
    const char* p = text;
    while (*p == ' ')
        ++p;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (++digits > maxDigits)
            return -1;
        n = n * 10 + (*p - '0');
    }
    while (*p == ' ')
        ++p;
    return digits == 0 || *p ? -1 : n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Opacity

BEGIN_MESSAGE_MAP(COpacityDlg, CDialog)
    ON_EN_CHANGE(IDC_OPACITY_EDIT, OnChange)
END_MESSAGE_MAP()

COpacityDlg::COpacityDlg(CWnd* parent, CDataGenericObject* data, CWnd* preview)
    : CDialog(IDD_NOTE_OPACITY, parent), m_percent(data ? data->m_opacity : 100), m_data(data), m_preview(preview)
{
}

BOOL COpacityDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SendDlgItemMessage(IDC_OPACITY_SPIN, UDM_SETRANGE32, 1, 100);
    SendDlgItemMessage(IDC_OPACITY_EDIT, EM_LIMITTEXT, 3, 0);
    SetDlgItemInt(IDC_OPACITY_EDIT, m_percent, FALSE);
    return TRUE;
}

int COpacityDlg::ReadPercent() const
{
    const int n = ReadWholeNumber(this, IDC_OPACITY_EDIT, 3);
    return n >= 1 && n <= 100 ? n : -1;
}

void COpacityDlg::OnChange()
{
    const int n = ReadPercent();
    INoteHost* host = GetNoteHost();
    if (n > 0 && host && m_preview && m_preview->GetSafeHwnd())
        host->SetWindowAlphaLevel(m_preview->GetSafeHwnd(), n);
}

void COpacityDlg::OnOK()
{
    const int n = ReadPercent();
    if (n < 0) {
        ::MessageBeep(MB_ICONEXCLAMATION);
        GetDlgItem(IDC_OPACITY_EDIT)->SetFocus();
        return;
    }
    m_percent = n;
    if (m_data)
        m_data->SetOpacity(n);
    EndDialog(IDOK);
}

void COpacityDlg::OnCancel()
{
    INoteHost* host = GetNoteHost();
    if (host && m_preview && m_preview->GetSafeHwnd() && m_data)
        host->SetWindowAlphaLevel(m_preview->GetSafeHwnd(), m_data->m_opacity);
    CDialog::OnCancel();
}

// ---------------------------------------------------------------------------
// Text note

BEGIN_MESSAGE_MAP(CTextNoteDlg, CDialog)
    ON_EN_CHANGE(IDC_TEXT_NOTE_TEXT, OnTextChange)
    ON_BN_CLICKED(IDC_TEXT_NOTE_FONT, OnFont)
    ON_BN_CLICKED(IDC_TEXT_NOTE_BACKGROUND, OnBackground)
    ON_BN_CLICKED(IDC_TEXT_NOTE_FRAME_COLOUR, OnFrameColour)
    ON_BN_CLICKED(IDC_TEXT_NOTE_WRAP, OnLayoutChange)
    ON_CBN_SELCHANGE(IDC_TEXT_NOTE_ALIGN, OnLayoutChange)
    ON_CBN_SELCHANGE(IDC_TEXT_NOTE_VALIGN, OnLayoutChange)
    ON_CBN_SELCHANGE(IDC_TEXT_NOTE_FRAME, OnLayoutChange)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

namespace {

// Frame kinds in the order of the frame list.
const DWORD kFrameKinds[4] = { CNoteStyle::kFrameNone, CNoteStyle::kFrameSolid, CNoteStyle::kFrameBevel,
                               CNoteStyle::kFrameRaised };
const char* const kFrameNames[4] = { "无", "实线", "凹陷", "凸起" };
const char* const kAlignNames[3] = { "左", "居中", "右" };
const char* const kVAlignNames[3] = { "顶端", "中间", "底端" };
// The layout bits: horizontal 0 left, 2 centred, 1 right; vertical 0 top,
// 8 middle, 4 bottom (as the note's edit reads them).
const DWORD kAlignBits[3] = { 0, 2, 1 };
const DWORD kVAlignBits[3] = { 0, 8, 4 };

void FillList(CWnd* dialog, int id, const char* const* names, int count, int selected)
{
    HWND list = ::GetDlgItem(dialog->m_hWnd, id);
    ::SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i)
        ::SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)names[i]);
    ::SendMessageA(list, CB_SETCURSEL, selected, 0);
}

int Selected(const CWnd* dialog, int id)
{
    return (int)::SendDlgItemMessageA(dialog->m_hWnd, id, CB_GETCURSEL, 0, 0);
}

}  // namespace

int CTextNoteDlg::AlignIndex(DWORD flags)
{
    const DWORD bits = flags & 3;
    return bits == 2 ? 1 : bits == 1 ? 2 : 0;
}

int CTextNoteDlg::VAlignIndex(DWORD flags)
{
    const DWORD bits = flags & 0x0C;
    return bits == 8 ? 1 : bits == 4 ? 2 : 0;
}

DWORD CTextNoteDlg::WithAlignment(DWORD flags, int alignIndex, int valignIndex)
{
    flags &= ~(DWORD)0x0F;
    if (alignIndex >= 0 && alignIndex < 3)
        flags |= kAlignBits[alignIndex];
    if (valignIndex >= 0 && valignIndex < 3)
        flags |= kVAlignBits[valignIndex];
    return flags;
}

CTextNoteDlg::CTextNoteDlg(CDataTextObject* data, const CNoteStyle* defaults, CWnd* parent)
    : CDialog(IDD_TEXT_NOTE, parent), m_data(data), m_defaults(defaults), m_preview(NULL), m_font(NULL),
      m_brush(NULL)
{
    for (COLORREF& c : m_customColours)
        c = RGB(255, 255, 255);
}

CTextNoteDlg::~CTextNoteDlg()
{
    delete m_preview;
    if (m_font)
        ::DeleteObject(m_font);
    if (m_brush)
        ::DeleteObject(m_brush);
}

BOOL CTextNoteDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!m_data)
        return TRUE;
    m_style.CopyBody(*m_data);
    if (m_data->m_text.IsEmpty() && m_defaults) {
        // A new note starts from the main window's defaults, keeping its text.
        m_style.CopyBody(*m_defaults);
        m_style.m_text = m_data->m_text;
    }
    SetDlgItemText(IDC_TEXT_NOTE_TEXT, m_style.m_text);
    SetDlgItemInt(IDC_TEXT_NOTE_WIDTH, m_style.m_noteWidth, FALSE);
    SetDlgItemInt(IDC_TEXT_NOTE_HEIGHT, m_style.m_noteHeight, FALSE);
    SetDlgItemInt(IDC_TEXT_NOTE_FRAME_WIDTH, m_style.m_frameWidth, FALSE);
    int frame = 0;
    for (int i = 0; i < 4; ++i)
        if ((m_style.m_flags & CNoteStyle::kFrameMask) == kFrameKinds[i])
            frame = i;
    FillList(this, IDC_TEXT_NOTE_FRAME, kFrameNames, 4, frame);
    FillList(this, IDC_TEXT_NOTE_ALIGN, kAlignNames, 3, AlignIndex(m_style.m_flags));
    FillList(this, IDC_TEXT_NOTE_VALIGN, kVAlignNames, 3, VAlignIndex(m_style.m_flags));
    ::CheckDlgButton(m_hWnd, IDC_TEXT_NOTE_WRAP, (m_style.m_flags & CNoteStyle::kWordWrap) ? BST_CHECKED : BST_UNCHECKED);
    m_preview = new CAutoSizeEdit;
    m_preview->SubclassEdit(1, IDC_TEXT_NOTE_PREVIEW, this);
    RefreshPreview();
    return TRUE;
}

void CTextNoteDlg::RefreshPreview()
{
    if (!m_preview || !m_preview->GetSafeHwnd())
        return;
    if (m_font)
        ::DeleteObject(m_font);
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfHeight = m_style.m_fontHeight;
    lf.lfWeight = m_style.m_fontWeight;
    lf.lfItalic = (BYTE)m_style.m_fontItalic;
    lf.lfUnderline = (BYTE)m_style.m_fontUnderline;
    lf.lfStrikeOut = (BYTE)m_style.m_fontStrikeOut;
    lf.lfCharSet = (BYTE)m_style.m_fontCharSet;
    lf.lfPitchAndFamily = (BYTE)m_style.m_fontPitchFamily;
    lstrcpynA(lf.lfFaceName, m_style.m_faceName, LF_FACESIZE);
    m_font = ::CreateFontIndirectA(&lf);
    if (m_brush)
        ::DeleteObject(m_brush);
    m_brush = ::CreateSolidBrush(m_style.m_backgroundColor);
    const int vertical = (int)(m_style.m_flags & 0x0C);
    m_preview->SetMode(vertical == 4 ? 3 : vertical == 8 ? 2 : 1);
    const DWORD horizontal = m_style.m_flags & 3;
    m_preview->ModifyStyle(ES_CENTER | ES_RIGHT, horizontal == 1 ? ES_RIGHT : horizontal == 2 ? ES_CENTER : 0);
    if (m_font)
        m_preview->SendMessage(WM_SETFONT, (WPARAM)m_font, TRUE);
    CString text;
    GetDlgItemText(IDC_TEXT_NOTE_TEXT, text);
    m_preview->SetWindowText(text);
    m_preview->Invalidate();
}

void CTextNoteDlg::OnTextChange()
{
    if (!m_preview || !m_preview->GetSafeHwnd())
        return;
    CString text;
    GetDlgItemText(IDC_TEXT_NOTE_TEXT, text);
    m_preview->SetWindowText(text);
}

// The font dialog starts from the note's font and text colour.
void CTextNoteDlg::OnFont()
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfHeight = m_style.m_fontHeight;
    lf.lfWeight = m_style.m_fontWeight;
    lf.lfItalic = (BYTE)m_style.m_fontItalic;
    lf.lfUnderline = (BYTE)m_style.m_fontUnderline;
    lf.lfStrikeOut = (BYTE)m_style.m_fontStrikeOut;
    lf.lfCharSet = (BYTE)m_style.m_fontCharSet;
    lf.lfPitchAndFamily = (BYTE)m_style.m_fontPitchFamily;
    lstrcpynA(lf.lfFaceName, m_style.m_faceName, LF_FACESIZE);
    CHOOSEFONTA cf;
    memset(&cf, 0, sizeof(cf));
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = m_hWnd;
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    cf.rgbColors = m_style.m_textColor;
    if (!::ChooseFontA(&cf))
        return;
    m_style.m_fontHeight = lf.lfHeight;
    m_style.m_fontWeight = lf.lfWeight;
    m_style.m_fontItalic = lf.lfItalic;
    m_style.m_fontUnderline = lf.lfUnderline;
    m_style.m_fontStrikeOut = lf.lfStrikeOut;
    m_style.m_fontCharSet = lf.lfCharSet;
    m_style.m_fontPitchFamily = lf.lfPitchAndFamily;
    m_style.m_faceName = lf.lfFaceName;
    m_style.m_textColor = cf.rgbColors;
    RefreshPreview();
}

BOOL CTextNoteDlg::ChooseColour(COLORREF* colour)
{
    CHOOSECOLORA cc;
    memset(&cc, 0, sizeof(cc));
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = m_hWnd;
    cc.rgbResult = *colour;
    cc.lpCustColors = m_customColours;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!::ChooseColorA(&cc))
        return FALSE;
    *colour = cc.rgbResult;
    return TRUE;
}

void CTextNoteDlg::OnBackground()
{
    if (ChooseColour(&m_style.m_backgroundColor))
        RefreshPreview();
}

void CTextNoteDlg::OnFrameColour()
{
    ChooseColour(&m_style.m_frameColor);
}

void CTextNoteDlg::OnLayoutChange()
{
    DWORD flags = WithAlignment(m_style.m_flags, Selected(this, IDC_TEXT_NOTE_ALIGN), Selected(this, IDC_TEXT_NOTE_VALIGN));
    flags &= ~(DWORD)(CNoteStyle::kFrameMask | CNoteStyle::kWordWrap);
    const int frame = Selected(this, IDC_TEXT_NOTE_FRAME);
    if (frame >= 0 && frame < 4)
        flags |= kFrameKinds[frame];
    if (::IsDlgButtonChecked(m_hWnd, IDC_TEXT_NOTE_WRAP) == BST_CHECKED)
        flags |= CNoteStyle::kWordWrap;
    m_style.m_flags = flags;
    RefreshPreview();
}

HBRUSH CTextNoteDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (m_data && m_brush && pWnd && pWnd->GetDlgCtrlID() == IDC_TEXT_NOTE_PREVIEW) {
        ::SetBkColor(pDC->GetSafeHdc(), m_style.m_backgroundColor);
        ::SetTextColor(pDC->GetSafeHdc(), m_style.m_textColor);
        return m_brush;
    }
    return CDialog::OnCtlColor(pDC, pWnd, ctlColor);
}

void CTextNoteDlg::OnOK()
{
    const int w = ReadWholeNumber(this, IDC_TEXT_NOTE_WIDTH, 4);
    const int h = ReadWholeNumber(this, IDC_TEXT_NOTE_HEIGHT, 4);
    if (w < 20 || w > 2000 || h < 20 || h > 2000) {
        AfxMessageBox(IDS_TEXT_NOTE_BAD_SIZE, MB_ICONINFORMATION);
        GetDlgItem(w < 20 || w > 2000 ? IDC_TEXT_NOTE_WIDTH : IDC_TEXT_NOTE_HEIGHT)->SetFocus();
        return;
    }
    const int frameWidth = ReadWholeNumber(this, IDC_TEXT_NOTE_FRAME_WIDTH, 2);
    if (frameWidth < 0 || frameWidth > 20) {
        AfxMessageBox(IDS_TEXT_NOTE_BAD_FRAME, MB_ICONINFORMATION);
        GetDlgItem(IDC_TEXT_NOTE_FRAME_WIDTH)->SetFocus();
        return;
    }
    if (m_data) {
        OnLayoutChange();
        m_data->CopyBody(m_style);
        GetDlgItemText(IDC_TEXT_NOTE_TEXT, m_data->m_text);
        m_data->m_noteWidth = w;
        m_data->m_noteHeight = h;
        m_data->m_frameWidth = frameWidth;
    }
    EndDialog(IDOK);
}

// ---------------------------------------------------------------------------
// Shape scale

BEGIN_MESSAGE_MAP(CAnnotationResizeDlg, CDialog)
    ON_EN_CHANGE(IDC_RESIZE_WIDTH, OnWidthChange)
    ON_EN_CHANGE(IDC_RESIZE_HEIGHT, OnHeightChange)
    ON_BN_CLICKED(IDC_RESIZE_LOCK, OnLock)
    ON_BN_CLICKED(IDC_RESIZE_DEFAULT, OnDefault)
END_MESSAGE_MAP()

CAnnotationResizeDlg::CAnnotationResizeDlg(CDataShapeObject* shape, const RECT* over, CWnd* parent)
    : CDialog(IDD_ANNOTATION_RESIZE, parent), m_keepAspect(0), m_widthPercent(100), m_heightPercent(100),
      m_changed(0), m_shape(shape), m_hasOver(over != NULL), m_updating(0)
{
    if (over)
        m_over = *over;
    else
        ::SetRectEmpty(&m_over);
    if (shape)
        shape->GetScale(&m_keepAspect, &m_widthPercent, &m_heightPercent);
}

BOOL CAnnotationResizeDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    UDACCEL accel[3] = {{0, 1}, {1, 5}, {2, 10}};
    const int spins[2] = {IDC_RESIZE_WIDTH_SPIN, IDC_RESIZE_HEIGHT_SPIN};
    for (int id : spins) {
        SendDlgItemMessage(id, UDM_SETRANGE32, 10, 600);
        SendDlgItemMessage(id, UDM_SETACCEL, 3, (LPARAM)accel);
    }
    SendDlgItemMessage(IDC_RESIZE_WIDTH, EM_LIMITTEXT, 3, 0);
    SendDlgItemMessage(IDC_RESIZE_HEIGHT, EM_LIMITTEXT, 3, 0);
    m_updating = 1;
    SetDlgItemInt(IDC_RESIZE_WIDTH, m_widthPercent, FALSE);
    SetDlgItemInt(IDC_RESIZE_HEIGHT, m_heightPercent, FALSE);
    m_updating = 0;
    CheckDlgButton(IDC_RESIZE_LOCK, m_keepAspect ? BST_CHECKED : BST_UNCHECKED);
    if (m_hasOver)
        CenterWindowInRect(this, &m_over);
    return TRUE;
}

void CAnnotationResizeDlg::OnWidthChange()
{
    if (m_updating || !IsDlgButtonChecked(IDC_RESIZE_LOCK))
        return;
    CString text;
    GetDlgItemText(IDC_RESIZE_WIDTH, text);
    m_updating = 1;
    SetDlgItemText(IDC_RESIZE_HEIGHT, text);
    m_updating = 0;
}

void CAnnotationResizeDlg::OnHeightChange()
{
    if (m_updating || !IsDlgButtonChecked(IDC_RESIZE_LOCK))
        return;
    CString text;
    GetDlgItemText(IDC_RESIZE_HEIGHT, text);
    m_updating = 1;
    SetDlgItemText(IDC_RESIZE_WIDTH, text);
    m_updating = 0;
}

void CAnnotationResizeDlg::OnLock()
{
    if (IsDlgButtonChecked(IDC_RESIZE_LOCK))
        OnWidthChange();
}

void CAnnotationResizeDlg::OnDefault()
{
    m_updating = 1;
    SetDlgItemInt(IDC_RESIZE_WIDTH, 100, FALSE);
    SetDlgItemInt(IDC_RESIZE_HEIGHT, 100, FALSE);
    m_updating = 0;
    CheckDlgButton(IDC_RESIZE_LOCK, BST_CHECKED);
}

void CAnnotationResizeDlg::OnOK()
{
    const int w = ReadWholeNumber(this, IDC_RESIZE_WIDTH, 3);
    if (w < 10 || w > 600) {
        AfxMessageBox(IDS_RESIZE_BAD_WIDTH, MB_ICONINFORMATION);
        GetDlgItem(IDC_RESIZE_WIDTH)->SetFocus();
        return;
    }
    const int h = ReadWholeNumber(this, IDC_RESIZE_HEIGHT, 3);
    if (h < 10 || h > 600) {
        AfxMessageBox(IDS_RESIZE_BAD_HEIGHT, MB_ICONINFORMATION);
        GetDlgItem(IDC_RESIZE_HEIGHT)->SetFocus();
        return;
    }
    const int keep = IsDlgButtonChecked(IDC_RESIZE_LOCK) ? 1 : 0;
    if (w != m_widthPercent || h != m_heightPercent || keep != m_keepAspect) {
        m_widthPercent = w;
        m_heightPercent = h;
        m_keepAspect = keep;
        if (m_shape)
            m_shape->SetScale(keep, w, h);
        m_changed = 1;
    }
    EndDialog(IDOK);
}

void CenterWindowInRect(CWnd* dialog, const RECT* rect)
{
    if (!rect || !dialog || !dialog->GetSafeHwnd())
        return;
    WINDOWPLACEMENT wp;
    if (!dialog->GetWindowPlacement(&wp))
        return;
    RECT r;
    dialog->GetWindowRect(&r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    int x = rect->left + (rect->right - rect->left) / 2 - w / 2;
    int y = rect->top + (rect->bottom - rect->top) / 2 - h / 2;
    int deskW = 0, deskH = 0;
    POINT origin = {0, 0};
    GetDesktopExtent(&deskW, &deskH, &origin, FALSE);
    if (x + w > origin.x + deskW)
        x = origin.x + deskW - w;
    if (y + h > origin.y + deskH)
        y = origin.y + deskH - h;
    if (x < origin.x)
        x = origin.x;
    if (y < origin.y)
        y = origin.y;
    ::SetWindowPos(dialog->GetSafeHwnd(), HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}
