// The frame composition: the stages that paint the cursor, its highlight and
// the click marks, the caption and the system stamp and the watermark into
// every frame, scale a zoomed frame to the output size, and rebuild the frame
// buffers when the area or the palette changes. Capture thread.
#include "capture/RecorderEngine.h"

#include "capture/FrameAnnotations.h"
#include "capture/FrameBitmap.h"
#include "capture/FrameWatermark.h"
#include "capture/StampText.h"
#include "capture/VideoFocusWnd.h"
#include "media/WaveIn.h"
#include "platform/imaging/Imaging.h"
#include "resources/ids_capture.h"
#include "resources/ids_compose.h"
#include "resources/ids_finishing.h"
#include "settings/RecorderPrefs.h"

#include <string.h>
#include <vfw.h>

namespace {

// Bits of the preferences' flag word.
const DWORD kFlagSystemStamp = 0x1;
const DWORD kFlagCaption = 0x2;

const int kButtonUp = 1;
const int kButtonDown = 2;

int ButtonState(int virtualKey)
{
    return (::GetAsyncKeyState(virtualKey) & 0x8000) ? kButtonDown : kButtonUp;
}

// The size of the bitmap selected into a DC (0 x 0 when there is none).
SIZE SelectedBitmapSize(HDC dc)
{
    SIZE size = {0, 0};
    BITMAP bm;
    HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
    if (bitmap && ::GetObjectA(bitmap, sizeof(bm), &bm)) {
        size.cx = bm.bmWidth;
        size.cy = bm.bmHeight;
    }
    return size;
}

}  // namespace

// What the composition keeps between frames.
struct FrameComposition {
    FrameComposition() { ImgInitBitmap(&scaled); }

    // Cursor stage: the button states of the last frame, the running click
    // marks, the last cursor handle with its hot spot, and the thread whose
    // input state the capture and monitor threads are attached to.
    int previousLeft = kButtonUp;
    int previousRight = kButtonUp;
    CClickMark leftMark;
    CClickMark rightMark;
    HCURSOR lastCursor = NULL;
    POINT hotSpot = {0, 0};
    DWORD attachedThread = 0;
    HWND attachedWindow = NULL;
    DWORD attachedFrom[2] = {0, 0};   // the capture and the monitor thread

    // A zoomed area is grabbed into a frame of its own size...
    HDC zoomDC = NULL;
    HBITMAP zoomBitmap = NULL;
    HGDIOBJ zoomOldBitmap = NULL;
    BYTE* zoomBits = NULL;
    std::vector<BYTE> zoomFormat;
    int zoomWidth = 0;
    int zoomHeight = 0;
    // ...and scaled to the output size in this library bitmap.
    ImgBitmap scaled;

    std::unique_ptr<CFrameWatermark> watermark;

    void FreeZoomFrame()
    {
        if (zoomDC && zoomOldBitmap)
            ::SelectObject(zoomDC, zoomOldBitmap);
        zoomOldBitmap = NULL;
        if (zoomBitmap)
            ::DeleteObject(zoomBitmap);
        zoomBitmap = NULL;
        zoomBits = NULL;
        zoomWidth = zoomHeight = 0;
    }

    void FreeBuffers()
    {
        FreeZoomFrame();
        if (zoomDC)
            ::DeleteDC(zoomDC);
        zoomDC = NULL;
        ImgFreeBitmap(&scaled);
        watermark.reset();
    }

    void DetachInput()
    {
        if (!attachedThread)
            return;
        for (DWORD from : attachedFrom) {
            if (from)
                ::AttachThreadInput(from, attachedThread, FALSE);
        }
        attachedThread = 0;
        attachedWindow = NULL;
        attachedFrom[0] = attachedFrom[1] = 0;
    }
};

// The engine's destructor ends here: the thread input that the cursor stage
// attached is detached and whatever buffers are left are freed.
void FrameCompositionDeleter::operator()(FrameComposition* composition) const
{
    if (!composition)
        return;
    composition->DetachInput();
    composition->FreeBuffers();
    delete composition;
}

FrameComposition& CRecorderEngine::Composition()
{
    if (!m_composition)
        m_composition.reset(new FrameComposition);
    return *m_composition;
}

void CRecorderEngine::ReleaseCompositionBuffers()
{
    if (m_composition) {
        CSingleLock lock(&m_frameLock, TRUE);
        m_composition->FreeBuffers();
    }
    // The imaging layer keeps freed frame sections for the next frame; once
    // the recording's buffers go, they go too.
    ImgTrimCache();
}

