#include "framework/Sync.h"
#include "framework/Exceptions.h"

IMPLEMENT_DYNAMIC(CSyncObject, CObject)
IMPLEMENT_DYNAMIC(CCriticalSection, CSyncObject)
IMPLEMENT_DYNAMIC(CMutex, CSyncObject)
IMPLEMENT_DYNAMIC(CEvent, CSyncObject)
IMPLEMENT_DYNAMIC(CSemaphore, CSyncObject)

CSyncObject::CSyncObject(LPCTSTR) : m_hObject(NULL) {}

CSyncObject::~CSyncObject()
{
    if (m_hObject != NULL)
        ::CloseHandle(m_hObject);
}

BOOL CSyncObject::Lock(DWORD dwTimeout)
{
    DWORD r = ::WaitForSingleObject(m_hObject, dwTimeout);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

CCriticalSection::CCriticalSection() : CSyncObject(NULL)
{
    ::InitializeCriticalSection(&m_sect);
}

CCriticalSection::~CCriticalSection()
{
    ::DeleteCriticalSection(&m_sect);
}

BOOL CCriticalSection::Lock()
{
    ::EnterCriticalSection(&m_sect);
    return TRUE;
}

BOOL CCriticalSection::Lock(DWORD)
{
    return Lock();
}

BOOL CCriticalSection::Unlock()
{
    ::LeaveCriticalSection(&m_sect);
    return TRUE;
}

// A named mutex that already exists is opened, as CreateMutex does; failure to
// create one throws a CResourceException in MFC, a CMemoryException here.
CMutex::CMutex(BOOL bInitiallyOwn, LPCTSTR lpszName, LPSECURITY_ATTRIBUTES lpsaAttribute) : CSyncObject(lpszName)
{
    m_hObject = ::CreateMutexA(lpsaAttribute, bInitiallyOwn, lpszName);
    if (m_hObject == NULL)
        AfxThrowMemoryException();
}

BOOL CMutex::Unlock()
{
    return ::ReleaseMutex(m_hObject);
}

CEvent::CEvent(BOOL bInitiallyOwn, BOOL bManualReset, LPCTSTR lpszName, LPSECURITY_ATTRIBUTES lpsaAttribute)
    : CSyncObject(lpszName)
{
    m_hObject = ::CreateEventA(lpsaAttribute, bManualReset, bInitiallyOwn, lpszName);
    if (m_hObject == NULL)
        AfxThrowMemoryException();
}

CSemaphore::CSemaphore(LONG lInitialCount, LONG lMaxCount, LPCTSTR pstrName, LPSECURITY_ATTRIBUTES lpsaAttributes)
    : CSyncObject(pstrName)
{
    if (lMaxCount <= 0 || lInitialCount < 0 || lInitialCount > lMaxCount)
        AfxThrowInvalidArgException();
    m_hObject = ::CreateSemaphoreA(lpsaAttributes, lInitialCount, lMaxCount, pstrName);
    if (m_hObject == NULL)
        AfxThrowMemoryException();
}

BOOL CSemaphore::Unlock(LONG lCount, LPLONG lprevCount)
{
    return ::ReleaseSemaphore(m_hObject, lCount, lprevCount);
}

// --- CSingleLock ------------------------------------------------------------------------

CSingleLock::CSingleLock(CSyncObject* pObject, BOOL bInitialLock)
    : m_pObject(pObject), m_hObject(pObject ? pObject->m_hObject : NULL), m_bAcquired(FALSE)
{
    if (pObject == NULL)
        AfxThrowInvalidArgException();
    if (bInitialLock)
        Lock();
}

BOOL CSingleLock::Lock(DWORD dwTimeOut)
{
    if (m_bAcquired)
        return TRUE;
    m_bAcquired = m_pObject->Lock(dwTimeOut);
    return m_bAcquired;
}

BOOL CSingleLock::Unlock()
{
    if (m_bAcquired)
        m_bAcquired = !m_pObject->Unlock();
    return !m_bAcquired;
}

BOOL CSingleLock::Unlock(LONG lCount, LPLONG lPrevCount)
{
    if (m_bAcquired)
        m_bAcquired = !m_pObject->Unlock(lCount, lPrevCount);
    return !m_bAcquired;
}

// --- CMultiLock ---------------------------------------------------------------------------

CMultiLock::CMultiLock(CSyncObject* ppObjects[], DWORD dwCount, BOOL bInitialLock)
    : m_ppObjectArray(NULL), m_pHandleArray(NULL), m_bLockedArray(NULL), m_dwCount(dwCount)
{
    if (ppObjects == NULL || dwCount == 0 || dwCount > MAXIMUM_WAIT_OBJECTS)
        AfxThrowInvalidArgException();
    for (DWORD i = 0; i < dwCount; i++) {
        if (ppObjects[i] == NULL || ppObjects[i]->IsKindOf(RUNTIME_CLASS(CCriticalSection)))
            AfxThrowInvalidArgException();
    }
    m_ppObjectArray = ppObjects;
    m_pHandleArray = new HANDLE[dwCount];
    m_bLockedArray = new BOOL[dwCount];
    for (DWORD i = 0; i < dwCount; i++) {
        m_pHandleArray[i] = ppObjects[i]->m_hObject;
        m_bLockedArray[i] = FALSE;
    }
    if (bInitialLock)
        Lock();
}

CMultiLock::~CMultiLock()
{
    Unlock();
    delete[] m_pHandleArray;
    delete[] m_bLockedArray;
}

DWORD CMultiLock::Lock(DWORD dwTimeOut, BOOL bWaitForAll, DWORD dwWakeMask)
{
    DWORD r;
    if (dwWakeMask == 0)
        r = ::WaitForMultipleObjects(m_dwCount, m_pHandleArray, bWaitForAll, dwTimeOut);
    else
        r = ::MsgWaitForMultipleObjects(m_dwCount, m_pHandleArray, bWaitForAll, dwTimeOut, dwWakeMask);
    DWORD nSignaled = WAIT_OBJECT_0 + m_dwCount;
    DWORD nAbandoned = WAIT_ABANDONED_0 + m_dwCount;
    if (r < nSignaled) {
        if (bWaitForAll) {
            for (DWORD i = 0; i < m_dwCount; i++)
                m_bLockedArray[i] = TRUE;
        } else {
            m_bLockedArray[r - WAIT_OBJECT_0] = TRUE;
        }
    } else if (r >= WAIT_ABANDONED_0 && r < nAbandoned) {
        m_bLockedArray[r - WAIT_ABANDONED_0] = TRUE;
    }
    return r;
}

BOOL CMultiLock::Unlock()
{
    for (DWORD i = 0; i < m_dwCount; i++) {
        if (m_bLockedArray[i])
            m_bLockedArray[i] = !m_ppObjectArray[i]->Unlock();
    }
    return TRUE;
}

BOOL CMultiLock::Unlock(LONG lCount, LPLONG lPrevCount)
{
    BOOL ok = TRUE;
    for (DWORD i = 0; i < m_dwCount; i++) {
        if (m_bLockedArray[i]) {
            m_bLockedArray[i] = !m_ppObjectArray[i]->Unlock(lCount, lPrevCount);
            ok = ok && !m_bLockedArray[i];
        }
    }
    return ok;
}

BOOL CMultiLock::IsLocked(DWORD dwItem)
{
    if (dwItem >= m_dwCount)
        AfxThrowInvalidArgException();
    return m_bLockedArray[dwItem];
}
