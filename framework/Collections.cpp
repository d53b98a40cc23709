#include "framework/Collections.h"

IMPLEMENT_SERIAL(CStringArray, CObject, 0)
IMPLEMENT_SERIAL(CDWordArray, CObject, 0)
IMPLEMENT_DYNAMIC(CUIntArray, CObject)
IMPLEMENT_SERIAL(CWordArray, CObject, 0)
IMPLEMENT_SERIAL(CByteArray, CObject, 0)
IMPLEMENT_DYNAMIC(CPtrArray, CObject)
IMPLEMENT_SERIAL(CObArray, CObject, 0)
IMPLEMENT_SERIAL(CStringList, CObject, 0)
IMPLEMENT_DYNAMIC(CPtrList, CObject)
IMPLEMENT_SERIAL(CObList, CObject, 0)
IMPLEMENT_DYNAMIC(CMapStringToPtr, CObject)
IMPLEMENT_SERIAL(CMapStringToString, CObject, 0)
IMPLEMENT_SERIAL(CMapStringToOb, CObject, 0)
IMPLEMENT_DYNAMIC(CMapPtrToPtr, CObject)
IMPLEMENT_DYNAMIC(CMapWordToPtr, CObject)
IMPLEMENT_DYNAMIC(CMapPtrToWord, CObject)

// Raw pointers have no archive form.
void CPtrArray::Serialize(CArchive&)
{
    AfxThrowNotSupportedException();
}

void CPtrList::Serialize(CArchive&)
{
    AfxThrowNotSupportedException();
}

void CMapStringToPtr::Serialize(CArchive&)
{
    AfxThrowNotSupportedException();
}

void CMapPtrToPtr::Serialize(CArchive&)
{
    AfxThrowNotSupportedException();
}

void CMapWordToPtr::Serialize(CArchive&)
{
    AfxThrowNotSupportedException();
}

void CMapPtrToWord::Serialize(CArchive&)
{
    AfxThrowNotSupportedException();
}

// Objects are read one at a time (no block sized from the stored count).
void CObArray::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteCount((DWORD_PTR)m_nSize);
        for (INT_PTR i = 0; i < m_nSize; i++)
            ar << m_pData[i];
        return;
    }
    DWORD_PTR nCount = ar.ReadCount();
    RemoveAll();
    while (nCount--)
        Add(ar.ReadObject(NULL));
}

void CObList::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteCount((DWORD_PTR)m_nCount);
        for (CNode* p = m_pNodeHead; p != NULL; p = p->pNext)
            ar << p->data;
        return;
    }
    DWORD_PTR nCount = ar.ReadCount();
    while (nCount--)
        AddTail(ar.ReadObject(NULL));
}

void CMapStringToOb::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteCount((DWORD_PTR)m_nCount);
        for (POSITION pos = GetStartPosition(); pos != NULL;) {
            CString key;
            CObject* value;
            GetNextAssoc(pos, key, value);
            ar << key;
            ar << value;
        }
        return;
    }
    DWORD_PTR nCount = ar.ReadCount();
    while (nCount--) {
        CString key;
        CObject* value;
        ar >> key;
        ar >> value;
        SetAt(key, value);
    }
}