HDC CRecorderEngine::CaptureFrameDC()
{
    FrameComposition& c = Composition();
    return c.zoomBitmap ? c.zoomDC : m_memDC;
}

// Loads the watermark for the frame format. A file that cannot be opened
// fails the recording with its name rather than recording without it.
static BOOL LoadWatermarkImage(FrameComposition& c, const WatermarkSettings& settings,
                               const BITMAPINFOHEADER* frame, CString* error)
{
    std::unique_ptr<CFrameWatermark> image(new CFrameWatermark(settings));
    if (!frame || !image->Load(frame)) {
        error->Format(IDS_WATERMARK_FILE_UNREADABLE, settings.m_strImagePath.GetString());
        return FALSE;
    }
    c.watermark = std::move(image);
    return TRUE;
}

BOOL CRecorderEngine::PrepareWatermark()
{
    if (!m_prefs->m_watermark.m_bInclude)
        return TRUE;
    FrameComposition& c = Composition();
    const BITMAPINFOHEADER* frame =
        m_frameFormat.size() >= sizeof(BITMAPINFOHEADER) ? (const BITMAPINFOHEADER*)m_frameFormat.data() : NULL;
    CString error;
    if (!LoadWatermarkImage(c, m_prefs->m_watermark, frame, &error)) {
        Fail(error);
        return FALSE;
    }
    return TRUE;
}

BOOL CRecorderEngine::DrawWatermark(HDC /*frameDC*/)
{
    if (!m_prefs->m_watermark.m_bInclude || !m_frameBits)
        return TRUE;
    FrameComposition& c = Composition();
    if (!c.watermark && !PrepareWatermark())
        return FALSE;
    // The frame's pixels are read and written directly: GDI must be done.
    ::GdiFlush();
    c.watermark->DrawOnFramePart((const BITMAPINFO*)m_frameFormat.data(), m_frameBits);
    return TRUE;
}

