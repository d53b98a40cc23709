#pragma once
// CCreateAviDlg: the modeless window that shows the making of a recording's
// AVI file and the audio conversion: a title, a progress bar, the estimated
// time left and a Cancel button that only raises a flag. The recorder engine
// creates it (not shown) when a recording is prepared and destroys it with
// the engine; the engine and the conversion read and clear the flag. Created
// on the UI thread; its operations may be called from the engine's capture
// thread while the UI thread pumps messages.
#include "framework/ui/Dialog.h"
#include "media/ConvertProgress.h"
#include "resources/ids_media.h"

class CCreateAviDlg : public CDialog, public IConvertProgress {
public:
    enum { IDD = IDD_CREATE_AVI };
    explicit CCreateAviDlg(CWnd* pParent = NULL);
    ~CCreateAviDlg() override;

    // The bar runs from 0 to rangeMax.
    void SetProgress(int rangeMax, int position) override;
    // "about n seconds left"; 0 clears the estimate.
    void SetTimeLeft(int seconds) override;
    // IConvertProgress: the window title and the cancel flag.
    void SetProgressTitle(LPCTSTR title) override { SetWindowText(title); }
    BOOL IsCancelRequested() const override { return m_bCancelRequested; }
    void SetCancelRequested(BOOL requested) override { m_bCancelRequested = requested; }

    // Set by the Cancel button (and Esc, and the close box); read and cleared
    // by the engine and the conversion.
    volatile BOOL m_bCancelRequested;

protected:
    BOOL OnInitDialog() override;
    // Cancel asks; it does not close the window.
    void OnCancel() override;
    void OnOK() override;
};
