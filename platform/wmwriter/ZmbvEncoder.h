#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>
#include <zlib.h>

namespace wmwriter {

// Encodes 32-bit frames as ZMBV (the DOSBox capture codec, FourCC 'ZMBV'),
// the video codec of our Windows Media output: ffmpeg and other players
// decode it, and it is lossless. One deflate stream runs from each key frame
// to the next, flushed at every frame end, as the decoder expects. Delta
// frames carry one entry per 16x16 block: unchanged blocks are copied from
// the previous picture, changed ones carry their XOR against it. Used by one
// thread at a time.
class CZmbvEncoder {
public:
    CZmbvEncoder();
    ~CZmbvEncoder();
    CZmbvEncoder(const CZmbvEncoder&) = delete;
    CZmbvEncoder& operator=(const CZmbvEncoder&) = delete;

    // Starts a stream of width x height frames; a key frame every keyInterval
    // frames (0: only the first). False on a bad size.
    bool Begin(int width, int height, int keyInterval);
    void End();

    // Encodes one bottom-up 32-bit DIB frame (rows of width * 4 bytes) into
    // out. False when zlib fails (the next frame is then a key frame).
    bool Encode(const uint8_t* dib, std::vector<uint8_t>* out, bool* isKey);

    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    bool Deflate(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

    int m_width = 0;
    int m_height = 0;
    int m_keyInterval = 0;
    int m_sinceKey = 0;
    bool m_begun = false;
    bool m_needKey = true;
    std::vector<uint8_t> m_prev;      // previous picture, top-down
    std::vector<uint8_t> m_cur;       // this picture, top-down
    std::vector<uint8_t> m_delta;     // uncompressed delta frame
    z_stream m_z;
    bool m_zReady = false;
};

}  // namespace wmwriter
