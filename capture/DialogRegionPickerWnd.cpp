#include "capture/DialogRegionPickerWnd.h"

#include "settings/RecorderPrefs.h"

CDialogRegionPickerWnd::CDialogRegionPickerWnd(CRecorderPrefs* prefs, IAreaPickerHost* host,
                                               IFixedRegionOwner* dialog)
    : CRegionPickerWnd(prefs, NULL, host), m_dialog(dialog), m_page(NULL), m_ownerKind(0)
{
}

CDialogRegionPickerWnd::CDialogRegionPickerWnd(CRecorderPrefs* prefs, IAreaPickerHost* host, IRegionPageOwner* page)
    : CRegionPickerWnd(prefs, NULL, host), m_dialog(NULL), m_page(page), m_ownerKind(1)
{
}

// The fixed capture rectangle is kept as x, y, width and height, the form in
// which the Record command and the registry read it.
void CDialogRegionPickerWnd::Done()
{
    if (m_finished)
        return;
    const RECT band = m_band;
    if (m_prefs)
        ::SetRect(&m_prefs->m_fixedRect, band.left, band.top, band.right - band.left, band.bottom - band.top);
    if (m_ownerKind == 0 && m_dialog)
        m_dialog->ShowRect(&band);
    else if (m_ownerKind == 1 && m_page)
        m_page->SetPickedRect(&band);
    EndPicker(0, TRUE);
}

void CDialogRegionPickerWnd::Cancel()
{
    if (m_finished)
        return;
    if (m_ownerKind == 0 && m_dialog)
        m_dialog->ShowWindowWithMain(TRUE);
    else if (m_ownerKind == 1 && m_page)
        m_page->ShowPickerControls(TRUE);
    EndPicker(0, TRUE);
}
