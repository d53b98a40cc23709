#pragma once
// The recorder's main window. It owns the preferences record for the life of
// the program (loaded while it is created, saved when it closes) and, while a
// recording runs, the recorder engine with its own copy of the preferences.
// It takes the Record, Pause, Stop and Delete commands, the private messages
// that a second start forwards, and the engine's reports, and hands a
// finished recording to the save step. UI thread only.
#include "framework/ui/FrameWnd.h"
#include "app/MainWindowStart.h"
#include "capture/AreaPicker.h"
#include "capture/RecorderWindow.h"
#include "framework/Sync.h"
#include "media/RecordingOutput.h"
#include "camera/CameraPreviewDlg.h"

#include <memory>

class COXTaskbarIcon;
class CStatusBar;
class CToolBarEx;
class XRVSkoMenuBar;
class CRecorderEngine;
class CRecorderPrefs;
class CVideoFocusWnd;
class CScreenDrawWnd;
class XRVCameraConfig;

class CMainFrame : public CFrameWnd,
                   public ICameraPreviewOwner,
                   public IMainWindowStart,
                   public IRecorderWindow,
                   public IRecordingOutputHost,
                   public IAreaPickerHost {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Creates the window in the registered class, hidden, from resource 2
    // (its menu, taken by the menu bar, and its icon).
    static IMainWindowStart* Make(LPCSTR className, LPCSTR title);
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

    // IMainWindowStart
    CFrameWnd* GetFrame() override { return this; }
    CRecorderPrefs* GetPrefs() override { return m_prefs.get(); }
    void RestorePlacement() override;
    void CreateCamera();
    void RunRecordWizard() override;

    // IRecorderWindow
    HWND GetRecorderHwnd() const override { return m_hWnd; }
    void SetRecordState(int state) override;
    void ShowFocusFrame(int nCmdShow) override;
    BOOL MoveFocusFrame(const RECT* area, int width) override;
    void SetRecordedBitDepth(int bitCount) override { m_recordedBitDepth = bitCount; }

    // IRecordingOutputHost
    int ShowPreviewDialog(LPCSTR screenFile, LPCSTR cameraFile) override;
    BOOL AskOutputFileName(CString& name) override;
    BOOL MakeNumberedFileName(LPCSTR folder, LPCSTR prefix, LPCSTR extension, CString& name) override;
    BOOL IsCameraPreviewShown() override;
    void OnCameraPreviewCancel() override;
    void OnCameraPreviewCommand();
    // Checked while the camera preview shows.
    void OnUpdateCameraPreview(CCmdUI* pCmdUI);
    void ShowCameraPreview(BOOL allowTips) override;
    void PrepareForPreview() override;
    int RunPostSaveOptions() override;
    void LaunchEditor(LPCSTR file, BOOL package, int choice) override;
    BOOL ShouldRestoreRecorder() override;
    void RestoreMainWindow() override;
    void AddToOutputMru(LPCSTR name) override;
    BOOL SaveRecordingAs(LPCSTR destination, int part) override;
    void SetLastRecordingDir(LPCSTR folder) override;

    // Commands. Record starts a recording (or resumes a paused one); TRUE
    // when the engine runs afterwards.
    BOOL Record();
    BOOL Pause();
    BOOL Stop();
    // Ends the recording and deletes what it recorded.
    BOOL Discard();

    // Opens the area picker for an input kind: 0 the video input preference,
    // 1 the input the record wizard selected, 2 and 3 a window, 4 a region for
    // an owner dialog or page. prefs (NULL: the window's own) receives the
    // choice. FALSE when no picker opened.
    BOOL OpenAreaPicker(int inputKind, CRecorderPrefs* prefs = NULL, IRegionPageOwner* page = NULL,
                        IFixedRegionOwner* dialog = NULL, int handBack = -1);
    // IAreaPickerHost: destroys the open picker, if any, and forgets it.
    void ReleaseChild() override;

    CRecorderEngine* GetEngine() const { return m_engine.get(); }
    int GetRecordState() const { return m_recordState; }
    // The zoom factor of the running recording (area to output; 1 when idle).
    float GetZoomFactor() const { return m_zoomFactor; }
    // The name the last save wrote (empty when none).
    const CString& GetLastSavedName() const { return m_lastSaved; }

    int OnCreate(LPCREATESTRUCT cs);
    void OnClose();
    void OnDestroy();
    LRESULT OnFocusFrame(WPARAM command, LPARAM);
    LRESULT OnAppRecord(WPARAM, LPARAM);
    LRESULT OnAppPause(WPARAM, LPARAM);
    LRESULT OnAppStop(WPARAM, LPARAM);
    LRESULT OnAppExit(WPARAM, LPARAM);
    LRESULT OnAppWizard(WPARAM, LPARAM);
    LRESULT OnRecorderFinished(WPARAM failure, LPARAM);
    LRESULT OnRecorderState(WPARAM began, LPARAM);
    LRESULT OnMainRecordState(WPARAM state, LPARAM);
    LRESULT OnRecorderSelfPaused(WPARAM, LPARAM);
    LRESULT OnRecorderIndicator(WPARAM paused, LPARAM);
    LRESULT OnAreaChosen(WPARAM, LPARAM);
    LRESULT OnAreaCancelled(WPARAM, LPARAM);
    LRESULT OnEndProgressDialog(WPARAM, LPARAM);
    LRESULT OnHotKey(WPARAM id, LPARAM);
    // The tray icon (app/MainFrameTray.cpp): shown while a recording runs,
    // its tip the state text; its right-button menu records, pauses, stops,
    // deletes and shows the window.
    LRESULT OnTaskbarIcon(WPARAM id, LPARAM mouseMessage);
    void OnRecordPause();
    void OnStopCommand();
    void OnDeleteCommand();
    void OnShowWindowCommand();
    void OnUpdateWhileRecording(CCmdUI* pCmdUI);
    COXTaskbarIcon* GetTrayIcon() const { return m_tray.get(); }
    void OnExitCommand();
    // A closed menu brings the state text back to the status bar.
    void OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu);
    // Options: each edits a copy of the preferences and stores it on OK.
    void OnOptionsWatermark();
    void OnOptionsStampOrder();
    void OnOptionsTimeDate();
    void OnUpdateExit(CCmdUI* pCmdUI);
    // Help, Index: the help file's index topic.
    void OnHelpIndex();
    // The screen-notes window (app/MainFrameCatalogue.cpp): the menu command
    // shows or hides it (checked while shown), the window's close asks to
    // hide it; the visible flag of the preferences follows. The layout keys
    // go to its item window; at close its state goes to the preferences.
    void ShowCatalogue(BOOL show);
    void OnToggleCatalogue();
    void OnUpdateToggleCatalogue(CCmdUI* pCmdUI);
    LRESULT OnHideCatalogue(WPARAM, LPARAM);
    void OnNoteHotKeys();
    void SendLayoutCommand(UINT command);
    void StoreCatalogueOnClose();
    // The menu bar sees the window's keys first (Alt, F10, mnemonics).
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Global hot keys (app/MainFrameHotKeys.cpp). Each key of the
    // preferences is registered on its own, so one that another program holds
    // leaves the others working; the bits of GetRegisteredHotKeys are
    // 1 << id of the keys that were registered.
    enum HotKeyId {
        kHotCapture = 1, kHotStop, kHotHide, kHotMute, kHotAutoPan, kHotScreenDraw,
        kHotNextLayout, kHotPrevLayout, kHotToggleLayout
    };
    void RegisterHotKeys();
    void UnregisterHotKeys();
    UINT GetRegisteredHotKeys() const { return m_hotKeys; }
    // TRUE while commands are ignored: the end of a recording is being
    // handled (its dialogs pump messages), a stop was asked for, or an area
    // picker is open.
    BOOL IsBusy() const;

    // Screen drawing (app/MainFrameDraw.cpp): the drawing window over a
    // snapshot of the screen that this window makes and frees. While it is
    // open and DisableEffectsDuringScreenDraw is set, the running engine (the
    // one of the moment, also one that starts meanwhile) draws no cursor
    // effects.
    BOOL StartScreenDraw();
    void EndScreenDraw();
    void OnScreenDrawToggle();
    // Commands of the drawing window's menu come here and are passed back.
    void OnScreenDrawCommand(UINT id);
    void OnUpdateScreenDrawCommand(CCmdUI* pCmdUI);
    CScreenDrawWnd* GetScreenDraw() const;

