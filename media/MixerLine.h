#pragma once
// CMixerLine: the lines of the mixer that belongs to a wave-input device: the
// stereo mix ("what the computer plays"), the microphone, and the microphone
// in the playback mix. It chooses what the device records, mutes or sets the
// playback microphone, and saves every mixer setting when it is created and
// puts them back when it is destroyed. The main window owns one for the life
// of the program; UI thread only. Each operation opens and closes the mixer.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"
#include "media/MixerApi.h"

// Saved mixer settings: per mixer (up to 10), one entry per line, -1 for a
// line without that control; and the recording line.
struct MixerSavedSettings {
    enum { kMaxMixers = 10 };
    CDWordArray muteIds[kMaxMixers];
    CDWordArray volumeIds[kMaxMixers];
    CDWordArray volumes[kMaxMixers];
    CDWordArray mutes[kMaxMixers];
    int mixerCount;
    DWORD recordingLine;            // -1 when none
    DWORD recordingComponentType;   // -1 when none
};

class CMixerLine {
public:
    CMixerLine(HWND callbackWindow, BOOL restoreMutes, BOOL restoreVolumes, BOOL restoreSelection,
               BOOL includeSpeakers, IMixerApi* api = NULL);
    virtual ~CMixerLine();

    // Takes the mixer of a wave-input device and finds its lines again.
    BOOL Open(UINT waveInDevice);
    // Selects only this line in the wave-input destination's list control.
    BOOL SelectRecordingLine(DWORD lineId);
    // The selected recording line (or source 0 of destination 0 without a list control).
    BOOL GetRecordingLine(DWORD* lineId, DWORD* componentType, CString* name);
    BOOL EnumRecordingLines(CStringArray* names, CDWordArray* lineIds);
    static BOOL EnumMixerDevices(CStringArray* names, CDWordArray* numbers, IMixerApi* api = NULL);

    // The playback microphone's volume (0..65535) and mute.
    BOOL SetVolume(DWORD value);
    BOOL SetMute(BOOL mute);
    // Record the stereo mix / the microphone (the playback microphone muted).
    BOOL SelectFirstLine();
    BOOL SelectSecondLine();
    // Record the stereo mix with the microphone heard in it.
    BOOL SelectAndSetDefaultVolume();

    DWORD GetStereoMixLine() const { return m_stereoMixLine; }
    DWORD GetMicrophoneLine() const { return m_microphoneLine; }
    DWORD GetPlaybackMicrophoneLine() const { return m_playbackMicrophoneLine; }
    const CString& GetStereoMixName() const { return m_stereoMixName; }
    const CString& GetMicrophoneName() const { return m_microphoneName; }
    UINT GetMixerId() const { return m_mixerId; }
    const MixerSavedSettings& GetSavedSettings() const { return m_saved; }

    static constexpr DWORD kNone = static_cast<DWORD>(-1);

private:
    BOOL OpenMixer(UINT mixerId, HMIXER* mixer);
    void FindLines();
    BOOL FindWaveInDestination(HMIXER mixer, MIXERLINEA* line);
    BOOL GetListControl(HMIXER mixer, const MIXERLINEA& destination, MIXERCONTROLA* control);
    BOOL SetPlaybackMicrophoneControl(DWORD controlType, DWORD value);
    void SaveSettings();
    BOOL RestoreSettings();

    HWND m_callbackWindow;
    UINT m_mixerId;
    DWORD m_stereoMixLine;
    DWORD m_microphoneLine;
    DWORD m_playbackMicrophoneLine;
    CString m_stereoMixName;
    CString m_microphoneName;
    MixerSavedSettings m_saved;
    BOOL m_restoreMutes;
    BOOL m_restoreVolumes;
    BOOL m_restoreSelection;
    BOOL m_includeSpeakers;
    IMixerApi* m_api;
};
