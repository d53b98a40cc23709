#include "capture/TimeDateFormatDlg.h"

#include "capture/TimeDateFormat.h"
#include "resources/ids_stamp.h"

#include "StampTestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctype.h>
#include <string>
#include <vector>

using namespace stamptest;

namespace {

const char kCaption[] = "时间/日期格式";
const char kWindowsDefault[] = "Windows 默认";
const char kCustomEntry[] = "自定义格式";

SYSTEMTIME FixedMoment()
{
    SYSTEMTIME st = {};
    st.wYear = 2026;
    st.wMonth = 3;
    st.wDayOfWeek = 6;
    st.wDay = 7;
    st.wHour = 9;
    st.wMinute = 5;
    st.wSecond = 3;
    return st;
}

std::vector<std::string> g_pictures;

BOOL CALLBACK Collect(LPSTR picture)
{
    g_pictures.push_back(picture);
    return TRUE;
}

// What the system offers, in its order (duplicates kept).
std::vector<std::string> SystemTimePictures()
{
    g_pictures.clear();
    ::EnumTimeFormatsA(Collect, LOCALE_USER_DEFAULT, LOCALE_USE_CP_ACP);
    ::EnumTimeFormatsA(Collect, LOCALE_SYSTEM_DEFAULT, LOCALE_USE_CP_ACP);
    return g_pictures;
}

std::vector<std::string> SystemDatePictures()
{
    g_pictures.clear();
    ::EnumDateFormatsA(Collect, LOCALE_USER_DEFAULT, DATE_SHORTDATE);
    ::EnumDateFormatsA(Collect, LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE);
    ::EnumDateFormatsA(Collect, LOCALE_USER_DEFAULT, DATE_LONGDATE);
    ::EnumDateFormatsA(Collect, LOCALE_SYSTEM_DEFAULT, DATE_LONGDATE);
    return g_pictures;
}

// The list a dialog shows: the two fixed entries, then each picture once.
std::vector<std::string> ExpectedList(const std::vector<std::string>& pictures)
{
    std::vector<std::string> list = { kWindowsDefault, kCustomEntry };
    for (const std::string& p : pictures) {
        if (std::find(list.begin() + 2, list.end(), p) == list.end())
            list.push_back(p);
    }
    return list;
}

std::string TimeText(const char* picture, DWORD flags)
{
    const SYSTEMTIME st = FixedMoment();
    char text[256] = "";
    ::GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &st, picture, text, sizeof(text));
    return text;
}

std::string DateText(const char* picture, DWORD flags)
{
    const SYSTEMTIME st = FixedMoment();
    char text[256] = "";
    ::GetDateFormatA(LOCALE_USER_DEFAULT, flags, &st, picture, text, sizeof(text));
    return text;
}

BOOL CALLBACK FindIcon(HWND child, LPARAM param)
{
    char cls[16] = "";
    ::GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0 && (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *(HICON*)param = (HICON)::SendMessageA(child, STM_GETICON, 0, 0);
        return FALSE;
    }
    return TRUE;
}

// The icon a message box shows, or null.
HICON MessageBoxIcon(HWND box)
{
    HICON icon = NULL;
    ::EnumChildWindows(box, FindIcon, (LPARAM)&icon);
    return icon;
}

// A dialog at the fixed moment, with custom pictures of known output.
struct FormatDialog {
    CTimeDateFormatDlg dlg;
    FormatDialog(const char* time, const char* date, int mode)
    {
        dlg.m_moment = FixedMoment();
        dlg.m_timeFormat = time;
        dlg.m_dateFormat = date;
        dlg.m_customTime = "HH:mm:ss";
        dlg.m_customDate = "yyyy-MM-dd";
        dlg.m_mode = mode;
    }
};

}  // namespace

