#pragma once
#include "framework/ui/Wnd.h"
#include "painter/DIBSection.h"

#include <memory>
#include <vector>

// The paint control behind both editor twins (CPntCtrl for the catalogue's
// dialogs, MyCPntCtrl for the recorder's): a child window of class
// "MFCPaintCtrl" that owns one working image, shows it zoomed and scrolled,
// draws on it with the editor's tools, keeps an undo history of whole-image
// snapshots and tells its owner (else its parent) what happened through
// WM_NOTIFY with the registered codes below. The variant, fixed at
// construction, picks the twin's texts. UI thread only.
class CDib;
class CPntTracker;
class CPntTextFmtBar;

class CPaintControl : public CWnd {
public:
    enum Variant { kCatalogue, kRecorder };
    enum Tool {
        kNoTool = 0, kSelect = 1, kMove = 2, kZoom = 3, kFill = 4, kPen = 5, kEraser = 6, kPicker = 7,
        kLine = 8, kText = 9, kAirbrush = 10, kRectangle = 11, kRoundRect = 12, kEllipse = 13,
        kFilledRect = 14, kFilledRoundRect = 15, kFilledEllipse = 16, kToolCount = 17
    };
    static constexpr int kUndoDepth = 5;
    static constexpr int kBorder = 5;  // the tracker's handle size, also the view border
    static constexpr COLORREF kNoColour = 0xFFFFFFFF;

    // The notification codes: registered window messages, the same ids for
    // every control and host of the process.
    struct NotifyCodes {
        UINT imageChanged;    // "_PAINT_CONTROL_IMAGE_CHANGED_"
        UINT magChanged;      // "_PAINT_CONTROL_MAG_CHANGED_"
        UINT colourSampled;   // "_PAINT_CONTROL_COLOUR_SAMPLER"
        UINT modeChanged;     // "_PAINT_CONTROL_MODE_CHANGED"
    };
    static const NotifyCodes& Codes();
    static const char kClassName[];   // "MFCPaintCtrl"
    static BOOL RegisterPaintCtrlClass();

    explicit CPaintControl(Variant variant);
    ~CPaintControl() override;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // --- The image
    BOOL CreateImage(int width, int height, UINT planes, UINT bitCount, const void* bits = NULL,
                     const LOGPALETTE* palette = NULL);
    BOOL SetBitmap(HBITMAP bitmap);
    // A copy of the picture's pixels (null empties the image); FALSE for a
    // picture the image cannot take (compressed rows, bad header).
    BOOL SetImage(const CDib* dib);
    // The image as a packed DIB; FALSE without an image or target.
    BOOL CopyImageTo(CDib* dib);
    void ResetImage();
    // Asks for a size and depth (negative: 100 by 100, the display's depth)
    // and creates a blank image; FALSE when cancelled or refused.
    BOOL NewImageDialog(int width = -1, int height = -1, int bitsPerPixel = -1);
    // Resizes the canvas, changes the depth or crops to the selection through
    // the size dialog; without an image it asks for a new one.
    BOOL Crop();
    BOOL HasImage() const { return !m_image.IsEmpty(); }
    CDIBSection& GetImage() { return m_image; }
    BOOL IsModified() const { return m_modified; }

    // --- The view
    void SetZoom(int percent);
    int GetZoomPercent() const;
    double GetZoom() const { return m_zoom; }
    // The next step of the zoom table from `percent` (negative: the current
    // zoom) up (direction > 0) or down; -1 when there is none.
    int NextZoomStep(int percent, int direction) const;
    void ZoomToFit();
    void SetCentered(BOOL centred);
    void SetGrid(BOOL on, int minPercent);
    void ShowTransparency(BOOL show);
    BOOL IsShowingTransparency() const { return m_showTransparency; }
    void SetTransparentColor(COLORREF colour);
    COLORREF GetTransparentColor() const { return m_transparent; }
    CPoint ImageToClient(CPoint image) const;
    CPoint ClientToImage(CPoint client) const;
    CRect ImageRectToClient(const CRect& image) const;
    CSize GetViewSize() const;
    void UpdateScrollBars();

