#include "catalogue/NoteDesk.h"

#include "capture/DesktopUtil.h"
#include "catalogue/DataGenericObject.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/Floater.h"
#include "catalogue/TextFloater.h"
#include "framework/ui/AfxWin.h"

#include <algorithm>

CNoteDesk::CNoteDesk(INoteDeskSite* site)
    : m_cascadeX(0), m_cascadeY(0), m_site(site), m_openDialog(NULL), m_editing(NULL), m_desktopSet(FALSE),
      m_width(0), m_height(0)
{
    m_origin.x = m_origin.y = 0;
}

CNoteDesk::~CNoteDesk()
{
    std::vector<CFloater*> floaters;
    floaters.swap(m_floaters);
    for (CFloater* floater : floaters)
        delete floater;
}

CWnd* CNoteDesk::GetWindow() const
{
    return m_site ? m_site->GetDeskWindow() : NULL;
}

void CNoteDesk::SetDesktop(const POINT& origin, int width, int height)
{
    m_desktopSet = TRUE;
    m_origin = origin;
    m_width = width;
    m_height = height;
}

POINT CNoteDesk::ComputeNotePosition(const POINT* centre, int width, int height)
{
    POINT origin = m_origin;
    int deskWidth = m_width, deskHeight = m_height;
    if (!m_desktopSet)
        GetDesktopExtent(&deskWidth, &deskHeight, &origin, FALSE);
    const int right = origin.x + deskWidth;
    const int bottom = origin.y + deskHeight;
    const int halfW = width / 2;
    const int halfH = height / 2;
    const bool cascade = !centre || (centre->x == 0 && centre->y == 0);
    POINT c;
    if (cascade) {
        c.x = origin.x + m_cascadeX;
        c.y = origin.y + m_cascadeY;
    } else {
        c = *centre;
    }
    if (c.x + halfW > right) {
        if (cascade) {
            c.x = origin.x;
            m_cascadeX = 0;
        } else {
            c.x = right - halfW;
        }
    }
    if (c.y + halfH > bottom) {
        if (cascade) {
            c.y = origin.y;
            m_cascadeY = 0;
        } else {
            c.y = bottom - halfH;
        }
    }
    if (c.x - halfW < origin.x) {
        c.x += origin.x - (c.x - halfW);
        if (cascade) {
            c.x += m_cascadeX;
            m_cascadeX += halfW;
        }
    }
    if (c.y - halfH < origin.y) {
        c.y += origin.y - (c.y - halfH);
        if (cascade) {
            c.y += m_cascadeY;
            m_cascadeY += halfH;
        }
    }
    if (cascade) {
        m_cascadeX += 100;
        m_cascadeY += 100;
    }
    POINT topLeft = {c.x - halfW, c.y - halfH};
    return topLeft;
}

CFloater* CNoteDesk::PlaceOnDesktop(CDataGenericObject* object, const CString& name, BOOL fromLayout,
                                    const POINT* centre)
{
    if (!object)
        return NULL;
    POINT stored = {object->m_x, object->m_y};
    const POINT* at = centre ? centre : &stored;
    const UINT timerId = fromLayout ? 1 : 0;
    if (object->IsKindOf(RUNTIME_CLASS(CDataTextObject))) {
        CDataTextObject* note = static_cast<CDataTextObject*>(object);
        const int w = note->m_noteWidth > 0 ? note->m_noteWidth : 300;
        const int h = note->m_noteHeight > 0 ? note->m_noteHeight : 150;
        CTextFloater* floater = new CTextFloater(this, note, name, timerId);
        if (!floater->CreateAt(ComputeNotePosition(at, w, h))) {
            delete floater;
            return NULL;
        }
        return floater;
    }
    if (object->IsKindOf(RUNTIME_CLASS(CDataShapeObject))) {
        CDataShapeObject* shape = static_cast<CDataShapeObject*>(object);
        HWND ref = GetWindow() ? GetWindow()->GetSafeHwnd() : NULL;
        HDC dc = ::GetDC(ref);
        HBITMAP picture = NULL, mask = NULL;
        SIZE size = {150, 75};
        if (!shape->RenderScaled(dc, &picture, &mask, &size))
            picture = NULL;
        ::ReleaseDC(ref, dc);
        if (mask)
            ::DeleteObject(mask);
        CImageFloater* floater = new CImageFloater(this, picture, shape, name, timerId);
        const SIZE pictureSize = floater->GetPictureSize();
        if (!floater->CreateAt(ComputeNotePosition(at, pictureSize.cx, pictureSize.cy))) {
            delete floater;
            return NULL;
        }
        return floater;
    }
    delete object;
    return NULL;
}

int CNoteDesk::IndexOf(const CFloater* floater) const
{
    for (size_t i = 0; i < m_floaters.size(); ++i)
        if (m_floaters[i] == floater)
            return (int)i;
    return -1;
}

void CNoteDesk::RegisterFloater(CFloater* floater)
{
    if (!floater || IndexOf(floater) >= 0)
        return;
    CDataGenericObject* data = floater->GetData();
    if (data) {
        for (CFloater* other : m_floaters) {
            if (other->GetData() && other->GetData()->m_id == data->m_id && other->IsWindowVisible()) {
                data->m_id = CDataGenericObject::NewId();
                break;
            }
        }
    }
    m_floaters.push_back(floater);
}

void CNoteDesk::OnFloaterClosed(CFloater* floater)
{
    const int i = IndexOf(floater);
    if (i < 0)
        return;
    if (m_openDialog && floater == m_editing) {
        // Still edited: it stays, counted again, and the dialog comes forward.
        floater->ApplyOpacity();
        BringDialogForward();
        return;
    }
    m_floaters.erase(m_floaters.begin() + i);
    floater->DestroyWindow();
    delete floater;
}

void CNoteDesk::OnFloaterRaised(CFloater* floater)
{
    const int i = IndexOf(floater);
    if (i < 0)
        return;
    m_floaters.erase(m_floaters.begin() + i);
    m_floaters.push_back(floater);
}

BOOL CNoteDesk::CloseAllFloaters()
{
    m_cascadeX = m_cascadeY = 0;
    BOOL all = TRUE;
    std::vector<CFloater*> keep;
    std::vector<CFloater*> floaters;
    floaters.swap(m_floaters);
    for (CFloater* floater : floaters) {
        if (m_openDialog && floater == m_editing) {
            keep.push_back(floater);
            all = FALSE;
            continue;
        }
        floater->DestroyWindow();
        delete floater;
    }
    m_floaters = keep;
    if (!all)
        BringDialogForward();
    return all;
}

void CNoteDesk::RefreshFloaters()
{
    for (CFloater* floater : m_floaters)
        floater->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CNoteDesk::SetOpenDialog(CWnd* dialog, CFloater* editing)
{
    m_openDialog = dialog;
    m_editing = dialog ? editing : NULL;
}

BOOL CNoteDesk::BringDialogForward()
{
    if (!m_openDialog)
        return FALSE;
    if (m_openDialog->GetSafeHwnd())
        ::SetForegroundWindow(m_openDialog->GetSafeHwnd());
    return TRUE;
}
