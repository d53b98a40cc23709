// The main window's live output: Record in live mode starts an engine that
// feeds the capture driver instead of a file, and when the driver's consumer
// switches to another frame size the engine ends and a new one starts at the
// new size at once.
#include "app/MainFrame.h"

#include "capture/RecorderEngine.h"
#include "settings/RecorderPrefs.h"

// A live engine takes its area from the live-output header, so it gets an
// empty rectangle. A restart (the consumer changed its size) does not wait
// for a record command even when the preferences pause on start.
BOOL CMainFrame::StartLiveEngine(BOOL restart)
{
    m_recordPrefs.reset(new CRecorderPrefs(*m_prefs));
    m_engine.reset(new CRecorderEngine(m_recordPrefs.get(), this, NULL));
    m_engine->SetLive(TRUE, restart);
    const int level = m_prefs->m_zoomInitialLevel;
    m_zoomFactor = !restart && level > 0 ? 100.0f / (float)level : 1.0f;
    if (m_zoomFactor != 1.0f)
        m_engine->SetZoomFactor(m_zoomFactor);
    m_recordedBitDepth = 0;
    m_bookmarks.RemoveAll();
    RECT empty = {0, 0, 0, 0};
    if (!m_engine->PrepareRecording(&empty)) {
        DeleteEngine();
        SetRecordState(0);
        return FALSE;
    }
    return TRUE;
}

// The end of a live engine. Nothing is saved: a live recording writes no
// file. Failure 2 means the consumer now wants another size: a new live
// engine starts at once, unless the program is waiting to close, which
// would otherwise never happen while a consumer keeps switching sizes.
LRESULT CMainFrame::OnLiveRecordingFinished(WPARAM failure)
{
    DeleteEngine();
    m_zoomFactor = 1.0f;
    if (failure == 2 && !m_closeDeferred) {
        StartLiveEngine(TRUE);
        return 0;
    }
    SetRecordState(0);
    if (m_closeDeferred) {
        m_closeDeferred = FALSE;
        PostMessage(WM_CLOSE);
    }
    return 0;
}
