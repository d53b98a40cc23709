#include "media/MixerLine.h"

#include "FakeMixer.h"

#include <gtest/gtest.h>
#include <string.h>

using mediatest::FakeMixer;

namespace {

const DWORD kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
const DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
const DWORD kToWaveIn = MIXERLINE_TARGETTYPE_WAVEIN;
const DWORD kToWaveOut = MIXERLINE_TARGETTYPE_WAVEOUT;
const DWORD kMic = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
const DWORD kAnalog = MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
const DWORD kWaveOutSrc = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
const DWORD kDigital = MIXERLINE_COMPONENTTYPE_SRC_DIGITAL;
const DWORD kLine = MIXERLINE_COMPONENTTYPE_SRC_LINE;

struct Source {
    DWORD type, target, channels;
    const char* name;
};

}  // namespace

// Which source of the wave-input destination becomes the stereo mix and the
// microphone: one card per row, the expected lines by their index.
TEST(MixerLine, FindsTheStereoMixAndMicrophoneLines)
{
    struct Case {
        const char* name;
        std::vector<Source> sources;
        int stereo;   // index of the expected stereo-mix source, -1 none
        int mic;
    } cases[] = {
        {"What U Hear wins whatever its type", {{kDigital, kToWaveIn, 2, "What U Hear"}, {kAnalog, kToWaveOut, 2, "Mix"}}, 0, -1},
        {"quoted name", {{kLine, kToWaveIn, 2, "\"what u hear\""}}, 0, -1},
        {"a later candidate with more channels", {{kDigital, kToWaveIn, 1, "What U Hear"}, {kAnalog, kToWaveOut, 2, "Mix"}}, 1, -1},
        {"the 2-channel candidate", {{kAnalog, kToWaveOut, 1, "Mono Mix"}, {kWaveOutSrc, kToWaveOut, 2, "Stereo Mix"}}, 1, -1},
        {"ties keep the first", {{kAnalog, kToWaveOut, 2, "A"}, {kWaveOutSrc, kToWaveOut, 2, "B"}}, 0, -1},
        {"Auxiliary is never the mix; Wave is the fallback",
         {{kAnalog, kToWaveOut, 2, "Auxiliary"}, {kLine, kToWaveIn, 2, "Wave"}, {kMic, kToWaveIn, 1, "Mic"}}, 1, 2},
        {"the first microphone", {{kMic, kToWaveIn, 1, "Mic 1"}, {kMic, kToWaveIn, 1, "Mic 2"}}, -1, 0},
        {"a microphone that feeds the speakers is not it", {{kMic, kToWaveOut, 1, "Mic"}}, -1, -1},
    };
    for (const Case& c : cases) {
        FakeMixer mixer;
        const int m = mixer.AddMixer("Card");
        const int d = mixer.AddDestination(m, kWaveIn, 2, "Recording");
        std::vector<DWORD> ids;
        for (const Source& s : c.sources)
            ids.push_back(mixer.AddSource(m, d, s.type, s.target, s.channels, s.name));
        CMixerLine line(NULL, FALSE, FALSE, FALSE, FALSE, &mixer);
        EXPECT_EQ(c.stereo < 0 ? CMixerLine::kNone : ids[c.stereo], line.GetStereoMixLine()) << c.name;
        EXPECT_EQ(c.mic < 0 ? CMixerLine::kNone : ids[c.mic], line.GetMicrophoneLine()) << c.name;
        if (c.stereo >= 0) {
            EXPECT_STREQ(c.sources[c.stereo].name, line.GetStereoMixName()) << c.name;
        }
        EXPECT_EQ(0, mixer.openHandles) << c.name << ": every open is closed";
    }
}

