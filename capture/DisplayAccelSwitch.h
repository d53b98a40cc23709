#pragma once
// Switches the hardware acceleration of the display devices attached to the
// desktop fully off for the time of a recording and puts each device's
// previous level back afterwards, through the devices' "Acceleration.Level"
// registry value and a display reset. Owned by the recorder engine; its calls
// never overlap (constructor on the UI thread, the rest on the capture side).
#include "framework/Collections.h"
#include "framework/String.h"

class CDisplayAccelSwitch {
public:
    CDisplayAccelSwitch();
    virtual ~CDisplayAccelSwitch();

    void FindDevices();
    void DisableAcceleration();
    void RestoreAcceleration();

    int GetDeviceCount() const { return (int)m_deviceKeys.GetSize(); }
    CString GetDeviceKey(int index) const { return m_deviceKeys[index]; }
    // The level a device had when collected (0 when it had none).
    DWORD GetSavedLevel(const CString& deviceKey) const;

    // The level that means "no acceleration at all".
    static const DWORD kNoAcceleration = 5;

protected:
    // Asks the display to reload its settings; overridden by tests, which
    // must not reset the real display.
    virtual void ResetDisplay();
    virtual BOOL IsWindowsXP() const;

private:
    CStringArray m_deviceKeys;        // paths below HKLM / HKCC, in device order
    CMapStringToPtr m_savedLevels;    // device key -> saved level (as a pointer-sized value)
};
