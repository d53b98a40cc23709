#include "catalogue/CataloguePropertyObject.h"

#include "catalogue/CatalogueOb.h"
#include "framework/Exceptions.h"
#include "CatalogueTestUtil.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace cattest;

namespace {

const char* const kLibraryGoldens[] = {
    "empty_shapes.skoo", "empty_shapes_twice.skoo", "two_items.skoo", "two_items_renamed.skoo", "old_v22.skoo",
};

std::string CopyGolden(const testsupport::ScratchDir& dir, const std::string& name)
{
    const std::string path = dir.File(name);
    const std::string bytes = Golden(name);
    EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes.data(), bytes.size()));
    return path;
}

// Opens the file; "ok", or "refused: <cause>" for a format error that names
// the file, or "-1", or what else went wrong.
std::string TryOpen(CCataloguePropertyObject& cat, const std::string& path)
{
    try {
        return cat.Open(path.c_str()) == 0 ? "ok" : "-1";
    } catch (CArchiveException* e) {
        char full[MAX_PATH];
        ::GetFullPathNameA(path.c_str(), MAX_PATH, full, NULL);
        const bool named = e->m_strFileName == CString(full) && e->GetErrorMessage().Find(full) >= 0;
        const int cause = e->m_cause;
        e->Delete();
        return named ? "refused: " + std::to_string(cause) : "refused without the file's name";
    } catch (CException* e) {
        e->Delete();
        return "other exception";
    }
}

// The listing of the Python reader written from the format's tables.
std::string PythonListing(const std::string& path)
{
    std::string out;
    const int rc = testsupport::RunHost("python3 '" + testsupport::UnixPath(DataPath("library_reader.py")) + "' '" +
                                            testsupport::UnixPath(path) + "'",
                                        &out);
    EXPECT_EQ(0, rc) << path << ": " << out;
    return out;
}

void ExpectPythonAgrees(const std::string& path)
{
    CCataloguePropertyObject cat;
    ASSERT_EQ("ok", TryOpen(cat, path)) << path;
    EXPECT_EQ(PythonListing(path), Listing(cat)) << path;
}

}  // namespace

TEST(CatalogueFile, NewEmptyLibraryAndAnUnchangedSecondSave)
{
    testsupport::ScratchDir dir("catfile");
    CCataloguePropertyObject cat;
    EXPECT_EQ(CString("新建库"), cat.m_name);
    EXPECT_EQ(-1, cat.Save(5)) << "no path";
    cat.m_path = dir.File("new.skoo").c_str();
    ASSERT_EQ(0, cat.Save(5));
    const std::string first = FileBytes(dir.File("new.skoo"));
    EXPECT_EQ(Golden("empty_shapes.skoo"), first);
    ASSERT_EQ(82u, first.size());
    EXPECT_EQ(74, first[8]);
    EXPECT_EQ(58u, cat.GetPropertyOffset());
    ExpectPythonAgrees(dir.File("new.skoo"));

    ASSERT_EQ(0, cat.Save(5));
    const std::string second = FileBytes(dir.File("new.skoo"));
    EXPECT_EQ(Golden("empty_shapes_twice.skoo"), second);
    EXPECT_EQ(first.substr(12), second.substr(12, 70)) << "the old bytes stay";
    ExpectPythonAgrees(dir.File("new.skoo"));
}

TEST(CatalogueFile, RenamingAnItemAppendsItsNameRecordAndDirectory)
{
    testsupport::ScratchDir dir("catfile");
    CCataloguePropertyObject cat;
    FillTwoItems(cat);
    cat.m_path = dir.File("two.skoo").c_str();
    ASSERT_EQ(0, cat.Save(5));
    EXPECT_EQ(Golden("two_items.skoo"), FileBytes(dir.File("two.skoo")));
    ExpectPythonAgrees(dir.File("two.skoo"));

    const DWORD shapeRecord = cat.GetItemOffset(0);
    const DWORD noteData = cat.GetItem(1)->m_dataOffset;
    cat.GetItem(1)->SetName("Renamed");
    ASSERT_EQ(0, cat.Save(5));
    EXPECT_EQ(Golden("two_items_renamed.skoo"), FileBytes(dir.File("two.skoo")));
    EXPECT_EQ(shapeRecord, cat.GetItemOffset(0));
    EXPECT_EQ(noteData, cat.GetItem(1)->m_dataOffset);
    ExpectPythonAgrees(dir.File("two.skoo"));

    // The same edit on the library as read from the file appends the same bytes.
    const std::string path = CopyGolden(dir, "two_items.skoo");
    CCataloguePropertyObject reopened;
    ASSERT_EQ("ok", TryOpen(reopened, path));
    EXPECT_EQ(CString("two_items"), reopened.m_name);
    reopened.GetItem(1)->SetName("Renamed");
    ASSERT_EQ(0, reopened.Save(5));
    EXPECT_EQ(Golden("two_items_renamed.skoo"), FileBytes(path));
}

