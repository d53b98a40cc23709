#pragma once
// Formatted texts from templates and the string table.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// The value formatted with the printf-style format.
void FormatNumber(CString& out, int value, LPCTSTR format);
// Inserts texts for %1..%n of the template (a %n without an insert stays as
// it is), then turns every "%%" into "%".
void FormatStrings(CString& out, LPCTSTR templ, int count, const LPCTSTR* inserts);
// The same with a template from the string table; out stays unchanged when
// the string does not exist.
void LoadFormattedString(CString& out, UINT id, int count, const LPCTSTR* inserts);
