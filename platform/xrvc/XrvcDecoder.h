#pragma once
#include "platform/xrvc/XrvcFormat.h"
#include <vector>
#include <zlib.h>

namespace xrvc {

// The decompressing half of one open codec instance. Frames are decoded in
// order from a key frame; every length and offset in a frame is checked
// against the picture before use, so a corrupt or hostile frame is refused
// (and the decoder waits for the next key frame) instead of touching memory
// outside its buffers.
class CDecoder {
public:
    CDecoder();
    ~CDecoder();
    CDecoder(const CDecoder&) = delete;
    CDecoder& operator=(const CDecoder&) = delete;

    bool Begin(const Geometry& g);
    void End();
    bool IsBegun() const { return m_begun; }
    const Geometry& Format() const { return m_g; }

    // Decodes one compressed frame and writes the picture as a bottom-up DIB
    // (rows of m_g.stride bytes, padding zeroed) to dib. Returns ICERR_OK,
    // ICERR_BADFORMAT for a frame that does not belong to this stream or comes
    // out of order, ICERR_ERROR for corrupt data.
    LRESULT Decompress(const uint8_t* data, size_t size, uint8_t* dib);

private:
    LRESULT DecodeKey(const uint8_t* data, size_t size);
    LRESULT DecodeDelta(const uint8_t* data, size_t size);
    bool Inflate(uint8_t* out, size_t size);
    bool InflateFinished();
    void WritePicture(uint8_t* dib) const;

    Geometry m_g;
    bool m_begun = false;
    std::vector<uint8_t> m_picture;   // rows of m_g.rowBytes
    std::vector<uint8_t> m_previous;  // copy for tiles that move
    bool m_haveKey = false;
    uint32_t m_sequence = 0;
    uint32_t m_check = 1;             // Adler-32 of the data inflated for this frame
    uint32_t m_lastCrc = 0;           // of the last frame decoded, to recognise a repeat
    size_t m_lastSize = 0;
    z_stream m_z;
    bool m_zReady = false;
    std::vector<uint8_t> m_modes;
    std::vector<uint8_t> m_indices;
    std::vector<uint8_t> m_residual;
};

}  // namespace xrvc
