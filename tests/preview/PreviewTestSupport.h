// Shared pieces of the preview tests: a generated recording with one colour
// per second, a facade playing it, a host window, and screen pixels.
#pragma once
#include "UiTestUtil.h"
#include "TestSupport.h"

#include "XRVDirectShow/TimelinePlayer.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace previewtest {

// Colours of the generated recording, one per second.
extern const DWORD kSecondColours[3];

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A 3 s AVI (5 frames a second) of width x height, one colour per second.
    std::string MakeRecording(int width, int height);
    // A facade over the file with its preview graph built.
    std::unique_ptr<CTimelinePlayer> MakePlayer(const std::string& file);
    testsupport::ScratchDir dir{"preview"};
};

// The colour (0xRRGGBB) on the screen at a point, as Wine shows it.
DWORD ScreenPixel(int x, int y);
// True when two colours are within `tolerance` per channel.
bool Near(DWORD a, DWORD b, int tolerance = 2);

}  // namespace previewtest
