#include "settings/RecorderPrefs.h"

#include "framework/Module.h"
#include "framework/WinApp.h"
#include "resources/ids_settings.h"
#include "settings/PathUtil.h"
#include "settings/PrefsHost.h"

#include <stdlib.h>

const char CRecorderPrefs::kSection[] = "3.0";
const char CRecorderPrefs::kSeparatePlayerValue[] = "SeparatePlayer";

namespace {

const DWORD kFourCCxrvc = mmioFOURCC('x', 'r', 'v', 'c');
const char kDefaultStampOrder[] = "TIMEDATE,ELAPTIME,COMPNAME,USERNAME";
const char kCatalogueDefault[] = "INIT*";
const char kTextToolSection[] = "Text Tool";
const char kTextToolFontDefault[] = "0,0,0,0,700,0,0,0,0,0,0,0,0,Arial";
const char kAudioFormatValue[] = "AviAudioFmt";
const char kCodecSubkey[] = "Codec Configuration";
const int kMruMax = 32;
// A WAVEFORMATEX block is 18 bytes plus at most 0xFFFF extra bytes.
const DWORD kWaveFormatBase = 18;
const DWORD kWaveFormatMax = kWaveFormatBase + 0xFFFF;

CString LoadText(UINT id)
{
    CString s;
    s.LoadString(id);
    return s;
}

// Closes a registry key when it goes out of scope.
class CKeyCloser {
public:
    explicit CKeyCloser(HKEY key) : m_key(key) {}
    ~CKeyCloser()
    {
        if (m_key)
            ::RegCloseKey(m_key);
    }
    operator HKEY() const { return m_key; }

private:
    CKeyCloser(const CKeyCloser&) = delete;
    CKeyCloser& operator=(const CKeyCloser&) = delete;
    HKEY m_key;
};

// How a value is stored.
enum Kind {
    kDword,        // any 32-bit value
    kBool,         // 0/1; any non-zero field is written as 1
    kString,
    kMru,          // a CMruList in its text form
    kRect,         // "top,left,right,bottom"
    kStampOrder,   // a string read by the stamp-order rule
    kTimeFormat,   // the four texts and the order of the TimeDateFormat
    kDateFormat,
    kCustomTime,
    kCustomDate,
    kTimeOrder,
};

// The correction Load applies to a value that is present.
enum Check {
    kNoCheck,
    kBelow,        // a DWORD of a or more (unsigned) takes the default
    kInRange,      // a value outside a..b (signed) takes the default
    kNotZero,      // 0 takes the default
    kAtMost,       // a DWORD above a (unsigned) takes the default
    kHotkey,       // an invalid hot-key code takes the default
};

typedef void* (*FieldFn)(CRecorderPrefs&);

struct ValueDef {
    const char* name;
    Kind kind;
    FieldFn field;
    Check check;
    int a;
    int b;
};

#define F(member) [](CRecorderPrefs& p) -> void* { return &p.member; }

// The preferences section, in the order Save writes it.
const ValueDef kValues[] = {
    { "UiView", kDword, F(m_uiView), kBelow, 3, 0 },
    { "CaptureKey", kDword, F(m_captureKey), kHotkey, 0, 0 },
    { "StopKey", kDword, F(m_stopKey), kHotkey, 0, 0 },
    { "AutoPanKey", kDword, F(m_autoPanKey), kHotkey, 0, 0 },
    { "HideKey", kDword, F(m_hideKey), kHotkey, 0, 0 },
    { "ZoomInKey", kDword, F(m_zoomInKey), kHotkey, 0, 0 },
    { "ZoomOutKey", kDword, F(m_zoomOutKey), kHotkey, 0, 0 },
    { "MuteKey", kDword, F(m_muteKey), kHotkey, 0, 0 },
    { "MarkerKey", kDword, F(m_markerKey), kHotkey, 0, 0 },
    { "NextLayoutKey", kDword, F(m_nextLayoutKey), kHotkey, 0, 0 },
    { "PrevLayoutKey", kDword, F(m_prevLayoutKey), kHotkey, 0, 0 },
    { "ShowHideLayoutKey", kDword, F(m_showHideLayoutKey), kHotkey, 0, 0 },
    { "ScreenDrawKey", kDword, F(m_screenDrawKey), kHotkey, 0, 0 },
    { "Preferences", kDword, F(m_flags), kNoCheck, 0, 0 },
    { "FileOutputDirMru", kMru, F(m_outputDirMru), kNoCheck, 0, 0 },
    { "FileSaveAsMru", kMru, F(m_saveAsMru), kNoCheck, 0, 0 },
    { "WizardInput", kDword, F(m_wizardInput), kBelow, 3, 0 },
    { "VideoInput", kDword, F(m_videoInput), kBelow, 4, 0 },
    { "VideoCaptureMouse", kBool, F(m_captureMouse), kNoCheck, 0, 0 },
    { "VideoFileNaming", kDword, F(m_fileNaming), kBelow, 3, 0 },
    { "VideoFileType", kDword, F(m_fileType), kBelow, 4, 0 },
    { "VideoFileOutputDir", kString, F(m_outputDir), kNoCheck, 0, 0 },
    { "VideoFixedFileName", kString, F(m_fixedFileName), kNoCheck, 0, 0 },
    { "VideoAutoFilePrefix", kString, F(m_autoFilePrefix), kNoCheck, 0, 0 },
    { "VideoTempDir", kString, F(m_tempDir), kNoCheck, 0, 0 },
    { "VideoPauseOnStart", kBool, F(m_pauseOnStart), kNoCheck, 0, 0 },
    { "VideoUseStartPt", kDword, F(m_useStartPoint), kNoCheck, 0, 0 },
    { "VideoRectFixed", kRect, F(m_fixedRect), kNoCheck, 0, 0 },
    { "AviAutoConfig", kBool, F(m_autoConfig), kNoCheck, 0, 0 },
    { "AviTimeLapse", kBool, F(m_timeLapse), kNoCheck, 0, 0 },
    { "AviFRRate", kDword, F(m_captureRate.m_nRate), kNoCheck, 0, 0 },
    { "AviFRScale", kDword, F(m_captureRate.m_nScale), kNoCheck, 0, 0 },
    { "AviFRTime", kDword, F(m_captureRate.m_nTime), kNoCheck, 0, 0 },
    { "AviPBRate", kDword, F(m_playbackRate.m_nRate), kNoCheck, 0, 0 },
    { "AviPBScale", kDword, F(m_playbackRate.m_nScale), kNoCheck, 0, 0 },
    { "AviPBTime", kDword, F(m_playbackRate.m_nTime), kNoCheck, 0, 0 },
    { "AviHandler", kDword, F(m_compressorFourCC), kNoCheck, 0, 0 },
    { "AviQuality", kDword, F(m_quality), kNoCheck, 0, 0 },
    { "AviKeyframeRate", kDword, F(m_keyFrameRate), kNoCheck, 0, 0 },
    { "AviDataRate", kDword, F(m_dataRate), kNoCheck, 0, 0 },
    { "VideoHideRect", kBool, F(m_hideRect), kNoCheck, 0, 0 },
    { "VideoSolidRect", kBool, F(m_solidRect), kNoCheck, 0, 0 },
    { "RecordAudio", kBool, F(m_recordAudio), kNoCheck, 0, 0 },
    { "CameraPrevLeft", kDword, F(m_cameraPreviewRect.left), kNoCheck, 0, 0 },
    { "CameraPrevTop", kDword, F(m_cameraPreviewRect.top), kNoCheck, 0, 0 },
    { "CameraPrevRight", kDword, F(m_cameraPreviewRect.right), kNoCheck, 0, 0 },
    { "CameraPrevBottom", kDword, F(m_cameraPreviewRect.bottom), kNoCheck, 0, 0 },
    { "RecordCamera", kBool, F(m_recordCamera), kNoCheck, 0, 0 },
    { "CreateSkoRecFile", kBool, F(m_createSkoRecFile), kNoCheck, 0, 0 },
    { "PrevAfterRec", kBool, F(m_previewAfterRecording), kNoCheck, 0, 0 },
    { "OptionsAfterRec", kBool, F(m_optionsAfterRecording), kNoCheck, 0, 0 },
    { "LastRecSaveChoice", kDword, F(m_lastSaveChoice), kNoCheck, 0, 0 },
    { "QuickSaveFile", kBool, F(m_quickSave), kNoCheck, 0, 0 },
    { "RecordClickAudio", kBool, F(m_recordClickAudio), kNoCheck, 0, 0 },
    { "RecordKeyAudio", kBool, F(m_recordKeyAudio), kNoCheck, 0, 0 },
    { "MuteAudio", kBool, F(m_muteAudio), kNoCheck, 0, 0 },
    { "AudioDeviceID", kDword, F(m_audioDeviceId), kNoCheck, 0, 0 },
    { "AudioSourceSelection", kDword, F(m_audioSourceSelection), kNoCheck, 0, 0 },
    { "RecordMicAndApp", kDword, F(m_recordMicAndApp), kNoCheck, 0, 0 },
    { "VideoMinimize", kBool, F(m_minimize), kNoCheck, 0, 0 },
    { "AutoZoom", kBool, F(m_autoZoom), kNoCheck, 0, 0 },
    { "AutoZoomSpeed", kDword, F(m_autoZoomSpeed), kInRange, 500, 8000 },
    { "ZoomCenter", kBool, F(m_zoomCenter), kNoCheck, 0, 0 },
    { "ZoomInitialLevel", kDword, F(m_zoomInitialLevel), kNotZero, 0, 0 },
    { "AutoPan", kBool, F(m_autoPan), kNoCheck, 0, 0 },
    { "AutoPanSpeed", kDword, F(m_autoPanSpeed), kInRange, 1, 16 },
    { "ReportDroppedFrames", kBool, F(m_reportDroppedFrames), kNoCheck, 0, 0 },
    { "ZoomInterpolate", kBool, F(m_zoomInterpolate), kNoCheck, 0, 0 },
    { "ZoomTransInterpolate", kBool, F(m_zoomTransInterpolate), kNoCheck, 0, 0 },
    { "ZoomTransShowZoomRect", kBool, F(m_zoomTransShowRect), kNoCheck, 0, 0 },
    { "RecordOneFrame", kBool, F(m_recordOneFrame), kNoCheck, 0, 0 },
    { "AutoSystemStamp", kBool, F(m_autoSystemStamp), kNoCheck, 0, 0 },
    { "SystemStampDuration", kDword, F(m_systemStampDuration), kNoCheck, 0, 0 },
    { "ComputerNameStamp", kDword, F(m_computerNameStamp), kNoCheck, 0, 0 },
    { "UserNameStamp", kDword, F(m_userNameStamp), kNoCheck, 0, 0 },
    { "TimeDateStamp", kDword, F(m_timeDateStamp), kNoCheck, 0, 0 },
    { "ElapsedTimeStamp", kDword, F(m_elapsedTimeStamp), kNoCheck, 0, 0 },
    { "SystemStampOrder2", kStampOrder, F(m_systemStampOrder), kNoCheck, 0, 0 },
    { "TimeFormatTimeFormat", kTimeFormat, F(m_timeDateFormat), kNoCheck, 0, 0 },
    { "TimeFormatDateFormat", kDateFormat, F(m_timeDateFormat), kNoCheck, 0, 0 },
    { "TimeFormatCustomTimeFormat", kCustomTime, F(m_timeDateFormat), kNoCheck, 0, 0 },
    { "TimeFormatCustomDateFormat", kCustomDate, F(m_timeDateFormat), kNoCheck, 0, 0 },
    { "TimeFormatTimeStampOrder", kTimeOrder, F(m_timeDateFormat), kNoCheck, 0, 0 },
    { "Interleave", kBool, F(m_interleave), kNoCheck, 0, 0 },
    { "InterleaveRate", kDword, F(m_interleaveRate), kNotZero, 0, 0 },
    { "InterleaveByFrames", kBool, F(m_interleaveByFrames), kNoCheck, 0, 0 },
    { "DefFloaterWidth", kDword, F(m_defFloaterWidth), kNoCheck, 0, 0 },
    { "DefFloaterHeight", kDword, F(m_defFloaterHeight), kNoCheck, 0, 0 },
    { "Output", kDword, F(m_output), kBelow, 2, 0 },
    { "LiveFRRate", kDword, F(m_liveRate.m_nRate), kNoCheck, 0, 0 },
    { "LiveFRScale", kDword, F(m_liveRate.m_nScale), kNoCheck, 0, 0 },
    { "LiveFRTime", kDword, F(m_liveRate.m_nTime), kNoCheck, 0, 0 },
    { "IncludeWatermark", kDword, F(m_watermark.m_bInclude), kNoCheck, 0, 0 },
    { "UseTransparentColor", kDword, F(m_watermark.m_bUseTransparentColor), kNoCheck, 0, 0 },
    { "TransparentColor", kDword, F(m_watermark.m_crTransparentColor), kNoCheck, 0, 0 },
    { "Position", kDword, F(m_watermark.m_nPosition), kNoCheck, 0, 0 },
    { "WatermarkOverlay", kDword, F(m_watermark.m_bOverlay), kNoCheck, 0, 0 },
    { "HorizontalOffset", kDword, F(m_watermark.m_nHorizontalOffset), kNoCheck, 0, 0 },
    { "VerticalOffset", kDword, F(m_watermark.m_nVerticalOffset), kNoCheck, 0, 0 },
    { "ImageScale", kDword, F(m_watermark.m_nImageScale), kNoCheck, 0, 0 },
    { "WatermarkOpacity", kDword, F(m_watermark.m_nOpacity), kNoCheck, 0, 0 },
    { "WatermarkKeepAspectRatio", kDword, F(m_watermark.m_bKeepAspectRatio), kNoCheck, 0, 0 },
    { "WatermarkEmboss", kDword, F(m_watermark.m_bEmboss), kNoCheck, 0, 0 },
    { "WatermarkEmbossDirection", kDword, F(m_watermark.m_nEmbossDirection), kNoCheck, 0, 0 },
    { "WatermarkEmbossDepth", kDword, F(m_watermark.m_nEmbossDepth), kNoCheck, 0, 0 },
    { "Watermark Path", kString, F(m_watermark.m_strImagePath), kNoCheck, 0, 0 },
    { "WatermarkSmoothScale", kDword, F(m_watermark.m_bSmoothScale), kNoCheck, 0, 0 },
    { "WatermarkPreserveSize", kDword, F(m_watermark.m_bPreserveSize), kNoCheck, 0, 0 },
    { "ClickDownFile", kString, F(m_clickDownFile), kNoCheck, 0, 0 },
    { "ClickUpFile", kString, F(m_clickUpFile), kNoCheck, 0, 0 },
    { "KeyDownFile", kString, F(m_keyDownFile), kNoCheck, 0, 0 },
    { "ClickVolume", kDword, F(m_clickVolume), kAtMost, 200, 0 },
    { "KeyVolume", kDword, F(m_keyVolume), kAtMost, 200, 0 },
    { "RoundFrameSize", kBool, F(m_roundFrameSize), kNoCheck, 0, 0 },
    { "CustomCursor", kBool, F(m_customCursor), kNoCheck, 0, 0 },
    { "HighlightCursor", kBool, F(m_highlightCursor), kNoCheck, 0, 0 },
    { "HighlightClicks", kBool, F(m_highlightClicks), kNoCheck, 0, 0 },
    { "CursorShape", kDword, F(m_cursorShape), kNoCheck, 0, 0 },
    { "CursorFromFile", kBool, F(m_cursorFromFile), kNoCheck, 0, 0 },
    { "CursorIsIcon", kBool, F(m_cursorIsIcon), kNoCheck, 0, 0 },
    { "CursorFile", kString, F(m_cursorFile), kNoCheck, 0, 0 },
    { "LayoutCatalogueLoc", kString, F(m_layoutCatalogueLoc), kNoCheck, 0, 0 },
    { "HighlightShape", kDword, F(m_highlightShape), kInRange, 1000, 11003 },
    { "HighlightTranslucent", kDword, F(m_highlightTranslucent), kNoCheck, 0, 0 },
    { "HighlightColor", kDword, F(m_highlightColor), kNoCheck, 0, 0 },
    { "HighlightSize", kDword, F(m_highlightSize), kInRange, 1, 128 },
    { "HighlightLClickSize", kDword, F(m_highlightLClickSize), kInRange, 1, 32 },
    { "HighlightRClickSize", kDword, F(m_highlightRClickSize), kInRange, 1, 32 },
    { "HighlightLBShape", kDword, F(m_highlightLBShape), kNoCheck, 0, 0 },
    { "HighlightLBColor", kDword, F(m_highlightLBColor), kNoCheck, 0, 0 },
    { "HighlightRBShape", kDword, F(m_highlightRBShape), kNoCheck, 0, 0 },
    { "HighlightRBColor", kDword, F(m_highlightRBColor), kNoCheck, 0, 0 },
    { "HighlightObjectWidth", kDword, F(m_highlightObjectWidth), kNoCheck, 0, 0 },
    { "HighlightObjectColor", kDword, F(m_highlightObjectColor), kNoCheck, 0, 0 },
    { "AutoHighlightObject", kBool, F(m_autoHighlightObject), kNoCheck, 0, 0 },
    { "DrawTool", kDword, F(m_drawTool), kBelow, 6, 0 },
    { "DrawFrameWidth", kDword, F(m_drawFrameWidth), kNoCheck, 0, 0 },
    { "DrawFrameColor", kDword, F(m_drawFrameColor), kNoCheck, 0, 0 },
    { "DrawFrameTranslucent", kBool, F(m_drawFrameTranslucent), kNoCheck, 0, 0 },
    { "DrawHighlightWidth", kDword, F(m_drawHighlightWidth), kNoCheck, 0, 0 },
    { "DrawHighlightColor", kDword, F(m_drawHighlightColor), kNoCheck, 0, 0 },
    { "DrawHighlightTranslucent", kBool, F(m_drawHighlightTranslucent), kNoCheck, 0, 0 },
    { "DrawEllipseWidth", kDword, F(m_drawEllipseWidth), kNoCheck, 0, 0 },
    { "DrawEllipseColor", kDword, F(m_drawEllipseColor), kNoCheck, 0, 0 },
    { "DrawEllipseTranslucent", kBool, F(m_drawEllipseTranslucent), kNoCheck, 0, 0 },
    { "DrawPenWidth", kDword, F(m_drawPenWidth), kNoCheck, 0, 0 },
    { "DrawPenColor", kDword, F(m_drawPenColor), kNoCheck, 0, 0 },
    { "DrawPenTranslucent", kBool, F(m_drawPenTranslucent), kNoCheck, 0, 0 },
    { "DrawLineWidth", kDword, F(m_drawLineWidth), kNoCheck, 0, 0 },
    { "DrawLineColor", kDword, F(m_drawLineColor), kNoCheck, 0, 0 },
    { "DrawLineTranslucent", kBool, F(m_drawLineTranslucent), kNoCheck, 0, 0 },
    { "DrawArrowWidth", kDword, F(m_drawArrowWidth), kNoCheck, 0, 0 },
    { "DrawArrowColor", kDword, F(m_drawArrowColor), kNoCheck, 0, 0 },
    { "DrawArrowTranslucent", kBool, F(m_drawArrowTranslucent), kNoCheck, 0, 0 },
    { "DisableEffectsDuringScreenDraw", kBool, F(m_disableEffectsDuringScreenDraw), kNoCheck, 0, 0 },
    { "CaptionPosX", kDword, F(m_caption.m_posX), kNoCheck, 0, 0 },
    { "CaptionPosY", kDword, F(m_caption.m_posY), kNoCheck, 0, 0 },
    { "CaptionStyle", kDword, F(m_caption.m_style), kNoCheck, 0, 0 },
    { "CaptionWordWrap", kBool, F(m_caption.m_wordWrap), kNoCheck, 0, 0 },
    { "CaptionTransparent", kBool, F(m_caption.m_transparent), kNoCheck, 0, 0 },
    { "CaptionTextColor", kDword, F(m_caption.m_textColor), kNoCheck, 0, 0 },
    { "CaptionBackgroundColor", kDword, F(m_caption.m_backgroundColor), kNoCheck, 0, 0 },
    { "CaptionShadowColor", kDword, F(m_caption.m_shadowColor), kNoCheck, 0, 0 },
    { "CaptionOutlineColor", kDword, F(m_caption.m_outlineColor), kNoCheck, 0, 0 },
    { "CaptionFontHeight", kDword, F(m_caption.m_fontHeight), kNoCheck, 0, 0 },
    { "CaptionFontWeight", kDword, F(m_caption.m_fontWeight), kNoCheck, 0, 0 },
    { "CaptionFontItalic", kDword, F(m_caption.m_fontItalic), kNoCheck, 0, 0 },
    { "CaptionFontUnderline", kDword, F(m_caption.m_fontUnderline), kNoCheck, 0, 0 },
    { "CaptionFontPitchFamily", kDword, F(m_caption.m_fontPitchFamily), kNoCheck, 0, 0 },
    { "CaptionFontCharSet", kDword, F(m_caption.m_fontCharSet), kNoCheck, 0, 0 },
    { "CaptionFontFaceName", kString, F(m_caption.m_faceName), kNoCheck, 0, 0 },
    { "CaptionString", kString, F(m_caption.m_text), kNoCheck, 0, 0 },
    { "CaptionMru", kMru, F(m_captionMru), kNoCheck, 0, 0 },
    { "CaptionPrompt", kBool, F(m_captionPrompt), kNoCheck, 0, 0 },
    { "TimeDatePosX", kDword, F(m_timeDate.m_posX), kNoCheck, 0, 0 },
    { "TimeDatePosY", kDword, F(m_timeDate.m_posY), kNoCheck, 0, 0 },
    { "TimeDateStyle", kDword, F(m_timeDate.m_style), kNoCheck, 0, 0 },
    { "TimeDateTransparent", kBool, F(m_timeDate.m_transparent), kNoCheck, 0, 0 },
    { "TimeDateWordWrap", kBool, F(m_timeDate.m_wordWrap), kNoCheck, 0, 0 },
    { "TimeDateTextColor", kDword, F(m_timeDate.m_textColor), kNoCheck, 0, 0 },
    { "TimeDateBackgroundColor", kDword, F(m_timeDate.m_backgroundColor), kNoCheck, 0, 0 },
    { "TimeDateShadowColor", kDword, F(m_timeDate.m_shadowColor), kNoCheck, 0, 0 },
    { "TimeDateOutlineColor", kDword, F(m_timeDate.m_outlineColor), kNoCheck, 0, 0 },
    { "TimeDateFontHeight", kDword, F(m_timeDate.m_fontHeight), kNoCheck, 0, 0 },
    { "TimeDateFontWeight", kDword, F(m_timeDate.m_fontWeight), kNoCheck, 0, 0 },
    { "TimeDateFontItalic", kDword, F(m_timeDate.m_fontItalic), kNoCheck, 0, 0 },
    { "TimeDateFontUnderline", kDword, F(m_timeDate.m_fontUnderline), kNoCheck, 0, 0 },
    { "TimeDateFontPitchFamily", kDword, F(m_timeDate.m_fontPitchFamily), kNoCheck, 0, 0 },
    { "TimeDateFontCharSet", kDword, F(m_timeDate.m_fontCharSet), kNoCheck, 0, 0 },
    { "TimeDateFontFaceName", kString, F(m_timeDate.m_faceName), kNoCheck, 0, 0 },
    { "VideoCompressor", kString, F(m_videoCompressorName), kNoCheck, 0, 0 },
    { "AudioCompressor", kString, F(m_audioCompressorName), kNoCheck, 0, 0 },
    { "MinimizeTipCount", kDword, F(m_minimizeTipCount), kNoCheck, 0, 0 },
    { "RecorderWinLeft", kDword, F(m_recorderWinRect.left), kNoCheck, 0, 0 },
    { "RecorderWinTop", kDword, F(m_recorderWinRect.top), kNoCheck, 0, 0 },
    { "RecorderWinRight", kDword, F(m_recorderWinRect.right), kNoCheck, 0, 0 },
    { "RecorderWinBottom", kDword, F(m_recorderWinRect.bottom), kNoCheck, 0, 0 },
    { "AnnotationWinLeft", kDword, F(m_annotationWinRect.left), kNoCheck, 0, 0 },
    { "AnnotationWinTop", kDword, F(m_annotationWinRect.top), kNoCheck, 0, 0 },
    { "AnnotationWinRight", kDword, F(m_annotationWinRect.right), kNoCheck, 0, 0 },
    { "AnnotationWinBottom", kDword, F(m_annotationWinRect.bottom), kNoCheck, 0, 0 },
    { "DisableDisplayAccel", kDword, F(m_disableDisplayAccel), kNoCheck, 0, 0 },
    { CRecorderPrefs::kSeparatePlayerValue, kBool, F(m_separatePlayer), kNoCheck, 0, 0 },
    { "CaptureLayeredWindows", kBool, F(m_captureLayeredWindows), kNoCheck, 0, 0 },
    { "Capture32BitAs24Bit", kBool, F(m_capture32BitAs24Bit), kNoCheck, 0, 0 },
    { "TextNoteTextColor", kDword, F(m_textNoteStyle.m_textColor), kNoCheck, 0, 0 },
    { "TextNoteBackgroundColor", kDword, F(m_textNoteStyle.m_backgroundColor), kNoCheck, 0, 0 },
    { "TextNoteFontHeight", kDword, F(m_textNoteStyle.m_fontHeight), kNoCheck, 0, 0 },
    { "TextNoteFontWeight", kDword, F(m_textNoteStyle.m_fontWeight), kNoCheck, 0, 0 },
    { "TextNoteFontItalic", kDword, F(m_textNoteStyle.m_fontItalic), kNoCheck, 0, 0 },
    { "TextNoteFontUnderline", kDword, F(m_textNoteStyle.m_fontUnderline), kNoCheck, 0, 0 },
    { "TextNoteFontStrikeOut", kDword, F(m_textNoteStyle.m_fontStrikeOut), kNoCheck, 0, 0 },
    { "TextNoteFontPitchFamily", kDword, F(m_textNoteStyle.m_fontPitchFamily), kNoCheck, 0, 0 },
    { "TextNoteFontCharSet", kDword, F(m_textNoteStyle.m_fontCharSet), kNoCheck, 0, 0 },
    { "TextNoteFontFaceName", kString, F(m_textNoteStyle.m_faceName), kNoCheck, 0, 0 },
    { "TextNoteCaption", kString, F(m_textNoteStyle.m_caption), kNoCheck, 0, 0 },
    { "TextNoteFlags", kDword, F(m_textNoteStyle.m_flags), kNoCheck, 0, 0 },
    { "TextNoteFrameColor", kDword, F(m_textNoteStyle.m_frameColor), kNoCheck, 0, 0 },
    { "TextNoteFrameWidth", kDword, F(m_textNoteStyle.m_frameWidth), kNoCheck, 0, 0 },
    { "TextNoteSizex", kDword, F(m_textNoteStyle.m_sizeX), kNoCheck, 0, 0 },
    { "TextNoteSizey", kDword, F(m_textNoteStyle.m_sizeY), kNoCheck, 0, 0 },
    { "CatalogueFilesMru", kMru, F(m_catalogueFilesMru), kNoCheck, 0, 0 },
    { "CatalogueTextNoteFilesMru", kMru, F(m_catalogueTextNoteFilesMru), kNoCheck, 0, 0 },
    { "CatalogueActive", kString, F(m_catalogueActive), kNoCheck, 0, 0 },
};

#undef F

static_assert(sizeof(kValues) / sizeof(kValues[0]) == 224, "the preferences section holds 224 values");

DWORD& Dword(CRecorderPrefs& p, const ValueDef& v)
{
    static_assert(sizeof(int) == sizeof(DWORD) && sizeof(LONG) == sizeof(DWORD) && sizeof(BOOL) == sizeof(DWORD),
                  "every numeric preference is a 32-bit field");
    return *static_cast<DWORD*>(v.field(p));
}

CString& Text(CRecorderPrefs& p, const ValueDef& v)
{
    return *static_cast<CString*>(v.field(p));
}

CMruList& Mru(CRecorderPrefs& p, const ValueDef& v)
{
    return *static_cast<CMruList*>(v.field(p));
}

TimeDateFormat& Format(CRecorderPrefs& p, const ValueDef& v)
{
    return *static_cast<TimeDateFormat*>(v.field(p));
}

// The correction of a value that was read, against the default.
DWORD Corrected(const ValueDef& v, DWORD value, DWORD def)
{
    switch (v.check) {
    case kNoCheck:
        return value;
    case kBelow:
        return value >= (DWORD)v.a ? def : value;
    case kInRange:
        return ((int)value < v.a || (int)value > v.b) ? def : value;
    case kNotZero:
        return value == 0 ? def : value;
    case kAtMost:
        return value > (DWORD)v.a ? def : value;
    case kHotkey:
        return IsValidHotkey(value) ? value : def;
    }
    return value;
}

// The stamp-order keys and the names that older or translated versions stored.
struct StampKey {
    const char* alias;
    const char* key;
};
const StampKey kStampKeys[] = {
    { "TIMEDATE", "TIMEDATE" },         { "ELAPTIME", "ELAPTIME" },
    { "COMPNAME", "COMPNAME" },         { "USERNAME", "USERNAME" },
    { "时间/日期", "TIMEDATE" },        { "共用时间", "ELAPTIME" },
    { "电脑名", "COMPNAME" },           { "用户名", "USERNAME" },
    { "Uhrzeit/Datum", "TIMEDATE" },    { "Verstrichene Zeit", "ELAPTIME" },
    { "Computername", "COMPNAME" },     { "Benutzername", "USERNAME" },
};

}  // namespace

