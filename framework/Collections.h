// MFC's collection templates (CArray, CList, CMap), the typed collections
// built on them (CStringArray, CObList, CMapStringToPtr, ...) and the typed
// pointer wrappers (CTypedPtrArray, CTypedPtrList, CTypedPtrMap).
//
// Sizes and indexes are INT_PTR; an index outside the collection throws
// CInvalidArgException*. Collections own their elements, not what pointer
// elements point to. One thread per collection (no internal locking).
//
// Serialization follows MFC's format: a count (CArchive::WriteCount) and the
// elements. Elements go through SerializeElements<TYPE>: bitwise for plain
// data, CString one by one; specialise it for other element types.
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/String.h"

#include <new>
#include <type_traits>
#include <utility>

struct __POSITION {};
typedef __POSITION* POSITION;
#define BEFORE_START_POSITION ((POSITION)-1L)

// --- Element helpers ----------------------------------------------------------------

template <class TYPE> void AFXAPI SerializeElements(CArchive& ar, TYPE* pElements, INT_PTR nCount)
{
    if constexpr (std::is_trivially_copyable<TYPE>::value) {
        // Bitwise, in pieces that keep the byte count within a UINT.
        const INT_PTR kPiece = (INT_PTR)(0x40000000 / sizeof(TYPE)) + 1;
        while (nCount > 0) {
            INT_PTR n = nCount < kPiece ? nCount : kPiece;
            UINT bytes = (UINT)(n * sizeof(TYPE));
            if (ar.IsStoring()) {
                ar.Write(pElements, bytes);
            } else if (ar.Read(pElements, bytes) != bytes) {
                AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
            }
            pElements += n;
            nCount -= n;
        }
    } else {
        // No bitwise image of this type: specialise SerializeElements for it.
        (void)ar;
        (void)pElements;
        if (nCount > 0)
            AfxThrowNotSupportedException();
    }
}

template <> inline void AFXAPI SerializeElements<CString>(CArchive& ar, CString* pElements, INT_PTR nCount)
{
    for (INT_PTR i = 0; i < nCount; i++) {
        if (ar.IsStoring())
            ar << pElements[i];
        else
            ar >> pElements[i];
    }
}

template <> inline void AFXAPI SerializeElements<CStringW>(CArchive& ar, CStringW* pElements, INT_PTR nCount)
{
    for (INT_PTR i = 0; i < nCount; i++) {
        if (ar.IsStoring())
            ar << pElements[i];
        else
            ar >> pElements[i];
    }
}

template <class TYPE, class ARG_TYPE> BOOL AFXAPI CompareElements(const TYPE* pElement1, const ARG_TYPE* pElement2)
{
    return *pElement1 == *pElement2;
}

template <class ARG_KEY> UINT AFXAPI HashKey(ARG_KEY key)
{
    typedef typename std::decay<ARG_KEY>::type K;
    if constexpr (std::is_pointer<K>::value) {
        return (UINT)(((DWORD_PTR)key) >> 4);
    } else if constexpr (std::is_integral<K>::value || std::is_enum<K>::value) {
        ULONGLONG v = (ULONGLONG)key;
        return (UINT)(v ^ (v >> 32));
    } else {
        static_assert(std::is_pointer<K>::value, "specialise HashKey<ARG_KEY> for this key type");
        return 0;
    }
}

namespace AfxDetail {
template <typename X> inline UINT HashString(const X* key)
{
    UINT nHash = 0;
    if (key) {
        while (*key)
            nHash = (nHash << 5) + nHash + (UINT)(typename std::make_unsigned<X>::type)*key++;
    }
    return nHash;
}
}  // namespace AfxDetail

template <> inline UINT AFXAPI HashKey<LPCSTR>(LPCSTR key) { return AfxDetail::HashString(key); }
template <> inline UINT AFXAPI HashKey<LPSTR>(LPSTR key) { return AfxDetail::HashString(key); }
template <> inline UINT AFXAPI HashKey<LPCWSTR>(LPCWSTR key) { return AfxDetail::HashString(key); }
template <> inline UINT AFXAPI HashKey<LPWSTR>(LPWSTR key) { return AfxDetail::HashString(key); }
template <> inline UINT AFXAPI HashKey<const CString&>(const CString& key) { return AfxDetail::HashString(key.GetString()); }
template <> inline UINT AFXAPI HashKey<CString>(CString key) { return AfxDetail::HashString(key.GetString()); }
template <> inline UINT AFXAPI HashKey<const CStringW&>(const CStringW& key) { return AfxDetail::HashString(key.GetString()); }
template <> inline UINT AFXAPI HashKey<CStringW>(CStringW key) { return AfxDetail::HashString(key.GetString()); }