// The cursor, its highlight and the click marks, and the click sounds. The
// position comes from the monitor thread; coordinates are relative to the
// capture rectangle, mapped onto the frame DC's bitmap when that has another
// size (a zoomed frame that the grabber already scaled).
void CRecorderEngine::DrawCursor(HDC frameDC, const CaptureArea& area)
{
    FrameComposition& c = Composition();
    POINT position;
    {
        CSingleLock lock(&m_areaLock, TRUE);
        position = m_cursor;
    }

    // Attach to the input state of the window under the cursor, so that the
    // cursor of another application can be read.
    HWND under = ::WindowFromPoint(position);
    if (under && under != c.attachedWindow) {
        const DWORD thread = ::GetWindowThreadProcessId(under, NULL);
        if (thread && thread != c.attachedThread && thread != m_captureThreadId && thread != m_monitorThreadId &&
            !IsConsoleWindow(under)) {
            c.DetachInput();
            const DWORD capture = ::GetCurrentThreadId();
            const BOOL first = ::AttachThreadInput(capture, thread, TRUE);
            const BOOL second = m_monitorThreadId && ::AttachThreadInput(m_monitorThreadId, thread, TRUE);
            if (first && second) {
                c.attachedThread = thread;
                c.attachedWindow = under;
                c.attachedFrom[0] = capture;
                c.attachedFrom[1] = m_monitorThreadId;
            } else {
                // Half an attachment would never be undone: drop it.
                if (first)
                    ::AttachThreadInput(capture, thread, FALSE);
                if (second)
                    ::AttachThreadInput(m_monitorThreadId, thread, FALSE);
            }
        }
    }

    CURSORINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    HCURSOR cursor = ::GetCursorInfo(&info) ? info.hCursor : ::GetCursor();
    const int left = ButtonState(VK_LBUTTON);
    const int right = ButtonState(VK_RBUTTON);

    const BOOL inside = position.x >= area.left && position.x <= area.Right() && position.y >= area.top &&
                        position.y <= area.Bottom();
    HWND focusFrame = m_focusFrame ? m_focusFrame->GetSafeHwnd() : NULL;
    const BOOL draggingFrame = cursor && cursor == m_moveCursor && focusFrame && under == focusFrame;
    if (inside && !draggingFrame) {
        if (cursor != c.lastCursor) {
            c.lastCursor = cursor;
            c.hotSpot.x = c.hotSpot.y = 0;
            ICONINFO icon;
            if (cursor && ::GetIconInfo((HICON)cursor, &icon)) {
                c.hotSpot.x = (LONG)icon.xHotspot;
                c.hotSpot.y = (LONG)icon.yHotspot;
                if (icon.hbmMask)
                    ::DeleteObject(icon.hbmMask);
                if (icon.hbmColor)
                    ::DeleteObject(icon.hbmColor);
            }
        }

        const BOOL leftPressed = c.previousLeft == kButtonUp && left == kButtonDown;
        const BOOL leftReleased = c.previousLeft == kButtonDown && left == kButtonUp;
        const BOOL rightPressed = c.previousRight == kButtonUp && right == kButtonDown;
        const BOOL rightReleased = c.previousRight == kButtonDown && right == kButtonUp;
        if (m_prefs->m_recordClickAudio && !IsPaused() && m_waveIn && !m_effectsSuppressed && !m_prefs->m_muteAudio) {
            if (leftPressed || (left == c.previousLeft && rightPressed))
                m_waveIn->StartClickDownSound();
            else if (leftReleased || (left == c.previousLeft && rightReleased))
                m_waveIn->StartClickUpSound();
        }

        if (m_prefs->m_captureMouse) {
            POINT at = {position.x - area.left, position.y - area.top};
            const SIZE frame = SelectedBitmapSize(frameDC);
            if (area.width > 0 && area.height > 0 && frame.cx > 0 &&
                (frame.cx != area.width || frame.cy != area.height)) {
                at.x = MulDiv(at.x, frame.cx, area.width);
                at.y = MulDiv(at.y, frame.cy, area.height);
            }
            if (m_prefs->m_highlightCursor && !m_effectsSuppressed)
                DrawCursorHighlight(frameDC, at, m_prefs->m_highlightSize, m_prefs->m_highlightShape,
                                    m_prefs->m_highlightTranslucent, m_prefs->m_highlightColor);
            if (m_prefs->m_highlightClicks) {
                if (leftPressed)
                    c.leftMark.Start(ClickMarkFrames(m_measuredRate, m_rate));
                if (c.leftMark.IsRunning()) {
                    const int radius = c.leftMark.NextRadius(m_prefs->m_highlightLClickSize);
                    if (!m_effectsSuppressed)
                        DrawClickMark(frameDC, at, radius, m_prefs->m_highlightLBShape, m_prefs->m_highlightLBColor);
                } else {
                    if (rightPressed)
                        c.rightMark.Start(ClickMarkFrames(m_measuredRate, m_rate));
                    if (c.rightMark.IsRunning()) {
                        const int radius = c.rightMark.NextRadius(m_prefs->m_highlightRClickSize);
                        if (!m_effectsSuppressed)
                            DrawClickMark(frameDC, at, radius, m_prefs->m_highlightRBShape,
                                          m_prefs->m_highlightRBColor);
                    }
                }
            }
            if (m_prefs->m_customCursor && m_prefs->m_cursor) {
                const POINT hot = {m_prefs->m_cursorHotX, m_prefs->m_cursorHotY};
                DrawCursorImage(frameDC, m_prefs->m_cursor, hot, at);
            } else if (cursor) {
                DrawCursorImage(frameDC, cursor, c.hotSpot, at);
            }
        }
    }
    c.previousLeft = left;
    c.previousRight = right;
}

// The caption, then the stamp over it, on a DC of the output frame. The
// stamp's time is the frame's place in the stream (skipped frames count:
// they are real time that passed).
void CRecorderEngine::DrawCaptionAndStampOn(HDC dc)
{
    const RECT frame = {0, 0, m_outputWidth, m_outputHeight};
    const DWORD flags = m_prefs->m_flags;
    if ((flags & kFlagCaption) && !m_prefs->m_caption.m_text.IsEmpty()) {
        if (m_prefs->m_caption.GetFont() || m_prefs->m_caption.MakeFont())
            DrawCaptionText(dc, frame, m_prefs->m_caption, m_prefs->m_caption.m_text);
    }
    if (flags & kFlagSystemStamp) {
        const DWORD frames = (DWORD)m_streamPosition;
        if (StampDue(*m_prefs, ElapsedWholeSeconds(frames, m_rate))) {
            const CString line = BuildStampLine(*m_prefs, StampElapsedSeconds(frames, m_rate));
            if (!line.IsEmpty() && (m_prefs->m_timeDate.GetFont() || m_prefs->m_timeDate.MakeFont()))
                DrawCaptionText(dc, frame, m_prefs->m_timeDate, line);
        }
    }
}

BOOL CRecorderEngine::DrawCaptionAndStamp(HDC frameDC)
{
    DrawCaptionAndStampOn(frameDC);
    return TRUE;
}