    // --- The recorder's display scales (percent, 100 = 1:1), used in place
    // of the zoom when the zoom is exactly 100 %
    void SetScaleX(double percent);
    void SetScaleY(double percent);
    double GetScaleX() const { return m_scaleX * 0.01; }
    double GetScaleY() const { return m_scaleY * 0.01; }
    // The scales as whole percents, as they were set (29 stays 29).
    int GetScalePercentX() const;
    int GetScalePercentY() const;
    Variant GetVariant() const { return m_variant; }

    // --- The text tool: the catalogue's twin draws the text into the pixels,
    // the recorder's keeps it as a layer over the picture
    void SetText(LPCTSTR text);
    const CString& GetText() const { return m_text; }
    void SetTextFormat(UINT format);
    UINT GetTextFormat() const { return m_textFormat; }
    void SetTextFont(const LOGFONT& font);
    void GetTextFont(LOGFONT* font) const;
    // 0 left, 1 centred, 2 right: the DT_ alignment bits of the text format.
    int GetTextAlignment() const { return (int)(m_textFormat & (DT_CENTER | DT_RIGHT)); }
    void SetTextAlignment(int alignment);
    // The text tool's bar (its window exists once the text tool was chosen
    // with the control shown).
    CPntTextFmtBar& GetTextBar() { return *m_textBar; }
    // Gives the bar's current edit the control's text font.
    void ApplyFontToTextBar();

    // --- Tools
    void SetTool(int tool);
    int GetTool() const { return m_tool; }
    // A drag or stroke is running.
    BOOL IsBusy() const { return m_buttonDown; }
    int GetPreviousTool() const { return m_previousTool; }
    void SetForeColor(COLORREF colour);
    COLORREF GetForeColor() const { return m_foreColour; }
    void SetFillColor(COLORREF colour) { m_fillColour = colour; }
    COLORREF GetFillColor() const { return m_fillColour; }
    void SetPenWidth(int width) { m_penWidth = width; }
    int GetPenWidth() const { return m_penWidth; }
    void SetEraserWidth(int width) { m_eraserWidth = width; }
    int GetEraserWidth() const { return m_eraserWidth; }
    void DrawToolShape(int x1, int y1, int x2, int y2);
    void Spray(CPoint point, int radius);
    virtual CString GetToolHint(int tool);

    // --- Selection, clipboard
    void SelectAll();
    const CRect& GetSelection() const { return m_selection; }
    // With `live` the floating content (tool 2) follows the new rectangle.
    void SetSelection(const CRect& rect, BOOL live = FALSE);
    BOOL TrackSelection(CPntTracker& tracker);
    // Tool 9 pressed: moves or resizes the text block, or (outside it) ends
    // the block and draws a new one; the text is drawn again at the result.
    BOOL TrackText(CPntTracker& tracker);
    BOOL ClearArea(const CRect* rect, BOOL withUndo);
    BOOL Copy();
    BOOL Cut();
    BOOL Paste();
    BOOL LiftSelection(const CRect& rect);
    BOOL PlaceFloating(int left, int top, int right, int bottom);
    CDIBSection& GetFloatingImage() { return m_floatImage; }
    BOOL HasFloatingContent() const { return m_floating; }
    void SetTrackerShown(BOOL shown) { m_trackerShown = shown; }
    BOOL IsTrackerShown() const { return m_trackerShown; }

    // --- Masks
    HBITMAP MakeMask();
    int ImportMask(HBITMAP mask);

    // --- Undo history
    virtual void PushUndo();
    BOOL Undo();
    BOOL Redo();
    BOOL CanUndo() const;
    BOOL CanRedo() const;
    void ClearHistory();
    int GetHistoryCount() const { return (int)m_history.size(); }
    BOOL SaveBackup();
    BOOL RestoreBackup(BOOL deleteAfter);

