#pragma once
// XRVCameraVidCompPropDlg: the modal dialog in which the user sets the camera
// compressor's quality, key-frame interval and data rate and opens the
// compressor's own configuration and about boxes. Works on the compressor
// filter's IAMVideoCompression (on its output pin) and IAMVfwCompressDialogs.
// The creator fills the public values, and on IDOK copies them and the
// compressor state back. UI thread.
#include "framework/ComPtr.h"
#include "framework/ui/Dialog.h"
#include "resources/ids_camera.h"

#include <strmif.h>

class XRVCameraVidCompPropDlg : public CDialog {
public:
    enum { IDD = IDD_CAMERA_VIDEO_COMPRESSION };
    explicit XRVCameraVidCompPropDlg(CWnd* parent = NULL);
    ~XRVCameraVidCompPropDlg() override;

    // Takes a counted reference (null: the compression controls stay off).
    void SetCompressor(IBaseFilter* filter);
    // Takes a copy of `size` bytes (none when size <= 0 or no data).
    void SetState(const BYTE* state, int size);
    const BYTE* GetState() const { return m_state; }
    int GetStateSize() const { return m_stateSize; }

    // The scroll step of the quality bar: the new position for a scroll
    // code from `pos` in min..max (thumbPos for the thumb codes).
    static int ScrollStep(UINT code, int pos, int thumbPos, int minPos, int maxPos);

    CComPtr<IBaseFilter> m_compressor;
    BOOL m_useKeyFrames = FALSE;
    BOOL m_useDataRate = FALSE;
    int m_keyFrameRate = 0;
    int m_dataRate = 0;
    int m_quality = 0;
    BOOL m_useDefaultCodecSettings = FALSE;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnUseKeyFrames();
    void OnUseDataRate();
    void Configure();
    void About();
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    DECLARE_MESSAGE_MAP()

private:
    HRESULT GetVideoCompression(IAMVideoCompression** out);
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void ShowQuality(int quality);

    BYTE* m_state = nullptr;
    int m_stateSize = 0;
};
