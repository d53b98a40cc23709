#include "overlays/RandomTable.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>

#include <vector>

namespace {

struct ThreadArgs {
    RandomTable* table;
    HANDLE start;
    const uint16_t* values;
    int count;
    unsigned sum;
};

DWORD WINAPI AcquireAndRead(void* param)
{
    ThreadArgs* args = (ThreadArgs*)param;
    ::WaitForSingleObject(args->start, INFINITE);
    args->values = args->table->Acquire(20011, &args->count);
    unsigned sum = 0;
    for (int i = 0; args->values && i < args->count; ++i)
        sum += args->values[i];
    args->sum = sum;
    return 0;
}

}  // namespace

// Eight streaming threads find a fresh table empty at once: it is filled
// once, and all of them read the same values.
TEST(RandomTable, EightThreadsFillAFreshTableOnce)
{
    for (int round = 0; round < 20; ++round) {
        RandomTable table;
        HANDLE start = ::CreateEventA(NULL, TRUE, FALSE, NULL);
        ASSERT_TRUE(start != NULL);
        ThreadArgs args[8];
        HANDLE threads[8];
        for (int i = 0; i < 8; ++i) {
            args[i] = ThreadArgs{&table, start, nullptr, 0, 0};
            threads[i] = ::CreateThread(NULL, 0, AcquireAndRead, &args[i], 0, NULL);
            ASSERT_TRUE(threads[i] != NULL);
        }
        ::SetEvent(start);
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(8, threads, TRUE, 30000));
        for (HANDLE h : threads)
            ::CloseHandle(h);
        ::CloseHandle(start);
        int count = 0;
        const uint16_t* values = table.Acquire(20011, &count);
        ASSERT_EQ(20011, count);
        unsigned sum = 0;
        for (int i = 0; i < count; ++i)
            sum += values[i];
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(values, args[i].values) << "thread " << i << " round " << round;
            EXPECT_EQ(20011, args[i].count) << "thread " << i;
            EXPECT_EQ(sum, args[i].sum) << "thread " << i;
        }
    }
}

// Resize keeps a table of the same count and refills one of another count
// from rand(); Clear empties it.
TEST(RandomTable, ResizeRefillsOnlyForAnotherCount)
{
    RandomTable table;
    EXPECT_EQ(0, table.GetCount());
    srand(7);
    std::vector<uint16_t> expected;
    for (int i = 0; i < 100; ++i)
        expected.push_back((uint16_t)rand());
    srand(7);
    table.Resize(100);
    int count = 0;
    const uint16_t* values = table.Acquire(5, &count);
    ASSERT_EQ(100, count) << "Acquire does not refill a filled table";
    EXPECT_EQ(expected, std::vector<uint16_t>(values, values + count));
    srand(8);
    table.Resize(100);
    EXPECT_EQ(expected, std::vector<uint16_t>(values, values + 100)) << "same count: nothing changes";
    table.Resize(50);
    EXPECT_EQ(50, table.GetCount());
    table.Clear();
    EXPECT_EQ(0, table.GetCount());
}
