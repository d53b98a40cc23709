#pragma once
// The list of top-level windows that the window picker chooses from, built by
// the recorder window just before the picker opens. UI thread.
#include "capture/WindowPickerWnd.h"

#include <vector>

// The visible, not minimised top-level windows with an area, bottom-most
// first, with z values increasing along the list; `exclude` (the recorder
// window) and click-through windows such as open pickers are left out.
std::vector<PickerWindow> BuildPickerWindowList(HWND exclude);
