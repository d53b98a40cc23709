#pragma once
#include "controls/XRVButton.h"

// An XRVButton that can show a face text other than its window text.
class QK508Button : public XRVButton {
    DECLARE_DYNCREATE(QK508Button)
public:
    QK508Button();
    ~QK508Button() override;

    void SetFaceText(LPCTSTR lpszText);
    virtual void SetCaption(LPCTSTR lpszText);
    const CString& GetCaption() const { return m_caption; }
    const CString& GetFaceText() const { return m_faceText; }

protected:
    void PreSubclassWindow() override;
    void DrawCaption(LPDRAWITEMSTRUCT lpDIS, CRect& rect, BOOL bMeasureOnly) override;

    CString m_caption;
    CString m_faceText;
    CRect m_rcFace;   // emptied whenever the face text changes
};
