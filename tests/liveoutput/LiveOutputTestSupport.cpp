#include "LiveOutputTestSupport.h"

#include "tests/capture/CaptureTestSupport.h"
#include "capdriver/CaptureProtocol.h"

#include <stdio.h>
#include <string.h>

namespace livetest {

void PatternColour(int x, int y, BYTE* red, BYTE* green, BYTE* blue)
{
    *red = (BYTE)(x * 3 + y);
    *green = (BYTE)(y * 5 + (x >> 4));
    *blue = (BYTE)(x ^ (y * 7));
}

DWORD DibBytes(int width, int height, int bitCount)
{
    return (DWORD)((((width * bitCount) + 31) >> 3) & ~3) * (DWORD)height;
}

std::vector<BYTE> PatternRows24(int width, int height)
{
    const int stride = (int)DibBytes(width, 1, 24);
    std::vector<BYTE> rows((size_t)stride * height, 0);
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;   // bottom-up
        BYTE* p = &rows[(size_t)row * stride];
        for (int x = 0; x < width; ++x) {
            PatternColour(x, y, &p[x * 3 + 2], &p[x * 3 + 1], &p[x * 3 + 0]);
        }
    }
    return rows;
}

std::string FirstDifference(const std::vector<BYTE>& expected, const BYTE* actual, size_t actualBytes)
{
    char text[160];
    if (actualBytes != expected.size()) {
        snprintf(text, sizeof(text), "size %u, expected %u", (unsigned)actualBytes, (unsigned)expected.size());
        return text;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != actual[i]) {
            snprintf(text, sizeof(text), "byte %u is %u, expected %u", (unsigned)i, actual[i], expected[i]);
            return text;
        }
    }
    return "";
}

PatternWindow::PatternWindow(int width, int height)
    : m_hwnd(NULL), m_width(width), m_height(height), m_rows(PatternRows24(width, height))
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.lpszClassName = "VexcapLiveTestPattern";
    ::RegisterClassA(&wc);
    m_hwnd = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, width,
                               height, NULL, NULL, wc.hInstance, NULL);
    ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
    ::ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_hwnd);
}

PatternWindow::~PatternWindow()
{
    ::DestroyWindow(m_hwnd);
}

