#pragma once
// The application object of the preferences tests: a CRecorderApp whose
// profile lives under a scratch registry key, which records the message boxes
// instead of showing them, and a host wrapper that records profile writes.
#include "app/RecorderApp.h"
#include "settings/PrefsHost.h"

#include "TestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace settingstest {

class TestRecorderApp : public CRecorderApp {
public:
    TestRecorderApp();
    ~TestRecorderApp() override;

    int DoMessageBox(LPCTSTR prompt, UINT type, UINT id) override;

    // HKCU-relative path of the profile key (…\Skorvale Recorder).
    std::string ProfileKeyPath() const;
    // The whole profile as .reg-style lines: "[section]" then the section's
    // values sorted by name, for every section in name order.
    std::vector<std::string> ExportProfile() const;
    // Writes a raw value into a section of the profile.
    void SetRaw(const char* section, const char* name, DWORD type, const void* data, DWORD size);
    void SetDword(const char* name, DWORD value);
    void SetString(const char* name, const char* value);

    struct Box {
        UINT id;
        UINT type;
        std::string text;
    };
    std::vector<Box> boxes;

private:
    std::string m_scratch;       // below HKCU\Software
    std::unique_ptr<testsupport::ScratchRegKey> m_key;
};

// Forwards to the application and records every profile write as "section\entry".
class RecordingHost : public IPrefsHost {
public:
    explicit RecordingHost(IPrefsHost& inner) : m_inner(inner) {}
    UINT GetProfileInt(LPCTSTR section, LPCTSTR entry, int def) override
    {
        return m_inner.GetProfileInt(section, entry, def);
    }
    CString GetProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR def) override
    {
        return m_inner.GetProfileString(section, entry, def);
    }
    BOOL WriteProfileInt(LPCTSTR section, LPCTSTR entry, int value) override
    {
        writes.push_back(std::string(section) + "\\" + entry);
        return m_inner.WriteProfileInt(section, entry, value);
    }
    BOOL WriteProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR value) override
    {
        writes.push_back(std::string(section) + "\\" + entry);
        return m_inner.WriteProfileString(section, entry, value);
    }
    HKEY CreateSectionKey(LPCTSTR section) override
    {
        writes.push_back(std::string("key:") + section);
        return m_inner.CreateSectionKey(section);
    }
    CString GetProgramFolder() override { return m_inner.GetProgramFolder(); }
    LONG GetOpenWindowCount() override { return m_inner.GetOpenWindowCount(); }

    std::vector<std::string> writes;

private:
    IPrefsHost& m_inner;
};

// .reg-style text of one value.
std::string RegValueLine(const std::string& name, DWORD type, const BYTE* data, DWORD size);
// Escapes a text as a .reg string body.
std::string RegEscape(const std::string& text);

}  // namespace settingstest
