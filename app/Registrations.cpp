// Every process-wide object of the program, in the order in which they must
// exist. C++ constructs the definitions of one unit in order and destroys
// them in the reverse order at exit, which is the order the program relies
// on; keep new rows in their place.
#include "app/Registrations.h"

#include "app/RecorderApp.h"
#include "overlays/PreviewPollState.h"
#include "XRVDirectShow/FileProperties.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

UINT RegisterFormatId(LPCSTR name)
{
    if (name == NULL || *name == 0)
        return 0;
    return (UINT)(WORD)::RegisterClipboardFormatA(name);
}

UINT RegisterMessageId(LPCSTR name)
{
    if (name == NULL || *name == 0)
        return 0;
    return ::RegisterWindowMessageA(name);
}

namespace {

PaintControlMessages RegisterPaintMessages()
{
    PaintControlMessages m;
    m.imageChanged = RegisterMessageId("_PAINT_CONTROL_IMAGE_CHANGED_");
    m.magChanged = RegisterMessageId("_PAINT_CONTROL_MAG_CHANGED_");
    m.colourSampler = RegisterMessageId("_PAINT_CONTROL_COLOUR_SAMPLER");
    m.modeChanged = RegisterMessageId("_PAINT_CONTROL_MODE_CHANGED");
    return m;
}

int SeedRandom()
{
    ::srand((unsigned)time(NULL) + ::GetTickCount());
    return 0;
}

int g_commandCounter = 0;

// An event that lives until the process ends.
struct ProcessEvent {
    HANDLE handle;
    ProcessEvent(BOOL manualReset, BOOL signalled) : handle(::CreateEventA(NULL, manualReset, signalled, NULL)) {}
    ~ProcessEvent()
    {
        if (handle)
            ::CloseHandle(handle);
    }
};

}  // namespace

// 1.
CString g_sharedText1;
CString g_sharedText2;
// 2. Made here, started by the application's InitApplication before the rest
// of its start-up; shut down after every object below is gone.
CGdiplusInitGuard CRecorderApp::s_gdiplus(true);
// 3-5.
UINT g_cfLayout = RegisterFormatId("Skorvale Layout");
UINT g_cfNote = RegisterFormatId("Skorvale Note");
UINT g_cfFormat = RegisterFormatId("Skorvale Format");
// 6.
PaintControlMessages g_paintMessages = RegisterPaintMessages();
// 7.
CRecorderApp theApp;
// 8.
CStringList g_captureTextList;   // block size 10, the default
// 9.
UINT g_msgSiblingLaunch = RegisterMessageId("UWM_SKOLAUNCH_8641A2DC_A3D2_40CB_91A9_7CF19B98BC1A_REGISTERED");
// 10.
PaintControlMessages g_paintMessages2 = RegisterPaintMessages();
// 11.
static int g_seeded = SeedRandom();
// 12, 13, 14 (its initialiser fills the language table of 13).
CString g_tipText;
CMapStringToString g_productLanguages;   // block size 10
CProductInfo g_productInfo(g_productLanguages);
// 15, 16.
CCriticalSection g_timelineRegistryLock;
CMapPtrToPtr g_timelineRegistry;   // block size 10
// 17: the preview players' shared state.
CPtrArray g_previewPlayers;
volatile LONG g_previewPollQuit = 0;
// 18-20.
static ProcessEvent s_previewPollGate(TRUE, TRUE);
static ProcessEvent s_previewPollExit(TRUE, TRUE);
HANDLE g_previewPollGate = s_previewPollGate.handle;
HANDLE g_previewPollExit = s_previewPollExit.handle;
CCriticalSection g_previewPlayerListLock;
// 21.
int g_previewCommand[7] = {g_commandCounter++, g_commandCounter++, g_commandCounter++, g_commandCounter++,
                           g_commandCounter++, g_commandCounter++, g_commandCounter++};
// 22: the playback facade's file-properties cache.
CArray<FilePropertiesRecord> g_FileProperties;
CCriticalSection g_FilePropertiesLock;
// 23.
SoftwareTransition g_softwareTransitions[kSoftwareTransitionCount] = {
    {"Spiral", SoftSpiral, NULL, false},             {"Iris", SoftIris, NULL, false},
    {"RadialWipe", SoftRadialWipe, NULL, false},     {"ZigZag", SoftZigZag, NULL, false},
    {"RandomBars", SoftRandomBars, NULL, false},     {"Wheel", SoftWheel, NULL, false},
    {"Strips", SoftStrips, NULL, false},             {"Inset", SoftInset, NULL, false},
    {"Blinds", SoftBlinds, NULL, false},             {"CheckerBoard", SoftCheckerBoard, NULL, false},
    {"DxtJpeg Class", SoftDxtJpeg, NULL, false},     {"Barn", SoftBarn, NULL, false},
    {"Fade", NULL, SoftFade, true},                  {"Stretch", NULL, SoftStretch, true},
    {"GradientWipe", NULL, SoftGradientWipe, true},  {"Slide", NULL, SoftSlide, true},
    {"Pixelate", NULL, SoftPixelate, true},          {"RandomDissolve", NULL, SoftRandomDissolve, true},
};
// 24, 25.
CMapStringToPtr g_controlCache;   // block size 10
UINT g_cfScreenNote = RegisterFormatId("Skorvale 屏幕便笺");

const SoftwareTransition* FindSoftwareTransition(LPCSTR name)
{
    if (!name)
        return NULL;
    for (const SoftwareTransition& t : g_softwareTransitions)
        if (strcmp(t.name, name) == 0)
            return &t;
    return NULL;
}
