#include "painter/PntToolBar.h"

#include "painter/DIBSection.h"
#include "painter/PaintControl.h"
#include "resources/ids_painter.h"

#include <cstring>

namespace {

struct Button {
    UINT id;
    const char* name;   // the tool tip
};
const Button kButtons[CPntToolBar::kButtonCount] = {
    { 52768, "Cut" }, { 52769, "Copy" }, { 52770, "Paste" }, { 52771, "Clear" }, { 52772, "Undo" },
    { 52773, "Redo" }, { 52774, "Magnify" }, { 52775, "Size to fit window" }, { 52776, "Resize" },
    { 52777, "Select Area" }, { 52778, "Select Color" }, { 52779, "Flood Fill" }, { 52780, "Add Text" },
    { 52781, "Air brush" }, { 52782, "" }, { 52783, "Freehand Erase" }, { 52784, "Freehand Draw" },
    { 52785, "Line" }, { 52786, "Eraser width" }, { 52787, "Pen Width" }, { 0, "Separator1" },
    { 52789, "Rectangle" }, { 52790, "Rounded Rectangle" }, { 52791, "Ellipse" }, { 52792, "Filled Rectangle" },
    { 52793, "Filled Rounded Rectangle" }, { 52794, "Filled Ellipse" }, { 52795, "Foreground Color" },
    { 52796, "Transparency Color" },
};

struct ToolOfCommand {
    UINT id;
    int tool;
};
const ToolOfCommand kTools[] = {
    { 52774, 3 }, { 52777, 1 }, { 52778, 7 }, { 52779, 4 }, { 52780, 9 }, { 52781, 10 }, { 52783, 6 },
    { 52784, 5 }, { 52785, 8 }, { 52789, 11 }, { 52790, 12 }, { 52791, 13 }, { 52792, 14 }, { 52793, 15 },
    { 52794, 16 },
};

// The embedded controls' own tips.
CString ControlTip(UINT id, BOOL recorder)
{
    static const struct { UINT id; const char* text; UINT string; } kTips[] = {
        { 52786, "橡皮宽度", 169 }, { 52787, "线条宽度", 170 }, { 52795, "前景颜色", 171 }, { 52796, "透明色", 167 },
    };
    CString tip;
    for (const auto& t : kTips)
        if (t.id == id) {
            if (recorder)
                tip.LoadString(t.string);
            else
                tip = t.text;
        }
    return tip;
}

bool IsPlace(UINT id)
{
    return id == CPntToolBar::kEraserWidth || id == CPntToolBar::kPenWidth || id == CPntToolBar::kForeColour ||
           id == CPntToolBar::kTransparentColour;
}

}  // namespace

const int CPntToolBar::kPenWidths[5] = { 1, 2, 3, 4, 5 };
const int CPntToolBar::kEraserWidths[4] = { 4, 6, 8, 10 };
const ColourTableEntry CPntToolBar::kNamedColours[16] = {
    { 0x000000, "Black" },        { 0xFFFFFF, "White" },       { 0xFF0000, "Blue" },
    { 0x00FF00, "Bright green" }, { 0xFFFF00, "Cyan" },        { 0x0000FF, "Red" },
    { 0xFF00FF, "Magenta" },      { 0x00FFFF, "Yellow" },      { 0x800000, "Dark Blue" },
    { 0x008000, "Dark Green" },   { 0x808000, "Dark Cyan" },   { 0x000080, "Dark red" },
    { 0x800080, "Dark Magenta" }, { 0x008080, "Dark yellow" }, { 0x808080, "Grey - 50%" },
    { 0xC0C0C0, "Light grey" },
};

BEGIN_MESSAGE_MAP(CPntToolBar, CToolBarEx)
    ON_COMMAND_RANGE(52768, 52797, OnButton)
    ON_WM_WINDOWPOSCHANGED()
END_MESSAGE_MAP()

CPntToolBar::CPntToolBar() : m_ctrl(NULL), m_hideViewButtons(FALSE), m_gripper(TRUE), m_appliedColourCount(-1)
{
}

int CPntToolBar::WidthIndex(const int* widths, int count, int width)
{
    for (int i = 0; i < count; ++i)
        if (widths[i] == width)
            return i;
    return -1;
}

