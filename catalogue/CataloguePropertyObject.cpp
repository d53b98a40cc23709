#include "catalogue/CataloguePropertyObject.h"

#include "catalogue/CatalogueOb.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "resources/ids_catalogue.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <new>
#include <stdlib.h>
#include <string.h>

const char CCataloguePropertyObject::kPropertyName[] = "Catalogue Property Object";

void (*CCataloguePropertyObject::s_afterWriteStep)(int step) = NULL;

namespace {

const DWORD kHeaderSize = 12;
const DWORD kRecordSize = 16;
const UINT kArchiveBuffer = 4096;
// Blocks of a save are written in pieces of this size.
const UINT kWritePiece = 65536;

[[noreturn]] void ThrowFormat(const CString& path, int cause = CArchiveException::badIndex)
{
    AfxThrowArchiveException(cause, path);
}

void AfterWriteStep(int& step)
{
    if (CCataloguePropertyObject::s_afterWriteStep)
        CCataloguePropertyObject::s_afterWriteStep(step);
    step++;
}

// Regions of the file already taken by the header, the directory, records
// and parts. Every region is claimed once: records and parts may neither
// overlap nor be shared, so the bytes read never exceed the file.
class CExtentSet {
public:
    explicit CExtentSet(const CString& path) : m_path(path) {}
    void Claim(ULONGLONG start, ULONGLONG end)
    {
        auto next = m_extents.upper_bound(start);
        if (next != m_extents.end() && next->first < end)
            ThrowFormat(m_path);
        if (next != m_extents.begin()) {
            auto prev = std::prev(next);
            if (prev->second > start)
                ThrowFormat(m_path);
        }
        m_extents[start] = end;
    }

private:
    CString m_path;
    std::map<ULONGLONG, ULONGLONG> m_extents;
};

}  // namespace

struct CCataloguePropertyObject::Plan {
    struct Offsets {
        DWORD name, image, mask, data, record;
    };
    std::vector<BYTE> bytes;        // what is written at `base`
    DWORD base = 0;
    DWORD dirOffset = 0;
    std::vector<Offsets> items;     // the catalogue's items, then the property item
};

CCataloguePropertyObject::CCataloguePropertyObject()
    : m_readOnly(FALSE), m_protected(FALSE), m_version(kVersion), m_pageType(1), m_savesSinceCompaction(0),
      m_property(new CCatalogueOb), m_propertyOffset(0), m_lastDirOffset(0), m_lastLength(0)
{
    if (!m_name.LoadString(IDS_CAT_NEW_LIBRARY))
        m_name = "新建库";
    const BYTE zero = 0;
    m_property->AddNamedRendering(kPropertyName, &zero, 1);
}

CCataloguePropertyObject::~CCataloguePropertyObject()
{
    RemoveAll();
    delete m_property;
}

void CCataloguePropertyObject::InsertItem(int index, CCatalogueOb* pItem)
{
    if (index < 0 || index > (int)m_items.size())
        index = (int)m_items.size();
    m_items.insert(m_items.begin() + index, Entry{ pItem, 0 });
}

void CCataloguePropertyObject::MoveItem(int from, int to)
{
    if (from < 0 || from >= (int)m_items.size() || to < 0 || to >= (int)m_items.size() || from == to)
        return;
    Entry e = m_items[from];
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + to, e);
}

void CCataloguePropertyObject::DeleteItem(int index)
{
    if (index < 0 || index >= (int)m_items.size())
        return;
    delete m_items[index].item;
    m_items.erase(m_items.begin() + index);
}

void CCataloguePropertyObject::RemoveAll()
{
    for (Entry& e : m_items)
        delete e.item;
    m_items.clear();
}

// --- Reading ---------------------------------------------------------------------------------

