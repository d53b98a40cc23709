// Everything of the window layer in one include, for code written against
// MFC's afxwin.h / afxcmn.h / afxdlgs.h.
#pragma once
#include "framework/ui/CmdTarget.h"
#include "framework/ui/Controls.h"
#include "framework/ui/DC.h"
#include "framework/ui/DataExchange.h"
#include "framework/ui/Dialog.h"
#include "framework/ui/FileDialog.h"
#include "framework/ui/FrameWnd.h"
#include "framework/ui/GdiObject.h"
#include "framework/ui/ImageList.h"
#include "framework/ui/Menu.h"
#include "framework/ui/MessageLoop.h"
#include "framework/ui/MsgMap.h"
#include "framework/ui/PropertySheet.h"
#include "framework/ui/Wnd.h"
