// The output description of a render: frame size, video codec and its
// parameters, frame rate, audio format, interleaving, size limits, the
// watermark and the registry place of the codec state. Built by the recorder
// engine when a recording finishes and read by the timeline render and the
// file writer. Owns its audio-format block; not copied. One thread.
#pragma once
#include "framework/String.h"
#include "settings/Rational.h"

#include <windows.h>
#include <mmsystem.h>

class CRecordSettings {
public:
    CRecordSettings();
    ~CRecordSettings();

    // Reads the saved state of the codec `fcc` from the key m_strCodecKey
    // (under HKEY_CURRENT_USER), subkey m_strCodecSubkey, value named by the FourCC's four
    // characters. For the screen codec 'xrvc' a missing state is made up and a
    // 16-byte state grows to the 32 bytes of codec version 2. The caller frees
    // the block with delete[].
    BOOL LoadCodecState(DWORD fcc, BYTE** block, DWORD* size);
    // Replaces the audio format by a copy (18 + cbSize bytes); null clears it.
    void SetAudioFormat(const WAVEFORMATEX* format);

    int m_nHeader[5];              // the first and third are 0 when filled
    int m_nOutputWidth;            // 320
    int m_nOutputHeight;           // 240
    int m_nValue8;                 // 0
    int m_nValue9;                 // 1
    int m_nValue10;                // 0
    CString m_strTitle, m_strAuthor, m_strCopyright, m_strDescription;
    BOOL m_bInterleave;            // 1
    int m_nInterleaveRate;         // 1
    BOOL m_bInterleaveByFrames;    // 0
    DWORD m_dwCodecFourCC;         // 'xrvc'
    int m_nCodecQuality;           // -1: the codec's default; ten-thousandths
    int m_nKeyFrameRate;           // 80
    int m_nDataRate;               // 0
    CRational m_FrameRate;         // {0, 1, 1}
    WAVEFORMATEX* m_pAudioFormat;  // owned; null without sound
    int m_nEngineValue;            // 0
    int m_nValue27;                // 1
    int m_nValues28[5];            // 0
    CString m_strText33;
    int m_nValues34[2];            // 0
    CString m_strWatermarkImage;   // "watermark.gif"
    int m_nWatermarkScale;         // 20
    int m_nWatermarkOpacity;       // 100
    int m_nWatermarkOffsetX;       // 5
    int m_nWatermarkOffsetY;       // 5
    BOOL m_bWatermarkFlags[3];     // 1, 1, 1
    BOOL m_bWatermarkFlag4;        // 0
    COLORREF m_crTransparent;      // 0xFFFFFF
    int m_nWatermarkPosition;      // 8
    BOOL m_bWatermarkFlag5;        // 1
    int m_nEmbossDepth;            // 20
    BOOL m_bWatermarkFlag6;        // 0
    CString m_strVideoCompressor;  // "Kestravon Screen Capture Codec"
    CString m_strAudioCompressor;  // "PCM"
    int m_nMaxWidth;               // 1280
    int m_nMaxHeight;              // 1024
    int m_nValue52;                // 1
    int m_nValue53;                // 10
    CString m_strCodecKey;         // under HKEY_CURRENT_USER, set by the owner
    CString m_strCodecSubkey;

private:
    CRecordSettings(const CRecordSettings&) = delete;
    CRecordSettings& operator=(const CRecordSettings&) = delete;
};

// The installed xrvc compressor's version, or 1 when it cannot be opened.
DWORD GetScreenCodecVersion();
