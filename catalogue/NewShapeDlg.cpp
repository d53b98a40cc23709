#include "catalogue/NewShapeDlg.h"

#include "catalogue/DataShapeObject.h"
#include "controls/Dib.h"
#include "framework/Module.h"
#include "framework/WinApp.h"
#include "framework/ui/AfxWin.h"
#include "resources/ids_catwin.h"

#include <commdlg.h>

int CNewShapeDlg::s_filterIndex = 1;

BEGIN_MESSAGE_MAP(CNewShapeDlg, CDialog)
    ON_BN_CLICKED(IDC_SHAPE_BLANK, OnBlank)
    ON_BN_CLICKED(IDC_SHAPE_FILE, OnFile)
    ON_BN_CLICKED(IDC_SHAPE_BROWSE, OnBrowse)
END_MESSAGE_MAP()

namespace {
// A positive whole number, or -1.
int PositiveNumber(const CWnd* dialog, int id)
{
    char text[32] = "";
    ::GetDlgItemTextA(dialog->GetSafeHwnd(), id, text, sizeof text);
    long n = 0;
    int digits = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (++digits > 6)
            return -1;
        n = n * 10 + (*p - '0');
    }
    return digits == 0 || *p || n <= 0 ? -1 : (int)n;
}
}  // namespace

CNewShapeDlg::CNewShapeDlg(int width, int height, BOOL blank, int number, BOOL blankAllowed, CWnd* parent)
    : CDialog(IDD_NEW_SHAPE, parent), m_width(width), m_height(height), m_blank(blank && blankAllowed),
      m_blankAllowed(blankAllowed), m_loaded(FALSE)
{
    CString prefix;
    prefix.LoadString(IDS_CAT_SHAPE_PREFIX);
    m_name.Format("%s%d", (const char*)(prefix + "-"), number);
}

BOOL CNewShapeDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    HICON icon = (HICON)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_CAT_NEW_SHAPE_BROWSE), IMAGE_ICON,
                                     16, 16, 0);
    if (icon)
        SendDlgItemMessage(IDC_SHAPE_BROWSE, BM_SETIMAGE, IMAGE_ICON, (LPARAM)icon);
    SetDlgItemText(IDC_SHAPE_NAME, m_name);
    SetDlgItemInt(IDC_SHAPE_WIDTH, m_width, FALSE);
    SetDlgItemInt(IDC_SHAPE_HEIGHT, m_height, FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPE_BLANK), m_blankAllowed);
    CheckRadioButton(IDC_SHAPE_BLANK, IDC_SHAPE_FILE, m_blank ? IDC_SHAPE_BLANK : IDC_SHAPE_FILE);
    EnableChoice(m_blank);
    CWnd* name = GetDlgItem(IDC_SHAPE_NAME);
    name->SetFocus();
    name->SendMessage(EM_SETSEL, 0, -1);
    return FALSE;
}

void CNewShapeDlg::EnableChoice(BOOL blank)
{
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPE_WIDTH), blank);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPE_HEIGHT), blank);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPE_PATH), !blank);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPE_BROWSE), !blank);
}

void CNewShapeDlg::OnBlank()
{
    EnableChoice(TRUE);
}

void CNewShapeDlg::OnFile()
{
    EnableChoice(FALSE);
}

BOOL CNewShapeDlg::LoadPicture(const CString& path)
{
    CDib image;
    COLORREF key = 0;
    if (!LoadImageFile(path, image, &key, NULL))
        return FALSE;
    m_path = path;
    m_loaded = TRUE;
    SetDlgItemInt(IDC_SHAPE_WIDTH, image.GetWidth(), FALSE);
    SetDlgItemInt(IDC_SHAPE_HEIGHT, image.GetHeight(), FALSE);
    return TRUE;
}

void CNewShapeDlg::OnBrowse()
{
    CString title, filter;
    title.LoadString(IDS_SHAPE_IMPORT_TITLE);
    filter.LoadString(IDS_SHAPE_IMPORT_FILTER);
    for (int i = 0; i < filter.GetLength(); ++i)
        if (filter[i] == '|')
            filter.SetAt(i, '\0');
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = s_filterIndex;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST;
    if (!::GetOpenFileNameA(&ofn))
        return;
    s_filterIndex = (int)ofn.nFilterIndex;
    SetDlgItemText(IDC_SHAPE_PATH, file);
    if (file[0])
        LoadPicture(file);
}

void CNewShapeDlg::OnOK()
{
    CString name;
    GetDlgItemText(IDC_SHAPE_NAME, name);
    auto refuse = [&](UINT message, int focus) {
        AfxMessageBox(message, MB_ICONINFORMATION);
        GetDlgItem(focus)->SetFocus();
    };
    if (name.IsEmpty())
        return refuse(IDS_SHAPE_NAME_EMPTY, IDC_SHAPE_NAME);
    if (name.FindOneOf("?*<>:/\\|\"") >= 0)
        return refuse(IDS_SHAPE_NAME_BAD, IDC_SHAPE_NAME);
    const BOOL blank = IsDlgButtonChecked(IDC_SHAPE_BLANK) == BST_CHECKED;
    const int w = PositiveNumber(this, IDC_SHAPE_WIDTH);
    const int h = PositiveNumber(this, IDC_SHAPE_HEIGHT);
    if (w < 0)
        return refuse(IDS_SHAPE_BAD_WIDTH, IDC_SHAPE_WIDTH);
    if (h < 0)
        return refuse(IDS_SHAPE_BAD_HEIGHT, IDC_SHAPE_HEIGHT);
    if (!blank) {
        CString path;
        GetDlgItemText(IDC_SHAPE_PATH, path);
        if (path.IsEmpty())
            return refuse(IDS_SHAPE_NO_FILE, IDC_SHAPE_PATH);
        if ((path.CompareNoCase(m_path) != 0 || !m_loaded) && !LoadPicture(path))
            return refuse(IDS_SHAPE_IMAGE_FAILED, IDC_SHAPE_PATH);
    }
    m_blank = blank;
    GetDlgItemText(IDC_SHAPE_TEXT, m_text);
    m_width = PositiveNumber(this, IDC_SHAPE_WIDTH);
    m_height = PositiveNumber(this, IDC_SHAPE_HEIGHT);
    m_name = name;
    EndDialog(IDOK);
}
