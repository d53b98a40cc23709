// Tests with a second process: a save that is cut short (the process ends
// after any write, or another process kills it) leaves a library that opens
// as the old or the new one; separate starts draw separate ids.
#include "catalogue/CataloguePropertyObject.h"

#include "catalogue/CatalogueOb.h"
#include "framework/Exceptions.h"
#include "CatalogueTestUtil.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace cattest;

namespace {

std::string ChildPath()
{
    char path[MAX_PATH];
    ::GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1) + "catalogue_save_child.exe";
}

HANDLE StartChild(const std::string& args)
{
    std::string command = "\"" + ChildPath() + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return NULL;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

DWORD RunChild(const std::string& args)
{
    HANDLE process = StartChild(args);
    if (!process)
        return 0xFFFFFFFF;
    ::WaitForSingleObject(process, 60000);
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return code;
}

// The names of the items of the library at the path, or "" when it does
// not open.
std::set<std::string> ItemNames(const std::string& path, int* count = nullptr)
{
    CCataloguePropertyObject cat;
    try {
        if (cat.Open(path.c_str()) != 0)
            return {};
    } catch (CException* e) {
        e->Delete();
        return {};
    }
    std::set<std::string> names;
    for (int i = 0; i < cat.GetItemCount(); i++)
        names.insert(cat.GetItem(i)->GetName().GetString());
    if (count)
        *count = cat.GetItemCount();
    return names;
}

}  // namespace

TEST(CatalogueCrash, EndingTheProcessAfterEveryWriteLeavesOldOrNew)
{
    testsupport::ScratchDir dir("catcrash");
    const std::string path = dir.File("lib.skoo");
    const std::set<std::string> oldNames = { "形状-1", "Note" };
    const std::set<std::string> newNames = { "after" };
    for (int whole = 0; whole < 2; whole++) {
        bool finished = false;
        int stoppedAt = 0;
        for (int k = 0; k < 20 && !finished; k++) {
            const std::string golden = Golden("two_items.skoo");
            ASSERT_TRUE(testsupport::WriteFileBytes(path, golden.data(), golden.size()));
            const DWORD code = RunChild("step \"" + path + "\" " + std::to_string(k) + " " + std::to_string(whole));
            ASSERT_TRUE(code == 3 || code == 0) << "whole " << whole << " step " << k << ": exit " << code;
            finished = code == 0;
            stoppedAt += code == 3;
            const std::set<std::string> names = ItemNames(path);
            EXPECT_TRUE(names == oldNames || names == newNames) << "whole " << whole << " step " << k;
            if (finished) {
                EXPECT_EQ(newNames, names) << "whole " << whole;
            }
        }
        EXPECT_TRUE(finished);
        EXPECT_GE(stoppedAt, 3) << "whole " << whole << ": the save has several write steps";
    }
}

TEST(CatalogueCrash, KillingASavingProcessAtTwentyMomentsLeavesOldOrNew)
{
    testsupport::ScratchDir dir("catkill");
    const std::string path = dir.File("big.skoo");
    {
        CCataloguePropertyObject cat;
        for (int i = 0; i < 200; i++) {
            CCatalogueOb* item = MakeNoteItem();
            item->SetName("gen-0");
            cat.InsertItem(i, item);
        }
        cat.m_path = path.c_str();
        ASSERT_EQ(0, cat.Save(5));
    }
    std::set<std::string> seen;
    for (int moment = 0; moment < 20; moment++) {
        const std::string eventName = "catkill_ready_" + std::to_string(::GetCurrentProcessId()) + "_" +
                                      std::to_string(moment);
        HANDLE ready = ::CreateEventA(NULL, TRUE, FALSE, eventName.c_str());
        HANDLE child = StartChild("loop \"" + path + "\" " + eventName);
        ASSERT_NE(nullptr, child);
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready, 30000)) << "moment " << moment;
        ::Sleep(3 + moment * 7);
        ::TerminateProcess(child, 9);
        ::WaitForSingleObject(child, 30000);
        ::CloseHandle(child);
        ::CloseHandle(ready);
        int count = 0;
        const std::set<std::string> names = ItemNames(path, &count);
        ASSERT_EQ(1u, names.size()) << "moment " << moment << ": one generation, opening";
        EXPECT_EQ(200, count) << "moment " << moment;
        seen.insert(*names.begin());
    }
    EXPECT_GT(seen.size(), 2u) << "the kills came while saves ran";
}

// Two programs started in the same second draw different ids: the
// generator is seeded with more than the time in seconds.
TEST(CatalogueCrash, TwoStartsInOneSecondDrawDifferentIds)
{
    std::set<DWORD> ids;
    for (int round = 0; round < 3; round++) {
        HANDLE a = StartChild("newid");
        HANDLE b = StartChild("newid");
        ASSERT_NE(nullptr, a);
        ASSERT_NE(nullptr, b);
        ::WaitForSingleObject(a, 30000);
        ::WaitForSingleObject(b, 30000);
        DWORD idA = 0, idB = 0;
        ::GetExitCodeProcess(a, &idA);
        ::GetExitCodeProcess(b, &idB);
        ::CloseHandle(a);
        ::CloseHandle(b);
        EXPECT_NE(idA, idB) << "round " << round;
        ids.insert(idA);
        ids.insert(idB);
    }
    EXPECT_EQ(6u, ids.size());
}