namespace {

// A card with a recording mux, a stereo mix, a microphone and the microphone
// in the speakers' mix with its mute and volume.
struct Card {
    FakeMixer mixer;
    DWORD cd, stereo, mic, playbackMic, mux, mute, volume;
    Card()
    {
        const int m = mixer.AddMixer("Card");
        const int speakers = mixer.AddDestination(m, kSpeakers, 2, "Speakers");
        mixer.AddSource(m, speakers, kWaveOutSrc, kToWaveOut, 2, "Wave");
        playbackMic = mixer.AddSource(m, speakers, kMic, kToWaveIn, 1, "Microphone");
        mute = mixer.AddControl(m, speakers, 1, MIXERCONTROL_CONTROLTYPE_MUTE, 0);
        volume = mixer.AddControl(m, speakers, 1, MIXERCONTROL_CONTROLTYPE_VOLUME, 1000);
        const int rec = mixer.AddDestination(m, kWaveIn, 2, "Recording");
        cd = mixer.AddSource(m, rec, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, kToWaveIn, 2, "CD");
        stereo = mixer.AddSource(m, rec, kAnalog, kToWaveOut, 2, "Stereo Mix");
        mic = mixer.AddSource(m, rec, kMic, kToWaveIn, 1, "Mic");
        mux = mixer.AddMux(m, rec, {cd, stereo, mic}, 0);
    }
};

}  // namespace

TEST(MixerLine, SelectsTheRecordingLineThroughTheListControl)
{
    Card card;
    CMixerLine line(NULL, FALSE, FALSE, FALSE, FALSE, &card.mixer);
    EXPECT_EQ(card.playbackMic, line.GetPlaybackMicrophoneLine());

    DWORD id = 0, type = 0;
    CString name;
    ASSERT_TRUE(line.GetRecordingLine(&id, &type, &name));
    EXPECT_EQ(card.cd, id);
    EXPECT_EQ(static_cast<DWORD>(MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC), type);
    EXPECT_STREQ("CD", name);

    ASSERT_TRUE(line.SelectFirstLine());
    EXPECT_EQ(std::vector<int>{1}, card.mixer.SelectedItems(card.mux));
    EXPECT_EQ(1u, card.mixer.FindControl(card.mute)->values[0]) << "the playback microphone is muted";

    ASSERT_TRUE(line.SelectSecondLine());
    EXPECT_EQ(std::vector<int>{2}, card.mixer.SelectedItems(card.mux));

    ASSERT_TRUE(line.SelectAndSetDefaultVolume());
    EXPECT_EQ(std::vector<int>{1}, card.mixer.SelectedItems(card.mux));
    EXPECT_EQ(0u, card.mixer.FindControl(card.mute)->values[0]);
    EXPECT_EQ(54612u, card.mixer.FindControl(card.volume)->values[0]);

    EXPECT_FALSE(line.SelectRecordingLine(0x12345)) << "a line that is not an item";
    EXPECT_EQ(std::vector<int>{1}, card.mixer.SelectedItems(card.mux));

    CStringArray names;
    CDWordArray ids;
    ASSERT_TRUE(line.EnumRecordingLines(&names, &ids));
    ASSERT_EQ(3, names.GetSize());
    EXPECT_STREQ("Stereo Mix", names[1]);
    EXPECT_EQ(card.mic, ids[2]);
    EXPECT_FALSE(line.EnumRecordingLines(NULL, &ids));
    EXPECT_EQ(0, card.mixer.openHandles);
}

