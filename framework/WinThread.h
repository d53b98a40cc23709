// CWinThread: a thread object. A worker thread runs a function
// (AfxBeginThread(proc, param)); a thread class overrides InitInstance, Run and
// ExitInstance. With m_bAutoDelete (the default) the object deletes itself when
// the thread ends, so the creator must not touch it afterwards; to wait for a
// thread, start it with CREATE_SUSPENDED, clear m_bAutoDelete, ResumeThread,
// then wait on m_hThread and delete the object.
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"

class CWnd;

typedef UINT(AFX_CDECL* AFX_THREADPROC)(LPVOID);

class CWinThread : public CObject {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread();
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;

    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);

    operator HANDLE() const { return m_hThread; }
    int GetThreadPriority() { return ::GetThreadPriority(m_hThread); }
    BOOL SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }
    DWORD SuspendThread() { return ::SuspendThread(m_hThread); }
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
    BOOL PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return ::PostThreadMessageA(m_nThreadID, message, wParam, lParam);
    }

    // Thread classes: InitInstance returns FALSE to end at once (ExitInstance
    // then gives the exit code); Run runs the message loop.
    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();
    // Hooks of the message loop, for the window layer: return TRUE from
    // PreTranslateMessage when the message was handled.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual BOOL PumpMessage();
    virtual BOOL OnIdle(LONG lCount);
    virtual BOOL IsIdleMessage(MSG* pMsg);
    virtual CWnd* GetMainWnd() { return m_pMainWnd; }
    // Called when the thread ends, to delete the object when m_bAutoDelete.
    virtual void Delete();

    CWnd* m_pMainWnd;                           // owned by the window layer
    CWnd* m_pActiveWnd;
    BOOL m_bAutoDelete;
    HANDLE m_hThread;
    DWORD m_nThreadID;
    MSG m_msgCur;

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;

private:
    static unsigned __stdcall ThreadEntry(void* pParam);
    void CommonConstruct();
};

// Starts a worker thread running pfnThreadProc(pParam). Returns NULL when the
// thread cannot be created.
CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                                  int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                                  DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
// Starts a thread of a class derived from CWinThread (DECLARE_DYNCREATE).
CWinThread* AFXAPI AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority = THREAD_PRIORITY_NORMAL,
                                  UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
// Ends the calling thread at once (no stack unwinding), deleting its object
// when bDelete and m_bAutoDelete.
[[noreturn]] void AFXAPI AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);
// The thread object of the calling thread; the application on the main thread.
CWinThread* AFXAPI AfxGetThread();
// A procedure run on each CWinThread's own thread when its work is done (the
// window layer frees its per-thread state there). One procedure; NULL clears.
typedef void(AFXAPI* AFX_THREAD_TERM_PROC)();
void AFXAPI AfxSetThreadTermProc(AFX_THREAD_TERM_PROC proc);
