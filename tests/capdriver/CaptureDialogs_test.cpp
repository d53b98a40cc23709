// The format dialog (DVM_DIALOG) and the about dialog (DRV_CONFIGURE and the
// format dialog's About button), driven under Xvfb from a helper thread while
// the test thread sits in the driver's modal loop.
#include "DriverTestFixture.h"

#include "resources/zentivo_ids.h"

#include <atomic>
#include <thread>

using namespace captest;

namespace {

const wchar_t kFormatTitle[] = L"Skorvale Studio Video Capture Format";
const wchar_t kAboutTitle[] = L"About Skorvale Studio Video Capture";

class CaptureDialogsTest : public DriverTest {
protected:
    // Sends DVM_DIALOG on this thread while `script` works the dialog from
    // another thread; answers what DVM_DIALOG answered.
    LRESULT RunFormatDialog(const DriverChannel& capture, const std::function<void(HWND)>& script)
    {
        const DWORD thread = GetCurrentThreadId();
        std::thread helper([&] {
            HWND dialog = WaitForWindow(thread, kFormatTitle);
            ASSERT_NE(nullptr, dialog) << "the format dialog did not appear";
            script(dialog);
        });
        const LRESULT answer = capture.Send(DVM_DIALOG, 0, 0);
        helper.join();
        return answer;
    }

    static std::wstring ComboText(HWND dialog, int id, int row)
    {
        wchar_t text[64] = L"";
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(text));
        return text;
    }

    static int Selection(HWND dialog, int id)
    {
        return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
    }

    static void Select(HWND dialog, int id, int row)
    {
        SendDlgItemMessageW(dialog, id, CB_SETCURSEL, row, 0);
    }

    static void ClickCustomSize(HWND dialog, bool ticked)
    {
        HWND box = GetDlgItem(dialog, IDC_ZENTIVO_CUSTOM_SIZE);
        SendMessageW(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ZENTIVO_CUSTOM_SIZE, BN_CLICKED), reinterpret_cast<LPARAM>(box));
    }

    static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

    static std::wstring ItemText(HWND dialog, int id)
    {
        wchar_t text[256] = L"";
        GetDlgItemTextW(dialog, id, text, 256);
        return text;
    }

    static void ExpectSettings(std::initializer_list<Setting> expected)
    {
        for (const Setting& s : expected) {
            DWORD value = 0xDEAD;
            EXPECT_TRUE(ReadSetting(s.name, &value)) << "setting not stored";
            EXPECT_EQ(s.value, value) << "setting " << static_cast<int>(s.name[0]) << s.name[1] << s.name[2];
        }
    }
};

