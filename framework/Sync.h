// Synchronisation objects with MFC's interface: critical section, mutex,
// event and semaphore, and the CSingleLock / CMultiLock helpers that lock them.
// Each object may be shared between threads; a lock helper belongs to one.
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"

class CSyncObject : public CObject {
    DECLARE_DYNAMIC(CSyncObject)
public:
    explicit CSyncObject(LPCTSTR pstrName);
    ~CSyncObject() override;

    operator HANDLE() const { return m_hObject; }
    virtual BOOL Lock(DWORD dwTimeout = INFINITE);
    virtual BOOL Unlock() = 0;
    virtual BOOL Unlock(LONG, LPLONG = NULL) { return TRUE; }

    HANDLE m_hObject;

private:
    CSyncObject(const CSyncObject&) = delete;
    CSyncObject& operator=(const CSyncObject&) = delete;
};

class CCriticalSection : public CSyncObject {
    DECLARE_DYNAMIC(CCriticalSection)
public:
    CCriticalSection();
    ~CCriticalSection() override;

    operator CRITICAL_SECTION*() { return &m_sect; }
    BOOL Lock();
    // A critical section cannot time out; any timeout waits for it.
    BOOL Lock(DWORD dwTimeout) override;
    BOOL Unlock() override;

    CRITICAL_SECTION m_sect;
};

class CMutex : public CSyncObject {
    DECLARE_DYNAMIC(CMutex)
public:
    explicit CMutex(BOOL bInitiallyOwn = FALSE, LPCTSTR lpszName = NULL, LPSECURITY_ATTRIBUTES lpsaAttribute = NULL);
    BOOL Unlock() override;
};

class CEvent : public CSyncObject {
    DECLARE_DYNAMIC(CEvent)
public:
    explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE, LPCTSTR lpszName = NULL,
                    LPSECURITY_ATTRIBUTES lpsaAttribute = NULL);
    BOOL SetEvent() { return ::SetEvent(m_hObject); }
    BOOL PulseEvent() { return ::PulseEvent(m_hObject); }
    BOOL ResetEvent() { return ::ResetEvent(m_hObject); }
    BOOL Unlock() override { return TRUE; }
};

class CSemaphore : public CSyncObject {
    DECLARE_DYNAMIC(CSemaphore)
public:
    explicit CSemaphore(LONG lInitialCount = 1, LONG lMaxCount = 1, LPCTSTR pstrName = NULL,
                        LPSECURITY_ATTRIBUTES lpsaAttributes = NULL);
    BOOL Unlock() override { return Unlock(1, NULL); }
    BOOL Unlock(LONG lCount, LPLONG lprevCount = NULL) override;
};

// Locks one object, and unlocks it when destroyed if still locked.
class CSingleLock {
public:
    explicit CSingleLock(CSyncObject* pObject, BOOL bInitialLock = FALSE);
    ~CSingleLock() { Unlock(); }

    BOOL Lock(DWORD dwTimeOut = INFINITE);
    BOOL Unlock();
    BOOL Unlock(LONG lCount, LPLONG lPrevCount = NULL);
    BOOL IsLocked() { return m_bAcquired; }

private:
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    CSyncObject* m_pObject;
    HANDLE m_hObject;
    BOOL m_bAcquired;
};

// Waits on several kernel objects (not critical sections) at once.
class CMultiLock {
public:
    CMultiLock(CSyncObject* ppObjects[], DWORD dwCount, BOOL bInitialLock = FALSE);
    ~CMultiLock();

    // Returns the WaitForMultipleObjects result (WAIT_OBJECT_0 + i, WAIT_TIMEOUT...).
    DWORD Lock(DWORD dwTimeOut = INFINITE, BOOL bWaitForAll = TRUE, DWORD dwWakeMask = 0);
    BOOL Unlock();
    BOOL Unlock(LONG lCount, LPLONG lPrevCount = NULL);
    BOOL IsLocked(DWORD dwItem);

private:
    CMultiLock(const CMultiLock&) = delete;
    CMultiLock& operator=(const CMultiLock&) = delete;

    CSyncObject** m_ppObjectArray;
    HANDLE* m_pHandleArray;
    BOOL* m_bLockedArray;
    DWORD m_dwCount;
};
