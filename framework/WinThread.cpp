#include "framework/WinThread.h"
#include "framework/Exceptions.h"
#include "framework/WinApp.h"

#include <process.h>

IMPLEMENT_DYNAMIC(CWinThread, CObject)

namespace {
thread_local CWinThread* t_pCurrentThread = NULL;
AFX_THREAD_TERM_PROC g_threadTermProc = NULL;

void RunThreadTermProc()
{
    if (g_threadTermProc != NULL)
        g_threadTermProc();
}
}  // namespace

void AFXAPI AfxSetThreadTermProc(AFX_THREAD_TERM_PROC proc)
{
    g_threadTermProc = proc;
}

CWinThread::CWinThread() : m_pfnThreadProc(NULL), m_pThreadParams(NULL)
{
    CommonConstruct();
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam)
{
    CommonConstruct();
}

void CWinThread::CommonConstruct()
{
    m_pMainWnd = NULL;
    m_pActiveWnd = NULL;
    m_bAutoDelete = TRUE;
    m_hThread = NULL;
    m_nThreadID = 0;
    memset(&m_msgCur, 0, sizeof(m_msgCur));
}

CWinThread::~CWinThread()
{
    if (m_hThread != NULL)
        ::CloseHandle(m_hThread);
    if (t_pCurrentThread == this)
        t_pCurrentThread = NULL;
}

// The thread is always created suspended, so m_hThread and m_nThreadID are
// set before it can run (and, with auto-delete, delete the object).
BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    unsigned id = 0;
    uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, this,
                                 CREATE_SUSPENDED, &id);
    if (h == 0)
        return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(h);
    m_nThreadID = id;
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        ::ResumeThread(m_hThread);
    return TRUE;
}

unsigned __stdcall CWinThread::ThreadEntry(void* pParam)
{
    CWinThread* pThread = static_cast<CWinThread*>(pParam);
    t_pCurrentThread = pThread;
    UINT nResult;
    if (pThread->m_pfnThreadProc != NULL) {
        nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    } else if (!pThread->InitInstance()) {
        nResult = (UINT)pThread->ExitInstance();
    } else {
        nResult = (UINT)pThread->Run();
    }
    RunThreadTermProc();
    t_pCurrentThread = NULL;
    pThread->Delete();
    return nResult;
}

BOOL CWinThread::InitInstance()
{
    return FALSE;
}

int CWinThread::ExitInstance()
{
    return (int)m_msgCur.wParam;
}

int CWinThread::Run()
{
    LONG lIdleCount = 0;
    for (;;) {
        while (!::PeekMessageA(&m_msgCur, NULL, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(lIdleCount++))
                break;
        }
        if (!PumpMessage())
            return ExitInstance();
        if (IsIdleMessage(&m_msgCur))
            lIdleCount = 0;
    }
}

BOOL CWinThread::PumpMessage()
{
    if (!::GetMessageA(&m_msgCur, NULL, 0, 0))
        return FALSE;
    if (!PreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageA(&m_msgCur);
    }
    return TRUE;
}

BOOL CWinThread::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWinThread::OnIdle(LONG)
{
    return FALSE;
}

BOOL CWinThread::IsIdleMessage(MSG* pMsg)
{
    return pMsg->message != WM_TIMER && pMsg->message != WM_PAINT && pMsg->message != 0x0118 /* WM_SYSTIMER */;
}

void CWinThread::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                                  UINT nStackSize, DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    if (pfnThreadProc == NULL)
        AfxThrowInvalidArgException();
    CWinThread* pThread = new CWinThread(pfnThreadProc, pParam);
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        delete pThread;
        return NULL;
    }
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        pThread->ResumeThread();
    return pThread;
}

CWinThread* AFXAPI AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority, UINT nStackSize,
                                  DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    if (pThreadClass == NULL || !pThreadClass->IsDerivedFrom(RUNTIME_CLASS(CWinThread)))
        AfxThrowInvalidArgException();
    CWinThread* pThread = static_cast<CWinThread*>(pThreadClass->CreateObject());
    if (pThread == NULL)
        AfxThrowMemoryException();
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        delete pThread;
        return NULL;
    }
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        pThread->ResumeThread();
    return pThread;
}

void AFXAPI AfxEndThread(UINT nExitCode, BOOL bDelete)
{
    CWinThread* pThread = t_pCurrentThread;
    RunThreadTermProc();
    t_pCurrentThread = NULL;
    if (pThread != NULL && bDelete)
        pThread->Delete();
    _endthreadex(nExitCode);
    for (;;) {
    }
}

CWinThread* AFXAPI AfxGetThread()
{
    if (t_pCurrentThread != NULL)
        return t_pCurrentThread;
    CWinApp* pApp = AfxGetApp();
    if (pApp != NULL && pApp->m_nThreadID == ::GetCurrentThreadId())
        return pApp;
    return NULL;
}