// --- CArray ---------------------------------------------------------------------------------

template <class TYPE, class ARG_TYPE = const TYPE&> class CArray : public CObject {
public:
    CArray() : m_pData(NULL), m_nSize(0), m_nMaxSize(0), m_nGrowBy(-1) {}
    ~CArray() override { Free(); }

    INT_PTR GetSize() const { return m_nSize; }
    INT_PTR GetCount() const { return m_nSize; }
    BOOL IsEmpty() const { return m_nSize == 0; }
    INT_PTR GetUpperBound() const { return m_nSize - 1; }

    // Grows by nGrowBy elements at a time (-1: a size-dependent step).
    void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1);
    void FreeExtra();
    void RemoveAll() { SetSize(0, -1); }

    const TYPE& GetAt(INT_PTR nIndex) const { return m_pData[Check(nIndex)]; }
    TYPE& GetAt(INT_PTR nIndex) { return m_pData[Check(nIndex)]; }
    void SetAt(INT_PTR nIndex, ARG_TYPE newElement) { m_pData[Check(nIndex)] = newElement; }
    const TYPE& ElementAt(INT_PTR nIndex) const { return m_pData[Check(nIndex)]; }
    TYPE& ElementAt(INT_PTR nIndex) { return m_pData[Check(nIndex)]; }
    const TYPE& operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }
    const TYPE* GetData() const { return m_pData; }
    TYPE* GetData() { return m_pData; }

    void SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement);
    INT_PTR Add(ARG_TYPE newElement)
    {
        INT_PTR nIndex = m_nSize;
        SetAtGrow(nIndex, newElement);
        return nIndex;
    }
    INT_PTR Append(const CArray& src);
    void Copy(const CArray& src);
    void InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount = 1);
    void InsertAt(INT_PTR nStartIndex, CArray* pNewArray);
    void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1);

    void Serialize(CArchive& ar) override;

protected:
    INT_PTR Check(INT_PTR nIndex) const
    {
        if (nIndex < 0 || nIndex >= m_nSize)
            AfxThrowInvalidArgException();
        return nIndex;
    }
    void Reallocate(INT_PTR nNewMax);
    void Free();

    TYPE* m_pData;
    INT_PTR m_nSize;
    INT_PTR m_nMaxSize;
    INT_PTR m_nGrowBy;
};

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::Free()
{
    for (INT_PTR i = 0; i < m_nSize; i++)
        m_pData[i].~TYPE();
    ::operator delete(m_pData);
    m_pData = NULL;
    m_nSize = m_nMaxSize = 0;
}

