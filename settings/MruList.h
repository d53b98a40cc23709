#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"

// A most-recently-used list of texts, newest first, with at most a maximum
// number of entries, and its one-line text form as the preferences store it:
// every entry followed by "*", newest first. An entry that itself holds "*"
// is stored with the star doubled, so it reads back as one entry. UI thread.
class CMruList : public CStringList {
public:
    explicit CMruList(int maxCount);

    // Adds the text as the newest entry (moving it up when present, dropping
    // the oldest when full); an empty text is ignored.
    void Add(LPCTSTR text);
    // The newest entry, empty when there is none.
    void GetFirst(CString& out) const;
    // Replaces the entries by the other list's, in order.
    void Copy(const CMruList& other);
    // Refills a combo box with the entries, newest first; an empty list leaves it untouched.
    void FillComboBox(HWND comboBox) const;
    void ToText(CString& out) const;
    void FromText(LPCTSTR text);

    int GetMaxCount() const { return m_maxCount; }

private:
    int m_maxCount;
};
