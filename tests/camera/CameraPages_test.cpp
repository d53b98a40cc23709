// The camera settings page in a property sheet and the video compression
// dialog, driven by clicks and keys (SendInput) with the test cameras and
// the xrvc compressor, checked on the screen's pixels and on the settings.
#include <string>
#include <vector>

// The window layer comes before the DirectShow headers (windowsx.h).
#include "camera/XRVCameraSettingsDlg.h"
#include "camera/XRVCameraVidCompPropDlg.h"
#include "camera/XRVCameraConfig.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/TestCameraIds.h"

#include "ControlsInput.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "XRVDirectShow/GraphUtil.h"
#include "resources/ids_finishing.h"

#include <dshow.h>
#include <stdlib.h>

namespace {

const char kXrvcCodec[] = "Kestravon Screen Capture Codec";

CString Narrow(LPCWSTR text) { return CString(CStringW(text)); }

std::string Text(HWND h)
{
    char text[256] = "";
    ::GetWindowTextA(h, text, sizeof(text));
    return text;
}

std::vector<std::string> ComboEntries(HWND combo)
{
    std::vector<std::string> entries;
    const int count = (int)::SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        ::SendMessageA(combo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)text);
        entries.push_back(text);
    }
    return entries;
}

bool Near(COLORREF c, const BYTE rgb[3], int tolerance = 24)
{
    return abs((int)GetRValue(c) - rgb[0]) <= tolerance && abs((int)GetGValue(c) - rgb[1]) <= tolerance &&
           abs((int)GetBValue(c) - rgb[2]) <= tolerance;
}

// Clicks the centre of a window.
void ClickOn(HWND h)
{
    RECT r;
    ::GetWindowRect(h, &r);
    ctlinput::ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// A key pressed on a control that has the focus.
void KeyOn(HWND h, WORD vk)
{
    ::SendMessageA(h, WM_KEYDOWN, vk, 1);
    ::SendMessageA(h, WM_KEYUP, vk, 0xC0000001);
}

BOOL CALLBACK FindSizeListChild(HWND h, LPARAM found)
{
    char cls[32] = "";
    ::GetClassNameA(h, cls, sizeof(cls));
    if (::GetDlgCtrlID(h) != kTestCameraPageSizeList || lstrcmpiA(cls, "ComboBox") != 0)
        return TRUE;
    *(HWND*)found = h;
    return FALSE;
}

// The size list of the test camera's format page inside a property frame.
HWND FindSizeList(HWND frame)
{
    HWND found = NULL;
    ::EnumChildWindows(frame, &FindSizeListChild, (LPARAM)&found);
    return found;
}

// The title of a property sheet's tab.
std::string TabTitle(HWND sheet, int index)
{
    HWND tabs = (HWND)::SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    char text[128] = "";
    TCITEMA item;
    memset(&item, 0, sizeof(item));
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    if (!tabs || !::SendMessageA(tabs, TCM_GETITEMA, (WPARAM)index, (LPARAM)&item))
        return "";
    return text;
}

// The sizes camera A's capture pin offers, read from a camera object of its
// own and written as the format page writes them ("320 x 240").
std::vector<std::string> OfferedSizes()
{
    std::vector<std::string> sizes;
    CComPtr<IBaseFilter> filter;
    CComPtr<IPin> out;
    CComPtr<IAMStreamConfig> config;
    int count = 0, capsSize = 0;
    if (FAILED(::CoCreateInstance(CLSID_TestCameraA, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  (void**)&filter.p)) ||
        FAILED(FindOutputPin(filter, &out.p, 0)) ||
        FAILED(out->QueryInterface(IID_IAMStreamConfig, (void**)&config.p)) ||
        FAILED(config->GetNumberOfCapabilities(&count, &capsSize)))
        return sizes;
    std::vector<BYTE> caps(capsSize);
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* mt = NULL;
        if (config->GetStreamCaps(i, &mt, caps.data()) != S_OK || !mt)
            continue;
        const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
        sizes.push_back(std::to_string(bih.biWidth) + " x " + std::to_string(bih.biHeight));
        ::CoTaskMemFree(mt->pbFormat);
        ::CoTaskMemFree(mt);
    }
    return sizes;
}