int CCataloguePropertyObject::Open(LPCTSTR path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite))
        return -1;
    char full[MAX_PATH];
    LPSTR filePart = NULL;
    CString fullPath = path;
    const DWORD fullLength = ::GetFullPathNameA(path, MAX_PATH, full, &filePart);
    if (fullLength > 0 && fullLength < MAX_PATH)
        fullPath = full;

    std::vector<Entry> items;
    CCatalogueOb* property = NULL;
    DWORD propertyOffset = 0, version = 0, dirOffset = 0;
    try {
        LoadFile(file, fullPath, items, property, propertyOffset, version, dirOffset);
    } catch (...) {
        for (Entry& e : items)
            delete e.item;
        delete property;
        file.Abort();
        throw;
    }
    const ULONGLONG length = file.GetLength();
    file.Close();

    RemoveAll();
    m_items.swap(items);
    if (property) {
        delete m_property;
        m_property = property;
        m_propertyOffset = propertyOffset;
    }
    m_version = version;
    m_path = fullPath;
    CString title = fullPath.Mid(fullPath.ReverseFind('\\') + 1);
    const int dot = title.ReverseFind('.');
    m_name = dot >= 0 ? title.Left(dot) : title;
    const DWORD attributes = ::GetFileAttributesA(fullPath);
    m_readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    m_lastDirOffset = dirOffset;
    m_lastLength = length;
    return 0;
}

// Reads the whole library into the out arguments. Every offset and count is
// checked against the file before it is used; each part is read by its own
// archive and must lie wholly inside the file and apart from every other.
void CCataloguePropertyObject::LoadFile(CFile& file, const CString& path, std::vector<Entry>& items,
                                        CCatalogueOb*& property, DWORD& propertyOffset, DWORD& version,
                                        DWORD& dirOffset)
{
    const ULONGLONG length = file.GetLength();
    try {
        if (length < kHeaderSize)
            ThrowFormat(path, CArchiveException::endOfFile);
        DWORD header[3];
        file.SeekToBegin();
        if (file.Read(header, sizeof(header)) != sizeof(header))
            ThrowFormat(path, CArchiveException::endOfFile);
        if (header[0] != kMagic)
            ThrowFormat(path);
        version = header[1];
        if (version != kVersion && version != kVersion2 && version != kVersion22)
            ThrowFormat(path);
        dirOffset = header[2];
        if (dirOffset < kHeaderSize || (ULONGLONG)dirOffset + 4 > length)
            ThrowFormat(path);
        DWORD n = 0;
        file.Seek(dirOffset, CFile::begin);
        if (file.Read(&n, 4) != 4)
            ThrowFormat(path, CArchiveException::endOfFile);
        if (n == 0 || (ULONGLONG)dirOffset + 4 + (ULONGLONG)n * 4 > length)
            ThrowFormat(path);
        std::vector<DWORD> offsets(n);
        if (file.Read(offsets.data(), n * 4) != n * 4)
            ThrowFormat(path, CArchiveException::endOfFile);

        CExtentSet extents(path);
        extents.Claim(0, kHeaderSize);
        extents.Claim(dirOffset, (ULONGLONG)dirOffset + 4 + (ULONGLONG)n * 4);

        for (DWORD recordOffset : offsets) {
            if (recordOffset < kHeaderSize || (ULONGLONG)recordOffset + kRecordSize > length)
                ThrowFormat(path);
            extents.Claim(recordOffset, (ULONGLONG)recordOffset + kRecordSize);
            DWORD parts[4];
            file.Seek(recordOffset, CFile::begin);
            if (file.Read(parts, sizeof(parts)) != sizeof(parts))
                ThrowFormat(path, CArchiveException::endOfFile);
            CCatalogueOb* pItem = new CCatalogueOb;
            items.push_back(Entry{ pItem, recordOffset });
            for (int k = 0; k < 4; k++) {
                if (parts[k] < kHeaderSize || parts[k] >= length)
                    ThrowFormat(path);
                file.Seek(parts[k], CFile::begin);
                CArchive ar(&file, CArchive::load, kArchiveBuffer);
                ar.m_strFileName = path;
                try {
                    switch (k) {
                    case 0: pItem->LoadNamePart(ar); break;
                    case 1: pItem->LoadIconPart(ar, false); break;
                    case 2: pItem->LoadIconPart(ar, true); break;
                    default: pItem->LoadDataPart(ar); break;
                    }
                    ar.Close();
                } catch (...) {
                    ar.Abort();
                    throw;
                }
                extents.Claim(parts[k], file.GetPosition());
            }
            pItem->m_nameOffset = parts[0];
            pItem->m_imageOffset = parts[1];
            pItem->m_maskOffset = parts[2];
            pItem->m_dataOffset = parts[3];
        }
    } catch (CArchiveException* e) {
        if (e->m_strFileName.IsEmpty())
            e->m_strFileName = path;
        throw;
    } catch (CFileException*) {
        throw;
    } catch (CException* e) {
        // Anything else a hostile file provokes is a format error too.
        e->Delete();
        ThrowFormat(path, CArchiveException::genericException);
    } catch (const std::bad_alloc&) {
        ThrowFormat(path, CArchiveException::genericException);
    }

    // The first item with the property rendering is the property item.
    for (size_t i = 0; i < items.size(); i++) {
        if (items[i].item->FindRendering(kPropertyName) >= 0) {
            property = items[i].item;
            propertyOffset = items[i].offset;
            items.erase(items.begin() + i);
            break;
        }
    }
}

