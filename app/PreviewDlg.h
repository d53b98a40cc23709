#pragma once
// CPreviewDlg: after a recording, plays it in a preview player window and
// ends with one choice: keep it (Save, or closing the dialog) or discard it
// (Delete, confirmed with Yes). The dialog never writes or deletes files; the
// caller reads GetKeep after the modal run (always 1). UI thread; the
// player's play-state notification comes from the poll thread and is posted
// to the dialog.
#include "framework/ui/Dialog.h"
#include "overlays/TimelinePreview.h"
#include "resources/ids_playback.h"

class XRVDShow;

class CMaskButton;
class CPreviewSlider;

#define WM_PREVIEW_PLAY_STATE (WM_APP + 0x60)

class CPreviewDlg : public CDialog, public IPlayerNotify {
public:
    enum { IDD = IDD_PREVIEW, kMinWidth = 450, kMinHeight = 300 };

    explicit CPreviewDlg(CWnd* parent = NULL);
    ~CPreviewDlg() override;

    // The facade whose graph plays (not owned); set before the modal run.
    void SetFacade(XRVDShow* facade);
    void SetFit(BOOL fit) { m_fit = fit; }
    int GetKeep() const { return m_keep; }
    CTimelinePreview& GetPreview() { return m_preview; }
    // "h:mm:ss.cc / h:mm:ss.cc" for a position and a duration in milliseconds.
    static CString FormatLabel(DWORD positionMs, DWORD durationMs);

    // IPlayerNotify (poll thread): posted to the dialog.
    void OnPlayStateChanged(IPlayerWindow* player) override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id);
    void OnSize(UINT type, int cx, int cy);
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnSysColorChange();
    LRESULT OnPlayState(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    void TogglePlay();
    void PausePlayer();
    void StopPlayer();
    void SeekTo(DWORD ms);
    void RefreshPosition();
    void ShowPlaying(BOOL playing);
    void SizeAndPlace();
    void Layout();
    // The buttons' pictures and the slider's bitmaps (again after a system
    // colour change: the groove follows the face colour).
    void SetUpButtons();
    void BuildSliderBitmaps();
    void AddToolTips();

    CTimelinePreview m_preview;
    XRVDShow* m_facade;
    int m_keep;
    BOOL m_fit;
    HICON m_icon;
    CString m_label;
    BOOL m_laidOut;
    CPreviewSlider* m_slider;       // its window is made with the dialog's
    CMaskButton* m_buttons[6];      // Play, Pause, Stop, Save, Delete, the position label
    HWND m_tips;                    // the tool tips, owned by the dialog's window (go with it)
};