    // --- Hooks a host overrides or listens to
    virtual void SetStatusText(LPCTSTR text);
    virtual void OnBeforeDrawImage(CDC* pDC) { (void)pDC; }
    virtual void OnBeginTrack() {}
    virtual void OnTrackMoved() {}
    virtual void OnEndTrack() {}
    virtual void DrawGrid(CDC* pDC);
    virtual void OnImageChanged();
    virtual void OnZoomChanged();
    virtual void OnColourSampled();
    // Asks whether a clipboard picture larger than the selection is cut to
    // it: IDYES, IDNO or IDCANCEL.
    virtual int AskPasteLarger();

protected:
    void Notify(UINT code);
    void EditDone();
    void Redraw(BOOL erase = FALSE);
    void ApplyZoomStep(int step);
    COLORREF EraseColour() const;
    bool IsShapeTool() const;
    bool IsStrokeTool() const;
    void DrawImageTo(CDC* pDC);
    void DrawFrame(CDC* pDC, const CRect& clientRect);
    void ScrollAxis(int bar, UINT code, UINT pos);
    // The factor of each axis: the zoom, or at 100 % the recorder's display scales.
    double FactorX() const;
    double FactorY() const;
    void DrawTextLayer(CDC* pDC, const CRect& imageClient);
    BOOL TextBarShown() const;
    // Escape and Ctrl+Z with the text tool: clearing the bar's edits takes a
    // shown text back out (one undo); TRUE when that happened.
    BOOL ClearTextBarTakesTextOut();

    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnSize(UINT type, int cx, int cy);
    void OnDestroy();
    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnRButtonUp(UINT flags, CPoint point);
    void OnTimer(UINT_PTR id);
    void OnChar(UINT ch, UINT repeat, UINT flags);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    UINT OnGetDlgCode();
    BOOL OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message);
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnEditUndo();
    void OnEditRedo();
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    DECLARE_MESSAGE_MAP()

    const Variant m_variant;
    std::unique_ptr<CPntTextFmtBar> m_textBar;
    CDIBSection m_image;
    std::vector<std::unique_ptr<CDIBSection>> m_history;   // oldest first
    int m_historyPos;                                        // -1: the image is newer than every snapshot
    std::unique_ptr<CDIBSection> m_backup;
    // Images of snapshots and backups no longer used, kept for reuse: a
    // picture copied into a section it already has costs a copy, a new
    // section far more (see CDIBSection::CopyFrom).
    std::vector<std::unique_ptr<CDIBSection>> m_spare;
    std::unique_ptr<CDIBSection> TakeSpare();
    void KeepSpare(std::unique_ptr<CDIBSection> image);
    int m_vRange;
    int m_hRange;
    int m_tool;
    int m_previousTool;
    COLORREF m_foreColour;
    COLORREF m_fillColour;
    COLORREF m_transparent;
    int m_eraserWidth;
    int m_penWidth;
    BOOL m_trackerShown;
    BOOL m_savedTracker;
    BOOL m_showTransparency;
    CPoint m_origin;
    CPoint m_margin;
    CPoint m_borderSize;
    CPoint m_dragStart;
    CPoint m_lastPoint;
    BOOL m_cancelled;
    BOOL m_buttonDown;
    BOOL m_grid;
    int m_gridMinPercent;
    BOOL m_gridWholeOnly;
    BOOL m_centred;
    BOOL m_floating;
    UINT_PTR m_sprayTimer;
    UINT_PTR m_sprayTimerRunning;
    int m_sprayFactor;
    int m_sprayDots;
    double m_zoom;
    double m_scaleX;
    double m_scaleY;
    CString m_text;
    UINT m_textFormat;
    CFont m_textFont;
    BOOL m_modified;
    CRect m_selection;
    CDIBSection m_floatImage;
    CRect m_sourceRect;
    BOOL m_cutOnMove;
    BOOL m_pastePalette;
    CBitmap m_mask;
};
