#pragma once
#include "framework/ui/GdiObject.h"
#include "painter/PntDlg.h"

class CPaintControl;

// The text tool's bar (template 28104, "文字工具"): a modeless tool window
// of one paint control where the user types the text (one edit per
// alignment, only the current one shown), picks the font through the font
// dialog, toggles bold, italic and underline and chooses the alignment. Every
// change goes to the control at once, which renders it. The catalogue's
// variant keeps the last font and alignment under "Text Tool" and starts
// from them; the recorder's variant starts from the control's own font and
// alignment and takes a caption from the host (SetText). Created by its
// control on the first Show, hidden rather than destroyed. UI thread.
class CPntTextFmtBar : public CPntDlg {
    DECLARE_DYNAMIC(CPntTextFmtBar)
public:
    enum Variant { kCatalogue, kRecorder };
    static const char kSection[];       // "Text Tool"
    static const char kDefaultFont[];   // the "Font" value used when none (or a bad one) is stored

    explicit CPntTextFmtBar(Variant variant);
    ~CPntTextFmtBar() override;

    // Binds the control and shows the bar, creating its window the first time.
    BOOL Show(CPaintControl* ctrl);
    void Hide();
    BOOL IsShown() const;
    void ClearText();
    void CopyText();
    void CutText();
    void PasteText();
    void FocusText();
    // 0 left, 1 centred, 2 right; other values act as 0 on the control.
    void SetAlignment(int alignment);
    int GetAlignment() const { return m_alignment; }
    // Makes the edits' font from the LOGFONT; with toControl the control's
    // text font too. Updates the caption and stores the control's font.
    void ApplyFont(const LOGFONT& font, BOOL toControl);
    // The recorder's bar: the host puts a caption into the current edit.
    void SetText(LPCTSTR text);
    CString GetText() const;
    // The edit of the current alignment (28014 + alignment), or null.
    CWnd* GetCurrentEdit() const;
    Variant GetVariant() const { return m_variant; }
    // Enables and presses the alignment and style buttons from the control.
    void UpdateButtons();
    // The font dialog's OK step: the drawing colour and the font chosen.
    void ApplyChosenFont(const LOGFONT& font, COLORREF colour);

    // The clipboard offers text: Paste stays enabled while text is edited.
    static BOOL CanPasteText();
    // Parses a stored "Font" value (13 numbers, then the face name after the
    // last comma); FALSE, with `font` untouched, for anything malformed.
    static BOOL ParseFont(const char* value, LOGFONT* font);
    static CString FormatFont(const LOGFONT& font);
    // Bold toggled: normal weight (400, or 0 meaning the default) becomes
    // 700, every other weight 400.
    static LONG ToggledWeight(LONG weight);
    // Posts the bar-opened message to the top-level "编辑图像" dialog of the
    // given process (the bar's own); the window told, or null.
    static HWND TellImageDialog(DWORD processId);

    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

protected:
    void OnFont();
    void OnAlign(UINT id);
    void OnStyle(UINT id);
    void OnEditChange(UINT id);
    void OnClose();
    void OnSetFocus(CWnd* oldWnd);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    void OnChar(UINT ch, UINT repeat, UINT flags);
    void OnSize(UINT type, int cx, int cy);
    void OnSysColorChange();
    void OnDestroy();
    void LoadButtonBitmaps();
    void DeleteButtonBitmaps();
    void ShowEditOf(int alignment);
    void StoreString(LPCSTR name, LPCSTR value);
    void StoreInt(LPCSTR name, int value);
    CString CaptionPrefix() const;
    DECLARE_MESSAGE_MAP()

    const Variant m_variant;
    CPaintControl* m_ctrl;
    int m_alignment;
    BOOL m_hidden;
    HBITMAP m_bitmaps[6];
    CFont m_font;   // the edits' font
};

// The recorder's twin of the bar.
class MyCPntTextFmtBar : public CPntTextFmtBar {
public:
    MyCPntTextFmtBar() : CPntTextFmtBar(kRecorder) {}
};
