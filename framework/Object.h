// CObject and its runtime-class records: class names, IsKindOf, dynamic
// creation, and the class registry that archives use to find a class by name.
//
// Declaring a class:
//   header:  class CShape : public CObject { DECLARE_SERIAL(CShape) ... };
//   source:  IMPLEMENT_SERIAL(CShape, CObject, VERSIONABLE_SCHEMA | 2)
// DECLARE_DYNAMIC/IMPLEMENT_DYNAMIC give IsKindOf only; DECLARE_DYNCREATE/
// IMPLEMENT_DYNCREATE add CreateObject (a default constructor is needed);
// DECLARE_SERIAL/IMPLEMENT_SERIAL add the schema and `ar >> pShape`.
#pragma once
#include "framework/AfxPlatform.h"

class CObject;
class CArchive;

// Schema flag: the class reads older schemas itself (through
// CArchive::GetObjectSchema) instead of rejecting them.
#define VERSIONABLE_SCHEMA (0x80000000)

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;                             // 0xFFFF for classes that are not serializable
    CObject* (AFXAPI* m_pfnCreateObject)();     // NULL for classes that are not dynamically creatable
    CRuntimeClass* (AFXAPI* m_pfnGetBaseClass)();
    CRuntimeClass* m_pNextClass;                // the registry's list

    CObject* CreateObject();
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
    CRuntimeClass* GetBaseClass() const { return m_pfnGetBaseClass ? m_pfnGetBaseClass() : NULL; }

    // Finds a registered class by name (case-sensitive), or NULL.
    static CRuntimeClass* AFXAPI FromName(LPCSTR lpszClassName);
    static CObject* AFXAPI CreateObject(LPCSTR lpszClassName);

    // The class record of an archive: WORD schema, WORD name length, name.
    void Store(CArchive& ar) const;
    static CRuntimeClass* AFXAPI Load(CArchive& ar, UINT* pwSchemaNum);
};

// Adds a class to the registry; one static instance per IMPLEMENT_ macro.
struct AFX_CLASSINIT {
    explicit AFX_CLASSINIT(CRuntimeClass* pNewClass);
};

class CObject {
public:
    virtual ~CObject() {}

    virtual CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* pClass) const;
    BOOL IsSerializable() const;
    virtual void Serialize(CArchive& ar);
    virtual void AssertValid() const {}

    static CRuntimeClass classCObject;
    static CRuntimeClass* AFXAPI GetThisClass();

protected:
    CObject() {}

private:
    // Objects are not copied implicitly, as in MFC.
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                  \
public:                                                              \
    static CRuntimeClass class##class_name;                          \
    static CRuntimeClass* AFXAPI GetThisClass();                     \
    virtual CRuntimeClass* GetRuntimeClass() const;

#define DECLARE_DYNCREATE(class_name)                                \
    DECLARE_DYNAMIC(class_name)                                      \
    static CObject* AFXAPI CreateObject();

#define DECLARE_SERIAL(class_name)                                   \
    DECLARE_DYNCREATE(class_name)                                    \
    friend CArchive& AFXAPI operator>>(CArchive& ar, class_name*& pOb);

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew)                     \
    CRuntimeClass class_name::class##class_name = {                                             \
        #class_name, (int)sizeof(class class_name), (wSchema), (pfnNew),                        \
        &base_class_name::GetThisClass, NULL };                                                 \
    static AFX_CLASSINIT _afx_init_##class_name(&class_name::class##class_name);                \
    CRuntimeClass* AFXAPI class_name::GetThisClass() { return &class_name::class##class_name; } \
    CRuntimeClass* class_name::GetRuntimeClass() const { return &class_name::class##class_name; }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, NULL)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                      \
    CObject* AFXAPI class_name::CreateObject() { return new class_name; }    \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)                                 \
    CObject* AFXAPI class_name::CreateObject() { return new class_name; }                      \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject)      \
    CArchive& AFXAPI operator>>(CArchive& ar, class_name*& pOb)                                \
    {                                                                                          \
        pOb = static_cast<class_name*>(ar.ReadObject(RUNTIME_CLASS(class_name)));              \
        return ar;                                                                             \
    }

// Casts with a run-time check, as MFC's DYNAMIC_DOWNCAST / STATIC_DOWNCAST.
CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject);
#define DYNAMIC_DOWNCAST(class_name, object) \
    (static_cast<class_name*>(AfxDynamicDownCast(RUNTIME_CLASS(class_name), (object))))
#define STATIC_DOWNCAST(class_name, object) (static_cast<class_name*>(object))
