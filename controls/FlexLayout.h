#pragma once
#include "framework/Collections.h"
#include "framework/ui/Wnd.h"

// A rule says which fraction of the dialog's growth moves a control's start
// edge (left or top) and its end edge (right or bottom). Factors are single
// precision and only ever 0 or 1 in the shared rules, so the products are exact.
class CFlexHorzRule {
public:
    CFlexHorzRule(float start, float end) : m_start(start), m_end(end) {}
    virtual CFlexHorzRule* Clone() const { return new CFlexHorzRule(*this); }
    virtual ~CFlexHorzRule() {}
    virtual void Prepare(CWnd* /*pDialog*/, int /*baseSize*/) {}
    float m_start;
    float m_end;
};

class CFlexVertRule {
public:
    CFlexVertRule(float start, float end) : m_start(start), m_end(end) {}
    virtual CFlexVertRule* Clone() const { return new CFlexVertRule(*this); }
    virtual ~CFlexVertRule() {}
    virtual void Prepare(CWnd* /*pDialog*/, int /*baseSize*/) {}
    float m_start;
    float m_end;
};

extern const CFlexHorzRule FlexHorzFixed;     // stays where it is
extern const CFlexHorzRule FlexHorzMove;      // moves with the right edge
extern const CFlexHorzRule FlexHorzStretch;   // widens with the dialog
extern const CFlexVertRule FlexVertFixed;
extern const CFlexVertRule FlexVertMove;      // moves with the bottom edge
extern const CFlexVertRule FlexVertStretch;   // grows taller with the dialog

// One control of a flexible layout with its place at the base size.
struct CFlexItem {
    UINT nID;
    int left, top, right, bottom;
    CFlexHorzRule* pHorz;   // owned copies
    CFlexVertRule* pVert;
};

// Moves the controls of a dialog by their rules when the dialog's client area
// grows beyond its base size. The rectangles are read once, at the first
// resize that finds every control. Owned by its dialog; UI thread only.
class CFlexLayout {
public:
    explicit CFlexLayout(CWnd* pDialog);
    virtual ~CFlexLayout();

    void SetBaseSize(int cx, int cy) { m_baseCx = cx; m_baseCy = cy; }
    void Add(UINT nID, const CFlexHorzRule& horz, const CFlexVertRule& vert);
    // Places every control for a client area of cx x cy.
    void Reposition(int cx, int cy);
    BOOL IsInitialised() const { return m_bInitialised; }
    int GetCount() const { return (int)m_items.GetCount(); }

private:
    BOOL ReadControls();

    CWnd* m_pDialog;
    int m_baseCx;
    int m_baseCy;
    CPtrList m_items;   // CFlexItem*, in the order added
    BOOL m_bInitialised;
};
