#include "framework/ui/DataExchange.h"

#include "framework/Exceptions.h"
#include "framework/WinApp.h"
#include "framework/ui/Controls.h"
#include "resources/ids_ui.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_idLastControl(0),
      m_bEditLastControl(FALSE)
{
}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIDC);
    m_idLastControl = nIDC;
    m_bEditLastControl = FALSE;
    return hWndCtrl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC)
{
    HWND hWndCtrl = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return hWndCtrl;
}

void CDataExchange::Fail()
{
    if (!m_bSaveAndValidate)
        AfxThrowUserException();
    HWND hWndLast = ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), m_idLastControl);
    if (hWndLast != NULL) {
        ::SendMessageA(m_pDlgWnd->GetSafeHwnd(), WM_NEXTDLGCTL, (WPARAM)hWndLast, 1);
        if (m_bEditLastControl)
            ::SendMessageA(hWndLast, EM_SETSEL, 0, -1);
    }
    AfxThrowUserException();
}

namespace {
// Tells the user with a string-table text whose %1 and %2 are replaced.
void ShowDataError(CDataExchange* pDX, UINT nIDPrompt, LPCTSTR arg1 = NULL, LPCTSTR arg2 = NULL)
{
    CString text;
    if (!text.LoadString(nIDPrompt))
        text = "Invalid value.";
    if (arg1 != NULL)
        text.Replace("%1", arg1);
    if (arg2 != NULL)
        text.Replace("%2", arg2);
    (void)pDX;
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

CString WindowText(HWND hWnd)
{
    CString text;
    const int nLen = ::GetWindowTextLengthA(hWnd);
    char* buf = text.GetBuffer(nLen + 1);
    const int got = ::GetWindowTextA(hWnd, buf, nLen + 1);
    text.ReleaseBuffer(got);
    return text;
}

// Whole text as a signed or unsigned 64-bit number with nothing but blanks
// around it; FALSE when it is not one.
BOOL ParseInteger(const CString& text, BOOL bSigned, long long* pValue)
{
    const char* s = text;
    while (*s == ' ' || *s == '\t')
        s++;
    if (*s == 0 || (!bSigned && *s == '-'))
        return FALSE;
    char* end = NULL;
    errno = 0;
    const long long v = strtoll(s, &end, 10);
    if (errno != 0 || end == s)
        return FALSE;
    while (*end == ' ' || *end == '\t')
        end++;
    if (*end != 0)
        return FALSE;
    *pValue = v;
    return TRUE;
}

template <typename T>
void TextInteger(CDataExchange* pDX, int nIDC, T& value, BOOL bSigned, long long minT, long long maxT)
{
    HWND hWndCtrl = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        long long v = 0;
        if (!ParseInteger(WindowText(hWndCtrl), bSigned, &v) || v < minT || v > maxT) {
            ShowDataError(pDX, IDS_DDX_PARSE_INT);
            pDX->Fail();
        }
        value = (T)v;
    } else {
        char buf[32];
        if (bSigned)
            wsprintfA(buf, "%ld", (long)value);
        else
            wsprintfA(buf, "%lu", (unsigned long)value);
        ::SetWindowTextA(hWndCtrl, buf);
    }
}

template <typename T> void TextReal(CDataExchange* pDX, int nIDC, T& value, int nDigits)
{
    HWND hWndCtrl = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        const CString text = WindowText(hWndCtrl);
        const char* s = text;
        char* end = NULL;
        const double v = strtod(s, &end);
        while (end != NULL && (*end == ' ' || *end == '\t'))
            end++;
        if (end == s || end == NULL || *end != 0) {
            ShowDataError(pDX, IDS_DDX_PARSE_REAL);
            pDX->Fail();
        }
        value = (T)v;
    } else {
        char buf[64];
        snprintf(buf, sizeof(buf), "%.*g", nDigits, (double)value);
        ::SetWindowTextA(hWndCtrl, buf);
    }
}
}  // namespace

void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != NULL)
        return;
    pDX->PrepareCtrl(nIDC);
    rControl.SubclassDlgItem((UINT)nIDC, pDX->m_pDlgWnd);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = WindowText(hWndCtrl);
    else
        ::SetWindowTextA(hWndCtrl, value);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    TextInteger(pDX, nIDC, value, TRUE, INT_MIN, INT_MAX);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, UINT& value)
{
    TextInteger(pDX, nIDC, value, FALSE, 0, UINT_MAX);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, long& value)
{
    TextInteger(pDX, nIDC, value, TRUE, LONG_MIN, LONG_MAX);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value)
{
    TextInteger(pDX, nIDC, value, FALSE, 0, 0xFFFFFFFFLL);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, double& value)
{
    TextReal(pDX, nIDC, value, 15);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, float& value)
{
    TextReal(pDX, nIDC, value, 6);
}

void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = (int)::SendMessageA(hWndCtrl, BM_GETCHECK, 0, 0);
    } else {
        const int v = (value < 0 || value > 2) ? 0 : value;
        ::SendMessageA(hWndCtrl, BM_SETCHECK, (WPARAM)v, 0);
    }
}

