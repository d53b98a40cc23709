#pragma once
#include "framework/Archive.h"
#include "framework/Collections.h"

#include <time.h>

class CDataGenericObject;

// A saved arrangement of screen notes: a list of data objects (text notes
// and shapes) and the time it was made. A layout built from the open
// floaters only points to their objects; one read from an archive creates
// its objects, and the reader takes them over (DeleteObjects frees them).
// UI thread.
class CDataLayoutObject : public CObList {
public:
    static const char kTypeName[];      // "Skorvale Layout"

    CDataLayoutObject();
    ~CDataLayoutObject() override;

    // Record: created (32 bits), the count, then per object its kind (0
    // shape, 1 text note; major version 3 on) and its record. Reading checks
    // the count against the bytes left and refuses an unknown kind; on a
    // failure the objects read so far are deleted and the list is as before.
    void Exchange(CArchive& ar, DWORD version);
    // Deletes every object of the list and empties it.
    void DeleteObjects();

    DWORD m_created;            // time_t, kept in 32 bits
};
