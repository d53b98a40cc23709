#include "TestSupport.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace testsupport {

namespace {

// The Windows form of a Unix path: Wine maps the Unix root to drive Z:.
std::string WindowsPathOf(const char* unixPath)
{
    std::string out = "Z:";
    for (const char* p = unixPath; *p; ++p)
        out += (*p == '/') ? '\\' : *p;
    return out;
}

std::string EnvPath(const char* name)
{
    const char* v = std::getenv(name);
    return v ? WindowsPathOf(v) : std::string();
}

}  // namespace

std::string SourceDir() { return EnvPath("VEXCAP_SOURCE_DIR"); }
std::string BuildDir() { return EnvPath("VEXCAP_BUILD_DIR"); }

ScratchDir::ScratchDir(const char* tag)
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    for (unsigned n = ::GetTickCount();; ++n) {
        char name[MAX_PATH];
        std::snprintf(name, sizeof(name), "%s%s_%lu_%x", temp, tag,
                      ::GetCurrentProcessId(), n);
        if (::CreateDirectoryA(name, nullptr)) {
            m_path = name;
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return;
    }
}

ScratchDir::~ScratchDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
    return ::RemoveDirectoryA(path.c_str()) || ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

ScratchRegKey::ScratchRegKey(const char* subkey) : m_subkey(subkey)
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, m_subkey.c_str());
}

ScratchRegKey::~ScratchRegKey()
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, m_subkey.c_str());
}

std::string UnixPath(const std::string& windowsPath)
{
    typedef char* (CDECL * GetUnixName)(LPCWSTR);
    static GetUnixName getUnixName = reinterpret_cast<GetUnixName>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!getUnixName)
        return std::string();
    int n = ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(n > 0 ? n : 1);
    ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), n);
    char* unixName = getUnixName(wide.data());
    if (!unixName)
        return std::string();
    std::string out = unixName;
    ::HeapFree(::GetProcessHeap(), 0, unixName);
    return out;
}

// Wine cannot start a Unix program itself: the test runner's host runner
// (tools/host-runner.sh) watches a spool folder, runs each "<id>.cmd" shell
// script it finds and leaves "<id>.out" and "<id>.rc" beside it.
int RunHost(const std::string& shellCommand, std::string* output)
{
    const char* spool = std::getenv("VEXCAP_HOST_SPOOL");
    if (!spool)
        return -1;
    static LONG counter = 0;
    char id[64];
    std::snprintf(id, sizeof(id), "\\%lu_%ld", ::GetCurrentProcessId(),
                  ::InterlockedIncrement(&counter));
    const std::string base = WindowsPathOf(spool) + id;
    const std::string tmp = base + ".tmp";
    if (!WriteFileBytes(tmp, shellCommand.data(), shellCommand.size()))
        return -1;
    if (!::MoveFileA(tmp.c_str(), (base + ".cmd").c_str()))
        return -1;
    std::string rc;
    for (int waited = 0; waited < 330000; waited += 10) {
        if (ReadFileBytes(base + ".rc", &rc) && !rc.empty())
            break;
        ::Sleep(10);
    }
    if (rc.empty())
        return -1;
    if (output)
        ReadFileBytes(base + ".out", output);
    ::DeleteFileA((base + ".rc").c_str());
    ::DeleteFileA((base + ".out").c_str());
    return std::atoi(rc.c_str());
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool ReadFileBytes(const std::string& path, std::string* data)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    data->clear();
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0)
        data->append(chunk, n);
    std::fclose(f);
    return true;
}

}  // namespace testsupport
