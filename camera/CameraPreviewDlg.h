#pragma once
// CCameraPreviewDlg: the floating window in which the main window shows the
// live camera picture (the camera's video window becomes its child). Cancel
// and the close box tell the owner, which decides; the dialog does not close
// itself. UI thread.
#include "framework/ui/Dialog.h"
#include "resources/ids_capture.h"

// What the preview's owner is told when the user cancels the preview.
class ICameraPreviewOwner {
public:
    virtual ~ICameraPreviewOwner() {}
    virtual void OnCameraPreviewCancel() = 0;
};

class CCameraPreviewDlg : public CDialog {
public:
    enum { IDD = IDD_CAMERA_PREVIEW };
    explicit CCameraPreviewDlg(ICameraPreviewOwner* owner);

    void SetWindowRect(const RECT& rect);
    RECT GetWindowRect();
    void SetStatusText(LPCSTR text);
    // Gives the window a client area of the picture's size.
    void FitClientTo(int width, int height);

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnShowWindow(BOOL show, UINT status);
    DECLARE_MESSAGE_MAP()

private:
    ICameraPreviewOwner* m_owner;
    RECT m_rect;
};