// A zoomed frame: the area's own-size grab resampled to the output size, the
// caption and stamp drawn at the output size, the pixels put into the frame.
BOOL CRecorderEngine::ScaleFrame(HDC frameDC)
{
    FrameComposition& c = Composition();
    if (!c.zoomBitmap) {
        // Grabber mode: the grabber has already scaled the area.
        DrawCaptionAndStampOn(frameDC);
        return TRUE;
    }
    ::GdiFlush();
    int result = ImgBitmapFromDIB(&c.scaled, (const BITMAPINFO*)c.zoomFormat.data(), c.zoomBits);
    if (result != IMG_SUCCESS) {
        CString text;
        text.Format(IDS_CHANGE_FROM_DIB_FAILED, result);
        Fail(text);
        return FALSE;
    }
    const BOOL interpolate =
        m_prefs->m_zoomInterpolate && (m_prefs->m_zoomTransInterpolate || !m_transitionRunning);
    result = ImgResize(&c.scaled, m_outputWidth, m_outputHeight, interpolate);
    if (result != IMG_SUCCESS) {
        CString text;
        text.Format(IDS_RESAMPLE_FAILED, result);
        Fail(text);
        return FALSE;
    }
    HDC dc = ImgCreateDC(&c.scaled);
    if (dc) {
        DrawCaptionAndStampOn(dc);
        ::GdiFlush();
        ImgReleaseDC(dc);
    }
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)m_frameFormat.data();
    if (c.scaled.bitsPerPixel != header->biBitCount) {
        const RGBQUAD* palette = (const RGBQUAD*)((const BYTE*)header + header->biSize);
        const int colors = header->biBitCount <= 8 ? (int)DibColorEntries(*header) : 0;
        const UINT mode = colors ? (UINT)IMG_CRF_USERPALETTE : (UINT)IMG_CRF_NODITHERING;
        if (ImgColorRes(&c.scaled, header->biBitCount, mode, colors ? palette : NULL, colors) != IMG_SUCCESS) {
            Fail(IDS_CONVERT_DIB_FAILED);
            return FALSE;
        }
    }
    const DWORD imageSize = DibRowBytes(m_outputWidth, header->biBitCount) * (DWORD)m_outputHeight;
    if (!m_frameBits || c.scaled.width != m_outputWidth || c.scaled.height != m_outputHeight ||
        (DWORD)c.scaled.bytesPerLine * (DWORD)c.scaled.height != imageSize) {
        Fail(IDS_CONVERT_DIB_FAILED);
        return FALSE;
    }
    memcpy(m_frameBits, c.scaled.bits, imageSize);
    return TRUE;
}

// Under the frame lock, because the grabber thread copies into the same
// buffers: a moved area asks for a full grab; an area of a new size also gets
// a frame of its own size while it differs from the output (without the
// grabber, which scales by itself).
BOOL CRecorderEngine::ResizeFrameBuffers(int width, int height, int left, int top)
{
    FrameComposition& c = Composition();
    const CaptureArea area = {left, top, width, height};
    CSingleLock lock(&m_frameLock, TRUE);
    if (area != m_grabArea) {
        m_grabArea = area;
        ::InterlockedExchange(&m_grabWaitInfinite, 1);
        ::InterlockedExchange(&m_fullRedraw, 1);
    }
    const BOOL zoomed = !m_grabberMode && (width != m_outputWidth || height != m_outputHeight);
    if (!zoomed) {
        c.FreeZoomFrame();
    } else if (!c.zoomBitmap || c.zoomWidth != width || c.zoomHeight != height) {
        c.FreeZoomFrame();
        if (width <= 0 || height <= 0 || m_frameFormat.size() < sizeof(BITMAPINFOHEADER)) {
            Fail(IDS_CREATE_DIBSECTION_FAILED);
            return FALSE;
        }
        if (!c.zoomDC)
            c.zoomDC = ::CreateCompatibleDC(m_screenDC);
        c.zoomFormat = m_frameFormat;
        BITMAPINFOHEADER* header = (BITMAPINFOHEADER*)c.zoomFormat.data();
        header->biWidth = width;
        header->biHeight = height;
        header->biSizeImage = DibRowBytes(width, header->biBitCount) * (DWORD)height;
        void* bits = NULL;
        c.zoomBitmap = c.zoomDC ? ::CreateDIBSection(m_screenDC, (const BITMAPINFO*)c.zoomFormat.data(),
                                                     DIB_RGB_COLORS, &bits, NULL, 0)
                                : NULL;
        if (!c.zoomBitmap || !bits) {
            c.FreeZoomFrame();
            Fail(IDS_CREATE_DIBSECTION_FAILED);
            return FALSE;
        }
        c.zoomBits = (BYTE*)bits;
        c.zoomWidth = width;
        c.zoomHeight = height;
        c.zoomOldBitmap = ::SelectObject(c.zoomDC, c.zoomBitmap);
    }
    lock.Unlock();
    CSingleLock areaLock(&m_areaLock, TRUE);
    m_applied = area;
    return TRUE;
}

