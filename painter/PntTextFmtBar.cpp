#include "painter/PntTextFmtBar.h"

#include "framework/WinApp.h"
#include "painter/PaintControl.h"
#include "resources/ids_painter.h"

#include <commdlg.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

IMPLEMENT_DYNAMIC(CPntTextFmtBar, CPntDlg)

const char CPntTextFmtBar::kSection[] = "Text Tool";
const char CPntTextFmtBar::kDefaultFont[] = "0,0,0,0,0,0,0,0,0,0,0,0,0,System";

namespace {

const char kImageDialogCaption[] = "编辑图像";

// Parses one number of the "Font" value: digits with an optional sign, up to
// the comma; FALSE for anything else or a value outside [lo, hi].
bool ParseField(const char*& p, long lo, long hi, long* value)
{
    const char* comma = std::strchr(p, ',');
    if (!comma || comma == p)
        return false;
    char buffer[24];
    const size_t length = (size_t)(comma - p);
    if (length >= sizeof(buffer))
        return false;
    std::memcpy(buffer, p, length);
    buffer[length] = 0;
    char* end = NULL;
    errno = 0;
    const long v = std::strtol(buffer, &end, 10);
    if (errno != 0 || end != buffer + length || v < lo || v > hi)
        return false;
    *value = v;
    p = comma + 1;
    return true;
}

struct FindImageDialog {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindImageDialogProc(HWND window, LPARAM lParam)
{
    FindImageDialog* find = reinterpret_cast<FindImageDialog*>(lParam);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != find->processId)
        return TRUE;
    char className[16] = "";
    char caption[64] = "";
    ::GetClassNameA(window, className, sizeof(className));
    ::GetWindowTextA(window, caption, sizeof(caption));
    if (std::strcmp(className, "#32770") == 0 && std::strcmp(caption, kImageDialogCaption) == 0) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

BEGIN_MESSAGE_MAP(CPntTextFmtBar, CPntDlg)
    ON_BN_CLICKED(IDC_PNT_TEXT_FONT, OnFont)
    ON_COMMAND_RANGE(IDC_PNT_TEXT_ALIGN_LEFT, IDC_PNT_TEXT_ALIGN_RIGHT, OnAlign)
    ON_COMMAND_RANGE(IDC_PNT_TEXT_BOLD, IDC_PNT_TEXT_UNDERLINE, OnStyle)
    ON_CONTROL_RANGE(EN_CHANGE, IDC_PNT_TEXT_EDIT_LEFT, IDC_PNT_TEXT_EDIT_RIGHT, OnEditChange)
    ON_WM_CLOSE()
    ON_WM_SETFOCUS()
    ON_WM_KEYDOWN()
    ON_WM_CHAR()
    ON_WM_SIZE()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CPntTextFmtBar::CPntTextFmtBar(Variant variant)
    : CPntDlg(IDD_PNT_TEXT_BAR, NULL), m_variant(variant), m_ctrl(NULL), m_alignment(0), m_hidden(TRUE)
{
    if (variant == kRecorder)
        m_sectionPrefix = "TextEditDlg:";
    for (HBITMAP& b : m_bitmaps)
        b = NULL;
}

CPntTextFmtBar::~CPntTextFmtBar()
{
    if (m_hWnd)
        DestroyWindow();
    DeleteButtonBitmaps();
}

// --- Static helpers ----------------------------------------------------------

BOOL CPntTextFmtBar::CanPasteText()
{
    return ::IsClipboardFormatAvailable(CF_TEXT);
}

// The face name is what follows the last comma, so a face with spaces (or
// commas of its own, cut there) keeps its spaces.
BOOL CPntTextFmtBar::ParseFont(const char* value, LOGFONT* font)
{
    if (!value || !font)
        return FALSE;
    static const struct { long lo, hi; } kRanges[13] = {
        { -100000, 100000 }, { -100000, 100000 }, { -36000, 36000 }, { -36000, 36000 }, { 0, 1000 },
        { 0, 255 }, { 0, 255 }, { 0, 255 }, { 0, 255 }, { 0, 255 }, { 0, 255 }, { 0, 255 }, { 0, 255 },
    };
    long v[13];
    const char* p = value;
    for (int i = 0; i < 13; ++i)
        if (!ParseField(p, kRanges[i].lo, kRanges[i].hi, &v[i]))
            return FALSE;
    const char* face = std::strrchr(value, ',') + 1;
    if (face < p)
        return FALSE;
    LOGFONT lf;
    std::memset(&lf, 0, sizeof(lf));
    lf.lfHeight = v[0];
    lf.lfWidth = v[1];
    lf.lfEscapement = v[2];
    lf.lfOrientation = v[3];
    lf.lfWeight = v[4];
    lf.lfItalic = (BYTE)v[5];
    lf.lfUnderline = (BYTE)v[6];
    lf.lfStrikeOut = (BYTE)v[7];
    lf.lfCharSet = (BYTE)v[8];
    lf.lfOutPrecision = (BYTE)v[9];
    lf.lfClipPrecision = (BYTE)v[10];
    lf.lfQuality = (BYTE)v[11];
    lf.lfPitchAndFamily = (BYTE)v[12];
    ::lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    *font = lf;
    return TRUE;
}

CString CPntTextFmtBar::FormatFont(const LOGFONT& lf)
{
    CString value;
    value.Format("%d,%d,%d,%d,%d,%u,%u,%u,%u,%u,%u,%u,%u,%s", (int)lf.lfHeight, (int)lf.lfWidth,
                 (int)lf.lfEscapement, (int)lf.lfOrientation, (int)lf.lfWeight, (unsigned)lf.lfItalic,
                 (unsigned)lf.lfUnderline, (unsigned)lf.lfStrikeOut, (unsigned)lf.lfCharSet,
                 (unsigned)lf.lfOutPrecision, (unsigned)lf.lfClipPrecision, (unsigned)lf.lfQuality,
                 (unsigned)lf.lfPitchAndFamily, lf.lfFaceName);
    return value;
}

// A weight of 0 is the font's default, a normal weight: Bold on it must give
// bold, not 400 again.
LONG CPntTextFmtBar::ToggledWeight(LONG weight)
{
    return (weight == FW_NORMAL || weight == FW_DONTCARE) ? FW_BOLD : FW_NORMAL;
}

// Another program's window of that caption is none of ours to message.
HWND CPntTextFmtBar::TellImageDialog(DWORD processId)
{
    FindImageDialog find = { processId, NULL };
    ::EnumWindows(FindImageDialogProc, reinterpret_cast<LPARAM>(&find));
    if (find.found)
        ::PostMessageA(find.found, WM_PNT_TEXT_BAR_OPENED, 0, 0);
    return find.found;
}

// --- Showing and hiding ------------------------------------------------------

BOOL CPntTextFmtBar::Show(CPaintControl* ctrl)
{
    m_hidden = FALSE;
    if (m_hWnd) {
        ShowWindow(SW_SHOWNA);
        return TRUE;
    }
    if (!ctrl || !ctrl->m_hWnd)
        return FALSE;
    m_ctrl = ctrl;
    m_pParentWnd = ctrl;
    if (!Create(IDD_PNT_TEXT_BAR, ctrl))
        return FALSE;
    ShowWindow(SW_SHOWNA);
    return TRUE;
}

void CPntTextFmtBar::Hide()
{
    if (m_hWnd)
        ShowWindow(SW_HIDE);
    m_hidden = TRUE;
}

BOOL CPntTextFmtBar::IsShown() const
{
    return m_hWnd != NULL && !m_hidden;
}

CWnd* CPntTextFmtBar::GetCurrentEdit() const
{
    if (!m_hWnd)
        return NULL;
    return CWnd::FromHandle(::GetDlgItem(m_hWnd, IDC_PNT_TEXT_EDIT_LEFT + m_alignment));
}

void CPntTextFmtBar::ClearText()
{
    if (!m_hWnd)
        return;
    for (UINT id = IDC_PNT_TEXT_EDIT_LEFT; id <= IDC_PNT_TEXT_EDIT_RIGHT; ++id)
        ::SetDlgItemTextA(m_hWnd, id, "");
}

void CPntTextFmtBar::CopyText()
{
    if (CWnd* edit = GetCurrentEdit())
        edit->SendMessage(WM_COPY);
}

void CPntTextFmtBar::CutText()
{
    if (CWnd* edit = GetCurrentEdit())
        edit->SendMessage(WM_CUT);
}

void CPntTextFmtBar::PasteText()
{
    if (CWnd* edit = GetCurrentEdit())
        edit->SendMessage(WM_PASTE);
}

void CPntTextFmtBar::FocusText()
{
    CWnd* edit = GetCurrentEdit();
    if (edit && ::GetFocus() != edit->m_hWnd)
        edit->SetFocus();
}

CString CPntTextFmtBar::GetText() const
{
    CString text;
    if (CWnd* edit = GetCurrentEdit())
        edit->GetWindowText(text);
    return text;
}

void CPntTextFmtBar::SetText(LPCTSTR text)
{
    CWnd* edit = GetCurrentEdit();
    if (!edit)
        return;
    edit->SetWindowText(text ? text : "");
    if (m_ctrl) {
        LOGFONT lf;
        m_ctrl->GetTextFont(&lf);
        ApplyFont(lf, TRUE);
    }
    edit->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    UpdateButtons();
}

// --- Profile -----------------------------------------------------------------

void CPntTextFmtBar::StoreString(LPCSTR name, LPCSTR value)
{
    if (CWinApp* app = AfxGetApp())
        app->WriteProfileString(kSection, name, value);
}

void CPntTextFmtBar::StoreInt(LPCSTR name, int value)
{
    if (CWinApp* app = AfxGetApp())
        app->WriteProfileInt(kSection, name, value);
}

CString CPntTextFmtBar::CaptionPrefix() const
{
    if (m_variant == kCatalogue)
        return kSection;
    CString prefix;
    prefix.LoadString(IDS_PNT_TEXT_CAPTION);
    return prefix;
}

// --- Initialisation ------------------------------------------------------------

BOOL CPntTextFmtBar::OnInitDialog()
{
    // The recorder's image dialog shows its one-time tip when the bar opens
    // over it; only a dialog of this process is told.
    if (m_variant == kCatalogue)
        TellImageDialog(::GetCurrentProcessId());
    CPntDlg::OnInitDialog();
    LoadButtonBitmaps();

    int alignment = 0;
    LOGFONT lf;
    if (m_variant == kCatalogue) {
        CString value = kDefaultFont;
        if (CWinApp* app = AfxGetApp())
            value = app->GetProfileString(kSection, "Font", kDefaultFont);
        if (!ParseFont(value, &lf))
            ParseFont(kDefaultFont, &lf);
        ApplyFont(lf, TRUE);
        if (CWinApp* app = AfxGetApp())
            alignment = (int)app->GetProfileInt(kSection, "Alignment", 0);
    } else if (m_ctrl) {
        m_ctrl->GetTextFont(&lf);
        ApplyFont(lf, TRUE);
        alignment = m_ctrl->GetTextAlignment();
    }
    if (alignment < 0 || alignment > 2)
        alignment = 0;
    for (UINT id = IDC_PNT_TEXT_EDIT_LEFT; id <= IDC_PNT_TEXT_EDIT_RIGHT; ++id) {
        ::ShowWindow(::GetDlgItem(m_hWnd, id), SW_HIDE);
        ::EnableWindow(::GetDlgItem(m_hWnd, id), FALSE);
    }
    m_alignment = alignment;
    ShowEditOf(alignment);
    SetAlignment(alignment);
    if (m_variant == kRecorder)
        RestoreSize();
    CRect client;
    GetClientRect(&client);
    OnSize(SIZE_RESTORED, client.Width(), client.Height());
    return FALSE;
}

void CPntTextFmtBar::LoadButtonBitmaps()
{
    DeleteButtonBitmaps();
    COLORMAP map = { RGB(0xC0, 0xC0, 0xC0), ::GetSysColor(COLOR_BTNFACE) };
    for (int i = 0; i < 6; ++i) {
        m_bitmaps[i] = ::CreateMappedBitmap(::GetModuleHandleA(NULL), IDB_PNT_TEXT_FIRST + i, 0, &map, 1);
        const UINT id = i < 3 ? IDC_PNT_TEXT_ALIGN_LEFT + i : IDC_PNT_TEXT_BOLD + (i - 3);
        if (m_bitmaps[i])
            ::SendDlgItemMessageA(m_hWnd, id, BM_SETIMAGE, IMAGE_BITMAP, (LPARAM)m_bitmaps[i]);
    }
}

void CPntTextFmtBar::DeleteButtonBitmaps()
{
    for (HBITMAP& b : m_bitmaps) {
        if (b)
            ::DeleteObject(b);
        b = NULL;
    }
}

void CPntTextFmtBar::ShowEditOf(int alignment)
{
    HWND edit = ::GetDlgItem(m_hWnd, IDC_PNT_TEXT_EDIT_LEFT + alignment);
    ::EnableWindow(edit, TRUE);
    ::ShowWindow(edit, SW_SHOW);
}

// --- Font and alignment ----------------------------------------------------------

void CPntTextFmtBar::ApplyFont(const LOGFONT& font, BOOL toControl)
{
    if (!m_hWnd)
        return;
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&font);
    for (UINT id = IDC_PNT_TEXT_EDIT_LEFT; id <= IDC_PNT_TEXT_EDIT_RIGHT; ++id)
        ::SendDlgItemMessageA(m_hWnd, id, WM_SETFONT, (WPARAM)m_font.GetSafeHandle(), TRUE);
    if (toControl && m_ctrl)
        m_ctrl->SetTextFont(font);
    UpdateButtons();

