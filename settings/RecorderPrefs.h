#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"
#include "capture/TimeDateFormat.h"
#include "capture/WatermarkSettings.h"
#include "settings/MruList.h"
#include "settings/Rational.h"
#include "settings/TextNoteStyle.h"
#include "settings/TextStyle.h"

#include <mmsystem.h>

class IPrefsHost;

// Every user preference of the recorder, with its defaults, and its registry
// form (section "3.0" of the application's profile). The main window owns
// one; each recording and each options dialog works on its own copy. No
// threads, no windows; the host gives the registry profile, the program folder
// and the open-window counter.
class CRecorderPrefs : public CObject {
public:
    // The registry section of the preferences and of the audio format.
    static const char kSection[];
    // The value of the player flag, which has no name of its own elsewhere.
    static const char kSeparatePlayerValue[];

    explicit CRecorderPrefs(IPrefsHost* host);
    CRecorderPrefs(const CRecorderPrefs& other);
    ~CRecorderPrefs() override;

    // Copies every field; the audio format and the custom cursor are
    // duplicated, so each record frees only its own.
    void CopyFrom(const CRecorderPrefs& other);

    // Reads every value, applying the defaults and the corrections of bad values.
    void Load();
    // Writes every value in the layout's order, then the audio format.
    void Save();

    // ORs the mask into the flag word and returns the mask (on non-zero), or
    // clears the bits and returns the new word.
    DWORD SetFlags(DWORD mask, BOOL on);
    // TRUE when screen copies must add CAPTUREBLT.
    BOOL UseCaptureBlt() const;
    // 1 when no custom cursor is wanted or one was loaded, 0 when loading failed.
    int LoadCustomCursor();

    CString ReadStampOrder(LPCTSTR section, LPCTSTR oldName, LPCTSTR newName, LPCTSTR defaultOrder);
    void ReadRect(LPCTSTR name, RECT& rect);
    void WriteRect(LPCTSTR name, const RECT& rect);

    // The codec's own state, stored as REG_BINARY under the FourCC's four
    // characters in the subkey "Codec Configuration" of the section key.
    // LoadCodecState hands out a malloc'd buffer that the caller free()s;
    // for xrvc it supplies a 16-byte default when nothing is stored.
    BOOL LoadCodecState(DWORD fourcc, BYTE** data, DWORD* size) const;
    BOOL SaveCodecState(DWORD fourcc, const BYTE* data, DWORD size) const;

    // The audio format block (18 + cbSize bytes), or NULL; owned by the record.
    const WAVEFORMATEX* GetAudioFormat() const { return m_audioFormat; }
    DWORD GetAudioFormatSize() const { return m_audioFormatSize; }
    // Copies the format (18 + its cbSize bytes); NULL frees the block.
    void SetAudioFormat(const WAVEFORMATEX* format);

    IPrefsHost* GetHost() const { return m_host; }