int CPntToolBar::ToolForCommand(UINT id)
{
    for (const ToolOfCommand& t : kTools)
        if (t.id == id)
            return t.tool;
    return 0;
}

BOOL CPntToolBar::Create(CWnd* parent, CPaintControl* ctrl, UINT id, DWORD style, BOOL gripper)
{
    if (!CToolBar::CreateEx(parent, TBSTYLE_FLAT | TBSTYLE_WRAPABLE | TBSTYLE_TOOLTIPS, style, CRect(0, 0, 0, 0), id))
        return FALSE;
    m_ctrl = ctrl;
    if (IsRecorderBar()) {
        CString caption;
        caption.LoadString(IDS_PNT_TOOLBAR_CAPTION);
        SetWindowText(caption);
    } else {
        SetWindowText("工具");
    }
    m_gripper = gripper;
    SetSizes(CSize(23, 22), CSize(16, 15));
    if (!LoadBitmap(id))
        return FALSE;
    UINT ids[kButtonCount];
    for (int i = 0; i < kButtonCount; ++i)
        ids[i] = kButtons[i].id;
    if (!SetButtons(ids, kButtonCount))
        return FALSE;
    CRect first;
    GetItemRect(0, &first);
    for (int i = 0; i < kButtonCount; ++i) {
        const UINT buttonId = kButtons[i].id;
        if (buttonId == 0)
            SetButtonInfo(i, 0, TBSTYLE_SEP, 6);
        else if (IsPlace(buttonId))
            SetButtonInfo(i, buttonId, TBSTYLE_SEP, first.Width() * 3 / 2);   // the gap of an embedded control
        else
            SetButtonInfo(i, buttonId, TBSTYLE_BUTTON, i);
    }
    SendMessage(TB_SETPARENT, (WPARAM)m_hWnd);
    if (m_hideViewButtons) {
        for (UINT viewId : { (UINT)kResize, (UINT)kFit, (UINT)kMagnify }) {
            const int index = CommandToIndex(viewId);
            if (index >= 0)
                SendMessage(TB_DELETEBUTTON, index);
        }
    }
    CRect rows;
    SendMessage(TB_SETROWS, MAKEWPARAM(m_hideViewButtons ? 10 : 11, TRUE), (LPARAM)&rows);
    CreateEmbedded(id);
    UpdateButtons();
    return TRUE;
}

// Each place is a separator one and a half buttons wide; the lists and the
// pickers sit on them, each with its icon from the bar's bitmap.
BOOL CPntToolBar::CreateEmbedded(UINT bitmapId)
{
    CRect first;
    GetItemRect(0, &first);
    const int w = first.Width();
    struct Place {
        UINT id;
        CCoolCombo* control;
        int width;
        int image;
        COLORREF mask;
    };
    const Place places[4] = {
        { kEraserWidth, &m_eraserList, w * 3 / 2, 18, 0xC0C0C0 },
        { kPenWidth, &m_penList, 3 * w - w * 3 / 2, 19, 0xC0C0C0 },
        { kForeColour, &m_forePicker, w * 3 / 2, 27, 0x020000FF },
        { kTransparentColour, &m_transparentPicker, 3 * w - w * 3 / 2, 28, 0x020000FF },
    };
    m_forePicker.SetDefaultText("");   // no "no colour" choice
    CString none = "None";
    if (IsRecorderBar())
        none.LoadString(IDS_PNT_NO_COLOUR);
    m_transparentPicker.SetDefaultText(none);
    BOOL ok = TRUE;
    for (const Place& place : places) {
        const int index = CommandToIndex(place.id);
        if (index < 0)
            continue;
        SetButtonInfo(index, place.id, TBSTYLE_SEP, place.width);
        CRect r;
        GetItemRect(index, &r);
        if (place.control->m_hWnd == NULL && !place.control->Create(r, this, place.id)) {
            ok = FALSE;
            continue;
        }
        place.control->SetImage(bitmapId, 16, place.image, place.mask);
        // Its own tip, held by the bar's tool-tip window.
        HWND tips = (HWND)SendMessage(TB_GETTOOLTIPS);
        if (tips) {
            const CString tip = ControlTip(place.id, IsRecorderBar());
            TOOLINFOA info;
            std::memset(&info, 0, sizeof(info));
            info.cbSize = sizeof(info);
            info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            info.hwnd = m_hWnd;
            info.uId = (UINT_PTR)place.control->m_hWnd;
            info.lpszText = const_cast<LPSTR>((LPCSTR)tip);
            ::SendMessageA(tips, TTM_ADDTOOLA, 0, (LPARAM)&info);
        }
    }
    m_eraserList.LoadImageList(28132, 16, 0xC0C0C0);
    m_eraserList.SetCounts(4, 4);
    m_eraserList.SetFaceShowsCellImage(TRUE, FALSE);
    m_penList.LoadImageList(28131, 32, 0xC0C0C0);
    m_penList.SetCounts(5, 1);
    m_penList.SetFaceShowsCellImage(TRUE, FALSE);
    PlaceEmbedded();
    return ok;
}

