#pragma once
#include "controls/CoolCombo.h"
#include "framework/ui/GdiObject.h"

#include <vector>

// One colour of a picker's table: the colour and its name (the cell's
// tooltip), 68 bytes.
struct ColourTableEntry {
    COLORREF colour;
    char name[64];
};

// The 40 colours of the default table, 8 to a row.
extern const ColourTableEntry kDefaultColourTable[40];

// The popup of a colour picker: colour cells, "自动" above the grid and
// "更多颜色..." below it, which opens the colour dialog.
class CColourPickerPopup : public CCoolComboPopup {
    DECLARE_DYNAMIC(CColourPickerPopup)
public:
    CColourPickerPopup();
    ~CColourPickerPopup() override;

    BOOL CreatePicker(const CCoolComboPopupParams& params, const std::vector<COLORREF>& colours,
                      COLORREF current, COLORREF* pCustomColours, BOOL bUsePalette);
    COLORREF GetColour() const { return m_crCurrent; }
    // The item that stands for a colour: the default item for automatic (-1),
    // else the first cell of that colour, else the more-colours item.
    static int ItemFromColour(COLORREF colour, const std::vector<COLORREF>& colours, BOOL bHasExtras);

    // The message shown when the colour dialog fails.
    static const char* const kDialogError;

protected:
    void OnDefaultChosen() override;
    void OnExtraChosen(int nExtra) override;
    void OnItemChosen(int nCell) override;
    void OnHovered(int nCell) override;
    CSize GetCellSize() override;
    void DrawCell(CDC* pDC, int nCell, const CRect& rc) override;

private:
    std::vector<COLORREF> m_colours;
    COLORREF* m_pCustomColours;
    COLORREF m_ownCustom[16];
    CPalette m_palette;
    COLORREF m_crCurrent;
    BOOL m_bInDialog;
    BOOL m_bUsePalette;
};

// The colour chooser of the image editor: a drop-down combo whose face
// shows the current colour and whose popup is a CColourPickerPopup.
// Notifications (CCN_ codes to the owner window): CCN_ITEMCHOSEN with the
// colour, CCN_DEFAULTCHOSEN with -1, CCN_HOTCHANGED with the popup's colour,
// CCN_GETCUSTOMCOLOURS asking for 16 custom colours (answer a COLORREF*).
class CColourPicker : public CCoolCombo {
    DECLARE_DYNCREATE(CColourPicker)
public:
    CColourPicker();
    ~CColourPicker() override;

    COLORREF GetColour() const { return m_crColour; }
    void SetColour(COLORREF colour);
    COLORREF GetLastColour() const { return m_crLast; }
    void SetColourTable(const ColourTableEntry* pEntries, int nCount);
    const std::vector<ColourTableEntry>& GetColourTable() const { return m_table; }
    void SetCustomColours(COLORREF* pColours) { m_pCustomColours = pColours; }
    void SetReapply(BOOL bReapply) { m_bReapply = bReapply; }
    void SetUsePalette(BOOL bUse) { m_bUsePalette = bUse; }

    BOOL OpenPopup() override;

    // The outline of the face box: -1 none, else its colour. Automatic gets
    // the shadow colour; a colour too close to the face (squared distance
    // below 255) gets black.
    static COLORREF BoxOutline(COLORREF colour, COLORREF face, COLORREF shadow);

protected:
    void DrawFace(CDC* pDC, const CRect& rcFace, BOOL bEnabled) override;
    void SelectNext() override;
    void OnItemChosen(int nCell) override;
    void OnDefaultChosen() override;
    virtual void DrawColourBox(CDC* pDC, const CRect& rc, BOOL bEnabled);
    virtual LRESULT OnGetCustomColours();
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnPaletteChanged(CWnd* pFocusWnd);
    DECLARE_MESSAGE_MAP()

private:
    void BuildPalette();

    COLORREF m_crColour;
    COLORREF m_crLast;
    CPalette m_palette;
    BOOL m_bUsePalette;
    COLORREF* m_pCustomColours;
    std::vector<ColourTableEntry> m_table;
    BOOL m_bReapply;
};
