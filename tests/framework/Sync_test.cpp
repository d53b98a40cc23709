#include "framework/Sync.h"
#include "framework/WinThread.h"

#include <gtest/gtest.h>

namespace {

struct Shared {
    CCriticalSection lock;
    CEvent started{ FALSE, TRUE };
    CEvent go;
    long counter = 0;
    CWinThread* seenThread = NULL;
};

UINT AFX_CDECL CountUp(LPVOID p)
{
    Shared* s = static_cast<Shared*>(p);
    for (int i = 0; i < 10000; i++) {
        CSingleLock guard(&s->lock, TRUE);
        s->counter++;
    }
    return 0;
}

UINT AFX_CDECL WaitForGo(LPVOID p)
{
    Shared* s = static_cast<Shared*>(p);
    s->seenThread = AfxGetThread();
    s->started.SetEvent();
    CSingleLock wait(&s->go);
    return wait.Lock(5000) ? 42 : 1;
}

TEST(CWinThread, SuspendedThreadWithoutAutoDelete)
{
    Shared s;
    CWinThread* t = AfxBeginThread(WaitForGo, &s, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, t);
    t->m_bAutoDelete = FALSE;
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(s.started, 100));   // still suspended
    t->ResumeThread();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(s.started, 5000));
    s.go.SetEvent();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(t->m_hThread, 5000));
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeThread(t->m_hThread, &code));
    EXPECT_EQ(42u, code);
    EXPECT_EQ(t, s.seenThread);
    EXPECT_NE(0u, t->m_nThreadID);
    delete t;
}

TEST(CCriticalSection, ThreadsCountWithoutLosingUpdates)
{
    Shared s;
    HANDLE handles[4];
    CWinThread* threads[4];
    for (int i = 0; i < 4; i++) {
        threads[i] = AfxBeginThread(CountUp, &s, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_NE(nullptr, threads[i]);
        threads[i]->m_bAutoDelete = FALSE;
        handles[i] = threads[i]->m_hThread;
    }
    for (CWinThread* t : threads)
        t->ResumeThread();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(4, handles, TRUE, 10000));
    EXPECT_EQ(40000, s.counter);
    for (CWinThread* t : threads)
        delete t;
}

UINT AFX_CDECL TryMutex(LPVOID p)
{
    CSingleLock lock(static_cast<CMutex*>(p));
    return lock.Lock(0) ? 1 : 0;
}

TEST(CMutex, HeldMutexTimesOutInAnotherThread)
{
    CMutex mutex(TRUE);                         // owned by this thread
    CWinThread* t = AfxBeginThread(TryMutex, &mutex, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, t);
    t->m_bAutoDelete = FALSE;
    t->ResumeThread();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(t->m_hThread, 5000));
    DWORD code = 99;
    ::GetExitCodeThread(t->m_hThread, &code);
    EXPECT_EQ(0u, code);
    delete t;
    EXPECT_TRUE(mutex.Unlock());
}

TEST(CEvent, ManualAndAutoReset)
{
    CEvent manual(FALSE, TRUE);
    CEvent automatic;
    manual.SetEvent();
    automatic.SetEvent();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(manual, 0));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(manual, 0));   // stays set
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(automatic, 0));
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(automatic, 0)); // reset by the wait
    manual.ResetEvent();
    CSingleLock lock(&manual);
    EXPECT_FALSE(lock.Lock(10));
    EXPECT_FALSE(lock.IsLocked());

    CEvent first, second;
    CSyncObject* objects[] = { &first, &second };
    CMultiLock multi(objects, 2);
    second.SetEvent();
    EXPECT_EQ(WAIT_OBJECT_0 + 1, multi.Lock(1000, FALSE));
    EXPECT_TRUE(multi.IsLocked(1));
    EXPECT_FALSE(multi.IsLocked(0));
}

TEST(CSemaphore, CountsDown)
{
    CSemaphore sem(2, 2);
    CSingleLock a(&sem), b(&sem), c(&sem);
    EXPECT_TRUE(a.Lock(0));
    EXPECT_TRUE(b.Lock(0));
    EXPECT_FALSE(c.Lock(0));
    a.Unlock();
    EXPECT_TRUE(c.Lock(0));
}

}  // namespace
