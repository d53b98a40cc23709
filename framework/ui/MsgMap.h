// The message-map entry macros. Each macro is documented by the signature of
// the handler it expects, on the line above it. The handler's signature is
// checked at compile time: the member is converted to that exact type of CWnd
// (or CCmdTarget for commands) member before it is stored.
//
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_WM_TIMER()
//       ON_BN_CLICKED(IDC_MY_BUTTON, OnMyButton)
//   END_MESSAGE_MAP()
#pragma once
#include "framework/ui/CmdTarget.h"
#include "framework/Types.h"

#include <commctrl.h>

class CWnd;
class CDC;
class CMenu;
class CScrollBar;

// Dispatchers, one per handler signature (defined in MsgMap.cpp).
namespace AfxDispatch {
#define AFX_DECLARE_DISPATCH(name) \
    BOOL name(CCmdTarget* t, AFX_PMSG f, UINT msg, WPARAM w, LPARAM l, LRESULT* r)
AFX_DECLARE_DISPATCH(v_v);          // void ()
AFX_DECLARE_DISPATCH(b_v);          // BOOL (), declines on FALSE
AFX_DECLARE_DISPATCH(v_id);         // void (UINT id)            command ranges
AFX_DECLARE_DISPATCH(b_id);         // BOOL (UINT id)            ON_COMMAND_EX
AFX_DECLARE_DISPATCH(v_cmdui);      // void (CCmdUI*)
AFX_DECLARE_DISPATCH(l_w_l);        // LRESULT (WPARAM, LPARAM)
AFX_DECLARE_DISPATCH(i_create);     // int (LPCREATESTRUCT)
AFX_DECLARE_DISPATCH(b_nccreate);   // BOOL (LPCREATESTRUCT)
AFX_DECLARE_DISPATCH(b_dc);         // BOOL (CDC*)
AFX_DECLARE_DISPATCH(v_size);       // void (UINT, int, int)
AFX_DECLARE_DISPATCH(v_move);       // void (int, int)
AFX_DECLARE_DISPATCH(v_timer);      // void (UINT_PTR)
AFX_DECLARE_DISPATCH(v_u_pt);       // void (UINT, CPoint)
AFX_DECLARE_DISPATCH(b_wheel);      // BOOL (UINT, short, CPoint)
AFX_DECLARE_DISPATCH(b_setcursor);  // BOOL (CWnd*, UINT, UINT)
AFX_DECLARE_DISPATCH(v_key);        // void (UINT, UINT, UINT)
AFX_DECLARE_DISPATCH(v_wnd);        // void (CWnd*)
AFX_DECLARE_DISPATCH(v_scroll);     // void (UINT, UINT, CScrollBar*)
AFX_DECLARE_DISPATCH(h_ctlcolor);   // HBRUSH (CDC*, CWnd*, UINT)
AFX_DECLARE_DISPATCH(v_drawitem);   // void (int, LPDRAWITEMSTRUCT)
AFX_DECLARE_DISPATCH(v_measureitem);// void (int, LPMEASUREITEMSTRUCT)
AFX_DECLARE_DISPATCH(u_v);          // UINT ()
AFX_DECLARE_DISPATCH(v_b_u);        // void (BOOL, UINT)
AFX_DECLARE_DISPATCH(v_activate);   // void (UINT, CWnd*, BOOL)
AFX_DECLARE_DISPATCH(v_b_dw);       // void (BOOL, DWORD)
AFX_DECLARE_DISPATCH(v_wnd_pt);     // void (CWnd*, CPoint)
AFX_DECLARE_DISPATCH(v_initmenupopup); // void (CMenu*, UINT, BOOL)
AFX_DECLARE_DISPATCH(v_menuselect); // void (UINT, UINT, HMENU)
AFX_DECLARE_DISPATCH(v_minmax);     // void (MINMAXINFO*)
AFX_DECLARE_DISPATCH(l_pt);         // LRESULT (CPoint)
AFX_DECLARE_DISPATCH(v_u_l);        // void (UINT, LPARAM)
AFX_DECLARE_DISPATCH(v_winpos);     // void (WINDOWPOS*)
AFX_DECLARE_DISPATCH(v_drop);       // void (HDROP)
AFX_DECLARE_DISPATCH(v_b);          // void (BOOL)
AFX_DECLARE_DISPATCH(b_b);          // BOOL (BOOL)
AFX_DECLARE_DISPATCH(i_mouseactivate); // int (CWnd*, UINT, UINT)
AFX_DECLARE_DISPATCH(b_copydata);   // BOOL (CWnd*, COPYDATASTRUCT*)
AFX_DECLARE_DISPATCH(b_helpinfo);   // BOOL (HELPINFO*)
AFX_DECLARE_DISPATCH(v_setting);    // void (UINT, LPCTSTR)
AFX_DECLARE_DISPATCH(v_u_rect);     // void (UINT, LPRECT)
AFX_DECLARE_DISPATCH(v_nccalc);     // void (BOOL, NCCALCSIZE_PARAMS*)
AFX_DECLARE_DISPATCH(b_queryend);   // BOOL ()  (always handled)
AFX_DECLARE_DISPATCH(v_notify);     // void (NMHDR*, LRESULT*)
AFX_DECLARE_DISPATCH(b_notify);     // BOOL (NMHDR*, LRESULT*)
AFX_DECLARE_DISPATCH(v_id_notify);  // void (UINT, NMHDR*, LRESULT*)
AFX_DECLARE_DISPATCH(b_id_notify);  // BOOL (UINT, NMHDR*, LRESULT*)
AFX_DECLARE_DISPATCH(h_ctlcolor_reflect); // HBRUSH (CDC*, UINT), declines on null
AFX_DECLARE_DISPATCH(v_drawitem_reflect); // void (LPDRAWITEMSTRUCT)
AFX_DECLARE_DISPATCH(v_measureitem_reflect); // void (LPMEASUREITEMSTRUCT)
AFX_DECLARE_DISPATCH(v_scroll_reflect);   // void (UINT, UINT)
#undef AFX_DECLARE_DISPATCH
}  // namespace AfxDispatch

