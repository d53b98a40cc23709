#pragma once
// The fixture of every capture-driver test: stored settings of 320 x 240 at
// 16 bits (so the first-run hint stays away), a watcher that answers any
// driver message box on the test thread, and the check that each test leaves
// the driver unloaded and the live-output header gone.
#include "DriverTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        captest::StoreSettings({{L"BitCount", 16}});
        m_boxes.reset(new captest::MessageBoxAnswerer(GetCurrentThreadId()));
    }

    void TearDown() override
    {
        m_boxes.reset();
        EXPECT_FALSE(captest::DriverLoaded()) << "a test left the driver loaded";
        EXPECT_FALSE(captest::LiveHeaderExists()) << "a test left the live-output header open";
    }

    std::vector<std::wstring> Boxes() const { return m_boxes->Texts(); }

    std::unique_ptr<captest::MessageBoxAnswerer> m_boxes;
};
