#include "camera/XRVCameraSettingsDlg.h"

#include "camera/XRVCameraConfig.h"
#include "camera/XRVCameraVidCompPropDlg.h"
#include "framework/WinApp.h"
#include "framework/ui/MsgMap.h"
#include "resources/ids_finishing.h"

namespace {

// The live picture sits inside the preview frame, clear of its border and
// of the label line at its top.
const RECT kPreviewInset = {5, 10, 5, 5};

CString WindowText(HWND h)
{
    CString text;
    if (h) {
        const int length = ::GetWindowTextLengthA(h);
        ::GetWindowTextA(h, text.GetBuffer(length + 1), length + 1);
        text.ReleaseBuffer();
    }
    return text;
}

// Selects the entry equal to `name` (exact, case sensitive), else the first.
void SelectExact(HWND combo, const CString& name)
{
    const int count = (int)::SendMessageA(combo, CB_GETCOUNT, 0, 0);
    int pick = 0;
    for (int i = 0; i < count; ++i) {
        const int length = (int)::SendMessageA(combo, CB_GETLBTEXTLEN, (WPARAM)i, 0);
        CString entry;
        ::SendMessageA(combo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)entry.GetBuffer(length + 1));
        entry.ReleaseBuffer();
        if (entry == name) {
            pick = i;
            break;
        }
    }
    ::SendMessageA(combo, CB_SETCURSEL, (WPARAM)pick, 0);
}

}  // namespace

BEGIN_MESSAGE_MAP(XRVCameraSettingsDlg, CPropertyPage)
    ON_CBN_SELCHANGE(IDC_CAMPAGE_DEVICE, OnDeviceChange)
    ON_BN_CLICKED(IDC_CAMPAGE_PROPERTIES, OnCameraProperties)
    ON_BN_CLICKED(IDC_CAMPAGE_FORMAT, OnVideoFormat)
    ON_CBN_SELCHANGE(IDC_CAMPAGE_CODEC, OnCodecChange)
    ON_BN_CLICKED(IDC_CAMPAGE_COMPRESSION, OnCompression)
    ON_BN_CLICKED(IDC_CAMPAGE_DEFAULT, OnDefault)
    ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

XRVCameraSettingsDlg::XRVCameraSettingsDlg(XRVCameraConfig* config, CWnd* parent, CWnd* notify, UINT templateId)
    : CPropertyPage(templateId), m_config(config), m_notify(notify)
{
    m_pParentWnd = parent;
    m_psp.dwFlags |= PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
    m_psp.pszHeaderTitle = MAKEINTRESOURCEA(IDS_CAMERA_PAGE_TITLE);
    m_psp.pszHeaderSubTitle = MAKEINTRESOURCEA(IDS_CAMERA_PAGE_SUBTITLE);
    m_controls.m_page = this;
    m_controls.m_config = config;
}

BOOL XRVCameraSettingsDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    m_controls.m_deviceCombo = ::GetDlgItem(m_hWnd, IDC_CAMPAGE_DEVICE);
    m_controls.m_propertiesButton = ::GetDlgItem(m_hWnd, IDC_CAMPAGE_PROPERTIES);
    m_controls.m_formatButton = ::GetDlgItem(m_hWnd, IDC_CAMPAGE_FORMAT);
    m_controls.m_errorText = ::GetDlgItem(m_hWnd, IDC_CAMPAGE_ERROR);
    m_controls.m_previewFrame = ::GetDlgItem(m_hWnd, IDC_CAMPAGE_PREVIEW_FRAME);
    m_controls.m_defaultButton = ::GetDlgItem(m_hWnd, IDC_CAMPAGE_DEFAULT);
    m_controls.m_codecCombo = ::GetDlgItem(m_hWnd, IDC_CAMPAGE_CODEC);
    m_controls.m_compressionButton = ::GetDlgItem(m_hWnd, IDC_CAMPAGE_COMPRESSION);
    FillPage(TRUE);
    return TRUE;
}

RECT XRVCameraSettingsDlg::PreviewRect() const
{
    RECT r = {0, 0, 0, 0};
    if (!m_controls.m_previewFrame)
        return r;
    ::GetWindowRect(m_controls.m_previewFrame, &r);
    ::MapWindowPoints(NULL, m_hWnd, (POINT*)&r, 2);
    r.left += kPreviewInset.left;
    r.top += kPreviewInset.top;
    r.right -= kPreviewInset.right;
    r.bottom -= kPreviewInset.bottom;
    return r;
}

