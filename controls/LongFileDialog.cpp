#include "controls/LongFileDialog.h"

#include "framework/WinApp.h"
#include "resources/ids_controls.h"
#include "settings/FormatUtil.h"

CLongFileDialog::CLongFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName,
                                 DWORD dwFlags, LPCTSTR lpszFilter, CWnd* pParentWnd, int nMaxPath,
                                 LPCTSTR lpszAllowedExts)
    : CFileDialog(bOpenFileDialog, lpszDefExt, lpszFileName, dwFlags, lpszFilter, pParentWnd),
      m_nMaxPath(nMaxPath), m_strAllowedExts(lpszAllowedExts != NULL ? lpszAllowedExts : "")
{
    m_ofn.Flags |= OFN_ENABLESIZING;
}

CLongFileDialog::~CLongFileDialog()
{
}

// Refusing (TRUE) keeps the dialog open; each refusal says why.
BOOL CLongFileDialog::OnFileNameOK()
{
    const CString path = GetPathName();
    CString message;

    if (m_nMaxPath > 0 && path.GetLength() > m_nMaxPath) {
        CString format;
        format.LoadString(m_bOpenFileDialog ? IDS_FILE_OPEN_PATH_TOO_LONG : IDS_FILE_SAVE_PATH_TOO_LONG);
        message.Format(format, (LPCTSTR)path);
        AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
        return TRUE;
    }

    if (!m_strForbidden.IsEmpty()) {
        const CString title = GetChosenTitle();
        if (title.FindOneOf(m_strForbidden) >= 0) {
            CString format;
            format.LoadString(IDS_FILE_BAD_CHARACTERS);
            message.Format(format, (LPCTSTR)title, (LPCTSTR)m_strForbidden);
            AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
            return TRUE;
        }
    }

    if (!m_strAllowedExts.IsEmpty()) {
        int start = 0;
        for (;;) {
            CString ext = m_strAllowedExts.Tokenize(";", start);
            if (start < 0)
                break;
            ext.Trim();
            if (!ext.IsEmpty() && path.GetLength() >= ext.GetLength() &&
                path.Right(ext.GetLength()).CompareNoCase(ext) == 0)
                return FALSE;
        }
        CString list = m_strAllowedExts;
        list.Replace(';', ' ');
        const LPCTSTR inserts[2] = { path, list };
        LoadFormattedString(message, IDS_FILE_BAD_EXTENSION, 2, inserts);
        if (path.GetLength() > 254) {
            CString note;
            note.LoadString(IDS_FILE_EXTENSION_LOST_NOTE);
            message += "\r\n\r\n";
            message += note;
        }
        AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
        return TRUE;
    }
    return FALSE;
}
