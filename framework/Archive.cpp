#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <limits.h>

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize, void*)
    : m_bForceFlat(TRUE), m_pDocument(NULL), m_pFile(pFile), m_nMode(nMode), m_nObjectSchema((UINT)-1),
      m_nBufCur(0), m_nBufMax(0), m_nMapCount(1)
{
    if (pFile == NULL)
        AfxThrowInvalidArgException();
    if (nBufSize < 128)
        nBufSize = 128;
    m_buffer.resize((size_t)nBufSize);
    m_strFileName = pFile->GetFilePath();
    // Index 0 stands for the NULL object.
    if (IsLoading())
        m_loadArray.push_back(LoadEntry{ NULL, 0, false });
}

// The destructor writes what is still buffered unless told not to; errors
// here cannot be reported, so they are swallowed (call Close to see them).
CArchive::~CArchive()
{
    if (m_pFile != NULL && !(m_nMode & bNoFlushOnDelete)) {
        try {
            Close();
        } catch (CException* e) {
            e->Delete();
        }
    }
    m_pFile = NULL;
}

void CArchive::CheckStoring() const
{
    if (m_pFile == NULL)
        AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
    if (IsLoading())
        AfxThrowArchiveException(CArchiveException::readOnly, m_strFileName);
}

void CArchive::CheckLoading() const
{
    if (m_pFile == NULL)
        AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
    if (IsStoring())
        AfxThrowArchiveException(CArchiveException::writeOnly, m_strFileName);
}

UINT CArchive::GetObjectSchema()
{
    UINT n = m_nObjectSchema;
    m_nObjectSchema = (UINT)-1;
    return n;
}

// --- Raw bytes ------------------------------------------------------------------------

void CArchive::FillBuffer()
{
    m_nBufCur = 0;
    m_nBufMax = m_pFile->Read(m_buffer.data(), (UINT)m_buffer.size());
}

void CArchive::FlushBuffer()
{
    if (m_nBufCur > 0) {
        UINT n = m_nBufCur;
        m_nBufCur = 0;
        m_pFile->Write(m_buffer.data(), n);
    }
}

UINT CArchive::Read(void* lpBuf, UINT nMax)
{
    CheckLoading();
    BYTE* out = static_cast<BYTE*>(lpBuf);
    UINT done = 0;
    while (done < nMax) {
        if (m_nBufCur == m_nBufMax) {
            // Large reads go straight to the file.
            if (nMax - done >= m_buffer.size()) {
                UINT n = m_pFile->Read(out + done, nMax - done);
                done += n;
                break;
            }
            FillBuffer();
            if (m_nBufMax == 0)
                break;
        }
        UINT n = m_nBufMax - m_nBufCur;
        if (n > nMax - done)
            n = nMax - done;
        memcpy(out + done, m_buffer.data() + m_nBufCur, n);
        m_nBufCur += n;
        done += n;
    }
    return done;
}

void CArchive::ReadExact(void* lpBuf, UINT n)
{
    if (Read(lpBuf, n) != n)
        AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
}

void CArchive::Write(const void* lpBuf, UINT nMax)
{
    CheckStoring();
    const BYTE* in = static_cast<const BYTE*>(lpBuf);
    if (nMax >= m_buffer.size()) {
        FlushBuffer();
        m_pFile->Write(in, nMax);
        return;
    }
    while (nMax > 0) {
        UINT room = (UINT)m_buffer.size() - m_nBufCur;
        if (room == 0) {
            FlushBuffer();
            room = (UINT)m_buffer.size();
        }
        UINT n = nMax < room ? nMax : room;
        memcpy(m_buffer.data() + m_nBufCur, in, n);
        m_nBufCur += n;
        in += n;
        nMax -= n;
    }
}

void CArchive::Flush()
{
    if (m_pFile == NULL)
        return;
    if (IsStoring()) {
        FlushBuffer();
        m_pFile->Flush();
    } else if (m_nBufCur != m_nBufMax) {
        // Give the unread bytes back to the file, so it stands just after
        // what the archive consumed.
        m_pFile->Seek(-(LONGLONG)(m_nBufMax - m_nBufCur), 1 /* CFile::current */);
        m_nBufCur = m_nBufMax = 0;
    }
}

