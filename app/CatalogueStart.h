#pragma once
// The screen-notes window at start-up: made by the program's maker (a
// modeless host dialog of the catalogue, without a parent) and placed from
// the preferences.
#include "framework/AfxPlatform.h"

class CRecorderPrefs;
class CWnd;

// Bit of the preferences' flags: the screen-notes window is shown.
const DWORD kCatalogueVisibleFlag = 0x80;

// Makes the screen-notes window hidden, its libraries opened (the shipped
// ones on the first run); NULL when it cannot be made.
CWnd* MakeCatalogueWindow();
// Puts the window at the preferences' rectangle, its left and top kept on
// the screen by at least an icon; no minimise box; shown when the visible
// flag is set, else the main window comes to the foreground.
void PlaceCatalogueWindow(CWnd* catalogue, const CRecorderPrefs* prefs, CWnd* mainWindow);
// The item window of the screen-notes window (layout keys go there); NULL
// when there is none.
CWnd* CatalogueItemWindow(CWnd* catalogue);
// Stores the window's rectangle, the layout library's path, the lists of
// shape and text-note libraries and the active library into the
// preferences (at close).
void StoreCatalogueState(CWnd* catalogue, CRecorderPrefs* prefs);
