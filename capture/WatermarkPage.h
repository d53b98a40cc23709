#pragma once
// The watermark's options page (template IDD_WATERMARK_PAGE, "水印") and its
// live preview window (IDD_WATERMARK_PREVIEW, "水印预览"). The page edits a
// private copy of the watermark settings; the owner's derived class loads and
// stores that copy and answers the hint questions. UI thread; GDI+ must be
// started.
#include "capture/Watermark.h"
#include "capture/WatermarkSettings.h"
#include "framework/ui/PropertySheet.h"

// Shows the watermark as the recording would place it, over a black-to-white
// gradient so that transparency shows. Modeless, owned by the page. The
// loaded source stays until the path changes; the processed image is made
// again on the next paint after every change of a setting.
class CWatermarkPreviewDlg : public CDialog {
public:
    explicit CWatermarkPreviewDlg(const WatermarkSettings* settings);
    ~CWatermarkPreviewDlg() override;

    // The image path changed: the source and the processed image go.
    void DropImages();
    // A setting changed: the processed image goes.
    void DropProcessed();

    bool HasSource() const { return m_source != NULL; }
    bool HasProcessed() const { return m_watermark.Prepared() != NULL; }
    const WatermarkPlacement& Placement() const { return m_placement; }

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    DECLARE_MESSAGE_MAP()

private:
    const WatermarkSettings* m_settings;
    WatermarkPlacement m_placement;
    CWatermark m_watermark;
    Gdiplus::GpBitmap* m_source;
};

class CWatermarkPage : public CPropertyPage {
public:
    // pHostWnd: the window the page is shown in, or null when the page stands
    // in a property sheet of its own. pParentWnd becomes the dialog's parent
    // window (m_pParentWnd), or none.
    CWatermarkPage(CWnd* pHostWnd, CWnd* pParentWnd);
    ~CWatermarkPage() override;

    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnApply() override;

    // The page's copy of the settings.
    const WatermarkSettings& Values() const { return m_values; }
    // The preview window, or null before its first use.
    CWatermarkPreviewDlg* GetPreview() const { return m_preview; }

protected:
    // String id of the hint dialog's caption.
    virtual UINT GetHintCaptionId() = 0;
    // TRUE when the hint about transparent images should be shown.
    virtual BOOL IsHintDue() = 0;
    // The hint dialog's show-again answer.
    virtual void SetHintDue(BOOL bShowAgain) = 0;
    // Copies the owner's settings into m_values.
    virtual void LoadSettings() = 0;
    // Copies m_values back to the owner (overlay field 1, working field 0).
    virtual void StoreSettings() = 0;

    BOOL OnInitDialog() override;
    void OnInclude();
    void OnBrowse();
    void OnPreviewButton();
    void OnEmboss();
    void OnUseTransparent();
    void OnKeepAspect();
    void OnSmooth();
    void OnKeepImageSize();
    void OnDirectionChanged();
    void OnChangeColour();
    void OnPosition(UINT nID);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnPaint();
    DECLARE_MESSAGE_MAP()

    WatermarkSettings m_values;
    CWnd* m_pHostWnd;

private:
    void ShowPreview();
    void RefreshPreview();
    void ApplyEnabling();
    void EnableIds(const int* ids, int count, BOOL enable);
    BOOL IsChecked(int id) const;
    void SetSlider(int id, int labelId, int low, int high, int value);
    // Takes the path from the edit box; the preview drops its images when it changed.
    void TakePathFromEdit();
    // FALSE (after telling the user) when include is on and the image does not open.
    BOOL ValidateAndStore();

    CWatermarkPreviewDlg* m_preview;
    HICON m_browseIcon;
};