TEST(TimeDateFormatDlg, ListsHoldTheFixedEntriesThenTheSystemPictures)
{
    const std::vector<std::string> timePictures = SystemTimePictures();
    const std::vector<std::string> datePictures = SystemDatePictures();
    ASSERT_FALSE(timePictures.empty());
    ASSERT_FALSE(datePictures.empty());

    FormatDialog f(kWindowsDefault, kWindowsDefault, 0);
    f.dlg.m_customTime = "h:mm:ss tt";
    f.dlg.m_customDate = "M/dd/yyyy";
    std::vector<std::string> timeList, dateList;
    std::string timeSample, timePicture, dateSample, datePicture, preview, customTime, customDate;
    int timeSel = -2, dateSel = -2;
    bool acted = false;
    const INT_PTR result = RunDialog(f.dlg, kCaption, [&](HWND h) {
        timeList = ListItems(h, IDC_TDF_TIME_LIST);
        dateList = ListItems(h, IDC_TDF_DATE_LIST);
        timeSel = ListSelection(h, IDC_TDF_TIME_LIST);
        dateSel = ListSelection(h, IDC_TDF_DATE_LIST);
        timeSample = ItemText(h, IDC_TDF_TIME_SAMPLE);
        timePicture = ItemText(h, IDC_TDF_TIME_PICTURE);
        dateSample = ItemText(h, IDC_TDF_DATE_SAMPLE);
        datePicture = ItemText(h, IDC_TDF_DATE_PICTURE);
        preview = ItemText(h, IDC_TDF_PREVIEW);
        customTime = ItemText(h, IDC_TDF_CUSTOM_TIME);
        customDate = ItemText(h, IDC_TDF_CUSTOM_DATE);
        EXPECT_TRUE(IsChecked(h, IDC_TDF_MODE_TIME_DATE));
        return IDCANCEL;
    }, &acted);
    ASSERT_TRUE(acted);
    EXPECT_EQ(IDCANCEL, result);

    EXPECT_EQ(ExpectedList(timePictures), timeList);
    EXPECT_EQ(ExpectedList(datePictures), dateList);
    EXPECT_EQ(0, timeSel);
    EXPECT_EQ(0, dateSel);
    // The examples: the first picture the system offers, formatted and as it is.
    EXPECT_EQ(timePictures[0], timePicture);
    EXPECT_EQ(TimeText(timePictures[0].c_str(), 0), timeSample);
    EXPECT_EQ(datePictures[0], datePicture);
    EXPECT_EQ(DateText(datePictures[0].c_str(), 0), dateSample);
    EXPECT_FALSE(timeSample.empty());
    EXPECT_FALSE(dateSample.empty());
    // Both Windows defaults, time first.
    EXPECT_EQ(TimeText(NULL, LOCALE_NOUSEROVERRIDE) + " " + DateText(NULL, DATE_SHORTDATE), preview);
    EXPECT_EQ("h:mm:ss tt", customTime);
    EXPECT_EQ("M/dd/yyyy", customDate);
}

