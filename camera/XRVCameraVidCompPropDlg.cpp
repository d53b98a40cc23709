#include "camera/XRVCameraVidCompPropDlg.h"

#include "XRVDirectShow/GraphUtil.h"
#include "framework/ui/Controls.h"
#include "framework/ui/DataExchange.h"
#include "framework/ui/MsgMap.h"

#include <stdio.h>

namespace {

enum { kQualityMin = 0, kQualityMax = 100 };

void SetInt(HWND item, int value)
{
    char text[16];
    snprintf(text, sizeof(text), "%d", value);
    ::SetWindowTextA(item, text);
}

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

}  // namespace

BEGIN_MESSAGE_MAP(XRVCameraVidCompPropDlg, CDialog)
    ON_BN_CLICKED(IDC_VCOMP_USE_KEY_FRAMES, OnUseKeyFrames)
    ON_BN_CLICKED(IDC_VCOMP_USE_DATA_RATE, OnUseDataRate)
    ON_BN_CLICKED(IDC_VCOMP_CONFIGURE, Configure)
    ON_BN_CLICKED(IDC_VCOMP_ABOUT, About)
    ON_WM_HSCROLL()
END_MESSAGE_MAP()

XRVCameraVidCompPropDlg::XRVCameraVidCompPropDlg(CWnd* parent) : CDialog(IDD, parent) {}

XRVCameraVidCompPropDlg::~XRVCameraVidCompPropDlg() { delete[] m_state; }

void XRVCameraVidCompPropDlg::SetCompressor(IBaseFilter* filter) { m_compressor = filter; }

void XRVCameraVidCompPropDlg::SetState(const BYTE* state, int size)
{
    delete[] m_state;
    m_state = nullptr;
    m_stateSize = 0;
    if (state && size > 0) {
        m_state = new BYTE[(size_t)size];
        memcpy(m_state, state, (size_t)size);
        m_stateSize = size;
    }
}

HRESULT XRVCameraVidCompPropDlg::GetVideoCompression(IAMVideoCompression** out)
{
    *out = NULL;
    if (!m_compressor)
        return E_NOINTERFACE;
    CComPtr<IPin> pin;
    HRESULT hr = FindOutputPin(m_compressor, &pin.p, 0);
    if (SUCCEEDED(hr))
        hr = pin->QueryInterface(IID_IAMVideoCompression, (void**)out);
    return hr;
}

void XRVCameraVidCompPropDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Check(pDX, IDC_VCOMP_USE_KEY_FRAMES, m_useKeyFrames);
    DDX_Check(pDX, IDC_VCOMP_USE_DATA_RATE, m_useDataRate);
    DDX_Text(pDX, IDC_VCOMP_KEY_FRAMES, m_keyFrameRate);
    DDX_Text(pDX, IDC_VCOMP_DATA_RATE, m_dataRate);
}

void XRVCameraVidCompPropDlg::ShowQuality(int quality) { SetInt(Item(IDC_VCOMP_QUALITY_VALUE), quality); }

BOOL XRVCameraVidCompPropDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    HWND bar = Item(IDC_VCOMP_QUALITY);
    ::SetScrollRange(bar, SB_CTL, kQualityMin, kQualityMax, FALSE);
    ::EnableWindow(Item(IDC_VCOMP_CONFIGURE), FALSE);
    ::EnableWindow(Item(IDC_VCOMP_ABOUT), FALSE);

    CComPtr<IAMVideoCompression> compression;
    if (FAILED(GetVideoCompression(&compression.p)) || !compression) {
        ::SetWindowTextA(Item(IDC_VCOMP_QUALITY_VALUE), "");
        for (int id : {IDC_VCOMP_QUALITY, IDC_VCOMP_USE_KEY_FRAMES, IDC_VCOMP_USE_DATA_RATE, IDC_VCOMP_KEY_FRAMES,
                       IDC_VCOMP_DATA_RATE})
            ::EnableWindow(Item(id), FALSE);
        return TRUE;
    }
    LONG defaultKeyRate = 0, defaultPFrames = 0, caps = 0;
    double defaultQuality = 0.0;
    if (FAILED(compression->GetInfo(NULL, NULL, NULL, NULL, &defaultKeyRate, &defaultPFrames, &defaultQuality,
                                    &caps)))
        caps = 0;

    if (caps & CompressionCaps_CanQuality) {
        // A codec without a default answers a negative quality: the bar
        // keeps to its range whatever the codec says.
        if (m_useDefaultCodecSettings)
            m_quality = (int)(defaultQuality * 100.0 + 0.5);
        m_quality = Clamp(m_quality, kQualityMin, kQualityMax);
        ShowQuality(m_quality);
        ::SetScrollPos(bar, SB_CTL, m_quality, TRUE);
    } else {
        ::SetWindowTextA(Item(IDC_VCOMP_QUALITY_VALUE), "");
        ::EnableWindow(Item(IDC_VCOMP_QUALITY_LABEL), FALSE);
        ::EnableWindow(bar, FALSE);
    }

    if (caps & CompressionCaps_CanKeyFrame) {
        if (m_useDefaultCodecSettings) {
            m_useKeyFrames = TRUE;
            m_keyFrameRate = (int)defaultKeyRate;
        }
        ::CheckDlgButton(m_hWnd, IDC_VCOMP_USE_KEY_FRAMES, m_useKeyFrames ? BST_CHECKED : BST_UNCHECKED);
        ::EnableWindow(Item(IDC_VCOMP_KEY_FRAMES), m_useKeyFrames);
        SetInt(Item(IDC_VCOMP_KEY_FRAMES), m_keyFrameRate);
    } else {
        ::EnableWindow(Item(IDC_VCOMP_USE_KEY_FRAMES), FALSE);
        ::EnableWindow(Item(IDC_VCOMP_FRAMES_LABEL), FALSE);
        ::EnableWindow(Item(IDC_VCOMP_KEY_FRAMES), FALSE);
        SetInt(Item(IDC_VCOMP_KEY_FRAMES), m_keyFrameRate);
    }

    if (caps & CompressionCaps_CanCrunch) {
        if (m_useDefaultCodecSettings) {
            ::CheckDlgButton(m_hWnd, IDC_VCOMP_USE_DATA_RATE, BST_UNCHECKED);
            ::SetWindowTextA(Item(IDC_VCOMP_DATA_RATE), "0");
            ::EnableWindow(Item(IDC_VCOMP_DATA_RATE), FALSE);
        } else {
            ::CheckDlgButton(m_hWnd, IDC_VCOMP_USE_DATA_RATE, m_useDataRate ? BST_CHECKED : BST_UNCHECKED);
            SetInt(Item(IDC_VCOMP_DATA_RATE), m_dataRate);
            ::EnableWindow(Item(IDC_VCOMP_DATA_RATE), m_useDataRate);
        }
    } else {
        ::EnableWindow(Item(IDC_VCOMP_USE_DATA_RATE), FALSE);
        ::EnableWindow(Item(IDC_VCOMP_RATE_UNIT), FALSE);
        ::EnableWindow(Item(IDC_VCOMP_DATA_RATE), FALSE);
        SetInt(Item(IDC_VCOMP_DATA_RATE), m_dataRate);
    }

    CComPtr<IAMVfwCompressDialogs> dialogs;
    if (SUCCEEDED(m_compressor->QueryInterface(IID_IAMVfwCompressDialogs, (void**)&dialogs.p)) && dialogs) {
        ::EnableWindow(Item(IDC_VCOMP_CONFIGURE), dialogs->ShowDialog(VfwCompressDialog_QueryConfig, NULL) == S_OK);
        ::EnableWindow(Item(IDC_VCOMP_ABOUT), dialogs->ShowDialog(VfwCompressDialog_QueryAbout, NULL) == S_OK);
    }
    return TRUE;
}

