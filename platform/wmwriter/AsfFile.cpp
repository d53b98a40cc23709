#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/AsfRepair.h"

namespace asf {

CFileStore::~CFileStore() { Close(); }

bool CFileStore::OpenExisting(LPCWSTR path, bool writable)
{
    Close();
    m_file = ::CreateFileW(path, writable ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ,
                           writable ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE), NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    return IsOpen();
}

bool CFileStore::Create(LPCWSTR path)
{
    Close();
    m_file = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    return IsOpen();
}

void CFileStore::Close()
{
    if (IsOpen())
        ::CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

uint64_t CFileStore::Size()
{
    LARGE_INTEGER size;
    if (!IsOpen() || !::GetFileSizeEx(m_file, &size))
        return 0;
    return (uint64_t)size.QuadPart;
}

bool CFileStore::Seek(uint64_t at)
{
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)at;
    return IsOpen() && at <= (uint64_t)INT64_MAX && ::SetFilePointerEx(m_file, to, NULL, FILE_BEGIN);
}

bool CFileStore::Read(uint64_t at, void* buffer, uint32_t size)
{
    DWORD got = 0;
    if (!Seek(at) || !::ReadFile(m_file, buffer, size, &got, NULL))
        return false;
    return got == size;
}

bool CFileStore::Write(uint64_t at, const void* data, uint32_t size)
{
    DWORD put = 0;
    if (!Seek(at) || !::WriteFile(m_file, data, size, &put, NULL))
        return false;
    return put == size;
}

bool CFileStore::SetSize(uint64_t size)
{
    return Seek(size) && ::SetEndOfFile(m_file);
}

}  // namespace asf

int CheckAsfFile(LPCWSTR path, ULONGLONG* playDuration)
{
    asf::CFileStore store;
    if (!path || !store.OpenExisting(path, false))
        return asf::kAsfNeedsRepair;
    uint64_t play = 0;
    int result = asf::CheckAsf(&store, &play);
    if (playDuration)
        *playDuration = play;
    return result;
}

bool RepairAsfFile(LPCWSTR path, BOOL cut)
{
    asf::CFileStore store;
    if (!path || !store.OpenExisting(path, true))
        return false;
    std::string error;
    if (!asf::RepairAsf(&store, cut != FALSE, &error)) {
        ::OutputDebugStringA(("RepairAsfFile: " + error + "\n").c_str());
        return false;
    }
    return true;
}
