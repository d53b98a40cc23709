// CDialog: a dialog from a resource template, modal (DoModal, our own modal
// loop, so PreTranslateMessage and idle clean-up work inside it) or modeless
// (Create). The object is bound at WM_INITDIALOG and unbound at WM_NCDESTROY.
// Data in, data out: DoDataExchange binds controls to members, OnInitDialog
// fills them (UpdateData(FALSE)), OnOK reads and validates them
// (UpdateData(TRUE)) before ending with IDOK.
#pragma once
#include "framework/ui/Wnd.h"

// Sent by the modal loop to the dialog each time the queue runs empty
// (wParam MSGF_DIALOGBOX, lParam the idle count), so it can refresh its
// command states.
#ifndef WM_KICKIDLE
#define WM_KICKIDLE 0x036A
#endif

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    explicit CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    ~CDialog() override;

    // Runs the dialog modally; returns the EndDialog value, or -1 when the
    // template is missing or the dialog cannot be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless; the caller destroys it (DestroyWindow).
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    virtual BOOL Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = NULL, HINSTANCE hInst = NULL);
    // Modal: ends the modal loop with nResult; modeless: hides the dialog.
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    void NextDlgCtrl() const { ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
    void PrevDlgCtrl() const { ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
    void GotoDlgCtrl(CWnd* pWndCtrl) { ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, (WPARAM)pWndCtrl->GetSafeHwnd(), 1); }
    void SetDefID(UINT nID) { ::SendMessageA(m_hWnd, DM_SETDEFID, nID, 0); }
    DWORD GetDefID() const { return (DWORD)::SendMessageA(m_hWnd, DM_GETDEFID, 0, 0); }
    void MapDialogRect(LPRECT lpRect) const { ::MapDialogRect(m_hWnd, lpRect); }
    BOOL IsModal() const { return m_bModal; }

    BOOL PreTranslateMessage(MSG* pMsg) override;

    LPCTSTR m_lpszTemplateName;
    UINT m_nIDHelp;
    CWnd* m_pParentWnd;

protected:
    DECLARE_MESSAGE_MAP()

    // Pumps messages until EndDialog; used by DoModal.
    int RunModalLoop();

    BOOL m_bModal;
    BOOL m_bEndModal;
    INT_PTR m_nModalResult;

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};
