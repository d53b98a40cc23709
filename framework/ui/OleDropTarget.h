#pragma once
#include "framework/Object.h"
#include "framework/OleDataObject.h"
#include "framework/Types.h"

#include <ole2.h>

class CWnd;

// Makes a window a target of OLE drag and drop. The handlers get the
// offered data wrapped in a COleDataObject and the cursor in the window's
// client coordinates; the defaults accept nothing. The target object must
// outlive its registration (Revoke, or the window's destruction). UI thread.
class COleDropTarget : public CObject {
public:
    COleDropTarget();
    ~COleDropTarget() override;

    // RegisterDragDrop for the window; FALSE when OLE refuses.
    BOOL Register(CWnd* pWnd);
    void Revoke();
    CWnd* GetWindow() const { return m_pWnd; }

    // DROPEFFECT OnDragEnter(CWnd*, COleDataObject*, DWORD keyState, CPoint)
    virtual DROPEFFECT OnDragEnter(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual void OnDragLeave(CWnd* pWnd);
    // TRUE when the drop was taken.
    virtual BOOL OnDrop(CWnd* pWnd, COleDataObject* pDataObject, DROPEFFECT dropEffect, CPoint point);

private:
    class XDropTarget : public IDropTarget {
    public:
        explicit XDropTarget(COleDropTarget* owner) : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
        STDMETHODIMP DragEnter(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
        STDMETHODIMP DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
        STDMETHODIMP DragLeave() override;
        STDMETHODIMP Drop(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;

    private:
        COleDropTarget* m_owner;
    };

    COleDropTarget(const COleDropTarget&) = delete;
    COleDropTarget& operator=(const COleDropTarget&) = delete;

    CPoint ClientPoint(POINTL pt) const;

    CWnd* m_pWnd;
    LONG m_refs;
    COleDataObject m_dataObject;    // the data of the drag in progress
    XDropTarget m_xDropTarget;
};
