#include "capture/TimeDateFormatDlg.h"

#include "capture/StampText.h"
#include "capture/TimeDateFormat.h"
#include "framework/Collections.h"
#include "framework/WinApp.h"
#include "framework/ui/MsgMap.h"

BEGIN_MESSAGE_MAP(CTimeDateFormatDlg, CDialog)
    ON_LBN_SELCHANGE(IDC_TDF_TIME_LIST, OnTimeSelChange)
    ON_LBN_SELCHANGE(IDC_TDF_DATE_LIST, OnDateSelChange)
    ON_EN_CHANGE(IDC_TDF_CUSTOM_TIME, OnCustomTimeChange)
    ON_EN_CHANGE(IDC_TDF_CUSTOM_DATE, OnCustomDateChange)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_TDF_MODE_DATE_ONLY, IDC_TDF_MODE_TIME_DATE, OnModeClicked)
END_MESSAGE_MAP()

namespace {

// The list index of the two fixed entries.
const int kDefaultEntry = 0;
const int kCustomEntry = 1;

// The pictures the system offers, in the order it offers them. The
// enumeration callbacks take no context, so the list is one for the process;
// only the user-interface thread touches it, while a format dialog opens.
CStringArray g_systemPictures;

BOOL CALLBACK CollectPicture(LPSTR picture)
{
    g_systemPictures.Add(CString(picture));
    return TRUE;
}

void CollectTimePictures()
{
    g_systemPictures.RemoveAll();
    ::EnumTimeFormatsA(CollectPicture, LOCALE_USER_DEFAULT, LOCALE_USE_CP_ACP);
    ::EnumTimeFormatsA(CollectPicture, LOCALE_SYSTEM_DEFAULT, LOCALE_USE_CP_ACP);
}

void CollectDatePictures()
{
    g_systemPictures.RemoveAll();
    ::EnumDateFormatsA(CollectPicture, LOCALE_USER_DEFAULT, DATE_SHORTDATE);
    ::EnumDateFormatsA(CollectPicture, LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE);
    ::EnumDateFormatsA(CollectPicture, LOCALE_USER_DEFAULT, DATE_LONGDATE);
    ::EnumDateFormatsA(CollectPicture, LOCALE_SYSTEM_DEFAULT, DATE_LONGDATE);
}

// The list index of an exact (case-sensitive) text, or -1; the list box's
// own search ignores case.
int FindExact(const CListBox& list, const CString& text)
{
    const int count = list.GetCount();
    for (int i = 0; i < count; i++) {
        CString item;
        list.GetText(i, item);
        if (item == text)
            return i;
    }
    return -1;
}

int ModeOfButton(UINT nID)
{
    switch (nID) {
    case IDC_TDF_MODE_TIME_ONLY: return TimeDateFormat::TimeOnly;
    case IDC_TDF_MODE_DATE_TIME: return TimeDateFormat::DateBlankTime;
    case IDC_TDF_MODE_DATE_ONLY: return TimeDateFormat::DateOnly;
    default: return TimeDateFormat::TimeBlankDate;
    }
}

UINT ButtonOfMode(int mode)
{
    switch (mode) {
    case TimeDateFormat::TimeOnly: return IDC_TDF_MODE_TIME_ONLY;
    case TimeDateFormat::DateBlankTime: return IDC_TDF_MODE_DATE_TIME;
    case TimeDateFormat::DateOnly: return IDC_TDF_MODE_DATE_ONLY;
    default: return IDC_TDF_MODE_TIME_DATE;
    }
}

}  // namespace

CTimeDateFormatDlg::CTimeDateFormatDlg(CWnd* pParent) : CDialog(IDD, pParent), m_mode(0)
{
    ::GetLocalTime(&m_moment);
    m_time.isTime = true;
    m_time.format = &m_timeFormat;
    m_time.customText = &m_customTime;
    m_date.isTime = false;
    m_date.format = &m_dateFormat;
    m_date.customText = &m_customDate;
    m_windowsDefault.LoadString(IDS_TDF_WINDOWS_DEFAULT);
    m_customEntry.LoadString(IDS_TDF_CUSTOM_FORMAT);
}