// One entry; `type` is the handler's member-pointer type, checked by the cast.
#define AFX_MSG_ENTRY(msg, code, id, lastId, disp, type, memberFn)                               \
    { (UINT)(msg), (UINT)(code), (UINT)(id), (UINT)(lastId), &AfxDispatch::disp,                 \
      reinterpret_cast<AFX_PMSG>(static_cast<type>(&ThisClass::memberFn)), nullptr },

// ---------------------------------------------------------------------------
// Commands and control notifications (WM_COMMAND)

// void memberFn()
#define ON_COMMAND(id, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, id, v_v, void (CCmdTarget::*)(), memberFn)
// BOOL memberFn(UINT nID)  -- FALSE passes the command on
#define ON_COMMAND_EX(id, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, id, b_id, BOOL (CCmdTarget::*)(UINT), memberFn)
// void memberFn(UINT nID)
#define ON_COMMAND_RANGE(id, idLast, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND, CN_COMMAND, id, idLast, v_id, void (CCmdTarget::*)(UINT), memberFn)
// void memberFn(CCmdUI* pCmdUI)
#define ON_UPDATE_COMMAND_UI(id, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, id, v_cmdui, void (CCmdTarget::*)(CCmdUI*), memberFn)
// void memberFn(CCmdUI* pCmdUI)
#define ON_UPDATE_COMMAND_UI_RANGE(id, idLast, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, idLast, v_cmdui, void (CCmdTarget::*)(CCmdUI*), memberFn)
// void memberFn()
#define ON_CONTROL(wNotifyCode, id, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND, wNotifyCode, id, id, v_v, void (CCmdTarget::*)(), memberFn)
// void memberFn(UINT nID)
#define ON_CONTROL_RANGE(wNotifyCode, id, idLast, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND, wNotifyCode, id, idLast, v_id, void (CCmdTarget::*)(UINT), memberFn)

