#include "catalogue/DataLayoutObject.h"

#include "catalogue/CatalogueOb.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "framework/Exceptions.h"

#include <vector>

const char CDataLayoutObject::kTypeName[] = "Skorvale Layout";

namespace {
// The smallest record of an entry: the kind and the generic record.
const ULONGLONG kMinEntryBytes = 12;
const DWORD kKindShape = 0;
const DWORD kKindText = 1;
}  // namespace

CDataLayoutObject::CDataLayoutObject() : m_created((DWORD)time(NULL)) {}

CDataLayoutObject::~CDataLayoutObject() {}

void CDataLayoutObject::DeleteObjects()
{
    POSITION pos = GetHeadPosition();
    while (pos)
        delete static_cast<CDataGenericObject*>(GetNext(pos));
    RemoveAll();
}

// The count written is the number of entries written: null elements are
// left out of both.
void CDataLayoutObject::Exchange(CArchive& ar, DWORD version)
{
    const DWORD major = version >> 24;
    if (ar.IsStoring()) {
        ar << m_created;
        DWORD count = 0;
        POSITION pos = GetHeadPosition();
        while (pos)
            count += GetNext(pos) != NULL;
        ar << count;
        pos = GetHeadPosition();
        while (pos) {
            CDataGenericObject* object = static_cast<CDataGenericObject*>(GetNext(pos));
            if (!object)
                continue;
            ar << (object->IsKindOf(RUNTIME_CLASS(CDataShapeObject)) ? kKindShape : kKindText);
            object->Exchange(ar, version);
        }
        return;
    }
    DWORD created;
    ar >> created;
    if (major < 3) {
        CString obsolete;
        ar >> obsolete;
    }
    DWORD count;
    ar >> count;
    if ((ULONGLONG)count * kMinEntryBytes > ArchiveBytesLeft(ar))
        AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
    std::vector<CDataGenericObject*> read;
    try {
        for (DWORD i = 0; i < count; i++) {
            DWORD kind = kKindShape;
            if (major >= 3)
                ar >> kind;
            CDataGenericObject* object;
            if (kind == kKindShape)
                object = new CDataShapeObject;
            else if (kind == kKindText)
                object = new CDataTextObject;
            else
                AfxThrowArchiveException(CArchiveException::badIndex, ar.m_strFileName);
            read.push_back(object);
            object->Exchange(ar, version);
        }
    } catch (...) {
        for (CDataGenericObject* object : read)
            delete object;
        throw;
    }
    m_created = created;
    for (CDataGenericObject* object : read)
        AddTail(object);
}
