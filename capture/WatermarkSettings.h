#pragma once
// The watermark laid over every recorded frame: which image, its size,
// placement, keying, emboss and opacity. A block of the preferences record,
// copied whole by the recording settings and the watermark page.
#include "framework/String.h"

class WatermarkSettings {
public:
    WatermarkSettings();   // the stored defaults, with an empty image path

    void Assign(const WatermarkSettings& other);

    // Fields in their stored order (the registry names are in the preferences).
    BOOL m_bInclude;               // "IncludeWatermark": draw the watermark
    BOOL m_bOverlay;               // "WatermarkOverlay": 1 once the page stored values
    CString m_strImagePath;        // "Watermark Path"
    int m_nImageScale;             // "ImageScale": percent 1..100
    int m_nHorizontalOffset;       // "HorizontalOffset": percent 0..50
    int m_nVerticalOffset;         // "VerticalOffset": percent 0..50
    int m_nOpacity;                // "WatermarkOpacity": percent 0..100
    BOOL m_bUseTransparentColor;   // "UseTransparentColor"
    COLORREF m_crTransparentColor; // "TransparentColor"
    int m_nPosition;               // "Position": row * 3 + column, 0..8
    BOOL m_bEmboss;                // "WatermarkEmboss"
    int m_nEmbossDirection;        // "WatermarkEmbossDirection": 0..7
    int m_nEmbossDepth;            // "WatermarkEmbossDepth": 0..100
    BOOL m_bKeepAspectRatio;       // "WatermarkKeepAspectRatio"
    BOOL m_bSmoothScale;           // "WatermarkSmoothScale"
    BOOL m_bPreserveSize;          // "WatermarkPreserveSize": use the image's own size
    int m_nWorking;                // not stored; 0 whenever the page stores its values
};