// void memberFn()
#define ON_BN_CLICKED(id, memberFn) ON_CONTROL(BN_CLICKED, id, memberFn)
// void memberFn()
#define ON_BN_DOUBLECLICKED(id, memberFn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFn)
// void memberFn()
#define ON_BN_SETFOCUS(id, memberFn) ON_CONTROL(BN_SETFOCUS, id, memberFn)
// void memberFn()
#define ON_BN_KILLFOCUS(id, memberFn) ON_CONTROL(BN_KILLFOCUS, id, memberFn)
// void memberFn()
#define ON_EN_CHANGE(id, memberFn) ON_CONTROL(EN_CHANGE, id, memberFn)
// void memberFn()
#define ON_EN_UPDATE(id, memberFn) ON_CONTROL(EN_UPDATE, id, memberFn)
// void memberFn()
#define ON_EN_SETFOCUS(id, memberFn) ON_CONTROL(EN_SETFOCUS, id, memberFn)
// void memberFn()
#define ON_EN_KILLFOCUS(id, memberFn) ON_CONTROL(EN_KILLFOCUS, id, memberFn)
// void memberFn()
#define ON_EN_MAXTEXT(id, memberFn) ON_CONTROL(EN_MAXTEXT, id, memberFn)
// void memberFn()
#define ON_CBN_SELCHANGE(id, memberFn) ON_CONTROL(CBN_SELCHANGE, id, memberFn)
// void memberFn()
#define ON_CBN_SELENDOK(id, memberFn) ON_CONTROL(CBN_SELENDOK, id, memberFn)
// void memberFn()
#define ON_CBN_SELENDCANCEL(id, memberFn) ON_CONTROL(CBN_SELENDCANCEL, id, memberFn)
// void memberFn()
#define ON_CBN_DROPDOWN(id, memberFn) ON_CONTROL(CBN_DROPDOWN, id, memberFn)
// void memberFn()
#define ON_CBN_CLOSEUP(id, memberFn) ON_CONTROL(CBN_CLOSEUP, id, memberFn)
// void memberFn()
#define ON_CBN_EDITCHANGE(id, memberFn) ON_CONTROL(CBN_EDITCHANGE, id, memberFn)
// void memberFn()
#define ON_CBN_KILLFOCUS(id, memberFn) ON_CONTROL(CBN_KILLFOCUS, id, memberFn)
// void memberFn()
#define ON_LBN_SELCHANGE(id, memberFn) ON_CONTROL(LBN_SELCHANGE, id, memberFn)
// void memberFn()
#define ON_LBN_DBLCLK(id, memberFn) ON_CONTROL(LBN_DBLCLK, id, memberFn)
// void memberFn()
#define ON_STN_CLICKED(id, memberFn) ON_CONTROL(STN_CLICKED, id, memberFn)

// ---------------------------------------------------------------------------
// Notifications (WM_NOTIFY)

// void memberFn(NMHDR* pNotifyStruct, LRESULT* pResult)
#define ON_NOTIFY(wNotifyCode, id, memberFn) \
    AFX_MSG_ENTRY(WM_NOTIFY, wNotifyCode, id, id, v_notify, void (CCmdTarget::*)(NMHDR*, LRESULT*), memberFn)
// void memberFn(UINT id, NMHDR* pNotifyStruct, LRESULT* pResult)
#define ON_NOTIFY_RANGE(wNotifyCode, id, idLast, memberFn) \
    AFX_MSG_ENTRY(WM_NOTIFY, wNotifyCode, id, idLast, v_id_notify, void (CCmdTarget::*)(UINT, NMHDR*, LRESULT*), memberFn)
// BOOL memberFn(UINT id, NMHDR* pNotifyStruct, LRESULT* pResult)  -- FALSE passes it on
#define ON_NOTIFY_EX(wNotifyCode, id, memberFn) \
    AFX_MSG_ENTRY(WM_NOTIFY, wNotifyCode, id, id, b_id_notify, BOOL (CCmdTarget::*)(UINT, NMHDR*, LRESULT*), memberFn)
// BOOL memberFn(UINT id, NMHDR* pNotifyStruct, LRESULT* pResult)  -- FALSE passes it on
#define ON_NOTIFY_EX_RANGE(wNotifyCode, id, idLast, memberFn) \
    AFX_MSG_ENTRY(WM_NOTIFY, wNotifyCode, id, idLast, b_id_notify, BOOL (CCmdTarget::*)(UINT, NMHDR*, LRESULT*), memberFn)