TEST_F(CaptureDialogsTest, FormatDialogShowsTheCurrentSettingsAndCancelChangesNothing)
{
    DriverChannel capture(VIDEO_IN);
    const LRESULT answer = RunFormatDialog(capture, [&](HWND dialog) {
        const wchar_t* presets[] = {L"40 x 30",   L"80 x 60",   L"120 x 90",  L"160 x 120", L"176 x 144",
                                    L"200 x 150", L"240 x 180", L"280 x 210", L"320 x 240", L"360 x 270",
                                    L"400 x 300", L"440 x 330", L"480 x 360", L"520 x 390", L"560 x 420",
                                    L"600 x 450", L"640 x 480", L"800 x 600"};
        EXPECT_EQ(18, SendDlgItemMessageW(dialog, IDC_ZENTIVO_SIZE_LIST, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < 18; ++i)
            EXPECT_EQ(presets[i], ComboText(dialog, IDC_ZENTIVO_SIZE_LIST, i)) << "row " << i;
        EXPECT_EQ(8, Selection(dialog, IDC_ZENTIVO_SIZE_LIST));
        const wchar_t* formats[] = {L"8 bit Palettized", L"16 bit RGB", L"24 bit RGB", L"32 bit RGB"};
        EXPECT_EQ(4, SendDlgItemMessageW(dialog, IDC_ZENTIVO_FORMAT_LIST, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(formats[i], ComboText(dialog, IDC_ZENTIVO_FORMAT_LIST, i)) << "row " << i;
        EXPECT_EQ(1, Selection(dialog, IDC_ZENTIVO_FORMAT_LIST));
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, IDC_ZENTIVO_CUSTOM_SIZE));
        EXPECT_EQ(L"320", ItemText(dialog, IDC_ZENTIVO_CUSTOM_WIDTH));
        EXPECT_EQ(L"240", ItemText(dialog, IDC_ZENTIVO_CUSTOM_HEIGHT));
        EXPECT_TRUE(Enabled(dialog, IDC_ZENTIVO_SIZE_LIST));
        EXPECT_FALSE(Enabled(dialog, IDC_ZENTIVO_CUSTOM_WIDTH));
        EXPECT_FALSE(Enabled(dialog, IDC_ZENTIVO_CUSTOM_HEIGHT));

        Select(dialog, IDC_ZENTIVO_SIZE_LIST, 16);
        Select(dialog, IDC_ZENTIVO_FORMAT_LIST, 3);
        PressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(DV_ERR_OK, answer);
    const BITMAPINFOHEADER format = capture.Format();
    EXPECT_EQ(320, format.biWidth);
    EXPECT_EQ(16, format.biBitCount);
    DWORD value = 0;
    EXPECT_FALSE(ReadSetting(L"PresetSize", &value)) << "Cancel stored settings";
}

TEST_F(CaptureDialogsTest, PresetAndFormatChosenInTheDialog)
{
    DriverChannel capture(VIDEO_IN);
    EXPECT_EQ(DV_ERR_OK, RunFormatDialog(capture, [&](HWND dialog) {
        Select(dialog, IDC_ZENTIVO_SIZE_LIST, 16);
        Select(dialog, IDC_ZENTIVO_FORMAT_LIST, 2);
        PressButton(dialog, IDOK);
    }));
    const BITMAPINFOHEADER format = capture.Format();
    EXPECT_EQ(640, format.biWidth);
    EXPECT_EQ(480, format.biHeight);
    EXPECT_EQ(24, format.biBitCount);
    EXPECT_EQ(921600u, format.biSizeImage);
    ExpectSettings({{L"BitCount", 24}, {L"PresetSize", 17}, {L"PresetWidth", 640}, {L"PresetHeight", 480},
                    {L"CustomSize", 0}, {L"CustomWidth", 320}, {L"CustomHeight", 240}});
    // The next frame publishes the new format to the recorder.
    std::vector<BYTE> frame;
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    LiveRecorder recorder;
    ASSERT_TRUE(recorder.OpenHeader());
    EXPECT_EQ(640, recorder.Header()->width);
    EXPECT_EQ(921600u, recorder.Header()->imageSize);
}

TEST_F(CaptureDialogsTest, CustomSizeChosenInTheDialog)
{
    DriverChannel capture(VIDEO_IN);
    EXPECT_EQ(DV_ERR_OK, RunFormatDialog(capture, [&](HWND dialog) {
        ClickCustomSize(dialog, true);
        EXPECT_FALSE(Enabled(dialog, IDC_ZENTIVO_SIZE_LIST));
        EXPECT_TRUE(Enabled(dialog, IDC_ZENTIVO_CUSTOM_WIDTH));
        EXPECT_TRUE(Enabled(dialog, IDC_ZENTIVO_CUSTOM_HEIGHT));
        ClickCustomSize(dialog, false);
        EXPECT_TRUE(Enabled(dialog, IDC_ZENTIVO_SIZE_LIST));
        EXPECT_FALSE(Enabled(dialog, IDC_ZENTIVO_CUSTOM_WIDTH));
        ClickCustomSize(dialog, true);
        SetDlgItemTextW(dialog, IDC_ZENTIVO_CUSTOM_WIDTH, L"352");
        SetDlgItemTextW(dialog, IDC_ZENTIVO_CUSTOM_HEIGHT, L"288");
        Select(dialog, IDC_ZENTIVO_FORMAT_LIST, 3);
        PressButton(dialog, IDOK);
    }));
    const BITMAPINFOHEADER format = capture.Format();
    EXPECT_EQ(352, format.biWidth);
    EXPECT_EQ(288, format.biHeight);
    EXPECT_EQ(32, format.biBitCount);
    ExpectSettings({{L"BitCount", 32}, {L"PresetSize", 9}, {L"CustomSize", 1}, {L"CustomWidth", 352},
                    {L"CustomHeight", 288}});

    // The next device set-up opens in custom mode, and the dialog shows it.
    capture.Close();
    DriverChannel again(VIDEO_IN);
    EXPECT_EQ(352, again.Format().biWidth);
    EXPECT_EQ(DV_ERR_OK, RunFormatDialog(again, [&](HWND dialog) {
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, IDC_ZENTIVO_CUSTOM_SIZE));
        EXPECT_FALSE(Enabled(dialog, IDC_ZENTIVO_SIZE_LIST));
        EXPECT_EQ(L"352", ItemText(dialog, IDC_ZENTIVO_CUSTOM_WIDTH));
        EXPECT_EQ(3, Selection(dialog, IDC_ZENTIVO_FORMAT_LIST));
        PressButton(dialog, IDCANCEL);
    }));
}

TEST_F(CaptureDialogsTest, InvalidCustomSizeKeepsTheDialogOpen)
{
    const struct {
        const wchar_t* width;
        const wchar_t* height;
        bool custom;
        const wchar_t* message;
    } cases[] = {
        {L"0", L"240", false, L"Custom Size width and height must be greater than zero"},
        {L"320", L"", true, L"Custom Size width and height must be greater than zero"},
        {L"3000000000", L"10", true, L"Custom Size width and height must be greater than zero"},
        {L"99999999999", L"10", false, L"Custom Size width and height must be greater than zero"},
        {L"20000", L"20000", true, L"Custom Size width and height are too large for the selected image format"},
    };
    DriverChannel capture(VIDEO_IN);
    const DWORD thread = GetCurrentThreadId();
    for (const auto& c : cases) {
        // The fixture's answerer would take the box; this case reads it itself.
        m_boxes.reset();
        std::wstring shown;
        bool stayedOpen = false;
        EXPECT_EQ(DV_ERR_OK, RunFormatDialog(capture, [&](HWND dialog) {
            ClickCustomSize(dialog, c.custom);
            Select(dialog, IDC_ZENTIVO_FORMAT_LIST, 3);
            SetDlgItemTextW(dialog, IDC_ZENTIVO_CUSTOM_WIDTH, c.width);
            SetDlgItemTextW(dialog, IDC_ZENTIVO_CUSTOM_HEIGHT, c.height);
            PressButton(dialog, IDOK);
            HWND box = WaitForWindow(thread, kDriverCaption);
            ASSERT_NE(nullptr, box);
            shown = MessageBoxText(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            WaitUntil([&] { return !IsWindowVisible(box); });
            stayedOpen = IsWindowVisible(dialog) != FALSE;
            PressButton(dialog, IDCANCEL);
        }));
        m_boxes.reset(new MessageBoxAnswerer(thread));
        EXPECT_EQ(c.message, shown) << c.width << " x " << c.height;
        EXPECT_TRUE(stayedOpen) << c.width << " x " << c.height;
        const BITMAPINFOHEADER format = capture.Format();
        EXPECT_EQ(320, format.biWidth) << c.width << " x " << c.height;
        EXPECT_EQ(16, format.biBitCount) << c.width << " x " << c.height;
        DWORD value = 0;
        EXPECT_FALSE(ReadSetting(L"CustomWidth", &value)) << "settings were stored";
    }
}

// A dialog that cannot be shown (its owner is no window) is reported, not
// answered as if the user had closed it.
TEST_F(CaptureDialogsTest, FormatDialogWithAnInvalidOwnerIsAnError)
{
    DriverChannel capture(VIDEO_IN);
    const DWORD thread = GetCurrentThreadId();
    std::atomic<bool> done{false};
    bool appeared = false;
    std::thread guard([&] {
        WaitUntil([&] {
            HWND dialog = FindThreadWindow(thread, kFormatTitle);
            if (dialog) {
                appeared = true;
                PressButton(dialog, IDCANCEL);
            }
            return done.load();
        }, 20000);
    });
    HWND gone = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    EXPECT_EQ(DV_ERR_NONSPECIFIC, capture.Send(DVM_DIALOG, reinterpret_cast<LPARAM>(gone), 0));
    done = true;
    guard.join();
    EXPECT_FALSE(appeared);
}

TEST_F(CaptureDialogsTest, AboutFromTheFormatDialog)
{
    DriverChannel capture(VIDEO_IN);
    const DWORD thread = GetCurrentThreadId();
    EXPECT_EQ(DV_ERR_OK, RunFormatDialog(capture, [&](HWND dialog) {
        PressButton(dialog, IDC_ZENTIVO_ABOUT);
        HWND about = WaitForWindow(thread, kAboutTitle);
        ASSERT_NE(nullptr, about);
        EXPECT_EQ(dialog, GetWindow(about, GW_OWNER));
        EXPECT_EQ(L"Skorvale Studio Video Capture v1.0.3", ItemText(about, IDC_ZENTIVO_ABOUT_VERSION));
        PressButton(about, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
        EXPECT_TRUE(IsWindowVisible(dialog));
        PressButton(dialog, IDCANCEL);
    }));
}

TEST_F(CaptureDialogsTest, ConfigureShowsTheAboutDialog)
{
    HDRVR config = OpenDriver(DriverPath().c_str(), NULL, 0);
    ASSERT_NE(nullptr, config);
    const DWORD thread = GetCurrentThreadId();
    for (int button : {IDOK, IDCANCEL}) {
        std::thread helper([&] {
            HWND about = WaitForWindow(thread, kAboutTitle);
            ASSERT_NE(nullptr, about);
            EXPECT_EQ(L"Skorvale Studio Video Capture v1.0.3", ItemText(about, IDC_ZENTIVO_ABOUT_VERSION));
            PressButton(about, button);
        });
        EXPECT_EQ(1, SendDriverMessage(config, DRV_CONFIGURE, 0, 0));
        helper.join();
    }
    CloseDriver(config, 0, 0);
}

}  // namespace
