#pragma once
// The screen video of one AVI segment, written through Video for Windows:
// the file, its uncompressed video stream and the compressed stream made on
// it with the chosen compressor and its state. One key frame or delta frame
// per call; the index flags the frames that the compressor made key frames.
// Owned by the recorder engine, used on the capture thread.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

#include <vfw.h>

// The FourCC of uncompressed frames: written as they are, every one a key frame.
const DWORD kFourccDib = mmioFOURCC('D', 'I', 'B', ' ');
const DWORD kFourccXrvc = mmioFOURCC('x', 'r', 'v', 'c');

// The compressor for frames of a bit count: xrvc for 8, 16, 24 and 32 bits,
// uncompressed for any other.
DWORD CodecForBitDepth(WORD bitCount);

// What the stream is written with.
struct AviStreamSettings {
    DWORD fourcc;            // compressor; kFourccDib for none
    int quality;             // -1: the compressor's default
    int keyFrameEvery;
    DWORD bytesPerSecond;    // 0: no data rate
    DWORD rate;              // playback frame rate numerator
    DWORD scale;             // and denominator
    const void* state;       // compressor state (may be NULL)
    DWORD stateSize;
};

// Why an open failed: the texts to show and whether the AVIFile registration
// repair should be offered (with its short text).
struct AviOpenError {
    HRESULT result;
    CString text;
    UINT repairShortText;    // 0: no repair offered
};

class CAviScreenStream {
public:
    CAviScreenStream();
    ~CAviScreenStream();
    CAviScreenStream(const CAviScreenStream&) = delete;
    CAviScreenStream& operator=(const CAviScreenStream&) = delete;

    // Creates the file and its streams for frames of `format` (header and
    // colour table). On failure everything is released and `error` tells why.
    BOOL Open(LPCSTR fileName, const BITMAPINFO* format, const AviStreamSettings& settings, AviOpenError* error);
    // Writes one frame at a sample index. AVIIF_KEYFRAME in `flags` is kept
    // only for uncompressed frames: through a compressor the compressor flags
    // its own key frames, and passing the flag would mark every delta frame
    // as a key frame in the index.
    BOOL Write(const void* bits, DWORD byteCount, LONG sample, DWORD flags);
    void Close();
    BOOL IsOpen() const { return m_file != NULL; }
    PAVISTREAM CompressedStream() const { return m_compressed; }

private:
    PAVIFILE m_file;
    PAVISTREAM m_stream;       // uncompressed
    PAVISTREAM m_compressed;
    BOOL m_compressing;
};
