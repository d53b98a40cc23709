#pragma once
// What a long audio conversion asks of the window that shows its progress:
// its title, the bar, the time left and the user's cancel request. The
// AVI-creation dialog implements it.
#include "framework/AfxPlatform.h"

class IConvertProgress {
public:
    virtual ~IConvertProgress() {}
    virtual void SetProgressTitle(LPCTSTR title) = 0;
    virtual void SetProgress(int rangeMax, int position) = 0;
    // Seconds left; 0 clears the estimate.
    virtual void SetTimeLeft(int seconds) = 0;
    virtual BOOL IsCancelRequested() const = 0;
    virtual void SetCancelRequested(BOOL requested) = 0;
};
