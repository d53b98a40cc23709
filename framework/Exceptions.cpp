#include "framework/Exceptions.h"
#include "framework/WinApp.h"

#include <errno.h>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CSimpleException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CSimpleException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CSimpleException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CSimpleException)
IMPLEMENT_DYNAMIC(CUserException, CSimpleException)
IMPLEMENT_DYNAMIC(CFileException, CException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)
IMPLEMENT_DYNAMIC(COleException, CException)

void CException::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

BOOL CException::CopyMessage(LPCTSTR text, LPTSTR lpszError, UINT nMaxError)
{
    if (lpszError == NULL || nMaxError == 0)
        return FALSE;
    lstrcpynA(lpszError, text, (int)nMaxError);
    return TRUE;
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    if (lpszError && nMaxError)
        *lpszError = 0;
    return FALSE;
}

CString CException::GetErrorMessage() const
{
    CString s;
    const int kMax = 1024;
    if (!GetErrorMessage(s.GetBuffer(kMax), kMax + 1))
        s.GetBuffer()[0] = 0;
    s.ReleaseBuffer();
    return s;
}

int CException::ReportError(UINT nType, UINT nMessageID)
{
    CString text = GetErrorMessage();
    if (!text.IsEmpty())
        return AfxMessageBox(text, nType);
    if (nMessageID != 0)
        return AfxMessageBox(nMessageID, nType);
    return AfxMessageBox("发生了未知错误。", nType);
}

BOOL CMemoryException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    return CopyMessage("内存不足。", lpszError, nMaxError);
}

BOOL CNotSupportedException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    return CopyMessage("不支持的操作。", lpszError, nMaxError);
}

BOOL CInvalidArgException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    return CopyMessage("参数无效。", lpszError, nMaxError);
}

// --- CFileException --------------------------------------------------------------

CFileException::CFileException(int cause, LONG lOsError, LPCTSTR lpszArchiveName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszArchiveName)
{
}

BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    static const char* const kTexts[] = {
        "访问 %1 时没有发生错误。",
        "访问 %1 时发生意外错误。",
        "找不到 %1。",
        "%1 包含无效的路径。",
        "无法打开 %1，因为打开的文件太多。",
        "拒绝访问 %1。",
        "使用了无效的文件句柄访问 %1。",
        "无法删除 %1，因为它是当前目录。",
        "无法创建 %1，因为目录已满。",
        "在 %1 上查找失败。",
        "访问 %1 时发生硬件输入/输出错误。",
        "访问 %1 时发生共享冲突。",
        "访问 %1 时发生锁定冲突。",
        "磁盘已满，无法写入 %1。",
        "试图访问超出 %1 结尾的数据。",
    };
    if (pnHelpContext)
        *pnHelpContext = 0;
    int cause = (m_cause >= 0 && m_cause < (int)_countof(kTexts)) ? m_cause : genericException;
    CString name = m_strFileName.IsEmpty() ? CString("未命名文件") : m_strFileName;
    CString text;
    text.FormatMessage(kTexts[cause], name);
    return CopyMessage(text, lpszError, nMaxError);
}

int AFXAPI CFileException::OsErrorToException(LONG lOsError)
{
    switch (lOsError) {
    case NO_ERROR: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_CANNOT_MAKE: return accessDenied;
    case ERROR_INVALID_HANDLE:
    case ERROR_INVALID_ACCESS: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_NO_MORE_FILES: return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE: return badSeek;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY: return hardIO;
    case ERROR_SHARING_VIOLATION:
    case ERROR_SHARING_BUFFER_EXCEEDED: return sharingViolation;
    case ERROR_LOCK_VIOLATION:
    case ERROR_LOCK_FAILED:
    case ERROR_DRIVE_LOCKED: return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return genericException;
    }
}

int AFXAPI CFileException::ErrnoToException(int nErrno)
{
    switch (nErrno) {
    case EPERM:
    case EACCES: return accessDenied;
    case EBADF: return invalidFile;
    case EDEADLOCK: return sharingViolation;
    case EMFILE: return tooManyOpenFiles;
    case ENOENT:
    case ENFILE: return fileNotFound;
    case ENOSPC: return diskFull;
    case EINVAL:
    case EIO: return hardIO;
    default: return genericException;
    }
}

void AFXAPI CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName)
{
    if (lOsError != 0)
        AfxThrowFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

void AFXAPI CFileException::ThrowErrno(int nErrno, LPCTSTR lpszFileName)
{
    if (nErrno != 0)
        AfxThrowFileException(ErrnoToException(nErrno), _doserrno, lpszFileName);
}

// --- CArchiveException ------------------------------------------------------------

CArchiveException::CArchiveException(int cause, LPCTSTR lpszArchiveName)
    : m_cause(cause), m_strFileName(lpszArchiveName)
{
}

BOOL CArchiveException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    static const char* const kTexts[] = {
        "读写 %1 时没有发生错误。",
        "读写 %1 时发生意外错误。",
        "试图写入只读的 %1。",
        "读取 %1 时意外遇到文件结尾。",
        "试图从只写的 %1 读取。",
        "%1 的格式不正确（无效的对象索引）。",
        "%1 包含意外的对象类型。",
        "%1 包含不兼容的版本。",
    };
    if (pnHelpContext)
        *pnHelpContext = 0;
    int cause = (m_cause >= 0 && m_cause < (int)_countof(kTexts)) ? m_cause : genericException;
    CString name = m_strFileName.IsEmpty() ? CString("未命名文件") : m_strFileName;
    CString text;
    text.FormatMessage(kTexts[cause], name);
    return CopyMessage(text, lpszError, nMaxError);
}

// --- COleException ------------------------------------------------------------------

BOOL COleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    char* text = NULL;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               NULL, (DWORD)m_sc, 0, reinterpret_cast<LPSTR>(&text), 0, NULL);
    CString s;
    if (n && text)
        s = text;
    else
        s.Format("OLE 错误 0x%08lX。", (unsigned long)m_sc);
    if (text)
        ::LocalFree(text);
    return CopyMessage(s, lpszError, nMaxError);
}

SCODE AFXAPI COleException::Process(const CException* pAnyException)
{
    if (pAnyException == NULL)
        return E_UNEXPECTED;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(COleException)))
        return static_cast<const COleException*>(pAnyException)->m_sc;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(CMemoryException)))
        return E_OUTOFMEMORY;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(CNotSupportedException)))
        return E_NOTIMPL;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(CInvalidArgException)))
        return E_INVALIDARG;
    return E_UNEXPECTED;
}

// --- Throwing ---------------------------------------------------------------------------

// The memory exception is a static object: throwing it needs no allocation,
// and its Delete() does nothing.
void AFXAPI AfxThrowMemoryException()
{
    static CMemoryException s_memoryException(FALSE);
    throw &s_memoryException;
}

void AFXAPI AfxThrowNotSupportedException()
{
    throw new CNotSupportedException;
}

void AFXAPI AfxThrowInvalidArgException()
{
    throw new CInvalidArgException;
}

void AFXAPI AfxThrowUserException()
{
    throw new CUserException;
}

void AFXAPI AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName)
{
    throw new CFileException(cause, lOsError, lpszFileName);
}

void AFXAPI AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName)
{
    throw new CArchiveException(cause, lpszArchiveName);
}

void AFXAPI AfxThrowOleException(SCODE sc)
{
    throw new COleException(sc);
}
