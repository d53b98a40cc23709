#include "platform/xrvc/XrvcDecoder.h"
#include <vfw.h>
#include <string.h>
#include <algorithm>

namespace xrvc {

CDecoder::CDecoder()
{
    memset(&m_z, 0, sizeof(m_z));
}

CDecoder::~CDecoder()
{
    End();
}

bool CDecoder::Begin(const Geometry& g)
{
    End();
    m_g = g;
    memset(&m_z, 0, sizeof(m_z));
    if (inflateInit2(&m_z, -15) != Z_OK)
        return false;
    m_zReady = true;
    try {
        m_picture.assign(g.imageBytes, 0);
        m_modes.assign((size_t)g.tilesX * g.tilesY, 0);
        m_indices.reserve((size_t)g.tilesX * g.tilesY);
    } catch (...) {
        End();
        return false;
    }
    m_haveKey = false;
    m_begun = true;
    return true;
}

void CDecoder::End()
{
    if (m_zReady)
        inflateEnd(&m_z);
    m_zReady = false;
    m_begun = false;
    m_haveKey = false;
    std::vector<uint8_t>().swap(m_picture);
    std::vector<uint8_t>().swap(m_previous);
    std::vector<uint8_t>().swap(m_residual);
}

// Fills exactly size bytes of out from the frame's input; false when the data
// is corrupt or ends too early.
bool CDecoder::Inflate(uint8_t* out, size_t size)
{
    while (size > 0) {
        const uInt chunk = (uInt)std::min<size_t>(size, 1u << 30);
        m_z.next_out = out;
        m_z.avail_out = chunk;
        const int rc = inflate(&m_z, Z_SYNC_FLUSH);
        const size_t produced = chunk - m_z.avail_out;
        m_check = (uint32_t)adler32(m_check, out, (uInt)produced);
        out += produced;
        size -= produced;
        if (rc == Z_OK && produced > 0)
            continue;
        if (rc == Z_STREAM_END && size == 0)
            return true;
        if (rc != Z_OK || produced == 0)
            return false;
    }
    return true;
}

// True when the frame's input is used up and holds no further picture data.
bool CDecoder::InflateFinished()
{
    uint8_t extra;
    m_z.next_out = &extra;
    m_z.avail_out = 1;
    const int rc = inflate(&m_z, Z_SYNC_FLUSH);
    if (m_z.avail_out == 0)
        return false;
    if (rc != Z_OK && rc != Z_BUF_ERROR && rc != Z_STREAM_END)
        return false;
    return m_z.avail_in == 0;
}

LRESULT CDecoder::Decompress(const uint8_t* data, size_t size, uint8_t* dib)
{
    if (!m_begun || !data || !dib)
        return ICERR_BADPARAM;
    if (size < (size_t)kHeaderSize)
        return ICERR_BADFORMAT;
    FrameHeader h;
    ReadHeader(data, &h);
    if (h.version != kStreamVersion || h.tile != kTile || h.bitCount != m_g.bitCount ||
        h.width != (uint32_t)m_g.width || h.height != (uint32_t)m_g.height ||
        (h.kind & ~(kKindKey | kKindHasData)) != 0)
        return ICERR_BADFORMAT;

    m_check = 1;
    const uint32_t crc = crc32(0, data, (uInt)std::min<size_t>(size, 0xFFFFFFFFu));
    LRESULT rc;
    bool repeat = false;
    if (h.kind & kKindKey) {
        if (!(h.kind & kKindHasData) || h.sequence != 0)
            return ICERR_BADFORMAT;
        rc = DecodeKey(data + kHeaderSize, size - kHeaderSize);
    } else if (m_haveKey && h.sequence == m_sequence && size == m_lastSize && crc == m_lastCrc) {
        rc = ICERR_OK;   // the same frame again: the picture is already there
        repeat = true;
    } else {
        if (!m_haveKey || h.sequence != m_sequence + 1)
            return ICERR_BADFORMAT;
        rc = (h.kind & kKindHasData) ? DecodeDelta(data + kHeaderSize, size - kHeaderSize)
                                     : (size == (size_t)kHeaderSize ? ICERR_OK : ICERR_ERROR);
    }
    if (rc == ICERR_OK && !repeat && (h.kind & kKindHasData) && m_check != h.check)
        rc = ICERR_ERROR;
    if (rc != ICERR_OK) {
        m_haveKey = false;
        return rc;
    }
    m_haveKey = true;
    m_sequence = h.sequence;
    m_lastCrc = crc;
    m_lastSize = size;
    WritePicture(dib);
    return ICERR_OK;
}

LRESULT CDecoder::DecodeKey(const uint8_t* data, size_t size)
{
    if (inflateReset(&m_z) != Z_OK)
        return ICERR_ERROR;
    m_z.next_in = const_cast<Bytef*>(data);
    m_z.avail_in = (uInt)size;
    if (!Inflate(m_picture.data(), m_picture.size()) || !InflateFinished())
        return ICERR_ERROR;
    return ICERR_OK;
}

LRESULT CDecoder::DecodeDelta(const uint8_t* data, size_t size)
{
    m_z.next_in = const_cast<Bytef*>(data);
    m_z.avail_in = (uInt)size;

    uint8_t countBytes[2];
    if (!Inflate(countBytes, 2))
        return ICERR_ERROR;
    const size_t vectorCount = countBytes[0] | (countBytes[1] << 8);
    if (vectorCount > (size_t)kMaxVectors)
        return ICERR_ERROR;
    uint8_t raw[4 * kMaxVectors];
    if (!Inflate(raw, 4 * vectorCount))
        return ICERR_ERROR;
    int dxs[kMaxVectors], dys[kMaxVectors];
    for (size_t i = 0; i < vectorCount; ++i) {
        dxs[i] = (int16_t)(raw[4 * i] | (raw[4 * i + 1] << 8));
        dys[i] = (int16_t)(raw[4 * i + 2] | (raw[4 * i + 3] << 8));
    }

    if (!Inflate(m_modes.data(), m_modes.size()))
        return ICERR_ERROR;
    size_t moved = 0;
    size_t residualBytes = 0;
    const int bpp = m_g.bytesPerPixel;
    for (size_t t = 0; t < m_modes.size(); ++t) {
        const uint8_t mode = m_modes[t];
        if (mode >= kTileModeCount)
            return ICERR_ERROR;
        if (mode == kTileMoved || mode == kTileMovedXor)
            ++moved;
        if (mode == kTileXor || mode == kTileMovedXor) {
            const int tx = (int)(t % m_g.tilesX);
            const int ty = (int)(t / m_g.tilesX);
            residualBytes += (size_t)std::min(kTile, m_g.width - tx * kTile) * bpp *
                             std::min(kTile, m_g.height - ty * kTile);
        }
    }
    m_indices.resize(moved);
    if (!Inflate(m_indices.data(), moved))
        return ICERR_ERROR;
    try {
        m_residual.resize(residualBytes);
        if (moved > 0)
            m_previous.assign(m_picture.begin(), m_picture.end());
    } catch (...) {
        return ICERR_MEMORY;
    }
    if (!Inflate(m_residual.data(), residualBytes) || !InflateFinished())
        return ICERR_ERROR;

    // Check every moved tile's source before changing anything.
    size_t k = 0;
    for (size_t t = 0; t < m_modes.size(); ++t) {
        if (m_modes[t] != kTileMoved && m_modes[t] != kTileMovedXor)
            continue;
        const uint8_t idx = m_indices[k++];
        if (idx >= vectorCount)
            return ICERR_ERROR;
        const int tx = (int)(t % m_g.tilesX);
        const int ty = (int)(t / m_g.tilesX);
        const int sx = tx * kTile + dxs[idx];
        const int sy = ty * kTile + dys[idx];
        const int w = std::min(kTile, m_g.width - tx * kTile);
        const int h = std::min(kTile, m_g.height - ty * kTile);
        if (sx < 0 || sy < 0 || sx + w > m_g.width || sy + h > m_g.height)
            return ICERR_ERROR;
    }

    k = 0;
    const uint8_t* res = m_residual.data();
    for (size_t t = 0; t < m_modes.size(); ++t) {
        const uint8_t mode = m_modes[t];
        if (mode == kTileSame)
            continue;
        const int tx = (int)(t % m_g.tilesX);
        const int ty = (int)(t / m_g.tilesX);
        const int x0 = tx * kTile;
        const int y0 = ty * kTile;
        const int w = std::min(kTile, m_g.width - x0);
        const int h = std::min(kTile, m_g.height - y0);
        const size_t bytes = (size_t)w * bpp;
        int dx = 0, dy = 0;
        const uint8_t* source = m_picture.data();
        if (mode == kTileMoved || mode == kTileMovedXor) {
            const uint8_t idx = m_indices[k++];
            dx = dxs[idx];
            dy = dys[idx];
            source = m_previous.data();
        }
        for (int r = 0; r < h; ++r) {
            uint8_t* dst = &m_picture[(size_t)(y0 + r) * m_g.rowBytes + (size_t)x0 * bpp];
            const uint8_t* src = source + (size_t)(y0 + r + dy) * m_g.rowBytes + (size_t)(x0 + dx) * bpp;
            if (mode == kTileXor) {
                for (size_t i = 0; i < bytes; ++i)
                    dst[i] ^= res[i];
                res += bytes;
            } else if (mode == kTileMovedXor) {
                for (size_t i = 0; i < bytes; ++i)
                    dst[i] = src[i] ^ res[i];
                res += bytes;
            } else {
                memcpy(dst, src, bytes);
            }
        }
    }
    return ICERR_OK;
}

void CDecoder::WritePicture(uint8_t* dib) const
{
    const size_t pad = m_g.stride - m_g.rowBytes;
    for (int y = 0; y < m_g.height; ++y) {
        uint8_t* row = dib + (size_t)y * m_g.stride;
        memcpy(row, &m_picture[(size_t)y * m_g.rowBytes], m_g.rowBytes);
        if (pad)
            memset(row + m_g.rowBytes, 0, pad);
    }
}

}  // namespace xrvc
