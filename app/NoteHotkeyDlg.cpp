#include "app/NoteHotkeyDlg.h"

#include "resources/ids_notes.h"
#include "settings/RecorderPrefs.h"

#include <commctrl.h>

CNoteHotkeyDlg::CNoteHotkeyDlg(CRecorderPrefs* prefs, CWnd* parent)
    : CDialog(IDD_NOTE_HOTKEYS, parent), m_prefs(prefs)
{
}

WORD CNoteHotkeyDlg::CodeToControl(DWORD code)
{
    if (code == 0)
        return 0;
    UINT modifiers = 0, vk = 0;
    HotkeyToWin32(code, modifiers, vk);
    BYTE flags = 0;
    if (modifiers & MOD_CONTROL)
        flags |= HOTKEYF_CONTROL;
    if (modifiers & MOD_ALT)
        flags |= HOTKEYF_ALT;
    if (modifiers & MOD_SHIFT)
        flags |= HOTKEYF_SHIFT;
    return MAKEWORD((BYTE)vk, flags);
}

DWORD CNoteHotkeyDlg::ControlToCode(WORD value)
{
    const BYTE vk = LOBYTE(value);
    const BYTE flags = HIBYTE(value);
    if (vk == 0)
        return 0;
    DWORD code;
    if (vk >= VK_F1 && vk <= VK_F24)
        code = 0x800 | (DWORD)(vk - 111);
    else if (vk == VK_SNAPSHOT)
        code = 0x1000;
    else
        code = vk;
    if (flags & HOTKEYF_CONTROL)
        code |= 0x100;
    if (flags & HOTKEYF_ALT)
        code |= 0x200;
    if (flags & HOTKEYF_SHIFT)
        code |= 0x400;
    return code;
}

BOOL CNoteHotkeyDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!m_prefs)
        return TRUE;
    SendDlgItemMessage(IDC_NOTE_HOTKEY_NEXT, HKM_SETHOTKEY, CodeToControl(m_prefs->m_nextLayoutKey));
    SendDlgItemMessage(IDC_NOTE_HOTKEY_PREV, HKM_SETHOTKEY, CodeToControl(m_prefs->m_prevLayoutKey));
    SendDlgItemMessage(IDC_NOTE_HOTKEY_TOGGLE, HKM_SETHOTKEY, CodeToControl(m_prefs->m_showHideLayoutKey));
    return TRUE;
}

void CNoteHotkeyDlg::OnOK()
{
    if (m_prefs) {
        m_prefs->m_nextLayoutKey = ControlToCode((WORD)SendDlgItemMessage(IDC_NOTE_HOTKEY_NEXT, HKM_GETHOTKEY));
        m_prefs->m_prevLayoutKey = ControlToCode((WORD)SendDlgItemMessage(IDC_NOTE_HOTKEY_PREV, HKM_GETHOTKEY));
        m_prefs->m_showHideLayoutKey =
            ControlToCode((WORD)SendDlgItemMessage(IDC_NOTE_HOTKEY_TOGGLE, HKM_GETHOTKEY));
    }
    CDialog::OnOK();
}