// --- Writing ---------------------------------------------------------------------------------

bool CCataloguePropertyObject::BuildPlan(bool whole, DWORD base, Plan& plan) const
{
    CMemFile mem(16384);
    plan.base = base;
    if (whole) {
        const DWORD header[3] = { kMagic, kVersion, 0 };
        mem.Write(header, sizeof(header));
    }
    // The position in the file of what is written next.
    auto here = [&]() -> ULONGLONG { return (ULONGLONG)base + mem.GetLength(); };
    auto writePart = [&](auto&& fn) -> DWORD {
        const ULONGLONG pos = here();
        mem.SeekToEnd();
        CArchive ar(&mem, CArchive::store, kArchiveBuffer);
        fn(ar);
        ar.Close();
        return (DWORD)pos;
    };

    const size_t count = m_items.size() + 1;
    plan.items.resize(count);
    for (size_t i = 0; i < count; i++) {
        const bool isProperty = i == m_items.size();
        const CCatalogueOb* pItem = isProperty ? m_property : m_items[i].item;
        Plan::Offsets& o = plan.items[i];
        if (whole) {
            o = Plan::Offsets{ 0, 0, 0, 0, 0 };
        } else {
            o.name = pItem->m_nameOffset;
            o.image = pItem->m_imageOffset;
            o.mask = pItem->m_maskOffset;
            o.data = pItem->m_dataOffset;
            o.record = isProperty ? m_propertyOffset : m_items[i].offset;
        }
        if (o.record != 0 && o.name && o.image && o.mask && o.data)
            continue;
        if (!o.name)
            o.name = writePart([&](CArchive& ar) { pItem->StoreNamePart(ar); });
        if (!o.image)
            o.image = writePart([&](CArchive& ar) { pItem->StoreIconPart(ar, false); });
        if (!o.mask)
            o.mask = writePart([&](CArchive& ar) { pItem->StoreIconPart(ar, true); });
        if (!o.data)
            o.data = writePart([&](CArchive& ar) { pItem->StoreDataPart(ar); });
        o.record = writePart([&](CArchive& ar) { ar << o.name << o.image << o.mask << o.data; });
    }
    mem.SeekToEnd();
    plan.dirOffset = (DWORD)here();
    const DWORD n = (DWORD)count;
    mem.Write(&n, 4);
    for (const Plan::Offsets& o : plan.items)
        mem.Write(&o.record, 4);
    // Offsets are 32-bit: a library must end below 4 GB.
    if (here() > 0xFFFFFFFFull)
        return false;
    if (whole) {
        mem.Seek(8, CFile::begin);
        mem.Write(&plan.dirOffset, 4);
    }

    const UINT size = (UINT)mem.GetLength();
    BYTE* p = mem.Detach();
    plan.bytes.assign(p, p + size);
    free(p);
    return true;
}

void CCataloguePropertyObject::CommitPlan(const Plan& plan)
{
    for (size_t i = 0; i < plan.items.size(); i++) {
        const bool isProperty = i == m_items.size();
        CCatalogueOb* pItem = isProperty ? m_property : m_items[i].item;
        const Plan::Offsets& o = plan.items[i];
        pItem->m_nameOffset = o.name;
        pItem->m_imageOffset = o.image;
        pItem->m_maskOffset = o.mask;
        pItem->m_dataOffset = o.data;
        if (isProperty)
            m_propertyOffset = o.record;
        else
            m_items[i].offset = o.record;
    }
    m_lastDirOffset = plan.dirOffset;
    m_lastLength = (ULONGLONG)plan.base + plan.bytes.size();
}

