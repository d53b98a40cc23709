#pragma once
#include "framework/Object.h"
#include "framework/String.h"

#include <vector>

class CCatalogueOb;
class CFile;
class CStringArray;
class CWnd;

// One screen-notes library (a catalogue): its ordered items, a hidden
// property item, and the library file they live in. The file is a header,
// the items' parts and records appended in the order they were written, and
// a directory of the records at the end:
//   0 "SCPD", 4 version, 8 directory offset, then parts and records;
//   directory: n = items + 1, then the n record offsets (items, property item).
// Saving appends only what changed; after more than the allowed number of
// such saves the next one writes the file whole. A save never leaves a
// broken library behind: an append reaches the disk before the directory
// word that makes it current is rewritten, and a whole file is written
// beside the library and moved over it when complete. Files are read as
// untrusted input. The catalogue owns its items. UI thread.
class CCataloguePropertyObject : public CObject {
public:
    static const DWORD kMagic = 0x44504353;            // "SCPD"
    static const DWORD kVersion = 0x04000000;          // the version written
    static const DWORD kVersion2 = 0x02000000;         // older versions, read only
    static const DWORD kVersion22 = 0x02020000;
    static const char kPropertyName[];                 // the property item's rendering

    CCataloguePropertyObject();
    ~CCataloguePropertyObject() override;

    // Reads the library at the path: 0, or -1 when the file cannot be opened
    // for reading. A file that is not a well-formed library throws
    // CArchiveException* naming the file; the catalogue is then unchanged.
    int Open(LPCTSTR path);
    // Writes changed items (or the whole file after more than maxIncremental
    // appending saves since the last whole write): 0 when written, 0 without
    // writing for an older-version library, -1 without a path or when the
    // file cannot be written (the catalogue and the file are then as before).
    int Save(int maxIncremental);
    // Saves the whole library under a new path; on failure the old path stays.
    int SaveTo(LPCTSTR path);

    // Asks for a library of the page's kind with the open dialog and opens
    // it: 0, or -1 when cancelled, when the file's extension is not the
    // kind's (after a warning) or when it cannot be opened. A file that is no
    // library throws as Open does.
    int OpenWithDialog(CWnd* pParent);
    // Asks for a new path with the save dialog and writes the library whole
    // there: 0, or -1 when cancelled, when the path is open in another page
    // (`openPaths`, compared without case; after a warning) or when writing
    // fails (the old path stays).
    int SaveAs(const CStringArray& openPaths, CWnd* pParent);
    // Replaces item `index`'s icon from a file the user picks: a .bmp
    // picture set at size x size, or the first icon of any other file.
    // 0, or -1 when cancelled or the file gives no picture and no icon.
    int ReplaceItemIcon(int index, int size, CWnd* pParent);

    // The folder the file dialogs start in: the user's library folder.
    static CString LibraryFolder();
    // The page kind's extension (with its dot) and file-dialog filter.
    static CString KindExtension(int pageType);
    static CString KindFilter(int pageType);

    int GetItemCount() const { return (int)m_items.size(); }
    CCatalogueOb* GetItem(int i) const { return m_items[i].item; }
    DWORD GetItemOffset(int i) const { return m_items[i].offset; }
    // Takes ownership; the item's record offset starts at 0.
    void InsertItem(int index, CCatalogueOb* pItem);
    // Offsets travel with the item.
    void MoveItem(int from, int to);
    void DeleteItem(int index);
    void RemoveAll();

    CCatalogueOb* GetPropertyItem() const { return m_property; }
    DWORD GetPropertyOffset() const { return m_propertyOffset; }

    CString m_path;             // full path; empty for a catalogue never saved
    CString m_name;             // display name
    BOOL m_readOnly;            // the file's read-only attribute at open
    BOOL m_protected;           // set by the manager on pages opened while busy
    DWORD m_version;
    int m_pageType;             // 0 layouts, 2 text notes, other values shapes
    int m_savesSinceCompaction;

    // Called after each write step of a save (a block written, a flush, the
    // directory word, the move into place), with the step's number from 0.
    // Tests end the process or throw a CFileException* there.
    static void (*s_afterWriteStep)(int step);

private:
    struct Entry {
        CCatalogueOb* item;
        DWORD offset;
    };
    struct Extent;

    void LoadFile(CFile& file, const CString& path, std::vector<Entry>& items, CCatalogueOb*& property,
                  DWORD& propertyOffset, DWORD& version, DWORD& dirOffset);
    // Builds the bytes to write (appended at `base`, or a whole file when
    // base is 0) into `out`, with the offsets the items get once written.
    struct Plan;
    bool BuildPlan(bool whole, DWORD base, Plan& plan) const;
    void CommitPlan(const Plan& plan);
    int SaveIncremental(CFile& file, const Plan& plan);
    int SaveWhole(const Plan& plan);

    std::vector<Entry> m_items;
    CCatalogueOb* m_property;
    DWORD m_propertyOffset;
    // The file as last read or written: appends go only to that file.
    DWORD m_lastDirOffset;
    ULONGLONG m_lastLength;
};
