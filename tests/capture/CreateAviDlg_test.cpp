#include "capture/CreateAviDlg.h"

#include "MediaTestUtil.h"
#include "TestSupport.h"
#include "UiTestUtil.h"
#include "media/AudioConvert.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

std::string ItemText(HWND dialog, int id)
{
    char text[256] = "";
    ::GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

}  // namespace

TEST(CreateAviDlg, ShowsProgressTimeLeftTitleAndOnlyFlagsCancel)
{
    mediatest::CTestParent parent;
    CCreateAviDlg dialog(&parent);
    ASSERT_TRUE(dialog.Create(CCreateAviDlg::IDD, &parent));
    EXPECT_FALSE(::IsWindowVisible(dialog.m_hWnd)) << "created hidden";
    dialog.ShowWindow(SW_SHOW);

    dialog.SetProgress(1000, 250);
    const HWND bar = ::GetDlgItem(dialog.m_hWnd, IDC_CREATE_AVI_PROGRESS);
    EXPECT_EQ(1000, ::SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(250, ::SendMessageA(bar, PBM_GETPOS, 0, 0));
    dialog.SetTimeLeft(42);
    EXPECT_EQ("剩余时间: 约 42 秒", ItemText(dialog.m_hWnd, IDC_CREATE_AVI_TIME_LEFT));
    dialog.SetTimeLeft(0);
    EXPECT_EQ("", ItemText(dialog.m_hWnd, IDC_CREATE_AVI_TIME_LEFT));
    dialog.SetWindowText("正在创建 AVI");
    char title[64] = "";
    ::GetWindowTextA(dialog.m_hWnd, title, sizeof(title));
    EXPECT_STREQ("正在创建 AVI", title);

    // Cancel (the button, Esc) raises the flag and keeps the window.
    EXPECT_FALSE(dialog.m_bCancelRequested);
    ::PostMessageA(::GetDlgItem(dialog.m_hWnd, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(mediatest::PumpUntil([&] { return dialog.m_bCancelRequested != FALSE; }, 5000));
    EXPECT_TRUE(::IsWindowVisible(dialog.m_hWnd));
    dialog.SetCancelRequested(FALSE);
    ::PostMessageA(dialog.m_hWnd, WM_COMMAND, IDOK, 0);
    mediatest::PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(::IsWindow(dialog.m_hWnd));
    EXPECT_FALSE(dialog.IsCancelRequested());
}

// The conversion reports to the real dialog: its title and a full bar at the end.
TEST(CreateAviDlg, ReceivesTheConversionsProgress)
{
    testsupport::ScratchDir dir("vxdlg");
    const WAVEFORMATEX pcm = mediatest::PcmFormat(44100, 2, 16);
    const std::string wav = mediatest::MakeWav(&pcm, 16, mediatest::Sine16(44100, 2, 440, 20.0, 0.3));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("in.wav"), wav.data(), wav.size()));
    mediatest::CTestParent parent;
    CCreateAviDlg dialog(&parent);
    ASSERT_TRUE(dialog.Create(CCreateAviDlg::IDD, &parent));
    WaveFileSource source;
    AcmConverterStage stage;
    WaveFileWriter writer;
    ASSERT_EQ(1, source.Open(dir.File("in.wav").c_str()));
    source.m_sink = &stage;
    stage.m_next = &writer;
    const WAVEFORMATEX target = mediatest::PcmFormat(8000, 1, 8);
    ASSERT_EQ(1, stage.Setup(source.GetFormat(), source.GetFormatSize(), &target, 18));
    ASSERT_EQ(1, writer.Open(dir.File("out.wav").c_str(), &target, 18, 0));
    ASSERT_EQ(1, source.Run(&dialog));
    char title[64] = "";
    ::GetWindowTextA(dialog.m_hWnd, title, sizeof(title));
    EXPECT_STREQ("正在压缩音频...", title);
    const HWND bar = ::GetDlgItem(dialog.m_hWnd, IDC_CREATE_AVI_PROGRESS);
    EXPECT_EQ(1000, ::SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
}
