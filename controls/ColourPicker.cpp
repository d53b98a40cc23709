#include "controls/ColourPicker.h"

#include "controls/Emboss.h"
#include "framework/ui/DC.h"
#include "framework/ui/FileDialog.h"
#include "resources/ids_controls.h"

#include <commdlg.h>
#include <cstring>
#include <new>

const ColourTableEntry kDefaultColourTable[40] = {
    { 0x000000, "Black" },          { 0x002AA5, "Brown" },        { 0x404000, "Dark Olive Green" },
    { 0x008000, "Dark Green" },     { 0x5E0000, "Dark Teal" },    { 0x800000, "Dark Blue" },
    { 0x82004B, "Indigo" },         { 0x282828, "Dark grey" },    { 0x000080, "Dark red" },
    { 0x2068FF, "Orange" },         { 0x008080, "Dark yellow" },  { 0x009300, "Green" },
    { 0x808000, "Dark Cyan" },      { 0xFF0000, "Blue" },         { 0xC07B7B, "Blue-grey" },
    { 0x666666, "Grey - 40%" },     { 0x0000FF, "Red" },          { 0x5BADFF, "Light orange" },
    { 0x32CD32, "Lime" },           { 0x71B33C, "Sea green" },    { 0xFFFF00, "Cyan" },
    { 0xC09E7D, "Light blue" },     { 0x800080, "Dark Magenta" }, { 0x808080, "Grey - 50%" },
    { 0xCBC0FF, "Pink" },           { 0x00D7FF, "Gold" },         { 0x00FFFF, "Yellow" },
    { 0x00FF00, "Bright green" },   { 0xD0E040, "Turquoise" },    { 0xFFFF80, "Light Cyan" },
    { 0xFF00FF, "Magenta" },        { 0xC0C0C0, "Light grey" },   { 0xE1E4FF, "Rose" },
    { 0x8CB4D2, "Tan" },            { 0x80FFFF, "Light yellow" }, { 0x80FF80, "Light green " },
    { 0xEEEEAF, "Pale turquoise" }, { 0x8B8368, "Pale blue" },    { 0xFAE6E6, "Lavender" },
    { 0xFFFFFF, "White" },
};

const char* const CColourPickerPopup::kDialogError = "不能显示颜色选择器对话框";

namespace {
const COLORREF kAutomatic = (COLORREF)-1;

// A logical palette of the table's colours; a halftone one when memory runs out.
void MakePalette(CPalette& palette, const COLORREF* colours, int count)
{
    palette.DeleteObject();
    const size_t size = sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * (size_t)(count > 0 ? count : 1);
    LOGPALETTE* pLog = (LOGPALETTE*)::operator new(size, std::nothrow);
    if (pLog == NULL || count <= 0) {
        ::operator delete(pLog);
        CClientDC dc(NULL);
        palette.CreateHalftonePalette(&dc);
        return;
    }
    pLog->palVersion = 0x300;
    pLog->palNumEntries = (WORD)count;
    for (int i = 0; i < count; i++) {
        pLog->palPalEntry[i].peRed = GetRValue(colours[i]);
        pLog->palPalEntry[i].peGreen = GetGValue(colours[i]);
        pLog->palPalEntry[i].peBlue = GetBValue(colours[i]);
        pLog->palPalEntry[i].peFlags = 0;
    }
    palette.CreatePalette(pLog);
    ::operator delete(pLog);
}

bool IsPaletteDevice(HDC hdc)
{
    return (::GetDeviceCaps(hdc, RASTERCAPS) & RC_PALETTE) != 0;
}
}  // namespace

// ---------------------------------------------------------------------------
// CColourPickerPopup

IMPLEMENT_DYNAMIC(CColourPickerPopup, CCoolComboPopup)

CColourPickerPopup::CColourPickerPopup()
    : m_pCustomColours(NULL), m_crCurrent(kAutomatic), m_bInDialog(FALSE), m_bUsePalette(TRUE)
{
    for (COLORREF& c : m_ownCustom)
        c = RGB(255, 255, 255);
}

CColourPickerPopup::~CColourPickerPopup()
{
}

int CColourPickerPopup::ItemFromColour(COLORREF colour, const std::vector<COLORREF>& colours, BOOL bHasExtras)
{
    if (colour == kAutomatic)
        return kCoolDefaultItem;
    for (size_t i = 0; i < colours.size(); i++)
        if (colours[i] == colour)
            return (int)i;
    return bHasExtras ? (int)kCoolExtraBase : (int)kCoolNoItem;
}