protected:
    DECLARE_MESSAGE_MAP()

private:
    // Sets or clears the engine's effects flag for the drawing state.
    void ApplyScreenDrawEffects();
    // The capture rectangle of the video input preference; FALSE when the
    // input needs an area picker first.
    BOOL GetCaptureRect(RECT* area);
    // Makes the engine for a recording (live: for the live output) and starts it.
    BOOL StartEngine(RECT* area, BOOL live = FALSE, BOOL restart = FALSE);
    // Live output (app/MainFrameLive.cpp).
    BOOL StartLiveEngine(BOOL restart);
    LRESULT OnLiveRecordingFinished(WPARAM failure);
    void DeleteEngine();
    void SaveFinishedRecording();
    // Keeps the engine's recording for recovery and tells the user where.
    void KeepRecording();

    // Shows the recording (paused false) or the paused and idle image on the
    // Record button and the tray icon.
    void ShowIndicator(BOOL paused);

    CString m_className;       // the window class start-up registered
    std::unique_ptr<CRecorderPrefs> m_prefs;
    std::unique_ptr<CRecorderPrefs> m_recordPrefs;   // the running recording's copy
    std::unique_ptr<CRecorderEngine> m_engine;
    // The camera that records beside the screen, for the program's life;
    // its settings are loaded at creation and saved when the window closes.
    std::unique_ptr<XRVCameraConfig> m_camera;
    std::unique_ptr<CCameraPreviewDlg> m_cameraPreview;
    int m_recordState;         // 0 idle, 1 recording, 2 paused
    int m_recordedBitDepth;
    float m_zoomFactor;
    BOOL m_closeDeferred;      // an exit was asked for during a recording
    CDWordArray m_bookmarks;
    HWND m_picker;             // open area picker (deletes itself)
    int m_inputSelection;      // the input the record wizard selected (-1: none)
    CString m_lastSaved;
    // The main window's own frame: the outline of the window under the cursor.
    std::unique_ptr<CVideoFocusWnd> m_focusFrame;
    CCriticalSection m_focusLock;   // guards the area and width below
    RECT m_focusArea;
    int m_focusWidth;
    std::unique_ptr<COXTaskbarIcon> m_tray;
    std::unique_ptr<XRVSkoMenuBar> m_menuBar;
    std::unique_ptr<CToolBarEx> m_toolBar;
    std::unique_ptr<CStatusBar> m_statusBar;
    void CreateBars();
    void UpdateTrayIcon(const CString& stateText);
    UINT m_hotKeys;            // registered hot keys, 1 << HotKeyId
    BOOL m_stopAsked;          // a stop was asked for and the recording has not ended
    BOOL m_finishing;          // the end-of-recording handler runs
    BOOL m_muted;              // the mute hot key's state for the running recording
    HWND m_screenDraw;         // open drawing window (deletes itself)
    HBITMAP m_drawSnapshot;
    HPALETTE m_drawPalette;
};