BOOL IsValidHotkey(DWORD code)
{
    if (code == 0)
        return TRUE;
    BYTE key = LOBYTE(code);
    if (code & 0x800)
        return key >= 1 && key <= 12;
    if (code & 0x1000)
        return key == 0;
    return key >= 0x30 && key <= 0x5A;
}

void HotkeyToWin32(DWORD code, UINT& modifiers, UINT& virtualKey)
{
    modifiers = 0;
    if (code & 0x100)
        modifiers |= MOD_CONTROL;
    if (code & 0x200)
        modifiers |= MOD_ALT;
    if (code & 0x400)
        modifiers |= MOD_SHIFT;
    if (code & 0x800)
        virtualKey = LOBYTE(code) + 111;
    else if (code & 0x1000)
        virtualKey = VK_SNAPSHOT;
    else
        virtualKey = LOBYTE(code);
}

BOOL IsRectOnDesktop(const RECT& rect)
{
    const LONG left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const LONG top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const LONG right = left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const LONG bottom = top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return rect.left >= left && rect.top >= top && rect.right > left && rect.bottom > top &&
           rect.left <= right && rect.top <= bottom && rect.right <= right && rect.bottom <= bottom;
}

CRecorderPrefs::CRecorderPrefs(IPrefsHost* host)
    : m_uiView(0),
      m_captureKey(0x809),
      m_stopKey(0x80A),
      m_autoPanKey(0),
      m_hideKey(0),
      m_zoomInKey(0),
      m_zoomOutKey(0),
      m_nextLayoutKey(0),
      m_prevLayoutKey(0),
      m_showHideLayoutKey(0),
      m_screenDrawKey(0),
      m_muteKey(0),
      m_markerKey(0x54D),
      m_flags(0x108),
      m_outputDirMru(kMruMax),
      m_saveAsMru(kMruMax),
      m_wizardInput(0),
      m_videoInput(3),
      m_captureMouse(TRUE),
      m_fileNaming(0),
      m_fileType(0),
      m_fixedFileName(LoadText(IDS_DEFAULT_FIXED_NAME)),
      m_autoFilePrefix(LoadText(IDS_DEFAULT_AUTO_PREFIX)),
      m_useStartPoint(0),
      m_unused5(0),
      m_pauseOnStart(FALSE),
      m_autoConfig(TRUE),
      m_timeLapse(FALSE),
      m_compressorFourCC(kFourCCxrvc),
      m_quality(-1),
      m_keyFrameRate(80),
      m_dataRate(0),
      m_captureRate(5, 1, 1),
      m_playbackRate(5, 1, 1),
      m_hideRect(FALSE),
      m_solidRect(FALSE),
      m_recordAudio(FALSE),
      m_recordCamera(FALSE),
      m_createSkoRecFile(TRUE),
      m_previewAfterRecording(TRUE),
      m_optionsAfterRecording(TRUE),
      m_lastSaveChoice(0),
      m_quickSave(FALSE),
      m_recordClickAudio(FALSE),
      m_unused9(FALSE),
      m_recordKeyAudio(FALSE),
      m_muteAudio(FALSE),
      m_audioDeviceId(0),
      m_audioSourceSelection(0),
      m_recordMicAndApp(0),
      m_minimize(TRUE),
      m_autoZoom(FALSE),
      m_autoZoomSpeed(2000),
      m_zoomCenter(FALSE),
      m_zoomInitialLevel(100),
      m_autoPan(FALSE),
      m_autoPanSpeed(12),
      m_reportDroppedFrames(FALSE),
      m_zoomInterpolate(TRUE),
      m_zoomTransInterpolate(FALSE),
      m_zoomTransShowRect(FALSE),
      m_recordOneFrame(FALSE),
      m_clickVolume(100),
      m_keyVolume(100),
      m_roundFrameSize(TRUE),
      m_interleave(TRUE),
      m_interleaveRate(1),
      m_interleaveByFrames(FALSE),
      m_customCursor(FALSE),
      m_highlightCursor(FALSE),
      m_highlightClicks(FALSE),
      m_cursorShape(0),
      m_cursorFromFile(FALSE),
      m_cursorIsIcon(FALSE),
      m_highlightShape(7000),
      m_highlightTranslucent(2),
      m_highlightColor(0x00FFFF),
      m_highlightSize(64),
      m_highlightLClickSize(32),
      m_highlightRClickSize(32),
      m_highlightLBShape(0),
      m_highlightLBColor(0x0000FF),
      m_highlightRBShape(0),
      m_highlightRBColor(0xFF0000),
      m_captionMru(kMruMax),
      m_captionPrompt(FALSE),
      m_computerNameStamp(0),
      m_userNameStamp(0),
      m_elapsedTimeStamp(0),
      m_timeDateStamp(1),
      m_autoSystemStamp(FALSE),
      m_systemStampOrder(kDefaultStampOrder),
      m_systemStampDuration(3),
      m_catalogueFilesMru(kMruMax),
      m_catalogueTextNoteFilesMru(kMruMax),
      m_highlightObjectWidth(8),
      m_highlightObjectColor(0x0000FF),
      m_autoHighlightObject(FALSE),
      m_defFloaterWidth(150),
      m_defFloaterHeight(75),
      m_output(0),
      m_liveRate(5, 1, 1),
      m_useGrabberThread(0),
      m_drawTool(3),
      m_drawFrameWidth(4),
      m_drawFrameColor(0xFF0000),
      m_drawFrameTranslucent(FALSE),
      m_drawHighlightWidth(4),
      m_drawHighlightColor(0x00FFFF),
      m_drawHighlightTranslucent(TRUE),
      m_drawEllipseWidth(4),
      m_drawEllipseColor(0xFFFF00),
      m_drawEllipseTranslucent(FALSE),
      m_drawPenWidth(4),
      m_drawPenColor(0x0000FF),
      m_drawPenTranslucent(FALSE),
      m_drawLineWidth(4),
      m_drawLineColor(0xFF00FF),
      m_drawLineTranslucent(FALSE),
      m_drawArrowWidth(4),
      m_drawArrowColor(0x00FF00),
      m_drawArrowTranslucent(FALSE),
      m_disableEffectsDuringScreenDraw(TRUE),
      m_disableDisplayAccel(0),
      m_separatePlayer(TRUE),
      m_captureLayeredWindows(FALSE),
      m_capture32BitAs24Bit(TRUE),
      m_audioCompressorName("PCM"),
      m_videoCompressorName("Kestravon Screen Capture Codec"),
      m_minimizeTipCount(0),
      m_cursor(NULL),
      m_cursorHotX(0),
      m_cursorHotY(0),
      m_audioFormat(NULL),
      m_audioFormatSize(0),
      m_host(host)
{
    ::SetRect(&m_fixedRect, 0, 0, 640, 480);
    ::SetRect(&m_cameraPreviewRect, -1, -1, -1, -1);
    ::SetRect(&m_recorderWinRect, 100, 100, 424, 428);
    ::SetRect(&m_annotationWinRect, 327, 73, 517, 359);
    ::SetRectEmpty(&m_pickedArea);
    m_pickedWindow = NULL;
    m_pickedStartPoint.x = m_pickedStartPoint.y = 0;

    for (CTextStyle* style : { &m_caption, &m_timeDate }) {
        style->m_posX = 0;
        style->m_posY = 0;
        style->m_style = 0;
        style->m_transparent = 0;
        style->m_wordWrap = 1;
        style->m_textColor = 0x00FF00;
        style->m_backgroundColor = 0x000000;
        style->m_shadowColor = 0xC0C0C0;
        style->m_outlineColor = 0xFFFFFF;
        style->m_fontHeight = 0;
        style->m_fontWeight = 0;
        style->m_fontItalic = 0;
        style->m_fontUnderline = 0;
        style->m_fontPitchFamily = 0;
        style->m_fontCharSet = 1;
        style->m_faceName = "System";
    }
    m_caption.m_posX = 16;
    m_timeDate.m_posY = 512;

    m_timeDateFormat.SetTimeFormat(TimeDateFormat::kWindowsDefault);
    m_timeDateFormat.SetDateFormat(TimeDateFormat::kWindowsDefault);
    m_timeDateFormat.SetCustomTime(LoadText(IDS_DEFAULT_CUSTOM_TIME));
    m_timeDateFormat.SetCustomDate(LoadText(IDS_DEFAULT_CUSTOM_DATE));
    m_timeDateFormat.SetMode(0);
}

