#include "settings/MruList.h"

CMruList::CMruList(int maxCount) : CStringList(), m_maxCount(maxCount) {}

void CMruList::Add(LPCTSTR text)
{
    if (!text || !*text)
        return;
    CString entry(text);
    POSITION pos = Find(entry);
    if (pos) {
        if (pos == GetHeadPosition())
            return;
        RemoveAt(pos);
    } else if (GetCount() >= m_maxCount && !IsEmpty()) {
        RemoveTail();
    }
    AddHead(entry);
}

void CMruList::GetFirst(CString& out) const
{
    if (IsEmpty())
        out.Empty();
    else
        out = GetHead();
}

void CMruList::Copy(const CMruList& other)
{
    if (&other == this)
        return;
    RemoveAll();
    for (POSITION pos = other.GetHeadPosition(); pos;)
        AddTail(other.GetNext(pos));
}

void CMruList::FillComboBox(HWND comboBox) const
{
    if (IsEmpty() || !comboBox)
        return;
    ::SendMessageA(comboBox, CB_RESETCONTENT, 0, 0);
    for (POSITION pos = GetHeadPosition(); pos;)
        ::SendMessageA(comboBox, CB_ADDSTRING, 0, (LPARAM)GetNext(pos).GetString());
}

void CMruList::ToText(CString& out) const
{
    out.Empty();
    int written = 0;
    for (POSITION pos = GetHeadPosition(); pos && written < m_maxCount; ++written) {
        CString entry = GetNext(pos);
        entry.Replace("*", "**");
        out += entry;
        out += '*';
    }
}

// A doubled star is a star of the entry; a single star ends it. An empty entry
// or a rest without a closing star ends the list.
void CMruList::FromText(LPCTSTR text)
{
    RemoveAll();
    if (!text)
        return;
    CString entry;
    for (const char* p = text; *p && GetCount() < m_maxCount;) {
        if (*p != '*') {
            // Copy a double-byte character whole, so that its trail byte is never taken for a star.
            if (::IsDBCSLeadByte((BYTE)*p) && p[1]) {
                entry += *p++;
            }
            entry += *p++;
            continue;
        }
        if (p[1] == '*') {
            entry += '*';
            p += 2;
            continue;
        }
        if (entry.IsEmpty())
            return;
        AddTail(entry);
        entry.Empty();
        ++p;
    }
}
