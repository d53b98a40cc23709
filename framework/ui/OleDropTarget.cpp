#include "framework/ui/OleDropTarget.h"

#include "framework/ui/Wnd.h"

COleDropTarget::COleDropTarget() : m_pWnd(NULL), m_refs(0), m_xDropTarget(this) {}

COleDropTarget::~COleDropTarget()
{
    Revoke();
}

BOOL COleDropTarget::Register(CWnd* pWnd)
{
    Revoke();
    if (pWnd == NULL || pWnd->GetSafeHwnd() == NULL)
        return FALSE;
    if (FAILED(::RegisterDragDrop(pWnd->GetSafeHwnd(), &m_xDropTarget)))
        return FALSE;
    m_pWnd = pWnd;
    return TRUE;
}

void COleDropTarget::Revoke()
{
    if (m_pWnd && m_pWnd->GetSafeHwnd())
        ::RevokeDragDrop(m_pWnd->GetSafeHwnd());
    m_pWnd = NULL;
    m_dataObject.Release();
}

DROPEFFECT COleDropTarget::OnDragEnter(CWnd*, COleDataObject*, DWORD, CPoint)
{
    return DROPEFFECT_NONE;
}

DROPEFFECT COleDropTarget::OnDragOver(CWnd*, COleDataObject*, DWORD, CPoint)
{
    return DROPEFFECT_NONE;
}

void COleDropTarget::OnDragLeave(CWnd*) {}

BOOL COleDropTarget::OnDrop(CWnd*, COleDataObject*, DROPEFFECT, CPoint)
{
    return FALSE;
}

CPoint COleDropTarget::ClientPoint(POINTL pt) const
{
    POINT p = { pt.x, pt.y };
    if (m_pWnd)
        ::ScreenToClient(m_pWnd->GetSafeHwnd(), &p);
    return CPoint(p.x, p.y);
}

// --- IDropTarget ---------------------------------------------------------------------------

STDMETHODIMP COleDropTarget::XDropTarget::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *ppv = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

// Counted for OLE's sake; the C++ object's life is its owner's.
STDMETHODIMP_(ULONG) COleDropTarget::XDropTarget::AddRef()
{
    return (ULONG)::InterlockedIncrement(&m_owner->m_refs);
}

STDMETHODIMP_(ULONG) COleDropTarget::XDropTarget::Release()
{
    return (ULONG)::InterlockedDecrement(&m_owner->m_refs);
}

STDMETHODIMP COleDropTarget::XDropTarget::DragEnter(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt,
                                                    DWORD* pdwEffect)
{
    if (pdwEffect == NULL || pDataObj == NULL)
        return E_INVALIDARG;
    pDataObj->AddRef();
    m_owner->m_dataObject.Attach(pDataObj, TRUE);
    *pdwEffect &= m_owner->OnDragEnter(m_owner->m_pWnd, &m_owner->m_dataObject, grfKeyState,
                                       m_owner->ClientPoint(pt));
    return S_OK;
}

STDMETHODIMP COleDropTarget::XDropTarget::DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect)
{
    if (pdwEffect == NULL)
        return E_INVALIDARG;
    if (m_owner->m_dataObject.GetIDataObject() == NULL) {
        *pdwEffect = DROPEFFECT_NONE;
        return S_OK;
    }
    *pdwEffect &= m_owner->OnDragOver(m_owner->m_pWnd, &m_owner->m_dataObject, grfKeyState,
                                      m_owner->ClientPoint(pt));
    return S_OK;
}

STDMETHODIMP COleDropTarget::XDropTarget::DragLeave()
{
    m_owner->OnDragLeave(m_owner->m_pWnd);
    m_owner->m_dataObject.Release();
    return S_OK;
}

// The effect is asked once more at the drop point, then the drop offered.
STDMETHODIMP COleDropTarget::XDropTarget::Drop(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt,
                                               DWORD* pdwEffect)
{
    if (pdwEffect == NULL || pDataObj == NULL)
        return E_INVALIDARG;
    pDataObj->AddRef();
    m_owner->m_dataObject.Attach(pDataObj, TRUE);
    const CPoint point = m_owner->ClientPoint(pt);
    DROPEFFECT effect = *pdwEffect & m_owner->OnDragOver(m_owner->m_pWnd, &m_owner->m_dataObject, grfKeyState, point);
    if (effect != DROPEFFECT_NONE && !m_owner->OnDrop(m_owner->m_pWnd, &m_owner->m_dataObject, effect, point))
        effect = DROPEFFECT_NONE;
    *pdwEffect = effect;
    m_owner->m_dataObject.Release();
    return S_OK;
}