BOOL CTimeDateFormatDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_time.list.SubclassDlgItem(IDC_TDF_TIME_LIST, this);
    m_time.custom.SubclassDlgItem(IDC_TDF_CUSTOM_TIME, this);
    m_date.list.SubclassDlgItem(IDC_TDF_DATE_LIST, this);
    m_date.custom.SubclassDlgItem(IDC_TDF_CUSTOM_DATE, this);

    FillList(m_time);
    FillList(m_date);
    SelectEntry(m_time);
    SelectEntry(m_date);
    // The custom texts are final before the edits get them: setting an
    // edit's text comes back as a change of the custom picture.
    const CString customTime = m_customTime;
    const CString customDate = m_customDate;
    m_time.custom.SetWindowText(customTime);
    m_date.custom.SetWindowText(customDate);
    CheckRadioButton(IDC_TDF_MODE_DATE_ONLY, IDC_TDF_MODE_TIME_DATE, ButtonOfMode(m_mode));

    UpdateSample(m_time);
    UpdateSample(m_date);
    UpdateEnabling();
    UpdatePreview();
    return TRUE;
}

// Fills one list with the system's pictures, each once at its first
// occurrence, after the two fixed entries, and shows the first picture as the
// example of its half.
void CTimeDateFormatDlg::FillList(Part& part)
{
    if (part.format->IsEmpty())
        *part.format = m_windowsDefault;
    if (part.isTime)
        CollectTimePictures();
    else
        CollectDatePictures();

    part.list.ResetContent();
    for (INT_PTR i = 0; i < g_systemPictures.GetSize(); i++) {
        if (FindExact(part.list, g_systemPictures[i]) < 0)
            part.list.AddString(g_systemPictures[i]);
    }
    part.list.InsertString(kDefaultEntry, m_windowsDefault);
    part.list.InsertString(kCustomEntry, m_customEntry);

    part.firstPicture = g_systemPictures.GetSize() > 0 ? g_systemPictures[0] : CString();
    const CString example = part.isTime ? FormatTimePicture(m_moment, part.firstPicture, 0)
                                        : FormatDatePicture(m_moment, part.firstPicture, 0);
    SetDlgItemText(part.isTime ? IDC_TDF_TIME_SAMPLE : IDC_TDF_DATE_SAMPLE, example);
    SetDlgItemText(part.isTime ? IDC_TDF_TIME_PICTURE : IDC_TDF_DATE_PICTURE, part.firstPicture);
}

// A picture the system no longer offers is kept as the custom picture.
void CTimeDateFormatDlg::SelectEntry(Part& part)
{
    int index;
    if (*part.format == m_windowsDefault) {
        index = kDefaultEntry;
    } else if (*part.format == m_customEntry) {
        index = kCustomEntry;
    } else {
        index = FindExact(part.list, *part.format);
        if (index < 0) {
            index = kCustomEntry;
            *part.customText = *part.format;
        }
    }
    if (part.customText->IsEmpty())
        *part.customText = part.firstPicture;
    part.list.SetCurSel(index);
}

CString CTimeDateFormatDlg::EntryText(const Part& part) const
{
    const int sel = part.list.GetCurSel();
    if (sel < 0)
        return *part.format;
    CString text;
    part.list.GetText(sel, text);
    return text;
}

// The selected entry at the dialog's moment, with the flags the stamp itself
// uses for the Windows default.
void CTimeDateFormatDlg::UpdateSample(Part& part)
{
    const int sel = part.list.GetCurSel();
    if (sel == kDefaultEntry) {
        part.sample = part.isTime ? FormatTimePicture(m_moment, NULL, LOCALE_NOUSEROVERRIDE)
                                  : FormatDatePicture(m_moment, NULL, DATE_SHORTDATE);
        return;
    }
    const CString picture = sel == kCustomEntry ? *part.customText : EntryText(part);
    part.sample = part.isTime ? FormatTimePicture(m_moment, picture, 0)
                              : FormatDatePicture(m_moment, picture, 0);
}

