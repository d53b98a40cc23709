#include "StampTestSupport.h"

namespace stamptest {

std::string ItemText(HWND dlg, int id)
{
    char text[512] = "";
    ::GetDlgItemTextA(dlg, id, text, sizeof(text));
    return text;
}

std::vector<std::string> ListItems(HWND dlg, int id)
{
    std::vector<std::string> items;
    const int count = (int)::SendDlgItemMessageA(dlg, id, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        const int len = (int)::SendDlgItemMessageA(dlg, id, LB_GETTEXTLEN, i, 0);
        std::string item(len < 0 ? 0 : len + 1, '\0');
        ::SendDlgItemMessageA(dlg, id, LB_GETTEXT, i, (LPARAM)&item[0]);
        item.resize(strlen(item.c_str()));
        items.push_back(item);
    }
    return items;
}

int ListSelection(HWND dlg, int id)
{
    return (int)::SendDlgItemMessageA(dlg, id, LB_GETCURSEL, 0, 0);
}

bool IsEnabled(HWND dlg, int id)
{
    return ::IsWindowEnabled(::GetDlgItem(dlg, id)) != FALSE;
}

bool IsChecked(HWND dlg, int id)
{
    return ::IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

std::string WindowCaption(HWND hWnd)
{
    char text[256] = "";
    ::GetWindowTextA(hWnd, text, sizeof(text));
    return text;
}

void Notify(HWND dlg, int id, int code)
{
    ::SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)::GetDlgItem(dlg, id));
}

void SelectListEntry(HWND dlg, int id, int index)
{
    ::SendDlgItemMessageA(dlg, id, LB_SETCURSEL, index, 0);
    Notify(dlg, id, LBN_SELCHANGE);
}

void TypeText(HWND dlg, int id, const char* text)
{
    ::SetDlgItemTextA(dlg, id, text);
}

}  // namespace stamptest
