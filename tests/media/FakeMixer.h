#pragma once
// A scripted mixer behind the mixer seam: mixers with destinations, source
// lines and their controls and values, for the line-choosing and
// save/restore rules that Wine's mixer (volume and mute only) cannot show.
#include "media/MixerApi.h"

#include <string>
#include <vector>

namespace mediatest {

struct FakeControl {
    MIXERCONTROLA control;
    std::vector<DWORD> values;                          // channels x items
    std::vector<MIXERCONTROLDETAILS_LISTTEXTA> items;   // list controls
};

struct FakeLine {
    MIXERLINEA line;
    std::vector<FakeControl> controls;
};

struct FakeDestination {
    FakeLine line;
    std::vector<FakeLine> sources;
};

struct FakeMixerDevice {
    std::string name;
    std::vector<FakeDestination> destinations;
};

class FakeMixer : public IMixerApi {
public:
    // Builders. Line ids are (mixer << 16) | (destination << 8) | (source + 1).
    int AddMixer(const std::string& name);
    int AddDestination(int mixer, DWORD componentType, DWORD channels, const char* name);
    DWORD AddSource(int mixer, int destination, DWORD componentType, DWORD targetType, DWORD channels,
                    const char* name);
    // A control on a line (source -1: the destination line); returns its id.
    // A control that is not uniform has a value per channel of its line.
    DWORD AddControl(int mixer, int destination, int source, DWORD type, DWORD value, DWORD steps = 192,
                     bool uniform = true);
    // A mux on the destination listing these source lines; item `selected` on.
    DWORD AddMux(int mixer, int destination, const std::vector<DWORD>& lineIds, int selected);
    FakeControl* FindControl(DWORD controlId);
    std::vector<int> SelectedItems(DWORD muxId);
    int writes = 0;

    UINT GetNumDevs() override { return static_cast<UINT>(m_mixers.size()); }
    MMRESULT GetID(HMIXEROBJ object, UINT* mixerId, DWORD flags) override;
    MMRESULT GetDevCaps(UINT_PTR mixerId, MIXERCAPSA* caps) override;
    MMRESULT Open(HMIXER* mixer, UINT mixerId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
    MMRESULT Close(HMIXER mixer) override;
    MMRESULT GetLineInfo(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags) override;
    MMRESULT GetLineControls(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags) override;
    MMRESULT GetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) override;
    MMRESULT SetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) override;
    int openHandles = 0;

private:
    FakeLine* FindLine(int mixer, DWORD lineId);
    int MixerOf(HMIXEROBJ handle) const { return static_cast<int>(reinterpret_cast<UINT_PTR>(handle)) - 1; }
    std::vector<FakeMixerDevice> m_mixers;
    DWORD m_nextControl = 100;
};

}  // namespace mediatest
