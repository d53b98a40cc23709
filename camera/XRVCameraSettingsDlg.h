#pragma once
// XRVCameraSettingsDlg: the property page ("相机") on which the user picks the
// camera, opens its property and format dialogs, watches the live picture and
// returns to the defaults. On the template with the compressor choice it also
// picks the camera's codec and opens the video compression dialog. Works on
// the main window's XRVCameraConfig at once; Cancel only restores the device
// selected when the page was filled. UI thread.
#include "framework/ui/PropertySheet.h"
#include "resources/ids_camera.h"

class XRVCameraConfig;

// The page's controls (window handles of its dialog items; the codec combo
// and compression button are null on a template without them).
class CameraPageControls {
public:
    virtual ~CameraPageControls() {}
    HWND m_deviceCombo = NULL;
    HWND m_codecCombo = NULL;
    HWND m_propertiesButton = NULL;
    HWND m_formatButton = NULL;
    HWND m_compressionButton = NULL;
    HWND m_defaultButton = NULL;
    HWND m_spareButton = NULL;
    HWND m_errorText = NULL;
    HWND m_previewFrame = NULL;
    BOOL m_initialised = FALSE;
    BOOL m_codecListFilled = FALSE;
    CPropertyPage* m_page = nullptr;
    XRVCameraConfig* m_config = nullptr;
    CString m_entryDevice;
};

class XRVCameraSettingsDlg : public CPropertyPage {
public:
    // `templateId`: IDD_CAMERA_PAGE, or IDD_CAMERA_PAGE_CODEC for the page
    // that also picks the compressor.
    XRVCameraSettingsDlg(XRVCameraConfig* config, CWnd* parent, CWnd* notify, UINT templateId = IDD_CAMERA_PAGE);

    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;
    void SetWizardTargets(int back, int next)
    {
        m_wizardBack = back;
        m_wizardNext = next;
    }
    // The preview rectangle: frame 16215 in the page's client coordinates,
    // inset by 5, 10, 5, 5.
    RECT PreviewRect() const;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDeviceChange();
    void OnCameraProperties();
    void OnVideoFormat();
    void OnCodecChange();
    void OnCompression();
    void OnDefault();
    void OnShowWindow(BOOL show, UINT status);
    DECLARE_MESSAGE_MAP()

    void FillPage(BOOL firstTime);
    BOOL ApplyDevice();
    BOOL ApplyCodec();
    void RefreshCodecList();
    void UpdatePreviewRect();
    BOOL UpdateControls();
    void ResetToDefaults();
    void EditCompression();

    CameraPageControls m_controls;
    XRVCameraConfig* m_config;
    CWnd* m_notify;
    int m_wizardBack = -1;
    int m_wizardNext = -1;
};
