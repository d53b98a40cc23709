#include "app/PickerWindowList.h"

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    ((std::vector<HWND>*)param)->push_back(window);
    return TRUE;
}

}  // namespace

// EnumWindows lists from the top of the z-order down; the picker wants the
// top-most window last, so that the last one holding the point wins.
std::vector<PickerWindow> BuildPickerWindowList(HWND exclude)
{
    std::vector<HWND> all;
    ::EnumWindows(CollectWindow, (LPARAM)&all);
    std::vector<PickerWindow> list;
    for (size_t i = all.size(); i-- > 0;) {
        HWND window = all[i];
        if (window == exclude || !::IsWindowVisible(window) || ::IsIconic(window))
            continue;
        if (::GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TRANSPARENT)
            continue;
        PickerWindow entry;
        if (!::GetWindowRect(window, &entry.rect) || ::IsRectEmpty(&entry.rect))
            continue;
        char className[256] = "";
        ::GetClassNameA(window, className, sizeof(className));
        entry.window = window;
        entry.className = className;
        entry.z = (int)list.size();
        list.push_back(entry);
    }
    return list;
}