// Which controls are enabled for each mode, with both lists on the custom
// entry; the mode's radio button is the checked one.
TEST(TimeDateFormatDlg, EnablingFollowsTheMode)
{
    const struct {
        int mode;
        int radio;
        bool timeList, timeEdit, dateList, dateEdit;
    } cases[] = {
        {0, IDC_TDF_MODE_TIME_DATE, true, true, true, true},
        {1, IDC_TDF_MODE_TIME_ONLY, true, true, false, false},
        {2, IDC_TDF_MODE_DATE_TIME, true, true, true, true},
        {3, IDC_TDF_MODE_DATE_ONLY, false, false, true, true},
        {9, IDC_TDF_MODE_TIME_DATE, true, true, true, true},   // unknown: as mode 0
    };
    const int radios[] = {IDC_TDF_MODE_TIME_DATE, IDC_TDF_MODE_TIME_ONLY, IDC_TDF_MODE_DATE_TIME,
                          IDC_TDF_MODE_DATE_ONLY};
    for (const auto& c : cases) {
        FormatDialog f(kCustomEntry, kCustomEntry, c.mode);
        bool acted = false;
        RunDialog(f.dlg, kCaption, [&](HWND h) {
            EXPECT_EQ(c.timeList, IsEnabled(h, IDC_TDF_TIME_LIST)) << c.mode;
            EXPECT_EQ(c.timeEdit, IsEnabled(h, IDC_TDF_CUSTOM_TIME)) << c.mode;
            EXPECT_EQ(c.dateList, IsEnabled(h, IDC_TDF_DATE_LIST)) << c.mode;
            EXPECT_EQ(c.dateEdit, IsEnabled(h, IDC_TDF_CUSTOM_DATE)) << c.mode;
            for (int r : radios)
                EXPECT_EQ(r == c.radio, IsChecked(h, r)) << c.mode << " radio " << r;
            return IDCANCEL;
        }, &acted);
        ASSERT_TRUE(acted);
    }

    // A list off the custom entry disables its edit, whatever the mode.
    FormatDialog f(kWindowsDefault, kCustomEntry, 0);
    bool acted = false;
    RunDialog(f.dlg, kCaption, [&](HWND h) {
        EXPECT_TRUE(IsEnabled(h, IDC_TDF_TIME_LIST));
        EXPECT_FALSE(IsEnabled(h, IDC_TDF_CUSTOM_TIME));
        EXPECT_TRUE(IsEnabled(h, IDC_TDF_CUSTOM_DATE));
        SelectListEntry(h, IDC_TDF_TIME_LIST, 1);
        EXPECT_TRUE(IsEnabled(h, IDC_TDF_CUSTOM_TIME));
        SelectListEntry(h, IDC_TDF_DATE_LIST, 0);
        EXPECT_FALSE(IsEnabled(h, IDC_TDF_CUSTOM_DATE));
        return IDCANCEL;
    }, &acted);
    ASSERT_TRUE(acted);
}

// Clicking a mode updates the enabling, the preview and, after OK, the mode.
TEST(TimeDateFormatDlg, ModeButtonsChangePreviewAndEnabling)
{
    const struct {
        int radio;
        int mode;
        const char* preview;
        bool timeList, dateList;
    } cases[] = {
        {IDC_TDF_MODE_TIME_ONLY, 1, "09:05:03", true, false},
        {IDC_TDF_MODE_DATE_TIME, 2, "2026-03-07 09:05:03", true, true},
        {IDC_TDF_MODE_DATE_ONLY, 3, "2026-03-07", false, true},
        {IDC_TDF_MODE_TIME_DATE, 0, "09:05:03 2026-03-07", true, true},
    };
    for (const auto& c : cases) {
        FormatDialog f(kCustomEntry, kCustomEntry, c.mode == 0 ? 3 : 0);
        bool acted = false;
        const INT_PTR result = RunDialog(f.dlg, kCaption, [&](HWND h) {
            Notify(h, c.radio, BN_CLICKED);
            EXPECT_EQ(c.preview, ItemText(h, IDC_TDF_PREVIEW)) << c.mode;
            EXPECT_TRUE(IsChecked(h, c.radio)) << c.mode;
            EXPECT_EQ(c.timeList, IsEnabled(h, IDC_TDF_TIME_LIST)) << c.mode;
            EXPECT_EQ(c.dateList, IsEnabled(h, IDC_TDF_DATE_LIST)) << c.mode;
            return IDOK;
        }, &acted);
        ASSERT_TRUE(acted);
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(c.mode, f.dlg.m_mode);
    }
}