    LOGFONT current = font;
    if (m_ctrl)
        m_ctrl->GetTextFont(&current);
    HDC screen = ::GetDC(NULL);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ::ReleaseDC(NULL, screen);
    CString caption;
    caption.Format("%s [%s, %dpt]", (LPCSTR)CaptionPrefix(), font.lfFaceName,
                   ::MulDiv(-current.lfHeight, 72, dpi > 0 ? dpi : 96));
    SetWindowText(caption);
    StoreString("Font", FormatFont(current));
}

void CPntTextFmtBar::SetAlignment(int alignment)
{
    if (!m_hWnd)
        return;
    const int bits = (alignment == 1 || alignment == 2) ? alignment : 0;
    if (m_ctrl)
        m_ctrl->SetTextFormat((m_ctrl->GetTextFormat() & ~3u) | (UINT)bits);
    UpdateButtons();
    if (alignment == m_alignment || alignment < 0 || alignment > 2)
        return;
    HWND from = ::GetDlgItem(m_hWnd, IDC_PNT_TEXT_EDIT_LEFT + m_alignment);
    HWND to = ::GetDlgItem(m_hWnd, IDC_PNT_TEXT_EDIT_LEFT + alignment);
    if (from && to) {
        const int length = ::GetWindowTextLengthA(from);
        CString text;
        ::GetWindowTextA(from, text.GetBuffer(length + 1), length + 1);
        text.ReleaseBuffer();
        DWORD start = 0, end = 0;
        ::SendMessageA(from, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        // The new edit takes the text before it becomes current: its change
        // notice is ignored and the control keeps its text and history.
        ::SetWindowTextA(to, text);
        ::SendMessageA(to, EM_SETSEL, start, end);
        ::ShowWindow(from, SW_HIDE);
        ::EnableWindow(from, FALSE);
        ::EnableWindow(to, TRUE);
        ::ShowWindow(to, SW_SHOW);
        ::RedrawWindow(to, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        ::SetFocus(to);
    }
    m_alignment = alignment;
    StoreInt("Alignment", alignment);
}

void CPntTextFmtBar::UpdateButtons()
{
    if (!m_hWnd)
        return;
    const BOOL bound = m_ctrl != NULL;
    UINT format = 0;
    LOGFONT lf;
    std::memset(&lf, 0, sizeof(lf));
    if (bound) {
        format = m_ctrl->GetTextFormat();
        m_ctrl->GetTextFont(&lf);
    }
    const BOOL pressed[6] = { (format & 3) == 0, (format & 1) != 0, (format & 2) != 0, lf.lfWeight > FW_NORMAL,
                              lf.lfItalic != 0, lf.lfUnderline != 0 };
    static const UINT kIds[6] = { IDC_PNT_TEXT_ALIGN_LEFT, IDC_PNT_TEXT_ALIGN_CENTRE, IDC_PNT_TEXT_ALIGN_RIGHT,
                                  IDC_PNT_TEXT_BOLD,       IDC_PNT_TEXT_ITALIC,       IDC_PNT_TEXT_UNDERLINE };
    for (int i = 0; i < 6; ++i) {
        HWND button = ::GetDlgItem(m_hWnd, kIds[i]);
        ::EnableWindow(button, bound);
        ::SendMessageA(button, BM_SETCHECK, bound && pressed[i] ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

// --- Commands ------------------------------------------------------------------------

void CPntTextFmtBar::ApplyChosenFont(const LOGFONT& font, COLORREF colour)
{
    if (m_ctrl)
        m_ctrl->SetForeColor(colour);
    ApplyFont(font, TRUE);
}

void CPntTextFmtBar::OnFont()
{
    if (!m_ctrl)
        return;
    LOGFONT lf;
    m_ctrl->GetTextFont(&lf);
    CHOOSEFONTA cf;
    std::memset(&cf, 0, sizeof(cf));
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = m_variant == kCatalogue ? m_hWnd : NULL;
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    cf.rgbColors = m_ctrl->GetForeColor();
    if (::ChooseFontA(&cf))
        ApplyChosenFont(lf, cf.rgbColors);
    HWND foreground = ::GetForegroundWindow();
    if (foreground == m_hWnd)
        foreground = ::GetWindow(m_hWnd, GW_OWNER);
    if (foreground)
        ::SetFocus(foreground);
}

void CPntTextFmtBar::OnAlign(UINT id)
{
    if (m_ctrl)
        SetAlignment((int)(id - IDC_PNT_TEXT_ALIGN_LEFT));
    UpdateButtons();
}

void CPntTextFmtBar::OnStyle(UINT id)
{
    if (!m_ctrl)
        return;
    LOGFONT lf;
    m_ctrl->GetTextFont(&lf);
    if (id == IDC_PNT_TEXT_BOLD)
        lf.lfWeight = ToggledWeight(lf.lfWeight);
    else if (id == IDC_PNT_TEXT_ITALIC)
        lf.lfItalic = lf.lfItalic == 1 ? 0 : 1;
    else
        lf.lfUnderline = lf.lfUnderline == 1 ? 0 : 1;
    ApplyFont(lf, TRUE);
    FocusText();
}

void CPntTextFmtBar::OnEditChange(UINT id)
{
    if (!m_ctrl || (int)(id - IDC_PNT_TEXT_EDIT_LEFT) != m_alignment)
        return;
    m_ctrl->SetText(GetText());
}

// --- Messages ----------------------------------------------------------------------------

void CPntTextFmtBar::OnClose()
{
    Hide();
    if (CWnd* main = AfxGetMainWnd())
        if (main->m_hWnd)
            main->SetFocus();
    if (m_ctrl)
        m_ctrl->SetTool(CPaintControl::kSelect);
}

void CPntTextFmtBar::OnSetFocus(CWnd*)
{
    Default();
    FocusText();
}

// Keys reach the edit as the messages they were: a character sent on as a
// key-down would be lost.
void CPntTextFmtBar::OnKeyDown(UINT, UINT, UINT)
{
    const MSG message = *GetCurrentMessage();
    const MSG* msg = &message;
    Default();
    FocusText();
    if (CWnd* edit = GetCurrentEdit())
        edit->SendMessage(WM_KEYDOWN, msg->wParam, msg->lParam);
}

void CPntTextFmtBar::OnChar(UINT, UINT, UINT)
{
    const MSG message = *GetCurrentMessage();
    const MSG* msg = &message;
    Default();
    FocusText();
    if (CWnd* edit = GetCurrentEdit())
        edit->SendMessage(WM_CHAR, msg->wParam, msg->lParam);
}

void CPntTextFmtBar::OnSize(UINT type, int cx, int cy)
{
    CPntDlg::OnSize(type, cx, cy);
    HWND first = ::GetDlgItem(m_hWnd, IDC_PNT_TEXT_EDIT_LEFT);
    if (!first)
        return;
    CRect r;
    ::GetWindowRect(first, &r);
    ScreenToClient(&r);
    CRect client;
    GetClientRect(&client);
    const int right = client.right - r.left, bottom = client.bottom - r.left;
    for (UINT id = IDC_PNT_TEXT_EDIT_LEFT; id <= IDC_PNT_TEXT_EDIT_RIGHT; ++id)
        ::MoveWindow(::GetDlgItem(m_hWnd, id), r.left, r.top, right > r.left ? right - r.left : 0,
                     bottom > r.top ? bottom - r.top : 0, TRUE);
}

void CPntTextFmtBar::OnSysColorChange()
{
    Default();
    LoadButtonBitmaps();
}

void CPntTextFmtBar::OnDestroy()
{
    DeleteButtonBitmaps();
    Default();
}
