#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// The three libraries shipped in the "Libraries" folder beside the program
// and copied to the user's folder on the first run: "我的形状.skoo" (shapes),
// "我的文字便条.skot" (text notes) and "编排.skol" (layouts, empty). Written
// by the catalogue's own library writer from pictures and styles drawn here,
// with fixed ids, so that every run writes the same items. Used by the
// build's library maker (catalogue/tools) and its test. UI thread.
namespace defaultlibraries {

extern const char* const kShapesFile;
extern const char* const kNotesFile;
extern const char* const kLayoutsFile;

// Writes the three files into `folder` (which must exist), replacing files
// of those names; hRefWnd's client DC is the icons' reference DC. TRUE when
// all three were written.
BOOL Write(const CString& folder, HWND hRefWnd);

}  // namespace defaultlibraries
