#include "capture/StampOrderDlg.h"

#include "capture/StampText.h"
#include "framework/Collections.h"
#include "framework/ui/MsgMap.h"

BEGIN_MESSAGE_MAP(CStampOrderDlg, CDialog)
    ON_BN_CLICKED(IDC_STAMP_ORDER_UP, OnUp)
    ON_BN_CLICKED(IDC_STAMP_ORDER_DOWN, OnDown)
    ON_REGISTERED_MESSAGE(CDragListBox::s_nDragListMessage, OnDragList)
END_MESSAGE_MAP()

namespace {

struct TokenName {
    const char* token;
    UINT nameId;
};

const TokenName kTokenNames[] = {
    { kStampTokenTimeDate, IDS_STAMP_TIMEDATE },
    { kStampTokenElapsed, IDS_STAMP_ELAPTIME },
    { kStampTokenUser, IDS_STAMP_USERNAME },
    { kStampTokenComputer, IDS_STAMP_COMPNAME },
};

}  // namespace

CStampOrderDlg::CStampOrderDlg(CWnd* pParent) : CDialog(IDD, pParent)
{
}

CString CStampOrderDlg::DisplayNameOfToken(const CString& token)
{
    for (const TokenName& t : kTokenNames) {
        if (token == t.token) {
            CString name;
            name.LoadString(t.nameId);
            return name;
        }
    }
    return CString();
}

CString CStampOrderDlg::TokenOfDisplayName(const CString& name)
{
    for (const TokenName& t : kTokenNames) {
        CString known;
        known.LoadString(t.nameId);
        if (name == known)
            return CString(t.token);
    }
    return CString();
}

BOOL CStampOrderDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_list.SubclassDlgItem(IDC_STAMP_ORDER_LIST, this);

    int start = 0;
    while (start <= m_order.GetLength()) {
        int end = m_order.Find(',', start);
        if (end < 0)
            end = m_order.GetLength();
        const CString name = DisplayNameOfToken(m_order.Mid(start, end - start));
        start = end + 1;
        if (!name.IsEmpty())
            m_list.AddString(name);
    }
    m_list.SetCurSel(0);
    return TRUE;
}

// The list is read out, the item moved, and the list filled again, so that
// the names and their order always come from one array.
void CStampOrderDlg::MoveItem(int from, int to)
{
    CStringArray names;
    const int count = m_list.GetCount();
    for (int i = 0; i < count; i++) {
        CString name;
        m_list.GetText(i, name);
        names.Add(name);
    }
    const CString moved = names[from];
    names.RemoveAt(from);
    names.InsertAt(to, moved);
    m_list.ResetContent();
    for (int i = 0; i < names.GetSize(); i++)
        m_list.AddString(names[i]);
    m_list.SetCurSel(to);
}

void CStampOrderDlg::OnUp()
{
    const int sel = m_list.GetCurSel();
    if (sel >= 1)
        MoveItem(sel, sel - 1);
}

void CStampOrderDlg::OnDown()
{
    const int sel = m_list.GetCurSel();
    if (sel >= 0 && sel < m_list.GetCount() - 1)
        MoveItem(sel, sel + 1);
}

LRESULT CStampOrderDlg::OnDragList(WPARAM, LPARAM lParam)
{
    return CDragListBox::ReflectDragNotify(lParam);
}

void CStampOrderDlg::OnOK()
{
    CString order;
    const int count = m_list.GetCount();
    for (int i = 0; i < count; i++) {
        CString name;
        m_list.GetText(i, name);
        const CString token = TokenOfDisplayName(name);
        if (token.IsEmpty())
            continue;
        if (!order.IsEmpty())
            order += ",";
        order += token;
    }
    m_order = order;
    EndDialog(IDOK);
}
