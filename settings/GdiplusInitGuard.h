#pragma once
#include "framework/AfxPlatform.h"

// Starts GDI+ once per process, however many modules or objects ask for it,
// and shuts it down with its last user. A named mapping holding the process id
// marks the process-wide owner: a second guard finds it and leaves GDI+ to the
// first. The application holds one as a static object (with shutdown owned).
// Main thread.
class CGdiplusInitGuard {
public:
    explicit CGdiplusInitGuard(bool ownsShutdown = true);
    virtual ~CGdiplusInitGuard();

    // Starts GDI+ unless this guard or another one of the process did; counts a use.
    void Start();
    // Gives back one use; the last use of the guard that started GDI+ shuts it down.
    void Release();

    bool IsStartedHere() const { return m_startedHere != 0; }
    LONG GetUseCount() const { return m_useCount; }

    // The marker's name for a process: "GDIPlusInitID=<process id in hex>".
    static void MarkerName(char* name, size_t size, DWORD processId);

private:
    CGdiplusInitGuard(const CGdiplusInitGuard&) = delete;
    CGdiplusInitGuard& operator=(const CGdiplusInitGuard&) = delete;

    struct StartupInput {
        UINT32 version;
        void* debugCallback;
        BOOL suppressBackgroundThread;
        BOOL suppressExternalCodecs;
    };

    HANDLE m_mapping;
    BYTE m_startedHere;
    BYTE m_ownsShutdown;
    ULONG_PTR m_token;
    StartupInput m_input;
    LONG m_useCount;
};
