#pragma once
#include "framework/ui/FileDialog.h"

// The program's open and save dialog: the common file dialog, resizable,
// that refuses a chosen name which is too long, holds characters the caller
// forbids, or does not end in one of the allowed extensions, telling the user
// why; the dialog then stays open. UI thread.
class CLongFileDialog : public CFileDialog {
public:
    // nMaxPath <= 0: no length check; lpszAllowedExts: ".avi;.skorec" style,
    // null or empty for no check.
    CLongFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = NULL, LPCTSTR lpszFileName = NULL,
                    DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR lpszFilter = NULL,
                    CWnd* pParentWnd = NULL, int nMaxPath = 0, LPCTSTR lpszAllowedExts = NULL);
    ~CLongFileDialog() override;

    // Characters a chosen name must not contain (empty: no check).
    void SetForbiddenCharacters(LPCTSTR lpszChars) { m_strForbidden = lpszChars; }

protected:
    BOOL OnFileNameOK() override;

    CString m_strForbidden;
    int m_nMaxPath;
    CString m_strAllowedExts;
};
