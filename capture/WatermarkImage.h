#pragma once
// The watermark of one recording: a copy of the watermark settings, the image
// prepared once for the frame size, and the drawing of it onto each frame.
// Created by the recorder engine when the recording includes a watermark;
// loaded and drawn on the capture thread. GDI+ must be started.
#include "capture/Watermark.h"
#include "capture/WatermarkSettings.h"
#include "framework/Object.h"
#include "platform/imaging/Imaging.h"

// What every watermark image of a recording keeps: its settings, where it
// sits in the frame and the source image's own size.
class CWatermarkImageBase : public CObject {
public:
    explicit CWatermarkImageBase(const WatermarkSettings& settings);
    ~CWatermarkImageBase() override;

    // Draws the prepared watermark onto an imaging-library bitmap.
    virtual void Draw(ImgBitmap* bitmap) = 0;
    // Prepares the watermark for frames of this header's size; TRUE when the
    // image file could be opened.
    virtual BOOL Load(const BITMAPINFOHEADER* frame) = 0;

    const WatermarkSettings& Settings() const { return m_settings; }
    const WatermarkPlacement& Placement() const { return m_placement; }
    int ImageWidth() const { return m_imageWidth; }
    int ImageHeight() const { return m_imageHeight; }

protected:
    WatermarkSettings m_settings;
    WatermarkPlacement m_placement;
    int m_imageWidth;
    int m_imageHeight;
};

class CWatermarkImage : public CWatermarkImageBase {
public:
    explicit CWatermarkImage(const WatermarkSettings& settings);
    ~CWatermarkImage() override;

    void Draw(ImgBitmap* bitmap) override;
    BOOL Load(const BITMAPINFOHEADER* frame) override;

    // Burns the watermark into one frame (8, 16, 24 or 32 bits, BI_RGB or
    // BI_BITFIELDS): the frame keeps its format, size and palette. A frame
    // that cannot be converted is left as it was.
    void DrawOnFrame(const BITMAPINFO* frame, void* bits);

    // TRUE once Load made the prepared bitmap.
    BOOL IsPrepared() const { return m_watermark.Prepared() != NULL; }

private:
    void DrawOnBitFieldFrame(const BITMAPINFO* frame, void* bits);

    CWatermark m_watermark;
    ImgBitmap m_bitmap;   // the frame as a library bitmap, only during DrawOnFrame
};
