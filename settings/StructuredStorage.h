#pragma once
// One OLE compound file. The recording package writer creates the package
// with it, the package check lists its top-level elements, and playback reads
// its streams. Opened storages are kept on a stack; stream operations act on
// the newest (innermost) one. Every COM result is kept as the last result.
#include "framework/Object.h"
#include "framework/String.h"

#include <vector>

class CStructuredStorage : public CObject {
public:
    CStructuredStorage();
    ~CStructuredStorage() override;
    CStructuredStorage(const CStructuredStorage&) = delete;
    CStructuredStorage& operator=(const CStructuredStorage&) = delete;

    // Creates (Create) or opens (Open) the compound file; the root storage
    // becomes the only stack entry. 1 on success, 0 on failure (see
    // GetLastResult).
    int Create(const wchar_t* fileName, DWORD mode);
    int Open(const wchar_t* fileName, DWORD mode);

    // Creates or opens a stream of the newest storage; the caller owns the
    // returned reference. 0 with a null stream and E_POINTER when nothing is
    // open.
    int CreateStream(IStream** stream, const wchar_t* name, DWORD mode);
    int OpenStream(IStream** stream, const wchar_t* name, DWORD mode);

    // Appends the names of the newest storage's elements to the list.
    void ListElements(std::vector<CStringW>* names);

    // Puts a storage on the stack (a new reference is taken).
    void PushStorage(IStorage* storage);
    int GetDepth() const { return static_cast<int>(m_storages.size()); }

    const CStringW& GetFileName() const { return m_strFileName; }
    HRESULT GetLastResult() const { return m_hrLast; }

private:
    void Reset();
    IStorage* Newest() const { return m_storages.empty() ? nullptr : m_storages.back(); }

    CStringW m_strFileName;
    std::vector<IStorage*> m_storages;   // index 0 is the root storage
    HRESULT m_hrLast;
};