TEST(CatalogueFile, TheSixthSaveAfterAWholeWriteIsWholeAgain)
{
    testsupport::ScratchDir dir("catfile");
    CCataloguePropertyObject cat;
    cat.m_path = dir.File("six.skoo").c_str();
    // The first save writes the file whole, the next five append a
    // directory each, the sixth after the whole write compacts.
    const size_t expected[] = { 82, 90, 98, 106, 114, 122, 82, 90 };
    for (size_t i = 0; i < sizeof(expected) / sizeof(expected[0]); i++) {
        ASSERT_EQ(0, cat.Save(5)) << "save " << i + 1;
        EXPECT_EQ(expected[i], FileBytes(dir.File("six.skoo")).size()) << "save " << i + 1;
    }
    EXPECT_EQ(Golden("empty_shapes_twice.skoo"), FileBytes(dir.File("six.skoo")));
    // Save as writes whole at once.
    ASSERT_EQ(0, cat.SaveTo(dir.File("copy.skoo").c_str()));
    EXPECT_EQ(Golden("empty_shapes.skoo"), FileBytes(dir.File("copy.skoo")));
}

TEST(CatalogueFile, AnOlderVersionLibraryOpensAndIsNeverWritten)
{
    testsupport::ScratchDir dir("catfile");
    const std::string path = CopyGolden(dir, "old_v22.skoo");
    CCataloguePropertyObject cat;
    ASSERT_EQ("ok", TryOpen(cat, path));
    EXPECT_EQ(0x02020000u, cat.m_version);
    ASSERT_EQ(1, cat.GetItemCount());
    EXPECT_EQ(CString("Old shape"), cat.GetItem(0)->GetName());
    cat.GetItem(0)->SetName("changed");
    EXPECT_EQ(0, cat.Save(5));
    EXPECT_EQ(Golden("old_v22.skoo"), FileBytes(path)) << "left byte for byte";
    EXPECT_EQ(-1, cat.SaveTo(dir.File("elsewhere.skoo").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(dir.File("elsewhere.skoo").c_str()));
    EXPECT_EQ(CString(path.c_str()), cat.m_path);
}

TEST(CatalogueFile, OpenReadsEveryGoldenAsThePythonReaderDoes)
{
    testsupport::ScratchDir dir("catfile");
    for (const char* name : kLibraryGoldens)
        ExpectPythonAgrees(CopyGolden(dir, name));
    // The libraries shipped beside the program.
    for (const char* name : { "我的形状.skoo", "我的文字便条.skot", "编排.skol" })
        ExpectPythonAgrees(testsupport::SourceDir() + "\\resources\\Libraries\\" + name);
}

TEST(CatalogueFile, OpenAnswersMinusOneForAMissingFileAndKeepsTheReadOnlyFlag)
{
    testsupport::ScratchDir dir("catfile");
    CCataloguePropertyObject cat;
    EXPECT_EQ("-1", TryOpen(cat, dir.File("missing.skoo")));
    const std::string path = CopyGolden(dir, "two_items.skoo");
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ("ok", TryOpen(cat, path));
    EXPECT_TRUE(cat.m_readOnly);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(CatalogueFile, ItemEditsKeepOrClearTheRightOffsets)
{
    testsupport::ScratchDir dir("catfile");
    const std::string path = CopyGolden(dir, "two_items.skoo");
    CCataloguePropertyObject cat;
    ASSERT_EQ("ok", TryOpen(cat, path));
    const DWORD first = cat.GetItemOffset(0), second = cat.GetItemOffset(1);
    cat.MoveItem(0, 1);
    EXPECT_EQ(second, cat.GetItemOffset(0));
    EXPECT_EQ(first, cat.GetItemOffset(1));
    cat.InsertItem(1, MakeNoteItem());
    EXPECT_EQ(0u, cat.GetItemOffset(1));
    cat.DeleteItem(0);
    ASSERT_EQ(2, cat.GetItemCount());
    CCatalogueOb* shape = cat.GetItem(1);
    const DWORD image = shape->m_imageOffset;
    shape->AddNamedRendering("Extra", "e", 1);
    EXPECT_EQ(0u, shape->m_dataOffset);
    EXPECT_EQ(image, shape->m_imageOffset);
    ASSERT_EQ(0, cat.Save(5));
    CCataloguePropertyObject back;
    ASSERT_EQ("ok", TryOpen(back, path));
    EXPECT_EQ(Listing(cat), Listing(back));
    ExpectPythonAgrees(path);
}

// A save appends only to the library as this catalogue last read or wrote
// it: a file changed behind its back is rewritten whole, never extended.
TEST(CatalogueFile, AFileChangedElsewhereIsWrittenWholeNotAppendedTo)
{
    testsupport::ScratchDir dir("catfile");
    const std::string path = CopyGolden(dir, "two_items.skoo");
    CCataloguePropertyObject cat;
    ASSERT_EQ("ok", TryOpen(cat, path));
    const std::string other = Golden("empty_shapes.skoo");
    ASSERT_TRUE(testsupport::WriteFileBytes(path, other.data(), other.size()));
    cat.GetItem(1)->SetName("Renamed");
    ASSERT_EQ(0, cat.Save(5));
    CCataloguePropertyObject back;
    ASSERT_EQ("ok", TryOpen(back, path));
    EXPECT_EQ(Listing(cat), Listing(back));
    EXPECT_EQ(0, cat.m_savesSinceCompaction);
}

TEST(CatalogueFile, AFailedSaveLeavesTheFileAndTheOffsetsAsTheyWere)
{
    testsupport::ScratchDir dir("catfile");
    struct Case {
        const char* what;
        int maxIncremental;
    } cases[] = { { "appending", 5 }, { "whole", 0 } };
    for (const Case& c : cases) {
        const std::string path = CopyGolden(dir, "two_items.skoo");
        CCataloguePropertyObject cat;
        ASSERT_EQ("ok", TryOpen(cat, path));
        cat.GetItem(0)->SetName("New name");
        const std::string before = Listing(cat);
        for (int failAt = 0; failAt < 3; failAt++) {
            static int s_failAt;
            s_failAt = failAt;
            CCataloguePropertyObject::s_afterWriteStep = [](int step) {
                if (step == s_failAt)
                    AfxThrowFileException(CFileException::diskFull);
            };
            EXPECT_EQ(-1, cat.Save(c.maxIncremental)) << c.what << " step " << failAt;
            CCataloguePropertyObject::s_afterWriteStep = NULL;
            EXPECT_EQ(before, Listing(cat)) << c.what << " step " << failAt;
            // Before the directory word (or the move into place) the file is
            // the old library; a failure after it leaves the new one.
            CCataloguePropertyObject old;
            ASSERT_EQ("ok", TryOpen(old, path)) << c.what << " step " << failAt;
            if (failAt < 2) {
                EXPECT_EQ(CString("形状-1"), old.GetItem(0)->GetName()) << c.what << " step " << failAt;
            }
        }
        ASSERT_EQ(0, cat.Save(c.maxIncremental)) << c.what;
        CCataloguePropertyObject back;
        ASSERT_EQ("ok", TryOpen(back, path));
        EXPECT_EQ(Listing(cat), Listing(back)) << c.what;
        ExpectPythonAgrees(path);
    }
    // A file that cannot be created.
    CCataloguePropertyObject cat;
    cat.m_path = dir.File("no such folder\\x.skoo").c_str();
    EXPECT_EQ(-1, cat.Save(5));
    EXPECT_EQ(0u, cat.GetPropertyOffset());
}

// Hand-made faults, each at one field of the format, on the two-item golden.
TEST(CatalogueFile, MalformedLibrariesAreRefusedByNameAndChangeNothing)
{
    const std::string good = Golden("two_items.skoo");
    auto with = [&](size_t at, DWORD value) {
        std::string bytes = good;
        memcpy(&bytes[at], &value, 4);
        return bytes;
    };
    DWORD dir, firstRecord, dataPart;
    memcpy(&dir, &good[8], 4);
    memcpy(&firstRecord, &good[dir + 4], 4);
    memcpy(&dataPart, &good[firstRecord + 12], 4);
    const DWORD secondRecord = *(const DWORD*)&good[dir + 8];
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        { "empty file", "" },
        { "short header", good.substr(0, 11) },
        { "wrong magic", with(0, 0x44504354) },
        { "unknown version", with(4, 0x03000000) },
        { "directory past the end", with(8, (DWORD)good.size()) },
        { "directory inside the header", with(8, 4) },
        { "directory offset 0xFFFFFFFF", with(8, 0xFFFFFFFF) },
        { "count 0", with(dir, 0) },
        { "count past the end", with(dir, 0xFFFFFFFF) },
        { "record past the end", with(dir + 4, (DWORD)good.size() - 8) },
        { "record in the header", with(dir + 4, 0) },
        { "two entries share a record", with(dir + 8, firstRecord) },
        { "part offset 0", with(firstRecord, 0) },
        { "part past the end", with(firstRecord + 12, (DWORD)good.size()) },
        { "two records share a part", with(secondRecord + 12, dataPart) },
        { "part points into the directory", with(firstRecord, dir) },
        { "format count past the end", with(dataPart, 0xFFFFFFFF) },
    };
    testsupport::ScratchDir scratch("catbad");
    const std::string goodPath = CopyGolden(scratch, "two_items.skoo");
    CCataloguePropertyObject cat;
    ASSERT_EQ("ok", TryOpen(cat, goodPath));
    const std::string listing = Listing(cat);
    for (const Case& c : cases) {
        const std::string path = scratch.File("bad.skoo");
        ASSERT_TRUE(testsupport::WriteFileBytes(path, c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(0u, TryOpen(cat, path).find("refused: ")) << c.what;
        EXPECT_EQ(listing, Listing(cat)) << c.what << ": the open page stays";
        EXPECT_EQ(c.bytes, FileBytes(path)) << c.what << ": the file stays";
        EXPECT_EQ(CString(goodPath.c_str()), cat.m_path) << c.what;
    }
    // Sizes that add up to more than the file holds.
    std::string big = good;
    const size_t sizesAt = dataPart + 2 + 4 + 2 + 16 + 2;   // formats, names ("Skorvale Format"), count
    ASSERT_EQ(3u, *(const DWORD*)&big[sizesAt]);
    memcpy(&big[sizesAt], "\xff\xff\xff\xff", 4);
    ASSERT_TRUE(testsupport::WriteFileBytes(scratch.File("big.skoo"), big.data(), big.size()));
    EXPECT_EQ("refused: 3", TryOpen(cat, scratch.File("big.skoo")));
}

// Every truncation of the goldens and 2,000 mutated files: each one opens or
// is refused with a format error naming it; none changes the file or the
// page that was open.
TEST(CatalogueFile, BoundedFuzzingOfOpen)
{
    testsupport::ScratchDir scratch("catfuzz");
    const std::string path = scratch.File("fuzz.skoo");
    CCataloguePropertyObject cat;
    ASSERT_EQ("ok", TryOpen(cat, CopyGolden(scratch, "two_items.skoo")));
    std::string listing = Listing(cat);
    int opened = 0, refused = 0;
    auto check = [&](const std::string& bytes, const std::string& what) {
        ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes.data(), bytes.size()));
        const std::string result = TryOpen(cat, path);
        if (result == "ok") {
            opened++;
            listing = Listing(cat);
        } else {
            refused++;
            ASSERT_EQ(0u, result.find("refused: ")) << what << ": " << result;
            ASSERT_EQ(listing, Listing(cat)) << what;
        }
        ASSERT_EQ(bytes, FileBytes(path)) << what;
    };
    std::vector<std::string> goldens;
    for (const char* name : kLibraryGoldens)
        goldens.push_back(Golden(name));
    for (size_t g = 0; g < goldens.size(); g++) {
        for (size_t len = 0; len < goldens[g].size(); len++)
            check(goldens[g].substr(0, len), std::string(kLibraryGoldens[g]) + " cut at " + std::to_string(len));
    }
    const DWORD special[] = { 0, 0xFFFFFFFF, 0x7FFFFFFF, 12, 0xFFFF };
    unsigned seed = 12345;
    auto next = [&]() { return seed = seed * 1103515245u + 12345u, (seed >> 8); };
    for (int i = 0; i < 2000; i++) {
        std::string bytes = goldens[next() % goldens.size()];
        const int edits = 1 + next() % 3;
        for (int e = 0; e < edits; e++) {
            const size_t at = next() % bytes.size();
            switch (next() % 3) {
            case 0: bytes[at] ^= (char)(1 << (next() % 8)); break;
            case 1: {
                // A 32-bit field (count, offset or size) at an aligned place.
                const size_t field = at & ~(size_t)3;
                DWORD v = special[next() % 5];
                if (v == 12)
                    v = (DWORD)bytes.size() + next() % 8 - 4;
                if (field + 4 <= bytes.size())
                    memcpy(&bytes[field], &v, 4);
                break;
            }
            default: bytes[at] = (char)next(); break;
            }
        }
        check(bytes, "mutation " + std::to_string(i));
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(refused, 1000);
    EXPECT_GT(opened, 10);
}
