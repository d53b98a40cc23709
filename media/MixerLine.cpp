#include "media/MixerLine.h"

#include <string.h>
#include <vector>

namespace {

const DWORD kComponentLast = 0x100B;   // MIXERLINE_COMPONENTTYPE_SRC_FIRST + 11
const DWORD kDefaultMicrophoneVolume = 54612;

inline HMIXEROBJ Obj(HMIXER mixer)
{
    return reinterpret_cast<HMIXEROBJ>(mixer);
}

bool NameIs(const char* name, const char* wanted)
{
    return lstrcmpiA(name, wanted) == 0;
}

// Reads one channel of one control; FALSE on failure.
BOOL ReadControlValue(IMixerApi* api, HMIXER mixer, DWORD controlId, DWORD* value)
{
    MIXERCONTROLDETAILS_UNSIGNED detail = {};
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof(details);
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cbDetails = sizeof(detail);
    details.paDetails = &detail;
    if (api->GetControlDetails(Obj(mixer), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
        MMSYSERR_NOERROR)
        return FALSE;
    *value = detail.dwValue;
    return TRUE;
}

BOOL WriteControlValue(IMixerApi* api, HMIXER mixer, DWORD controlId, DWORD value)
{
    MIXERCONTROLDETAILS_UNSIGNED detail = {};
    detail.dwValue = value;
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof(details);
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cbDetails = sizeof(detail);
    details.paDetails = &detail;
    return api->SetControlDetails(Obj(mixer), &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) ==
           MMSYSERR_NOERROR;
}

// The id of the line's control of a type, or -1.
DWORD FindControl(IMixerApi* api, HMIXER mixer, DWORD lineId, DWORD controlType)
{
    MIXERCONTROLA control = {};
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSA controls = {};
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = lineId;
    controls.dwControlType = controlType;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(control);
    controls.pamxctrl = &control;
    if (api->GetLineControls(Obj(mixer), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR)
        return CMixerLine::kNone;
    return control.dwControlID;
}

BOOL GetDestination(IMixerApi* api, HMIXER mixer, DWORD index, MIXERLINEA* line)
{
    memset(line, 0, sizeof(*line));
    line->cbStruct = sizeof(*line);
    line->dwDestination = index;
    return api->GetLineInfo(Obj(mixer), line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) ==
           MMSYSERR_NOERROR;
}

BOOL GetSource(IMixerApi* api, HMIXER mixer, DWORD destination, DWORD source, MIXERLINEA* line)
{
    memset(line, 0, sizeof(*line));
    line->cbStruct = sizeof(*line);
    line->dwDestination = destination;
    line->dwSource = source;
    return api->GetLineInfo(Obj(mixer), line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_SOURCE) ==
           MMSYSERR_NOERROR;
}

// The items of a list control: their texts and their current values.
struct ListState {
    MIXERCONTROLDETAILS details;
    std::vector<MIXERCONTROLDETAILS_LISTTEXTA> texts;
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> values;
    DWORD channels;
    DWORD items;
};

BOOL ReadList(IMixerApi* api, HMIXER mixer, const MIXERLINEA& destination, const MIXERCONTROLA& control,
              ListState* state)
{
    state->channels = (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : destination.cChannels;
    if (state->channels == 0)
        state->channels = 1;
    state->items = (control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? control.cMultipleItems : 1;
    if (state->items == 0)
        return FALSE;
    state->texts.assign(state->channels * state->items, MIXERCONTROLDETAILS_LISTTEXTA());
    state->values.assign(state->channels * state->items, MIXERCONTROLDETAILS_BOOLEAN());
    MIXERCONTROLDETAILS& details = state->details;
    memset(&details, 0, sizeof(details));
    details.cbStruct = sizeof(details);
    details.dwControlID = control.dwControlID;
    details.cChannels = state->channels;
    details.cMultipleItems = (control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? control.cMultipleItems : 0;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_LISTTEXTA);
    details.paDetails = state->texts.data();
    if (api->GetControlDetails(Obj(mixer), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_LISTTEXT) !=
        MMSYSERR_NOERROR)
        return FALSE;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
    details.paDetails = state->values.data();
    return api->GetControlDetails(Obj(mixer), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) ==
           MMSYSERR_NOERROR;
}

}  // namespace

CMixerLine::CMixerLine(HWND callbackWindow, BOOL restoreMutes, BOOL restoreVolumes, BOOL restoreSelection,
                       BOOL includeSpeakers, IMixerApi* api)
    : m_callbackWindow(callbackWindow), m_mixerId(0), m_stereoMixLine(kNone), m_microphoneLine(kNone),
      m_playbackMicrophoneLine(kNone), m_restoreMutes(restoreMutes), m_restoreVolumes(restoreVolumes),
      m_restoreSelection(restoreSelection), m_includeSpeakers(includeSpeakers),
      m_api(api ? api : SystemMixerApi())
{
    m_saved.mixerCount = 0;
    m_saved.recordingLine = kNone;
    m_saved.recordingComponentType = kNone;
    if (m_restoreMutes || m_restoreVolumes || m_restoreSelection)
        SaveSettings();
    FindLines();
}

CMixerLine::~CMixerLine()
{
    if (m_restoreMutes || m_restoreVolumes || m_restoreSelection)
        RestoreSettings();
}

BOOL CMixerLine::OpenMixer(UINT mixerId, HMIXER* mixer)
{
    *mixer = NULL;
    const DWORD flags = MIXER_OBJECTF_MIXER | (m_callbackWindow ? CALLBACK_WINDOW : 0);
    if (m_api->Open(mixer, mixerId, reinterpret_cast<DWORD_PTR>(m_callbackWindow), 0, flags) != MMSYSERR_NOERROR) {
        *mixer = NULL;
        return FALSE;
    }
    return TRUE;
}

BOOL CMixerLine::Open(UINT waveInDevice)
{
    UINT mixerId = 0;
    if (m_api->GetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(waveInDevice)), &mixerId,
                     MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR)
        return FALSE;
    HMIXER mixer = NULL;
    if (!OpenMixer(mixerId, &mixer))
        return FALSE;
    m_api->Close(mixer);
    m_mixerId = mixerId;
    FindLines();
    return TRUE;
}

BOOL CMixerLine::FindWaveInDestination(HMIXER mixer, MIXERLINEA* line)
{
    MIXERCAPSA caps = {};
    if (m_api->GetDevCaps(m_mixerId, &caps) != MMSYSERR_NOERROR)
        return FALSE;
    for (DWORD d = 0; d < caps.cDestinations; ++d) {
        if (GetDestination(m_api, mixer, d, line) && line->dwComponentType == MIXERLINE_COMPONENTTYPE_DST_WAVEIN)
            return TRUE;
    }
    return FALSE;
}

void CMixerLine::FindLines()
{
    m_stereoMixLine = m_microphoneLine = m_playbackMicrophoneLine = kNone;
    m_stereoMixName.Empty();
    m_microphoneName.Empty();
    HMIXER mixer = NULL;
    if (!OpenMixer(m_mixerId, &mixer))
        return;
    MIXERLINEA destination;
    if (FindWaveInDestination(mixer, &destination)) {
        DWORD bestChannels = 0;
        DWORD waveLine = kNone;
        CString waveName;
        for (DWORD s = 0; s < destination.cConnections; ++s) {
            MIXERLINEA source;
            if (!GetSource(m_api, mixer, destination.dwDestination, s, &source))
                continue;
            const char* name = source.szShortName;
            if (NameIs(name, "Wave")) {
                waveLine = source.dwLineID;
                waveName = name;
            }
            if (NameIs(name, "What U Hear") || NameIs(name, "\"What U Hear\"")) {
                m_stereoMixLine = source.dwLineID;
                m_stereoMixName = name;
                bestChannels = source.cChannels;
            } else if (source.Target.dwType != MIXERLINE_TARGETTYPE_WAVEOUT) {
                if (source.Target.dwType == MIXERLINE_TARGETTYPE_WAVEIN &&
                    source.dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE &&
                    m_microphoneLine == kNone) {
                    m_microphoneLine = source.dwLineID;
                    m_microphoneName = name;
                }
            } else if ((source.dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_ANALOG ||
                        source.dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT) &&
                       !NameIs(name, "Auxiliary")) {
                if (m_stereoMixLine == kNone || source.cChannels > bestChannels) {
                    m_stereoMixLine = source.dwLineID;
                    m_stereoMixName = name;
                    bestChannels = source.cChannels;
                }
            }
        }
        if (m_stereoMixLine == kNone && waveLine != kNone) {
            m_stereoMixLine = waveLine;
            m_stereoMixName = waveName;
        }
    }
    MIXERCAPSA caps = {};
    if (m_api->GetDevCaps(m_mixerId, &caps) == MMSYSERR_NOERROR) {
        for (DWORD d = 0; d < caps.cDestinations; ++d) {
            MIXERLINEA speakers;
            if (!GetDestination(m_api, mixer, d, &speakers) ||
                speakers.dwComponentType != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
                continue;
            for (DWORD s = 0; s < speakers.cConnections; ++s) {
                MIXERLINEA source;
                if (!GetSource(m_api, mixer, d, s, &source))
                    continue;
                if (NameIs(source.szShortName, "Microphone") ||
                    (source.Target.dwType == MIXERLINE_TARGETTYPE_WAVEIN &&
                     source.dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE))
                    m_playbackMicrophoneLine = source.dwLineID;
            }
        }
    }
    m_api->Close(mixer);
}

BOOL CMixerLine::GetListControl(HMIXER mixer, const MIXERLINEA& destination, MIXERCONTROLA* control)
{
    if (destination.cControls == 0)
        return FALSE;
    std::vector<MIXERCONTROLA> all(destination.cControls);
    for (MIXERCONTROLA& c : all)
        c.cbStruct = sizeof(MIXERCONTROLA);
    MIXERLINECONTROLSA controls = {};
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = destination.dwLineID;
    controls.cControls = destination.cControls;
    controls.cbmxctrl = sizeof(MIXERCONTROLA);
    controls.pamxctrl = all.data();
    if (m_api->GetLineControls(Obj(mixer), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL) !=
        MMSYSERR_NOERROR)
        return FALSE;
    for (const MIXERCONTROLA& c : all) {
        if ((c.dwControlType & MIXERCONTROL_CT_CLASS_MASK) == MIXERCONTROL_CT_CLASS_LIST) {
            *control = c;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CMixerLine::SelectRecordingLine(DWORD lineId)
{
    HMIXER mixer = NULL;
    if (!OpenMixer(m_mixerId, &mixer))
        return FALSE;
    BOOL result = FALSE;
    MIXERLINEA destination;
    MIXERCONTROLA control;
    ListState list;
    if (FindWaveInDestination(mixer, &destination) && GetListControl(mixer, destination, &control) &&
        ReadList(m_api, mixer, destination, control, &list)) {
        bool found = false;
        for (DWORD c = 0; c < list.channels; ++c) {
            for (DWORD i = 0; i < list.items; ++i) {
                const DWORD k = c * list.items + i;
                const bool wanted = list.texts[i].dwParam1 == lineId;
                found = found || wanted;
                list.values[k].fValue = wanted ? 1 : 0;
            }
        }
        list.details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
        list.details.paDetails = list.values.data();
        result = found && m_api->SetControlDetails(Obj(mixer), &list.details,
                                                   MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) ==
                              MMSYSERR_NOERROR;
    }
    m_api->Close(mixer);
    return result;
}

BOOL CMixerLine::GetRecordingLine(DWORD* lineId, DWORD* componentType, CString* name)
{
    if (lineId)
        *lineId = kNone;
    HMIXER mixer = NULL;
    if (!OpenMixer(m_mixerId, &mixer))
        return FALSE;
    BOOL result = FALSE;
    MIXERLINEA destination;
    MIXERCONTROLA control;
    ListState list;
    if (FindWaveInDestination(mixer, &destination) && GetListControl(mixer, destination, &control)) {
        if (ReadList(m_api, mixer, destination, control, &list)) {
            for (DWORD i = 0; i < list.items; ++i) {
                if (!list.values[i].fValue)
                    continue;
                if (lineId)
                    *lineId = list.texts[i].dwParam1;
                if (componentType)
                    *componentType = list.texts[i].dwParam2;
                if (name)
                    *name = list.texts[i].szName;
                result = TRUE;
                break;
            }
        }
    } else {
        MIXERLINEA source;
        if (GetSource(m_api, mixer, 0, 0, &source)) {
            if (lineId)
                *lineId = source.dwLineID;
            if (componentType)
                *componentType = source.dwComponentType;
            if (name)
                *name = source.szName;
            result = TRUE;
        }
    }
    m_api->Close(mixer);
    return result;
}

BOOL CMixerLine::EnumRecordingLines(CStringArray* names, CDWordArray* lineIds)
{
    if (!names || !lineIds)
        return FALSE;
    HMIXER mixer = NULL;
    if (!OpenMixer(m_mixerId, &mixer))
        return FALSE;
    BOOL result = FALSE;
    MIXERLINEA destination;
    MIXERCONTROLA control;
    ListState list;
    if (FindWaveInDestination(mixer, &destination)) {
        if (GetListControl(mixer, destination, &control)) {
            if (ReadList(m_api, mixer, destination, control, &list)) {
                for (DWORD i = 0; i < list.items; ++i) {
                    names->Add(list.texts[i].szName);
                    lineIds->Add(list.texts[i].dwParam1);
                }
                result = TRUE;
            }
        } else {
            for (DWORD s = 0; s < destination.cConnections; ++s) {
                MIXERLINEA source;
                if (!GetSource(m_api, mixer, destination.dwDestination, s, &source))
                    continue;
                if (source.dwComponentType > MIXERLINE_COMPONENTTYPE_SRC_FIRST &&
                    source.dwComponentType < kComponentLast) {
                    names->Add(source.szName);
                    lineIds->Add(source.dwLineID);
                    result = TRUE;
                    break;
                }
            }
        }
    }
    m_api->Close(mixer);
    return result;
}

BOOL CMixerLine::EnumMixerDevices(CStringArray* names, CDWordArray* numbers, IMixerApi* api)
{
    if (!names || !numbers)
        return FALSE;
    if (!api)
        api = SystemMixerApi();
    const UINT count = api->GetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        UINT mixerId = 0;
        if (api->GetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(i)), &mixerId, MIXER_OBJECTF_WAVEIN) !=
            MMSYSERR_NOERROR)
            continue;
        MIXERCAPSA caps = {};
        if (api->GetDevCaps(mixerId, &caps) != MMSYSERR_NOERROR)
            continue;
        names->Add(caps.szPname);
        numbers->Add(i);
    }
    return TRUE;
}

BOOL CMixerLine::SetPlaybackMicrophoneControl(DWORD controlType, DWORD value)
{
    if (m_playbackMicrophoneLine == kNone)
        return FALSE;
    HMIXER mixer = NULL;
    if (!OpenMixer(m_mixerId, &mixer))
        return FALSE;
    const DWORD control = FindControl(m_api, mixer, m_playbackMicrophoneLine, controlType);
    const BOOL result = control != kNone && WriteControlValue(m_api, mixer, control, value);
    m_api->Close(mixer);
    return result;
}

BOOL CMixerLine::SetVolume(DWORD value)
{
    return SetPlaybackMicrophoneControl(MIXERCONTROL_CONTROLTYPE_VOLUME, value);
}

BOOL CMixerLine::SetMute(BOOL mute)
{
    return SetPlaybackMicrophoneControl(MIXERCONTROL_CONTROLTYPE_MUTE, mute ? 1 : 0);
}

BOOL CMixerLine::SelectFirstLine()
{
    if (m_stereoMixLine == kNone)
        return FALSE;
    SetMute(TRUE);
    return SelectRecordingLine(m_stereoMixLine);
}

BOOL CMixerLine::SelectSecondLine()
{
    if (m_microphoneLine == kNone)
        return FALSE;
    SetMute(TRUE);
    return SelectRecordingLine(m_microphoneLine);
}

BOOL CMixerLine::SelectAndSetDefaultVolume()
{
    if (m_stereoMixLine == kNone || m_playbackMicrophoneLine == kNone)
        return FALSE;
    const BOOL selected = SelectRecordingLine(m_stereoMixLine);
    const BOOL unmuted = SetMute(FALSE);
    const BOOL volume = SetVolume(kDefaultMicrophoneVolume);
    return selected && unmuted && volume;
}

void CMixerLine::SaveSettings()
{
    DWORD line = kNone, type = kNone;
    if (GetRecordingLine(&line, &type, NULL)) {
        m_saved.recordingLine = line;
        m_saved.recordingComponentType = type;
    }
    UINT count = m_api->GetNumDevs();
    if (count > MixerSavedSettings::kMaxMixers)
        count = MixerSavedSettings::kMaxMixers;
    m_saved.mixerCount = static_cast<int>(count);
    for (UINT m = 0; m < count; ++m) {
        HMIXER mixer = NULL;
        MIXERCAPSA caps = {};
        if (m_api->GetDevCaps(m, &caps) != MMSYSERR_NOERROR || !OpenMixer(m, &mixer))
            continue;
        for (DWORD d = 0; d < caps.cDestinations; ++d) {
            MIXERLINEA destination;
            if (!GetDestination(m_api, mixer, d, &destination))
                continue;
            if (destination.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS && !m_includeSpeakers)
                continue;
            for (DWORD s = 0; s <= destination.cConnections; ++s) {
                MIXERLINEA source;
                // Entry 0 is the destination line itself, then its sources.
                if (s == 0)
                    source = destination;
                else if (!GetSource(m_api, mixer, d, s - 1, &source))
                    continue;
                DWORD value = 0;
                const DWORD mute = FindControl(m_api, mixer, source.dwLineID, MIXERCONTROL_CONTROLTYPE_MUTE);
                const bool haveMute = mute != kNone && ReadControlValue(m_api, mixer, mute, &value);
                m_saved.muteIds[m].Add(haveMute ? mute : kNone);
                m_saved.mutes[m].Add(haveMute ? value : kNone);
                const DWORD volume = FindControl(m_api, mixer, source.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME);
                const bool haveVolume = volume != kNone && ReadControlValue(m_api, mixer, volume, &value);
                m_saved.volumeIds[m].Add(haveVolume ? volume : kNone);
                m_saved.volumes[m].Add(haveVolume ? value : kNone);
            }
        }
        m_api->Close(mixer);
    }
}

BOOL CMixerLine::RestoreSettings()
{
    BOOL result = FALSE;
    if (m_restoreSelection && m_saved.recordingLine != kNone)
        result = SelectRecordingLine(m_saved.recordingLine);
    for (int m = 0; m < m_saved.mixerCount; ++m) {
        HMIXER mixer = NULL;
        if (!OpenMixer(static_cast<UINT>(m), &mixer))
            continue;
        if (m_restoreMutes) {
            for (INT_PTR i = 0; i < m_saved.muteIds[m].GetSize(); ++i) {
                if (m_saved.muteIds[m][i] != kNone)
                    result = WriteControlValue(m_api, mixer, m_saved.muteIds[m][i], m_saved.mutes[m][i]);
            }
        }
        if (m_restoreVolumes) {
            for (INT_PTR i = 0; i < m_saved.volumeIds[m].GetSize(); ++i) {
                if (m_saved.volumeIds[m][i] != kNone)
                    result = WriteControlValue(m_api, mixer, m_saved.volumeIds[m][i], m_saved.volumes[m][i]);
            }
        }
        m_api->Close(mixer);
    }
    return result;
}
