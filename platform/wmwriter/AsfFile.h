#pragma once
// The ASF file routines by path, over a Win32 file.
#include "platform/wmwriter/AsfFormat.h"
#include <windows.h>

namespace asf {

// A store over a Win32 file handle it owns.
class CFileStore : public Store {
public:
    CFileStore() {}
    ~CFileStore() override;
    CFileStore(const CFileStore&) = delete;
    CFileStore& operator=(const CFileStore&) = delete;

    // Opens an existing file (shared for reading) or creates a new one.
    bool OpenExisting(LPCWSTR path, bool writable);
    bool Create(LPCWSTR path);
    void Close();
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }

    uint64_t Size() override;
    bool Read(uint64_t at, void* buffer, uint32_t size) override;
    bool Write(uint64_t at, const void* data, uint32_t size) override;
    bool SetSize(uint64_t size) override;

private:
    bool Seek(uint64_t at);
    HANDLE m_file = INVALID_HANDLE_VALUE;
};

}  // namespace asf

// 1 when the file is a complete, indexed Windows Media file, 13 when it is
// marked as a broadcast, 0 when it needs repair (or cannot be read). The play
// duration in 100-ns units goes to playDuration when it could be read.
int CheckAsfFile(LPCWSTR path, ULONGLONG* playDuration);

// Cuts a damaged Windows Media file back to its last whole data packet and
// makes its header agree (cut false: fix the header, keep the length).
bool RepairAsfFile(LPCWSTR path, BOOL cut);
