#include "media/MixerApi.h"

namespace {

class CSystemMixerApi : public IMixerApi {
public:
    UINT GetNumDevs() override { return ::mixerGetNumDevs(); }
    MMRESULT GetID(HMIXEROBJ object, UINT* mixerId, DWORD flags) override
    {
        return ::mixerGetID(object, mixerId, flags);
    }
    MMRESULT GetDevCaps(UINT_PTR mixerId, MIXERCAPSA* caps) override
    {
        return ::mixerGetDevCapsA(mixerId, caps, sizeof(MIXERCAPSA));
    }
    MMRESULT Open(HMIXER* mixer, UINT mixerId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override
    {
        return ::mixerOpen(mixer, mixerId, callback, instance, flags);
    }
    MMRESULT Close(HMIXER mixer) override { return ::mixerClose(mixer); }
    MMRESULT GetLineInfo(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags) override
    {
        return ::mixerGetLineInfoA(mixer, line, flags);
    }
    MMRESULT GetLineControls(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags) override
    {
        return ::mixerGetLineControlsA(mixer, controls, flags);
    }
    MMRESULT GetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) override
    {
        return ::mixerGetControlDetailsA(mixer, details, flags);
    }
    MMRESULT SetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) override
    {
        return ::mixerSetControlDetails(mixer, details, flags);
    }
};

}  // namespace

IMixerApi* SystemMixerApi()
{
    static CSystemMixerApi api;
    return &api;
}