// Records what reaches the window the page notifies.
class CNotifyWnd : public CWnd {
public:
    struct Note {
        WPARAM w;
        LPARAM l;
    };
    std::vector<Note> notes;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CAMERA_PAGE_ACTIVE)
            notes.push_back({wParam, lParam});
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class CameraPageTest : public CameraTest {
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        camera.reset(new XRVCameraConfig("3.0", kTestKeyFormat, kTestSection));
    }
    void TearDown() override
    {
        CloseSheet();
        if (notify.m_hWnd)
            notify.DestroyWindow();
        camera.reset();
        uitest::PumpPending();
        CameraTest::TearDown();
    }

    void Open(UINT templateId = IDD_CAMERA_PAGE)
    {
        if (!notify.m_hWnd)
            ASSERT_TRUE(notify.CreateEx(0, "STATIC", "notify", WS_POPUP, 0, 0, 10, 10, NULL, NULL));
        page.reset(new XRVCameraSettingsDlg(camera.get(), NULL, &notify, templateId));
        sheet.reset(new CPropertySheet("选项"));
        sheet->AddPage(page.get());
        ASSERT_TRUE(sheet->Create(NULL));
        ASSERT_TRUE(uitest::PumpUntil([&] { return page->m_hWnd != NULL; }));
        ::SetWindowPos(sheet->m_hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        ::SetForegroundWindow(sheet->m_hWnd);
        uitest::PumpPending();
    }
    void CloseSheet()
    {
        if (sheet && sheet->m_hWnd)
            sheet->DestroyWindow();
        sheet.reset();
        page.reset();
    }
    HWND Item(int id) const { return ::GetDlgItem(page->m_hWnd, id); }
    HWND SheetButton(int id) const { return ::GetDlgItem(sheet->m_hWnd, id); }

    // Picks the combo's entry `index` the way a hand does: a click opens
    // the list, the arrow keys move, Enter takes it.
    void PickByKeys(HWND combo, int index)
    {
        ClickOn(combo);
        const int now = (int)::SendMessageA(combo, CB_GETCURSEL, 0, 0);
        for (int i = now; i < index; ++i)
            ctlinput::Key(VK_DOWN);
        for (int i = now; i > index; --i)
            ctlinput::Key(VK_UP);
        ctlinput::Key(VK_RETURN);
        ctlinput::Pump(100);
    }

    // Screen point of a client point of the page.
    POINT PagePoint(int x, int y) const { return ctlinput::ScreenPoint(page->m_hWnd, x, y); }

    // The camera's background colour fills the lower part of the preview
    // rectangle (the moving bar takes one point at most).
    bool PreviewShows(const BYTE rgb[3]) const
    {
        const RECT r = page->PreviewRect();
        const int y = r.top + (r.bottom - r.top) * 9 / 10;
        int matching = 0;
        for (int i = 1; i <= 4; ++i) {
            const POINT p = PagePoint(r.left + (r.right - r.left) * i / 5, y);
            if (Near(uitest::ScreenPixel(p.x, p.y), rgb))
                ++matching;
        }
        return matching >= 3;
    }
    bool WaitForPicture(const BYTE rgb[3]) const
    {
        return uitest::PumpUntil([&] { return PreviewShows(rgb); }, 8000);
    }

    std::unique_ptr<XRVCameraConfig> camera;
    std::unique_ptr<XRVCameraSettingsDlg> page;
    std::unique_ptr<CPropertySheet> sheet;
    CNotifyWnd notify;
};

// Both test cameras are listed, never the dummy; the configured one is
// selected and its picture fills the frame inside the inset; the frame is
// 4:3 plus its border; the activation reaches the window to notify.
TEST_F(CameraPageTest, ListsTheCamerasAndShowsThePictureInTheFrame)
{
    ASSERT_TRUE(camera->SetDevice(Narrow(TEST_CAMERA_A_NAME)));
    Open();
    const std::vector<std::string> devices = ComboEntries(Item(IDC_CAMPAGE_DEVICE));
    EXPECT_EQ((std::vector<std::string>{(LPCSTR)Narrow(TEST_CAMERA_A_NAME), (LPCSTR)Narrow(TEST_CAMERA_B_NAME)}),
              devices);
    EXPECT_EQ((std::string)(LPCSTR)Narrow(TEST_CAMERA_A_NAME), Text(Item(IDC_CAMPAGE_DEVICE)));

    RECT frame;
    ::GetWindowRect(Item(IDC_CAMPAGE_PREVIEW_FRAME), &frame);
    ::MapWindowPoints(NULL, page->m_hWnd, (POINT*)&frame, 2);
    const int width = frame.right - frame.left;
    EXPECT_EQ((int)(0.75 * width + 7), frame.bottom - frame.top);
    const RECT r = page->PreviewRect();
    EXPECT_EQ(frame.left + 5, r.left);
    EXPECT_EQ(frame.top + 10, r.top);
    EXPECT_EQ(frame.right - 5, r.right);
    EXPECT_EQ(frame.bottom - 5, r.bottom);

    ASSERT_TRUE(WaitForPicture(kTestCameraColour[0])) << "camera A's picture in the frame";
    EXPECT_TRUE(camera->IsPreviewRunning());
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_CAMPAGE_ERROR))) << "the error text is hidden while the picture runs";
    // The picture ends at the inset: the frame's margin keeps the page's colour.
    const int midY = (r.top + r.bottom) / 2;
    // The moving bar covers one edge of the picture at most.
    const POINT insideLeft = PagePoint(r.left + 1, r.bottom - 2);
    const POINT insideRight = PagePoint(r.right - 2, r.bottom - 2);
    const POINT margin = PagePoint(frame.left + 3, midY);
    const POINT below = PagePoint((r.left + r.right) / 2, r.bottom + 2);
    EXPECT_TRUE(Near(uitest::ScreenPixel(insideLeft.x, insideLeft.y), kTestCameraColour[0]) ||
                Near(uitest::ScreenPixel(insideRight.x, insideRight.y), kTestCameraColour[0]));
    EXPECT_FALSE(Near(uitest::ScreenPixel(margin.x, margin.y), kTestCameraColour[0]));
    EXPECT_FALSE(Near(uitest::ScreenPixel(below.x, below.y), kTestCameraColour[0]));
    for (int id : {IDC_CAMPAGE_DEVICE, IDC_CAMPAGE_DEFAULT})
        EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
    // The test camera's filter lists no property pages; its capture pin
    // lists the format page.
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_CAMPAGE_PROPERTIES)));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_CAMPAGE_FORMAT)));

    ASSERT_EQ(1u, notify.notes.size()) << "one activation";
    EXPECT_EQ(0u, notify.notes[0].w);
    EXPECT_EQ(3, (int)notify.notes[0].l);
}

