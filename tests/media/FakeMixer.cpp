#include "FakeMixer.h"

#include <string.h>

namespace mediatest {

int FakeMixer::AddMixer(const std::string& name)
{
    m_mixers.push_back(FakeMixerDevice());
    m_mixers.back().name = name;
    return static_cast<int>(m_mixers.size()) - 1;
}

int FakeMixer::AddDestination(int mixer, DWORD componentType, DWORD channels, const char* name)
{
    FakeDestination d = {};
    MIXERLINEA& l = d.line.line;
    l.cbStruct = sizeof(l);
    l.dwDestination = static_cast<DWORD>(m_mixers[mixer].destinations.size());
    l.dwLineID = (static_cast<DWORD>(mixer) << 16) | (l.dwDestination << 8);
    l.dwComponentType = componentType;
    l.cChannels = channels;
    lstrcpynA(l.szShortName, name, MIXER_SHORT_NAME_CHARS);
    lstrcpynA(l.szName, name, MIXER_LONG_NAME_CHARS);
    m_mixers[mixer].destinations.push_back(d);
    return static_cast<int>(l.dwDestination);
}

DWORD FakeMixer::AddSource(int mixer, int destination, DWORD componentType, DWORD targetType, DWORD channels,
                           const char* name)
{
    FakeDestination& d = m_mixers[mixer].destinations[destination];
    FakeLine s = {};
    MIXERLINEA& l = s.line;
    l.cbStruct = sizeof(l);
    l.dwDestination = destination;
    l.dwSource = static_cast<DWORD>(d.sources.size());
    l.dwLineID = (static_cast<DWORD>(mixer) << 16) | (static_cast<DWORD>(destination) << 8) | (l.dwSource + 1);
    l.dwComponentType = componentType;
    l.cChannels = channels;
    l.Target.dwType = targetType;
    lstrcpynA(l.szShortName, name, MIXER_SHORT_NAME_CHARS);
    lstrcpynA(l.szName, name, MIXER_LONG_NAME_CHARS);
    d.sources.push_back(s);
    d.line.line.cConnections = static_cast<DWORD>(d.sources.size());
    return l.dwLineID;
}

DWORD FakeMixer::AddControl(int mixer, int destination, int source, DWORD type, DWORD value, DWORD steps,
                            bool uniform)
{
    FakeDestination& d = m_mixers[mixer].destinations[destination];
    FakeLine& line = source < 0 ? d.line : d.sources[source];
    FakeControl c = {};
    c.control.cbStruct = sizeof(MIXERCONTROLA);
    c.control.dwControlID = m_nextControl++;
    c.control.dwControlType = type;
    c.control.fdwControl = uniform ? MIXERCONTROL_CONTROLF_UNIFORM : 0;
    c.control.Bounds.dwMinimum = 0;
    c.control.Bounds.dwMaximum = type == MIXERCONTROL_CONTROLTYPE_MUTE ? 1 : 65535;
    c.control.Metrics.cSteps = steps;
    c.values.assign(uniform ? 1 : line.line.cChannels, value);
    line.controls.push_back(c);
    line.line.cControls = static_cast<DWORD>(line.controls.size());
    return c.control.dwControlID;
}

DWORD FakeMixer::AddMux(int mixer, int destination, const std::vector<DWORD>& lineIds, int selected)
{
    FakeDestination& d = m_mixers[mixer].destinations[destination];
    FakeControl c = {};
    c.control.cbStruct = sizeof(MIXERCONTROLA);
    c.control.dwControlID = m_nextControl++;
    c.control.dwControlType = MIXERCONTROL_CONTROLTYPE_MUX;
    c.control.fdwControl = MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE;
    c.control.cMultipleItems = static_cast<DWORD>(lineIds.size());
    for (size_t i = 0; i < lineIds.size(); ++i) {
        MIXERCONTROLDETAILS_LISTTEXTA item = {};
        item.dwParam1 = lineIds[i];
        const FakeLine* line = FindLine(mixer, lineIds[i]);
        item.dwParam2 = line ? line->line.dwComponentType : 0;
        lstrcpynA(item.szName, line ? line->line.szName : "?", MIXER_LONG_NAME_CHARS);
        c.items.push_back(item);
        c.values.push_back(static_cast<int>(i) == selected ? 1 : 0);
    }
    d.line.controls.push_back(c);
    d.line.line.cControls = static_cast<DWORD>(d.line.controls.size());
    return c.control.dwControlID;
}

FakeLine* FakeMixer::FindLine(int mixer, DWORD lineId)
{
    if (mixer < 0 || mixer >= static_cast<int>(m_mixers.size()))
        return nullptr;
    for (FakeDestination& d : m_mixers[mixer].destinations) {
        if (d.line.line.dwLineID == lineId)
            return &d.line;
        for (FakeLine& s : d.sources)
            if (s.line.dwLineID == lineId)
                return &s;
    }
    return nullptr;
}

FakeControl* FakeMixer::FindControl(DWORD controlId)
{
    for (FakeMixerDevice& m : m_mixers)
        for (FakeDestination& d : m.destinations) {
            for (FakeControl& c : d.line.controls)
                if (c.control.dwControlID == controlId)
                    return &c;
            for (FakeLine& s : d.sources)
                for (FakeControl& c : s.controls)
                    if (c.control.dwControlID == controlId)
                        return &c;
        }
    return nullptr;
}

std::vector<int> FakeMixer::SelectedItems(DWORD muxId)
{
    std::vector<int> selected;
    FakeControl* c = FindControl(muxId);
    for (size_t i = 0; c && i < c->values.size(); ++i)
        if (c->values[i])
            selected.push_back(static_cast<int>(i));
    return selected;
}

MMRESULT FakeMixer::GetID(HMIXEROBJ object, UINT* mixerId, DWORD)
{
    const UINT_PTR device = reinterpret_cast<UINT_PTR>(object);
    if (device >= m_mixers.size())
        return MMSYSERR_BADDEVICEID;
    *mixerId = static_cast<UINT>(device);
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::GetDevCaps(UINT_PTR mixerId, MIXERCAPSA* caps)
{
    if (mixerId >= m_mixers.size())
        return MMSYSERR_BADDEVICEID;
    memset(caps, 0, sizeof(*caps));
    lstrcpynA(caps->szPname, m_mixers[mixerId].name.c_str(), MAXPNAMELEN);
    caps->cDestinations = static_cast<DWORD>(m_mixers[mixerId].destinations.size());
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::Open(HMIXER* mixer, UINT mixerId, DWORD_PTR, DWORD_PTR, DWORD)
{
    if (mixerId >= m_mixers.size())
        return MMSYSERR_BADDEVICEID;
    *mixer = reinterpret_cast<HMIXER>(static_cast<UINT_PTR>(mixerId + 1));
    ++openHandles;
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::Close(HMIXER)
{
    --openHandles;
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::GetLineInfo(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags)
{
    const int m = MixerOf(handle);
    if (m < 0 || m >= static_cast<int>(m_mixers.size()))
        return MMSYSERR_INVALHANDLE;
    const auto& dests = m_mixers[m].destinations;
    if (line->dwDestination >= dests.size())
        return MIXERR_INVALLINE;
    const FakeDestination& d = dests[line->dwDestination];
    if ((flags & MIXER_GETLINEINFOF_QUERYMASK) == MIXER_GETLINEINFOF_DESTINATION) {
        *line = d.line.line;
        return MMSYSERR_NOERROR;
    }
    if ((flags & MIXER_GETLINEINFOF_QUERYMASK) == MIXER_GETLINEINFOF_SOURCE) {
        if (line->dwSource >= d.sources.size())
            return MIXERR_INVALLINE;
        *line = d.sources[line->dwSource].line;
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_NOTSUPPORTED;
}

MMRESULT FakeMixer::GetLineControls(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD flags)
{
    FakeLine* line = FindLine(MixerOf(handle), controls->dwLineID);
    if (!line)
        return MIXERR_INVALLINE;
    if ((flags & MIXER_GETLINECONTROLSF_QUERYMASK) == MIXER_GETLINECONTROLSF_ALL) {
        if (controls->cControls != line->controls.size())
            return MMSYSERR_INVALPARAM;
        for (size_t i = 0; i < line->controls.size(); ++i)
            controls->pamxctrl[i] = line->controls[i].control;
        return MMSYSERR_NOERROR;
    }
    for (const FakeControl& c : line->controls) {
        if (c.control.dwControlType == controls->dwControlType) {
            controls->pamxctrl[0] = c.control;
            return MMSYSERR_NOERROR;
        }
    }
    return MIXERR_INVALCONTROL;
}

MMRESULT FakeMixer::GetControlDetails(HMIXEROBJ, MIXERCONTROLDETAILS* details, DWORD flags)
{
    FakeControl* c = FindControl(details->dwControlID);
    if (!c)
        return MIXERR_INVALCONTROL;
    const DWORD count = details->cChannels * (details->cMultipleItems ? details->cMultipleItems : 1);
    if ((flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) == MIXER_GETCONTROLDETAILSF_LISTTEXT) {
        for (DWORD i = 0; i < count && i < c->items.size(); ++i)
            static_cast<MIXERCONTROLDETAILS_LISTTEXTA*>(details->paDetails)[i] = c->items[i];
        return MMSYSERR_NOERROR;
    }
    for (DWORD i = 0; i < count; ++i)
        static_cast<DWORD*>(details->paDetails)[i] = c->values[i < c->values.size() ? i : 0];
    return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::SetControlDetails(HMIXEROBJ, MIXERCONTROLDETAILS* details, DWORD)
{
    FakeControl* c = FindControl(details->dwControlID);
    if (!c)
        return MIXERR_INVALCONTROL;
    const DWORD count = details->cChannels * (details->cMultipleItems ? details->cMultipleItems : 1);
    c->values.resize(count > c->values.size() ? count : c->values.size());
    for (DWORD i = 0; i < count; ++i)
        c->values[i] = static_cast<DWORD*>(details->paDetails)[i];
    ++writes;
    return MMSYSERR_NOERROR;
}

}  // namespace mediatest
