#pragma once
// Readers of the overlays' XML property text over XmlNode: each looks an
// element up by name from a position (the position itself is not moved, the
// overlays read their elements in any order) and leaves the value unchanged
// when the element is missing or unreadable.
#include "framework/AfxPlatform.h"
#include "framework/String.h"
#include "settings/XmlNode.h"

namespace overlayxml {

BOOL ReadInt(XmlNode& node, LPCSTR name, int& value, int position);
BOOL ReadHex(XmlNode& node, LPCSTR name, COLORREF& value, int position);
BOOL ReadFloat(XmlNode& node, LPCSTR name, float& value, int position);
BOOL ReadText(XmlNode& node, LPCSTR name, CString& value, int position);
// A 64-bit decimal text (times, the hot spot's go-to time).
BOOL ReadTime(XmlNode& node, LPCSTR name, LONGLONG& value, int position);
// An element whose name ends with a blank ("clrTransparent "): the tags are
// matched as written, blank included.
BOOL ReadHexSpaced(XmlNode& node, LPCSTR name, COLORREF& value, int position);

// Writes a 64-bit time as its decimal text.
void WriteTime(XmlNode& node, LPCSTR name, LONGLONG value);

// Bounds for values read from files before they size or scale anything.
int Bound(int value, int low, int high);
float Bound(float value, float low, float high);   // NaN gives low
LONGLONG Bound(LONGLONG value, LONGLONG low, LONGLONG high);

}  // namespace overlayxml
