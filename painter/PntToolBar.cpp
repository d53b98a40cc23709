#include "painter/PntToolBar.h"

#include "painter/DIBSection.h"
#include "painter/PaintControl.h"

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

bool IsPlace(UINT id)
{
    return id == CPntToolBar::kEraserWidth || id == CPntToolBar::kPenWidth || id == CPntToolBar::kForeColour ||
           id == CPntToolBar::kTransparentColour;
}

}  // namespace

BEGIN_MESSAGE_MAP(CPntToolBar, CToolBarEx)
    ON_COMMAND_RANGE(52768, 52797, OnButton)
END_MESSAGE_MAP()

CPntToolBar::CPntToolBar() : m_ctrl(NULL), m_hideViewButtons(FALSE), m_gripper(TRUE)
{
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
    if (!CToolBar::CreateEx(parent, TBSTYLE_FLAT | TBSTYLE_WRAPABLE, style, CRect(0, 0, 0, 0), id))
        return FALSE;
    SetWindowText("工具");
    m_ctrl = ctrl;
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
    UpdateButtons();
    return TRUE;
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
}
