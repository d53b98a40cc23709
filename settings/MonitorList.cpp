#include "settings/MonitorList.h"

#include <ddraw.h>

namespace {

typedef HRESULT(WINAPI* DirectDrawEnumerateExAFn)(LPDDENUMCALLBACKEXA, LPVOID, DWORD);
typedef BOOL(WINAPI* GetMonitorInfoAFn)(HMONITOR, LPMONITORINFO);

bool g_apisLoaded = false;
HMODULE g_ddraw = NULL;
HMODULE g_user32 = NULL;
DirectDrawEnumerateExAFn g_enumerate = NULL;
GetMonitorInfoAFn g_getMonitorInfo = NULL;

// The monitor functions exist from Windows 98 and 2000 on; they are loaded once.
void LoadMonitorApis()
{
    if (g_apisLoaded)
        return;
    g_apisLoaded = true;
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExA(&version))
        return;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion < 5)
        return;
    g_ddraw = ::LoadLibraryA("ddraw.dll");
    if (!g_ddraw)
        return;
    g_user32 = ::LoadLibraryA("user32.dll");
    if (!g_user32) {
        ::FreeLibrary(g_ddraw);
        g_ddraw = NULL;
        return;
    }
    g_enumerate = (DirectDrawEnumerateExAFn)(void*)::GetProcAddress(g_ddraw, "DirectDrawEnumerateExA");
    g_getMonitorInfo = (GetMonitorInfoAFn)(void*)::GetProcAddress(g_user32, "GetMonitorInfoA");
}

BOOL WINAPI OnDevice(GUID*, LPSTR, LPSTR, LPVOID context, HMONITOR monitor)
{
    CMonitorList* list = static_cast<CMonitorList*>(context);
    if (monitor && g_getMonitorInfo) {
        MONITORINFO info;
        memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);   // 40 bytes
        if (g_getMonitorInfo(monitor, &info))
            list->AddMonitor(info.rcMonitor);
    }
    return TRUE;
}

}  // namespace

CMonitorList::CMonitorList() : m_count(0)
{
    ::SetRectEmpty(&m_union);
}

CMonitorList::~CMonitorList()
{
    RemoveAllMonitors();
}

void CMonitorList::RemoveAllMonitors()
{
    while (!IsEmpty())
        delete static_cast<CMonitorRect*>(RemoveHead());
    m_count = 0;
    ::SetRectEmpty(&m_union);
}

void CMonitorList::AddMonitor(const RECT& rect)
{
    AddTail(new CMonitorRect(rect));
    ++m_count;
    if (rect.left < m_union.left)
        m_union.left = rect.left;
    if (rect.top < m_union.top)
        m_union.top = rect.top;
    if (rect.right > m_union.right)
        m_union.right = rect.right;
    if (rect.bottom > m_union.bottom)
        m_union.bottom = rect.bottom;
}

int CMonitorList::Enumerate()
{
    LoadMonitorApis();
    if (g_enumerate)
        g_enumerate(&OnDevice, this, DDENUM_ATTACHEDSECONDARYDEVICES);
    return m_count;
}

void BlitMonitorAreas(HDC source, HDC target, int width, int height, const CMonitorList& monitors, COLORREF fill,
                      BOOL captureLayeredWindows)
{
    RECT all = { 0, 0, width, height };
    HBRUSH brush = ::CreateSolidBrush(fill);
    ::FillRect(target, &all, brush);
    ::DeleteObject(brush);
    const DWORD rop = captureLayeredWindows ? (SRCCOPY | CAPTUREBLT) : SRCCOPY;
    for (POSITION pos = monitors.GetHeadPosition(); pos;) {
        const RECT& r = static_cast<const CMonitorRect*>(monitors.GetNext(pos))->m_rect;
        ::BitBlt(target, r.left - monitors.m_union.left, r.top - monitors.m_union.top, r.right - r.left,
                 r.bottom - r.top, source, r.left, r.top, rop);
    }
}

void FreeMonitorApis()
{
    if (g_ddraw)
        ::FreeLibrary(g_ddraw);
    if (g_user32)
        ::FreeLibrary(g_user32);
    g_ddraw = NULL;
    g_user32 = NULL;
    g_enumerate = NULL;
    g_getMonitorInfo = NULL;
    g_apisLoaded = false;
}