CRecorderPrefs::CRecorderPrefs(const CRecorderPrefs& other) : CRecorderPrefs(other.m_host)
{
    CopyFrom(other);
}

CRecorderPrefs::~CRecorderPrefs()
{
    if (m_cursor)
        ::DestroyCursor(m_cursor);
    free(m_audioFormat);
}

void CRecorderPrefs::CopyFrom(const CRecorderPrefs& o)
{
    if (&o == this)
        return;
    // Every stored value, through the table that Load and Save walk.
    CRecorderPrefs& from = const_cast<CRecorderPrefs&>(o);
    for (const ValueDef& v : kValues) {
        switch (v.kind) {
        case kDword:
        case kBool:
            Dword(*this, v) = Dword(from, v);
            break;
        case kString:
        case kStampOrder:
            Text(*this, v) = Text(from, v);
            break;
        case kMru:
            Mru(*this, v).Copy(Mru(from, v));
            break;
        case kRect:
            *static_cast<RECT*>(v.field(*this)) = *static_cast<const RECT*>(v.field(from));
            break;
        case kTimeFormat:
        case kDateFormat:
        case kCustomTime:
        case kCustomDate:
        case kTimeOrder:
            Format(*this, v) = Format(from, v);
            break;
        }
    }
    // What is not stored: the unused slots, the grabber switch, the audio
    // format (saved apart), the text styles' rectangles and fonts and the
    // watermark's working value (their own copies), the picked area, the
    // cursor and the host.
    m_unused5 = o.m_unused5;
    m_unused9 = o.m_unused9;
    m_unused11 = o.m_unused11;
    for (int i = 0; i < 4; ++i)
        m_unused19[i] = o.m_unused19[i];
    m_unused29[0] = o.m_unused29[0];
    m_unused29[1] = o.m_unused29[1];
    m_useGrabberThread = o.m_useGrabberThread;
    SetAudioFormat(o.m_audioFormat);
    m_caption.Assign(o.m_caption);
    m_timeDate.Assign(o.m_timeDate);
    m_watermark.Assign(o.m_watermark);
    m_pickedArea = o.m_pickedArea;
    m_pickedWindow = o.m_pickedWindow;
    m_pickedStartPoint = o.m_pickedStartPoint;
    if (m_cursor) {
        ::DestroyCursor(m_cursor);
        m_cursor = NULL;
    }
    if (o.m_cursor)
        m_cursor = (HCURSOR)::CopyIcon((HICON)o.m_cursor);
    m_cursorHotX = o.m_cursorHotX;
    m_cursorHotY = o.m_cursorHotY;
    m_host = o.m_host;
}

