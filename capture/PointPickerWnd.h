#pragma once
// The common part of the monitor and window pickers: the thing under the
// mouse is the candidate, shown by an outline; a click chooses it. Mouse
// moves are ignored for the first 300 ms (a button release is still taken),
// so that the move that opened the picker does not pick. An owner page of the
// record wizard, when given, gets the choice (hand-back flag 0) and the
// picker is handed back to its host. UI thread only.
#include "capture/AreaPicker.h"

class CPointPickerWnd : public CScreenOverlayWnd {
public:
    CPointPickerWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host, IRegionPageOwner* ownerPage,
                    int handBack);

    void Done() override;
    void Cancel() override;

    int OnCreate(LPCREATESTRUCT cs);
    void OnTimer(UINT_PTR id);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);

    // The current candidate (screen coordinates); empty when none.
    const RECT& GetCandidate() const { return m_candidate; }

protected:
    DECLARE_MESSAGE_MAP()
    UINT CursorResource() const override;
    // The candidate at a screen point; FALSE when there is none.
    virtual BOOL CandidateAt(POINT point, RECT* candidate) = 0;
    // Writes the choice into the preferences record.
    virtual void StoreChoice() = 0;
    virtual int OutlineDepth() const = 0;

    BOOL m_ended;
    RECT m_candidate;

private:
    void Track(POINT point);

    IRegionPageOwner* m_ownerPage;   // not owned
    int m_handBack;
};
