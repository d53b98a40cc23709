#pragma once
// CMixerSlider: a slider control bound to one fader control of the mixer (a
// line's left or right channel, its level, or its balance) that follows it
// both ways: the mixer's change notices move the slider, the user's scrolling
// writes the mixer. Bound to a dialog item by its owner dialog; UI thread only.
#include "framework/String.h"
#include "framework/ui/Controls.h"
#include "media/MixerApi.h"

// One bound mixer control with its value buffer (4 bytes per channel and item).
struct MixerControlBinding {
    MixerControlBinding();
    ~MixerControlBinding();
    void Release(IMixerApi* api);

    MMRESULT error;
    MIXERCONTROLDETAILS details;
    MIXERCONTROLDETAILS_UNSIGNED* values;   // owned
    HMIXER mixer;
    int mixerDevice;                        // -1 when closed
    CString lineName;
    CString controlName;
    MIXERCONTROLA control;
    DWORD channels;                         // of the line
};

class CMixerSlider : public CSliderCtrl {
public:
    enum Kind { kLeft = 0, kRight = 1, kLevel = 2, kBalance = 3 };
    // The destination line itself instead of one of its sources.
    static const DWORD kDestinationLine = 0x100B;

    CMixerSlider();
    ~CMixerSlider() override;

    BOOL AttachControl(DWORD destinationType, DWORD sourceType, DWORD controlType, int kind, int mixerDevice,
                       DWORD targetDeviceId);
    // The slider's value in the control's units (vertical sliders count from the bottom).
    DWORD GetValue() const;
    // Re-reads the mixer and moves the slider.
    BOOL Refresh();
    void SetMixerApi(IMixerApi* api) { m_api = api ? api : SystemMixerApi(); }
    int GetSteps() const { return m_steps; }
    DWORD GetStepSize() const { return m_stepSize; }
    float GetBalance() const { return m_balance; }
    const MixerControlBinding& GetBinding() const { return m_binding; }

protected:
    LRESULT OnMixerControlChange(WPARAM wParam, LPARAM lParam);
    void HScroll(UINT code, UINT position);
    void VScroll(UINT code, UINT position);
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    BOOL Bind(DWORD destinationType, DWORD sourceType, DWORD controlType, int mixerDevice, DWORD targetDeviceId);
    BOOL ReadValues();
    void MoveToValues();
    BOOL WriteFromSlider();
    BOOL IsVertical() const { return (GetStyle() & TBS_VERT) != 0; }

    MixerControlBinding m_binding;
    int m_kind;
    DWORD m_rangeSize;
    int m_steps;
    DWORD m_stepSize;
    float m_balance;
    DWORD m_read[2];          // the values read at binding (channels 0 and 1)
    IMixerApi* m_api;
};