void XRVCameraSettingsDlg::FillPage(BOOL firstTime)
{
    if (!m_config)
        return;
    // The frame takes a 4:3 picture: its height follows its width.
    if (m_controls.m_previewFrame) {
        RECT frame;
        ::GetWindowRect(m_controls.m_previewFrame, &frame);
        ::MapWindowPoints(NULL, m_hWnd, (POINT*)&frame, 2);
        const int width = frame.right - frame.left;
        frame.bottom = frame.top + (int)(0.75 * width + 7.0);
        ::MoveWindow(m_controls.m_previewFrame, frame.left, frame.top, width, frame.bottom - frame.top, TRUE);
        m_config->SetPreviewRect(PreviewRect());
    }
    CStringArray devices;
    m_config->BuildDeviceList(&devices);
    HWND combo = m_controls.m_deviceCombo;
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (INT_PTR i = 0; i < devices.GetSize(); ++i)
        ::SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)(LPCSTR)devices[i]);
    if (devices.GetSize() == 0) {
        CString none;
        none.LoadString(IDS_CAMERA_NO_DEVICE);
        ::SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)(LPCSTR)none);
        ::SendMessageA(combo, CB_SETCURSEL, 0, 0);
        for (HWND h : {combo, m_controls.m_propertiesButton, m_controls.m_formatButton, m_controls.m_codecCombo,
                       m_controls.m_compressionButton, m_controls.m_defaultButton})
            if (h)
                ::EnableWindow(h, FALSE);
        return;
    }
    m_controls.m_initialised = TRUE;
    SelectExact(combo, m_config->GetDeviceName());
    ApplyDevice();
    m_controls.m_entryDevice = WindowText(combo);
    if (firstTime)
        UpdateControls();
    else
        m_config->TearDownGraph();
}

BOOL XRVCameraSettingsDlg::ApplyDevice()
{
    if (!m_config || !m_config->SetDevice(WindowText(m_controls.m_deviceCombo))) {
        AfxMessageBox(IDS_CAMERA_DEVICE_NOT_FOUND, MB_ICONEXCLAMATION);
        return FALSE;
    }
    return TRUE;
}

BOOL XRVCameraSettingsDlg::ApplyCodec()
{
    if (!m_config)
        return FALSE;
    if (!m_controls.m_codecCombo)
        return m_config->SetCodec(CameraSettings::DefaultCodecName());
    if (!m_config->SetCodec(WindowText(m_controls.m_codecCombo))) {
        AfxMessageBox(IDS_CAMERA_CODEC_NOT_FOUND, MB_ICONEXCLAMATION);
        return FALSE;
    }
    return TRUE;
}

void XRVCameraSettingsDlg::RefreshCodecList()
{
    HWND combo = m_controls.m_codecCombo;
    if (!combo || m_controls.m_codecListFilled || !m_config)
        return;
    CStringArray codecs;
    m_config->BuildCodecList(&codecs);
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    int added = 0;
    for (INT_PTR i = 0; i < codecs.GetSize(); ++i) {
        if (codecs[i].IsEmpty())
            continue;
        ::SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)(LPCSTR)codecs[i]);
        ++added;
    }
    if (added > 0) {
        SelectExact(combo, m_config->GetCodecName());
        ApplyCodec();
    } else {
        ::EnableWindow(combo, FALSE);
        if (m_controls.m_compressionButton)
            ::EnableWindow(m_controls.m_compressionButton, FALSE);
    }
    m_controls.m_codecListFilled = TRUE;
}

void XRVCameraSettingsDlg::UpdatePreviewRect()
{
    if (m_config && m_controls.m_previewFrame)
        m_config->SetPreviewRect(PreviewRect());
}

BOOL XRVCameraSettingsDlg::UpdateControls()
{
    if (!m_controls.m_initialised || !m_config)
        return FALSE;
    UpdatePreviewRect();
    const BOOL running = m_config->StartPreview(m_hWnd);
    if (m_controls.m_errorText)
        ::ShowWindow(m_controls.m_errorText, running ? SW_HIDE : SW_SHOW);
    ::EnableWindow(m_controls.m_deviceCombo, TRUE);
    ::EnableWindow(m_controls.m_propertiesButton, m_config->HasCameraPropertiesDialog());
    ::EnableWindow(m_controls.m_formatButton, m_config->HasVideoFormatDialog());
    if (m_controls.m_codecCombo) {
        ::EnableWindow(m_controls.m_codecCombo, TRUE);
        if (m_controls.m_compressionButton)
            // The compression dialog also serves a compressor that has
            // quality or key-frame settings but no box of its own.
            ::EnableWindow(m_controls.m_compressionButton,
                           m_config->CodecHasConfigDialog() || m_config->CodecHasCompressionSettings());
    }
    return running;
}

