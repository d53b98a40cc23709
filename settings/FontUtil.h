#pragma once
// Choosing an installed font face by charset and pitch/family, point fonts
// made from that choice, and the charset of the user's locale.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// The face chosen for the pitch-and-family and charset: the preferred face
// when it is installed with that charset, else the first family that meets
// the criteria in order of preference; empty when none does. The screen's DC
// stands in for a NULL DC.
CString EnumerateFonts(BYTE pitchAndFamily, BYTE charSet, LPCTSTR preferredFace, HDC dc);
// Replaces *font (deleting the old one) by a font of the size in tenths of a
// point, with the face EnumerateFonts chooses; TRUE when it was created.
BOOL CreateMatchingPointFont(HFONT* font, int pointSize, BYTE pitchAndFamily, BYTE charSet, LPCTSTR preferredFace,
                             int weight, HDC dc);
// The ANSI code page of the thread's locale (or of the screen's charset).
UINT GetLocaleAnsiCodePage();
// The charset of that code page (or the screen's).
BYTE GetDefaultCharset();
