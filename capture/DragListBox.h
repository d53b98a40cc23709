#pragma once
// A list box whose items the user can drag to a new place (the common
// controls' drag list). The parent gets the drag notifications as a
// registered message and hands them back with ReflectDragNotify; the list
// then moves the dropped item itself. UI thread only.
#include "framework/ui/Controls.h"

class CDragListBox : public CListBox {
    DECLARE_DYNAMIC(CDragListBox)
public:
    CDragListBox();

    // The registered message of the drag-list notifications.
    static const UINT s_nDragListMessage;
    // Hands a drag-list notification that reached the parent to the bound
    // list it came from; returns the list's answer (0 for any other window).
    static LRESULT ReflectDragNotify(LPARAM lParam);

    // The item under a point in screen coordinates, or -1.
    int ItemFromPt(CPoint pt, BOOL bAutoScroll = TRUE) const;

    // The steps of one drag; the points are in screen coordinates.
    virtual BOOL BeginDrag(CPoint pt);
    virtual UINT Dragging(CPoint pt);
    virtual void CancelDrag(CPoint pt);
    virtual void Dropped(int nSrcIndex, CPoint pt);

protected:
    void PreSubclassWindow() override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    // Shows the insertion mark before item nItem (-1 hides it).
    void DrawInsert(int nItem);
    // TRUE for a screen point inside the list below its last item.
    BOOL BelowLastItem(CPoint pt) const;

    int m_nLast;   // the item the insertion mark is drawn at, or -1
};
