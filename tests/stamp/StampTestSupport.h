#pragma once
// Helpers of the stamp dialog tests: reading the controls of a shown dialog,
// driving them as the user does, and running a dialog modally with one step
// that acts on it once it is shown.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace stamptest {

std::string ItemText(HWND dlg, int id);
std::vector<std::string> ListItems(HWND dlg, int id);
int ListSelection(HWND dlg, int id);
bool IsEnabled(HWND dlg, int id);
bool IsChecked(HWND dlg, int id);
std::string WindowCaption(HWND hWnd);

// A control's notification, sent (not posted) as the control itself sends it.
void Notify(HWND dlg, int id, int code);
// Selects a list entry and tells the dialog, as a click on the entry does.
void SelectListEntry(HWND dlg, int id, int index);
// Sets an edit's text; the edit tells its dialog of the change itself.
void TypeText(HWND dlg, int id, const char* text);

// Runs DoModal; once a dialog with the caption is shown, act runs on it and
// returns the button to press (or 0 to let the test's own steps end it).
// Returns DoModal's result; *acted tells whether act ran.
template <class Dlg>
INT_PTR RunDialog(Dlg& dlg, const char* caption, const std::function<int(HWND)>& act, bool* acted);

}  // namespace stamptest

#include "UiTestSupport.h"

template <class Dlg>
INT_PTR stamptest::RunDialog(Dlg& dlg, const char* caption, const std::function<int(HWND)>& act,
                             bool* acted)
{
    *acted = false;
    uitest::ModalAnswerer answer([&](HWND h) {
        if (*acted || WindowCaption(h) != caption)
            return false;
        *acted = true;
        const int button = act(h);
        return button == 0 || uitest::ModalAnswerer::Press(h, button);
    });
    return dlg.DoModal();
}
