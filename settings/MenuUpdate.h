#pragma once
#include "framework/AfxPlatform.h"

class CMenu;
class CWnd;

// Runs the window's update-command-UI handlers for the items of a popup menu
// that it shows itself (a dialog or a floater has no frame to do it): each
// item with an id is routed through the window's command handlers; a popup
// item is routed with its first item's id and never disabled automatically;
// other items below 0xF000 without a handler are disabled. Nothing happens
// for the system menu. UI thread.
void UpdatePopupMenuUI(CWnd* window, CMenu* popup, UINT index, BOOL systemMenu);
