#pragma once
// The order of the system stamp's items (dialog 318): a drag list of the
// items' display names with Up and Down buttons. Data in, data out: the
// caller sets m_order ("TIMEDATE,ELAPTIME,...") before DoModal and reads it
// back after IDOK. UI thread only.
#include "capture/DragListBox.h"
#include "framework/ui/Dialog.h"
#include "resources/ids_stamp.h"

class CStampOrderDlg : public CDialog {
public:
    enum { IDD = IDD_STAMP_ORDER };

    explicit CStampOrderDlg(CWnd* pParent = NULL);

    CString m_order;   // tokens separated by ","

    // The display name of a stamp token, empty for an unknown one; and back.
    static CString DisplayNameOfToken(const CString& token);
    static CString TokenOfDisplayName(const CString& name);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnUp();
    void OnDown();
    LRESULT OnDragList(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // Moves the item at index from to index to and keeps it selected.
    void MoveItem(int from, int to);

    CDragListBox m_list;
};