void CPntToolBar::PlaceEmbedded()
{
    if (!m_hWnd)
        return;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int index = CommandToIndex((UINT)::GetDlgCtrlID(child));
        if (index < 0)
            continue;
        CRect r;
        GetItemRect(index, &r);
        ::SetWindowPos(child, NULL, r.left, r.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_SHOWWINDOW);
    }
}

void CPntToolBar::OnWindowPosChanged(WINDOWPOS* pos)
{
    Default();
    PlaceEmbedded();
    if (pos && !(pos->flags & SWP_NOMOVE))
        Invalidate();
}

// The choices of the embedded controls go to the control.
BOOL CPntToolBar::IsRecorderBar() const
{
    return m_ctrl && m_ctrl->GetVariant() == CPaintControl::kRecorder;
}

CString CPntToolBar::TipFor(UINT id) const
{
    for (int i = 0; i < kButtonCount; ++i) {
        if (kButtons[i].id != id || id == 0)
            continue;
        CString tip;
        if (IsRecorderBar())
            tip.LoadString(IDS_PNT_TOOL_TIP_FIRST + (UINT)i);
        else
            tip = kButtons[i].name;
        return tip;
    }
    return CString();
}

// The tip of a button, or of the embedded control under the cursor, copied
// into the request's own buffer (at most 80 characters, terminated).
BOOL CPntToolBar::OnToolTipText(NMHDR* hdr)
{
    if (hdr->code != TTN_NEEDTEXTA && hdr->code != TTN_NEEDTEXTW)
        return FALSE;
    UINT id = (UINT)hdr->idFrom;
    const UINT flags = hdr->code == TTN_NEEDTEXTA ? reinterpret_cast<NMTTDISPINFOA*>(hdr)->uFlags
                                                  : reinterpret_cast<NMTTDISPINFOW*>(hdr)->uFlags;
    if (flags & TTF_IDISHWND)
        id = (UINT)::GetDlgCtrlID((HWND)hdr->idFrom);
    const CString tip = TipFor(id);
    if (hdr->code == TTN_NEEDTEXTA) {
        NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(hdr);
        ::lstrcpynA(info->szText, tip, (int)sizeof(info->szText));
        info->lpszText = info->szText;
    } else {
        NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(hdr);
        const int n = ::MultiByteToWideChar(CP_ACP, 0, tip, -1, info->szText, 80);
        info->szText[n > 0 ? (n < 80 ? n : 79) : 0] = 0;
        info->lpszText = info->szText;
    }
    return TRUE;
}

BOOL CPntToolBar::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (hdr && OnToolTipText(const_cast<NMHDR*>(hdr))) {
        if (pResult)
            *pResult = 0;
        return TRUE;
    }
    if (hdr && m_ctrl && (hdr->code == CCN_ITEMCHOSEN || hdr->code == CCN_DEFAULTCHOSEN)) {
        const int value = reinterpret_cast<const NMCOOLCOMBO*>(lParam)->value;
        const bool chosen = hdr->code == CCN_ITEMCHOSEN;
        switch (hdr->idFrom) {
        case kEraserWidth:
            if (chosen && value >= 0 && value < 4)
                m_ctrl->SetEraserWidth(kEraserWidths[value]);
            break;
        case kPenWidth:
            if (chosen && value >= 0 && value < 5)
                m_ctrl->SetPenWidth(kPenWidths[value]);
            break;
        case kForeColour:
            m_ctrl->SetForeColor(chosen ? (COLORREF)value : RGB(0, 0, 0));
            break;
        case kTransparentColour:
            m_ctrl->SetTransparentColor(chosen ? (COLORREF)value : CPaintControl::kNoColour);
            break;
        default:
            return CToolBarEx::OnNotify(wParam, lParam, pResult);
        }
        UpdateButtons();
        return TRUE;
    }
    return CToolBarEx::OnNotify(wParam, lParam, pResult);
}