BOOL CColourPickerPopup::CreatePicker(const CCoolComboPopupParams& params, const std::vector<COLORREF>& colours,
                                      COLORREF current, COLORREF* pCustomColours, BOOL bUsePalette)
{
    m_colours = colours;
    m_crCurrent = current;
    m_pCustomColours = pCustomColours;
    m_bUsePalette = bUsePalette;
    MakePalette(m_palette, m_colours.empty() ? NULL : &m_colours[0], (int)m_colours.size());
    CCoolComboPopupParams p = params;
    p.nColumns = 8;
    p.nCount = (int)m_colours.size();
    p.hImages = NULL;
    p.pCommands = NULL;
    p.nCommands = 0;
    p.nCurrent = ItemFromColour(current, m_colours, p.pExtras != NULL && p.pExtras->GetSize() > 0);
    return Create(p);
}

CSize CColourPickerPopup::GetCellSize()
{
    return CSize(16, 16);
}

void CColourPickerPopup::OnItemChosen(int nCell)
{
    if (nCell < 0 || (size_t)nCell >= m_colours.size())
        return;
    m_crCurrent = m_colours[(size_t)nCell];
    Notify(CCN_ITEMCHOSEN, (int)m_crCurrent);
}

void CColourPickerPopup::OnDefaultChosen()
{
    m_crCurrent = kAutomatic;
    Notify(CCN_DEFAULTCHOSEN, -1);
}

void CColourPickerPopup::OnHovered(int)
{
    Notify(CCN_HOTCHANGED, (int)m_crCurrent);
}

// More colours: the colour dialog, with custom colours from the owner when
// the popup has none. The popup stays open while the dialog has the focus.
void CColourPickerPopup::OnExtraChosen(int)
{
    if (m_pCustomColours == NULL)
        m_pCustomColours = (COLORREF*)Notify(CCN_GETCUSTOMCOLOURS, 0);
    CHOOSECOLORA cc;
    ZeroMemory(&cc, sizeof(cc));
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = m_hWnd;
    cc.rgbResult = m_crCurrent == kAutomatic ? 0 : m_crCurrent;
    cc.lpCustColors = m_pCustomColours != NULL ? m_pCustomColours : m_ownCustom;
    cc.Flags = CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT;
    m_bInDialog = TRUE;
    m_bHoldOpen = TRUE;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    const BOOL ok = ::ChooseColorA(&cc);
    const DWORD error = ok ? 0 : ::CommDlgExtendedError();
    m_bInDialog = FALSE;
    m_bHoldOpen = FALSE;
    if (ok) {
        m_crCurrent = cc.rgbResult;
        Notify(CCN_ITEMCHOSEN, (int)m_crCurrent);
    } else if (error != 0) {
        ::MessageBoxA(m_hWnd, kDialogError, NULL, MB_OK | MB_ICONEXCLAMATION);
    }
    HWND hForeground = ::GetForegroundWindow();
    if (hForeground == m_hWnd)
        hForeground = ::GetWindow(m_hWnd, GW_HWNDNEXT);
    if (hForeground != NULL)
        ::SetFocus(hForeground);
}

