#include "framework/SharedFile.h"

#include "framework/Exceptions.h"

IMPLEMENT_DYNAMIC(CSharedFile, CMemFile)

CSharedFile::CSharedFile(UINT nAllocFlags, UINT nGrowBytes)
    : CMemFile(nGrowBytes), m_nAllocFlags(nAllocFlags), m_hGlobalMemory(NULL), m_bAllowGrow(TRUE), m_bOwnsHandle(FALSE)
{
}

// Closes here, while the global-memory Free is still this class's.
CSharedFile::~CSharedFile()
{
    Close();
}

BYTE* CSharedFile::Alloc(SIZE_T nBytes)
{
    HGLOBAL h = ::GlobalAlloc(m_nAllocFlags, nBytes);
    if (h == NULL)
        return NULL;
    BYTE* p = static_cast<BYTE*>(::GlobalLock(h));
    if (p == NULL) {
        ::GlobalFree(h);
        return NULL;
    }
    m_hGlobalMemory = h;
    m_bOwnsHandle = TRUE;
    return p;
}

BYTE* CSharedFile::Realloc(BYTE*, SIZE_T nBytes)
{
    if (!m_bAllowGrow)
        return NULL;
    ::GlobalUnlock(m_hGlobalMemory);
    HGLOBAL h = ::GlobalReAlloc(m_hGlobalMemory, nBytes, m_nAllocFlags & ~GMEM_MODIFY);
    if (h == NULL) {
        // The old block stays, locked again, with what was written.
        ::GlobalLock(m_hGlobalMemory);
        return NULL;
    }
    m_hGlobalMemory = h;
    return static_cast<BYTE*>(::GlobalLock(h));
}

void CSharedFile::Free(BYTE*)
{
    if (m_hGlobalMemory == NULL)
        return;
    ::GlobalUnlock(m_hGlobalMemory);
    if (m_bOwnsHandle)
        ::GlobalFree(m_hGlobalMemory);
    m_hGlobalMemory = NULL;
    m_bOwnsHandle = FALSE;
}

void CSharedFile::Close()
{
    Free(m_lpBuffer);
    m_lpBuffer = NULL;
    CMemFile::Close();
}

HGLOBAL CSharedFile::Detach()
{
    HGLOBAL h = m_hGlobalMemory;
    if (h)
        ::GlobalUnlock(h);
    m_hGlobalMemory = NULL;
    m_bOwnsHandle = FALSE;
    CMemFile::Detach();
    return h;
}

void CSharedFile::SetHandle(HGLOBAL hGlobalMemory, BOOL bAllowGrow)
{
    Close();
    BYTE* p = static_cast<BYTE*>(::GlobalLock(hGlobalMemory));
    if (p == NULL)
        AfxThrowMemoryException();
    m_hGlobalMemory = hGlobalMemory;
    m_bOwnsHandle = FALSE;
    m_bAllowGrow = bAllowGrow;
    m_lpBuffer = p;
    m_nBufferSize = m_nFileSize = ::GlobalSize(hGlobalMemory);
    m_nPosition = 0;
    m_bAutoDelete = TRUE;   // Close unlocks it (and frees only what the file made)
    if (!bAllowGrow)
        m_nGrowBytes = 0;
    else if (m_nGrowBytes == 0)
        m_nGrowBytes = 4096;
}
