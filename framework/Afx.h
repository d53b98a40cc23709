// Everything of the framework's core in one include, for sources that want
// the convenience of a precompiled-header style "stdafx.h".
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Archive.h"
#include "framework/Collections.h"
#include "framework/ComPtr.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "framework/Module.h"
#include "framework/Object.h"
#include "framework/String.h"
#include "framework/Sync.h"
#include "framework/Types.h"
#include "framework/WinApp.h"
#include "framework/WinThread.h"
