#include "UiTestSupport.h"

#include <algorithm>
#include <gdiplus.h>

namespace uitest {

void PumpPending()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        PumpPending();
        if (pred())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return pred();
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {
ModalAnswerer* g_answerer = nullptr;

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    auto* list = reinterpret_cast<std::vector<HWND>*>(lParam);
    if (::IsWindowVisible(hWnd) && ::IsWindowEnabled(hWnd))
        list->push_back(hWnd);
    return TRUE;
}
}  // namespace

ModalAnswerer::ModalAnswerer(Handler handler, DWORD giveUpMs)
    : m_handler(std::move(handler)), m_giveUpMs(giveUpMs), m_start(::GetTickCount()), m_timer(0),
      m_answered(0)
{
    // Windows present now are not dialogs of the test.
    std::vector<HWND> present;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectWindow, (LPARAM)&present);
    m_seen = present;
    g_answerer = this;
    m_timer = ::SetTimer(NULL, 0, 50, &ModalAnswerer::OnTimer);
}

ModalAnswerer::~ModalAnswerer()
{
    ::KillTimer(NULL, m_timer);
    g_answerer = nullptr;
}

void CALLBACK ModalAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_answerer != nullptr)
        g_answerer->Check();
}

bool ModalAnswerer::Press(HWND dialog, int id)
{
    return ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                          (LPARAM)::GetDlgItem(dialog, id)) != 0;
}

std::string ModalAnswerer::MessageBoxText(HWND dialog)
{
    char text[2048] = "";
    ::GetDlgItemTextA(dialog, 0xFFFF, text, sizeof(text));
    return text;
}

void ModalAnswerer::Check()
{
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectWindow, (LPARAM)&windows);
    bool acted = false;
    for (HWND hWnd : windows) {
        char cls[64] = "";
        ::GetClassNameA(hWnd, cls, sizeof(cls));
        if (lstrcmpA(cls, "#32770") != 0)
            continue;
        if (std::find(m_seen.begin(), m_seen.end(), hWnd) != m_seen.end())
            continue;   // there before the test began
        if (std::find(m_recorded.begin(), m_recorded.end(), hWnd) == m_recorded.end()) {
            m_recorded.push_back(hWnd);
            const std::string text = MessageBoxText(hWnd);
            if (!text.empty())
                m_texts.push_back(text);
        }
        if (m_handler && m_handler(hWnd)) {
            m_answered++;
            acted = true;
            break;
        }
    }
    if (acted) {
        m_start = ::GetTickCount();
        return;
    }
    if (::GetTickCount() - m_start > m_giveUpMs) {
        for (HWND hWnd : windows) {
            if (std::find(m_seen.begin(), m_seen.end(), hWnd) == m_seen.end())
                Press(hWnd, IDCANCEL);
        }
        m_start = ::GetTickCount();
    }
}

COLORREF ScreenPixel(int x, int y)
{
    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, 1, 1, screen, x, y, SRCCOPY);
    const COLORREF c = ::GetPixel(mem, 0, 0);
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(NULL, screen);
    return c;
}

std::vector<DWORD> CaptureClient(HWND hWnd, int* width, int* height)
{
    RECT rc;
    ::GetClientRect(hWnd, &rc);
    const int w = rc.right;
    const int h = rc.bottom;
    std::vector<DWORD> pixels((size_t)w * h);
    HDC dc = ::GetDC(hWnd);
    HDC mem = ::CreateCompatibleDC(dc);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = ::SelectObject(mem, dib);
    ::BitBlt(mem, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    ::GdiFlush();
    if (bits != nullptr && w > 0 && h > 0)
        memcpy(pixels.data(), bits, pixels.size() * 4);
    ::SelectObject(mem, old);
    ::DeleteObject(dib);
    ::DeleteDC(mem);
    ::ReleaseDC(hWnd, dc);
    for (DWORD& p : pixels)
        p &= 0xFFFFFF;
    *width = w;
    *height = h;
    return pixels;
}

namespace {
bool PngEncoder(CLSID* clsid)
{
    UINT count = 0;
    UINT size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0)
        return false;
    std::vector<BYTE> buf(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; i++) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}
}  // namespace

bool SaveScreenPng(const std::string& path, const RECT* area)
{
    RECT rc = { 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN) };
    if (area != nullptr && !::IsRectEmpty(area))
        rc = *area;
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(NULL, screen);

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, NULL) != Gdiplus::Ok) {
        ::DeleteObject(bmp);
        return false;
    }
    bool ok = false;
    {
        CLSID png;
        Gdiplus::Bitmap image(bmp, NULL);
        wchar_t wpath[MAX_PATH];
        ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wpath, MAX_PATH);
        ok = PngEncoder(&png) && image.Save(wpath, &png, NULL) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    ::DeleteObject(bmp);
    return ok;
}

}  // namespace uitest
