#include "media/MixerSlider.h"

#include "framework/FloatRound.h"
#include "framework/ui/MsgMap.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

BEGIN_MESSAGE_MAP(CMixerSlider, CSliderCtrl)
    ON_MESSAGE(MM_MIXM_CONTROL_CHANGE, OnMixerControlChange)
    ON_WM_HSCROLL_REFLECT()
    ON_WM_VSCROLL_REFLECT()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

namespace {

inline HMIXEROBJ Obj(HMIXER mixer)
{
    return reinterpret_cast<HMIXEROBJ>(mixer);
}

// A control without a step count is stepped value by value, up to what a
// slider can hold.
const DWORD kMaxSteps = 65535;

}  // namespace

MixerControlBinding::MixerControlBinding()
    : error(MMSYSERR_NOERROR), values(NULL), mixer(NULL), mixerDevice(-1), channels(0)
{
    memset(&details, 0, sizeof(details));
    memset(&control, 0, sizeof(control));
}

MixerControlBinding::~MixerControlBinding()
{
    Release(NULL);
}

void MixerControlBinding::Release(IMixerApi* api)
{
    if (mixer)
        (api ? api : SystemMixerApi())->Close(mixer);
    mixer = NULL;
    mixerDevice = -1;
    free(values);
    values = NULL;
    memset(&details, 0, sizeof(details));
    lineName.Empty();
    controlName.Empty();
}

CMixerSlider::CMixerSlider()
    : m_kind(kLevel), m_rangeSize(1), m_steps(1), m_stepSize(1), m_balance(0.0f), m_api(SystemMixerApi())
{
    m_read[0] = m_read[1] = 0;
}

CMixerSlider::~CMixerSlider()
{
    m_binding.Release(m_api);
}