void CArchive::Close()
{
    if (m_pFile == NULL)
        return;
    try {
        Flush();
    } catch (...) {
        m_pFile = NULL;
        throw;
    }
    m_pFile = NULL;
}

void CArchive::Abort()
{
    m_pFile = NULL;
    m_nBufCur = m_nBufMax = 0;
}

// --- Text lines -----------------------------------------------------------------------

void CArchive::WriteString(LPCTSTR lpsz)
{
    if (lpsz)
        Write(lpsz, (UINT)strlen(lpsz));
}

LPTSTR CArchive::ReadString(LPTSTR lpsz, UINT nMax)
{
    if (lpsz == NULL || nMax == 0)
        AfxThrowInvalidArgException();
    UINT n = 0;
    char ch = 0;
    while (n + 1 < nMax) {
        if (Read(&ch, 1) != 1)
            break;
        if (ch == '\r')
            continue;
        lpsz[n++] = ch;
        if (ch == '\n')
            break;
    }
    lpsz[n] = 0;
    return n == 0 ? NULL : lpsz;
}

BOOL CArchive::ReadString(CString& rString)
{
    rString.Empty();
    char ch;
    bool any = false;
    while (Read(&ch, 1) == 1) {
        any = true;
        if (ch == '\n')
            break;
        if (ch != '\r')
            rString += ch;
    }
    return any;
}

// --- Counts ---------------------------------------------------------------------------

DWORD_PTR CArchive::ReadCount()
{
    WORD w;
    *this >> w;
    if (w != 0xFFFF)
        return w;
    DWORD dw;
    *this >> dw;
    return dw;
}

void CArchive::WriteCount(DWORD_PTR dwCount)
{
    if (dwCount < 0xFFFF) {
        *this << (WORD)dwCount;
    } else {
        *this << (WORD)0xFFFF;
        *this << (DWORD)dwCount;
    }
}

// --- Strings -----------------------------------------------------------------------------

void CArchive::WriteStringLength(UINT nLength, bool bUnicode)
{
    if (bUnicode) {
        *this << (BYTE)0xFF;
        *this << (WORD)0xFFFE;
    }
    if (nLength < 0xFF) {
        *this << (BYTE)nLength;
    } else {
        *this << (BYTE)0xFF;
        if (nLength < 0xFFFE) {
            *this << (WORD)nLength;
        } else {
            *this << (WORD)0xFFFF;
            *this << (DWORD)nLength;
        }
    }
}

UINT CArchive::ReadStringLength(int& nCharSize)
{
    nCharSize = 1;
    BYTE bLength;
    *this >> bLength;
    if (bLength < 0xFF)
        return bLength;
    WORD wLength;
    *this >> wLength;
    if (wLength == 0xFFFE) {
        // A wide string: the real length prefix follows.
        nCharSize = 2;
        *this >> bLength;
        if (bLength < 0xFF)
            return bLength;
        *this >> wLength;
    }
    if (wLength < 0xFFFF)
        return wLength;
    DWORD dwLength;
    *this >> dwLength;
    if (dwLength < 0xFFFFFFFF) {
        if (dwLength > (DWORD)INT_MAX)
            AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
        return dwLength;
    }
    ULONGLONG qwLength;
    *this >> qwLength;
    if (qwLength > (ULONGLONG)INT_MAX)
        AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
    return (UINT)qwLength;
}

namespace {
// Reads nChars characters of nCharSize bytes into text, in pieces: a corrupt
// length runs into the end of the file before it can demand a huge buffer.
template <typename X> void ReadChars(CArchive& ar, int nChars, CStringT<X>& text)
{
    const int kPiece = 65536 / (int)sizeof(X);
    text.Empty();
    int done = 0;
    while (done < nChars) {
        int n = nChars - done < kPiece ? nChars - done : kPiece;
        X* p = text.GetBuffer(done + n);
        UINT bytes = (UINT)n * sizeof(X);
        UINT got = ar.Read(p + done, bytes);
        if (got != bytes) {
            text.ReleaseBuffer(done);
            AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
        }
        done += n;
        text.ReleaseBuffer(done);
    }
}
}  // namespace

