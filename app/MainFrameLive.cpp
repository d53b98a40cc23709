// The main window's live output: Record in live mode starts an engine that
// feeds the capture driver instead of a file, and when the driver's consumer
// switches to another frame size the engine ends and a new one starts at the
// new size at once.
#include "app/MainFrame.h"

#include "capture/RecorderEngine.h"
#include "settings/RecorderPrefs.h"

// A live engine takes its area from the live-output header, so it gets an
// empty rectangle.
BOOL CMainFrame::StartLiveEngine(BOOL restart)
{
    RECT empty = {0, 0, 0, 0};
    return StartEngine(&empty, TRUE, restart);
}

// The end of a live engine. Nothing is saved: a live recording writes no
// file. Failure 2 means the consumer now wants another size: a new live
// engine starts at once, unless the program is waiting to close, which
// would otherwise never happen while a consumer keeps switching sizes.
LRESULT CMainFrame::OnLiveRecordingFinished(WPARAM failure)
{
    DeleteEngine();
    m_stopAsked = FALSE;
    m_muted = FALSE;
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