// The preview follows the selections and the custom pictures as they are typed.
TEST(TimeDateFormatDlg, PreviewFollowsSelectionAndTyping)
{
    const std::vector<std::string> timePictures = SystemTimePictures();
    const std::vector<std::string> dateList = ExpectedList(SystemDatePictures());
    ASSERT_GE(dateList.size(), 3u);
    const std::string defaultTime = TimeText(NULL, LOCALE_NOUSEROVERRIDE);
    const std::string defaultDate = DateText(NULL, DATE_SHORTDATE);
    const std::string thirdDate = DateText(dateList[2].c_str(), 0);

    FormatDialog f(kCustomEntry, kCustomEntry, 2);
    std::vector<std::string> previews;
    bool acted = false;
    const INT_PTR result = RunDialog(f.dlg, kCaption, [&](HWND h) {
        previews.push_back(ItemText(h, IDC_TDF_PREVIEW));
        TypeText(h, IDC_TDF_CUSTOM_TIME, "H' h 'mm");
        previews.push_back(ItemText(h, IDC_TDF_PREVIEW));
        TypeText(h, IDC_TDF_CUSTOM_DATE, "dd/MM");
        previews.push_back(ItemText(h, IDC_TDF_PREVIEW));
        SelectListEntry(h, IDC_TDF_TIME_LIST, 0);
        previews.push_back(ItemText(h, IDC_TDF_PREVIEW));
        SelectListEntry(h, IDC_TDF_DATE_LIST, 2);
        previews.push_back(ItemText(h, IDC_TDF_PREVIEW));
        SelectListEntry(h, IDC_TDF_DATE_LIST, 0);
        previews.push_back(ItemText(h, IDC_TDF_PREVIEW));
        // Typing into an edit whose list is off the custom entry changes nothing.
        SelectListEntry(h, IDC_TDF_DATE_LIST, 1);
        SelectListEntry(h, IDC_TDF_TIME_LIST, 2);
        previews.push_back(ItemText(h, IDC_TDF_PREVIEW));
        return IDOK;
    }, &acted);
    ASSERT_TRUE(acted);
    EXPECT_EQ(IDOK, result);
    const std::vector<std::string> expected = {
        "2026-03-07 09:05:03",
        "2026-03-07 9 h 05",
        "07/03 9 h 05",
        "07/03 " + defaultTime,
        thirdDate + " " + defaultTime,
        defaultDate + " " + defaultTime,
        "07/03 " + TimeText(ExpectedList(timePictures)[2].c_str(), 0),
    };
    EXPECT_EQ(expected, previews);
    EXPECT_STREQ(ExpectedList(timePictures)[2].c_str(), f.dlg.m_timeFormat);
    EXPECT_STREQ(kCustomEntry, f.dlg.m_dateFormat);
    EXPECT_STREQ("H' h 'mm", f.dlg.m_customTime);
    EXPECT_STREQ("dd/MM", f.dlg.m_customDate);
}