void CRecorderPrefs::SetAudioFormat(const WAVEFORMATEX* format)
{
    free(m_audioFormat);
    m_audioFormat = NULL;
    m_audioFormatSize = 0;
    if (!format)
        return;
    DWORD size = kWaveFormatBase + format->cbSize;
    m_audioFormat = static_cast<WAVEFORMATEX*>(malloc(size));
    if (!m_audioFormat)
        return;
    memcpy(m_audioFormat, format, size);
    m_audioFormatSize = size;
}

DWORD CRecorderPrefs::SetFlags(DWORD mask, BOOL on)
{
    if (on) {
        m_flags |= mask;
        return mask;
    }
    m_flags &= ~mask;
    return m_flags;
}

BOOL CRecorderPrefs::UseCaptureBlt() const
{
    return m_captureLayeredWindows || (m_host && m_host->GetOpenWindowCount() > 0);
}

// The cursor painted into the recording: a file chosen by the user (an icon
// when the name ends in .ico) or one of the program's four cursor shapes.
int CRecorderPrefs::LoadCustomCursor()
{
    if (!m_customCursor)
        return 1;
    HANDLE image = NULL;
    if (m_cursorFromFile) {
        m_cursorIsIcon = m_cursorFile.GetLength() >= 4 && m_cursorFile.Right(4).CompareNoCase(".ico") == 0;
        image = ::LoadImageA(NULL, m_cursorFile, m_cursorIsIcon ? IMAGE_ICON : IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE);
    } else {
        static const UINT kShapes[] = { IDC_CUSTOM_CURSOR_0, IDC_CUSTOM_CURSOR_1, IDC_CUSTOM_CURSOR_2,
                                        IDC_CUSTOM_CURSOR_3 };
        m_cursorIsIcon = FALSE;
        if (m_cursorShape >= 0 && m_cursorShape <= 3)
            image = ::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(kShapes[m_cursorShape]), IMAGE_CURSOR, 0,
                                 0, 0);
    }
    if (!image)
        return 0;
    if (m_cursor)
        ::DestroyCursor(m_cursor);
    m_cursor = (HCURSOR)image;
    m_cursorHotX = 0;
    m_cursorHotY = 0;
    ICONINFO info;
    if (::GetIconInfo((HICON)m_cursor, &info)) {
        if (m_cursorIsIcon) {
            BITMAP bm;
            if (info.hbmColor && ::GetObjectA(info.hbmColor, sizeof(bm), &bm)) {
                m_cursorHotX = bm.bmWidth / 2;
                m_cursorHotY = bm.bmHeight / 2;
            } else if (info.hbmMask && ::GetObjectA(info.hbmMask, sizeof(bm), &bm)) {
                m_cursorHotX = bm.bmWidth / 2;
                m_cursorHotY = bm.bmHeight / 4;
            }
        } else {
            m_cursorHotX = (int)info.xHotspot;
            m_cursorHotY = (int)info.yHotspot;
        }
        if (info.hbmColor)
            ::DeleteObject(info.hbmColor);
        if (info.hbmMask)
            ::DeleteObject(info.hbmMask);
    }
    return 1;
}

