#pragma once
#include "painter/PntBitmapEditDlg.h"

class CDataShapeObject;
class CRecorderPrefs;

// Preference flag: the text tool's tip is not shown again.
const DWORD kFlagNoTextToolTip = 0x800000;

// The bitmap edit dialog as the recorder uses it for shape pictures: the
// scale group stays hidden. UI thread.
class CImageEditDlg : public CPntBitmapEditDlg {
    DECLARE_DYNCREATE(CImageEditDlg)
public:
    explicit CImageEditDlg(CWnd* parent = NULL);

    BOOL OnInitDialog() override;
    // The preferences whose flag word remembers the text tip (may be null:
    // then the tip is not shown).
    void SetPrefs(CRecorderPrefs* prefs) { m_prefs = prefs; }

protected:
    // The text bar opened over this dialog: the one-time tip.
    LRESULT OnTextBarOpened(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

    BOOL m_textTipPending;
    CRecorderPrefs* m_prefs;
};

// The editor settings a caller keeps between runs of EditShapeImage.
struct CPntEditSettings {
    HWND owner = NULL;
    COLORREF drawColour = RGB(0, 0, 0);
    COLORREF transparentColour = 0xFFFFFFFF;
    int lineWidth = 1;
    int eraserWidth = 4;
    // Where the owner keeps the dialog that is open now (set while an item
    // editor runs, cleared afterwards), so it can forward to it; may be null.
    CDialog** openDialog = nullptr;
    // The preferences of the text tool's tip; may be null.
    CRecorderPrefs* prefs = nullptr;
};

// Edits a shape's picture in CImageEditDlg. On OK the settings take back the
// control's colours and widths, the shape takes the edited picture when it
// was modified (or the shape had none: the dialog then first asks for the
// size of a blank one) and the transparent colour when it changed. TRUE
// exactly when the shape changed; Cancel changes nothing.
BOOL EditShapeImage(CPntEditSettings& settings, CDataShapeObject* shape);