// Without a list control (Wine's mixer has none) nothing can be selected and
// the recording line is source 0 of destination 0.
TEST(MixerLine, WithoutAListControl)
{
    FakeMixer mixer;
    const int m = mixer.AddMixer("Plain");
    const int rec = mixer.AddDestination(m, kWaveIn, 2, "Capture");
    const DWORD first = mixer.AddSource(m, rec, MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED, kToWaveIn, 2, "Odd");
    const DWORD second = mixer.AddSource(m, rec, kLine, kToWaveIn, 2, "Line In");
    CMixerLine line(NULL, FALSE, FALSE, FALSE, FALSE, &mixer);
    EXPECT_FALSE(line.SelectRecordingLine(first));
    DWORD id = 0;
    CString name;
    ASSERT_TRUE(line.GetRecordingLine(&id, NULL, &name));
    EXPECT_EQ(first, id);
    EXPECT_STREQ("Odd", name);
    CStringArray names;
    CDWordArray ids;
    ASSERT_TRUE(line.EnumRecordingLines(&names, &ids));
    ASSERT_EQ(1, ids.GetSize()) << "the first source of a proper source type";
    EXPECT_EQ(second, ids[0]);
    EXPECT_FALSE(line.SetVolume(100)) << "no playback microphone";
    EXPECT_FALSE(line.SetMute(TRUE));
    EXPECT_FALSE(line.SelectFirstLine());
}

// Settings of the first 10 mixers are saved at construction and written back
// at destruction; an eleventh and twelfth keep what they were set to.
TEST(MixerLine, SavesAndRestoresTheFirstTenMixers)
{
    FakeMixer mixer;
    std::vector<DWORD> volumes, mutes;
    for (int i = 0; i < 12; ++i) {
        const int m = mixer.AddMixer("Card " + std::to_string(i));
        const int rec = mixer.AddDestination(m, kWaveIn, 2, "Recording");
        volumes.push_back(mixer.AddControl(m, rec, -1, MIXERCONTROL_CONTROLTYPE_VOLUME, 1000 + i));
        mixer.AddSource(m, rec, kMic, kToWaveIn, 1, "Mic");
        mutes.push_back(mixer.AddControl(m, rec, 0, MIXERCONTROL_CONTROLTYPE_MUTE, 0));
        const int speakers = mixer.AddDestination(m, kSpeakers, 2, "Speakers");
        mixer.AddControl(m, speakers, -1, MIXERCONTROL_CONTROLTYPE_VOLUME, 7);
    }
    {
        CMixerLine line(NULL, TRUE, TRUE, FALSE, FALSE, &mixer);
        EXPECT_EQ(10, line.GetSavedSettings().mixerCount);
        for (int i = 0; i < 12; ++i) {
            mixer.FindControl(volumes[i])->values[0] = 50000;
            mixer.FindControl(mutes[i])->values[0] = 1;
        }
    }
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(i < 10 ? 1000u + i : 50000u, mixer.FindControl(volumes[i])->values[0]) << "mixer " << i;
        EXPECT_EQ(i < 10 ? 0u : 1u, mixer.FindControl(mutes[i])->values[0]) << "mixer " << i;
    }
    EXPECT_EQ(0, mixer.openHandles);
}

TEST(MixerLine, RestoresTheRecordingSelection)
{
    Card card;
    {
        CMixerLine line(NULL, FALSE, FALSE, TRUE, FALSE, &card.mixer);
        ASSERT_TRUE(line.SelectSecondLine());
        EXPECT_EQ(std::vector<int>{2}, card.mixer.SelectedItems(card.mux));
    }
    EXPECT_EQ(std::vector<int>{0}, card.mixer.SelectedItems(card.mux));
    // Without restore flags nothing is saved or written back.
    const int writes = card.mixer.writes;
    {
        CMixerLine line(NULL, FALSE, FALSE, FALSE, FALSE, &card.mixer);
        EXPECT_EQ(0, line.GetSavedSettings().mixerCount);
    }
    EXPECT_EQ(writes, card.mixer.writes);
}

TEST(MixerLine, EnumeratesTheMixersOfTheWaveInputs)
{
    FakeMixer mixer;
    mixer.AddMixer("First");
    mixer.AddMixer("Second");
    CStringArray names;
    CDWordArray numbers;
    ASSERT_TRUE(CMixerLine::EnumMixerDevices(&names, &numbers, &mixer));
    ASSERT_EQ(2, names.GetSize());
    EXPECT_STREQ("Second", names[1]);
    EXPECT_EQ(1u, numbers[1]);
    EXPECT_FALSE(CMixerLine::EnumMixerDevices(NULL, &numbers, &mixer));
    FakeMixer none;
    CStringArray noNames;
    CDWordArray noNumbers;
    EXPECT_TRUE(CMixerLine::EnumMixerDevices(&noNames, &noNumbers, &none));
    EXPECT_EQ(0, noNames.GetSize());
}