// ---------------------------------------------------------------------------
// Reflected notifications: handled by the control itself, before its parent.

// void memberFn()
#define ON_CONTROL_REFLECT(wNotifyCode, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND + WM_REFLECT_BASE, wNotifyCode, 0, 0, v_v, void (CCmdTarget::*)(), memberFn)
// BOOL memberFn()  -- FALSE lets the parent handle it too
#define ON_CONTROL_REFLECT_EX(wNotifyCode, memberFn) \
    AFX_MSG_ENTRY(WM_COMMAND + WM_REFLECT_BASE, wNotifyCode, 0, 0, b_v, BOOL (CCmdTarget::*)(), memberFn)
// void memberFn(NMHDR* pNotifyStruct, LRESULT* pResult)
#define ON_NOTIFY_REFLECT(wNotifyCode, memberFn) \
    AFX_MSG_ENTRY(WM_NOTIFY + WM_REFLECT_BASE, wNotifyCode, 0, 0, v_notify, void (CCmdTarget::*)(NMHDR*, LRESULT*), memberFn)
// BOOL memberFn(NMHDR* pNotifyStruct, LRESULT* pResult)  -- FALSE lets the parent handle it too
#define ON_NOTIFY_REFLECT_EX(wNotifyCode, memberFn) \
    AFX_MSG_ENTRY(WM_NOTIFY + WM_REFLECT_BASE, wNotifyCode, 0, 0, b_notify, BOOL (CCmdTarget::*)(NMHDR*, LRESULT*), memberFn)
// The WM_CTLCOLOR... messages reach a control's own map as this one message,
// with the CTLCOLOR_... kind as argument.
#define AFX_WM_CTLCOLOR 0x0019
// HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)  -- a null brush lets the parent answer
#define ON_WM_CTLCOLOR_REFLECT() \
    AFX_MSG_ENTRY(AFX_WM_CTLCOLOR + WM_REFLECT_BASE, 0, 0, 0, h_ctlcolor_reflect, HBRUSH (CWnd::*)(CDC*, UINT), CtlColor)
// void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
#define ON_WM_DRAWITEM_REFLECT() \
    AFX_MSG_ENTRY(WM_DRAWITEM + WM_REFLECT_BASE, 0, 0, 0, v_drawitem_reflect, void (CWnd::*)(LPDRAWITEMSTRUCT), DrawItem)
// void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct)
#define ON_WM_MEASUREITEM_REFLECT() \
    AFX_MSG_ENTRY(WM_MEASUREITEM + WM_REFLECT_BASE, 0, 0, 0, v_measureitem_reflect, void (CWnd::*)(LPMEASUREITEMSTRUCT), MeasureItem)
// void HScroll(UINT nSBCode, UINT nPos)
#define ON_WM_HSCROLL_REFLECT() \
    AFX_MSG_ENTRY(WM_HSCROLL + WM_REFLECT_BASE, 0, 0, 0, v_scroll_reflect, void (CWnd::*)(UINT, UINT), HScroll)
// void VScroll(UINT nSBCode, UINT nPos)
#define ON_WM_VSCROLL_REFLECT() \
    AFX_MSG_ENTRY(WM_VSCROLL + WM_REFLECT_BASE, 0, 0, 0, v_scroll_reflect, void (CWnd::*)(UINT, UINT), VScroll)

// ---------------------------------------------------------------------------
// User-defined and registered messages

// LRESULT memberFn(WPARAM wParam, LPARAM lParam)
#define ON_MESSAGE(message, memberFn) \
    AFX_MSG_ENTRY(message, 0, 0, 0, l_w_l, LRESULT (CWnd::*)(WPARAM, LPARAM), memberFn)
// LRESULT memberFn(WPARAM wParam, LPARAM lParam); nMessageVariable holds the
// id returned by RegisterWindowMessage (read when the message arrives).
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFn)                                   \
    { 0xC000, 0, 0, 0, &AfxDispatch::l_w_l,                                                 \
      reinterpret_cast<AFX_PMSG>(static_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(&ThisClass::memberFn)), \
      &(nMessageVariable) },

