#include "settings/StructuredStorage.h"

CStructuredStorage::CStructuredStorage() : m_hrLast(S_OK) {}

CStructuredStorage::~CStructuredStorage()
{
    Reset();
}

void CStructuredStorage::Reset()
{
    for (IStorage* storage : m_storages) {
        if (storage)
            storage->Release();
    }
    m_storages.clear();
    m_strFileName.Empty();
    m_hrLast = S_OK;
}

void CStructuredStorage::PushStorage(IStorage* storage)
{
    if (storage)
        storage->AddRef();
    m_storages.push_back(storage);
}

// Compound files are written with 4096-byte sectors (format version 4), which
// keeps large media streams in few sectors.
int CStructuredStorage::Create(const wchar_t* fileName, DWORD mode)
{
    Reset();
    STGOPTIONS options = {};
    options.usVersion = 1;
    options.ulSectorSize = 4096;
    IStorage* root = nullptr;
    m_hrLast = ::StgCreateStorageEx(fileName, mode, STGFMT_DOCFILE, 0, &options, nullptr,
                                    IID_IStorage, reinterpret_cast<void**>(&root));
    if (FAILED(m_hrLast) || !root)
        return 0;
    PushStorage(root);
    root->Release();
    m_strFileName = fileName;
    return 1;
}

int CStructuredStorage::Open(const wchar_t* fileName, DWORD mode)
{
    Reset();
    IStorage* root = nullptr;
    m_hrLast = ::StgOpenStorage(fileName, nullptr, mode, nullptr, 0, &root);
    if (FAILED(m_hrLast) || !root)
        return 0;
    PushStorage(root);
    root->Release();
    m_strFileName = fileName;
    return 1;
}

int CStructuredStorage::CreateStream(IStream** stream, const wchar_t* name, DWORD mode)
{
    if (!stream)
        return 0;
    *stream = nullptr;
    IStorage* storage = Newest();
    if (!storage) {
        m_hrLast = E_POINTER;
        return 0;
    }
    m_hrLast = storage->CreateStream(name, mode, 0, 0, stream);
    return SUCCEEDED(m_hrLast) && *stream ? 1 : 0;
}

int CStructuredStorage::OpenStream(IStream** stream, const wchar_t* name, DWORD mode)
{
    if (!stream)
        return 0;
    *stream = nullptr;
    IStorage* storage = Newest();
    if (!storage) {
        m_hrLast = E_POINTER;
        return 0;
    }
    m_hrLast = storage->OpenStream(name, nullptr, mode, 0, stream);
    return SUCCEEDED(m_hrLast) && *stream ? 1 : 0;
}

void CStructuredStorage::ListElements(std::vector<CStringW>* names)
{
    IStorage* storage = Newest();
    if (!names || !storage)
        return;
    IEnumSTATSTG* elements = nullptr;
    m_hrLast = storage->EnumElements(0, nullptr, 0, &elements);
    if (FAILED(m_hrLast) || !elements)
        return;
    STATSTG stat;
    while (elements->Next(1, &stat, nullptr) == S_OK) {
        if (stat.pwcsName) {
            names->push_back(CStringW(stat.pwcsName));
            ::CoTaskMemFree(stat.pwcsName);
        }
    }
    elements->Release();
}
