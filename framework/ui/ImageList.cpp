#include "framework/ui/ImageList.h"

#include "framework/ui/DC.h"
#include "framework/ui/GdiObject.h"
#include "framework/ui/HandleMap.h"

namespace {
CImageList* MakeTempImageList(HIMAGELIST h)
{
    CImageList* p = new CImageList;
    p->m_hImageList = h;
    return p;
}
void ReleaseTempImageList(CImageList* p)
{
    p->m_hImageList = NULL;
    delete p;
}
thread_local CHandleMap<CImageList, HIMAGELIST>* t_imageListMap = NULL;   // a pointer: see ThreadHandleMap

CHandleMap<CImageList, HIMAGELIST>& ImageListMap()
{
    return ThreadHandleMap(t_imageListMap, &MakeTempImageList, &ReleaseTempImageList);
}
}  // namespace

void AfxDeleteTempImageListMap()
{
    ImageListMap().DeleteTemp();
}

void AfxFreeThreadImageListMap()
{
    FreeThreadHandleMap(t_imageListMap);
}

IMPLEMENT_DYNCREATE(CImageList, CObject)

HIMAGELIST CImageList::GetSafeHandle() const
{
    const CImageList* self = this;
    return self != NULL ? m_hImageList : NULL;
}

CImageList* PASCAL CImageList::FromHandle(HIMAGELIST hImageList)
{
    return ImageListMap().FromHandle(hImageList);
}

BOOL CImageList::Attach(HIMAGELIST hImageList)
{
    if (hImageList == NULL)
        return FALSE;
    if (m_hImageList != NULL)
        DeleteImageList();
    m_hImageList = hImageList;
    ImageListMap().SetPermanent(hImageList, this);
    return TRUE;
}

HIMAGELIST CImageList::Detach()
{
    HIMAGELIST h = m_hImageList;
    if (h != NULL && ImageListMap().LookupPermanent(h) == this)
        ImageListMap().RemoveHandle(h);
    m_hImageList = NULL;
    return h;
}

BOOL CImageList::DeleteImageList()
{
    if (m_hImageList == NULL)
        return FALSE;
    return ImageList_Destroy(Detach());
}

int CImageList::Add(CBitmap* pbmImage, CBitmap* pbmMask)
{
    return ImageList_Add(m_hImageList, (HBITMAP)pbmImage->GetSafeHandle(), (HBITMAP)pbmMask->GetSafeHandle());
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask)
{
    return ImageList_AddMasked(m_hImageList, (HBITMAP)pbmImage->GetSafeHandle(), crMask);
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle)
{
    return ImageList_Draw(m_hImageList, nImage, pDC->GetSafeHdc(), pt.x, pt.y, nStyle);
}