// Each camera's own picture shows in the frame; picking camera B by keys
// moves the camera and its preview over to B; Cancel selects the camera the
// page was filled with again, OK keeps B; leaving stops the preview.
// (The picture of a preview started a second time on the same camera object
// stays unpainted under Wine: the pixel checks look at first starts.)
TEST_F(CameraPageTest, OtherCameraThenCancelOrOk)
{
    const struct {
        int button;
        LPCWSTR kept;
    } cases[] = {{IDCANCEL, TEST_CAMERA_A_NAME}, {IDOK, TEST_CAMERA_B_NAME}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        camera.reset(new XRVCameraConfig("3.0", kTestKeyFormat, kTestSection));
        ASSERT_TRUE(camera->SetDevice(Narrow(c.button == IDOK ? TEST_CAMERA_B_NAME : TEST_CAMERA_A_NAME)));
        Open();
        ASSERT_TRUE(WaitForPicture(kTestCameraColour[c.button == IDOK ? 1 : 0])) << "the camera's own picture";
        CloseSheet();
        ASSERT_TRUE(camera->SetDevice(Narrow(TEST_CAMERA_A_NAME)));
        Open();
        PickByKeys(Item(IDC_CAMPAGE_DEVICE), 1);
        EXPECT_EQ((std::string)(LPCSTR)Narrow(TEST_CAMERA_B_NAME), Text(Item(IDC_CAMPAGE_DEVICE)));
        EXPECT_STREQ(Narrow(TEST_CAMERA_B_NAME), camera->GetDeviceName()) << "the page works on the camera at once";
        EXPECT_TRUE(camera->IsPreviewRunning()) << "the preview runs on camera B";
        EXPECT_FALSE(::IsWindowVisible(Item(IDC_CAMPAGE_ERROR)));
        ClickOn(SheetButton(c.button));
        ASSERT_TRUE(uitest::PumpUntil([&] { return !camera->IsPreviewRunning(); }));
        EXPECT_STREQ(Narrow(c.kept), camera->GetDeviceName());
        CloseSheet();
        notify.notes.clear();
    }
}