CArchive& AFXAPI operator<<(CArchive& ar, const CString& str)
{
    ar.WriteStringLength((UINT)str.GetLength(), false);
    ar.Write(str.GetString(), (UINT)str.GetLength());
    return ar;
}

CArchive& AFXAPI operator<<(CArchive& ar, const CStringW& str)
{
    ar.WriteStringLength((UINT)str.GetLength(), true);
    ar.Write(str.GetString(), (UINT)str.GetLength() * sizeof(wchar_t));
    return ar;
}

CArchive& AFXAPI operator>>(CArchive& ar, CString& str)
{
    int nCharSize;
    UINT n = ar.ReadStringLength(nCharSize);
    if (nCharSize == 1) {
        ReadChars(ar, (int)n, str);
    } else {
        CStringW wide;
        ReadChars(ar, (int)n, wide);
        str = wide;
    }
    return ar;
}

CArchive& AFXAPI operator>>(CArchive& ar, CStringW& str)
{
    int nCharSize;
    UINT n = ar.ReadStringLength(nCharSize);
    if (nCharSize == 2) {
        ReadChars(ar, (int)n, str);
    } else {
        CString narrow;
        ReadChars(ar, (int)n, narrow);
        str = narrow;
    }
    return ar;
}

CArchive& CArchive::operator<<(const char* psz)
{
    return *this << CString(psz);
}

CArchive& CArchive::operator<<(const wchar_t* psz)
{
    return *this << CStringW(psz);
}

CArchive& AFXAPI operator<<(CArchive& ar, SIZE size)
{
    return ar << size.cx << size.cy;
}

CArchive& AFXAPI operator<<(CArchive& ar, POINT point)
{
    return ar << point.x << point.y;
}

CArchive& AFXAPI operator<<(CArchive& ar, const RECT& rect)
{
    return ar << rect.left << rect.top << rect.right << rect.bottom;
}

CArchive& AFXAPI operator>>(CArchive& ar, SIZE& size)
{
    return ar >> size.cx >> size.cy;
}

CArchive& AFXAPI operator>>(CArchive& ar, POINT& point)
{
    return ar >> point.x >> point.y;
}

CArchive& AFXAPI operator>>(CArchive& ar, RECT& rect)
{
    return ar >> rect.left >> rect.top >> rect.right >> rect.bottom;
}

// --- Objects -----------------------------------------------------------------------------

void CArchive::SetStoreParams(UINT nHashSize, UINT)
{
    m_storeMap.reserve(nHashSize);
}

void CArchive::SetLoadParams(UINT nGrowBy)
{
    m_loadArray.reserve(nGrowBy);
}

DWORD CArchive::NextMapIndex()
{
    if (m_nMapCount >= nMaxMapCount)
        AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
    return m_nMapCount++;
}

void CArchive::WriteClass(const CRuntimeClass* pClassRef)
{
    CheckStoring();
    if (pClassRef == NULL)
        AfxThrowInvalidArgException();
    auto it = m_storeMap.find(pClassRef);
    if (it != m_storeMap.end()) {
        DWORD nClassIndex = it->second;
        if (nClassIndex < wBigObjectTag) {
            *this << (WORD)(wClassTag | nClassIndex);
        } else {
            *this << wBigObjectTag;
            *this << (DWORD)(dwBigClassTag | nClassIndex);
        }
        return;
    }
    *this << wNewClassTag;
    pClassRef->Store(*this);
    m_storeMap[pClassRef] = NextMapIndex();
}

void CArchive::WriteObject(const CObject* pOb)
{
    CheckStoring();
    if (pOb == NULL) {
        *this << wNullTag;
        return;
    }
    auto it = m_storeMap.find(pOb);
    if (it != m_storeMap.end()) {
        DWORD nObIndex = it->second;
        if (nObIndex < wBigObjectTag) {
            *this << (WORD)nObIndex;
        } else {
            *this << wBigObjectTag;
            *this << nObIndex;
        }
        return;
    }
    CRuntimeClass* pClassRef = pOb->GetRuntimeClass();
    if (pClassRef->m_wSchema == 0xFFFF)         // declared without DECLARE_SERIAL
        AfxThrowNotSupportedException();
    WriteClass(pClassRef);
    // The object gets its index before its contents, so members that point
    // back at it are written as references.
    m_storeMap[pOb] = NextMapIndex();
    const_cast<CObject*>(pOb)->Serialize(*this);
}

