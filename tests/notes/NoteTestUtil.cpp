#include "NoteTestUtil.h"

#include "catalogue/DataShapeObject.h"
#include "framework/ui/AfxWin.h"

namespace notetest {

BEGIN_MESSAGE_MAP(DeskWindow, CWnd)
    ON_MESSAGE(WM_FLOATER_CLOSED, OnClosed)
    ON_MESSAGE(WM_FLOATER_RAISED, OnRaised)
END_MESSAGE_MAP()

DeskWindow::DeskWindow() : desk(this)
{
    CreateEx(WS_EX_TOOLWINDOW, AfxRegisterWndClass(0), "desk", WS_POPUP, 0, 0, 10, 10, NULL, NULL);
    const POINT origin = {0, 0};
    desk.SetDesktop(origin, 1920, 1080);
}

DeskWindow::~DeskWindow()
{
    desk.CloseAllFloaters();
    DestroyWindow();
}

void DeskWindow::AddToCatalogue(CDataGenericObject*, const CString& name)
{
    saved.push_back((const char*)name);
}

LRESULT DeskWindow::OnClosed(WPARAM wParam, LPARAM)
{
    desk.OnFloaterClosed(reinterpret_cast<CFloater*>(wParam));
    return 0;
}

LRESULT DeskWindow::OnRaised(WPARAM wParam, LPARAM)
{
    desk.OnFloaterRaised(reinterpret_cast<CFloater*>(wParam));
    return 0;
}

CDataShapeObject* MakeShape(int w, int h, int keyColumns)
{
    const int stride = (w * 3 + 3) & ~3;
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + stride * h);
    BYTE* p = (BYTE*)::GlobalLock(mem);
    BITMAPINFOHEADER* bih = (BITMAPINFOHEADER*)p;
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = w;
    bih->biHeight = h;
    bih->biPlanes = 1;
    bih->biBitCount = 24;
    bih->biSizeImage = stride * h;
    BYTE* bits = p + sizeof(BITMAPINFOHEADER);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            BYTE* px = bits + y * stride + x * 3;
            if (x < keyColumns) {
                px[0] = 0xFF; px[1] = 0x00; px[2] = 0xFF;   // B G R: magenta
            } else {
                px[0] = 0x80; px[1] = 0x00; px[2] = 0x00;   // dark blue
            }
        }
    }
    ::GlobalUnlock(mem);
    CDataShapeObject* shape = new CDataShapeObject;
    shape->m_image.Attach(mem);
    ::GlobalFree(mem);
    shape->m_transparentColour = RGB(255, 0, 255);
    return shape;
}

}  // namespace notetest
