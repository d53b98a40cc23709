#pragma once
// The Windows mixer calls used by the mixer lines and sliders, behind one
// small interface so that the line-choosing rules can be checked against a
// scripted mixer. SystemMixerApi() calls winmm.
#include "framework/AfxPlatform.h"
#include <mmsystem.h>

class IMixerApi {
public:
    virtual ~IMixerApi() {}
    virtual UINT GetNumDevs() = 0;
    virtual MMRESULT GetID(HMIXEROBJ object, UINT* mixerId, DWORD flags) = 0;
    virtual MMRESULT GetDevCaps(UINT_PTR mixerId, MIXERCAPSA* caps) = 0;
    virtual MMRESULT Open(HMIXER* mixer, UINT mixerId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) = 0;
    virtual MMRESULT Close(HMIXER mixer) = 0;
    virtual MMRESULT GetLineInfo(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags) = 0;
    virtual MMRESULT GetLineControls(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
    virtual MMRESULT GetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
    virtual MMRESULT SetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
};

IMixerApi* SystemMixerApi();
