#include "settings/FormatUtil.h"

void FormatNumber(CString& out, int value, LPCTSTR format)
{
    out.Format(format ? format : "%d", value);
}

// %1..%9 are replaced by their inserts, as the framework's AfxFormatStrings
// does; the inserted texts are not scanned again.
void FormatStrings(CString& out, LPCTSTR templ, int count, const LPCTSTR* inserts)
{
    CString result;
    for (const char* p = templ ? templ : ""; *p; ++p) {
        if (*p == '%' && p[1] >= '1' && p[1] <= '9') {
            int index = p[1] - '1';
            if (index < count && inserts && inserts[index]) {
                result += inserts[index];
                ++p;
                continue;
            }
        }
        if (::IsDBCSLeadByte((BYTE)*p) && p[1]) {
            result += *p++;
        }
        result += *p;
    }
    result.Replace("%%", "%");
    out = result;
}

void LoadFormattedString(CString& out, UINT id, int count, const LPCTSTR* inserts)
{
    CString templ;
    if (!templ.LoadString(id))
        return;
    FormatStrings(out, templ, count, inserts);
}