// OK with the custom entry and no custom picture: the message, the dialog
// stays open, and OK works once a picture is typed.
TEST(TimeDateFormatDlg, OkNeedsACustomPicture)
{
    CString needDate, needTime;
    needDate.LoadString(IDS_TDF_NEED_CUSTOM_DATE);
    needTime.LoadString(IDS_TDF_NEED_CUSTOM_TIME);
    EXPECT_STREQ("请输入一个自定义日期格式继续。", needDate);
    EXPECT_STREQ("请输入一个自定义时间格式继续。", needTime);

    const struct {
        bool time;
        int list;
        int edit;
        const char* message;
    } cases[] = {
        {false, IDC_TDF_DATE_LIST, IDC_TDF_CUSTOM_DATE, "请输入一个自定义日期格式继续。"},
        {true, IDC_TDF_TIME_LIST, IDC_TDF_CUSTOM_TIME, "请输入一个自定义时间格式继续。"},
    };
    for (const auto& c : cases) {
        FormatDialog f(kWindowsDefault, kWindowsDefault, 0);
        int stage = 0;
        std::vector<std::string> messages;
        UINT icon = 0;   // 1: the box shows the exclamation icon
        HWND focusAfter = NULL;
        HWND editWnd = NULL;
        uitest::ModalAnswerer answer([&](HWND h) {
            const bool isFormat = WindowCaption(h) == kCaption;
            if (stage == 0 && isFormat) {
                SelectListEntry(h, c.list, 1);
                TypeText(h, c.edit, "");
                editWnd = ::GetDlgItem(h, c.edit);
                stage = 1;
                return uitest::ModalAnswerer::Press(h, IDOK);
            }
            if (stage == 1 && !isFormat) {
                messages.push_back(uitest::ModalAnswerer::MessageBoxText(h));
                icon = MessageBoxIcon(h) == ::LoadIconA(NULL, IDI_EXCLAMATION) ? 1 : 0;
                stage = 2;
                return uitest::ModalAnswerer::Press(h, IDOK);
            }
            if (stage == 2 && isFormat) {
                focusAfter = ::GetFocus();
                TypeText(h, c.edit, "yyyy");
                stage = 3;
                return uitest::ModalAnswerer::Press(h, IDOK);
            }
            return false;
        });
        EXPECT_EQ(IDOK, f.dlg.DoModal()) << c.message;
        EXPECT_EQ(3, stage) << "the dialog did not stay open: " << c.message;
        ASSERT_EQ(1u, messages.size()) << c.message;
        EXPECT_EQ(c.message, messages[0]);
        EXPECT_EQ(1u, icon) << c.message;
        EXPECT_EQ(editWnd, focusAfter) << c.message;
        if (c.time) {
            EXPECT_STREQ(kCustomEntry, f.dlg.m_timeFormat);
            EXPECT_STREQ("yyyy", f.dlg.m_customTime);
        } else {
            EXPECT_STREQ(kCustomEntry, f.dlg.m_dateFormat);
            EXPECT_STREQ("yyyy", f.dlg.m_customDate);
        }
    }
}

// Which entry a stored format opens on, and what the custom edit shows.
TEST(TimeDateFormatDlg, StoredFormatSelectsItsEntry)
{
    const std::vector<std::string> timeList = ExpectedList(SystemTimePictures());
    ASSERT_GE(timeList.size(), 3u);
    const std::string offered = timeList.back();
    std::string upper = offered;
    for (char& ch : upper)
        ch = (char)toupper((unsigned char)ch);
    ASSERT_EQ(timeList.end(), std::find(timeList.begin(), timeList.end(), upper)) << upper;
    const std::string first = timeList[2];

    const struct {
        std::string format;
        std::string custom;
        int selection;
        std::string edit;
        bool editEnabled;
    } cases[] = {
        {kWindowsDefault, "HH:mm", 0, "HH:mm", false},
        {"", "HH:mm", 0, "HH:mm", false},                     // empty: the Windows default
        {kCustomEntry, "HH:mm", 1, "HH:mm", true},
        {kCustomEntry, "", 1, first, true},                  // empty custom: the first picture
        {offered, "HH:mm", (int)timeList.size() - 1, "HH:mm", false},
        {"HH'h'mm", "HH:mm", 1, "HH'h'mm", true},             // no longer offered: custom
        {upper, "HH:mm", 1, upper, true},                      // case counts
    };
    for (const auto& c : cases) {
        FormatDialog f("", kWindowsDefault, 0);
        f.dlg.m_timeFormat = c.format.c_str();
        f.dlg.m_customTime = c.custom.c_str();
        int selection = -2;
        std::string edit;
        bool enabled = false;
        bool acted = false;
        RunDialog(f.dlg, kCaption, [&](HWND h) {
            selection = ListSelection(h, IDC_TDF_TIME_LIST);
            edit = ItemText(h, IDC_TDF_CUSTOM_TIME);
            enabled = IsEnabled(h, IDC_TDF_CUSTOM_TIME);
            return IDOK;
        }, &acted);
        ASSERT_TRUE(acted);
        EXPECT_EQ(c.selection, selection) << c.format;
        EXPECT_EQ(c.edit, edit) << c.format;
        EXPECT_EQ(c.editEnabled, enabled) << c.format;
    }
}