void CColourPickerPopup::DrawCell(CDC* pDC, int nCell, const CRect& rc)
{
    DrawItemState(pDC, nCell, rc, TRUE);
    if (nCell < 0 || (size_t)nCell >= m_colours.size())
        return;
    HDC hdc = pDC->GetSafeHdc();
    COLORREF colour = m_colours[(size_t)nCell];
    HPALETTE oldPalette = NULL;
    if (m_bUsePalette && IsPaletteDevice(hdc) && m_palette.m_hObject != NULL) {
        oldPalette = ::SelectPalette(hdc, (HPALETTE)m_palette.m_hObject, FALSE);
        ::RealizePalette(hdc);
        colour = PALETTERGB(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    }
    CRect box = rc;
    box.DeflateRect(2, 2);
    HBRUSH brush = ::CreateSolidBrush(colour);
    HPEN pen = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldBrush = ::SelectObject(hdc, brush);
    HGDIOBJ oldPen = ::SelectObject(hdc, pen);
    ::Rectangle(hdc, box.left, box.top, box.right, box.bottom);
    ::SelectObject(hdc, oldBrush);
    ::SelectObject(hdc, oldPen);
    ::DeleteObject(brush);
    ::DeleteObject(pen);
    if (oldPalette != NULL)
        ::SelectPalette(hdc, oldPalette, FALSE);
}

// ---------------------------------------------------------------------------
// CColourPicker

IMPLEMENT_DYNCREATE(CColourPicker, CCoolCombo)

BEGIN_MESSAGE_MAP(CColourPicker, CCoolCombo)
    ON_WM_PALETTECHANGED()
END_MESSAGE_MAP()

CColourPicker::CColourPicker()
    : m_crColour(kAutomatic), m_crLast(kAutomatic), m_bUsePalette(TRUE), m_pCustomColours(NULL),
      m_bReapply(FALSE)
{
    m_nCurSel = kCoolNoItem;
    m_strCaption = "选择颜色";
    m_bFlatLook = TRUE;
    CString text;
    if (text.LoadString(IDS_COLOUR_AUTOMATIC))
        m_strDefault = text;
    if (text.LoadString(IDS_COLOUR_MORE))
        m_extras.Add(text);
    m_bTearOff = TRUE;
    SetColourTable(NULL, 0);
}

CColourPicker::~CColourPicker()
{
}

// Names are cut to 63 bytes and terminated, whatever the caller's entries hold.
void CColourPicker::SetColourTable(const ColourTableEntry* pEntries, int nCount)
{
    if (pEntries == NULL) {
        pEntries = kDefaultColourTable;
        nCount = 40;
    }
    try {
        m_table.assign(pEntries, pEntries + (nCount > 0 ? nCount : 0));
    } catch (const std::bad_alloc&) {
        m_table.clear();
    }
    for (ColourTableEntry& e : m_table)
        e.name[sizeof(e.name) - 1] = '\0';
    m_nCount = (int)m_table.size();
    m_nColumns = 8;
    BuildPalette();
}

void CColourPicker::BuildPalette()
{
    std::vector<COLORREF> colours;
    for (const ColourTableEntry& e : m_table)
        colours.push_back(e.colour);
    MakePalette(m_palette, colours.empty() ? NULL : &colours[0], (int)colours.size());
}

void CColourPicker::SetColour(COLORREF colour)
{
    if (colour != m_crColour || m_nCurSel != 0) {
        if (m_hWnd != NULL)
            Invalidate();
    }
    m_crColour = colour;
    m_nCurSel = 0;
    if (m_pPopup != NULL) {
        std::vector<COLORREF> colours;
        for (const ColourTableEntry& e : m_table)
            colours.push_back(e.colour);
        m_pPopup->SetHotItem(CColourPickerPopup::ItemFromColour(colour, colours, !m_extras.IsEmpty()));
    }
}

BOOL CColourPicker::OpenPopup()
{
    std::vector<COLORREF> colours;
    m_tooltips.RemoveAll();
    for (const ColourTableEntry& e : m_table) {
        colours.push_back(e.colour);
        m_tooltips.Add(e.name);
    }
    if (m_pPopup != NULL)
        ClosePopup();
    CCoolComboPopupParams params;
    FillPopupParams(params);
    params.bTearOff = TRUE;
    CColourPickerPopup* pPopup = new CColourPickerPopup;
    m_pPopup = pPopup;
    if (!pPopup->CreatePicker(params, colours, m_crColour, m_pCustomColours, m_bUsePalette)) {
        m_pPopup = NULL;
        delete pPopup;
        m_bArrowPressed = FALSE;
        Invalidate();
        return FALSE;
    }
    Invalidate();
    return TRUE;
}

void CColourPicker::OnItemChosen(int nColour)
{
    SetColour((COLORREF)nColour);
    m_crLast = (COLORREF)nColour;
    NotifyOwner(CCN_ITEMCHOSEN, nColour);
}

void CColourPicker::OnDefaultChosen()
{
    SetColour(kAutomatic);
    NotifyOwner(CCN_DEFAULTCHOSEN, -1);
}

void CColourPicker::SelectNext()
{
    if (m_bReapply)
        NotifyOwner(CCN_ITEMCHOSEN, (int)m_crLast);
}

LRESULT CColourPicker::OnGetCustomColours()
{
    return NotifyOwner(CCN_GETCUSTOMCOLOURS, 0);
}

BOOL CColourPicker::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* hdr = (const NMHDR*)lParam;
    if (m_pPopup != NULL && hdr->hwndFrom == m_pPopup->m_hWnd && hdr->code == CCN_GETCUSTOMCOLOURS) {
        *pResult = OnGetCustomColours();
        return TRUE;
    }
    return CCoolCombo::OnNotify(wParam, lParam, pResult);
}

