// The exception family. As in MFC, exceptions are thrown as pointers to heap
// objects and the handler deletes them:
//     try { file.Open(...); ar >> x; }
//     catch (CException* e) { e->ReportError(); e->Delete(); }
// Throw with the AfxThrow... functions (or `throw new CFileException(...)`).
// The TRY/CATCH/END_CATCH macros are kept for old-style code; they delete the
// exception at the end of the handler unless THROW_LAST() re-throws it.
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"

class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    // Frees the exception unless it is a static one (the memory exception).
    void Delete();
    // Copies the text describing the error into the buffer; FALSE when none.
    virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const;
    CString GetErrorMessage() const;
    // Shows the error text in a message box (nMessageID when there is none).
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

    BOOL m_bAutoDelete;

protected:
    static BOOL CopyMessage(LPCTSTR text, LPTSTR lpszError, UINT nMaxError);
};

class CSimpleException : public CException {
    DECLARE_DYNAMIC(CSimpleException)
public:
    explicit CSimpleException(BOOL bAutoDelete = TRUE) : CException(bAutoDelete) {}
};

class CMemoryException : public CSimpleException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    explicit CMemoryException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}
    using CException::GetErrorMessage;
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const override;
};

class CNotSupportedException : public CSimpleException {
    DECLARE_DYNAMIC(CNotSupportedException)
public:
    explicit CNotSupportedException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}
    using CException::GetErrorMessage;
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const override;
};

class CInvalidArgException : public CSimpleException {
    DECLARE_DYNAMIC(CInvalidArgException)
public:
    explicit CInvalidArgException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}
    using CException::GetErrorMessage;
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const override;
};

// Thrown by AfxThrowUserException after the user has been told of the error.
class CUserException : public CSimpleException {
    DECLARE_DYNAMIC(CUserException)
public:
    explicit CUserException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}
};

class CFileException : public CException {
    DECLARE_DYNAMIC(CFileException)
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    explicit CFileException(int cause = none, LONG lOsError = -1, LPCTSTR lpszArchiveName = NULL);
    using CException::GetErrorMessage;
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const override;

    // Maps a Win32 error code (GetLastError) to a cause.
    static int AFXAPI OsErrorToException(LONG lOsError);
    static int AFXAPI ErrnoToException(int nErrno);
    static void AFXAPI ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = NULL);
    static void AFXAPI ThrowErrno(int nErrno, LPCTSTR lpszFileName = NULL);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

class CArchiveException : public CException {
    DECLARE_DYNAMIC(CArchiveException)
public:
    enum { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };

    explicit CArchiveException(int cause = none, LPCTSTR lpszArchiveName = NULL);
    using CException::GetErrorMessage;
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const override;

    int m_cause;
    CString m_strFileName;
};

// An HRESULT failure of an OLE/COM call.
class COleException : public CException {
    DECLARE_DYNAMIC(COleException)
public:
    explicit COleException(SCODE sc = E_FAIL) : m_sc(sc) {}
    using CException::GetErrorMessage;
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const override;
    static SCODE AFXAPI Process(const CException* pAnyException);

    SCODE m_sc;
};

[[noreturn]] void AFXAPI AfxThrowMemoryException();
[[noreturn]] void AFXAPI AfxThrowNotSupportedException();
[[noreturn]] void AFXAPI AfxThrowInvalidArgException();
[[noreturn]] void AFXAPI AfxThrowUserException();
[[noreturn]] void AFXAPI AfxThrowFileException(int cause, LONG lOsError = -1, LPCTSTR lpszFileName = NULL);
[[noreturn]] void AFXAPI AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName = NULL);
[[noreturn]] void AFXAPI AfxThrowOleException(SCODE sc);

// Deletes the exception of a CATCH block when the block ends.
class CAfxExceptionDeleter {
public:
    explicit CAfxExceptionDeleter(CException* e) : m_e(e) {}
    ~CAfxExceptionDeleter()
    {
        if (m_e)
            m_e->Delete();
    }
    void Release() { m_e = NULL; }

private:
    CException* m_e;
};

#define TRY try {
#define CATCH(class_name, e) } catch (class_name * e) { CAfxExceptionDeleter _afxExceptionDeleter(e); (void)e;
#define AND_CATCH(class_name, e) CATCH(class_name, e)
#define END_CATCH }
#define CATCH_ALL(e) CATCH(CException, e)
#define AND_CATCH_ALL(e) CATCH(CException, e)
#define END_CATCH_ALL }
#define THROW(e) throw e
#define THROW_LAST() do { _afxExceptionDeleter.Release(); throw; } while (0)
