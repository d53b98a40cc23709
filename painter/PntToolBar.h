#pragma once
#include "controls/ColourPicker.h"
#include "controls/CoolCombo.h"
#include "controls/ToolBarEx.h"

class CPaintControl;

// The tool bar of the image editor's dialogs: clipboard, undo and redo, view
// and the sixteen drawing tools of one bound paint control. Its buttons send
// their commands to the bar itself, which acts on the control, and show the
// control's state (UpdateButtons). On four places it embeds the eraser and
// pen width lists and the drawing and transparent colour pickers, whose
// choices go to the control. UI thread.
class CPntToolBar : public CToolBarEx {
public:
    enum {
        kCut = 52768, kCopy, kPaste, kClear, kUndo, kRedo, kMagnify, kFit, kResize, kSelectArea, kSelectColour,
        kFill, kText, kAirbrush, kBlank, kErase, kDraw, kLine, kEraserWidth, kPenWidth,
        kRectangle = 52789, kRoundRect, kEllipse, kFilledRect, kFilledRoundRect, kFilledEllipse, kForeColour,
        kTransparentColour
    };
    static const int kButtonCount = 29;
    static const int kPenWidths[5];      // 1..5
    static const int kEraserWidths[4];   // 4, 6, 8, 10
    // The 16 named colours the pickers offer when an image has few colours.
    static const ColourTableEntry kNamedColours[16];

    CPntToolBar();

    // Creates the bar (id 28133, images from the bitmap of that id) bound to
    // the control; hideViewButtons leaves out Magnify, Fit and Resize.
    BOOL Create(CWnd* parent, CPaintControl* ctrl, UINT id, DWORD style, BOOL gripper);
    void SetHideViewButtons(BOOL hide) { m_hideViewButtons = hide; }
    // Enables and presses the buttons from the control's state.
    void UpdateButtons();
    // The tool a command selects, 0 for none.
    static int ToolForCommand(UINT id);
    // Position of a width in its list, -1 when it has none.
    static int WidthIndex(const int* widths, int count, int width);
    // The tool tip of a button or embedded control by its id (the
    // catalogue's names, or the recorder's strings), empty outside the table.
    CString TipFor(UINT id) const;
    // The recorder's bar: texts from the string table.
    BOOL IsRecorderBar() const;

    CCoolCombo& GetEraserList() { return m_eraserList; }
    CCoolCombo& GetPenList() { return m_penList; }
    CColourPicker& GetForePicker() { return m_forePicker; }
    CColourPicker& GetTransparentPicker() { return m_transparentPicker; }

protected:
    void OnButton(UINT id);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnWindowPosChanged(WINDOWPOS* pos);
    BOOL CreateEmbedded(UINT bitmapId);
    // Answers a tool-tip request; TRUE when it was one.
    BOOL OnToolTipText(NMHDR* hdr);
    // Moves every embedded control onto the button that has its id.
    void PlaceEmbedded();
    void UpdateEmbedded();
    DECLARE_MESSAGE_MAP()

    CCoolCombo m_eraserList;
    CCoolCombo m_penList;
    CColourPicker m_forePicker;
    CColourPicker m_transparentPicker;
    int m_appliedColourCount;

    CPaintControl* m_ctrl;
    BOOL m_hideViewButtons;
    BOOL m_gripper;
};