// ---------------------------------------------------------------------------
// Window messages

#define AFX_WM_ENTRY(msg, disp, type, memberFn) AFX_MSG_ENTRY(msg, 0, 0, 0, disp, type, memberFn)

// int OnCreate(LPCREATESTRUCT lpCreateStruct)  -- -1 refuses the window
#define ON_WM_CREATE() AFX_WM_ENTRY(WM_CREATE, i_create, int (CWnd::*)(LPCREATESTRUCT), OnCreate)
// BOOL OnNcCreate(LPCREATESTRUCT lpCreateStruct)
#define ON_WM_NCCREATE() AFX_WM_ENTRY(WM_NCCREATE, b_nccreate, BOOL (CWnd::*)(LPCREATESTRUCT), OnNcCreate)
// void OnDestroy()
#define ON_WM_DESTROY() AFX_WM_ENTRY(WM_DESTROY, v_v, void (CWnd::*)(), OnDestroy)
// void OnNcDestroy()
#define ON_WM_NCDESTROY() AFX_WM_ENTRY(WM_NCDESTROY, v_v, void (CWnd::*)(), OnNcDestroy)
// void OnClose()
#define ON_WM_CLOSE() AFX_WM_ENTRY(WM_CLOSE, v_v, void (CWnd::*)(), OnClose)
// void OnPaint()
#define ON_WM_PAINT() AFX_WM_ENTRY(WM_PAINT, v_v, void (CWnd::*)(), OnPaint)
// void OnNcPaint()
#define ON_WM_NCPAINT() AFX_WM_ENTRY(WM_NCPAINT, v_v, void (CWnd::*)(), OnNcPaint)
// BOOL OnEraseBkgnd(CDC* pDC)
#define ON_WM_ERASEBKGND() AFX_WM_ENTRY(WM_ERASEBKGND, b_dc, BOOL (CWnd::*)(CDC*), OnEraseBkgnd)
// void OnSize(UINT nType, int cx, int cy)
#define ON_WM_SIZE() AFX_WM_ENTRY(WM_SIZE, v_size, void (CWnd::*)(UINT, int, int), OnSize)
// void OnMove(int x, int y)
#define ON_WM_MOVE() AFX_WM_ENTRY(WM_MOVE, v_move, void (CWnd::*)(int, int), OnMove)
// void OnSizing(UINT fwSide, LPRECT pRect)
#define ON_WM_SIZING() AFX_WM_ENTRY(WM_SIZING, v_u_rect, void (CWnd::*)(UINT, LPRECT), OnSizing)
// void OnMoving(UINT fwSide, LPRECT pRect)
#define ON_WM_MOVING() AFX_WM_ENTRY(WM_MOVING, v_u_rect, void (CWnd::*)(UINT, LPRECT), OnMoving)
// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER() AFX_WM_ENTRY(WM_TIMER, v_timer, void (CWnd::*)(UINT_PTR), OnTimer)
// void OnLButtonDown(UINT nFlags, CPoint point)
#define ON_WM_LBUTTONDOWN() AFX_WM_ENTRY(WM_LBUTTONDOWN, v_u_pt, void (CWnd::*)(UINT, CPoint), OnLButtonDown)
// void OnLButtonUp(UINT nFlags, CPoint point)
#define ON_WM_LBUTTONUP() AFX_WM_ENTRY(WM_LBUTTONUP, v_u_pt, void (CWnd::*)(UINT, CPoint), OnLButtonUp)
// void OnLButtonDblClk(UINT nFlags, CPoint point)
#define ON_WM_LBUTTONDBLCLK() AFX_WM_ENTRY(WM_LBUTTONDBLCLK, v_u_pt, void (CWnd::*)(UINT, CPoint), OnLButtonDblClk)
// void OnRButtonDown(UINT nFlags, CPoint point)
#define ON_WM_RBUTTONDOWN() AFX_WM_ENTRY(WM_RBUTTONDOWN, v_u_pt, void (CWnd::*)(UINT, CPoint), OnRButtonDown)
// void OnRButtonUp(UINT nFlags, CPoint point)
#define ON_WM_RBUTTONUP() AFX_WM_ENTRY(WM_RBUTTONUP, v_u_pt, void (CWnd::*)(UINT, CPoint), OnRButtonUp)
// void OnRButtonDblClk(UINT nFlags, CPoint point)
#define ON_WM_RBUTTONDBLCLK() AFX_WM_ENTRY(WM_RBUTTONDBLCLK, v_u_pt, void (CWnd::*)(UINT, CPoint), OnRButtonDblClk)
// void OnMButtonDown(UINT nFlags, CPoint point)
#define ON_WM_MBUTTONDOWN() AFX_WM_ENTRY(WM_MBUTTONDOWN, v_u_pt, void (CWnd::*)(UINT, CPoint), OnMButtonDown)
// void OnMButtonUp(UINT nFlags, CPoint point)
#define ON_WM_MBUTTONUP() AFX_WM_ENTRY(WM_MBUTTONUP, v_u_pt, void (CWnd::*)(UINT, CPoint), OnMButtonUp)
// void OnMouseMove(UINT nFlags, CPoint point)
#define ON_WM_MOUSEMOVE() AFX_WM_ENTRY(WM_MOUSEMOVE, v_u_pt, void (CWnd::*)(UINT, CPoint), OnMouseMove)
// void OnNcLButtonDown(UINT nHitTest, CPoint point)  -- point in screen coordinates
#define ON_WM_NCLBUTTONDOWN() AFX_WM_ENTRY(WM_NCLBUTTONDOWN, v_u_pt, void (CWnd::*)(UINT, CPoint), OnNcLButtonDown)
// void OnNcMouseMove(UINT nHitTest, CPoint point)
#define ON_WM_NCMOUSEMOVE() AFX_WM_ENTRY(WM_NCMOUSEMOVE, v_u_pt, void (CWnd::*)(UINT, CPoint), OnNcMouseMove)
// BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt)  -- pt in screen coordinates
#define ON_WM_MOUSEWHEEL() AFX_WM_ENTRY(WM_MOUSEWHEEL, b_wheel, BOOL (CWnd::*)(UINT, short, CPoint), OnMouseWheel)
// int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message)
#define ON_WM_MOUSEACTIVATE() AFX_WM_ENTRY(WM_MOUSEACTIVATE, i_mouseactivate, int (CWnd::*)(CWnd*, UINT, UINT), OnMouseActivate)
// BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
#define ON_WM_SETCURSOR() AFX_WM_ENTRY(WM_SETCURSOR, b_setcursor, BOOL (CWnd::*)(CWnd*, UINT, UINT), OnSetCursor)
// void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_KEYDOWN() AFX_WM_ENTRY(WM_KEYDOWN, v_key, void (CWnd::*)(UINT, UINT, UINT), OnKeyDown)
// void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_KEYUP() AFX_WM_ENTRY(WM_KEYUP, v_key, void (CWnd::*)(UINT, UINT, UINT), OnKeyUp)
// void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_CHAR() AFX_WM_ENTRY(WM_CHAR, v_key, void (CWnd::*)(UINT, UINT, UINT), OnChar)
// void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_SYSKEYDOWN() AFX_WM_ENTRY(WM_SYSKEYDOWN, v_key, void (CWnd::*)(UINT, UINT, UINT), OnSysKeyDown)
// void OnSysKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_SYSKEYUP() AFX_WM_ENTRY(WM_SYSKEYUP, v_key, void (CWnd::*)(UINT, UINT, UINT), OnSysKeyUp)
// void OnSetFocus(CWnd* pOldWnd)
#define ON_WM_SETFOCUS() AFX_WM_ENTRY(WM_SETFOCUS, v_wnd, void (CWnd::*)(CWnd*), OnSetFocus)
// void OnKillFocus(CWnd* pNewWnd)
#define ON_WM_KILLFOCUS() AFX_WM_ENTRY(WM_KILLFOCUS, v_wnd, void (CWnd::*)(CWnd*), OnKillFocus)
// void OnCaptureChanged(CWnd* pWnd)
#define ON_WM_CAPTURECHANGED() AFX_WM_ENTRY(WM_CAPTURECHANGED, v_wnd, void (CWnd::*)(CWnd*), OnCaptureChanged)
// void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
#define ON_WM_HSCROLL() AFX_WM_ENTRY(WM_HSCROLL, v_scroll, void (CWnd::*)(UINT, UINT, CScrollBar*), OnHScroll)
// void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
#define ON_WM_VSCROLL() AFX_WM_ENTRY(WM_VSCROLL, v_scroll, void (CWnd::*)(UINT, UINT, CScrollBar*), OnVScroll)
// HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)  -- all WM_CTLCOLOR... messages
#define ON_WM_CTLCOLOR() \
    AFX_WM_ENTRY(WM_CTLCOLORMSGBOX, h_ctlcolor, HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), OnCtlColor) \
    AFX_WM_ENTRY(WM_CTLCOLOREDIT, h_ctlcolor, HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), OnCtlColor) \
    AFX_WM_ENTRY(WM_CTLCOLORLISTBOX, h_ctlcolor, HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), OnCtlColor) \
    AFX_WM_ENTRY(WM_CTLCOLORBTN, h_ctlcolor, HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), OnCtlColor) \
    AFX_WM_ENTRY(WM_CTLCOLORDLG, h_ctlcolor, HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), OnCtlColor) \
    AFX_WM_ENTRY(WM_CTLCOLORSCROLLBAR, h_ctlcolor, HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), OnCtlColor) \
    AFX_WM_ENTRY(WM_CTLCOLORSTATIC, h_ctlcolor, HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), OnCtlColor)
