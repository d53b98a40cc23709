// The capture pin's video format page, built in code: an empty child dialog
// (so that the frame's keyboard handling walks into it) holding a label and
// a drop-down list of the sizes IAMStreamConfig::GetStreamCaps offers,
// however many there are, with the pin's current size selected.
//
// Wine's property frame (OleCreatePropertyFrame) is a comctl32 property
// sheet that shows the page inside a sheet page of its own and never calls
// IPropertyPage::Apply: its OK and Apply buttons send PSN_APPLY to that
// sheet page, the window the page is activated in. The page therefore
// listens to that window and applies itself on PSN_APPLY. A frame that
// calls Apply itself sends no such notification, or finds the page clean
// afterwards: the format is set once either way.
#include "tests/camera/TestCameraFormatPage.h"
#include "platform/filters/MediaTypeUtil.h"
#include "tests/camera/TestCameraIds.h"

#include <dshow.h>
#include <olectl.h>
#include <prsht.h>
#include <string.h>
#include <vector>

namespace {

volatile LONG g_pages = 0;
HINSTANCE g_module = NULL;

// Size of the page in pixels (the frame makes room for it).
const SIZE kPageSize = {260, 90};
// Properties of the window the page sits in while it listens there.
const WCHAR kPageProp[] = L"VexcapTestCameraFormatPage";
const WCHAR kProcProp[] = L"VexcapTestCameraFormatPageProc";

// One size the pin offers: its media type and the frame times it allows.
struct SizeEntry {
    AM_MEDIA_TYPE* type;
    LONG width, height;
    REFERENCE_TIME minFrameTime, maxFrameTime;
};

class CFormatPage : public IPropertyPage {
public:
    CFormatPage() { InterlockedIncrement(&g_pages); }
    virtual ~CFormatPage()
    {
        if (m_dialog)
            Deactivate();
        ClearSizes();
        if (m_config)
            m_config->Release();
        if (m_site)
            m_site->Release();
        InterlockedDecrement(&g_pages);
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPropertyPage) {
            *ppv = static_cast<IPropertyPage*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG r = InterlockedDecrement(&m_ref);
        if (r == 0)
            delete this;
        return r;
    }

