#include "settings/GdiplusInitGuard.h"

#include <stdio.h>

extern "C" {
// The flat start-up functions of gdiplus.dll (the C++ headers are not used:
// they need the min/max macros this program switches off).
int WINAPI GdiplusStartup(ULONG_PTR* token, const void* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
}

CGdiplusInitGuard::CGdiplusInitGuard(bool ownsShutdown)
    : m_mapping(NULL), m_startedHere(0), m_ownsShutdown(ownsShutdown ? 1 : 0), m_token(0), m_useCount(0)
{
    m_input.version = 1;
    m_input.debugCallback = NULL;
    m_input.suppressBackgroundThread = FALSE;
    m_input.suppressExternalCodecs = FALSE;
}

CGdiplusInitGuard::~CGdiplusInitGuard()
{
    Release();
}

void CGdiplusInitGuard::MarkerName(char* name, size_t size, DWORD processId)
{
    snprintf(name, size, "GDIPlusInitID=%lx", (unsigned long)processId);
}

void CGdiplusInitGuard::Start()
{
    if (!m_startedHere) {
        char name[64];
        MarkerName(name, sizeof(name), ::GetCurrentProcessId());
        HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE | SEC_COMMIT, 0, 4, name);
        const DWORD error = ::GetLastError();
        if (mapping && error != ERROR_ALREADY_EXISTS) {
            m_mapping = mapping;
            m_startedHere = 1;
            ::GdiplusStartup(&m_token, &m_input, NULL);
        } else if (mapping) {
            ::CloseHandle(mapping);   // another guard of this process owns GDI+
        }
    }
    ++m_useCount;
}

void CGdiplusInitGuard::Release()
{
    if (!m_ownsShutdown || m_useCount <= 0)
        return;
    if (--m_useCount > 0 || !m_startedHere)
        return;
    ::GdiplusShutdown(m_token);
    m_token = 0;
    ::CloseHandle(m_mapping);
    m_mapping = NULL;
    m_startedHere = 0;
}
