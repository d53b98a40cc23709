#pragma once
#include "framework/Archive.h"
#include "framework/Object.h"
#include "framework/String.h"

class CCatalogueOb;

// The root of the screen notes that float on the desktop (text notes and
// shapes): an identifier, the note's centre on the desktop (0, 0 when not
// placed) and its window opacity. Each kind writes and reads its record
// through an archive at a library version, renders its 32 x 32 icon and packs
// itself into a catalogue item under its type name. Owned by one holder (a
// floater, a layout read from an archive, or the command that made it).
// UI thread.
class CDataGenericObject : public CObject {
    DECLARE_DYNAMIC(CDataGenericObject)
public:
    // The version of the records written (that of the library file).
    static const DWORD kCurrentVersion = 0x04000000;

    ~CDataGenericObject() override;

    // Writes or reads the record at the library version; a bad record
    // throws CArchiveException*.
    virtual void Exchange(CArchive& ar, DWORD version);
    // A new catalogue item holding the record (at the current version) as
    // the rendering named by GetTypeName, with the name and the icon.
    virtual CCatalogueOb* MakeCatalogueItem(const CString& name, HWND hWnd);
    // Sets the item's icon; hWnd's client DC is the reference DC.
    virtual void RenderIcon(HWND hWnd, CCatalogueOb* item) = 0;
    virtual CString GetTypeName() const = 0;

    // Keeps 1..100; other values leave the opacity as it was.
    void SetOpacity(int percent);

    // A new random identifier: ((r1 & 0xFFF) | (r2 << 12)) << 12 | (r3 & 0xFFF)
    // from three draws of the catalogue's own generator, seeded once per
    // process with the time, the tick count, the process id and the
    // performance counter, so two starts within one second differ.
    static DWORD NewId();
    // One draw of that generator (0..0x7FFF); Seed restarts it.
    static int Rand();
    static void Seed(DWORD seed);

    // Reads the data object held in a rendering of that type name ("Skorvale
    // Note" or "Skorvale Format") at the library version. Throws
    // CArchiveException* named by `source` when the bytes are not a record.
    static CDataGenericObject* ReadRendering(const CString& typeName, const void* pData, DWORD size, DWORD version,
                                             LPCTSTR source);

    DWORD m_id;
    int m_x;
    int m_y;
    int m_opacity;

protected:
    CDataGenericObject();
};

// The title a text note is listed under: line ends become spaces, runs of
// spaces one space, one leading and one trailing space go; then the first 15
// characters (code page 936 characters, not bytes), cut again at the last
// space when that lies at index 5 or more and the text was longer; "..."
// when the title is not the whole cleaned text.
CString MakeNoteTitle(const CString& text);