LRESULT CALLBACK PatternWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    PatternWindow* self = (PatternWindow*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (msg == WM_ERASEBKGND)
        return 1;
    if (msg == WM_PAINT && self) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        BITMAPINFOHEADER bi = {};
        bi.biSize = sizeof(bi);
        bi.biWidth = self->m_width;
        bi.biHeight = self->m_height;
        bi.biPlanes = 1;
        bi.biBitCount = 24;
        bi.biCompression = BI_RGB;
        ::SetDIBitsToDevice(dc, 0, 0, self->m_width, self->m_height, 0, 0, 0, self->m_height,
                            self->m_rows.data(), (const BITMAPINFO*)&bi, DIB_RGB_COLORS);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool PatternWindow::WaitShown(DWORD timeoutMs) const
{
    const POINT probes[] = {{0, 0}, {m_width - 1, 0}, {0, m_height - 1}, {m_width / 2, m_height / 3},
                            {m_width - 1, m_height - 1}};
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        bool all = true;
        HDC screen = ::GetDC(NULL);
        for (const POINT& p : probes) {
            BYTE r, g, b;
            PatternColour(p.x, p.y, &r, &g, &b);
            all = all && ::GetPixel(screen, p.x, p.y) == RGB(r, g, b);
        }
        ::ReleaseDC(NULL, screen);
        if (all)
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

void QuietAnnotations(CRecorderPrefs* prefs)
{
    prefs->m_captureMouse = FALSE;
    prefs->m_highlightCursor = FALSE;
    prefs->m_highlightClicks = FALSE;
    prefs->m_recordClickAudio = FALSE;
    prefs->m_recordKeyAudio = FALSE;
    prefs->m_autoHighlightObject = FALSE;
    prefs->m_computerNameStamp = 0;
    prefs->m_userNameStamp = 0;
    prefs->m_elapsedTimeStamp = 0;
    prefs->m_timeDateStamp = 0;
    prefs->m_autoSystemStamp = FALSE;
    prefs->m_caption.m_text.Empty();
    prefs->m_watermark.m_bInclude = FALSE;
}

std::unique_ptr<CRecorderPrefs> MakeLivePrefs(const std::string& tempDir)
{
    std::unique_ptr<CRecorderPrefs> prefs(new CRecorderPrefs(&capturetest::App()));
    prefs->m_tempDir = tempDir.c_str();
    prefs->m_output = 1;
    prefs->m_liveRate = CRational(10, 1, 1);
    prefs->m_autoConfig = FALSE;
    prefs->m_minimize = FALSE;
    prefs->m_pauseOnStart = FALSE;
    prefs->m_recordAudio = FALSE;
    prefs->m_useGrabberThread = 0;
    QuietAnnotations(prefs.get());
    return prefs;
}

FakeLiveDriver::FakeLiveDriver()
    : m_headerMapping(NULL), m_header(NULL), m_frameMapping(NULL), m_frame(NULL), m_frameBytes(0)
{
    m_headerMapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LiveOutputHeader),
                                           LIVE_OUTPUT_HEADER_NAME);
    if (m_headerMapping)
        m_header = (LiveOutputHeader*)::MapViewOfFile(m_headerMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (m_header)
        memset(m_header, 0, sizeof(*m_header));
}

FakeLiveDriver::~FakeLiveDriver()
{
    CloseFrame();
    if (m_header)
        ::UnmapViewOfFile(m_header);
    if (m_headerMapping)
        ::CloseHandle(m_headerMapping);
}

void FakeLiveDriver::CloseFrame()
{
    if (m_frame)
        ::UnmapViewOfFile(m_frame);
    if (m_frameMapping)
        ::CloseHandle(m_frameMapping);
    m_frame = NULL;
    m_frameMapping = NULL;
    m_frameBytes = 0;
}

std::string FakeLiveDriver::FrameName(uint32_t imageSize)
{
    char name[64];
    snprintf(name, sizeof(name), "SS_LIVE_MMF_NAME_%u", (unsigned)imageSize);
    return name;
}

bool FakeLiveDriver::Publish(int32_t width, int32_t height, uint16_t bitCount, uint32_t imageSize,
                             const std::string& name, DWORD mappingBytes, BYTE fill, int32_t valid)
{
    if (!m_header)
        return false;
    *(volatile int32_t*)&m_header->headerValid = 0;
    m_header->width = width;
    m_header->height = height;
    m_header->bitCount = bitCount;
    m_header->imageSize = imageSize;
    memset(m_header->frameMappingName, 0, sizeof(m_header->frameMappingName));
    memcpy(m_header->frameMappingName, name.data(),
           name.size() < sizeof(m_header->frameMappingName) ? name.size() : sizeof(m_header->frameMappingName));
    CloseFrame();
    if (mappingBytes) {
        char mappingName[300];
        snprintf(mappingName, sizeof(mappingName), "%.*s", (int)name.size(), name.c_str());
        m_frameMapping =
            ::CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, mappingBytes, mappingName);
        if (!m_frameMapping)
            return false;
        m_frame = (BYTE*)::MapViewOfFile(m_frameMapping, FILE_MAP_ALL_ACCESS, 0, 0, mappingBytes);
        if (!m_frame)
            return false;
        m_frameBytes = mappingBytes;
        memset(m_frame, fill, mappingBytes);
    }
    ::MemoryBarrier();
    *(volatile int32_t*)&m_header->headerValid = valid;
    return true;
}

bool FakeLiveDriver::FrameAll(BYTE value) const
{
    for (DWORD i = 0; i < m_frameBytes; ++i) {
        if (m_frame[i] != value)
            return false;
    }
    return true;
}

bool LiveHeaderExists()
{
    HANDLE mapping = ::OpenFileMappingA(FILE_MAP_READ, FALSE, LIVE_OUTPUT_HEADER_NAME);
    if (!mapping)
        return false;
    ::CloseHandle(mapping);
    return true;
}

namespace {

// Wine maps the Unix root to drive Z:.
std::wstring DriverPath()
{
    std::wstring path = L"Z:";
    for (const char* p = ZENTIVO_TEST_DLL; *p; ++p)
        path += (*p == '/') ? L'\\' : (wchar_t)*p;
    return path;
}

const wchar_t kDriverSettingsKey[] =
    L"Software\\Kestravon\\Skorvale Studio\\1.0\\Skorvale Recorder\\1.0\\Live Configuration";

}  // namespace

void StoreDriverSettings(DWORD bitCount)
{
    HKEY key = NULL;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kDriverSettingsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return;
    const DWORD preset = 9;   // 320 x 240
    const DWORD custom = 0;
    ::RegSetValueExW(key, L"BitCount", 0, REG_DWORD, (const BYTE*)&bitCount, sizeof(bitCount));
    ::RegSetValueExW(key, L"PresetSize", 0, REG_DWORD, (const BYTE*)&preset, sizeof(preset));
    ::RegSetValueExW(key, L"CustomSize", 0, REG_DWORD, (const BYTE*)&custom, sizeof(custom));
    ::RegCloseKey(key);
}

