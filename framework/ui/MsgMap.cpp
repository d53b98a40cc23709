#include "framework/ui/MsgMap.h"

#include "framework/ui/Controls.h"
#include "framework/ui/DC.h"
#include "framework/ui/Menu.h"
#include "framework/ui/Wnd.h"

#include <windowsx.h>

namespace AfxDispatch {
namespace {
template <typename PMF> PMF Cast(AFX_PMSG f) { return reinterpret_cast<PMF>(f); }
inline CWnd* W(CCmdTarget* t) { return static_cast<CWnd*>(t); }
inline CPoint Pt(LPARAM l) { return CPoint(GET_X_LPARAM(l), GET_Y_LPARAM(l)); }
}  // namespace

#define AFX_DEFINE_DISPATCH(name) \
    BOOL name(CCmdTarget* t, AFX_PMSG f, UINT msg, WPARAM w, LPARAM l, LRESULT* r)
#define AFX_UNUSED_ARGS (void)msg; (void)w; (void)l; (void)r

AFX_DEFINE_DISPATCH(v_v) { AFX_UNUSED_ARGS; (t->*Cast<void (CCmdTarget::*)()>(f))(); return TRUE; }
AFX_DEFINE_DISPATCH(b_v) { AFX_UNUSED_ARGS; return (t->*Cast<BOOL (CCmdTarget::*)()>(f))(); }
AFX_DEFINE_DISPATCH(v_id) { AFX_UNUSED_ARGS; (t->*Cast<void (CCmdTarget::*)(UINT)>(f))((UINT)w); return TRUE; }
AFX_DEFINE_DISPATCH(b_id) { AFX_UNUSED_ARGS; return (t->*Cast<BOOL (CCmdTarget::*)(UINT)>(f))((UINT)w); }
AFX_DEFINE_DISPATCH(v_cmdui)
{
    AFX_UNUSED_ARGS;
    CCmdUI* pCmdUI = (CCmdUI*)l;
    pCmdUI->m_bContinueRouting = FALSE;
    (t->*Cast<void (CCmdTarget::*)(CCmdUI*)>(f))(pCmdUI);
    return !pCmdUI->m_bContinueRouting;
}
AFX_DEFINE_DISPATCH(l_w_l) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(f))(w, l); return TRUE; }
AFX_DEFINE_DISPATCH(i_create) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<int (CWnd::*)(LPCREATESTRUCT)>(f))((LPCREATESTRUCT)l); return TRUE; }
AFX_DEFINE_DISPATCH(b_nccreate) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<BOOL (CWnd::*)(LPCREATESTRUCT)>(f))((LPCREATESTRUCT)l); return TRUE; }
AFX_DEFINE_DISPATCH(b_dc) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<BOOL (CWnd::*)(CDC*)>(f))(CDC::FromHandle((HDC)w)); return TRUE; }
AFX_DEFINE_DISPATCH(v_size) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(UINT, int, int)>(f))((UINT)w, (short)LOWORD(l), (short)HIWORD(l)); return TRUE; }
AFX_DEFINE_DISPATCH(v_move) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(int, int)>(f))((short)LOWORD(l), (short)HIWORD(l)); return TRUE; }
AFX_DEFINE_DISPATCH(v_timer) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(UINT_PTR)>(f))((UINT_PTR)w); return TRUE; }
AFX_DEFINE_DISPATCH(v_u_pt) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(UINT, CPoint)>(f))((UINT)w, Pt(l)); return TRUE; }
AFX_DEFINE_DISPATCH(b_wheel)
{
    AFX_UNUSED_ARGS;
    *r = (W(t)->*Cast<BOOL (CWnd::*)(UINT, short, CPoint)>(f))(LOWORD(w), (short)HIWORD(w), Pt(l));
    return TRUE;
}
AFX_DEFINE_DISPATCH(b_setcursor)
{
    AFX_UNUSED_ARGS;
    *r = (W(t)->*Cast<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(f))(CWnd::FromHandle((HWND)w), LOWORD(l), HIWORD(l));
    return TRUE;
}
AFX_DEFINE_DISPATCH(v_key)
{
    AFX_UNUSED_ARGS;
    (W(t)->*Cast<void (CWnd::*)(UINT, UINT, UINT)>(f))((UINT)w, LOWORD(l), HIWORD(l));
    return TRUE;
}
AFX_DEFINE_DISPATCH(v_wnd) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(CWnd*)>(f))(CWnd::FromHandle(msg == WM_CAPTURECHANGED ? (HWND)l : (HWND)w)); return TRUE; }
AFX_DEFINE_DISPATCH(v_scroll)
{
    AFX_UNUSED_ARGS;
    (W(t)->*Cast<void (CWnd::*)(UINT, UINT, CScrollBar*)>(f))(
        LOWORD(w), (UINT)(short)HIWORD(w), static_cast<CScrollBar*>(CWnd::FromHandle((HWND)l)));
    return TRUE;
}
AFX_DEFINE_DISPATCH(h_ctlcolor)
{
    AFX_UNUSED_ARGS;
    *r = (LRESULT)(W(t)->*Cast<HBRUSH (CWnd::*)(CDC*, CWnd*, UINT)>(f))(
        CDC::FromHandle((HDC)w), CWnd::FromHandle((HWND)l), msg - WM_CTLCOLORMSGBOX);
    return TRUE;
}
AFX_DEFINE_DISPATCH(v_drawitem) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(int, LPDRAWITEMSTRUCT)>(f))((int)w, (LPDRAWITEMSTRUCT)l); *r = TRUE; return TRUE; }
AFX_DEFINE_DISPATCH(v_measureitem) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(int, LPMEASUREITEMSTRUCT)>(f))((int)w, (LPMEASUREITEMSTRUCT)l); *r = TRUE; return TRUE; }
AFX_DEFINE_DISPATCH(u_v) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<UINT (CWnd::*)()>(f))(); return TRUE; }
AFX_DEFINE_DISPATCH(v_b_u) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(BOOL, UINT)>(f))((BOOL)w, (UINT)l); return TRUE; }
AFX_DEFINE_DISPATCH(v_activate)
{
    AFX_UNUSED_ARGS;
    (W(t)->*Cast<void (CWnd::*)(UINT, CWnd*, BOOL)>(f))(LOWORD(w), CWnd::FromHandle((HWND)l), (BOOL)HIWORD(w));
    return TRUE;
}
AFX_DEFINE_DISPATCH(v_b_dw) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(BOOL, DWORD)>(f))((BOOL)w, (DWORD)l); return TRUE; }
AFX_DEFINE_DISPATCH(v_wnd_pt) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(CWnd*, CPoint)>(f))(CWnd::FromHandle((HWND)w), Pt(l)); return TRUE; }
AFX_DEFINE_DISPATCH(v_initmenupopup)
{
    AFX_UNUSED_ARGS;
    (W(t)->*Cast<void (CWnd::*)(CMenu*, UINT, BOOL)>(f))(CMenu::FromHandle((HMENU)w), LOWORD(l), (BOOL)HIWORD(l));
    return TRUE;
}
AFX_DEFINE_DISPATCH(v_menuselect)
{
    AFX_UNUSED_ARGS;
    (W(t)->*Cast<void (CWnd::*)(UINT, UINT, HMENU)>(f))(LOWORD(w), HIWORD(w), (HMENU)l);
    return TRUE;
}
AFX_DEFINE_DISPATCH(v_minmax) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(MINMAXINFO*)>(f))((MINMAXINFO*)l); return TRUE; }
AFX_DEFINE_DISPATCH(l_pt) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<LRESULT (CWnd::*)(CPoint)>(f))(Pt(l)); return TRUE; }
AFX_DEFINE_DISPATCH(v_u_l) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(UINT, LPARAM)>(f))((UINT)w, l); return TRUE; }
AFX_DEFINE_DISPATCH(v_winpos) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(WINDOWPOS*)>(f))((WINDOWPOS*)l); return TRUE; }
AFX_DEFINE_DISPATCH(v_drop) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(HDROP)>(f))((HDROP)w); return TRUE; }
AFX_DEFINE_DISPATCH(v_b) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(BOOL)>(f))((BOOL)w); return TRUE; }
AFX_DEFINE_DISPATCH(b_b) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<BOOL (CWnd::*)(BOOL)>(f))((BOOL)w); return TRUE; }
AFX_DEFINE_DISPATCH(i_mouseactivate)
{
    AFX_UNUSED_ARGS;
    *r = (W(t)->*Cast<int (CWnd::*)(CWnd*, UINT, UINT)>(f))(CWnd::FromHandle((HWND)w), LOWORD(l), HIWORD(l));
    return TRUE;
}
AFX_DEFINE_DISPATCH(b_copydata)
{
    AFX_UNUSED_ARGS;
    *r = (W(t)->*Cast<BOOL (CWnd::*)(CWnd*, COPYDATASTRUCT*)>(f))(CWnd::FromHandle((HWND)w), (COPYDATASTRUCT*)l);
    return TRUE;
}
AFX_DEFINE_DISPATCH(b_helpinfo) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<BOOL (CWnd::*)(HELPINFO*)>(f))((HELPINFO*)l); return TRUE; }
AFX_DEFINE_DISPATCH(v_setting) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(UINT, LPCTSTR)>(f))((UINT)w, (LPCTSTR)l); return TRUE; }
AFX_DEFINE_DISPATCH(v_u_rect) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(UINT, LPRECT)>(f))((UINT)w, (LPRECT)l); *r = TRUE; return TRUE; }
AFX_DEFINE_DISPATCH(v_nccalc) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(BOOL, NCCALCSIZE_PARAMS*)>(f))((BOOL)w, (NCCALCSIZE_PARAMS*)l); return TRUE; }
AFX_DEFINE_DISPATCH(b_queryend) { AFX_UNUSED_ARGS; *r = (W(t)->*Cast<BOOL (CWnd::*)()>(f))(); return TRUE; }
AFX_DEFINE_DISPATCH(v_notify)
{
    AFX_UNUSED_ARGS;
    (t->*Cast<void (CCmdTarget::*)(NMHDR*, LRESULT*)>(f))((NMHDR*)l, r);
    return TRUE;
}
AFX_DEFINE_DISPATCH(b_notify)
{
    AFX_UNUSED_ARGS;
    return (t->*Cast<BOOL (CCmdTarget::*)(NMHDR*, LRESULT*)>(f))((NMHDR*)l, r);
}
AFX_DEFINE_DISPATCH(v_id_notify)
{
    AFX_UNUSED_ARGS;
    (t->*Cast<void (CCmdTarget::*)(UINT, NMHDR*, LRESULT*)>(f))((UINT)w, (NMHDR*)l, r);
    return TRUE;
}
AFX_DEFINE_DISPATCH(b_id_notify)
{
    AFX_UNUSED_ARGS;
    return (t->*Cast<BOOL (CCmdTarget::*)(UINT, NMHDR*, LRESULT*)>(f))((UINT)w, (NMHDR*)l, r);
}
AFX_DEFINE_DISPATCH(h_ctlcolor_reflect)
{
    AFX_UNUSED_ARGS;
    HBRUSH hbr = (W(t)->*Cast<HBRUSH (CWnd::*)(CDC*, UINT)>(f))(CDC::FromHandle((HDC)w), (UINT)l);
    *r = (LRESULT)hbr;
    return hbr != NULL;
}
AFX_DEFINE_DISPATCH(v_drawitem_reflect) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(LPDRAWITEMSTRUCT)>(f))((LPDRAWITEMSTRUCT)l); *r = TRUE; return TRUE; }
AFX_DEFINE_DISPATCH(v_measureitem_reflect) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(LPMEASUREITEMSTRUCT)>(f))((LPMEASUREITEMSTRUCT)l); *r = TRUE; return TRUE; }
AFX_DEFINE_DISPATCH(v_scroll_reflect) { AFX_UNUSED_ARGS; (W(t)->*Cast<void (CWnd::*)(UINT, UINT)>(f))(LOWORD(w), (UINT)(short)HIWORD(w)); return TRUE; }

}  // namespace AfxDispatch