CString CRecorderPrefs::ReadStampOrder(LPCTSTR section, LPCTSTR oldName, LPCTSTR newName, LPCTSTR defaultOrder)
{
    CString stored = m_host->GetProfileString(section, newName, "");
    if (stored.IsEmpty())
        stored = m_host->GetProfileString(section, oldName, "");
    if (stored.IsEmpty())
        stored = defaultOrder;
    // Every token between commas must name an item: an empty token (",," or
    // a comma at either end) is as unknown as a misspelt one.
    CString result;
    int start = 0;
    while (start <= stored.GetLength()) {
        int comma = stored.Find(',', start);
        if (comma < 0)
            comma = stored.GetLength();
        const CString token = stored.Mid(start, comma - start);
        start = comma + 1;
        const char* key = NULL;
        for (const StampKey& k : kStampKeys) {
            if (token == k.alias) {
                key = k.key;
                break;
            }
        }
        if (!key)
            return defaultOrder;
        if (!result.IsEmpty())
            result += ',';
        result += key;
    }
    return result.IsEmpty() ? CString(defaultOrder) : result;
}

void CRecorderPrefs::ReadRect(LPCTSTR name, RECT& rect)
{
    ::SetRect(&rect, 0, 0, 640, 480);
    CString text = m_host->GetProfileString(kSection, name, "");
    if (text.IsEmpty() || text.GetLength() >= 40)
        return;
    LONG* fields[4] = { &rect.top, &rect.left, &rect.right, &rect.bottom };
    const char* p = text.GetString();
    for (int i = 0; i < 4 && p; ++i) {
        *fields[i] = atol(p);
        p = strchr(p, ',');
        if (p)
            ++p;
    }
    if (!IsRectOnDesktop(rect))
        ::SetRect(&rect, 0, 0, 640, 480);
}