void CArchive::MapObject(const CObject* pOb)
{
    if (IsStoring()) {
        if (pOb != NULL && m_storeMap.find(pOb) == m_storeMap.end())
            m_storeMap[pOb] = NextMapIndex();
    } else {
        NextMapIndex();
        m_loadArray.push_back(LoadEntry{ const_cast<CObject*>(pOb), 0, false });
    }
}

CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* pClassRefRequested, UINT* pSchema, DWORD* pObTag)
{
    CheckLoading();
    WORD wTag;
    *this >> wTag;
    DWORD obTag;
    if (wTag == wBigObjectTag)
        *this >> obTag;
    else
        obTag = ((DWORD)(wTag & wClassTag) << 16) | (wTag & ~wClassTag);

    if (!(obTag & dwBigClassTag)) {
        // An object tag (NULL or a back-reference), not a class.
        if (pObTag == NULL)
            AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
        *pObTag = obTag;
        return NULL;
    }

    CRuntimeClass* pClassRef;
    UINT nSchema;
    if (wTag == wNewClassTag) {
        pClassRef = CRuntimeClass::Load(*this, &nSchema);
        if (pClassRef == NULL || pClassRef->m_wSchema == 0xFFFF || pClassRef->m_pfnCreateObject == NULL)
            AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
        if ((pClassRef->m_wSchema & ~VERSIONABLE_SCHEMA) != nSchema &&
            !(pClassRef->m_wSchema & VERSIONABLE_SCHEMA))
            AfxThrowArchiveException(CArchiveException::badSchema, m_strFileName);
        NextMapIndex();
        m_loadArray.push_back(LoadEntry{ pClassRef, nSchema, true });
    } else {
        DWORD nClassIndex = obTag & ~dwBigClassTag;
        if (nClassIndex == 0 || nClassIndex >= m_loadArray.size() || !m_loadArray[nClassIndex].bClass)
            AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
        pClassRef = static_cast<CRuntimeClass*>(m_loadArray[nClassIndex].p);
        nSchema = m_loadArray[nClassIndex].nSchema;
    }
    if (pClassRefRequested != NULL && !pClassRef->IsDerivedFrom(pClassRefRequested))
        AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
    if (pSchema)
        *pSchema = nSchema;
    else
        m_nObjectSchema = nSchema;
    return pClassRef;
}

void CArchive::SerializeClass(const CRuntimeClass* pClassRef)
{
    if (IsStoring())
        WriteClass(pClassRef);
    else
        ReadClass(pClassRef);
}

// A new object is created and entered in the map before its contents are
// read, so back-references inside it resolve to it. If its Serialize throws,
// the object is deleted and the exception passes on.
CObject* CArchive::ReadObject(const CRuntimeClass* pClassRefRequested)
{
    UINT nSchema = 0;
    DWORD obTag = 0;
    CRuntimeClass* pClassRef = ReadClass(pClassRefRequested, &nSchema, &obTag);
    if (pClassRef == NULL) {
        if (obTag >= m_loadArray.size() || m_loadArray[obTag].bClass)
            AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);
        CObject* pOb = static_cast<CObject*>(m_loadArray[obTag].p);
        if (pOb != NULL && pClassRefRequested != NULL && !pOb->IsKindOf(pClassRefRequested))
            AfxThrowArchiveException(CArchiveException::badClass, m_strFileName);
        return pOb;
    }
    CObject* pOb = pClassRef->CreateObject();
    if (pOb == NULL)
        AfxThrowMemoryException();
    size_t slot = m_loadArray.size();
    try {
        NextMapIndex();
        m_loadArray.push_back(LoadEntry{ pOb, 0, false });
        UINT nSchemaSave = m_nObjectSchema;
        m_nObjectSchema = nSchema;
        pOb->Serialize(*this);
        m_nObjectSchema = nSchemaSave;
    } catch (...) {
        // Later references to the half-read object must not reach freed memory.
        if (slot < m_loadArray.size())
            m_loadArray[slot].p = NULL;
        delete pOb;
        throw;
    }
    return pOb;
}
