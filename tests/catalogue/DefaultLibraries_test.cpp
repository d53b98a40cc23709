#include "catalogue/DefaultLibraries.h"

#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "framework/Exceptions.h"
#include "CatalogueTestUtil.h"

#include <gtest/gtest.h>
#include <string>

using namespace cattest;

namespace {

const char* const kFiles[] = { defaultlibraries::kShapesFile, defaultlibraries::kNotesFile,
                               defaultlibraries::kLayoutsFile };

std::string Shipped(const char* name)
{
    return testsupport::SourceDir() + "\\resources\\Libraries\\" + name;
}

}  // namespace

// The shipped files hold what the writer makes now: the same items,
// renderings and (for the drawn shapes) icons. Text-note icons are drawn
// with the fonts at hand, so only their presence is compared.
TEST(DefaultLibraries, TheShippedFilesAreWhatTheWriterMakes)
{
    testsupport::ScratchDir dir("catdefault");
    ASSERT_TRUE(defaultlibraries::Write(dir.Path().c_str(), NULL));
    for (const char* name : kFiles) {
        CCataloguePropertyObject made, shipped;
        ASSERT_EQ(0, made.Open(dir.File(name).c_str())) << name;
        ASSERT_EQ(0, shipped.Open(Shipped(name).c_str())) << name;
        EXPECT_EQ(0x04000000u, shipped.m_version) << name;
        ASSERT_EQ(made.GetItemCount(), shipped.GetItemCount()) << name;
        const bool shapes = std::string(name) == defaultlibraries::kShapesFile;
        for (int i = 0; i < made.GetItemCount(); i++) {
            const CCatalogueOb* a = made.GetItem(i);
            const CCatalogueOb* b = shipped.GetItem(i);
            EXPECT_EQ(a->GetName(), b->GetName()) << name << " item " << i;
            ASSERT_EQ(a->GetRenderingCount(), b->GetRenderingCount()) << name << " item " << i;
            for (int r = 0; r < a->GetRenderingCount(); r++) {
                EXPECT_EQ(a->GetRendering(r).name, b->GetRendering(r).name) << name << " item " << i;
                EXPECT_TRUE(a->GetRendering(r).bytes == b->GetRendering(r).bytes) << name << " item " << i;
            }
            ASSERT_NE(nullptr, b->GetIconImage()) << name << " item " << i;
            ASSERT_NE(nullptr, b->GetIconMask()) << name << " item " << i;
            if (shapes) {
                ASSERT_EQ(a->GetIconMask()->GetBlockSize(), b->GetIconMask()->GetBlockSize());
                EXPECT_EQ(0, memcmp(a->GetIconMask()->GetBlock(), b->GetIconMask()->GetBlock(),
                                    b->GetIconMask()->GetBlockSize()))
                    << name << " item " << i;
            }
        }
    }
}

TEST(DefaultLibraries, TheyLieBesideTheBuiltProgram)
{
    for (const char* name : kFiles) {
        const std::string beside = testsupport::BuildDir() + "\\app\\Libraries\\" + name;
        if (::GetFileAttributesA(beside.c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "the program was not built in this build folder";
        EXPECT_EQ(FileBytes(Shipped(name)), FileBytes(beside)) << name;
    }
}
