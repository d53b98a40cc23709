#include "settings/FileLockList.h"

#include "framework/File.h"
#include "settings/PathUtil.h"

CFileLockList::CFileLockList() {}

CFileLockList::~CFileLockList()
{
    ReleaseAll();
}

BOOL CFileLockList::Add(LPCTSTR path)
{
    if (!IsRecordingFile(path))
        return FALSE;
    if (Contains(path))
        return TRUE;
    Entry* entry = new Entry;
    entry->path = path;
    entry->file = new CFile;
    if (!entry->file->Open(path, CFile::modeRead | CFile::shareDenyWrite)) {
        delete entry->file;
        delete entry;
        return FALSE;
    }
    m_entries.Add(entry);
    return TRUE;
}

BOOL CFileLockList::Contains(LPCTSTR path) const
{
    if (!path)
        return FALSE;
    for (INT_PTR i = 0; i < m_entries.GetSize(); ++i) {
        if (m_entries[i]->path.CompareNoCase(path) == 0)
            return TRUE;
    }
    return FALSE;
}

BOOL CFileLockList::ReleaseAll()
{
    while (m_entries.GetSize() > 0) {
        Entry* entry = m_entries[0];
        entry->file->Abort();
        m_entries.RemoveAt(0);
        delete entry->file;
        delete entry;
    }
    return TRUE;
}
