#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/Object.h"
#include "framework/String.h"

class CFile;

// Recording files held open for reading with writes denied, so that other
// programs can read but not overwrite or delete a recording while the editor
// uses it. Owns its entries; closes them when released. One thread.
class CFileLockList : public CObject {
public:
    CFileLockList();
    ~CFileLockList() override;

    // TRUE when the file is held (newly or already); FALSE when it is not an
    // existing recording file or cannot be opened.
    BOOL Add(LPCTSTR path);
    // TRUE when the path is held (compared without regard to case).
    BOOL Contains(LPCTSTR path) const;
    // Closes and frees every entry.
    BOOL ReleaseAll();
    INT_PTR GetCount() const { return m_entries.GetSize(); }

private:
    struct Entry {
        CString path;
        CFile* file;
    };
    CArray<Entry*, Entry*> m_entries;
};
