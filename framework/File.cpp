#include "framework/File.h"
#include "framework/Exceptions.h"

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

IMPLEMENT_DYNAMIC(CFile, CObject)
IMPLEMENT_DYNAMIC(CMemFile, CFile)
IMPLEMENT_DYNAMIC(CStdioFile, CFile)

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace {
// Full path of a file name; the name itself when it cannot be resolved.
CString FullPath(LPCTSTR lpszFileName)
{
    char buf[MAX_PATH];
    LPSTR filePart = NULL;
    DWORD n = ::GetFullPathNameA(lpszFileName, MAX_PATH, buf, &filePart);
    if (n == 0 || n >= MAX_PATH)
        return CString(lpszFileName);
    return CString(buf, (int)n);
}

// Index just past the last path separator; the search steps over double-byte
// characters whose trail byte is '\\'.
int NameStart(const CString& path)
{
    int slash = path.ReverseFind('\\');
    int fwd = path.ReverseFind('/');
    int colon = path.ReverseFind(':');
    int i = slash;
    if (fwd > i)
        i = fwd;
    if (colon > i)
        i = colon;
    return i + 1;
}
}  // namespace

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}

CFile::CFile(HANDLE hFile) : m_hFile(hFile), m_bCloseOnDelete(FALSE) {}

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) : m_hFile(hFileNull), m_bCloseOnDelete(FALSE)
{
    CFileException e;
    if (!Open(lpszFileName, nOpenFlags, &e))
        AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CFile::~CFile()
{
    if (m_hFile != hFileNull && m_bCloseOnDelete)
        Abort();
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    if (m_hFile != hFileNull)
        Abort();
    if (lpszFileName == NULL || *lpszFileName == 0) {
        if (pError) {
            pError->m_cause = CFileException::badPath;
            pError->m_lOsError = ERROR_INVALID_NAME;
            pError->m_strFileName = lpszFileName;
        }
        return FALSE;
    }
    m_strFileName = FullPath(lpszFileName);

    DWORD access;
    switch (nOpenFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    default: access = GENERIC_READ; break;
    }
    DWORD share;
    switch (nOpenFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;                  // shareCompat, shareExclusive
    }
    DWORD creation = OPEN_EXISTING;
    if (nOpenFlags & modeCreate)
        creation = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (nOpenFlags & osNoBuffer)
        attributes |= FILE_FLAG_NO_BUFFERING;
    if (nOpenFlags & osWriteThrough)
        attributes |= FILE_FLAG_WRITE_THROUGH;
    if (nOpenFlags & osRandomAccess)
        attributes |= FILE_FLAG_RANDOM_ACCESS;
    if (nOpenFlags & osSequentialScan)
        attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    SECURITY_ATTRIBUTES sa = { sizeof(sa), NULL, (nOpenFlags & modeNoInherit) ? FALSE : TRUE };

    HANDLE h = ::CreateFileA(lpszFileName, access, share, &sa, creation, attributes, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = ::GetLastError();
        if (pError) {
            pError->m_lOsError = (LONG)err;
            pError->m_cause = CFileException::OsErrorToException((LONG)err);
            pError->m_strFileName = lpszFileName;
        }
        m_strFileName.Empty();
        return FALSE;
    }
    m_hFile = h;
    m_bCloseOnDelete = TRUE;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return 0;
    DWORD read = 0;
    if (!::ReadFile(m_hFile, lpBuf, nCount, &read, NULL))
        CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
    return read;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return;
    DWORD written = 0;
    if (!::WriteFile(m_hFile, lpBuf, nCount, &written, NULL))
        CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
    if (written != nCount)
        AfxThrowFileException(CFileException::diskFull, -1, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom)
{
    LONG high = (LONG)(lOff >> 32);
    DWORD low = ::SetFilePointer(m_hFile, (LONG)(lOff & 0xFFFFFFFF), &high, nFrom);
    if (low == INVALID_SET_FILE_POINTER) {
        const DWORD err = ::GetLastError();
        if (err != NO_ERROR)
            CFileException::ThrowOsError((LONG)err, m_strFileName);
    }
    return ((ULONGLONG)(DWORD)high << 32) | low;
}

ULONGLONG CFile::GetPosition() const
{
    LONG high = 0;
    DWORD low = ::SetFilePointer(m_hFile, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER) {
        const DWORD err = ::GetLastError();
        if (err != NO_ERROR)
            CFileException::ThrowOsError((LONG)err, m_strFileName);
    }
    return ((ULONGLONG)(DWORD)high << 32) | low;
}

ULONGLONG CFile::GetLength() const
{
    DWORD high = 0;
    DWORD low = ::GetFileSize(m_hFile, &high);
    if (low == INVALID_FILE_SIZE) {
        const DWORD err = ::GetLastError();
        if (err != NO_ERROR)
            CFileException::ThrowOsError((LONG)err, m_strFileName);
    }
    return ((ULONGLONG)high << 32) | low;
}

void CFile::SetLength(ULONGLONG dwNewLen)
{
    Seek((LONGLONG)dwNewLen, begin);
    if (!::SetEndOfFile(m_hFile))
        CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
}

void CFile::Flush()
{
    if (m_hFile == hFileNull)
        return;
    if (!::FlushFileBuffers(m_hFile))
        CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
}

void CFile::Close()
{
    BOOL ok = TRUE;
    DWORD err = NO_ERROR;
    if (m_hFile != hFileNull) {
        ok = ::CloseHandle(m_hFile);
        if (!ok)
            err = ::GetLastError();
    }
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    CString name = m_strFileName;
    m_strFileName.Empty();
    if (!ok)
        CFileException::ThrowOsError((LONG)err, name);
}

void CFile::Abort()
{
    if (m_hFile != hFileNull)
        ::CloseHandle(m_hFile);
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
}

CFile* CFile::Duplicate() const
{
    if (m_hFile == hFileNull)
        return NULL;
    HANDLE h;
    if (!::DuplicateHandle(::GetCurrentProcess(), m_hFile, ::GetCurrentProcess(), &h, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
    CFile* pFile = new CFile(h);
    pFile->m_bCloseOnDelete = TRUE;
    pFile->m_strFileName = m_strFileName;
    return pFile;
}

void CFile::LockRange(ULONGLONG dwPos, ULONGLONG dwCount)
{
    if (!::LockFile(m_hFile, (DWORD)dwPos, (DWORD)(dwPos >> 32), (DWORD)dwCount, (DWORD)(dwCount >> 32)))
        CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
}

void CFile::UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount)
{
    if (!::UnlockFile(m_hFile, (DWORD)dwPos, (DWORD)(dwPos >> 32), (DWORD)dwCount, (DWORD)(dwCount >> 32)))
        CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
}

CString CFile::GetFileName() const
{
    CString path = GetFilePath();
    return path.Mid(NameStart(path));
}

CString CFile::GetFileTitle() const
{
    CString name = GetFileName();
    int dot = name.ReverseFind('.');
    return dot >= 0 ? name.Left(dot) : name;
}

BOOL CFile::GetStatus(CFileStatus& rStatus) const
{
    memset(&rStatus, 0, sizeof(rStatus));
    lstrcpynA(rStatus.m_szFullName, m_strFileName, MAX_PATH);
    if (m_hFile == hFileNull)
        return FALSE;
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(m_hFile, &info))
        return FALSE;
    rStatus.m_ctime = info.ftCreationTime;
    rStatus.m_atime = info.ftLastAccessTime;
    rStatus.m_mtime = info.ftLastWriteTime;
    rStatus.m_size = ((ULONGLONG)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    rStatus.m_attribute = (BYTE)info.dwFileAttributes;
    return TRUE;
}

BOOL AFXAPI CFile::GetStatus(LPCTSTR lpszFileName, CFileStatus& rStatus)
{
    memset(&rStatus, 0, sizeof(rStatus));
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(lpszFileName, GetFileExInfoStandard, &data))
        return FALSE;
    lstrcpynA(rStatus.m_szFullName, FullPath(lpszFileName), MAX_PATH);
    rStatus.m_ctime = data.ftCreationTime;
    rStatus.m_atime = data.ftLastAccessTime;
    rStatus.m_mtime = data.ftLastWriteTime;
    rStatus.m_size = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    rStatus.m_attribute = (BYTE)data.dwFileAttributes;
    return TRUE;
}

void AFXAPI CFile::Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName)
{
    if (!::MoveFileA(lpszOldName, lpszNewName))
        CFileException::ThrowOsError((LONG)::GetLastError(), lpszOldName);
}

void AFXAPI CFile::Remove(LPCTSTR lpszFileName)
{
    if (!::DeleteFileA(lpszFileName))
        CFileException::ThrowOsError((LONG)::GetLastError(), lpszFileName);
}

// --- CMemFile -----------------------------------------------------------------------

CMemFile::CMemFile(UINT nGrowBytes)
    : m_nGrowBytes(nGrowBytes), m_nPosition(0), m_nBufferSize(0), m_nFileSize(0), m_lpBuffer(NULL),
      m_bAutoDelete(TRUE)
{
}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) : CMemFile(nGrowBytes)
{
    Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile()
{
    Close();
}

// With nGrowBytes 0 the buffer is a fixed-size file of nBufferSize bytes;
// otherwise it is empty room that may be reallocated (it must come from malloc).
void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes)
{
    Close();
    m_lpBuffer = lpBuffer;
    m_nBufferSize = nBufferSize;
    m_nGrowBytes = nGrowBytes;
    m_nFileSize = nGrowBytes == 0 ? nBufferSize : 0;
    m_nPosition = 0;
    m_bAutoDelete = nGrowBytes != 0;
}

