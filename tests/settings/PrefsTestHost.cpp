#include "PrefsTestHost.h"

#include <algorithm>
#include <cstdio>

namespace settingstest {

namespace {

int g_counter = 0;

std::vector<std::string> ExportKey(HKEY key)
{
    std::vector<std::string> lines;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameLength = sizeof(name);
        BYTE data[70000];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (::RegEnumValueA(key, i, name, &nameLength, NULL, &type, data, &size) != ERROR_SUCCESS)
            break;
        lines.push_back(RegValueLine(name, type, data, size));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace

std::string RegEscape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string RegValueLine(const std::string& name, DWORD type, const BYTE* data, DWORD size)
{
    std::string line = "\"" + RegEscape(name) + "\"=";
    char buffer[32];
    switch (type) {
    case REG_DWORD: {
        DWORD v = 0;
        memcpy(&v, data, std::min<DWORD>(size, 4));
        std::snprintf(buffer, sizeof(buffer), "dword:%08lx", (unsigned long)v);
        line += buffer;
        break;
    }
    case REG_SZ: {
        std::string text(reinterpret_cast<const char*>(data), size);
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        line += "\"" + RegEscape(text) + "\"";
        break;
    }
    case REG_BINARY:
        line += "hex:";
        for (DWORD i = 0; i < size; ++i) {
            std::snprintf(buffer, sizeof(buffer), i ? ",%02x" : "%02x", data[i]);
            line += buffer;
        }
        break;
    default:
        std::snprintf(buffer, sizeof(buffer), "type%lu", (unsigned long)type);
        line += buffer;
        break;
    }
    return line;
}

TestRecorderApp::TestRecorderApp()
{
    char name[64];
    std::snprintf(name, sizeof(name), "VexcapTest\\Prefs_%lu_%d", ::GetCurrentProcessId(), ++g_counter);
    m_scratch = name;
    m_key.reset(new testsupport::ScratchRegKey(("Software\\" + m_scratch).c_str()));
    SetProfileKey(m_scratch.c_str());
}

TestRecorderApp::~TestRecorderApp() {}

int TestRecorderApp::DoMessageBox(LPCTSTR prompt, UINT type, UINT id)
{
    boxes.push_back(Box{ id, type, prompt ? prompt : "" });
    return IDOK;
}

std::string TestRecorderApp::ProfileKeyPath() const
{
    return "Software\\" + m_scratch + "\\" + m_pszProfileName;
}

std::vector<std::string> TestRecorderApp::ExportProfile() const
{
    std::vector<std::string> lines;
    HKEY profile = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, ProfileKeyPath().c_str(), 0, KEY_READ, &profile) != ERROR_SUCCESS)
        return lines;
    std::vector<std::string> sections;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof(name);
        if (::RegEnumKeyExA(profile, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        sections.push_back(name);
    }
    std::sort(sections.begin(), sections.end());
    for (const std::string& section : sections) {
        HKEY key = NULL;
        if (::RegOpenKeyExA(profile, section.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        lines.push_back("[" + section + "]");
        std::vector<std::string> values = ExportKey(key);
        lines.insert(lines.end(), values.begin(), values.end());
        ::RegCloseKey(key);
    }
    ::RegCloseKey(profile);
    return lines;
}

void TestRecorderApp::SetRaw(const char* section, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = CreateSectionKey(section);
    if (!key)
        return;
    ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(key);
}

void TestRecorderApp::SetDword(const char* name, DWORD value)
{
    SetRaw("3.0", name, REG_DWORD, &value, sizeof(value));
}

void TestRecorderApp::SetString(const char* name, const char* value)
{
    SetRaw("3.0", name, REG_SZ, value, (DWORD)strlen(value) + 1);
}

}  // namespace settingstest