    // IPropertyPage
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override
    {
        if (site && m_site)
            return E_UNEXPECTED;
        if (m_site)
            m_site->Release();
        m_site = site;
        if (m_site)
            m_site->AddRef();
        return S_OK;
    }
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL) override
    {
        if (!rect)
            return E_POINTER;
        if (m_dialog || !m_config)
            return E_UNEXPECTED;
        HRESULT hr = ReadSizes();
        if (FAILED(hr))
            return hr;
        DWORD buffer[32];
        m_dialog = ::CreateDialogIndirectParamW(g_module, BuildTemplate(buffer), parent, &CFormatPage::DialogProc,
                                                (LPARAM)this);
        if (!m_dialog)
            return E_FAIL;
        ::MoveWindow(m_dialog, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, FALSE);
        Listen(parent);
        return S_OK;
    }
    STDMETHODIMP Deactivate() override
    {
        if (!m_dialog)
            return E_UNEXPECTED;
        StopListening();
        ::DestroyWindow(m_dialog);
        m_dialog = NULL;
        return S_OK;
    }
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override
    {
        if (!info)
            return E_POINTER;
        const size_t bytes = sizeof(TEST_CAMERA_FORMAT_PAGE_TITLE);
        LPOLESTR title = (LPOLESTR)::CoTaskMemAlloc(bytes);
        if (!title)
            return E_OUTOFMEMORY;
        memcpy(title, TEST_CAMERA_FORMAT_PAGE_TITLE, bytes);
        info->cb = sizeof(PROPPAGEINFO);
        info->pszTitle = title;
        info->size = kPageSize;
        info->pszDocString = NULL;
        info->pszHelpFile = NULL;
        info->dwHelpContext = 0;
        return S_OK;
    }
    // The page works on the first object; it must be a stream config.
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override
    {
        if (count > 0 && !objects)
            return E_POINTER;
        IAMStreamConfig* config = NULL;
        if (count > 0 &&
            (!objects[0] || FAILED(objects[0]->QueryInterface(IID_IAMStreamConfig, (void**)&config))))
            return E_NOINTERFACE;
        if (m_config)
            m_config->Release();
        m_config = config;
        ClearSizes();
        m_dirty = false;
        if (m_dialog) {
            if (m_config)
                ReadSizes();
            FillList(::GetDlgItem(m_dialog, kTestCameraPageSizeList));
        }
        return S_OK;
    }
    STDMETHODIMP Show(UINT cmd) override
    {
        if (!m_dialog)
            return E_UNEXPECTED;
        ::ShowWindow(m_dialog, cmd);
        return S_OK;
    }
    STDMETHODIMP Move(LPCRECT rect) override
    {
        if (!rect)
            return E_POINTER;
        if (!m_dialog)
            return E_UNEXPECTED;
        ::MoveWindow(m_dialog, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP IsPageDirty() override { return m_dirty ? S_OK : S_FALSE; }
    // Sets the chosen size on the pin, at the pin's present frame rate when
    // the size allows it.
    STDMETHODIMP Apply() override
    {
        if (!m_config)
            return E_UNEXPECTED;
        if (!m_dirty)
            return S_OK;
        const SizeEntry& e = m_sizes[m_choice];
        CDsMediaType mt;
        HRESULT hr = mt.Set(e.type);
        if (FAILED(hr))
            return hr;
        VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)mt.pbFormat;
        if (m_frameTime > 0 && m_frameTime >= e.minFrameTime && m_frameTime <= e.maxFrameTime)
            vih->AvgTimePerFrame = m_frameTime;
        hr = m_config->SetFormat(&mt);
        if (FAILED(hr))
            return hr;
        m_current = m_choice;
        m_dirty = false;
        if (m_site)
            m_site->OnStatusChange(PROPPAGESTATUS_CLEAN);
        return S_OK;
    }
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    // The frame's own dialog handling moves through the page's controls
    // (the page is a control parent): no key is the page's alone.
    STDMETHODIMP TranslateAccelerator(MSG* msg) override { return msg ? S_FALSE : E_POINTER; }

private:
    // An empty child dialog template in the shell dialog font.
    static const DLGTEMPLATE* BuildTemplate(DWORD (&buffer)[32])
    {
        memset(buffer, 0, sizeof(buffer));
        DLGTEMPLATE* t = (DLGTEMPLATE*)buffer;
        t->style = WS_CHILD | DS_CONTROL | DS_SETFONT;
        t->dwExtendedStyle = WS_EX_CONTROLPARENT;
        t->cdit = 0;
        t->cx = 160;
        t->cy = 60;
        WORD* p = (WORD*)(t + 1);
        *p++ = 0;   // no menu
        *p++ = 0;   // the dialog class
        *p++ = 0;   // no title
        *p++ = 8;   // font size
        static const WCHAR kFont[] = L"MS Shell Dlg";
        memcpy(p, kFont, sizeof(kFont));
        return t;
    }

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            ((CFormatPage*)lParam)->MakeControls(dialog);
            return FALSE;   // the frame keeps the focus where it is
        }
        CFormatPage* page = (CFormatPage*)::GetWindowLongPtrW(dialog, DWLP_USER);
        if (page && message == WM_COMMAND && LOWORD(wParam) == kTestCameraPageSizeList &&
            HIWORD(wParam) == CBN_SELCHANGE) {
            page->OnChoice((int)::SendMessageW((HWND)lParam, CB_GETCURSEL, 0, 0));
            return TRUE;
        }
        return FALSE;
    }

    void MakeControls(HWND dialog)
    {
        const HFONT font = (HFONT)::SendMessageW(dialog, WM_GETFONT, 0, 0);
        HWND label = ::CreateWindowExW(0, L"STATIC", L"Output size:", WS_CHILD | WS_VISIBLE, 10, 12, 200, 16, dialog,
                                       (HMENU)(INT_PTR)kTestCameraPageSizeLabel, g_module, NULL);
        HWND list = ::CreateWindowExW(0, L"COMBOBOX", L"",
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 10, 32,
                                      180, 140, dialog, (HMENU)(INT_PTR)kTestCameraPageSizeList, g_module, NULL);
        for (HWND h : {label, list})
            if (h)
                ::SendMessageW(h, WM_SETFONT, (WPARAM)font, FALSE);
        FillList(list);
    }

    void FillList(HWND list)
    {
        if (!list)
            return;
        ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (const SizeEntry& e : m_sizes) {
            WCHAR text[64];
            StringCchPrintfW(text, 64, L"%ld x %ld", e.width, e.height);
            ::SendMessageW(list, CB_ADDSTRING, 0, (LPARAM)text);
        }
        ::SendMessageW(list, CB_SETCURSEL, (WPARAM)m_choice, 0);
    }

    void OnChoice(int index)
    {
        if (index < 0 || index >= (int)m_sizes.size())
            return;
        m_choice = index;
        m_dirty = m_choice != m_current;
        if (m_site)
            m_site->OnStatusChange(m_dirty ? PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE : PROPPAGESTATUS_CLEAN);
    }

    // The pin's sizes and its present format; the choice starts at the
    // present size (-1 when the pin runs at none of them).
    HRESULT ReadSizes()
    {
        ClearSizes();
        int count = 0, capsSize = 0;
        HRESULT hr = m_config->GetNumberOfCapabilities(&count, &capsSize);
        if (FAILED(hr))
            return hr;
        if (capsSize < (int)sizeof(VIDEO_STREAM_CONFIG_CAPS))
            return E_UNEXPECTED;
        std::vector<BYTE> caps(capsSize);
        for (int i = 0; i < count; ++i) {
            AM_MEDIA_TYPE* mt = NULL;
            if (m_config->GetStreamCaps(i, &mt, caps.data()) != S_OK || !mt)
                continue;
            if (mt->formattype != FORMAT_VideoInfo || mt->cbFormat < sizeof(VIDEOINFOHEADER) || !mt->pbFormat) {
                DsDeleteMediaType(mt);
                continue;
            }
            const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)mt->pbFormat;
            const VIDEO_STREAM_CONFIG_CAPS* c = (const VIDEO_STREAM_CONFIG_CAPS*)caps.data();
            m_sizes.push_back({mt, vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, c->MinFrameInterval,
                               c->MaxFrameInterval});
        }
        m_current = -1;
        m_frameTime = 0;
        AM_MEDIA_TYPE* now = NULL;
        if (SUCCEEDED(m_config->GetFormat(&now)) && now) {
            if (now->formattype == FORMAT_VideoInfo && now->cbFormat >= sizeof(VIDEOINFOHEADER) && now->pbFormat) {
                const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)now->pbFormat;
                m_frameTime = vih->AvgTimePerFrame;
                for (size_t i = 0; i < m_sizes.size(); ++i)
                    if (m_sizes[i].width == vih->bmiHeader.biWidth && m_sizes[i].height == vih->bmiHeader.biHeight &&
                        m_sizes[i].type->subtype == now->subtype)
                        m_current = (int)i;
            }
            DsDeleteMediaType(now);
        }
        m_choice = m_current;
        m_dirty = false;
        return S_OK;
    }
    void ClearSizes()
    {
        for (SizeEntry& e : m_sizes)
            DsDeleteMediaType(e.type);
        m_sizes.clear();
        m_current = m_choice = -1;
    }

    // Listening to the window the page sits in, for the sheet's PSN_APPLY.
    void Listen(HWND frame)
    {
        if (!frame || ::GetPropW(frame, kPageProp))
            return;
        ::SetPropW(frame, kPageProp, (HANDLE)this);
        if (!::GetPropW(frame, kProcProp))
            ::SetPropW(frame, kProcProp,
                       (HANDLE)::SetWindowLongPtrW(frame, GWLP_WNDPROC, (LONG_PTR)&CFormatPage::FrameProc));
        m_frame = frame;
    }
    void StopListening()
    {
        if (!m_frame)
            return;
        ::RemovePropW(m_frame, kPageProp);
        Unhook(m_frame);
        m_frame = NULL;
    }
    // Gives the window its own procedure back, unless another one was put
    // over ours meanwhile (ours then passes everything on until the end).
    static void Unhook(HWND frame)
    {
        WNDPROC old = (WNDPROC)::GetPropW(frame, kProcProp);
        if (old && (WNDPROC)::GetWindowLongPtrW(frame, GWLP_WNDPROC) == &CFormatPage::FrameProc) {
            ::SetWindowLongPtrW(frame, GWLP_WNDPROC, (LONG_PTR)old);
            ::RemovePropW(frame, kProcProp);
        }
    }
    static LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam)
    {
        const WNDPROC old = (WNDPROC)::GetPropW(frame, kProcProp);
        CFormatPage* page = (CFormatPage*)::GetPropW(frame, kPageProp);
        if (page && message == WM_NOTIFY) {
            const NMHDR* hdr = (const NMHDR*)lParam;
            if (hdr && hdr->code == (UINT)PSN_APPLY && hdr->hwndFrom == ::GetParent(frame) &&
                page->IsPageDirty() == S_OK && FAILED(page->Apply())) {
                // The sheet stays open on this page.
                ::SetWindowLongPtrW(frame, DWLP_MSGRESULT, PSNRET_INVALID_NOCHANGEPAGE);
                return PSNRET_INVALID_NOCHANGEPAGE;
            }
        }
        if (message == WM_NCDESTROY) {
            ::RemovePropW(frame, kPageProp);
            if (page)
                page->m_frame = NULL;
            Unhook(frame);
        }
        return old ? ::CallWindowProcW(old, frame, message, wParam, lParam)
                   : ::DefWindowProcW(frame, message, wParam, lParam);
    }

    volatile LONG m_ref = 0;
    IPropertyPageSite* m_site = NULL;
    IAMStreamConfig* m_config = NULL;
    HWND m_dialog = NULL;
    HWND m_frame = NULL;
    std::vector<SizeEntry> m_sizes;
    int m_current = -1;   // the size the pin has
    int m_choice = -1;    // the size chosen in the list
    bool m_dirty = false;
    REFERENCE_TIME m_frameTime = 0;
};

}  // namespace

HRESULT CreateTestCameraFormatPage(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    CFormatPage* page = new CFormatPage();
    page->AddRef();
    HRESULT hr = page->QueryInterface(riid, ppv);
    page->Release();
    return hr;
}

LONG TestCameraFormatPagesAlive() { return g_pages; }

void SetTestCameraModule(HINSTANCE module) { g_module = module; }