void CTimeDateFormatDlg::UpdateEnabling()
{
    const bool timeShown = m_mode != TimeDateFormat::DateOnly;
    const bool dateShown = m_mode != TimeDateFormat::TimeOnly;
    m_time.list.EnableWindow(timeShown);
    m_time.custom.EnableWindow(timeShown && m_time.list.GetCurSel() == kCustomEntry);
    m_date.list.EnableWindow(dateShown);
    m_date.custom.EnableWindow(dateShown && m_date.list.GetCurSel() == kCustomEntry);
}

void CTimeDateFormatDlg::UpdatePreview()
{
    SetDlgItemText(IDC_TDF_PREVIEW, JoinTimeDate(m_mode, m_time.sample, m_date.sample));
}

void CTimeDateFormatDlg::OnTimeSelChange()
{
    UpdateSample(m_time);
    UpdateEnabling();
    UpdatePreview();
}

void CTimeDateFormatDlg::OnDateSelChange()
{
    UpdateSample(m_date);
    UpdateEnabling();
    UpdatePreview();
}

void CTimeDateFormatDlg::OnCustomChange(Part& part)
{
    if (part.list.GetSafeHwnd() == NULL || part.list.GetCurSel() != kCustomEntry)
        return;
    part.custom.GetWindowText(*part.customText);
    UpdateSample(part);
    UpdatePreview();
}

void CTimeDateFormatDlg::OnCustomTimeChange()
{
    OnCustomChange(m_time);
}

void CTimeDateFormatDlg::OnCustomDateChange()
{
    OnCustomChange(m_date);
}

void CTimeDateFormatDlg::OnModeClicked(UINT nID)
{
    m_mode = ModeOfButton(nID);
    CheckRadioButton(IDC_TDF_MODE_DATE_ONLY, IDC_TDF_MODE_TIME_DATE, nID);
    UpdateEnabling();
    UpdatePreview();
}

// A custom entry needs a picture: the dialog stays open until one is typed.
void CTimeDateFormatDlg::OnOK()
{
    m_time.custom.GetWindowText(m_customTime);
    m_date.custom.GetWindowText(m_customDate);
    if (m_time.list.GetCurSel() == kCustomEntry && m_customTime.IsEmpty()) {
        AfxMessageBox(IDS_TDF_NEED_CUSTOM_TIME, MB_ICONEXCLAMATION);
        GotoDlgCtrl(&m_time.custom);
        return;
    }
    if (m_date.list.GetCurSel() == kCustomEntry && m_customDate.IsEmpty()) {
        AfxMessageBox(IDS_TDF_NEED_CUSTOM_DATE, MB_ICONEXCLAMATION);
        GotoDlgCtrl(&m_date.custom);
        return;
    }
    m_timeFormat = EntryText(m_time);
    m_dateFormat = EntryText(m_date);
    EndDialog(IDOK);
}

// The record keeps the custom entry as its marker "Custom Format"; the dialog
// shows it as its display text, and maps it back on the way out.
INT_PTR TimeDateFormat::EditWithDialog(CWnd* pParent)
{
    CTimeDateFormatDlg dlg(pParent);
    CString customEntry;
    customEntry.LoadString(IDS_TDF_CUSTOM_FORMAT);
    dlg.m_timeFormat = m_strTimeFormat == kCustomFormat ? customEntry : m_strTimeFormat;
    dlg.m_dateFormat = m_strDateFormat == kCustomFormat ? customEntry : m_strDateFormat;
    dlg.m_customTime = m_strCustomTime;
    dlg.m_customDate = m_strCustomDate;
    dlg.m_mode = m_nMode;

    const INT_PTR result = dlg.DoModal();
    if (result != IDOK)
        return result;
    SetTimeFormat(dlg.m_timeFormat == customEntry ? CString(kCustomFormat) : dlg.m_timeFormat);
    SetDateFormat(dlg.m_dateFormat == customEntry ? CString(kCustomFormat) : dlg.m_dateFormat);
    SetCustomTime(dlg.m_customTime);
    SetCustomDate(dlg.m_customDate);
    SetMode(dlg.m_mode);
    return result;
}