BYTE* CMemFile::Detach()
{
    BYTE* p = m_lpBuffer;
    m_lpBuffer = NULL;
    m_nBufferSize = 0;
    m_nFileSize = 0;
    m_nPosition = 0;
    return p;
}

BOOL CMemFile::Open(LPCTSTR, UINT, CFileException*)
{
    AfxThrowNotSupportedException();
}

void CMemFile::GrowFile(SIZE_T dwNewLen)
{
    if (dwNewLen <= m_nBufferSize)
        return;
    if (m_nGrowBytes == 0)
        AfxThrowMemoryException();
    SIZE_T newSize = m_nBufferSize;
    while (newSize < dwNewLen) {
        if (newSize > ((SIZE_T)-1) - m_nGrowBytes)
            AfxThrowMemoryException();
        newSize += m_nGrowBytes;
    }
    BYTE* p = m_lpBuffer ? Realloc(m_lpBuffer, newSize) : Alloc(newSize);
    if (!p)
        AfxThrowMemoryException();
    m_lpBuffer = p;
    m_nBufferSize = newSize;
    m_bAutoDelete = TRUE;
}

BYTE* CMemFile::Alloc(SIZE_T nBytes)
{
    return static_cast<BYTE*>(malloc(nBytes));
}

BYTE* CMemFile::Realloc(BYTE* lpMem, SIZE_T nBytes)
{
    return static_cast<BYTE*>(realloc(lpMem, nBytes));
}

