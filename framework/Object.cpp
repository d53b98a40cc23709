#include "framework/Object.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"

namespace {
// The registry is filled by static initialisers (single-threaded) and only
// read afterwards.
CRuntimeClass* g_pFirstClass = NULL;
}  // namespace

CRuntimeClass CObject::classCObject = { "CObject", (int)sizeof(CObject), 0xFFFF, NULL, NULL, NULL };
static AFX_CLASSINIT _afx_init_CObject(&CObject::classCObject);

CRuntimeClass* AFXAPI CObject::GetThisClass()
{
    return &CObject::classCObject;
}

CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &CObject::classCObject;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const
{
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const
{
    return GetRuntimeClass()->m_wSchema != 0xFFFF;
}

void CObject::Serialize(CArchive&)
{
}

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* pNewClass)
{
    pNewClass->m_pNextClass = g_pFirstClass;
    g_pFirstClass = pNewClass;
}

CObject* CRuntimeClass::CreateObject()
{
    if (m_pfnCreateObject == NULL)
        return NULL;
    return m_pfnCreateObject();
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const
{
    for (const CRuntimeClass* p = this; p != NULL; p = p->GetBaseClass()) {
        if (p == pBaseClass)
            return TRUE;
    }
    return FALSE;
}

CRuntimeClass* AFXAPI CRuntimeClass::FromName(LPCSTR lpszClassName)
{
    if (lpszClassName == NULL)
        return NULL;
    for (CRuntimeClass* p = g_pFirstClass; p != NULL; p = p->m_pNextClass) {
        if (strcmp(p->m_lpszClassName, lpszClassName) == 0)
            return p;
    }
    return NULL;
}

CObject* AFXAPI CRuntimeClass::CreateObject(LPCSTR lpszClassName)
{
    CRuntimeClass* p = FromName(lpszClassName);
    return p ? p->CreateObject() : NULL;
}

void CRuntimeClass::Store(CArchive& ar) const
{
    WORD nLen = (WORD)strlen(m_lpszClassName);
    ar << (WORD)m_wSchema << nLen;
    ar.Write(m_lpszClassName, nLen);
}

// Reads a class record and finds the class by name. Returns NULL for a name
// that is too long or not registered; a truncated record throws endOfFile.
CRuntimeClass* AFXAPI CRuntimeClass::Load(CArchive& ar, UINT* pwSchemaNum)
{
    WORD wSchema, nLen;
    ar >> wSchema >> nLen;
    char szClassName[64];
    if (nLen >= sizeof(szClassName))
        return NULL;
    if (ar.Read(szClassName, nLen) != nLen)
        AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
    szClassName[nLen] = 0;
    if (pwSchemaNum)
        *pwSchemaNum = wSchema;
    return FromName(szClassName);
}

CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject)
{
    if (pObject != NULL && pObject->IsKindOf(pClass))
        return pObject;
    return NULL;
}