void AFXAPI DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    int iButton = 0;
    // Walk the group: from the first button to the next WS_GROUP.
    do {
        if (::SendMessageA(hWndCtrl, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (pDX->m_bSaveAndValidate) {
                if (::SendMessageA(hWndCtrl, BM_GETCHECK, 0, 0) != 0)
                    value = iButton;
            } else {
                ::SendMessageA(hWndCtrl, BM_SETCHECK, iButton == value, 0);
            }
            iButton++;
        }
        hWndCtrl = ::GetWindow(hWndCtrl, GW_HWNDNEXT);
    } while (hWndCtrl != NULL && !(::GetWindowLongPtrA(hWndCtrl, GWL_STYLE) & WS_GROUP));
}

void AFXAPI DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = (int)::SendMessageA(hWndCtrl, CB_GETCURSEL, 0, 0);
    else
        ::SendMessageA(hWndCtrl, CB_SETCURSEL, (WPARAM)index, 0);
}

void AFXAPI DDX_CBString(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = WindowText(hWndCtrl);
    } else if (::SendMessageA(hWndCtrl, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)(LPCTSTR)value) == CB_ERR) {
        ::SetWindowTextA(hWndCtrl, value);
    }
}

void AFXAPI DDX_CBStringExact(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = WindowText(hWndCtrl);
        return;
    }
    const int i = (int)::SendMessageA(hWndCtrl, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)(LPCTSTR)value);
    if (i != CB_ERR)
        ::SendMessageA(hWndCtrl, CB_SETCURSEL, (WPARAM)i, 0);
    else
        ::SetWindowTextA(hWndCtrl, value);
}

void AFXAPI DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = (int)::SendMessageA(hWndCtrl, LB_GETCURSEL, 0, 0);
    else
        ::SendMessageA(hWndCtrl, LB_SETCURSEL, (WPARAM)index, 0);
}

void AFXAPI DDX_LBString(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        const int i = (int)::SendMessageA(hWndCtrl, LB_GETCURSEL, 0, 0);
        value.Empty();
        if (i != LB_ERR) {
            CListBox box;
            box.m_hWnd = hWndCtrl;
            box.GetText(i, value);
            box.m_hWnd = NULL;
        }
    } else {
        ::SendMessageA(hWndCtrl, LB_SELECTSTRING, (WPARAM)-1, (LPARAM)(LPCTSTR)value);
    }
}

void AFXAPI DDX_Slider(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = (int)::SendMessageA(hWndCtrl, TBM_GETPOS, 0, 0);
    else
        ::SendMessageA(hWndCtrl, TBM_SETPOS, TRUE, value);
}

void AFXAPI DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars)
{
    if (pDX->m_bSaveAndValidate && value.GetLength() > nChars) {
        char num[16];
        wsprintfA(num, "%d", nChars);
        ShowDataError(pDX, IDS_DDV_STRING_SIZE, num);
        pDX->Fail();
    } else if (!pDX->m_bSaveAndValidate && pDX->m_idLastControl != 0 && pDX->m_bEditLastControl) {
        ::SendDlgItemMessageA(pDX->m_pDlgWnd->GetSafeHwnd(), pDX->m_idLastControl, EM_LIMITTEXT,
                              (WPARAM)nChars, 0);
    }
}

namespace {
void MinMaxInteger(CDataExchange* pDX, long long value, long long minVal, long long maxVal, BOOL bSigned)
{
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal))
        return;
    char lo[32];
    char hi[32];
    if (bSigned) {
        snprintf(lo, sizeof(lo), "%lld", minVal);
        snprintf(hi, sizeof(hi), "%lld", maxVal);
    } else {
        snprintf(lo, sizeof(lo), "%llu", (unsigned long long)minVal);
        snprintf(hi, sizeof(hi), "%llu", (unsigned long long)maxVal);
    }
    ShowDataError(pDX, IDS_DDV_INT_RANGE, lo, hi);
    pDX->Fail();
}
}  // namespace

void AFXAPI DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    MinMaxInteger(pDX, value, minVal, maxVal, TRUE);
}

void AFXAPI DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal)
{
    MinMaxInteger(pDX, value, minVal, maxVal, FALSE);
}

void AFXAPI DDV_MinMaxLong(CDataExchange* pDX, long value, long minVal, long maxVal)
{
    MinMaxInteger(pDX, value, minVal, maxVal, TRUE);
}

void AFXAPI DDV_MinMaxDWord(CDataExchange* pDX, DWORD value, DWORD minVal, DWORD maxVal)
{
    MinMaxInteger(pDX, value, minVal, maxVal, FALSE);
}

void AFXAPI DDV_MinMaxDouble(CDataExchange* pDX, const double& value, double minVal, double maxVal)
{
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal))
        return;
    char lo[64];
    char hi[64];
    snprintf(lo, sizeof(lo), "%g", minVal);
    snprintf(hi, sizeof(hi), "%g", maxVal);
    ShowDataError(pDX, IDS_DDV_REAL_RANGE, lo, hi);
    pDX->Fail();
}