// Default replaces every setting with a fresh record's and picks the first
// camera; the record stays where the main window saves it.
TEST_F(CameraPageTest, DefaultGivesTheRecordsDefaults)
{
    ASSERT_TRUE(camera->SetDevice(Narrow(TEST_CAMERA_B_NAME)));
    CameraSettings* s = camera->GetSettings();
    s->m_useDefaultCodecSettings = FALSE;
    s->m_useKeyFrameRate = FALSE;
    s->m_keyFrameRate = 7;
    s->m_useDataRate = TRUE;
    s->m_dataRate = 900;
    s->m_quality = 12;
    const BYTE state[3] = {1, 2, 3};
    s->SetCodecState(state, 3);
    AM_MEDIA_TYPE mt = s->m_mediaType;
    VIDEOINFOHEADER vih = *(const VIDEOINFOHEADER*)mt.pbFormat;
    vih.bmiHeader.biWidth = 160;
    vih.bmiHeader.biHeight = 120;
    mt.pbFormat = (BYTE*)&vih;
    s->SetMediaType(mt);
    Open(IDD_CAMERA_PAGE_CODEC);
    ClickOn(Item(IDC_CAMPAGE_DEFAULT));
    ASSERT_TRUE(uitest::PumpUntil([&] { return camera->IsPreviewRunning(); }));

    const CameraSettings fresh("3.0", kTestKeyFormat, kTestSection);
    const CameraSettings* now = camera->GetSettings();
    EXPECT_EQ(fresh.m_useDefaultCodecSettings, now->m_useDefaultCodecSettings);
    EXPECT_EQ(fresh.m_useKeyFrameRate, now->m_useKeyFrameRate);
    EXPECT_EQ(fresh.m_keyFrameRate, now->m_keyFrameRate);
    EXPECT_EQ(fresh.m_useDataRate, now->m_useDataRate);
    EXPECT_EQ(fresh.m_dataRate, now->m_dataRate);
    EXPECT_EQ(fresh.m_quality, now->m_quality);
    EXPECT_EQ(0, now->m_codecStateSize);
    EXPECT_EQ(nullptr, now->m_codecState);
    EXPECT_STREQ(fresh.m_codecName, now->m_codecName);
    EXPECT_STREQ(fresh.KeyPath(), now->KeyPath());
    int w = 0, h = 0;
    ASSERT_TRUE(camera->GetVideoSize(&w, &h));
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);
    EXPECT_STREQ(Narrow(TEST_CAMERA_A_NAME), camera->GetDeviceName()) << "the first camera";
    EXPECT_EQ((std::string)(LPCSTR)Narrow(TEST_CAMERA_A_NAME), Text(Item(IDC_CAMPAGE_DEVICE)));
    CString defaultCodec;
    defaultCodec.LoadString(IDS_DEFAULT_CODEC);
    EXPECT_EQ((std::string)(LPCSTR)defaultCodec, Text(Item(IDC_CAMPAGE_CODEC)));
}

// Without a camera (none registered, or only the dummy, which is never
// listed) the combo holds only the notice and every control is disabled,
// on both templates.
TEST_F(CameraPageTest, NoCameraDisablesEverything)
{
    const struct {
        int cameras;
        UINT templateId;
    } cases[] = {
        {kCamerasNone, IDD_CAMERA_PAGE},
        {kCameraDummy, IDD_CAMERA_PAGE},
        {kCamerasNone, IDD_CAMERA_PAGE_CODEC},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cameras << " " << c.templateId);
        UseCameras(c.cameras);
        camera.reset(new XRVCameraConfig("3.0", kTestKeyFormat, kTestSection));
        Open(c.templateId);
        EXPECT_EQ((std::vector<std::string>{"未找到相机设备。"}), ComboEntries(Item(IDC_CAMPAGE_DEVICE)));
        EXPECT_EQ("未找到相机设备。", Text(Item(IDC_CAMPAGE_DEVICE)));
        std::vector<int> ids = {IDC_CAMPAGE_DEVICE, IDC_CAMPAGE_PROPERTIES, IDC_CAMPAGE_FORMAT, IDC_CAMPAGE_DEFAULT};
        if (c.templateId == IDD_CAMERA_PAGE_CODEC) {
            ids.push_back(IDC_CAMPAGE_CODEC);
            ids.push_back(IDC_CAMPAGE_COMPRESSION);
        } else {
            EXPECT_EQ(NULL, Item(IDC_CAMPAGE_CODEC)) << "the plain page has no codec choice";
        }
        for (int id : ids)
            EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
        // A click on the disabled default button changes nothing.
        ClickOn(Item(IDC_CAMPAGE_DEFAULT));
        EXPECT_TRUE(camera->GetDeviceName().IsEmpty());
        EXPECT_FALSE(camera->IsPreviewRunning());
        CloseSheet();
    }
}