    // 1. Layout of the main window, 0..2.
    int m_uiView;
    // 2. Hot keys in the stored hot-key format (low byte the key, 0x100 Ctrl,
    // 0x200 Alt, 0x400 Shift, 0x800 function key, 0x1000 Print Screen).
    DWORD m_captureKey;
    DWORD m_stopKey;
    DWORD m_autoPanKey;
    DWORD m_hideKey;
    DWORD m_zoomInKey;
    DWORD m_zoomOutKey;
    DWORD m_nextLayoutKey;
    DWORD m_prevLayoutKey;
    DWORD m_showHideLayoutKey;
    DWORD m_screenDrawKey;
    DWORD m_muteKey;
    DWORD m_markerKey;
    // 3. Remembered user-interface choices ("Preferences"); owned by the UI.
    DWORD m_flags;
    // 4. Output folders and save-as files.
    CMruList m_outputDirMru;
    CMruList m_saveAsMru;
    // 5. Capture input and output files.
    int m_wizardInput;
    int m_videoInput;           // 0 screen, 1 window, 2 region, 3 fixed region
    BOOL m_captureMouse;
    int m_fileNaming;           // 0 ask, 1 fixed name, 2 automatic numbered name
    int m_fileType;
    CString m_outputDir;
    CString m_fixedFileName;
    CString m_autoFilePrefix;
    int m_useStartPoint;
    RECT m_fixedRect;
    CString m_tempDir;
    int m_unused5;
    BOOL m_pauseOnStart;
    // 6. Video compression.
    BOOL m_autoConfig;
    BOOL m_timeLapse;
    DWORD m_compressorFourCC;
    int m_quality;              // -1: the compressor's default
    int m_keyFrameRate;
    int m_dataRate;
    CRational m_captureRate;
    CRational m_playbackRate;
    // 7. Capture area extras.
    BOOL m_hideRect;
    BOOL m_solidRect;
    BOOL m_recordAudio;
    BOOL m_recordCamera;
    RECT m_cameraPreviewRect;   // all -1: not placed yet
    // 8. After recording.
    BOOL m_createSkoRecFile;
    BOOL m_previewAfterRecording;
    BOOL m_optionsAfterRecording;
    int m_lastSaveChoice;
    BOOL m_quickSave;
    // 9. Audio.
    BOOL m_recordClickAudio;
    BOOL m_unused9;
    BOOL m_recordKeyAudio;
    BOOL m_muteAudio;
    int m_audioDeviceId;
    int m_audioSourceSelection;
    int m_recordMicAndApp;
    // 10. Zoom and pan.
    BOOL m_minimize;
    BOOL m_autoZoom;
    int m_autoZoomSpeed;        // milliseconds
    BOOL m_zoomCenter;
    int m_zoomInitialLevel;     // percent
    BOOL m_autoPan;
    int m_autoPanSpeed;         // 1..16
    BOOL m_reportDroppedFrames;
    BOOL m_zoomInterpolate;
    BOOL m_zoomTransInterpolate;
    BOOL m_zoomTransShowRect;
    BOOL m_recordOneFrame;
    // 11. Sounds.
    CString m_clickDownFile;
    CString m_clickUpFile;
    CString m_keyDownFile;
    CString m_unused11;
    int m_clickVolume;          // percent 0..200
    int m_keyVolume;
    // 12. Frame and interleave.
    BOOL m_roundFrameSize;
    BOOL m_interleave;
    int m_interleaveRate;
    BOOL m_interleaveByFrames;
    // 13. Cursor.
    BOOL m_customCursor;
    BOOL m_highlightCursor;
    BOOL m_highlightClicks;
    int m_cursorShape;          // 0..3
    BOOL m_cursorFromFile;
    CString m_cursorFile;
    CString m_layoutCatalogueLoc;
    BOOL m_cursorIsIcon;
    // 14. Highlight.
    int m_highlightShape;
    int m_highlightTranslucent;
    COLORREF m_highlightColor;
    int m_highlightSize;
    int m_highlightLClickSize;
    int m_highlightRClickSize;
    int m_highlightLBShape;
    COLORREF m_highlightLBColor;
    int m_highlightRBShape;
    COLORREF m_highlightRBColor;
    // 15, 16. Caption.
    CTextStyle m_caption;
    CMruList m_captionMru;
    BOOL m_captionPrompt;
    // 17, 18. Time/date stamp.
    CTextStyle m_timeDate;
    TimeDateFormat m_timeDateFormat;
    // 19.
    CString m_unused19[4];
    // 20. System stamp.
    int m_computerNameStamp;
    int m_userNameStamp;
    int m_elapsedTimeStamp;
    int m_timeDateStamp;
    BOOL m_autoSystemStamp;
    CString m_systemStampOrder;
    int m_systemStampDuration;  // seconds
    // 21. Catalogue.
    CMruList m_catalogueFilesMru;
    CMruList m_catalogueTextNoteFilesMru;
    CString m_catalogueActive;
    // 22. Object highlight.
    int m_highlightObjectWidth;
    COLORREF m_highlightObjectColor;
    BOOL m_autoHighlightObject;
    // 23. Floaters.
    int m_defFloaterWidth;
    int m_defFloaterHeight;
    // 24. Output.
    int m_output;               // 0 file, 1 live output
    CRational m_liveRate;
    int m_useGrabberThread;     // not stored
    // 25. Watermark.
    WatermarkSettings m_watermark;
    // 26. Screen draw: the current tool (0 frame, 1 highlight, 2 ellipse,
    // 3 pen, 4 line, 5 arrow), then width, colour and translucency per tool.
    int m_drawTool;
    int m_drawFrameWidth;
    COLORREF m_drawFrameColor;
    BOOL m_drawFrameTranslucent;
    int m_drawHighlightWidth;
    COLORREF m_drawHighlightColor;
    BOOL m_drawHighlightTranslucent;
    int m_drawEllipseWidth;
    COLORREF m_drawEllipseColor;
    BOOL m_drawEllipseTranslucent;
    int m_drawPenWidth;
    COLORREF m_drawPenColor;
    BOOL m_drawPenTranslucent;
    int m_drawLineWidth;
    COLORREF m_drawLineColor;
    BOOL m_drawLineTranslucent;
    int m_drawArrowWidth;
    COLORREF m_drawArrowColor;
    BOOL m_drawArrowTranslucent;
    BOOL m_disableEffectsDuringScreenDraw;
    // 27. Window rectangles.
    RECT m_recorderWinRect;
    RECT m_annotationWinRect;
    // 28. Capture options.
    int m_disableDisplayAccel;
    BOOL m_separatePlayer;
    BOOL m_captureLayeredWindows;
    BOOL m_capture32BitAs24Bit;
    // 29.
    CString m_unused29[2];
    CString m_audioCompressorName;
    CString m_videoCompressorName;
    // 30. Text notes.
    CTextNoteStyle m_textNoteStyle;
    // 31.
    int m_minimizeTipCount;
    // 32. The area picker's answer (screen coordinates), copied with the
    // record and never stored: the chosen area, the chosen window and the
    // start point of a dragged region.
    RECT m_pickedArea;
    HWND m_pickedWindow;
    POINT m_pickedStartPoint;
    // 33. The loaded custom cursor and its hot spot; not stored.
    HCURSOR m_cursor;
    int m_cursorHotX;
    int m_cursorHotY;

private:
    CRecorderPrefs& operator=(const CRecorderPrefs&) = delete;
    void LoadAudioFormat();
    void SaveAudioFormat();

    // 9. The recording audio format (18 + cbSize bytes, malloc'd), NULL until Load.
    WAVEFORMATEX* m_audioFormat;
    DWORD m_audioFormatSize;
    // 34.
    IPrefsHost* m_host;
};

// TRUE when the rectangle lies inside the virtual desktop.
BOOL IsRectOnDesktop(const RECT& rect);
// Modifiers (MOD_CONTROL, MOD_ALT, MOD_SHIFT) and virtual key of a stored hot-key code.
void HotkeyToWin32(DWORD code, UINT& modifiers, UINT& virtualKey);
// TRUE for 0 and for a code whose low byte fits its flags.
BOOL IsValidHotkey(DWORD code);
