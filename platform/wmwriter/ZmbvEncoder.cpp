#include "platform/wmwriter/ZmbvEncoder.h"
#include <string.h>

namespace wmwriter {

namespace {
const int kBlock = 16;
const uint8_t kFlagKey = 0x01;
const uint8_t kVersionHigh = 0;
const uint8_t kVersionLow = 1;
const uint8_t kCompressionZlib = 1;
const uint8_t kFormat32 = 8;
const int kDeflateLevel = 4;
}  // namespace

CZmbvEncoder::CZmbvEncoder() { memset(&m_z, 0, sizeof(m_z)); }

CZmbvEncoder::~CZmbvEncoder() { End(); }

bool CZmbvEncoder::Begin(int width, int height, int keyInterval)
{
    End();
    // The decoder's block count and our buffers are ints of width * height * 4.
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192 || keyInterval < 0)
        return false;
    if (deflateInit(&m_z, kDeflateLevel) != Z_OK)
        return false;
    m_zReady = true;
    m_width = width;
    m_height = height;
    m_keyInterval = keyInterval;
    m_sinceKey = 0;
    m_prev.assign((size_t)width * height * 4, 0);
    m_cur.assign((size_t)width * height * 4, 0);
    m_needKey = true;
    m_begun = true;
    return true;
}

void CZmbvEncoder::End()
{
    if (m_zReady)
        deflateEnd(&m_z);
    memset(&m_z, 0, sizeof(m_z));
    m_zReady = false;
    m_begun = false;
}

// Compresses into the end of out with a sync flush, so that the frame ends on
// a byte boundary and the decoder can inflate it without the next one.
bool CZmbvEncoder::Deflate(const uint8_t* data, size_t size, std::vector<uint8_t>* out)
{
    size_t start = out->size();
    size_t room = deflateBound(&m_z, (uLong)size) + 64;
    out->resize(start + room);
    m_z.next_in = const_cast<Bytef*>(data);
    m_z.avail_in = (uInt)size;
    size_t used = start;
    for (;;) {
        m_z.next_out = out->data() + used;
        m_z.avail_out = (uInt)(out->size() - used);
        int rc = deflate(&m_z, Z_SYNC_FLUSH);
        used = out->size() - m_z.avail_out;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return false;
        if (m_z.avail_in == 0 && m_z.avail_out != 0)
            break;
        out->resize(out->size() + room);
    }
    out->resize(used);
    return true;
}

bool CZmbvEncoder::Encode(const uint8_t* dib, std::vector<uint8_t>* out, bool* isKey)
{
    out->clear();
    if (!m_begun || !dib)
        return false;
    const size_t rowBytes = (size_t)m_width * 4;
    for (int y = 0; y < m_height; ++y)
        memcpy(&m_cur[(size_t)y * rowBytes], dib + (size_t)(m_height - 1 - y) * rowBytes, rowBytes);

    bool key = m_needKey || (m_keyInterval > 0 && m_sinceKey >= m_keyInterval);
    bool ok;
    if (key) {
        const uint8_t header[7] = {kFlagKey, kVersionHigh, kVersionLow, kCompressionZlib, kFormat32,
                                   (uint8_t)kBlock, (uint8_t)kBlock};
        out->assign(header, header + sizeof(header));
        ok = deflateReset(&m_z) == Z_OK && Deflate(m_cur.data(), m_cur.size(), out);
        m_sinceKey = 1;
    } else {
        const int bx = (m_width + kBlock - 1) / kBlock;
        const int by = (m_height + kBlock - 1) / kBlock;
        const size_t vectorBytes = ((size_t)bx * by * 2 + 3) & ~(size_t)3;
        m_delta.assign(vectorBytes, 0);
        for (int ty = 0; ty < by; ++ty) {
            for (int tx = 0; tx < bx; ++tx) {
                const int x0 = tx * kBlock, y0 = ty * kBlock;
                const int w = (x0 + kBlock <= m_width) ? kBlock : m_width - x0;
                const int h = (y0 + kBlock <= m_height) ? kBlock : m_height - y0;
                bool changed = false;
                for (int y = 0; y < h && !changed; ++y) {
                    size_t at = (size_t)(y0 + y) * rowBytes + (size_t)x0 * 4;
                    changed = memcmp(&m_cur[at], &m_prev[at], (size_t)w * 4) != 0;
                }
                if (!changed)
                    continue;
                // Vector (0, 0) with the XOR bit: the block's pixels follow.
                m_delta[((size_t)ty * bx + tx) * 2] = 1;
                for (int y = 0; y < h; ++y) {
                    size_t at = (size_t)(y0 + y) * rowBytes + (size_t)x0 * 4;
                    for (int i = 0; i < w * 4; ++i)
                        m_delta.push_back((uint8_t)(m_cur[at + i] ^ m_prev[at + i]));
                }
            }
        }
        out->push_back(0);
        ok = Deflate(m_delta.data(), m_delta.size(), out);
        ++m_sinceKey;
    }
    if (!ok) {
        out->clear();
        m_needKey = true;
        return false;
    }
    m_needKey = false;
    m_prev.swap(m_cur);
    if (isKey)
        *isKey = key;
    return true;
}

}  // namespace wmwriter