// The codec template: the xrvc compressor is picked by keys; the
// compression dialog opens at the compressor's default quality; page right
// from 95 stops at 100; OK stores quality and key frames in the settings,
// Cancel changes nothing.
TEST_F(CameraPageTest, CompressionDialogFromTheCodecPage)
{
    ASSERT_TRUE(camera->SetDevice(Narrow(TEST_CAMERA_A_NAME)));
    // The compressor's own defaults, read independently of the dialog.
    ASSERT_TRUE(camera->SetCodec(kXrvcCodec));
    double defaultQuality = -1;
    LONG defaultKeyRate = -1;
    {
        CComPtr<IPin> out;
        CComPtr<IAMVideoCompression> compression;
        ASSERT_EQ(S_OK, FindOutputPin(camera->CompressorFilter(), &out.p, 0));
        ASSERT_EQ(S_OK, out->QueryInterface(IID_IAMVideoCompression, (void**)&compression.p));
        ASSERT_EQ(S_OK, compression->GetInfo(NULL, NULL, NULL, NULL, &defaultKeyRate, NULL, &defaultQuality, NULL));
    }
    const int openQuality = (int)(defaultQuality * 100 + 0.5);
    ASSERT_TRUE(camera->SetCodec(CameraSettings::DefaultCodecName()));

    camera->GetSettings()->m_listCompressors = TRUE;
    Open(IDD_CAMERA_PAGE_CODEC);
    HWND codecs = Item(IDC_CAMPAGE_CODEC);
    const std::vector<std::string> names = ComboEntries(codecs);
    int xrvc = -1;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == kXrvcCodec) {
            EXPECT_EQ(-1, xrvc) << "listed once";
            xrvc = (int)i;
        }
    ASSERT_GE(xrvc, 0);
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_CAMPAGE_COMPRESSION))) << "nothing to set for the default codec";
    PickByKeys(codecs, xrvc);
    EXPECT_STREQ(kXrvcCodec, camera->GetCodecName());
    ASSERT_TRUE(uitest::PumpUntil([&] { return ::IsWindowEnabled(Item(IDC_CAMPAGE_COMPRESSION)) != FALSE; }));

    // The script answers the dialog one step per look: it reads the
    // opening state, walks the quality bar by keys (Home, line left at 0,
    // page right nine times and line right five times to 95, then page
    // right twice), types 30 key frames and ends with Enter or Escape.
    struct Seen {
        std::string openText, lastText;
        std::vector<int> positions;
        bool keyChecked = false;
        std::string keyRate;
        bool configure = true, about = true;
        int step = 0;
    };
    auto script = [](Seen* seen, int finish) {
        return [seen, finish](HWND dialog) {
            if (Text(dialog) != "视频压缩配置")
                return false;
            HWND bar = ::GetDlgItem(dialog, IDC_VCOMP_QUALITY);
            auto record = [&] { seen->positions.push_back(::GetScrollPos(bar, SB_CTL)); };
            switch (seen->step++) {
            case 0:
                seen->openText = Text(::GetDlgItem(dialog, IDC_VCOMP_QUALITY_VALUE));
                record();
                seen->keyChecked = ::IsDlgButtonChecked(dialog, IDC_VCOMP_USE_KEY_FRAMES) == BST_CHECKED;
                seen->keyRate = Text(::GetDlgItem(dialog, IDC_VCOMP_KEY_FRAMES));
                seen->configure = ::IsWindowEnabled(::GetDlgItem(dialog, IDC_VCOMP_CONFIGURE)) != FALSE;
                seen->about = ::IsWindowEnabled(::GetDlgItem(dialog, IDC_VCOMP_ABOUT)) != FALSE;
                ::SetFocus(bar);
                return false;
            case 1:
                KeyOn(bar, VK_HOME);
                KeyOn(bar, VK_LEFT);
                record();   // 0: line left from 0
                return false;
            case 2:
                for (int i = 0; i < 9; ++i)
                    KeyOn(bar, VK_NEXT);
                for (int i = 0; i < 5; ++i)
                    KeyOn(bar, VK_RIGHT);
                record();   // 95
                KeyOn(bar, VK_NEXT);
                return false;
            case 3:
                record();   // 100
                KeyOn(bar, VK_NEXT);
                return false;
            case 4: {
                record();   // still 100
                seen->lastText = Text(::GetDlgItem(dialog, IDC_VCOMP_QUALITY_VALUE));
                HWND edit = ::GetDlgItem(dialog, IDC_VCOMP_KEY_FRAMES);
                ::SetWindowTextA(edit, "30");
                return false;
            }
            case 5:
                return uitest::ModalAnswerer::Press(dialog, finish);
            default:
                return false;
            }
        };
    };

    const CameraSettings before(camera->GetSettings());
    const int cases[] = {IDCANCEL, IDOK};
    for (int button : cases) {
        SCOPED_TRACE(button);
        Seen seen;
        {
            uitest::ModalAnswerer answer(script(&seen, button), 30000);
            ClickOn(Item(IDC_CAMPAGE_COMPRESSION));

            ASSERT_TRUE(uitest::PumpUntil([&] { return answer.Answered() > 0; }, 30000));
            uitest::PumpPending();
        }
        EXPECT_EQ(std::to_string(openQuality), seen.openText) << "opens at the compressor's default quality";
        ASSERT_EQ(5u, seen.positions.size());
        EXPECT_EQ(openQuality, seen.positions[0]);
        EXPECT_EQ(0, seen.positions[1]) << "line left from 0 stays 0";
        EXPECT_EQ(95, seen.positions[2]);
        EXPECT_EQ(100, seen.positions[3]) << "page right from 95";
        EXPECT_EQ(100, seen.positions[4]) << "stops at 100";
        EXPECT_EQ("100", seen.lastText);
        EXPECT_TRUE(seen.keyChecked);
        EXPECT_EQ(std::to_string(defaultKeyRate), seen.keyRate) << "the compressor's default key-frame rate";
        EXPECT_FALSE(seen.configure) << "the xrvc codec has no configuration box";
        EXPECT_FALSE(seen.about);

        const CameraSettings* s = camera->GetSettings();
        if (button == IDCANCEL) {
            EXPECT_EQ(before.m_useDefaultCodecSettings, s->m_useDefaultCodecSettings);
            EXPECT_EQ(before.m_quality, s->m_quality);
            EXPECT_EQ(before.m_useKeyFrameRate, s->m_useKeyFrameRate);
            EXPECT_EQ(before.m_keyFrameRate, s->m_keyFrameRate);
        } else {
            EXPECT_FALSE(s->m_useDefaultCodecSettings);
            EXPECT_EQ(100, s->m_quality);
            EXPECT_TRUE(s->m_useKeyFrameRate);
            EXPECT_EQ(30, s->m_keyFrameRate);
            EXPECT_FALSE(s->m_useDataRate);
        }
        EXPECT_TRUE(uitest::PumpUntil([&] { return camera->IsPreviewRunning(); })) << "the preview runs again";
    }
}

