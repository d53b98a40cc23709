// CFileDialog: the common open / save dialog (explorer style, with a hook so
// that OnFileNameOK can refuse a chosen name and keep the dialog open).
// CColorDialog: the common colour dialog.
#pragma once
#include "framework/ui/Dialog.h"

#include <commdlg.h>

class CFileDialog : public CDialog {
    DECLARE_DYNAMIC(CFileDialog)
public:
    // lpszFilter: pairs "text|pattern|" ending with "||", as in MFC.
    explicit CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = NULL, LPCTSTR lpszFileName = NULL,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         LPCTSTR lpszFilter = NULL, CWnd* pParentWnd = NULL);
    ~CFileDialog() override;

    // IDOK or IDCANCEL.
    INT_PTR DoModal() override;

    CString GetPathName() const;    // the full path chosen
    CString GetFileName() const;    // name with extension, without folder
    CString GetFileExt() const;     // extension without the dot
    CString GetFileTitle() const;   // name without folder and extension
    CString GetFolderPath() const;

    OPENFILENAMEA m_ofn;
    BOOL m_bOpenFileDialog;

    // Size of the file-name buffer: long enough to hold names that are too
    // long for the program, so that they can be refused with a message.
    enum { kFileBufferSize = 4096 };

protected:
    // Called when the user accepts a name; TRUE refuses it (the dialog stays).
    virtual BOOL OnFileNameOK();
    // The chosen name (without folder) as the dialog reported it.
    CString GetChosenTitle() const;

    CString m_strFilter;
    CString m_strDefExt;
    char m_szFileName[kFileBufferSize];
    char m_szFileTitle[kFileBufferSize];
    HWND m_hWndHook;

private:
    static UINT_PTR CALLBACK HookProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

class CColorDialog : public CDialog {
    DECLARE_DYNAMIC(CColorDialog)
public:
    explicit CColorDialog(COLORREF clrInit = 0, DWORD dwFlags = 0, CWnd* pParentWnd = NULL);
    INT_PTR DoModal() override;
    COLORREF GetColor() const { return m_cc.rgbResult; }
    void SetCurrentColor(COLORREF clr) { m_cc.rgbResult = clr; }
    // The 16 custom colours, shared by every colour dialog of the program.
    static COLORREF* PASCAL GetSavedCustomColors();

    CHOOSECOLORA m_cc;
};