void CRecorderPrefs::WriteRect(LPCTSTR name, const RECT& rect)
{
    CString text;
    text.Format("%ld,%ld,%ld,%ld", (long)rect.top, (long)rect.left, (long)rect.right, (long)rect.bottom);
    m_host->WriteProfileString(kSection, name, text);
}

void CRecorderPrefs::Save()
{
    if (!m_host)
        return;
    for (const ValueDef& v : kValues) {
        switch (v.kind) {
        case kDword:
            m_host->WriteProfileInt(kSection, v.name, (int)Dword(*this, v));
            break;
        case kBool:
            m_host->WriteProfileInt(kSection, v.name, Dword(*this, v) ? 1 : 0);
            break;
        case kString:
        case kStampOrder:
            m_host->WriteProfileString(kSection, v.name, Text(*this, v));
            break;
        case kMru: {
            CString text;
            Mru(*this, v).ToText(text);
            m_host->WriteProfileString(kSection, v.name, text);
            break;
        }
        case kRect:
            WriteRect(v.name, *static_cast<RECT*>(v.field(*this)));
            break;
        case kTimeFormat:
            m_host->WriteProfileString(kSection, v.name, Format(*this, v).GetTimeFormat());
            break;
        case kDateFormat:
            m_host->WriteProfileString(kSection, v.name, Format(*this, v).GetDateFormat());
            break;
        case kCustomTime:
            m_host->WriteProfileString(kSection, v.name, Format(*this, v).GetCustomTime());
            break;
        case kCustomDate:
            m_host->WriteProfileString(kSection, v.name, Format(*this, v).GetCustomDate());
            break;
        case kTimeOrder:
            m_host->WriteProfileInt(kSection, v.name, Format(*this, v).GetMode());
            break;
        }
    }
    SaveAudioFormat();
}