// The video format button opens the capture pin's page in the property
// frame: its tab, the sizes the pin offers and the present one selected.
// 160 x 120 picked by keys and Cancel keep 320 x 240; picked and OK, the
// settings take 160 x 120; the preview runs again after each, at that size.
// Camera recordings afterwards (through the compressor, and through the
// Windows Media writer) are 160 x 120.
TEST_F(CameraPageTest, VideoFormatPageSetsTheCameraSize)
{
    ASSERT_TRUE(camera->SetDevice(Narrow(TEST_CAMERA_A_NAME)));
    const std::vector<std::string> offered = OfferedSizes();
    int small = -1;
    for (size_t i = 0; i < offered.size(); ++i)
        if (offered[i] == "160 x 120")
            small = (int)i;
    ASSERT_GE(small, 0) << "the camera offers 160 x 120";
    Open();
    ASSERT_TRUE(uitest::PumpUntil([&] { return camera->IsPreviewRunning(); }));
    ASSERT_TRUE(::IsWindowEnabled(Item(IDC_CAMPAGE_FORMAT)));

    struct Seen {
        HWND frame = NULL;
        std::string tab, openSelection, pickedSelection;
        std::vector<std::string> entries;
        int step = 0;
    };
    const struct {
        int button;
        int width, height;
    } cases[] = {{IDCANCEL, 320, 240}, {IDOK, 160, 120}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        Seen seen;
        {
            uitest::ModalAnswerer answer(
                [&](HWND frame) {
                    HWND list = FindSizeList(frame);
                    if (!list)
                        return false;
                    switch (seen.step++) {
                    case 0: {
                        seen.frame = frame;
                        seen.tab = TabTitle(frame, 0);
                        seen.entries = ComboEntries(list);
                        seen.openSelection = Text(list);
                        ::SetFocus(list);
                        const int now = (int)::SendMessageA(list, CB_GETCURSEL, 0, 0);
                        for (int i = now; i < small; ++i)
                            KeyOn(list, VK_DOWN);
                        for (int i = now; i > small; --i)
                            KeyOn(list, VK_UP);
                        return false;
                    }
                    case 1:
                        seen.pickedSelection = Text(list);
                        return uitest::ModalAnswerer::Press(frame, c.button);
                    default:
                        return false;
                    }
                },
                30000);
            ClickOn(Item(IDC_CAMPAGE_FORMAT));
            ASSERT_TRUE(uitest::PumpUntil([&] { return answer.Answered() > 0; }, 30000));
            ASSERT_TRUE(uitest::PumpUntil([&] { return !::IsWindow(seen.frame); })) << "the frame closes";
        }
        EXPECT_EQ((std::string)(LPCSTR)Narrow(TEST_CAMERA_FORMAT_PAGE_TITLE), seen.tab);
        EXPECT_EQ(offered, seen.entries) << "every size the pin offers";
        EXPECT_EQ("320 x 240", seen.openSelection) << "the pin's present size";
        EXPECT_EQ("160 x 120", seen.pickedSelection);
        int w = 0, h = 0;
        ASSERT_TRUE(camera->GetVideoSize(&w, &h));
        EXPECT_EQ(c.width, w);
        EXPECT_EQ(c.height, h);
        const AM_MEDIA_TYPE& mt = camera->GetSettings()->m_mediaType;
        ASSERT_TRUE(mt.formattype == FORMAT_VideoInfo && mt.pbFormat);
        EXPECT_EQ((DWORD)(((c.width * 3 + 3) & ~3) * c.height),
                  ((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader.biSizeImage);
        ASSERT_TRUE(uitest::PumpUntil([&] { return camera->IsPreviewRunning(); })) << "the preview runs again";
        // The preview's camera delivers the size of the settings.
        CComPtr<IBaseFilter> previewCamera;
        CComPtr<IPin> out;
        AM_MEDIA_TYPE connected;
        ASSERT_EQ(S_OK, camera->Graph()->FindFilterByName(TEST_CAMERA_A_NAME, &previewCamera.p));
        ASSERT_EQ(S_OK, FindOutputPin(previewCamera, &out.p, 0));
        ASSERT_EQ(S_OK, out->ConnectionMediaType(&connected));
        EXPECT_EQ(c.width, ((const VIDEOINFOHEADER*)connected.pbFormat)->bmiHeader.biWidth);
        ::CoTaskMemFree(connected.pbFormat);
    }
    // OK on the sheet ends the preview; the size stays for the recording.
    ClickOn(SheetButton(IDOK));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !camera->IsPreviewRunning(); }));
    CloseSheet();

    // Both recording roads: the compressor's AVI and the Windows Media file.
    camera->SetProfileNames("Skorvale Studio Camera Video (CBR)", "Skorvale Studio Camera Video and Audio (CBR)",
                            (testsupport::SourceDir() + "\\resources\\Windows Media Profiles").c_str());
    const struct {
        const char* codec;
        const char* name;
        const char* probed;
    } roads[] = {{kXrvcCodec, "small_Camera.avi", "avi,xrvc,160,120"},
                 {NULL, "small_Camera.wmv", "asf,ZMBV,160,120"}};
    for (const auto& road : roads) {
        SCOPED_TRACE(road.name);
        ASSERT_TRUE(camera->SetCodec(road.codec ? road.codec : (LPCSTR)CameraSettings::DefaultCodecName()));
        testsupport::ScratchDir dir("vxcam");
        const std::string file = dir.File(road.name);
        camera->SetCodecFlag(FALSE);
        camera->SetOutputName(file.c_str());
        ASSERT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL));
        Sleep(2000);
        ASSERT_TRUE(camera->StopCapture(TRUE, 5000));
        const std::string unix = testsupport::UnixPath(file);
        std::string container, video;
        testsupport::RunHost("ffprobe -v error -show_entries format=format_name -of csv=p=0 '" + unix + "' 2>/dev/null",
                             &container);
        testsupport::RunHost("ffprobe -v error -select_streams v:0 -show_entries "
                             "stream=codec_tag_string,width,height -of csv=p=0 '" + unix + "' 2>/dev/null",
                             &video);
        EXPECT_EQ(road.probed, container.substr(0, container.find('\n')) + "," + video.substr(0, video.find('\n')));
    }
}

