#include "settings/VersionInfo.h"

#include <stdlib.h>
#include <winver.h>

CVersionInfo::CVersionInfo() : m_block(NULL), m_translation(0) {}

CVersionInfo::~CVersionInfo()
{
    Free();
}

void CVersionInfo::Free()
{
    free(m_block);
    m_block = NULL;
    m_translation = 0;
}

BOOL CVersionInfo::Load(LPCTSTR fileName)
{
    Free();
    if (!fileName)
        return FALSE;
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(fileName, &handle);
    if (size == 0)
        return FALSE;
    m_block = static_cast<BYTE*>(malloc(size));
    if (!m_block)
        return FALSE;
    WORD* pairs = NULL;
    UINT length = 0;
    if (!::GetFileVersionInfoA(fileName, 0, size, m_block) ||
        !::VerQueryValueA(m_block, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pairs), &length) ||
        length < 4) {
        Free();
        return FALSE;
    }
    m_translation = ((DWORD)pairs[0] << 16) | pairs[1];
    return TRUE;
}

CString CVersionInfo::GetFileVersion() const
{
    CString text;
    VS_FIXEDFILEINFO* info = NULL;
    UINT length = 0;
    if (!m_block || !::VerQueryValueA(m_block, "\\", reinterpret_cast<void**>(&info), &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return text;
    text.Format("%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

CString CVersionInfo::GetString(LPCTSTR name, DWORD translation) const
{
    if (!m_block || !name)
        return CString();
    CString query;
    query.Format("\\StringFileInfo\\%08lx\\%s", (unsigned long)(translation ? translation : m_translation), name);
    char* value = NULL;
    UINT length = 0;
    if (!::VerQueryValueA(m_block, query, reinterpret_cast<void**>(&value), &length) || !value)
        return CString();
    return CString(value);
}