CaptureChannel::CaptureChannel() : m_driver(NULL), m_streaming(false), m_doneCount(0)
{
    VIDEO_OPEN_PARMS parms = {};
    parms.dwSize = sizeof(parms);
    parms.fccType = ZENTIVO_FCC_VCAP;
    parms.dwVersion = ZENTIVO_VIDEO_API_VERSION;
    parms.dwFlags = VIDEO_IN;
    m_driver = ::OpenDriver(DriverPath().c_str(), NULL, (LPARAM)&parms);
}

CaptureChannel::~CaptureChannel()
{
    EndStream();
    if (m_driver)
        ::CloseDriver(m_driver, 0, 0);
}

LRESULT CaptureChannel::Send(UINT msg, LPARAM lParam1, LPARAM lParam2) const
{
    return ::SendDriverMessage(m_driver, msg, lParam1, lParam2);
}

LRESULT CaptureChannel::SetFormat(LONG width, LONG height, WORD bitCount) const
{
    BITMAPINFOHEADER bi = {};
    bi.biSize = sizeof(bi);
    bi.biWidth = width;
    bi.biHeight = height;
    bi.biPlanes = 1;
    bi.biBitCount = bitCount;
    bi.biCompression = BI_RGB;
    VIDEOCONFIGPARMS parms = {};
    parms.lpData1 = &bi;
    parms.dwSize1 = sizeof(bi);
    return Send(DVM_FORMAT, VIDEO_CONFIGURE_SET, (LPARAM)&parms);
}

BITMAPINFOHEADER CaptureChannel::Format() const
{
    BITMAPINFOHEADER bi = {};
    VIDEOCONFIGPARMS parms = {};
    parms.lpData1 = &bi;
    parms.dwSize1 = sizeof(bi);
    Send(DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, (LPARAM)&parms);
    return bi;
}

LRESULT CaptureChannel::GrabFrame(std::vector<BYTE>* frame) const
{
    frame->assign(Format().biSizeImage, 0xCD);
    VIDEOHDR vh = {};
    vh.lpData = frame->data();
    vh.dwBufferLength = (DWORD)frame->size();
    const LRESULT result = Send(DVM_FRAME, (LPARAM)&vh, sizeof(vh));
    frame->resize(vh.dwBytesUsed <= frame->size() ? vh.dwBytesUsed : frame->size());
    return result;
}

void CALLBACK CaptureChannel::StreamCallback(HDRVR, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR)
{
    if (msg == MM_DRVM_DATA)
        ::InterlockedIncrement(&((CaptureChannel*)instance)->m_doneCount);
}

LRESULT CaptureChannel::StartStream(int count, DWORD microSecPerFrame)
{
    VIDEO_STREAM_INIT_PARMS init = {};
    init.dwMicroSecPerFrame = microSecPerFrame;
    init.dwCallback = (DWORD_PTR)&StreamCallback;
    init.dwCallbackInst = (DWORD_PTR)this;
    init.dwFlags = CALLBACK_FUNCTION;
    init.hVideo = 0x4321;
    LRESULT result = Send(DVM_STREAM_INIT, (LPARAM)&init, sizeof(init));
    if (result != DV_ERR_OK)
        return result;
    m_streaming = true;
    const DWORD size = Format().biSizeImage;
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<StreamBuffer> buffer(new StreamBuffer);
        buffer->data.assign(size, 0xCD);
        memset(&buffer->header, 0, sizeof(buffer->header));
        buffer->header.lpData = buffer->data.data();
        buffer->header.dwBufferLength = size;
        buffer->header.dwFlags = VHDR_PREPARED;
        result = Send(DVM_STREAM_ADDBUFFER, (LPARAM)&buffer->header, sizeof(buffer->header));
        if (result != DV_ERR_OK)
            return result;
        m_buffers.push_back(std::move(buffer));
    }
    return Send(DVM_STREAM_START);
}

std::vector<std::vector<BYTE>> CaptureChannel::Collect()
{
    std::vector<std::vector<BYTE>> pictures;
    for (std::unique_ptr<StreamBuffer>& buffer : m_buffers) {
        const DWORD flags = *(volatile DWORD*)&buffer->header.dwFlags;
        if (!(flags & VHDR_DONE))
            continue;
        const DWORD used = buffer->header.dwBytesUsed;
        bool black = true;
        for (DWORD i = 0; i < used && black; ++i)
            black = buffer->data[i] == 0;
        if (used > 0 && !black)
            pictures.emplace_back(buffer->data.begin(), buffer->data.begin() + used);
        Send(DVM_STREAM_ADDBUFFER, (LPARAM)&buffer->header, sizeof(buffer->header));
    }
    return pictures;
}

void CaptureChannel::EndStream()
{
    if (!m_streaming)
        return;
    Send(DVM_STREAM_STOP);
    Send(DVM_STREAM_RESET);
    Send(DVM_STREAM_FINI);
    m_streaming = false;
    m_buffers.clear();
}

}  // namespace livetest
