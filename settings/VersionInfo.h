#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// The version resource of one file: its file version and string values, read
// with the block's first language and code page. One thread.
class CVersionInfo {
public:
    CVersionInfo();
    ~CVersionInfo();

    // TRUE when a version block with a translation table was read.
    BOOL Load(LPCTSTR fileName);
    // "%u.%u.%u.%u", empty when nothing is loaded.
    CString GetFileVersion() const;
    CString GetFileDescription() const { return GetString("FileDescription"); }
    CString GetInternalName() const { return GetString("InternalName"); }
    CString GetOriginalFilename() const { return GetString("OriginalFilename"); }
    // A string value, with the loaded language/code page or the one given
    // (language in the high 16 bits, code page in the low ones).
    CString GetString(LPCTSTR name, DWORD translation = 0) const;
    DWORD GetTranslation() const { return m_translation; }

private:
    CVersionInfo(const CVersionInfo&) = delete;
    CVersionInfo& operator=(const CVersionInfo&) = delete;
    void Free();

    BYTE* m_block;
    DWORD m_translation;
};
