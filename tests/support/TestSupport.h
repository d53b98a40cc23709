#pragma once
// Helpers shared by the test executables: scratch folders and registry keys,
// paths of the source and build trees, and running host (Linux) tools such as
// ffprobe or gsf from inside a test under Wine.
#include <windows.h>
#include <string>

namespace testsupport {

// The project's source / build folder as a Windows path ("Z:\..."), from the
// environment CTest gives each test.
std::string SourceDir();
std::string BuildDir();

// A new, empty folder under the Windows temporary folder; removed with its
// contents when the object goes away.
class ScratchDir {
public:
    explicit ScratchDir(const char* tag = "vxtest");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }   // no trailing backslash
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Removes a whole folder tree; true when nothing is left.
bool RemoveTree(const std::string& path);

// A scratch registry key under HKCU, deleted (with its subkeys) when the object
// goes away.
class ScratchRegKey {
public:
    explicit ScratchRegKey(const char* subkey);
    ~ScratchRegKey();
    ScratchRegKey(const ScratchRegKey&) = delete;
    ScratchRegKey& operator=(const ScratchRegKey&) = delete;
    const std::string& SubKey() const { return m_subkey; }

private:
    std::string m_subkey;
};

// Runs a shell command on the Linux side (ffprobe, gsf, pacat...), waits for
// it, captures its standard output and error, and returns its exit code (-1
// when it could not be run). Windows paths given to the command must be
// converted first with UnixPath.
int RunHost(const std::string& shellCommand, std::string* output);

// The Unix path of a Windows path (through wine_get_unix_file_name).
std::string UnixPath(const std::string& windowsPath);

// Writes bytes to a file; true on success.
bool WriteFileBytes(const std::string& path, const void* data, size_t size);
// Reads a whole file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string* data);

}  // namespace testsupport
