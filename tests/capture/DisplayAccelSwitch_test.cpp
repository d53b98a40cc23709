#include "capture/DisplayAccelSwitch.h"

#include "tests/support/TestSupport.h"

#include <shlwapi.h>
#include <gtest/gtest.h>
#include <string>

namespace {

// Counts display resets instead of resetting the real display, and picks the
// system's path rule.
class CountingSwitch : public CDisplayAccelSwitch {
public:
    explicit CountingSwitch(BOOL xp = FALSE) : m_xp(xp) {}
    int resets = 0;

protected:
    void ResetDisplay() override { ++resets; }
    BOOL IsWindowsXP() const override { return m_xp; }

private:
    BOOL m_xp;
};

HKEY CreateKey(HKEY root, const std::string& path)
{
    HKEY key = NULL;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL))
        << path;
    return key;
}

void SetDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    HKEY key = CreateKey(root, path);
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
    RegCloseKey(key);
}

void SetString(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    HKEY key = CreateKey(root, path);
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    RegCloseKey(key);
}

// Returns the level, or -1 when the value is missing.
long ReadLevel(HKEY root, const std::string& path)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD value = 0, size = sizeof(value);
    LONG result = RegQueryValueExA(key, "Acceleration.Level", NULL, NULL, (BYTE*)&value, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? (long)value : -1;
}

// Redirects HKEY_LOCAL_MACHINE and HKEY_CURRENT_CONFIG into a scratch key of
// the current user for the life of the fixture, so that made-up display
// devices can be listed and switched.
class FakeDisplayRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_machine = CreateKey(HKEY_CURRENT_USER, m_scratch.SubKey() + "\\machine");
        m_config = CreateKey(HKEY_CURRENT_USER, m_scratch.SubKey() + "\\config");
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_machine));
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_CONFIG, m_config));
    }
    void TearDown() override
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, NULL);
        RegOverridePredefKey(HKEY_CURRENT_CONFIG, NULL);
        RegCloseKey(m_machine);
        RegCloseKey(m_config);
    }

    // One video object: its kernel path in the device map, whether it is
    // attached, and its level (-1: no value).
    void AddDevice(int n, const std::string& kernelPath, const std::string& keyPath, DWORD attached, long level)
    {
        SetString(m_machine, "HARDWARE\\DEVICEMAP\\VIDEO", ("\\Device\\Video" + std::to_string(n)).c_str(),
                  kernelPath);
        SetDword(m_config, keyPath, "Attach.ToDesktop", attached);
        HKEY key = CreateKey(m_machine, keyPath);
        RegCloseKey(key);
        if (level >= 0)
            SetDword(m_machine, keyPath, "Acceleration.Level", (DWORD)level);
    }
    void SetMaxObject(DWORD n) { SetDword(m_machine, "HARDWARE\\DEVICEMAP\\VIDEO", "MaxObjectNumber", n); }

    testsupport::ScratchRegKey m_scratch{"Software\\VexcapTest\\DisplayAccel"};
    HKEY m_machine = NULL;
    HKEY m_config = NULL;
};

const char kKernelA[] = "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\cardA\\Device0";
const char kKernelB[] = "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\cardB\\Device0";
const char kKeyA[] = "System\\CurrentControlSet\\Services\\cardA\\Device0";
const char kKeyB[] = "System\\CurrentControlSet\\Services\\cardB\\Device0";

}  // namespace

// Wine lists no switchable display device: the switch must do nothing, and
// above all never reset the display.
TEST(DisplayAccelSwitch, RealRegistryUnderWineSkipsCleanly)
{
    CountingSwitch sw;
    sw.FindDevices();
    EXPECT_EQ(0, sw.GetDeviceCount());
    sw.DisableAcceleration();
    sw.RestoreAcceleration();
    EXPECT_EQ(0, sw.resets);
}

TEST_F(FakeDisplayRegistry, VgaFallbackOnlyListsNothing)
{
    SetMaxObject(0);
    SetString(m_machine, "HARDWARE\\DEVICEMAP\\VIDEO", "\\Device\\Video0",
              "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\VgaSave\\Device0");
    SetDword(m_config, "System\\CurrentControlSet\\Services\\VgaSave\\Device0", "Attach.ToDesktop", 1);
    CountingSwitch sw;
    sw.FindDevices();
    EXPECT_EQ(0, sw.GetDeviceCount());
    sw.DisableAcceleration();
    sw.RestoreAcceleration();
    EXPECT_EQ(0, sw.resets);
    EXPECT_EQ(-1, ReadLevel(m_machine, "System\\CurrentControlSet\\Services\\VgaSave\\Device0"));
}