// The quality bar's steps: lines and pages clamped to the range, the thumb
// codes take the given position, the ends go to the range's ends.
TEST(CameraCompressionScroll, StepsStayInTheRange)
{
    const struct {
        UINT code;
        int pos, thumb, expected;
    } cases[] = {
        {SB_PAGERIGHT, 95, 0, 100}, {SB_PAGERIGHT, 50, 0, 60}, {SB_LINELEFT, 0, 0, 0},
        {SB_LINELEFT, 7, 0, 6},     {SB_LINERIGHT, 100, 0, 100}, {SB_LINERIGHT, 41, 0, 42},
        {SB_PAGELEFT, 5, 0, 0},     {SB_PAGELEFT, 75, 0, 65},    {SB_THUMBTRACK, 10, 33, 33},
        {SB_THUMBPOSITION, 10, 150, 100}, {SB_LEFT, 64, 0, 0},   {SB_RIGHT, 3, 0, 100},
        {SB_ENDSCROLL, 47, 0, 47},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, XRVCameraVidCompPropDlg::ScrollStep(c.code, c.pos, c.thumb, 0, 100))
            << c.code << " from " << c.pos;
}

// The dialog on its own: stored values show as given (not the compressor's
// defaults) and OK hands quality and key frames to the compressor; without
// a compressor every compression control is off.
TEST_F(CameraPageTest, CompressionDialogShowsStoredValuesAndSetsTheCompressor)
{
    ASSERT_TRUE(camera->SetDevice(Narrow(TEST_CAMERA_A_NAME)));
    ASSERT_TRUE(camera->SetCodec(kXrvcCodec));
    CComPtr<IBaseFilter> filter(camera->CompressorFilter());
    ASSERT_TRUE(filter != NULL);
    CComPtr<IPin> out;
    CComPtr<IAMVideoCompression> compression;
    ASSERT_EQ(S_OK, FindOutputPin(filter, &out.p, 0));
    ASSERT_EQ(S_OK, out->QueryInterface(IID_IAMVideoCompression, (void**)&compression.p));
    LONG caps = 0;
    ASSERT_EQ(S_OK, compression->GetInfo(NULL, NULL, NULL, NULL, NULL, NULL, NULL, &caps));
    ASSERT_TRUE(caps & CompressionCaps_CanQuality);
    ASSERT_TRUE(caps & CompressionCaps_CanKeyFrame);

    struct Seen {
        std::string quality, keyRate;
        bool keyChecked = true, keyEditEnabled = true, barEnabled = false;
    };
    const struct {
        bool withCompressor;
        int button;
    } cases[] = {{true, IDOK}, {false, IDOK}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.withCompressor);
        XRVCameraVidCompPropDlg dialog;
        if (c.withCompressor)
            dialog.SetCompressor(filter);
        dialog.m_useDefaultCodecSettings = FALSE;
        dialog.m_quality = 42;
        dialog.m_useKeyFrames = FALSE;
        dialog.m_keyFrameRate = 12;
        Seen seen;
        INT_PTR result = 0;
        {
            uitest::ModalAnswerer answer([&](HWND h) {
                seen.quality = Text(::GetDlgItem(h, IDC_VCOMP_QUALITY_VALUE));
                seen.keyRate = Text(::GetDlgItem(h, IDC_VCOMP_KEY_FRAMES));
                seen.keyChecked = ::IsDlgButtonChecked(h, IDC_VCOMP_USE_KEY_FRAMES) == BST_CHECKED;
                seen.keyEditEnabled = ::IsWindowEnabled(::GetDlgItem(h, IDC_VCOMP_KEY_FRAMES)) != FALSE;
                seen.barEnabled = ::IsWindowEnabled(::GetDlgItem(h, IDC_VCOMP_QUALITY)) != FALSE;
                return uitest::ModalAnswerer::Press(h, c.button);
            });
            result = dialog.DoModal();
        }
        EXPECT_EQ(c.button, (int)result);
        if (c.withCompressor) {
            EXPECT_EQ("42", seen.quality);
            EXPECT_EQ("12", seen.keyRate);
            EXPECT_FALSE(seen.keyChecked);
            EXPECT_FALSE(seen.keyEditEnabled) << "the interval follows its check box";
            EXPECT_TRUE(seen.barEnabled);
            double quality = -1;
            ASSERT_EQ(S_OK, compression->get_Quality(&quality));
            EXPECT_NEAR(0.42, quality, 0.005) << "OK hands the quality on";
        } else {
            EXPECT_EQ("", seen.quality);
            EXPECT_FALSE(seen.barEnabled);
        }
    }
}