// Moves the elements into a new block of nNewMax elements.
template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::Reallocate(INT_PTR nNewMax)
{
    if (nNewMax < 0 || (size_t)nNewMax > ((size_t)INT_MAX) / sizeof(TYPE))
        AfxThrowMemoryException();
    TYPE* pNew = NULL;
    if (nNewMax > 0) {
        pNew = static_cast<TYPE*>(::operator new((size_t)nNewMax * sizeof(TYPE), std::nothrow));
        if (pNew == NULL)
            AfxThrowMemoryException();
    }
    for (INT_PTR i = 0; i < m_nSize; i++) {
        ::new (static_cast<void*>(pNew + i)) TYPE(std::move(m_pData[i]));
        m_pData[i].~TYPE();
    }
    ::operator delete(m_pData);
    m_pData = pNew;
    m_nMaxSize = nNewMax;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::SetSize(INT_PTR nNewSize, INT_PTR nGrowBy)
{
    if (nNewSize < 0)
        AfxThrowInvalidArgException();
    if (nGrowBy >= 0)
        m_nGrowBy = nGrowBy;
    if (nNewSize == 0) {
        Free();
        return;
    }
    if (nNewSize > m_nMaxSize) {
        INT_PTR grow = m_nGrowBy;
        if (grow <= 0) {
            grow = m_nSize / 8;
            grow = grow < 4 ? 4 : (grow > 1024 ? 1024 : grow);
        }
        INT_PTR nNewMax = m_nMaxSize + grow;
        if (nNewMax < nNewSize)
            nNewMax = nNewSize;
        if (m_pData == NULL)
            nNewMax = nNewSize;
        Reallocate(nNewMax);
    }
    for (INT_PTR i = m_nSize; i < nNewSize; i++)
        ::new (static_cast<void*>(m_pData + i)) TYPE();
    for (INT_PTR i = nNewSize; i < m_nSize; i++)
        m_pData[i].~TYPE();
    m_nSize = nNewSize;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::FreeExtra()
{
    if (m_nSize != m_nMaxSize)
        Reallocate(m_nSize);
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement)
{
    if (nIndex < 0)
        AfxThrowInvalidArgException();
    if (nIndex >= m_nSize) {
        // newElement may refer to an element of this array: copy it first.
        TYPE copy(newElement);
        SetSize(nIndex + 1, -1);
        m_pData[nIndex] = std::move(copy);
    } else {
        m_pData[nIndex] = newElement;
    }
}

template <class TYPE, class ARG_TYPE> INT_PTR CArray<TYPE, ARG_TYPE>::Append(const CArray& src)
{
    if (this == &src)
        AfxThrowInvalidArgException();
    INT_PTR nOldSize = m_nSize;
    SetSize(m_nSize + src.m_nSize);
    for (INT_PTR i = 0; i < src.m_nSize; i++)
        m_pData[nOldSize + i] = src.m_pData[i];
    return nOldSize;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::Copy(const CArray& src)
{
    if (this == &src)
        return;
    SetSize(src.m_nSize);
    for (INT_PTR i = 0; i < src.m_nSize; i++)
        m_pData[i] = src.m_pData[i];
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount)
{
    if (nIndex < 0 || nCount <= 0) {
        if (nIndex < 0 || nCount < 0)
            AfxThrowInvalidArgException();
        return;
    }
    TYPE copy(newElement);
    if (nIndex >= m_nSize) {
        SetSize(nIndex + nCount, -1);
    } else {
        INT_PTR nOldSize = m_nSize;
        SetSize(m_nSize + nCount, -1);
        for (INT_PTR i = nOldSize - 1; i >= nIndex; i--)
            m_pData[i + nCount] = std::move(m_pData[i]);
    }
    for (INT_PTR i = 0; i < nCount; i++)
        m_pData[nIndex + i] = copy;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::InsertAt(INT_PTR nStartIndex, CArray* pNewArray)
{
    if (pNewArray == NULL || pNewArray == this || nStartIndex < 0)
        AfxThrowInvalidArgException();
    if (pNewArray->GetSize() > 0) {
        InsertAt(nStartIndex, pNewArray->GetAt(0), pNewArray->GetSize());
        for (INT_PTR i = 0; i < pNewArray->GetSize(); i++)
            SetAt(nStartIndex + i, pNewArray->GetAt(i));
    }
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::RemoveAt(INT_PTR nIndex, INT_PTR nCount)
{
    if (nIndex < 0 || nCount < 0 || nIndex + nCount > m_nSize)
        AfxThrowInvalidArgException();
    for (INT_PTR i = nIndex + nCount; i < m_nSize; i++)
        m_pData[i - nCount] = std::move(m_pData[i]);
    for (INT_PTR i = m_nSize - nCount; i < m_nSize; i++)
        m_pData[i].~TYPE();
    m_nSize -= nCount;
}

// Elements are read in pieces, so a corrupt count meets the end of the
// archive before it can demand a huge block.
template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteCount((DWORD_PTR)m_nSize);
        SerializeElements<TYPE>(ar, m_pData, m_nSize);
        return;
    }
    DWORD_PTR nCount = ar.ReadCount();
    if (nCount > (DWORD_PTR)INT_MAX)
        AfxThrowArchiveException(CArchiveException::genericException, ar.m_strFileName);
    RemoveAll();
    const INT_PTR kPiece = 4096;
    INT_PTR done = 0;
    while (done < (INT_PTR)nCount) {
        INT_PTR n = (INT_PTR)nCount - done < kPiece ? (INT_PTR)nCount - done : kPiece;
        SetSize(done + n);
        SerializeElements<TYPE>(ar, m_pData + done, n);
        done += n;
    }
}

// --- CList ---------------------------------------------------------------------------------

template <class TYPE, class ARG_TYPE = const TYPE&> class CList : public CObject {
protected:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        TYPE data;
    };

public:
    explicit CList(INT_PTR nBlockSize = 10) : m_pNodeHead(NULL), m_pNodeTail(NULL), m_nCount(0)
    {
        (void)nBlockSize;
    }
    ~CList() override { RemoveAll(); }

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    TYPE& GetHead() { return NonEmpty(m_pNodeHead)->data; }
    const TYPE& GetHead() const { return NonEmpty(m_pNodeHead)->data; }
    TYPE& GetTail() { return NonEmpty(m_pNodeTail)->data; }
    const TYPE& GetTail() const { return NonEmpty(m_pNodeTail)->data; }

    TYPE RemoveHead();
    TYPE RemoveTail();
    POSITION AddHead(ARG_TYPE newElement) { return InsertBefore(ToPos(m_pNodeHead), newElement); }
    POSITION AddTail(ARG_TYPE newElement) { return InsertAfter(ToPos(m_pNodeTail), newElement); }
    void AddHead(CList* pNewList);
    void AddTail(CList* pNewList);
    void RemoveAll();

    POSITION GetHeadPosition() const { return ToPos(m_pNodeHead); }
    POSITION GetTailPosition() const { return ToPos(m_pNodeTail); }
    // Return the element at rPosition and move it to the next (previous) one;
    // NULL after the last.
    TYPE& GetNext(POSITION& rPosition)
    {
        CNode* p = Node(rPosition);
        rPosition = ToPos(p->pNext);
        return p->data;
    }
    const TYPE& GetNext(POSITION& rPosition) const
    {
        CNode* p = Node(rPosition);
        rPosition = ToPos(p->pNext);
        return p->data;
    }
    TYPE& GetPrev(POSITION& rPosition)
    {
        CNode* p = Node(rPosition);
        rPosition = ToPos(p->pPrev);
        return p->data;
    }
    const TYPE& GetPrev(POSITION& rPosition) const
    {
        CNode* p = Node(rPosition);
        rPosition = ToPos(p->pPrev);
        return p->data;
    }
    TYPE& GetAt(POSITION position) { return Node(position)->data; }
    const TYPE& GetAt(POSITION position) const { return Node(position)->data; }
    void SetAt(POSITION pos, ARG_TYPE newElement) { Node(pos)->data = newElement; }
    void RemoveAt(POSITION position);
    POSITION InsertBefore(POSITION position, ARG_TYPE newElement);
    POSITION InsertAfter(POSITION position, ARG_TYPE newElement);

    POSITION Find(ARG_TYPE searchValue, POSITION startAfter = NULL) const;
    POSITION FindIndex(INT_PTR nIndex) const;

    void Serialize(CArchive& ar) override;

protected:
    static POSITION ToPos(CNode* p) { return reinterpret_cast<POSITION>(p); }
    static CNode* Node(POSITION pos)
    {
        if (pos == NULL)
            AfxThrowInvalidArgException();
        return reinterpret_cast<CNode*>(pos);
    }
    static CNode* NonEmpty(CNode* p)
    {
        if (p == NULL)
            AfxThrowInvalidArgException();
        return p;
    }

    CNode* m_pNodeHead;
    CNode* m_pNodeTail;
    INT_PTR m_nCount;
};

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::RemoveAll()
{
    CNode* p = m_pNodeHead;
    while (p) {
        CNode* next = p->pNext;
        delete p;
        p = next;
    }
    m_pNodeHead = m_pNodeTail = NULL;
    m_nCount = 0;
}

template <class TYPE, class ARG_TYPE>
POSITION CList<TYPE, ARG_TYPE>::InsertBefore(POSITION position, ARG_TYPE newElement)
{
    CNode* pNew = new CNode{ NULL, NULL, TYPE(newElement) };
    if (position == NULL) {
        // Empty list or no position: the new node becomes the head.
        pNew->pNext = m_pNodeHead;
        if (m_pNodeHead)
            m_pNodeHead->pPrev = pNew;
        else
            m_pNodeTail = pNew;
        m_pNodeHead = pNew;
    } else {
        CNode* pOld = Node(position);
        pNew->pPrev = pOld->pPrev;
        pNew->pNext = pOld;
        if (pOld->pPrev)
            pOld->pPrev->pNext = pNew;
        else
            m_pNodeHead = pNew;
        pOld->pPrev = pNew;
    }
    m_nCount++;
    return ToPos(pNew);
}

template <class TYPE, class ARG_TYPE>
POSITION CList<TYPE, ARG_TYPE>::InsertAfter(POSITION position, ARG_TYPE newElement)
{
    CNode* pNew = new CNode{ NULL, NULL, TYPE(newElement) };
    if (position == NULL) {
        pNew->pPrev = m_pNodeTail;
        if (m_pNodeTail)
            m_pNodeTail->pNext = pNew;
        else
            m_pNodeHead = pNew;
        m_pNodeTail = pNew;
    } else {
        CNode* pOld = Node(position);
        pNew->pPrev = pOld;
        pNew->pNext = pOld->pNext;
        if (pOld->pNext)
            pOld->pNext->pPrev = pNew;
        else
            m_pNodeTail = pNew;
        pOld->pNext = pNew;
    }
    m_nCount++;
    return ToPos(pNew);
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::AddHead(CList* pNewList)
{
    if (pNewList == NULL || pNewList == this)
        AfxThrowInvalidArgException();
    for (POSITION pos = pNewList->GetTailPosition(); pos != NULL;)
        AddHead(pNewList->GetPrev(pos));
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::AddTail(CList* pNewList)
{
    if (pNewList == NULL || pNewList == this)
        AfxThrowInvalidArgException();
    for (POSITION pos = pNewList->GetHeadPosition(); pos != NULL;)
        AddTail(pNewList->GetNext(pos));
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::RemoveAt(POSITION position)
{
    CNode* p = Node(position);
    if (p->pPrev)
        p->pPrev->pNext = p->pNext;
    else
        m_pNodeHead = p->pNext;
    if (p->pNext)
        p->pNext->pPrev = p->pPrev;
    else
        m_pNodeTail = p->pPrev;
    delete p;
    m_nCount--;
}

template <class TYPE, class ARG_TYPE> TYPE CList<TYPE, ARG_TYPE>::RemoveHead()
{
    CNode* p = NonEmpty(m_pNodeHead);
    TYPE value(std::move(p->data));
    RemoveAt(ToPos(p));
    return value;
}

template <class TYPE, class ARG_TYPE> TYPE CList<TYPE, ARG_TYPE>::RemoveTail()
{
    CNode* p = NonEmpty(m_pNodeTail);
    TYPE value(std::move(p->data));
    RemoveAt(ToPos(p));
    return value;
}

template <class TYPE, class ARG_TYPE>
POSITION CList<TYPE, ARG_TYPE>::Find(ARG_TYPE searchValue, POSITION startAfter) const
{
    CNode* p = startAfter ? Node(startAfter)->pNext : m_pNodeHead;
    for (; p != NULL; p = p->pNext) {
        if (CompareElements<TYPE, TYPE>(&p->data, &searchValue))
            return ToPos(p);
    }
    return NULL;
}

template <class TYPE, class ARG_TYPE> POSITION CList<TYPE, ARG_TYPE>::FindIndex(INT_PTR nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nCount)
        return NULL;
    CNode* p = m_pNodeHead;
    while (nIndex-- > 0)
        p = p->pNext;
    return ToPos(p);
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteCount((DWORD_PTR)m_nCount);
        for (CNode* p = m_pNodeHead; p != NULL; p = p->pNext)
            SerializeElements<TYPE>(ar, &p->data, 1);
        return;
    }
    DWORD_PTR nCount = ar.ReadCount();
    while (nCount--) {
        TYPE value{};
        SerializeElements<TYPE>(ar, &value, 1);
        AddTail(value);
    }
}

// --- CMap ----------------------------------------------------------------------------------

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE> class CMap : public CObject {
protected:
    struct CAssoc {
        CAssoc* pNext;
        UINT nHashValue;
        KEY key;
        VALUE value;
    };

public:
    typedef KEY BASE_KEY;
    typedef ARG_KEY BASE_ARG_KEY;
    typedef VALUE BASE_VALUE;
    typedef ARG_VALUE BASE_ARG_VALUE;

    explicit CMap(INT_PTR nBlockSize = 10) : m_pHashTable(NULL), m_nHashTableSize(17), m_nCount(0)
    {
        (void)nBlockSize;
    }
    ~CMap() override { RemoveAll(); }

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    BOOL Lookup(ARG_KEY key, VALUE& rValue) const
    {
        const CAssoc* p = Find(key);
        if (p == NULL)
            return FALSE;
        rValue = p->value;
        return TRUE;
    }
    // The value stored under key, added (value-initialised) when missing.
    VALUE& operator[](ARG_KEY key);
    void SetAt(ARG_KEY key, ARG_VALUE newValue) { (*this)[key] = newValue; }
    BOOL RemoveKey(ARG_KEY key);
    void RemoveAll();

    // Iteration order is unspecified. GetNextAssoc sets rNextPosition to NULL
    // after the last pair.
    POSITION GetStartPosition() const;
    void GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const;

    UINT GetHashTableSize() const { return m_nHashTableSize; }
    void InitHashTable(UINT hashSize, BOOL bAllocNow = TRUE);

    void Serialize(CArchive& ar) override;

protected:
    CAssoc* Find(ARG_KEY key) const
    {
        if (m_pHashTable == NULL)
            return NULL;
        UINT nHash = HashKey<ARG_KEY>(key);
        for (CAssoc* p = m_pHashTable[nHash % m_nHashTableSize]; p != NULL; p = p->pNext) {
            if (p->nHashValue == nHash && CompareElements<KEY, ARG_KEY>(&p->key, &key))
                return p;
        }
        return NULL;
    }
    void Rehash(UINT nNewSize);

    CAssoc** m_pHashTable;
    UINT m_nHashTableSize;
    INT_PTR m_nCount;
};

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::InitHashTable(UINT hashSize, BOOL bAllocNow)
{
    if (hashSize == 0)
        hashSize = 17;
    if (m_nCount > 0) {
        Rehash(hashSize);
        return;
    }
    delete[] m_pHashTable;
    m_pHashTable = NULL;
    m_nHashTableSize = hashSize;
    if (bAllocNow)
        m_pHashTable = new CAssoc*[hashSize]();
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::Rehash(UINT nNewSize)
{
    CAssoc** pNew = new CAssoc*[nNewSize]();
    if (m_pHashTable) {
        for (UINT i = 0; i < m_nHashTableSize; i++) {
            CAssoc* p = m_pHashTable[i];
            while (p) {
                CAssoc* next = p->pNext;
                UINT b = p->nHashValue % nNewSize;
                p->pNext = pNew[b];
                pNew[b] = p;
                p = next;
            }
        }
    }
    delete[] m_pHashTable;
    m_pHashTable = pNew;
    m_nHashTableSize = nNewSize;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
VALUE& CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::operator[](ARG_KEY key)
{
    CAssoc* p = Find(key);
    if (p != NULL)
        return p->value;
    if (m_pHashTable == NULL)
        InitHashTable(m_nHashTableSize);
    else if ((UINT)m_nCount >= m_nHashTableSize * 2 && m_nHashTableSize < 0x10000000)
        Rehash(m_nHashTableSize * 2 + 1);       // keeps chains short as the map grows
    UINT nHash = HashKey<ARG_KEY>(key);
    p = new CAssoc{ NULL, nHash, KEY(key), VALUE() };
    UINT b = nHash % m_nHashTableSize;
    p->pNext = m_pHashTable[b];
    m_pHashTable[b] = p;
    m_nCount++;
    return p->value;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
BOOL CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::RemoveKey(ARG_KEY key)
{
    if (m_pHashTable == NULL)
        return FALSE;
    UINT nHash = HashKey<ARG_KEY>(key);
    CAssoc** ppPrev = &m_pHashTable[nHash % m_nHashTableSize];
    for (CAssoc* p = *ppPrev; p != NULL; p = p->pNext) {
        if (p->nHashValue == nHash && CompareElements<KEY, ARG_KEY>(&p->key, &key)) {
            *ppPrev = p->pNext;
            delete p;
            m_nCount--;
            return TRUE;
        }
        ppPrev = &p->pNext;
    }
    return FALSE;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE> void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::RemoveAll()
{
    if (m_pHashTable) {
        for (UINT i = 0; i < m_nHashTableSize; i++) {
            CAssoc* p = m_pHashTable[i];
            while (p) {
                CAssoc* next = p->pNext;
                delete p;
                p = next;
            }
        }
        delete[] m_pHashTable;
        m_pHashTable = NULL;
    }
    m_nCount = 0;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
POSITION CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::GetStartPosition() const
{
    if (m_nCount == 0 || m_pHashTable == NULL)
        return NULL;
    for (UINT i = 0; i < m_nHashTableSize; i++) {
        if (m_pHashTable[i])
            return reinterpret_cast<POSITION>(m_pHashTable[i]);
    }
    return NULL;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const
{
    if (rNextPosition == NULL || m_pHashTable == NULL)
        AfxThrowInvalidArgException();
    CAssoc* p = reinterpret_cast<CAssoc*>(rNextPosition);
    rKey = p->key;
    rValue = p->value;
    CAssoc* next = p->pNext;
    for (UINT b = p->nHashValue % m_nHashTableSize + 1; next == NULL && b < m_nHashTableSize; b++)
        next = m_pHashTable[b];
    rNextPosition = reinterpret_cast<POSITION>(next);
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteCount((DWORD_PTR)m_nCount);
        if (m_pHashTable == NULL)
            return;
        for (UINT i = 0; i < m_nHashTableSize; i++) {
            for (CAssoc* p = m_pHashTable[i]; p != NULL; p = p->pNext) {
                SerializeElements<KEY>(ar, &p->key, 1);
                SerializeElements<VALUE>(ar, &p->value, 1);
            }
        }
        return;
    }
    DWORD_PTR nCount = ar.ReadCount();
    while (nCount--) {
        KEY key{};
        VALUE value{};
        SerializeElements<KEY>(ar, &key, 1);
        SerializeElements<VALUE>(ar, &value, 1);
        SetAt(key, value);
    }
}

// --- Typed collections ------------------------------------------------------------------------

class CStringArray : public CArray<CString, const CString&> {
    DECLARE_SERIAL(CStringArray)
public:
    INT_PTR Add(LPCTSTR newElement) { return CArray::Add(CString(newElement)); }
    INT_PTR Add(const CString& newElement) { return CArray::Add(newElement); }
};

class CDWordArray : public CArray<DWORD, DWORD> {
    DECLARE_SERIAL(CDWordArray)
};

class CUIntArray : public CArray<UINT, UINT> {
    DECLARE_DYNAMIC(CUIntArray)
};

class CWordArray : public CArray<WORD, WORD> {
    DECLARE_SERIAL(CWordArray)
};

class CByteArray : public CArray<BYTE, BYTE> {
    DECLARE_SERIAL(CByteArray)
};

class CPtrArray : public CArray<void*, void*> {
    DECLARE_DYNAMIC(CPtrArray)
public:
    void Serialize(CArchive& ar) override;  // not serializable: throws
};

// Elements are written with WriteObject (class records and references).
class CObArray : public CArray<CObject*, CObject*> {
    DECLARE_SERIAL(CObArray)
public:
    void Serialize(CArchive& ar) override;
};

class CStringList : public CList<CString, const CString&> {
    DECLARE_SERIAL(CStringList)
public:
    POSITION AddHead(LPCTSTR newElement) { return CList::AddHead(CString(newElement)); }
    POSITION AddHead(const CString& newElement) { return CList::AddHead(newElement); }
    void AddHead(CStringList* pNewList) { CList::AddHead(pNewList); }
    POSITION AddTail(LPCTSTR newElement) { return CList::AddTail(CString(newElement)); }
    POSITION AddTail(const CString& newElement) { return CList::AddTail(newElement); }
    void AddTail(CStringList* pNewList) { CList::AddTail(pNewList); }
    POSITION Find(LPCTSTR searchValue, POSITION startAfter = NULL) const
    {
        return CList::Find(CString(searchValue), startAfter);
    }
};

class CPtrList : public CList<void*, void*> {
    DECLARE_DYNAMIC(CPtrList)
public:
    void Serialize(CArchive& ar) override;  // not serializable: throws
};

class CObList : public CList<CObject*, CObject*> {
    DECLARE_SERIAL(CObList)
public:
    void Serialize(CArchive& ar) override;
};

class CMapStringToPtr : public CMap<CString, LPCTSTR, void*, void*> {
    DECLARE_DYNAMIC(CMapStringToPtr)
public:
    void Serialize(CArchive& ar) override;  // not serializable: throws
};

class CMapStringToString : public CMap<CString, LPCTSTR, CString, LPCTSTR> {
    DECLARE_SERIAL(CMapStringToString)
};

class CMapStringToOb : public CMap<CString, LPCTSTR, CObject*, CObject*> {
    DECLARE_SERIAL(CMapStringToOb)
public:
    void Serialize(CArchive& ar) override;
};

class CMapPtrToPtr : public CMap<void*, void*, void*, void*> {
    DECLARE_DYNAMIC(CMapPtrToPtr)
public:
    void Serialize(CArchive& ar) override;  // not serializable: throws
};

class CMapWordToPtr : public CMap<WORD, WORD, void*, void*> {
    DECLARE_DYNAMIC(CMapWordToPtr)
public:
    void Serialize(CArchive& ar) override;  // not serializable: throws
};

class CMapPtrToWord : public CMap<void*, void*, WORD, WORD> {
    DECLARE_DYNAMIC(CMapPtrToWord)
public:
    void Serialize(CArchive& ar) override;  // not serializable: throws
};

// --- Typed pointer collections ---------------------------------------------------------------

template <class BASE_CLASS, class TYPE> class CTypedPtrArray : public BASE_CLASS {
public:
    TYPE GetAt(INT_PTR nIndex) const { return static_cast<TYPE>(BASE_CLASS::GetAt(nIndex)); }
    TYPE& ElementAt(INT_PTR nIndex) { return reinterpret_cast<TYPE&>(BASE_CLASS::ElementAt(nIndex)); }
    void SetAt(INT_PTR nIndex, TYPE ptr) { BASE_CLASS::SetAt(nIndex, ptr); }
    void SetAtGrow(INT_PTR nIndex, TYPE newElement) { BASE_CLASS::SetAtGrow(nIndex, newElement); }
    INT_PTR Add(TYPE newElement) { return BASE_CLASS::Add(newElement); }
    void InsertAt(INT_PTR nIndex, TYPE newElement, INT_PTR nCount = 1)
    {
        BASE_CLASS::InsertAt(nIndex, newElement, nCount);
    }
    TYPE operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }
};

template <class BASE_CLASS, class TYPE> class CTypedPtrList : public BASE_CLASS {
public:
    TYPE& GetHead() { return reinterpret_cast<TYPE&>(BASE_CLASS::GetHead()); }
    TYPE GetHead() const { return static_cast<TYPE>(BASE_CLASS::GetHead()); }
    TYPE& GetTail() { return reinterpret_cast<TYPE&>(BASE_CLASS::GetTail()); }
    TYPE GetTail() const { return static_cast<TYPE>(BASE_CLASS::GetTail()); }
    TYPE RemoveHead() { return static_cast<TYPE>(BASE_CLASS::RemoveHead()); }
    TYPE RemoveTail() { return static_cast<TYPE>(BASE_CLASS::RemoveTail()); }
    POSITION AddHead(TYPE newElement) { return BASE_CLASS::AddHead(newElement); }
    POSITION AddTail(TYPE newElement) { return BASE_CLASS::AddTail(newElement); }
    TYPE& GetNext(POSITION& rPosition) { return reinterpret_cast<TYPE&>(BASE_CLASS::GetNext(rPosition)); }
    TYPE GetNext(POSITION& rPosition) const { return static_cast<TYPE>(BASE_CLASS::GetNext(rPosition)); }
    TYPE& GetPrev(POSITION& rPosition) { return reinterpret_cast<TYPE&>(BASE_CLASS::GetPrev(rPosition)); }
    TYPE GetPrev(POSITION& rPosition) const { return static_cast<TYPE>(BASE_CLASS::GetPrev(rPosition)); }
    TYPE& GetAt(POSITION position) { return reinterpret_cast<TYPE&>(BASE_CLASS::GetAt(position)); }
    TYPE GetAt(POSITION position) const { return static_cast<TYPE>(BASE_CLASS::GetAt(position)); }
    void SetAt(POSITION pos, TYPE newElement) { BASE_CLASS::SetAt(pos, newElement); }
    POSITION InsertBefore(POSITION position, TYPE newElement) { return BASE_CLASS::InsertBefore(position, newElement); }
    POSITION InsertAfter(POSITION position, TYPE newElement) { return BASE_CLASS::InsertAfter(position, newElement); }
};

template <class BASE_CLASS, class KEY, class VALUE> class CTypedPtrMap : public BASE_CLASS {
public:
    typedef typename BASE_CLASS::BASE_KEY BaseKey;
    typedef typename BASE_CLASS::BASE_ARG_KEY BaseArgKey;
    typedef typename BASE_CLASS::BASE_VALUE BaseValue;

    BOOL Lookup(BaseArgKey key, VALUE& rValue) const
    {
        BaseValue v = NULL;
        if (!BASE_CLASS::Lookup(key, v))
            return FALSE;
        rValue = static_cast<VALUE>(v);
        return TRUE;
    }
    VALUE& operator[](BaseArgKey key) { return reinterpret_cast<VALUE&>(BASE_CLASS::operator[](key)); }
    void SetAt(KEY key, VALUE newValue) { BASE_CLASS::SetAt(key, newValue); }
    BOOL RemoveKey(KEY key) { return BASE_CLASS::RemoveKey(key); }
    void GetNextAssoc(POSITION& rPosition, KEY& rKey, VALUE& rValue) const
    {
        BaseKey k{};
        BaseValue v = NULL;
        BASE_CLASS::GetNextAssoc(rPosition, k, v);
        rKey = static_cast<KEY>(k);
        rValue = static_cast<VALUE>(v);
    }
};
