#pragma once
// The program's process-wide objects: registered window messages, clipboard
// formats, global texts and lists, the GDI+ guard, the product information,
// synchronisation objects, the preview poll command codes, the table of
// software transitions and the application object. They are all defined in Registrations.cpp, one unit, so that they
// are made in a fixed order before the program starts and destroyed in the
// reverse order at exit.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"
#include "framework/Sync.h"
#include "app/ProductInfo.h"
#include "overlays/SoftTransitions.h"

class CRecorderApp;

// A clipboard format or window message registered by name: its id (16 bits
// for a format), or 0 when the name cannot be registered (none, empty or too
// long). Nothing reports a failure; the caller keeps the 0.
UINT RegisterFormatId(LPCSTR name);
UINT RegisterMessageId(LPCSTR name);

extern CString g_sharedText1;            // catalogue, main window
extern CString g_sharedText2;
extern UINT g_cfLayout;                  // "Skorvale Layout"
extern UINT g_cfNote;                    // "Skorvale Note"
extern UINT g_cfFormat;                  // "Skorvale Format"

// The paint control's notifications; the second set holds the same ids for
// the second image-editor class set.
struct PaintControlMessages {
    UINT imageChanged;
    UINT magChanged;
    UINT colourSampler;
    UINT modeChanged;
};
extern PaintControlMessages g_paintMessages;
extern PaintControlMessages g_paintMessages2;

extern CRecorderApp theApp;
extern CStringList g_captureTextList;     // the screen capture engine's texts
extern UINT g_msgSiblingLaunch;           // "UWM_SKOLAUNCH_..._REGISTERED"
extern CString g_tipText;                 // the control library's tip text
extern CMapStringToString g_productLanguages;   // filled with the product information
extern CProductInfo g_productInfo;           // help and web links
extern CCriticalSection g_timelineRegistryLock;
extern CMapPtrToPtr g_timelineRegistry;   // identifier to timeline object
extern HANDLE g_previewPollGate;          // manual reset, initially signalled
extern HANDLE g_previewPollExit;          // manual reset, initially signalled
extern CCriticalSection g_previewPlayerListLock;

// The preview poll thread's commands, numbered from 0 in this order.
extern int g_previewCommand[7];

// A software transition: a name and one of two routines of the software
// transitions library.
typedef SoftMaskFn TransitionMaskFn;
typedef SoftPixelFn TransitionBlendFn;
struct SoftwareTransition {
    const char* name;
    TransitionMaskFn mask;     // rows 1-12: writes each row's runs
    TransitionBlendFn blend;   // rows 13-18: writes the transition frame
    bool blends;               // which of the two slots the row fills
};
const int kSoftwareTransitionCount = 18;
extern SoftwareTransition g_softwareTransitions[kSoftwareTransitionCount];
// The row of that name, or NULL.
const SoftwareTransition* FindSoftwareTransition(LPCSTR name);

extern CMapStringToPtr g_controlCache;
extern UINT g_cfScreenNote;               // "Skorvale 屏幕便笺"