void CMemFile::Free(BYTE* lpMem)
{
    free(lpMem);
}

UINT CMemFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0 || m_nPosition >= m_nFileSize)
        return 0;
    SIZE_T n = m_nFileSize - m_nPosition;
    if (n > nCount)
        n = nCount;
    memcpy(lpBuf, m_lpBuffer + m_nPosition, n);
    m_nPosition += n;
    return (UINT)n;
}

void CMemFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return;
    if (m_nPosition > ((SIZE_T)-1) - nCount)
        AfxThrowFileException(CFileException::diskFull);
    SIZE_T end = m_nPosition + nCount;
    if (end > m_nBufferSize)
        GrowFile(end);
    if (m_nPosition > m_nFileSize)
        memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
    memcpy(m_lpBuffer + m_nPosition, lpBuf, nCount);
    m_nPosition = end;
    if (end > m_nFileSize)
        m_nFileSize = end;
}

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom)
{
    LONGLONG base = nFrom == begin ? 0 : (nFrom == current ? (LONGLONG)m_nPosition : (LONGLONG)m_nFileSize);
    LONGLONG pos = base + lOff;
    if (pos < 0 || (ULONGLONG)pos > (ULONGLONG)(SIZE_T)-1)
        AfxThrowFileException(CFileException::badSeek);
    m_nPosition = (SIZE_T)pos;
    return m_nPosition;
}

