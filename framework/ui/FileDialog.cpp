#include "framework/ui/FileDialog.h"

#include "framework/Exceptions.h"

#include <exception>

IMPLEMENT_DYNAMIC(CFileDialog, CDialog)
IMPLEMENT_DYNAMIC(CColorDialog, CDialog)

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName,
                         DWORD dwFlags, LPCTSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog), m_hWndHook(NULL)
{
    m_pParentWnd = pParentWnd;
    ZeroMemory(&m_ofn, sizeof(m_ofn));
    m_szFileName[0] = 0;
    m_szFileTitle[0] = 0;
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = kFileBufferSize;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = kFileBufferSize;
    m_ofn.Flags = dwFlags | OFN_ENABLEHOOK | OFN_EXPLORER;
    m_ofn.lpfnHook = &CFileDialog::HookProc;
    m_ofn.lCustData = (LPARAM)this;
    if (lpszDefExt != NULL) {
        m_strDefExt = lpszDefExt;
        m_ofn.lpstrDefExt = m_strDefExt;
    }
    if (lpszFileName != NULL)
        lstrcpynA(m_szFileName, lpszFileName, kFileBufferSize);
    if (lpszFilter != NULL) {
        // "a|b|c|d||" becomes "a\0b\0c\0d\0\0".
        m_strFilter = lpszFilter;
        const int nLen = m_strFilter.GetLength();
        char* buf = m_strFilter.GetBuffer(nLen + 2);
        for (int i = 0; i < nLen; i++) {
            if (buf[i] == '|')
                buf[i] = 0;
        }
        buf[nLen] = 0;
        buf[nLen + 1] = 0;
        m_strFilter.ReleaseBuffer(nLen);
        m_ofn.lpstrFilter = m_strFilter;
    }
}

CFileDialog::~CFileDialog()
{
}

INT_PTR CFileDialog::DoModal()
{
    m_ofn.hwndOwner = CWnd::GetSafeOwner(m_pParentWnd)->GetSafeHwnd();
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.lCustData = (LPARAM)this;
    const BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    if (m_hWnd != NULL)
        Detach();
    m_hWndHook = NULL;
    return ok ? IDOK : IDCANCEL;
}

// The hook is a child of the real dialog. It binds the object to the dialog
// window (without subclassing it) so that GetParent-style calls and message
// boxes have an owner, and turns CDN_FILEOK into OnFileNameOK.
UINT_PTR CALLBACK CFileDialog::HookProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const OPENFILENAMEA* ofn = (const OPENFILENAMEA*)lParam;
        CFileDialog* pDlg = (CFileDialog*)ofn->lCustData;
        ::SetWindowLongPtrA(hWnd, DWLP_USER, (LONG_PTR)pDlg);
        pDlg->m_hWndHook = hWnd;
        if (pDlg->m_hWnd == NULL)
            pDlg->Attach(::GetParent(hWnd));
        return 0;
    }
    if (message == WM_DESTROY) {
        CFileDialog* pDlg = (CFileDialog*)::GetWindowLongPtrA(hWnd, DWLP_USER);
        if (pDlg != NULL && pDlg->m_hWnd != NULL)
            pDlg->Detach();
        return 0;
    }
    if (message != WM_NOTIFY)
        return 0;
    const OFNOTIFYA* notify = (const OFNOTIFYA*)lParam;
    if (notify->hdr.code != CDN_FILEOK)
        return 0;
    CFileDialog* pDlg = (CFileDialog*)::GetWindowLongPtrA(hWnd, DWLP_USER);
    if (pDlg == NULL)
        return 0;
    BOOL refuse = FALSE;
    try {
        refuse = pDlg->OnFileNameOK();
    } catch (CException* e) {
        e->Delete();
        refuse = TRUE;
    } catch (...) {
        refuse = TRUE;
    }
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, refuse ? 1 : 0);
    return refuse ? 1 : 0;
}

BOOL CFileDialog::OnFileNameOK()
{
    return FALSE;
}

CString CFileDialog::GetPathName() const
{
    return CString(m_szFileName);
}

CString CFileDialog::GetChosenTitle() const
{
    if (m_szFileTitle[0] != 0)
        return CString(m_szFileTitle);
    return GetFileName();
}

CString CFileDialog::GetFileName() const
{
    const CString path(m_szFileName);
    const int slash = path.ReverseFind('\\');
    return path.Mid(slash + 1);
}

CString CFileDialog::GetFileExt() const
{
    const CString name = GetFileName();
    const int dot = name.ReverseFind('.');
    return dot >= 0 ? name.Mid(dot + 1) : CString();
}

CString CFileDialog::GetFileTitle() const
{
    const CString name = GetFileName();
    const int dot = name.ReverseFind('.');
    return dot >= 0 ? name.Left(dot) : name;
}

CString CFileDialog::GetFolderPath() const
{
    const CString path(m_szFileName);
    const int slash = path.ReverseFind('\\');
    return slash >= 0 ? path.Left(slash) : CString();
}

// ---------------------------------------------------------------------------

CColorDialog::CColorDialog(COLORREF clrInit, DWORD dwFlags, CWnd* pParentWnd)
{
    m_pParentWnd = pParentWnd;
    ZeroMemory(&m_cc, sizeof(m_cc));
    m_cc.lStructSize = sizeof(m_cc);
    m_cc.rgbResult = clrInit;
    m_cc.lpCustColors = GetSavedCustomColors();
    m_cc.Flags = dwFlags | CC_RGBINIT;
}

COLORREF* PASCAL CColorDialog::GetSavedCustomColors()
{
    static COLORREF colors[16] = {
        0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
        0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
    };
    return colors;
}

INT_PTR CColorDialog::DoModal()
{
    m_cc.hwndOwner = CWnd::GetSafeOwner(m_pParentWnd)->GetSafeHwnd();
    return ::ChooseColorA(&m_cc) ? IDOK : IDCANCEL;
}
