#pragma once
#include "framework/File.h"

// A memory file in global memory, for the clipboard and drag and drop: what
// is written can be handed over as an HGLOBAL (Detach), and a global block
// received can be read as a file (SetHandle). The block is as large as the
// growth steps made it, so a reader finds zero bytes after the data. One
// thread per object.
class CSharedFile : public CMemFile {
    DECLARE_DYNAMIC(CSharedFile)
public:
    explicit CSharedFile(UINT nAllocFlags = GMEM_DDESHARE | GMEM_MOVEABLE, UINT nGrowBytes = 4096);
    ~CSharedFile() override;

    // Gives the block (unlocked) to the caller, who frees it; the file is
    // empty afterwards. NULL when nothing was written.
    HGLOBAL Detach();
    // Reads (and with bAllowGrow writes) a block the caller keeps owning:
    // its whole GlobalSize is the file's length.
    void SetHandle(HGLOBAL hGlobalMemory, BOOL bAllowGrow = TRUE);
    // Frees the block when the file made it; a block given by SetHandle is
    // only unlocked.
    void Close() override;

protected:
    BYTE* Alloc(SIZE_T nBytes) override;
    BYTE* Realloc(BYTE* lpMem, SIZE_T nBytes) override;
    void Free(BYTE* lpMem) override;

    UINT m_nAllocFlags;
    HGLOBAL m_hGlobalMemory;
    BOOL m_bAllowGrow;
    BOOL m_bOwnsHandle;
};