namespace {

DWORD RealVolume(UINT mixerId, DWORD* right)
{
    HMIXER mixer = NULL;
    if (mixerOpen(&mixer, mixerId, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR)
        return 0xFFFFFFFF;
    MIXERLINEA line = {};
    line.cbStruct = sizeof(line);
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(mixer), &line,
                      MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE);
    MIXERCONTROLA control = {};
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSA controls = {};
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(control);
    controls.pamxctrl = &control;
    mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(mixer), &controls,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE);
    DWORD values[2] = {0, 0};
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof(details);
    details.dwControlID = control.dwControlID;
    details.cChannels = line.cChannels;
    details.cbDetails = 4;
    details.paDetails = values;
    mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(mixer), &details, MIXER_OBJECTF_HMIXER);
    mixerClose(mixer);
    if (right)
        *right = values[1];
    return values[0];
}

}  // namespace

// Wine's own mixer: the input volume changed while the line object lives is
// put back when it goes.
TEST(MixerLineWine, RestoresTheRealInputVolume)
{
    UINT mixerId = 0;
    ASSERT_EQ(MMSYSERR_NOERROR, mixerGetID(reinterpret_cast<HMIXEROBJ>(0), &mixerId, MIXER_OBJECTF_WAVEIN));
    const DWORD before = RealVolume(mixerId, NULL);
    ASSERT_NE(0xFFFFFFFFu, before);
    {
        CMixerLine line(NULL, TRUE, TRUE, TRUE, TRUE);
        ASSERT_TRUE(line.Open(0));
        EXPECT_EQ(mixerId, line.GetMixerId());
        DWORD id = 0;
        EXPECT_TRUE(line.GetRecordingLine(&id, NULL, NULL)) << "source 0 of destination 0";
        EXPECT_FALSE(line.SelectFirstLine()) << "Wine's mixer has no recording selector";
        HMIXER mixer = NULL;
        ASSERT_EQ(MMSYSERR_NOERROR, mixerOpen(&mixer, mixerId, 0, 0, MIXER_OBJECTF_MIXER));
        MIXERLINEA wavein = {};
        wavein.cbStruct = sizeof(wavein);
        wavein.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
        ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(mixer), &wavein,
                                                      MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE));
        MIXERCONTROLA control = {};
        control.cbStruct = sizeof(control);
        MIXERLINECONTROLSA controls = {};
        controls.cbStruct = sizeof(controls);
        controls.dwLineID = wavein.dwLineID;
        controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof(control);
        controls.pamxctrl = &control;
        ASSERT_EQ(MMSYSERR_NOERROR, mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(mixer), &controls,
                                                          MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE));
        DWORD values[2] = {before / 3, before / 3};
        MIXERCONTROLDETAILS details = {};
        details.cbStruct = sizeof(details);
        details.dwControlID = control.dwControlID;
        details.cChannels = wavein.cChannels;
        details.cbDetails = 4;
        details.paDetails = values;
        ASSERT_EQ(MMSYSERR_NOERROR, mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mixer), &details,
                                                           MIXER_OBJECTF_HMIXER));
        mixerClose(mixer);
        EXPECT_NEAR(before / 3, RealVolume(mixerId, NULL), 400.0);
    }
    EXPECT_NEAR(before, RealVolume(mixerId, NULL), 400.0);

    CStringArray names;
    CDWordArray numbers;
    ASSERT_TRUE(CMixerLine::EnumMixerDevices(&names, &numbers));
    EXPECT_EQ(static_cast<INT_PTR>(waveInGetNumDevs()), names.GetSize());
}