TEST_F(FakeDisplayRegistry, DisableWritesOnlyDevicesNotAtFiveAndRestorePutsBack)
{
    SetMaxObject(2);
    AddDevice(0, kKernelA, kKeyA, 1, 5);
    AddDevice(1, kKernelB, kKeyB, 1, -1);
    AddDevice(2, "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\cardC\\Device0",
              "System\\CurrentControlSet\\Services\\cardC\\Device0", 0, 2);   // not attached

    CountingSwitch sw;
    sw.FindDevices();
    ASSERT_EQ(2, sw.GetDeviceCount());
    EXPECT_STREQ(kKeyA, sw.GetDeviceKey(0));
    EXPECT_STREQ(kKeyB, sw.GetDeviceKey(1));
    EXPECT_EQ(5u, sw.GetSavedLevel(kKeyA));
    EXPECT_EQ(0u, sw.GetSavedLevel(kKeyB));

    sw.DisableAcceleration();
    EXPECT_EQ(1, sw.resets);
    EXPECT_EQ(5, ReadLevel(m_machine, kKeyA));
    EXPECT_EQ(5, ReadLevel(m_machine, kKeyB));
    EXPECT_EQ(2, ReadLevel(m_machine, "System\\CurrentControlSet\\Services\\cardC\\Device0"));

    sw.RestoreAcceleration();
    EXPECT_EQ(2, sw.resets);
    EXPECT_EQ(5, ReadLevel(m_machine, kKeyA));
    EXPECT_EQ(-1, ReadLevel(m_machine, kKeyB)) << "a device without a level loses the value again";

    sw.RestoreAcceleration();
    EXPECT_EQ(2, sw.resets) << "nothing to put back: no reset";
}

TEST_F(FakeDisplayRegistry, AllDevicesAlreadyOffNeverResets)
{
    SetMaxObject(0);
    AddDevice(0, kKernelA, kKeyA, 1, 5);
    CountingSwitch sw;
    sw.FindDevices();
    sw.DisableAcceleration();
    sw.RestoreAcceleration();
    EXPECT_EQ(0, sw.resets);
}

TEST_F(FakeDisplayRegistry, RestorePutsBackAChangedNonZeroLevel)
{
    SetMaxObject(0);
    AddDevice(0, kKernelA, kKeyA, 1, 3);
    CountingSwitch sw;
    sw.FindDevices();
    sw.DisableAcceleration();
    EXPECT_EQ(5, ReadLevel(m_machine, kKeyA));
    sw.RestoreAcceleration();
    EXPECT_EQ(3, ReadLevel(m_machine, kKeyA));
    EXPECT_EQ(2, sw.resets);
}

// The device's key path comes from its kernel path by the system's rule; a
// path that does not fit the rule is skipped instead of turned into garbage.
TEST_F(FakeDisplayRegistry, KernelPathRules)
{
    struct Case {
        BOOL xp;
        const char* kernelPath;
        const char* keyPath;   // expected; NULL: skipped
    } cases[] = {
        {FALSE, "\\Registry\\Machine\\System\\ControlSet001\\Services\\nv\\Device0",
         "System\\CurrentControlSet\\Services\\nv\\Device0"},
        {FALSE, "\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Video\\{X}\\0000", NULL},
        {TRUE, "\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Video\\{X}\\0000",
         "System\\CurrentControlSet\\Control\\Video\\{X}\\0000"},
        {TRUE, "\\Device\\Nowhere", NULL},
    };
    for (const Case& c : cases) {
        SHDeleteKeyA(m_machine, "HARDWARE");
        SetMaxObject(0);
        if (c.keyPath)
            AddDevice(0, c.kernelPath, c.keyPath, 1, 1);
        else
            SetString(m_machine, "HARDWARE\\DEVICEMAP\\VIDEO", "\\Device\\Video0", c.kernelPath);
        CountingSwitch sw(c.xp);
        sw.FindDevices();
        if (!c.keyPath) {
            EXPECT_EQ(0, sw.GetDeviceCount()) << c.kernelPath;
            continue;
        }
        ASSERT_EQ(1, sw.GetDeviceCount()) << c.kernelPath;
        EXPECT_STREQ(c.keyPath, sw.GetDeviceKey(0)) << c.kernelPath;
        EXPECT_EQ(1u, sw.GetSavedLevel(c.keyPath)) << c.kernelPath;
    }
}
