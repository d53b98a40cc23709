// CFile (a Win32 file handle), CMemFile (a growable block of memory) and
// CStdioFile (a C runtime stream with text lines). Errors throw
// CFileException*, except Open, which reports through its return value and an
// optional exception object, as in MFC. One thread per object.
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"

#include <stdio.h>

class CFileException;

struct CFileStatus {
    FILETIME m_ctime;
    FILETIME m_mtime;
    FILETIME m_atime;
    ULONGLONG m_size;
    BYTE m_attribute;
    char m_szFullName[MAX_PATH];
};

class CFile : public CObject {
    DECLARE_DYNAMIC(CFile)
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
        osNoBuffer = 0x10000,
        osWriteThrough = 0x20000,
        osRandomAccess = 0x40000,
        osSequentialScan = 0x80000
    };
    enum Attribute { normal = 0x00, readOnly = 0x01, hidden = 0x02, system = 0x04, volume = 0x08, directory = 0x10, archive = 0x20 };
    enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };

    static const HANDLE hFileNull;

    CFile();
    explicit CFile(HANDLE hFile);
    // Opens the file or throws CFileException*.
    CFile(LPCTSTR lpszFileName, UINT nOpenFlags);
    ~CFile() override;

    operator HANDLE() const { return m_hFile; }

    virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = NULL);
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG dwNewLen);
    virtual ULONGLONG GetPosition() const;
    virtual void Flush();
    virtual void Close();
    // Closes without throwing; for clean-up after an error.
    virtual void Abort();
    virtual CFile* Duplicate() const;
    virtual void LockRange(ULONGLONG dwPos, ULONGLONG dwCount);
    virtual void UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount);

    virtual CString GetFileName() const;
    virtual CString GetFileTitle() const;
    virtual CString GetFilePath() const { return m_strFileName; }
    virtual void SetFilePath(LPCTSTR lpszNewName) { m_strFileName = lpszNewName; }
    BOOL GetStatus(CFileStatus& rStatus) const;

    static void AFXAPI Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName);
    static void AFXAPI Remove(LPCTSTR lpszFileName);
    static BOOL AFXAPI GetStatus(LPCTSTR lpszFileName, CFileStatus& rStatus);

    HANDLE m_hFile;

protected:
    BOOL m_bCloseOnDelete;
    CString m_strFileName;
};

// A file in memory. The buffer grows by nGrowBytes (0: fixed size); an
// attached buffer is only freed by the object when it may grow, matching
// MFC. Detach returns the buffer, which the caller frees with free().
class CMemFile : public CFile {
    DECLARE_DYNAMIC(CMemFile)
public:
    explicit CMemFile(UINT nGrowBytes = 1024);
    CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
    ~CMemFile() override;

    void Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
    BYTE* Detach();

    BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = NULL) override;
    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetLength() const override { return m_nFileSize; }
    void SetLength(ULONGLONG dwNewLen) override;
    ULONGLONG GetPosition() const override { return m_nPosition; }
    void Flush() override {}
    void Close() override;
    void Abort() override { Close(); }
    CFile* Duplicate() const override;
    void LockRange(ULONGLONG, ULONGLONG) override;
    void UnlockRange(ULONGLONG, ULONGLONG) override;

protected:
    void GrowFile(SIZE_T dwNewLen);
    // The buffer's memory: malloc, realloc and free here; CSharedFile keeps
    // it in global memory instead. NULL when out of memory.
    virtual BYTE* Alloc(SIZE_T nBytes);
    virtual BYTE* Realloc(BYTE* lpMem, SIZE_T nBytes);
    virtual void Free(BYTE* lpMem);

    UINT m_nGrowBytes;
    SIZE_T m_nPosition;
    SIZE_T m_nBufferSize;
    SIZE_T m_nFileSize;
    BYTE* m_lpBuffer;
    BOOL m_bAutoDelete;
};

// A C runtime stream. In text mode (the default) "\n" is written as CRLF and
// CRLF is read as "\n"; typeBinary turns the translation off.
class CStdioFile : public CFile {
    DECLARE_DYNAMIC(CStdioFile)
public:
    CStdioFile();
    explicit CStdioFile(FILE* pOpenStream);
    CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags);
    ~CStdioFile() override;

    BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = NULL) override;
    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetLength() const override;
    ULONGLONG GetPosition() const override;
    void Flush() override;
    void Close() override;
    void Abort() override;
    CFile* Duplicate() const override;
    void LockRange(ULONGLONG, ULONGLONG) override;
    void UnlockRange(ULONGLONG, ULONGLONG) override;

    // Writes the text; each "\n" becomes a line end.
    virtual void WriteString(LPCTSTR lpsz);
    // Reads up to nMax-1 characters of a line, keeping its "\n"; NULL at end of file.
    virtual LPTSTR ReadString(LPTSTR lpsz, UINT nMax);
    // Reads one line without its "\n"; FALSE at end of file.
    virtual BOOL ReadString(CString& rString);

    FILE* m_pStream;
};