// void OnPaletteChanged(CWnd* pFocusWnd)  -- the window that changed the palette
#define ON_WM_PALETTECHANGED() AFX_WM_ENTRY(WM_PALETTECHANGED, v_wnd, void (CWnd::*)(CWnd*), OnPaletteChanged)
// void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct)
#define ON_WM_DRAWITEM() AFX_WM_ENTRY(WM_DRAWITEM, v_drawitem, void (CWnd::*)(int, LPDRAWITEMSTRUCT), OnDrawItem)
// void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct)
#define ON_WM_MEASUREITEM() AFX_WM_ENTRY(WM_MEASUREITEM, v_measureitem, void (CWnd::*)(int, LPMEASUREITEMSTRUCT), OnMeasureItem)
// UINT OnGetDlgCode()
#define ON_WM_GETDLGCODE() AFX_WM_ENTRY(WM_GETDLGCODE, u_v, UINT (CWnd::*)(), OnGetDlgCode)
// void OnSysColorChange()
#define ON_WM_SYSCOLORCHANGE() AFX_WM_ENTRY(WM_SYSCOLORCHANGE, v_v, void (CWnd::*)(), OnSysColorChange)
// void OnShowWindow(BOOL bShow, UINT nStatus)
#define ON_WM_SHOWWINDOW() AFX_WM_ENTRY(WM_SHOWWINDOW, v_b_u, void (CWnd::*)(BOOL, UINT), OnShowWindow)
// void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
#define ON_WM_ACTIVATE() AFX_WM_ENTRY(WM_ACTIVATE, v_activate, void (CWnd::*)(UINT, CWnd*, BOOL), OnActivate)
// void OnActivateApp(BOOL bActive, DWORD dwThreadID)
#define ON_WM_ACTIVATEAPP() AFX_WM_ENTRY(WM_ACTIVATEAPP, v_b_dw, void (CWnd::*)(BOOL, DWORD), OnActivateApp)
// BOOL OnNcActivate(BOOL bActive)
#define ON_WM_NCACTIVATE() AFX_WM_ENTRY(WM_NCACTIVATE, b_b, BOOL (CWnd::*)(BOOL), OnNcActivate)
// void OnContextMenu(CWnd* pWnd, CPoint pos)
#define ON_WM_CONTEXTMENU() AFX_WM_ENTRY(WM_CONTEXTMENU, v_wnd_pt, void (CWnd::*)(CWnd*, CPoint), OnContextMenu)
// void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu)
#define ON_WM_INITMENUPOPUP() AFX_WM_ENTRY(WM_INITMENUPOPUP, v_initmenupopup, void (CWnd::*)(CMenu*, UINT, BOOL), OnInitMenuPopup)
// void OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu)
#define ON_WM_MENUSELECT() AFX_WM_ENTRY(WM_MENUSELECT, v_menuselect, void (CWnd::*)(UINT, UINT, HMENU), OnMenuSelect)
// void OnGetMinMaxInfo(MINMAXINFO* lpMMI)
#define ON_WM_GETMINMAXINFO() AFX_WM_ENTRY(WM_GETMINMAXINFO, v_minmax, void (CWnd::*)(MINMAXINFO*), OnGetMinMaxInfo)
// LRESULT OnNcHitTest(CPoint point)
#define ON_WM_NCHITTEST() AFX_WM_ENTRY(WM_NCHITTEST, l_pt, LRESULT (CWnd::*)(CPoint), OnNcHitTest)
// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND() AFX_WM_ENTRY(WM_SYSCOMMAND, v_u_l, void (CWnd::*)(UINT, LPARAM), OnSysCommand)
// void OnWindowPosChanged(WINDOWPOS* lpwndpos)
#define ON_WM_WINDOWPOSCHANGED() AFX_WM_ENTRY(WM_WINDOWPOSCHANGED, v_winpos, void (CWnd::*)(WINDOWPOS*), OnWindowPosChanged)
// void OnWindowPosChanging(WINDOWPOS* lpwndpos)
#define ON_WM_WINDOWPOSCHANGING() AFX_WM_ENTRY(WM_WINDOWPOSCHANGING, v_winpos, void (CWnd::*)(WINDOWPOS*), OnWindowPosChanging)
// void OnDropFiles(HDROP hDropInfo)
#define ON_WM_DROPFILES() AFX_WM_ENTRY(WM_DROPFILES, v_drop, void (CWnd::*)(HDROP), OnDropFiles)
// void OnEnable(BOOL bEnable)
#define ON_WM_ENABLE() AFX_WM_ENTRY(WM_ENABLE, v_b, void (CWnd::*)(BOOL), OnEnable)
// BOOL OnCopyData(CWnd* pWnd, COPYDATASTRUCT* pCopyDataStruct)
#define ON_WM_COPYDATA() AFX_WM_ENTRY(WM_COPYDATA, b_copydata, BOOL (CWnd::*)(CWnd*, COPYDATASTRUCT*), OnCopyData)
// BOOL OnHelpInfo(HELPINFO* pHelpInfo)
#define ON_WM_HELPINFO() AFX_WM_ENTRY(WM_HELP, b_helpinfo, BOOL (CWnd::*)(HELPINFO*), OnHelpInfo)
// void OnSettingChange(UINT uFlags, LPCTSTR lpszSection)
#define ON_WM_SETTINGCHANGE() AFX_WM_ENTRY(WM_SETTINGCHANGE, v_setting, void (CWnd::*)(UINT, LPCTSTR), OnSettingChange)
// void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* lpncsp)
#define ON_WM_NCCALCSIZE() AFX_WM_ENTRY(WM_NCCALCSIZE, v_nccalc, void (CWnd::*)(BOOL, NCCALCSIZE_PARAMS*), OnNcCalcSize)
// void OnCancelMode()
#define ON_WM_CANCELMODE() AFX_WM_ENTRY(WM_CANCELMODE, v_v, void (CWnd::*)(), OnCancelMode)
// void OnEnterSizeMove()
#define ON_WM_ENTERSIZEMOVE() AFX_WM_ENTRY(WM_ENTERSIZEMOVE, v_v, void (CWnd::*)(), OnEnterSizeMove)
// void OnExitSizeMove()
#define ON_WM_EXITSIZEMOVE() AFX_WM_ENTRY(WM_EXITSIZEMOVE, v_v, void (CWnd::*)(), OnExitSizeMove)
// BOOL OnQueryEndSession()
#define ON_WM_QUERYENDSESSION() AFX_WM_ENTRY(WM_QUERYENDSESSION, b_queryend, BOOL (CWnd::*)(), OnQueryEndSession)
// void OnEndSession(BOOL bEnding)
#define ON_WM_ENDSESSION() AFX_WM_ENTRY(WM_ENDSESSION, v_b, void (CWnd::*)(BOOL), OnEndSession)