// The record's marker "Custom Format" travels as the custom entry and back;
// Cancel leaves the record as it was.
TEST(TimeDateFormatDlg, EditWithDialogStoresTheResultOnOk)
{
    const std::vector<std::string> dateList = ExpectedList(SystemDatePictures());
    ASSERT_GE(dateList.size(), 3u);

    TimeDateFormat record;
    record.SetTimeFormat(TimeDateFormat::kCustomFormat);
    record.SetDateFormat(TimeDateFormat::kWindowsDefault);
    record.SetCustomTime("HH:mm");
    record.SetCustomDate("M/dd/yyyy");
    record.SetMode(2);

    int timeSel = -2;
    std::string customShown;
    bool acted = false;
    uitest::ModalAnswerer answer([&](HWND h) {
        if (acted || WindowCaption(h) != kCaption)
            return false;
        acted = true;
        timeSel = ListSelection(h, IDC_TDF_TIME_LIST);
        customShown = ItemText(h, IDC_TDF_CUSTOM_TIME);
        EXPECT_TRUE(IsChecked(h, IDC_TDF_MODE_DATE_TIME));
        TypeText(h, IDC_TDF_CUSTOM_TIME, "H:mm:ss");
        SelectListEntry(h, IDC_TDF_DATE_LIST, 2);
        Notify(h, IDC_TDF_MODE_TIME_ONLY, BN_CLICKED);
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    EXPECT_EQ(IDOK, record.EditWithDialog(NULL));
    ASSERT_TRUE(acted);
    EXPECT_EQ(1, timeSel);
    EXPECT_EQ("HH:mm", customShown);
    EXPECT_STREQ(TimeDateFormat::kCustomFormat, record.GetTimeFormat());
    EXPECT_STREQ(dateList[2].c_str(), record.GetDateFormat());
    EXPECT_STREQ("H:mm:ss", record.GetCustomTime());
    EXPECT_STREQ("M/dd/yyyy", record.GetCustomDate());
    EXPECT_EQ(1, record.GetMode());

    const TimeDateFormat before = record;
    bool cancelled = false;
    uitest::ModalAnswerer cancel([&](HWND h) {
        if (cancelled || WindowCaption(h) != kCaption)
            return false;
        cancelled = true;
        TypeText(h, IDC_TDF_CUSTOM_TIME, "mm");
        SelectListEntry(h, IDC_TDF_DATE_LIST, 0);
        Notify(h, IDC_TDF_MODE_DATE_ONLY, BN_CLICKED);
        return uitest::ModalAnswerer::Press(h, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, record.EditWithDialog(NULL));
    EXPECT_TRUE(cancelled);
    EXPECT_STREQ(before.GetTimeFormat(), record.GetTimeFormat());
    EXPECT_STREQ(before.GetDateFormat(), record.GetDateFormat());
    EXPECT_STREQ(before.GetCustomTime(), record.GetCustomTime());
    EXPECT_EQ(before.GetMode(), record.GetMode());
}

TEST(TimeDateFormatDlg, WindowsDefaultComesBackAsItIs)
{
    TimeDateFormat record;
    record.SetTimeFormat(TimeDateFormat::kWindowsDefault);
    record.SetDateFormat(TimeDateFormat::kCustomFormat);
    record.SetCustomTime("h:mm:ss tt");
    record.SetCustomDate("yyyy");
    record.SetMode(0);
    bool acted = false;
    uitest::ModalAnswerer answer([&](HWND h) {
        if (acted || WindowCaption(h) != kCaption)
            return false;
        acted = true;
        EXPECT_EQ(1, ListSelection(h, IDC_TDF_DATE_LIST));
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    EXPECT_EQ(IDOK, record.EditWithDialog(NULL));
    ASSERT_TRUE(acted);
    EXPECT_STREQ(kWindowsDefault, record.GetTimeFormat());
    EXPECT_STREQ(TimeDateFormat::kCustomFormat, record.GetDateFormat());
    EXPECT_STREQ("yyyy", record.GetCustomDate());
    EXPECT_EQ(0, record.GetMode());
}