void CRecorderPrefs::Load()
{
    if (!m_host)
        return;
    // The defaults of missing values are the constructor's.
    CRecorderPrefs defaults(m_host);
    CString stampOrder;
    CString timeFormat, dateFormat, customTime, customDate;
    int timeOrder = 0;
    for (const ValueDef& v : kValues) {
        switch (v.kind) {
        case kDword:
        case kBool: {
            DWORD def = Dword(defaults, v);
            DWORD value = m_host->GetProfileInt(kSection, v.name, (int)def);
            Dword(*this, v) = Corrected(v, value, def);
            break;
        }
        case kString:
            Text(*this, v) = m_host->GetProfileString(kSection, v.name, Text(defaults, v));
            break;
        case kMru: {
            CString def;
            Mru(defaults, v).ToText(def);
            if (&Mru(*this, v) == &m_catalogueFilesMru || &Mru(*this, v) == &m_catalogueTextNoteFilesMru)
                def = kCatalogueDefault;
            Mru(*this, v).FromText(m_host->GetProfileString(kSection, v.name, def));
            break;
        }
        case kRect:
            ReadRect(v.name, *static_cast<RECT*>(v.field(*this)));
            break;
        case kStampOrder:
            m_systemStampOrder = ReadStampOrder(kSection, "SystemStampOrder", v.name, kDefaultStampOrder);
            break;
        case kTimeFormat:
            timeFormat = m_host->GetProfileString(kSection, v.name, defaults.m_timeDateFormat.GetTimeFormat());
            break;
        case kDateFormat:
            dateFormat = m_host->GetProfileString(kSection, v.name, defaults.m_timeDateFormat.GetDateFormat());
            break;
        case kCustomTime:
            customTime = m_host->GetProfileString(kSection, v.name, defaults.m_timeDateFormat.GetCustomTime());
            break;
        case kCustomDate:
            customDate = m_host->GetProfileString(kSection, v.name, defaults.m_timeDateFormat.GetCustomDate());
            break;
        case kTimeOrder:
            timeOrder = (int)m_host->GetProfileInt(kSection, v.name, defaults.m_timeDateFormat.GetMode());
            break;
        }
    }

    // The temporary folder must take a test file; otherwise the system's.
    if (!IsFolderWritable(m_tempDir, TRUE))
        AfxMessageBox(IDS_TEMP_FOLDER_INVALID, MB_ICONERROR);

    // Files that lie beside the program unless the user chose others.
    const CString folder = m_host->GetProgramFolder();
    if (m_watermark.m_strImagePath.IsEmpty())
        m_watermark.m_strImagePath = folder + "watermark.gif";
    if (m_clickDownFile.IsEmpty())
        m_clickDownFile = folder + "ClickDown.wav";
    if (m_clickUpFile.IsEmpty())
        m_clickUpFile = folder + "ClickUp.wav";
    if (m_keyDownFile.IsEmpty())
        m_keyDownFile = folder + "KeyDown.wav";

    if (!LoadCustomCursor()) {
        AfxMessageBox(IDS_CUSTOM_CURSOR_FAILED, MB_OK);
        m_customCursor = FALSE;
    }

    m_caption.MakeFont();
    m_timeDate.MakeFont();
    m_timeDateFormat.SetTimeFormat(timeFormat);
    m_timeDateFormat.SetDateFormat(dateFormat);
    m_timeDateFormat.SetCustomTime(customTime);
    m_timeDateFormat.SetCustomDate(customDate);
    m_timeDateFormat.SetMode(timeOrder);

    // The image editor's text tool reads this value; it must exist after a load.
    CString font = m_host->GetProfileString(kTextToolSection, "Font", kTextToolFontDefault);
    m_host->WriteProfileString(kTextToolSection, "Font", font);

    LoadAudioFormat();
}