// The preview shows the camera's picture each time it starts, also after a
// stop on the same camera object and after a switch to the other camera (a
// user toggling the preview, or choosing a camera on the page).
TEST_F(CameraTest, PreviewShowsThePictureAgainAfterAStop)
{
    XRVCameraConfig camera("3.0", kTestKeyFormat, kTestSection);
    const RECT area = {100, 100, 420, 340};
    HWND owner = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "camera preview", WS_POPUP | WS_VISIBLE, area.left,
                                   area.top, area.right - area.left, area.bottom - area.top, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(owner != NULL);
    const RECT inside = {0, 0, area.right - area.left, area.bottom - area.top};
    camera.SetPreviewRect(inside);
    // The lower part of the picture holds the camera's background colour.
    auto shows = [&](const BYTE rgb[3]) {
        return uitest::PumpUntil(
            [&] {
                int matching = 0;
                for (int i = 1; i <= 4; ++i)
                    matching += Near(uitest::ScreenPixel(area.left + (area.right - area.left) * i / 5,
                                                         area.top + (area.bottom - area.top) * 9 / 10),
                                     rgb);
                return matching >= 3;
            },
            8000);
    };
    const struct {
        LPCWSTR device;
        int colour;
    } starts[] = {{TEST_CAMERA_A_NAME, 0}, {TEST_CAMERA_A_NAME, 0}, {TEST_CAMERA_B_NAME, 1}, {TEST_CAMERA_A_NAME, 0}};
    for (const auto& start : starts) {
        SCOPED_TRACE(testing::Message() << "start on camera " << (start.colour == 0 ? "A" : "B"));
        ASSERT_TRUE(camera.GetSettings()->SelectDevice(CString(CStringW(start.device))));
        ASSERT_TRUE(camera.StartPreview(owner));
        EXPECT_TRUE(shows(kTestCameraColour[start.colour]));
        camera.StopPreview();
        ctlinput::Pump(100);
    }
    ::DestroyWindow(owner);
}

}  // namespace