void CMemFile::SetLength(ULONGLONG dwNewLen)
{
    if (dwNewLen > (SIZE_T)-1)
        AfxThrowMemoryException();
    if (dwNewLen > m_nBufferSize)
        GrowFile((SIZE_T)dwNewLen);
    if (dwNewLen > m_nFileSize)
        memset(m_lpBuffer + m_nFileSize, 0, (SIZE_T)dwNewLen - m_nFileSize);
    if (dwNewLen < m_nPosition)
        m_nPosition = (SIZE_T)dwNewLen;
    m_nFileSize = (SIZE_T)dwNewLen;
}

void CMemFile::Close()
{
    if (m_lpBuffer && m_bAutoDelete)
        Free(m_lpBuffer);
    m_lpBuffer = NULL;
    m_nBufferSize = 0;
    m_nFileSize = 0;
    m_nPosition = 0;
}

CFile* CMemFile::Duplicate() const
{
    AfxThrowNotSupportedException();
}

void CMemFile::LockRange(ULONGLONG, ULONGLONG)
{
    AfxThrowNotSupportedException();
}

void CMemFile::UnlockRange(ULONGLONG, ULONGLONG)
{
    AfxThrowNotSupportedException();
}

// --- CStdioFile ---------------------------------------------------------------------

CStdioFile::CStdioFile() : m_pStream(NULL) {}

CStdioFile::CStdioFile(FILE* pOpenStream) : m_pStream(pOpenStream)
{
    if (pOpenStream)
        m_hFile = (HANDLE)_get_osfhandle(_fileno(pOpenStream));
}

CStdioFile::CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags) : m_pStream(NULL)
{
    CFileException e;
    if (!Open(lpszFileName, nOpenFlags, &e))
        AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CStdioFile::~CStdioFile()
{
    if (m_pStream && m_bCloseOnDelete)
        Abort();
}

// Opens the file through CFile::Open (for its sharing and creation flags) and
// hands the handle to the C runtime.
BOOL CStdioFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    if (m_pStream)
        Abort();
    if (!CFile::Open(lpszFileName, nOpenFlags & ~(UINT)(typeText | typeBinary), pError))
        return FALSE;

    char mode[4];
    int n = 0;
    if (nOpenFlags & modeCreate)
        mode[n++] = (nOpenFlags & modeNoTruncate) ? 'a' : 'w';
    else if (nOpenFlags & modeWrite)
        mode[n++] = 'a';
    else
        mode[n++] = 'r';
    if ((mode[0] == 'r' && (nOpenFlags & modeReadWrite)) || (mode[0] != 'r' && !(nOpenFlags & modeWrite)))
        mode[n++] = '+';
    int handleMode = _O_RDONLY;
    if (nOpenFlags & modeReadWrite)
        handleMode = _O_RDWR;
    else if (nOpenFlags & modeWrite)
        handleMode = _O_WRONLY;
    if (nOpenFlags & typeBinary) {
        mode[n++] = 'b';
        handleMode |= _O_BINARY;
    } else {
        mode[n++] = 't';
        handleMode |= _O_TEXT;
    }
    mode[n] = 0;

    int fd = _open_osfhandle((intptr_t)m_hFile, handleMode);
    if (fd != -1)
        m_pStream = _fdopen(fd, mode);
    if (m_pStream == NULL) {
        if (pError) {
            pError->m_cause = CFileException::genericException;
            pError->m_lOsError = -1;
            pError->m_strFileName = lpszFileName;
        }
        if (fd != -1)
            _close(fd);                         // closes the handle too
        else
            ::CloseHandle(m_hFile);
        m_hFile = hFileNull;
        m_bCloseOnDelete = FALSE;
        m_strFileName.Empty();
        return FALSE;
    }
    return TRUE;
}