void CColourPicker::OnPaletteChanged(CWnd* pFocusWnd)
{
    Default();
    if (pFocusWnd == NULL || pFocusWnd->m_hWnd != m_hWnd)
        Invalidate();
}

COLORREF CColourPicker::BoxOutline(COLORREF colour, COLORREF face, COLORREF shadow)
{
    if (colour == kAutomatic)
        return shadow;
    const int dr = (int)GetRValue(colour) - (int)GetRValue(face);
    const int dg = (int)GetGValue(colour) - (int)GetGValue(face);
    const int db = (int)GetBValue(colour) - (int)GetBValue(face);
    return dr * dr + dg * dg + db * db < 255 ? RGB(0, 0, 0) : (COLORREF)-1;
}

void CColourPicker::DrawColourBox(CDC* pDC, const CRect& rc, BOOL bEnabled)
{
    HDC hdc = pDC->GetSafeHdc();
    if (!bEnabled) {
        pDC->FillSolidRect(&rc, ::GetSysColor(COLOR_3DHILIGHT));
        pDC->FillSolidRect(rc.left, rc.top, rc.Width() - 1, rc.Height() - 1, ::GetSysColor(COLOR_BTNSHADOW));
        return;
    }
    COLORREF colour = m_bReapply ? m_crLast : m_crColour;
    if (m_nCurSel == kCoolInitial)
        colour = kAutomatic;
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    COLORREF fill = colour == kAutomatic ? face : colour;
    if (colour != kAutomatic && IsPaletteDevice(hdc) && m_palette.m_hObject != NULL)
        fill = PALETTEINDEX(m_palette.GetNearestPaletteIndex(colour));
    const COLORREF outline = BoxOutline(colour, face, ::GetSysColor(COLOR_BTNSHADOW));
    HBRUSH brush = ::CreateSolidBrush(fill);
    HPEN pen = outline != (COLORREF)-1 ? ::CreatePen(PS_SOLID, 1, outline) : (HPEN)::GetStockObject(NULL_PEN);
    HGDIOBJ oldBrush = ::SelectObject(hdc, brush);
    HGDIOBJ oldPen = ::SelectObject(hdc, pen);
    if (outline != (COLORREF)-1)
        ::Rectangle(hdc, rc.left, rc.top, rc.right, rc.bottom);
    else
        ::FillRect(hdc, &rc, brush);
    ::SelectObject(hdc, oldBrush);
    ::SelectObject(hdc, oldPen);
    ::DeleteObject(brush);
    if (outline != (COLORREF)-1)
        ::DeleteObject(pen);
}

// With an image of its own the colour box is a bar along the face's bottom;
// without one it fills the face inside the edges.
void CColourPicker::DrawFace(CDC* pDC, const CRect& rcFace, BOOL bEnabled)
{
    pDC->FillSolidRect(rcFace.left + 1, rcFace.top + 1, rcFace.Width() - 2, rcFace.Height() - 2,
                       ::GetSysColor(m_nCurSel == kCoolInitial ? COLOR_3DHILIGHT : COLOR_BTNFACE));
    const int shift = m_bFacePressed ? 1 : 0;
    CRect inner = rcFace;
    inner.DeflateRect(::GetSystemMetrics(SM_CXEDGE) + 1, ::GetSystemMetrics(SM_CYEDGE) + 1);
    if (m_ownImage.m_hImageList != NULL) {
        const int x = rcFace.left + (rcFace.Width() - m_sizeOwnImage.cx) / 2 + shift;
        const int y = rcFace.top + (rcFace.Height() - m_sizeOwnImage.cy) / 2 - 2 + shift;
        HDC hdc = pDC->GetSafeHdc();
        if (bEnabled)
            ::ImageList_Draw(m_ownImage, 0, hdc, x, y, ILD_TRANSPARENT);
        else
            DrawImageEmbossed(hdc, m_ownImage, 0, x, y, ::GetSysColor(COLOR_3DHILIGHT),
                              ::GetSysColor(COLOR_BTNSHADOW));
        CRect bar(inner.left + shift, inner.bottom - 4 + shift, inner.right + shift, inner.bottom + shift);
        DrawColourBox(pDC, bar, bEnabled);
        return;
    }
    inner.OffsetRect(shift, shift);
    DrawColourBox(pDC, inner, bEnabled);
}