// The pickers offer the image's colours when it has at most 16 (the first
// that many named colours), a free choice otherwise.
void CPntToolBar::UpdateEmbedded()
{
    const bool bound = m_ctrl && m_ctrl->m_hWnd;
    const bool idle = bound && !m_ctrl->IsBusy();
    if (bound) {
        const int colours = m_ctrl->HasImage() ? (int)m_ctrl->GetImage().GetColorCount() : 0;
        if (colours != m_appliedColourCount) {
            m_appliedColourCount = colours;
            if (colours >= 1 && colours <= 16)
                m_forePicker.SetColourTable(kNamedColours, colours);
            else
                m_forePicker.SetColourTable(NULL, 0);
            m_transparentPicker.SetColourTable(kNamedColours, colours >= 1 && colours <= 16 ? colours : 16);
        }
        m_forePicker.SetColour(m_ctrl->GetForeColor());
        m_transparentPicker.SetColour(m_ctrl->GetTransparentColor());
        m_eraserList.SetCurSel(WidthIndex(kEraserWidths, 4, m_ctrl->GetEraserWidth()));
        m_penList.SetCurSel(WidthIndex(kPenWidths, 5, m_ctrl->GetPenWidth()));
    }
    for (CWnd* c : { (CWnd*)&m_eraserList, (CWnd*)&m_penList, (CWnd*)&m_forePicker })
        if (c->m_hWnd)
            c->EnableWindow(idle);
    if (m_transparentPicker.m_hWnd)
        m_transparentPicker.EnableWindow(idle && m_ctrl->IsShowingTransparency());
}

void CPntToolBar::OnButton(UINT id)
{
    if (!m_ctrl || !m_ctrl->m_hWnd || id < kCut || id > kFilledEllipse)
        return;
    switch (id) {
    case kCut: m_ctrl->Cut(); break;
    case kCopy: m_ctrl->Copy(); break;
    case kPaste: m_ctrl->Paste(); break;
    case kClear: m_ctrl->ClearArea(NULL, TRUE); break;
    case kUndo: m_ctrl->Undo(); break;
    case kRedo: m_ctrl->Redo(); break;
    case kFit: m_ctrl->ZoomToFit(); break;
    case kResize: m_ctrl->Crop(); break;
    default: {
        const int tool = ToolForCommand(id);
        if (tool)
            m_ctrl->SetTool(tool);
        break;
    }
    }
    UpdateButtons();
}

// E: enabled, P: pressed. Copy, Fit, Magnify and Select Area stay enabled
// while the control is busy (a drag runs); the rest wait for it.
void CPntToolBar::UpdateButtons()
{
    if (!m_hWnd)
        return;
    const bool bound = m_ctrl && m_ctrl->m_hWnd;
    const bool idle = bound && !m_ctrl->IsBusy();
    const int tool = bound ? m_ctrl->GetTool() : 0;
    for (const Button& b : kButtons) {
        if (b.id == 0 || IsPlace(b.id) || CommandToIndex(b.id) < 0)
            continue;
        bool enabled = false, pressed = false;
        switch (b.id) {
        case kCut: case kClear: case kResize: enabled = idle; break;
        case kCopy: case kFit: enabled = bound; break;
        case kPaste: enabled = idle && CDIBSection::CanPaste() != 0; break;
        case kUndo: enabled = idle && m_ctrl->CanUndo(); break;
        case kRedo: enabled = idle && m_ctrl->CanRedo(); break;
        case kMagnify: enabled = bound; pressed = tool == 3; break;
        case kSelectArea: enabled = bound; pressed = tool == 1 || tool == 2; break;
        case kBlank: break;
        default: enabled = idle; pressed = bound && tool == ToolForCommand(b.id); break;
        }
        SendMessage(TB_ENABLEBUTTON, b.id, MAKELONG(enabled ? TRUE : FALSE, 0));
        SendMessage(TB_CHECKBUTTON, b.id, MAKELONG(pressed ? TRUE : FALSE, 0));
    }
    UpdateEmbedded();
}
