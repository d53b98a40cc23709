#pragma once
// The time/date format of the system stamp (dialog 316): what the stamp shows
// (time, date, both in either order), a list of the system's time pictures
// and one of its date pictures, each headed by the Windows-default and the
// custom entry, the custom pictures, and a preview. Data in, data out: the
// caller fills the members (TimeDateFormat::EditWithDialog does) and reads
// them back after IDOK. UI thread only.
#include "framework/ui/Controls.h"
#include "framework/ui/Dialog.h"
#include "resources/ids_stamp.h"

class CTimeDateFormatDlg : public CDialog {
public:
    enum { IDD = IDD_TIME_DATE_FORMAT };

    explicit CTimeDateFormatDlg(CWnd* pParent = NULL);

    // The time and date entries as the lists show them: the Windows-default
    // entry, the custom entry's display text, or a picture.
    CString m_timeFormat;
    CString m_dateFormat;
    CString m_customTime;
    CString m_customDate;
    int m_mode;   // TimeDateFormat::Mode
    // The moment of every sample and of the preview: the local time when the
    // dialog object was made.
    SYSTEMTIME m_moment;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnTimeSelChange();
    void OnDateSelChange();
    void OnCustomTimeChange();
    void OnCustomDateChange();
    void OnModeClicked(UINT nID);
    DECLARE_MESSAGE_MAP()

private:
    // One of the two halves of the dialog.
    struct Part {
        bool isTime;
        CListBox list;
        CEdit custom;
        CString* format;        // the member the half reads and writes
        CString* customText;
        CString sample;         // the selected entry formatted at m_moment
        CString firstPicture;   // the first picture the system offered
    };

    void FillList(Part& part);
    void SelectEntry(Part& part);
    void UpdateSample(Part& part);
    void UpdateEnabling();
    void UpdatePreview();
    void OnCustomChange(Part& part);
    CString EntryText(const Part& part) const;

    Part m_time;
    Part m_date;
    CString m_windowsDefault;   // the Windows-default entry
    CString m_customEntry;      // the custom entry's display text
};