UINT CStdioFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return 0;
    size_t n = fread(lpBuf, 1, nCount, m_pStream);
    if (n == 0 && ferror(m_pStream)) {
        clearerr(m_pStream);
        AfxThrowFileException(CFileException::genericException, _doserrno, m_strFileName);
    }
    return (UINT)n;
}

void CStdioFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount && fwrite(lpBuf, 1, nCount, m_pStream) != nCount)
        AfxThrowFileException(CFileException::genericException, _doserrno, m_strFileName);
}

void CStdioFile::WriteString(LPCTSTR lpsz)
{
    if (lpsz == NULL)
        AfxThrowInvalidArgException();
    if (fputs(lpsz, m_pStream) == EOF)
        AfxThrowFileException(CFileException::diskFull, _doserrno, m_strFileName);
}

LPTSTR CStdioFile::ReadString(LPTSTR lpsz, UINT nMax)
{
    if (lpsz == NULL || nMax == 0)
        AfxThrowInvalidArgException();
    LPTSTR r = fgets(lpsz, (int)nMax, m_pStream);
    if (r == NULL && !feof(m_pStream)) {
        clearerr(m_pStream);
        AfxThrowFileException(CFileException::genericException, _doserrno, m_strFileName);
    }
    return r;
}

BOOL CStdioFile::ReadString(CString& rString)
{
    rString.Empty();
    const int kChunk = 128;
    for (;;) {
        char buf[kChunk + 1];
        if (fgets(buf, kChunk + 1, m_pStream) == NULL) {
            if (!feof(m_pStream)) {
                clearerr(m_pStream);
                AfxThrowFileException(CFileException::genericException, _doserrno, m_strFileName);
            }
            break;
        }
        rString += buf;
        int len = rString.GetLength();
        if (len > 0 && rString[len - 1] == '\n')
            break;
    }
    int len = rString.GetLength();
    if (len > 0 && rString[len - 1] == '\n') {
        rString.Truncate(len - 1);
        return TRUE;
    }
    return len != 0;
}

ULONGLONG CStdioFile::Seek(LONGLONG lOff, UINT nFrom)
{
    int origin = nFrom == begin ? SEEK_SET : (nFrom == current ? SEEK_CUR : SEEK_END);
    if (fseeko64(m_pStream, lOff, origin) != 0)
        AfxThrowFileException(CFileException::badSeek, _doserrno, m_strFileName);
    return (ULONGLONG)ftello64(m_pStream);
}

ULONGLONG CStdioFile::GetPosition() const
{
    long long pos = ftello64(m_pStream);
    if (pos < 0)
        AfxThrowFileException(CFileException::invalidFile, _doserrno, m_strFileName);
    return (ULONGLONG)pos;
}

ULONGLONG CStdioFile::GetLength() const
{
    long long pos = ftello64(m_pStream);
    if (pos < 0 || fseeko64(m_pStream, 0, SEEK_END) != 0)
        AfxThrowFileException(CFileException::invalidFile, _doserrno, m_strFileName);
    long long len = ftello64(m_pStream);
    fseeko64(m_pStream, pos, SEEK_SET);
    return (ULONGLONG)len;
}

void CStdioFile::Flush()
{
    if (m_pStream && fflush(m_pStream) != 0)
        AfxThrowFileException(CFileException::diskFull, _doserrno, m_strFileName);
}

void CStdioFile::Close()
{
    int r = 0;
    if (m_pStream)
        r = fclose(m_pStream);                  // closes the descriptor and the handle
    m_pStream = NULL;
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    CString name = m_strFileName;
    m_strFileName.Empty();
    if (r != 0)
        AfxThrowFileException(CFileException::diskFull, _doserrno, name);
}

void CStdioFile::Abort()
{
    if (m_pStream && m_bCloseOnDelete)
        fclose(m_pStream);
    m_pStream = NULL;
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
}

CFile* CStdioFile::Duplicate() const
{
    AfxThrowNotSupportedException();
}

void CStdioFile::LockRange(ULONGLONG, ULONGLONG)
{
    AfxThrowNotSupportedException();
}

void CStdioFile::UnlockRange(ULONGLONG, ULONGLONG)
{
    AfxThrowNotSupportedException();
}
