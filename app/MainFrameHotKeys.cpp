// The main window's global hot keys: record/pause, stop, hide, mute,
// auto-pan and screen drawing. The zoom keys are not registered: no step of
// the zoom is given for them. The marker key joins with that feature.
#include "app/MainFrame.h"

#include "capture/RecorderEngine.h"
#include "resources/ids_catwin.h"
#include "settings/RecorderPrefs.h"

namespace {

// Logs a key that could not be registered (another program may hold it:
// ERROR_HOTKEY_ALREADY_REGISTERED, 1409).
void ReportHotKeyFailure(int id, DWORD code, DWORD error)
{
    char text[160];
    wsprintfA(text, "Vexcap: hot key %d (code 0x%lX) not registered, error %lu\n", id, (unsigned long)code,
              (unsigned long)error);
    ::OutputDebugStringA(text);
}

}  // namespace

void CMainFrame::RegisterHotKeys()
{
    UnregisterHotKeys();
    const struct {
        int id;
        DWORD code;
    } keys[] = {
        { kHotCapture, m_prefs->m_captureKey }, { kHotStop, m_prefs->m_stopKey },
        { kHotHide, m_prefs->m_hideKey },       { kHotMute, m_prefs->m_muteKey },
        { kHotAutoPan, m_prefs->m_autoPanKey }, { kHotScreenDraw, m_prefs->m_screenDrawKey },
        { kHotNextLayout, m_prefs->m_nextLayoutKey },
        { kHotPrevLayout, m_prefs->m_prevLayoutKey },
        { kHotToggleLayout, m_prefs->m_showHideLayoutKey },
    };
    for (const auto& key : keys) {
        if (key.code == 0 || !IsValidHotkey(key.code))
            continue;
        UINT modifiers = 0, vk = 0;
        HotkeyToWin32(key.code, modifiers, vk);
        if (::RegisterHotKey(m_hWnd, key.id, modifiers, vk))
            m_hotKeys |= 1u << key.id;
        else
            ReportHotKeyFailure(key.id, key.code, ::GetLastError());
    }
}

void CMainFrame::UnregisterHotKeys()
{
    for (int id = kHotCapture; id <= kHotToggleLayout; id++) {
        if (m_hotKeys & (1u << id))
            ::UnregisterHotKey(m_hWnd, id);
    }
    m_hotKeys = 0;
}

BOOL CMainFrame::IsBusy() const
{
    return m_finishing || m_stopAsked || (m_picker != NULL && ::IsWindow(m_picker));
}

LRESULT CMainFrame::OnHotKey(WPARAM id, LPARAM)
{
    // Drawing can always be ended; it starts only when nothing else runs.
    if ((int)id == kHotScreenDraw && GetScreenDraw() != NULL) {
        EndScreenDraw();
        return 0;
    }
    if (IsBusy())
        return 0;
    switch ((int)id) {
    case kHotCapture:
        // Records when idle or paused, else pauses.
        if (m_engine && !m_engine->IsPaused())
            Pause();
        else
            Record();
        break;
    case kHotStop:
        Stop();
        break;
    case kHotHide:
        ShowWindow(IsWindowVisible() ? SW_HIDE : SW_SHOW);
        break;
    case kHotMute:
        if (m_engine) {
            m_muted = !m_muted;
            m_engine->SetAudioMute(m_muted);
        }
        break;
    case kHotNextLayout:
        SendLayoutCommand(ID_CAT_LAYOUT_NEXT);
        break;
    case kHotPrevLayout:
        SendLayoutCommand(ID_CAT_LAYOUT_PREV);
        break;
    case kHotToggleLayout:
        SendLayoutCommand(ID_CAT_LAYOUT_TOGGLE);
        break;
    case kHotAutoPan:
        m_prefs->m_autoPan = !m_prefs->m_autoPan;
        if (m_recordPrefs)
            m_recordPrefs->m_autoPan = m_prefs->m_autoPan;
        break;
    case kHotScreenDraw:
        StartScreenDraw();
        break;
    }
    return 0;
}