void XRVCameraVidCompPropDlg::OnUseKeyFrames()
{
    UpdateData(TRUE);
    ::EnableWindow(Item(IDC_VCOMP_KEY_FRAMES), m_useKeyFrames);
}

void XRVCameraVidCompPropDlg::OnUseDataRate()
{
    UpdateData(TRUE);
    ::EnableWindow(Item(IDC_VCOMP_DATA_RATE), m_useDataRate);
}

int XRVCameraVidCompPropDlg::ScrollStep(UINT code, int pos, int thumbPos, int minPos, int maxPos)
{
    switch (code) {
    case SB_LINELEFT: pos -= 1; break;
    case SB_LINERIGHT: pos += 1; break;
    case SB_PAGELEFT: pos -= 10; break;
    case SB_PAGERIGHT: pos += 10; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = thumbPos; break;
    case SB_LEFT: pos = minPos; break;
    case SB_RIGHT: pos = maxPos; break;
    default: break;
    }
    return Clamp(pos, minPos, maxPos);
}

void XRVCameraVidCompPropDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar)
{
    HWND h = bar ? bar->m_hWnd : NULL;
    if (h && h == Item(IDC_VCOMP_QUALITY)) {
        int low = 0, high = 0;
        ::GetScrollRange(h, SB_CTL, &low, &high);
        const int next = ScrollStep(code, ::GetScrollPos(h, SB_CTL), (int)pos, low, high);
        ::SetScrollPos(h, SB_CTL, next, TRUE);
        ShowQuality(next);
    }
    Default();
}

void XRVCameraVidCompPropDlg::Configure()
{
    CComPtr<IAMVfwCompressDialogs> dialogs;
    if (!m_compressor || FAILED(m_compressor->QueryInterface(IID_IAMVfwCompressDialogs, (void**)&dialogs.p)))
        return;
    if (m_state && m_stateSize > 0)
        dialogs->SetState(m_state, m_stateSize);
    dialogs->ShowDialog(VfwCompressDialog_Config, m_hWnd);
    SetState(NULL, 0);
    // Size and buffer stay together: a state that cannot be read is none.
    int size = 0;
    if (FAILED(dialogs->GetState(NULL, &size)) || size <= 0)
        return;
    BYTE* state = new BYTE[(size_t)size];
    int read = size;
    if (SUCCEEDED(dialogs->GetState(state, &read)) && read > 0 && read <= size) {
        m_state = state;
        m_stateSize = read;
    } else {
        delete[] state;
    }
}

void XRVCameraVidCompPropDlg::About()
{
    CComPtr<IAMVfwCompressDialogs> dialogs;
    if (m_compressor && SUCCEEDED(m_compressor->QueryInterface(IID_IAMVfwCompressDialogs, (void**)&dialogs.p)))
        dialogs->ShowDialog(VfwCompressDialog_About, m_hWnd);
}

void XRVCameraVidCompPropDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    m_quality = ::GetScrollPos(Item(IDC_VCOMP_QUALITY), SB_CTL);
    CComPtr<IAMVideoCompression> compression;
    if (SUCCEEDED(GetVideoCompression(&compression.p)) && compression) {
        LONG caps = 0;
        if (FAILED(compression->GetInfo(NULL, NULL, NULL, NULL, NULL, NULL, NULL, &caps)))
            caps = 0;
        if (caps & CompressionCaps_CanQuality)
            compression->put_Quality(m_quality * 0.01);
        // An interval below one frame means nothing to a compressor.
        if ((caps & CompressionCaps_CanKeyFrame) && m_useKeyFrames && m_keyFrameRate > 0)
            compression->put_KeyFrameRate(m_keyFrameRate);
        CComPtr<IAMVfwCompressDialogs> dialogs;
        if (m_state && m_stateSize > 0 &&
            SUCCEEDED(m_compressor->QueryInterface(IID_IAMVfwCompressDialogs, (void**)&dialogs.p)))
            dialogs->SetState(m_state, m_stateSize);
    }
    CDialog::OnOK();
}