BOOL CMixerSlider::Bind(DWORD destinationType, DWORD sourceType, DWORD controlType, int mixerDevice,
                        DWORD targetDeviceId)
{
    m_binding.Release(m_api);
    if (mixerDevice < 0 || static_cast<UINT>(mixerDevice) >= m_api->GetNumDevs())
        return FALSE;
    MIXERCAPSA caps = {};
    HMIXER mixer = NULL;
    m_binding.error = m_api->GetDevCaps(mixerDevice, &caps);
    if (m_binding.error != MMSYSERR_NOERROR)
        return FALSE;
    m_binding.error = m_api->Open(&mixer, mixerDevice, reinterpret_cast<DWORD_PTR>(m_hWnd), 0,
                                  MIXER_OBJECTF_MIXER | CALLBACK_WINDOW);
    if (m_binding.error != MMSYSERR_NOERROR)
        return FALSE;
    m_binding.mixer = mixer;
    m_binding.mixerDevice = mixerDevice;

    MIXERLINEA line = {};
    bool found = false;
    for (DWORD d = 0; d < caps.cDestinations && !found; ++d) {
        memset(&line, 0, sizeof(line));
        line.cbStruct = sizeof(line);
        line.dwDestination = d;
        if (m_api->GetLineInfo(Obj(mixer), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) ==
                MMSYSERR_NOERROR &&
            line.dwComponentType == destinationType)
            found = true;
    }
    if (!found)
        return FALSE;
    if (sourceType != kDestinationLine) {
        const MIXERLINEA destination = line;
        bool haveSource = false;
        for (DWORD s = 0; s < destination.cConnections && !haveSource; ++s) {
            MIXERLINEA source = {};
            source.cbStruct = sizeof(source);
            source.dwDestination = destination.dwDestination;
            source.dwSource = s;
            if (m_api->GetLineInfo(Obj(mixer), &source, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_SOURCE) !=
                MMSYSERR_NOERROR)
                continue;
            if (source.dwComponentType == sourceType &&
                (targetDeviceId == static_cast<DWORD>(-1) || source.Target.dwDeviceID == targetDeviceId)) {
                line = source;
                haveSource = true;
            }
        }
        if (!haveSource && destination.cControls == 0)
            return FALSE;
    }
    MIXERLINECONTROLSA controls = {};
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = controlType;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(MIXERCONTROLA);
    controls.pamxctrl = &m_binding.control;
    m_binding.control.cbStruct = sizeof(MIXERCONTROLA);
    m_binding.error =
        m_api->GetLineControls(Obj(mixer), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE);
    if (m_binding.error != MMSYSERR_NOERROR)
        return FALSE;
    switch (m_binding.control.dwControlType & MIXERCONTROL_CT_UNITS_MASK) {
    case MIXERCONTROL_CT_UNITS_BOOLEAN:
    case MIXERCONTROL_CT_UNITS_SIGNED:
    case MIXERCONTROL_CT_UNITS_UNSIGNED:
    case MIXERCONTROL_CT_UNITS_DECIBELS:
    case MIXERCONTROL_CT_UNITS_PERCENT:
        break;
    default:
        return FALSE;
    }
    m_binding.channels = line.cChannels ? line.cChannels : 1;
    m_binding.lineName = line.szName;
    m_binding.controlName = m_binding.control.szName;
    const DWORD channels = (m_binding.control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : m_binding.channels;
    const DWORD items = (m_binding.control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE)
                            ? (m_binding.control.cMultipleItems ? m_binding.control.cMultipleItems : 1)
                            : 1;
    m_binding.values = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(calloc(channels * items, 4));
    if (!m_binding.values)
        return FALSE;
    MIXERCONTROLDETAILS& details = m_binding.details;
    details.cbStruct = sizeof(MIXERCONTROLDETAILS);
    details.dwControlID = m_binding.control.dwControlID;
    details.cChannels = channels;
    details.cMultipleItems = (m_binding.control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? items : 0;
    details.cbDetails = 4;
    details.paDetails = m_binding.values;
    return TRUE;
}

// A fader whose mixer reports no step count, or a range of one value, must
// not divide by zero: it then steps value by value.
BOOL CMixerSlider::AttachControl(DWORD destinationType, DWORD sourceType, DWORD controlType, int kind,
                                 int mixerDevice, DWORD targetDeviceId)
{
    if (!m_hWnd)
        return FALSE;
    EnableWindow(FALSE);
    if (kind == kBalance)
        SetPos((GetRangeMin() + GetRangeMax()) / 2);
    if ((controlType & MIXERCONTROL_CT_CLASS_MASK) != MIXERCONTROL_CT_CLASS_FADER || kind < kLeft ||
        kind > kBalance)
        return FALSE;
    m_kind = kind;
    if (!Bind(destinationType, sourceType, controlType, mixerDevice, targetDeviceId))
        return FALSE;
    const MIXERCONTROLA& control = m_binding.control;
    const DWORD low = control.Bounds.dwMinimum;
    const DWORD high = control.Bounds.dwMaximum;
    m_rangeSize = high >= low ? high - low + 1 : 1;
    if (m_rangeSize == 0)
        m_rangeSize = 0xFFFFFFFF;
    DWORD steps = control.Metrics.cSteps;
    if (steps == 0)
        steps = m_rangeSize - 1 > kMaxSteps ? kMaxSteps : m_rangeSize - 1;
    if (steps > kMaxSteps)
        steps = kMaxSteps;
    if (steps == 0)
        steps = 1;
    m_steps = static_cast<int>(steps);
    m_stepSize = m_rangeSize / steps;
    if (m_stepSize == 0)
        m_stepSize = 1;
    SetRangeMin(0, FALSE);
    SetRangeMax(m_steps, TRUE);
    if (kind == kBalance)
        SetPos(m_steps / 2);
    if (m_binding.details.cChannels < 2 && kind != kLevel)
        return FALSE;
    if (!ReadValues())
        return FALSE;
    m_read[0] = m_binding.values[0].dwValue;
    m_read[1] = m_binding.details.cChannels > 1 ? m_binding.values[1].dwValue : m_read[0];
    EnableWindow(TRUE);
    MoveToValues();
    return TRUE;
}

BOOL CMixerSlider::ReadValues()
{
    if (!m_binding.mixer || !m_binding.values)
        return FALSE;
    m_binding.error = m_api->GetControlDetails(Obj(m_binding.mixer), &m_binding.details,
                                               MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
    return m_binding.error == MMSYSERR_NOERROR;
}

void CMixerSlider::MoveToValues()
{
    const bool stereo = m_binding.details.cChannels > 1;
    const DWORD left = m_binding.values[0].dwValue;
    const DWORD right = stereo ? m_binding.values[1].dwValue : left;
    const DWORD value = stereo ? (left > right ? left : right) : left;
    if (stereo && value != 0)
        m_balance = RoundToSingle(static_cast<float>((static_cast<double>(right) - left) / value));
    int position = 0;
    switch (m_kind) {
    case kLeft: position = static_cast<int>(left / m_stepSize); break;
    case kRight: position = static_cast<int>(right / m_stepSize); break;
    case kLevel: position = static_cast<int>(value / m_stepSize); break;
    case kBalance:
        if (value == 0)
            return;
        // (balance + 1) x steps / 2, rounded, computed exactly from the
        // channel values: the float balance of 3000 left and 1000 right is
        // a hair under -2/3, which would put a 3-step slider at 0, not 1.
        position = static_cast<int>(((static_cast<long long>(right) - left + value) * m_steps + value) /
                                    (2LL * value));
        break;
    }
    if (position > m_steps)
        position = m_steps;
    SetPos(IsVertical() ? m_steps - position : position);
}

DWORD CMixerSlider::GetValue() const
{
    const int position = IsVertical() ? m_steps - GetPos() : GetPos();
    return static_cast<DWORD>(position < 0 ? 0 : position) * m_stepSize;
}

BOOL CMixerSlider::WriteFromSlider()
{
    if (!m_binding.mixer || !m_binding.values)
        return FALSE;
    const bool stereo = m_binding.details.cChannels > 1;
    DWORD value = GetValue();
    const DWORD high = m_binding.control.Bounds.dwMaximum;
    if (value > high)
        value = high;
    MIXERCONTROLDETAILS_UNSIGNED* v = m_binding.values;
    switch (m_kind) {
    case kLeft: v[0].dwValue = value; break;
    case kRight: v[stereo ? 1 : 0].dwValue = value; break;
    case kLevel:
        if (!stereo) {
            v[0].dwValue = value;
        } else if (m_balance <= 0.0f) {
            v[0].dwValue = value;
            v[1].dwValue = static_cast<DWORD>((m_balance + 1.0) * value);
        } else {
            v[1].dwValue = value;
            v[0].dwValue = static_cast<DWORD>((1.0 - m_balance) * value);
        }
        break;
    case kBalance: {
        if (!stereo)
            return FALSE;
        const DWORD larger = v[0].dwValue > v[1].dwValue ? v[0].dwValue : v[1].dwValue;
        // The centre position keeps both channels equal whatever the step
        // count; elsewhere the quieter side falls off linearly.
        const int position = IsVertical() ? m_steps - GetPos() : GetPos();
        const double offset = position - m_steps / 2.0;
        if (offset >= -0.5 && offset <= 0.5) {
            v[0].dwValue = v[1].dwValue = larger;
        } else if (value <= m_rangeSize / 2) {
            v[1].dwValue = static_cast<DWORD>(2.0 * value * larger / m_rangeSize);
            v[0].dwValue = larger;
        } else {
            v[1].dwValue = larger;
            v[0].dwValue = static_cast<DWORD>((1.0 - static_cast<double>(value) / m_rangeSize) * 2.0 * larger);
        }
        break;
    }
    }
    m_binding.error = m_api->SetControlDetails(Obj(m_binding.mixer), &m_binding.details,
                                               MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
    return m_binding.error == MMSYSERR_NOERROR;
}

BOOL CMixerSlider::Refresh()
{
    if (!ReadValues())
        return FALSE;
    MoveToValues();
    return TRUE;
}

LRESULT CMixerSlider::OnMixerControlChange(WPARAM wParam, LPARAM lParam)
{
    if (reinterpret_cast<HMIXER>(wParam) == m_binding.mixer && m_binding.mixer &&
        static_cast<DWORD>(lParam) == m_binding.control.dwControlID)
        Refresh();
    return 0;
}

void CMixerSlider::HScroll(UINT, UINT)
{
    WriteFromSlider();
}

void CMixerSlider::VScroll(UINT, UINT)
{
    WriteFromSlider();
}

void CMixerSlider::OnDestroy()
{
    m_binding.Release(m_api);
    CSliderCtrl::OnDestroy();
}