void XRVCameraSettingsDlg::ResetToDefaults()
{
    if (!m_config)
        return;
    m_config->StopPreview();
    CameraSettings* current = m_config->GetSettings();
    const CString keyFormat = current ? current->m_keyFormat : CString();
    const CString section = current ? current->m_section : CString();
    m_config->SetSettings(new CameraSettings("3.0", keyFormat, section));
    if (m_controls.m_codecCombo)
        ::SetWindowTextA(m_controls.m_codecCombo, CameraSettings::DefaultCodecName());
    ::SendMessageA(m_controls.m_deviceCombo, CB_SETCURSEL, 0, 0);
    ApplyDevice();
    if (m_controls.m_codecCombo && ::SendMessageA(m_controls.m_codecCombo, CB_GETCOUNT, 0, 0) > 0) {
        SelectExact(m_controls.m_codecCombo, CameraSettings::DefaultCodecName());
        ApplyCodec();
    }
    UpdateControls();
}

void XRVCameraSettingsDlg::EditCompression()
{
    if (!m_controls.m_codecCombo || !m_config)
        return;
    m_config->StopPreview();
    CameraSettings* settings = m_config->GetSettings();
    if (settings) {
        XRVCameraVidCompPropDlg dialog(this);
        dialog.SetCompressor(m_config->CompressorFilter());
        dialog.m_useDefaultCodecSettings = settings->m_useDefaultCodecSettings;
        if (!settings->m_useDefaultCodecSettings) {
            dialog.m_useKeyFrames = settings->m_useKeyFrameRate;
            dialog.m_keyFrameRate = settings->m_keyFrameRate;
            dialog.m_useDataRate = settings->m_useDataRate;
            dialog.m_dataRate = settings->m_dataRate;
            dialog.m_quality = settings->m_quality;
            dialog.SetState(settings->m_codecState, settings->m_codecStateSize);
        }
        if (dialog.DoModal() == IDOK) {
            settings->m_useKeyFrameRate = dialog.m_useKeyFrames;
            settings->m_keyFrameRate = dialog.m_keyFrameRate;
            settings->m_useDataRate = dialog.m_useDataRate;
            settings->m_dataRate = dialog.m_dataRate;
            settings->m_quality = dialog.m_quality;
            settings->SetCodecState(dialog.GetState(), dialog.GetStateSize());
            settings->m_useDefaultCodecSettings = FALSE;
        }
    }
    UpdateControls();
}

// ------------------------------------------------------------ handlers

void XRVCameraSettingsDlg::OnDeviceChange()
{
    if (m_config)
        m_config->StopPreview();
    ApplyDevice();
    UpdateControls();
}

void XRVCameraSettingsDlg::OnCameraProperties()
{
    if (m_config)
        m_config->ShowCameraProperties(m_hWnd);
}

void XRVCameraSettingsDlg::OnVideoFormat()
{
    UpdatePreviewRect();
    if (m_config)
        m_config->ShowVideoFormat(m_hWnd);
}

void XRVCameraSettingsDlg::OnCodecChange()
{
    if (m_config)
        m_config->StopPreview();
    ApplyCodec();
    UpdateControls();
}

void XRVCameraSettingsDlg::OnCompression() { EditCompression(); }

void XRVCameraSettingsDlg::OnDefault() { ResetToDefaults(); }

void XRVCameraSettingsDlg::OnShowWindow(BOOL show, UINT status)
{
    CPropertyPage::OnShowWindow(show, status);
    if (show)
        RefreshCodecList();
}

BOOL XRVCameraSettingsDlg::OnSetActive()
{
    UpdateControls();
    if (m_notify && m_notify->m_hWnd)
        m_notify->PostMessage(WM_CAMERA_PAGE_ACTIVE, 0, 3);
    return CPropertyPage::OnSetActive();
}

void XRVCameraSettingsDlg::OnOK()
{
    if (m_config)
        m_config->StopPreview();
    CPropertyPage::OnOK();
}

void XRVCameraSettingsDlg::OnCancel()
{
    if (m_config) {
        m_config->StopPreview();
        if (!m_controls.m_entryDevice.IsEmpty())
            m_config->SetDevice(m_controls.m_entryDevice);
    }
    CPropertyPage::OnCancel();
}

LRESULT XRVCameraSettingsDlg::OnWizardBack()
{
    if (m_config)
        m_config->StopPreview();
    return m_wizardBack;
}

LRESULT XRVCameraSettingsDlg::OnWizardNext()
{
    if (m_config)
        m_config->StopPreview();
    return m_wizardNext;
}