// The stored block is used only when it holds a whole WAVEFORMATEX and the
// extra bytes its cbSize announces; anything shorter is not read past its end
// and gives way to the PCM default.
void CRecorderPrefs::LoadAudioFormat()
{
    free(m_audioFormat);
    m_audioFormat = NULL;
    m_audioFormatSize = 0;
    CKeyCloser key(m_host->CreateSectionKey(kSection));
    if (key) {
        DWORD type = 0, size = 0;
        if (::RegQueryValueExA(key, kAudioFormatValue, NULL, &type, NULL, &size) == ERROR_SUCCESS &&
            size >= kWaveFormatBase && size <= kWaveFormatMax) {
            BYTE* block = static_cast<BYTE*>(malloc(size));
            if (block && ::RegQueryValueExA(key, kAudioFormatValue, NULL, &type, block, &size) == ERROR_SUCCESS &&
                size >= kWaveFormatBase &&
                kWaveFormatBase + reinterpret_cast<WAVEFORMATEX*>(block)->cbSize <= size) {
                m_audioFormat = reinterpret_cast<WAVEFORMATEX*>(block);
                m_audioFormatSize = kWaveFormatBase + m_audioFormat->cbSize;
            } else {
                free(block);
            }
        }
    }
    if (!m_audioFormat) {
        WAVEFORMATEX pcm;
        pcm.wFormatTag = WAVE_FORMAT_PCM;
        pcm.nChannels = 1;
        pcm.nSamplesPerSec = 22050;
        pcm.nAvgBytesPerSec = 44100;
        pcm.nBlockAlign = 2;
        pcm.wBitsPerSample = 16;
        pcm.cbSize = 0;
        SetAudioFormat(&pcm);
    }
}

void CRecorderPrefs::SaveAudioFormat()
{
    if (!m_audioFormat)
        return;
    CKeyCloser key(m_host->CreateSectionKey(kSection));
    if (!key)
        return;
    ::RegSetValueExA(key, kAudioFormatValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(m_audioFormat),
                     m_audioFormatSize);
}

namespace {

CString FourCCName(DWORD fourcc)
{
    char name[5] = { (char)(fourcc & 0xFF), (char)((fourcc >> 8) & 0xFF), (char)((fourcc >> 16) & 0xFF),
                     (char)((fourcc >> 24) & 0xFF), 0 };
    return CString(name, 4);
}

}  // namespace

BOOL CRecorderPrefs::LoadCodecState(DWORD fourcc, BYTE** data, DWORD* size) const
{
    if (!data || !size)
        return FALSE;
    *data = NULL;
    *size = 0;
    if (m_host) {
        CKeyCloser section(m_host->CreateSectionKey(kSection));
        HKEY codecs = NULL;
        DWORD disposition = 0;
        if (section && ::RegCreateKeyExA(section, kCodecSubkey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                         NULL, &codecs, &disposition) == ERROR_SUCCESS) {
            CKeyCloser closer(codecs);
            const CString name = FourCCName(fourcc);
            DWORD type = 0, length = 0;
            if (::RegQueryValueExA(codecs, name, NULL, &type, NULL, &length) == ERROR_SUCCESS && length > 0) {
                BYTE* buffer = static_cast<BYTE*>(malloc(length));
                if (buffer && ::RegQueryValueExA(codecs, name, NULL, &type, buffer, &length) == ERROR_SUCCESS) {
                    *data = buffer;
                    *size = length;
                    return TRUE;
                }
                free(buffer);
            }
        }
    }
    if (fourcc != kFourCCxrvc)
        return FALSE;
    // The screen codec's own defaults when it has never stored a state.
    static const DWORD kDefaultState[4] = { 2827, kFourCCxrvc, 0x20000, 1 };
    BYTE* buffer = static_cast<BYTE*>(malloc(sizeof(kDefaultState)));
    if (!buffer)
        return FALSE;
    memcpy(buffer, kDefaultState, sizeof(kDefaultState));
    *data = buffer;
    *size = sizeof(kDefaultState);
    return TRUE;
}

BOOL CRecorderPrefs::SaveCodecState(DWORD fourcc, const BYTE* data, DWORD size) const
{
    if (!m_host)
        return FALSE;
    CKeyCloser section(m_host->CreateSectionKey(kSection));
    if (!section)
        return FALSE;
    HKEY codecs = NULL;
    DWORD disposition = 0;
    if (::RegCreateKeyExA(section, kCodecSubkey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &codecs,
                          &disposition) != ERROR_SUCCESS)
        return FALSE;
    CKeyCloser closer(codecs);
    return ::RegSetValueExA(codecs, FourCCName(fourcc), 0, REG_BINARY, data, size) == ERROR_SUCCESS;
}
