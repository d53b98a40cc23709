#pragma once
#include "controls/ToolBarEx.h"

class CPaintControl;

// The tool bar of the image editor's dialogs: clipboard, undo and redo, view
// and the sixteen drawing tools of one bound paint control. Its buttons send
// their commands to the bar itself, which acts on the control, and show the
// control's state (UpdateButtons). The four places of the width lists and
// colour pickers are kept as gaps. UI thread.
class CPntToolBar : public CToolBarEx {
public:
    enum {
        kCut = 52768, kCopy, kPaste, kClear, kUndo, kRedo, kMagnify, kFit, kResize, kSelectArea, kSelectColour,
        kFill, kText, kAirbrush, kBlank, kErase, kDraw, kLine, kEraserWidth, kPenWidth,
        kRectangle = 52789, kRoundRect, kEllipse, kFilledRect, kFilledRoundRect, kFilledEllipse, kForeColour,
        kTransparentColour
    };
    static const int kButtonCount = 29;

    CPntToolBar();

    // Creates the bar (id 28133, images from the bitmap of that id) bound to
    // the control; hideViewButtons leaves out Magnify, Fit and Resize.
    BOOL Create(CWnd* parent, CPaintControl* ctrl, UINT id, DWORD style, BOOL gripper);
    void SetHideViewButtons(BOOL hide) { m_hideViewButtons = hide; }
    // Enables and presses the buttons from the control's state.
    void UpdateButtons();
    // The tool a command selects, 0 for none.
    static int ToolForCommand(UINT id);

protected:
    void OnButton(UINT id);
    DECLARE_MESSAGE_MAP()

    CPaintControl* m_ctrl;
    BOOL m_hideViewButtons;
    BOOL m_gripper;
};
