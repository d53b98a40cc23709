#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"

#include <shlobj.h>

// The shell's browse-for-folder dialog bound to an edit control of its owner:
// it starts at the folder the edit control names (or the user's documents)
// and puts the chosen folder back into it. COM is initialised for the
// object's life. UI thread.
class CFolderBrowser : public CObject {
public:
    CFolderBrowser(HWND owner, int editId, UINT titleId, UINT flags);
    ~CFolderBrowser() override;

    // IDOK when a folder was chosen, else IDCANCEL.
    int Browse();

    const CString& GetFolder() const { return m_folder; }
    UINT GetFlags() const { return m_flags; }

protected:
    // Shows the shell's dialog (SHBrowseForFolder) and returns the chosen
    // item, which the caller frees, or null. Tests stand in for the shell's
    // dialog here and drive the callback themselves.
    virtual LPITEMIDLIST ShowDialog(BROWSEINFOA* info);

private:
    static int CALLBACK Callback(HWND dialog, UINT message, LPARAM param, LPARAM data);

    HWND m_owner;
    UINT m_titleId;
    int m_editId;
    UINT m_flags;         // in effect
    UINT m_askedFlags;    // asked for
    CString m_folder;     // the initial folder, then the chosen one
    HRESULT m_comInit;
};
