#include "media/MixerSlider.h"

#include "FakeMixer.h"
#include "UiTestUtil.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

// The input volume control of Wine's mixer for wave-input device 0, read and
// written through a handle of the test's own.
class RealInputVolume {
public:
    RealInputVolume()
    {
        if (mixerGetID(reinterpret_cast<HMIXEROBJ>(0), &mixerId, MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR ||
            mixerOpen(&mixer, mixerId, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR)
            return;
        MIXERLINEA line = {};
        line.cbStruct = sizeof(line);
        line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
        if (mixerGetLineInfoA(Obj(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE))
            return;
        channels = line.cChannels;
        MIXERCONTROLA control = {};
        control.cbStruct = sizeof(control);
        MIXERLINECONTROLSA controls = {};
        controls.cbStruct = sizeof(controls);
        controls.dwLineID = line.dwLineID;
        controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof(control);
        controls.pamxctrl = &control;
        if (mixerGetLineControlsA(Obj(), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE))
            return;
        controlId = control.dwControlID;
        ok = true;
        Get(&saved[0], &saved[1]);
    }
    ~RealInputVolume()
    {
        if (ok)
            Set(saved[0], saved[1]);
        if (mixer)
            mixerClose(mixer);
    }
    bool Get(DWORD* left, DWORD* right)
    {
        DWORD values[2] = {0, 0};
        MIXERCONTROLDETAILS details = Details(values);
        const bool got = mixerGetControlDetailsA(Obj(), &details, MIXER_OBJECTF_HMIXER) == MMSYSERR_NOERROR;
        *left = values[0];
        *right = values[1];
        return got;
    }
    bool Set(DWORD left, DWORD right)
    {
        DWORD values[2] = {left, right};
        MIXERCONTROLDETAILS details = Details(values);
        return mixerSetControlDetails(Obj(), &details, MIXER_OBJECTF_HMIXER) == MMSYSERR_NOERROR;
    }
    bool ok = false;
    UINT mixerId = 0;
    DWORD channels = 0;

private:
    HMIXEROBJ Obj() const { return reinterpret_cast<HMIXEROBJ>(mixer); }
    MIXERCONTROLDETAILS Details(DWORD* values)
    {
        MIXERCONTROLDETAILS details = {};
        details.cbStruct = sizeof(details);
        details.dwControlID = controlId;
        details.cChannels = channels;
        details.cbDetails = 4;
        details.paDetails = values;
        return details;
    }
    HMIXER mixer = NULL;
    DWORD controlId = 0;
    DWORD saved[2] = {0, 0};
};

class SliderFixture : public testing::Test {
protected:
    void Make(DWORD style = TBS_HORZ)
    {
        ASSERT_TRUE(slider.Create(WS_CHILD | WS_VISIBLE | style, CRect(10, 10, 310, 40), &parent, 1001));
    }
    mediatest::CTestParent parent;
    CMixerSlider slider;
};

}  // namespace

// Wine's input volume (0..65535 in 192 steps): the slider follows a change
// made elsewhere, and the user's scrolling changes the real volume.
TEST_F(SliderFixture, FollowsWinesInputVolumeBothWays)
{
    RealInputVolume volume;
    ASSERT_TRUE(volume.ok);
    ASSERT_TRUE(volume.Set(30000, 30000));
    Make();
    ASSERT_TRUE(slider.AttachControl(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, CMixerSlider::kDestinationLine,
                                     MIXERCONTROL_CONTROLTYPE_VOLUME, CMixerSlider::kLevel, volume.mixerId, -1));
    EXPECT_TRUE(slider.IsWindowEnabled());
    EXPECT_EQ(192, slider.GetSteps());
    EXPECT_EQ(341u, slider.GetStepSize());
    EXPECT_EQ(30000 / 341, slider.GetPos());

    // Mixer to slider: another handle changes the volume, and the change
    // notice arrives. Wine 8 sends no MM_MIXM_CONTROL_CHANGE at all, so the
    // test posts the notice Windows would send for the slider's handle.
    const MixerControlBinding& binding = slider.GetBinding();
    ASSERT_TRUE(volume.Set(50000, 50000));
    ::PostMessageA(slider.m_hWnd, MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(binding.mixer),
                   binding.control.dwControlID + 1);
    mediatest::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(30000 / 341, slider.GetPos()) << "a notice for another control is ignored";
    ::PostMessageA(slider.m_hWnd, MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(binding.mixer),
                   binding.control.dwControlID);
    EXPECT_TRUE(mediatest::PumpUntil([&] { return slider.GetPos() == 50000 / 341; }, 5000))
        << "slider at " << slider.GetPos();

    // Slider to mixer: the user presses Home, then End.
    slider.SetFocus();
    ::SendMessageA(slider.m_hWnd, WM_KEYDOWN, VK_HOME, 0);
    DWORD left = 1, right = 1;
    ASSERT_TRUE(volume.Get(&left, &right));
    EXPECT_EQ(0u, left);
    ::SendMessageA(slider.m_hWnd, WM_KEYDOWN, VK_END, 0);
    ASSERT_TRUE(volume.Get(&left, &right));
    EXPECT_EQ(192u * 341, left);
    EXPECT_EQ(192u * 341, slider.GetValue());
}

// A balance slider (on a stereo control with a value per channel) at its
// centre keeps both channels where they are; at the right end the left
// channel falls to nothing.
TEST_F(SliderFixture, BalanceAtTheCentreKeepsBothChannels)
{
    Make();
    mediatest::FakeMixer mixer;
    const int m = mixer.AddMixer("Fake");
    const int rec = mixer.AddDestination(m, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 2, "Stereo");
    const DWORD control = mixer.AddControl(m, rec, -1, MIXERCONTROL_CONTROLTYPE_VOLUME, 40000, 65535, false);
    slider.SetMixerApi(&mixer);
    ASSERT_TRUE(slider.AttachControl(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, CMixerSlider::kDestinationLine,
                                     MIXERCONTROL_CONTROLTYPE_VOLUME, CMixerSlider::kBalance, 0, -1));
    EXPECT_EQ(32768, slider.GetPos());
    // The user moves one step right and back to the centre.
    ::SendMessageA(slider.m_hWnd, WM_KEYDOWN, VK_RIGHT, 0);
    ::SendMessageA(slider.m_hWnd, WM_KEYDOWN, VK_LEFT, 0);
    const std::vector<DWORD>& values = mixer.FindControl(control)->values;
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ(40000u, values[0]);
    EXPECT_EQ(40000u, values[1]);
    ::SendMessageA(slider.m_hWnd, WM_KEYDOWN, VK_END, 0);
    EXPECT_LE(values[0], 1u);
    EXPECT_EQ(40000u, values[1]);
    ::SendMessageA(slider.m_hWnd, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(40000u, values[0]);
    EXPECT_EQ(0u, values[1]);
    // A level slider on the same line keeps that balance.
    CMixerSlider level;
    ASSERT_TRUE(level.Create(WS_CHILD | WS_VISIBLE | TBS_HORZ, CRect(10, 50, 310, 80), &parent, 1002));
    level.SetMixerApi(&mixer);
    ASSERT_TRUE(level.AttachControl(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, CMixerSlider::kDestinationLine,
                                    MIXERCONTROL_CONTROLTYPE_VOLUME, CMixerSlider::kLevel, 0, -1));
    EXPECT_FLOAT_EQ(-1.0f, level.GetBalance());
    level.SetFocus();
    ::SendMessageA(level.m_hWnd, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(65535u, values[0]);
    EXPECT_EQ(0u, values[1]);
}

// A balance slider stands at (balance + 1) x steps / 2, rounded, with the
// balance (right - left) / the larger channel, whatever the floating-point
// unit: 3000 left and 1000 right on 3 steps is exactly 1.
TEST_F(SliderFixture, BalancePositionFromTheChannels)
{
    const struct {
        DWORD steps, left, right;
        int position;
    } cases[] = {
        {3, 3000, 1000, 1}, {3, 1000, 3000, 3}, {3, 2000, 2000, 2}, {3, 3, 1, 1},
        {192, 40000, 0, 0}, {192, 0, 40000, 192}, {192, 40000, 40000, 96}, {10, 900, 300, 2},
    };
    for (const auto& c : cases) {
        mediatest::FakeMixer mixer;
        const int m = mixer.AddMixer("Fake");
        const int rec = mixer.AddDestination(m, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 2, "Stereo");
        const DWORD control = mixer.AddControl(m, rec, -1, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, c.steps, false);
        mixer.FindControl(control)->values = {c.left, c.right};
        CMixerSlider balance;   // released before its mixer
        ASSERT_TRUE(balance.Create(WS_CHILD | WS_VISIBLE | TBS_HORZ, CRect(10, 50, 310, 80), &parent, 1003));
        balance.SetMixerApi(&mixer);
        ASSERT_TRUE(balance.AttachControl(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, CMixerSlider::kDestinationLine,
                                          MIXERCONTROL_CONTROLTYPE_VOLUME, CMixerSlider::kBalance, 0, -1));
        EXPECT_EQ(c.position, balance.GetPos()) << c.left << " / " << c.right << " on " << c.steps << " steps";
    }
}

// Controls a slider cannot follow: it stays disabled.
TEST_F(SliderFixture, RefusesWhatItCannotBind)
{
    Make();
    mediatest::FakeMixer mixer;
    const int m = mixer.AddMixer("Fake");
    const int rec = mixer.AddDestination(m, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 1, "Mono");
    mixer.AddControl(m, rec, -1, MIXERCONTROL_CONTROLTYPE_VOLUME, 1000, 100);
    slider.SetMixerApi(&mixer);
    struct Case {
        const char* name;
        DWORD destination, control;
        int kind, device;
    } cases[] = {
        {"balance on a mono line", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, MIXERCONTROL_CONTROLTYPE_VOLUME, 3, 0},
        {"left on a mono line", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0},
        {"not a fader", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, MIXERCONTROL_CONTROLTYPE_MUTE, 2, 0},
        {"bad kind", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, MIXERCONTROL_CONTROLTYPE_VOLUME, 4, 0},
        {"no such mixer", MIXERLINE_COMPONENTTYPE_DST_WAVEIN, MIXERCONTROL_CONTROLTYPE_VOLUME, 2, 5},
        {"no such destination", MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERCONTROL_CONTROLTYPE_VOLUME, 2, 0},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(slider.AttachControl(c.destination, CMixerSlider::kDestinationLine, c.control, c.kind,
                                          c.device, -1))
            << c.name;
        EXPECT_FALSE(slider.IsWindowEnabled()) << c.name;
    }
    EXPECT_EQ(50, slider.GetPos()) << "the mono balance slider stays centred";
    EXPECT_TRUE(slider.AttachControl(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, CMixerSlider::kDestinationLine,
                                     MIXERCONTROL_CONTROLTYPE_VOLUME, CMixerSlider::kLevel, 0, -1));
    EXPECT_TRUE(slider.IsWindowEnabled());
    EXPECT_EQ(1000 / 655, slider.GetPos());
}

// A mixer that reports no step count (or a one-value range) must not divide
// by zero: the slider steps value by value.
TEST_F(SliderFixture, ZeroStepCountDoesNotDivideByZero)
{
    Make(TBS_VERT);
    mediatest::FakeMixer mixer;
    const int m = mixer.AddMixer("Fake");
    const int rec = mixer.AddDestination(m, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 1, "Mono");
    const DWORD control = mixer.AddControl(m, rec, -1, MIXERCONTROL_CONTROLTYPE_VOLUME, 1234, 0);
    slider.SetMixerApi(&mixer);
    ASSERT_TRUE(slider.AttachControl(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, CMixerSlider::kDestinationLine,
                                     MIXERCONTROL_CONTROLTYPE_VOLUME, CMixerSlider::kLevel, 0, -1));
    EXPECT_EQ(65535, slider.GetSteps());
    EXPECT_EQ(1u, slider.GetStepSize());
    EXPECT_EQ(65535 - 1234, slider.GetPos()) << "vertical: counted from the bottom";
    EXPECT_EQ(1234u, slider.GetValue());
    ::SendMessageA(slider.m_hWnd, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(1235u, mixer.FindControl(control)->values[0]);

    mixer.FindControl(control)->control.Bounds.dwMaximum = 0;
    mixer.FindControl(control)->values[0] = 0;
    ASSERT_TRUE(slider.AttachControl(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, CMixerSlider::kDestinationLine,
                                     MIXERCONTROL_CONTROLTYPE_VOLUME, CMixerSlider::kLevel, 0, -1));
    EXPECT_EQ(1, slider.GetSteps());
    EXPECT_EQ(1u, slider.GetStepSize());
}