// The display's palette changed: the frame format takes the new colour table
// from a fresh grab, the frame buffer is rebuilt on it, and the AVI stream
// gets the new format from the current frame on.
BOOL CRecorderEngine::ApplyPaletteChange()
{
    CSingleLock lock(&m_frameLock, TRUE);
    ::InterlockedExchange(&m_grabWaitInfinite, 1);
    ::InterlockedExchange(&m_paletteChanged, 0);
    if (!m_screenDC || !m_memDC) {
        Fail(IDS_GETDIB_FAILED);
        return FALSE;
    }
    HPALETTE palette = (HPALETTE)::GetCurrentObject(m_memDC, OBJ_PAL);
    if (palette) {
        ::SelectPalette(m_memDC, palette, FALSE);
        ::RealizePalette(m_memDC);
    }
    HGLOBAL dib = NULL;
    HBITMAP bitmap = ::CreateCompatibleBitmap(m_screenDC, m_outputWidth, m_outputHeight);
    HDC copyDC = bitmap ? ::CreateCompatibleDC(m_screenDC) : NULL;
    if (copyDC) {
        HGDIOBJ old = ::SelectObject(copyDC, bitmap);
        CaptureArea area;
        {
            CSingleLock areaLock(&m_areaLock, TRUE);
            area = m_applied;
        }
        GrabDirect(copyDC, m_screenDC, area);
        ::SelectObject(copyDC, old);
        dib = CreateDIBFromBitmap(bitmap, m_screenDC, m_prefs->m_capture32BitAs24Bit);
    }
    if (copyDC)
        ::DeleteDC(copyDC);
    if (bitmap)
        ::DeleteObject(bitmap);
    if (!dib) {
        Fail(IDS_GETDIB_FAILED);
        return FALSE;
    }
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)::GlobalLock(dib);
    if (!header) {
        ::GlobalFree(dib);
        Fail(IDS_LOCK_DIB_FAILED);
        return FALSE;
    }
    const DWORD formatSize = header->biSize + DibColorEntries(*header) * sizeof(RGBQUAD);
    const BOOL sameImage =
        m_frameFormat.size() >= sizeof(BITMAPINFOHEADER) &&
        ((const BITMAPINFOHEADER*)m_frameFormat.data())->biSizeImage == header->biSizeImage;
    const BOOL unchanged =
        m_frameFormat.size() == formatSize && memcmp(m_frameFormat.data(), header, formatSize) == 0;
    m_frameFormat.assign((const BYTE*)header, (const BYTE*)header + formatSize);
    ::GlobalUnlock(dib);
    ::GlobalFree(dib);
    // The same colours (a true-colour display has no palette to change): the
    // full grab is all there is to do; the stream keeps its one format.
    if (unchanged)
        return TRUE;

    if (m_frameBitmap) {
        // The loop keeps the frame's image size: a change of depth cannot be
        // recorded into the same stream.
        if (!sameImage) {
            Fail(IDS_CREATE_DIBSECTION_FAILED);
            return FALSE;
        }
        ::SelectObject(m_memDC, m_memOldBitmap);
        ::DeleteObject(m_frameBitmap);
        void* bits = NULL;
        m_frameBitmap =
            ::CreateDIBSection(m_screenDC, (const BITMAPINFO*)m_frameFormat.data(), DIB_RGB_COLORS, &bits, NULL, 0);
        m_frameBits = (BYTE*)bits;
        if (!m_frameBitmap || !m_frameBits) {
            Fail(IDS_CREATE_DIBSECTION_FAILED);
            return FALSE;
        }
        m_memOldBitmap = ::SelectObject(m_memDC, m_frameBitmap);
        // A zoomed frame of the old format goes; the loop's ResizeFrameBuffers,
        // next in the same pass, makes it again in the new one.
        Composition().FreeZoomFrame();
    }
    if (!m_live && m_avi.IsOpen() && m_avi.CompressedStream()) {
        if (AVIStreamSetFormat(m_avi.CompressedStream(), m_segmentPosition, m_frameFormat.data(),
                               (LONG)m_frameFormat.size()) != 0) {
            Fail(IDS_PALETTE_CHANGE_FAILED);
            return FALSE;
        }
    }
    return TRUE;
}