// Appends the plan's bytes, makes them reach the disk, and only then points
// byte 8 at the new directory: until that one word is written the old
// directory, and with it the old library, stays current.
int CCataloguePropertyObject::SaveIncremental(CFile& file, const Plan& plan)
{
    int step = 0;
    file.Seek(plan.base, CFile::begin);
    for (size_t done = 0; done < plan.bytes.size();) {
        const UINT n = (UINT)std::min<size_t>(kWritePiece, plan.bytes.size() - done);
        file.Write(plan.bytes.data() + done, n);
        done += n;
        AfterWriteStep(step);
    }
    file.Flush();
    AfterWriteStep(step);
    file.Seek(8, CFile::begin);
    file.Write(&plan.dirOffset, 4);
    AfterWriteStep(step);
    file.Flush();
    AfterWriteStep(step);
    return 0;
}

// Writes the whole library into a file beside it and moves that over the
// library once it is complete and on the disk.
int CCataloguePropertyObject::SaveWhole(const Plan& plan)
{
    const CString temp = m_path + ".~save";
    int step = 0;
    CFile file;
    if (!file.Open(temp, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
        return -1;
    try {
        for (size_t done = 0; done < plan.bytes.size();) {
            const UINT n = (UINT)std::min<size_t>(kWritePiece, plan.bytes.size() - done);
            file.Write(plan.bytes.data() + done, n);
            done += n;
            AfterWriteStep(step);
        }
        file.Flush();
        AfterWriteStep(step);
        file.Close();
    } catch (...) {
        file.Abort();
        ::DeleteFileA(temp);
        throw;
    }
    if (!::MoveFileExA(temp, m_path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileA(temp);
        return -1;
    }
    AfterWriteStep(step);
    return 0;
}

int CCataloguePropertyObject::Save(int maxIncremental)
{
    if (m_path.IsEmpty())
        return -1;
    if (m_version != kVersion)
        return 0;

    // Append only to the library as it was last read or written here, and
    // only while the allowance of appending saves lasts.
    int counter = m_savesSinceCompaction;
    CFile file;
    bool append = false;
    if (file.Open(m_path, CFile::modeReadWrite | CFile::shareDenyWrite)) {
        counter++;
        DWORD header[3] = { 0, 0, 0 };
        const UINT got = file.Read(header, sizeof(header));
        append = got == sizeof(header) && header[0] == kMagic && counter <= maxIncremental &&
                 m_lastLength != 0 && file.GetLength() == m_lastLength && header[2] == m_lastDirOffset;
        if (!append)
            file.Close();
    }

    Plan plan;
    try {
        if (append) {
            if (!BuildPlan(false, (DWORD)m_lastLength, plan)) {
                file.Close();
                return -1;
            }
            SaveIncremental(file, plan);
            file.Close();
            m_savesSinceCompaction = counter;
        } else {
            if (!BuildPlan(true, 0, plan))
                return -1;
            if (SaveWhole(plan) != 0)
                return -1;
            m_savesSinceCompaction = 0;
        }
    } catch (CFileException* e) {
        // The library on disk is still the old one (or the old one with
        // unreferenced bytes behind it); the offsets stay as they were.
        e->Delete();
        file.Abort();
        return -1;
    }
    CommitPlan(plan);
    return 0;
}

// An older-version library is not written (Save would answer 0 without
// writing), so saving it elsewhere is refused instead of reported as done.
int CCataloguePropertyObject::SaveTo(LPCTSTR path)
{
    if (m_version != kVersion)
        return -1;
    const CString oldPath = m_path;
    const ULONGLONG oldLength = m_lastLength;
    m_path = path;
    m_lastLength = 0;   // a different file: written whole
    if (Save(0) != 0) {
        m_path = oldPath;
        m_lastLength = oldLength;
        return -1;
    }
    return 0;
}
