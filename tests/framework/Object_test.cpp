#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/Object.h"

#include <gtest/gtest.h>

class CObjBase : public CObject {
    DECLARE_DYNAMIC(CObjBase)
};
IMPLEMENT_DYNAMIC(CObjBase, CObject)

class CObjDerived : public CObjBase {
    DECLARE_DYNCREATE(CObjDerived)
};
IMPLEMENT_DYNCREATE(CObjDerived, CObjBase)

class CObjSerial : public CObjDerived {
    DECLARE_SERIAL(CObjSerial)
};
IMPLEMENT_SERIAL(CObjSerial, CObjDerived, VERSIONABLE_SCHEMA | 4)

namespace {

TEST(CRuntimeClass, NamesHierarchyAndCreation)
{
    CObjSerial serial;
    CObjBase base;
    EXPECT_STREQ("CObjSerial", serial.GetRuntimeClass()->m_lpszClassName);
    EXPECT_EQ(RUNTIME_CLASS(CObjSerial), serial.GetRuntimeClass());
    EXPECT_EQ((int)sizeof(CObjSerial), RUNTIME_CLASS(CObjSerial)->m_nObjectSize);
    EXPECT_EQ(VERSIONABLE_SCHEMA | 4, RUNTIME_CLASS(CObjSerial)->m_wSchema);
    EXPECT_EQ(0xFFFFu, RUNTIME_CLASS(CObjDerived)->m_wSchema);

    EXPECT_TRUE(serial.IsKindOf(RUNTIME_CLASS(CObjBase)));
    EXPECT_TRUE(serial.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(base.IsKindOf(RUNTIME_CLASS(CObjDerived)));
    EXPECT_TRUE(serial.IsSerializable());
    EXPECT_FALSE(base.IsSerializable());
    EXPECT_EQ(RUNTIME_CLASS(CObjDerived), RUNTIME_CLASS(CObjSerial)->GetBaseClass());

    EXPECT_EQ(nullptr, RUNTIME_CLASS(CObjBase)->CreateObject());
    CObject* created = CRuntimeClass::CreateObject("CObjDerived");
    ASSERT_NE(nullptr, created);
    EXPECT_EQ(RUNTIME_CLASS(CObjDerived), created->GetRuntimeClass());
    delete created;

    EXPECT_EQ(RUNTIME_CLASS(CObjSerial), CRuntimeClass::FromName("CObjSerial"));
    EXPECT_EQ(RUNTIME_CLASS(CFileException), CRuntimeClass::FromName("CFileException"));
    EXPECT_EQ(nullptr, CRuntimeClass::FromName("CNoSuchClass"));

    EXPECT_EQ(&serial, DYNAMIC_DOWNCAST(CObjDerived, &serial));
    EXPECT_EQ(nullptr, DYNAMIC_DOWNCAST(CObjDerived, &base));
}

TEST(CException, MessagesAndCatchMacros)
{
    CFileException fe(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, "C:\\x\\a.txt");
    CString text = fe.GetErrorMessage();
    EXPECT_NE(-1, text.Find("C:\\x\\a.txt")) << text.GetString();

    CArchiveException ae(CArchiveException::badClass, "doc.dat");
    EXPECT_NE(-1, ae.GetErrorMessage().Find("doc.dat"));

    EXPECT_EQ(CFileException::sharingViolation, CFileException::OsErrorToException(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(CFileException::badPath, CFileException::OsErrorToException(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CFileException::genericException, CFileException::OsErrorToException(12345));

    // CATCH deletes the exception when the handler ends; THROW_LAST passes it on.
    int caught = 0;
    try {
        TRY
        {
            AfxThrowArchiveException(CArchiveException::endOfFile);
        }
        CATCH(CArchiveException, e)
        {
            caught = e->m_cause;
            THROW_LAST();
        }
        END_CATCH
    } catch (CException* e) {
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CArchiveException)));
        e->Delete();
    }
    EXPECT_EQ(CArchiveException::endOfFile, caught);

    // The memory exception is static: Delete must not free it.
    for (int i = 0; i < 2; i++) {
        try {
            AfxThrowMemoryException();
        } catch (CException* e) {
            EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CMemoryException)));
            EXPECT_FALSE(e->m_bAutoDelete);
            e->Delete();
        }
    }
}

}  // namespace
