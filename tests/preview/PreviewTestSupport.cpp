#include "PreviewTestSupport.h"

#include "DexTestMedia.h"

namespace previewtest {

const DWORD kSecondColours[3] = {dextest::kRed, dextest::kBlue, dextest::kGreen};

void PreviewTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)));
    XRVDSTimeline::s_bForcePlainRenderer = TRUE;
}

void PreviewTest::TearDown()
{
    XRVDSTimeline::s_bForcePlainRenderer = FALSE;
    CoUninitialize();
}

std::string PreviewTest::MakeRecording(int width, int height)
{
    dextest::AviPlan avi;
    avi.width = width;
    avi.height = height;
    avi.fps = 5;
    for (DWORD colour : kSecondColours)
        avi.frameColours.insert(avi.frameColours.end(), 5, colour);
    const std::string file = dir.File("rec" + std::to_string(width) + "x" + std::to_string(height) + ".avi");
    EXPECT_EQ("", dextest::WriteAvi(file, avi));
    return file;
}

std::unique_ptr<CTimelinePlayer> PreviewTest::MakePlayer(const std::string& file)
{
    std::unique_ptr<CTimelinePlayer> player(new CTimelinePlayer);
    EXPECT_EQ(S_OK, player->AddMediaFile(0, file.c_str()));
    EXPECT_EQ(S_OK, player->BuildPreviewGraph());
    return player;
}

DWORD ScreenPixel(int x, int y)
{
    HDC screen = GetDC(NULL);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(NULL, screen);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

bool Near(DWORD a, DWORD b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = (int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}

}  // namespace previewtest
