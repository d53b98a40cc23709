#include "platform/xrvc/XrvcEncoder.h"
#include <string.h>
#include <stdlib.h>
#include <algorithm>

namespace xrvc {

namespace {

// How far a scroll or a moved window is looked for, in pixels.
const int kScrollRange = 256;
const int kProbeRange = 64;
const int kMaxProbes = 24;
const int kMaxCandidates = 12;

uint64_t HashBytes(const uint8_t* p, size_t n)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        memcpy(&v, p + i, 8);
        h = (h ^ v) * 0x100000001B3ull;
        h ^= h >> 29;
    }
    for (; i < n; ++i)
        h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}

bool BytesFlat(const uint8_t* p, size_t n, int bpp)
{
    for (size_t i = bpp; i < n; ++i)
        if (p[i] != p[i - bpp])
            return false;
    return true;
}

}  // namespace

CEncoder::CEncoder()
{
    memset(&m_z, 0, sizeof(m_z));
}

CEncoder::~CEncoder()
{
    End();
}

bool CEncoder::Begin(const Geometry& g, int level)
{
    End();
    m_g = g;
    m_level = std::min(std::max(level, 0), 9);
    memset(&m_z, 0, sizeof(m_z));
    // A raw deflate stream: frames are flush blocks of one stream, no wrapper.
    if (deflateInit2(&m_z, m_level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    m_zReady = true;
    try {
        m_ref.assign(g.imageBytes, 0);
        m_rowChanged.assign(g.height, 0);
        m_tileChanged.assign((size_t)g.tilesX * g.tilesY, 0);
        m_modes.assign((size_t)g.tilesX * g.tilesY, 0);
        m_tileVector.assign((size_t)g.tilesX * g.tilesY, 0);
        m_changedTiles.reserve((size_t)g.tilesX * g.tilesY);
        m_vectorIndex.reserve((size_t)g.tilesX * g.tilesY);
        m_residual.reserve(g.imageBytes);
        m_hashCur.assign(g.height, 0);
        m_hashRef.assign(g.height, 0);
        m_rowFlat.assign(g.height, 0);
    } catch (...) {
        End();
        return false;
    }
    m_haveRef = false;
    m_sequence = 0;
    m_begun = true;
    return true;
}

void CEncoder::End()
{
    if (m_zReady)
        deflateEnd(&m_z);
    m_zReady = false;
    m_begun = false;
    m_haveRef = false;
    std::vector<uint8_t>().swap(m_ref);
    std::vector<uint8_t>().swap(m_residual);
}

size_t CEncoder::Compress(const uint8_t* dib, bool wantKey, uint8_t* out, size_t outCapacity, bool* isKey)
{
    *isKey = false;
    if (!m_begun || !dib || !out || outCapacity < (size_t)kHeaderSize)
        return 0;
    const bool key = wantKey || !m_haveRef;
    size_t written = key ? CompressKey(dib, out, outCapacity) : CompressDelta(dib, out, outCapacity);
    if (written == 0) {
        // The deflate stream may be half-way through a frame: start over.
        m_haveRef = false;
        return 0;
    }
    *isKey = key;
    return written;
}

bool CEncoder::Deflate(const uint8_t* data, size_t size, int flush)
{
    m_z.next_in = const_cast<Bytef*>(data);
    m_z.avail_in = (uInt)size;
    for (;;) {
        if (m_z.avail_out == 0)
            return false;   // larger than the worst case: the caller's buffer is too small
        const int rc = deflate(&m_z, flush);
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return false;
        if (m_z.avail_in == 0 && (flush == Z_NO_FLUSH || m_z.avail_out > 0))
            return true;
        if (rc == Z_BUF_ERROR && m_z.avail_out > 0)
            return false;
    }
}

size_t CEncoder::CompressKey(const uint8_t* dib, uint8_t* out, size_t outCapacity)
{
    FrameHeader h;
    h.kind = kKindKey | kKindHasData;
    h.bitCount = (uint8_t)m_g.bitCount;
    h.sequence = 0;
    h.width = m_g.width;
    h.height = m_g.height;

    if (deflateReset(&m_z) != Z_OK)
        return 0;
    m_z.next_out = out + kHeaderSize;
    m_z.avail_out = (uInt)std::min<size_t>(outCapacity - kHeaderSize, 0x7FFFFFFF);
    for (int y = 0; y < m_g.height; ++y) {
        const uint8_t* row = dib + (size_t)y * m_g.stride;
        memcpy(&m_ref[(size_t)y * m_g.rowBytes], row, m_g.rowBytes);
    }
    // The reference copy is packed, so it can be deflated in one go.
    if (!Deflate(m_ref.data(), m_ref.size(), Z_SYNC_FLUSH))
        return 0;
    h.check = adler32(1, m_ref.data(), (uInt)m_ref.size());
    WriteHeader(h, out);
    m_haveRef = true;
    m_sequence = 0;
    return (size_t)(m_z.next_out - out);
}

bool CEncoder::VectorFits(int tx, int ty, const Vector& v) const
{
    const int x0 = tx * kTile + v.dx;
    const int y0 = ty * kTile + v.dy;
    const int w = std::min(kTile, m_g.width - tx * kTile);
    const int h = std::min(kTile, m_g.height - ty * kTile);
    return x0 >= 0 && y0 >= 0 && x0 + w <= m_g.width && y0 + h <= m_g.height;
}

int CEncoder::TileCost(const uint8_t* dib, int tx, int ty, const Vector& v, int limit) const
{
    const int bpp = m_g.bytesPerPixel;
    const int x0 = tx * kTile;
    const int y0 = ty * kTile;
    const int w = std::min(kTile, m_g.width - x0);
    const int h = std::min(kTile, m_g.height - y0);
    const size_t bytes = (size_t)w * bpp;
    int cost = 0;
    for (int r = 0; r < h; ++r) {
        const uint8_t* cur = dib + (size_t)(y0 + r) * m_g.stride + (size_t)x0 * bpp;
        const uint8_t* ref = &m_ref[(size_t)(y0 + r + v.dy) * m_g.rowBytes + (size_t)(x0 + v.dx) * bpp];
        if (memcmp(cur, ref, bytes) == 0)
            continue;
        if (bpp == 4) {
            for (int i = 0; i < w; ++i)
                cost += memcmp(cur + 4 * i, ref + 4 * i, 4) != 0;
        } else {
            for (size_t i = 0; i < bytes; ++i)
                cost += cur[i] != ref[i];
        }
        if (cost >= limit)
            return cost;
    }
    return cost;
}

void CEncoder::TileResidual(const uint8_t* dib, int tx, int ty, const Vector& v)
{
    const int bpp = m_g.bytesPerPixel;
    const int x0 = tx * kTile;
    const int y0 = ty * kTile;
    const int w = std::min(kTile, m_g.width - x0);
    const int h = std::min(kTile, m_g.height - y0);
    const size_t bytes = (size_t)w * bpp;
    for (int r = 0; r < h; ++r) {
        const uint8_t* cur = dib + (size_t)(y0 + r) * m_g.stride + (size_t)x0 * bpp;
        const uint8_t* ref = &m_ref[(size_t)(y0 + r + v.dy) * m_g.rowBytes + (size_t)(x0 + v.dx) * bpp];
        const size_t at = m_residual.size();
        m_residual.resize(at + bytes);
        uint8_t* dst = &m_residual[at];
        for (size_t i = 0; i < bytes; ++i)
            dst[i] = cur[i] ^ ref[i];
    }
}

void CEncoder::AddCandidate(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        if (m_candidates[i].dx == dx && m_candidates[i].dy == dy) {
            ++m_candidateHits[i];
            return;
        }
    }
    m_candidates.push_back(Vector{dx, dy});
    m_candidateHits.push_back(1);
}

// A scroll moves whole rows of the changed area up or down: rows of the
// current picture are matched by hash against rows of the previous one.
void CEncoder::FindVerticalScroll(const uint8_t* dib, int txMin, int txMax, int yMin, int yMax)
{
    const int bpp = m_g.bytesPerPixel;
    const size_t xb0 = (size_t)txMin * kTile * bpp;
    const size_t xb1 = std::min(m_g.rowBytes, (size_t)(txMax + 1) * kTile * bpp);
    const size_t n = xb1 - xb0;
    const int range = std::min(kScrollRange, m_g.height - 1);
    const int r0 = std::max(0, yMin - range);
    const int r1 = std::min(m_g.height - 1, yMax + range);
    for (int y = r0; y <= r1; ++y) {
        m_hashRef[y] = HashBytes(&m_ref[(size_t)y * m_g.rowBytes + xb0], n);
        if (y >= yMin && y <= yMax && m_rowChanged[y]) {
            const uint8_t* cur = dib + (size_t)y * m_g.stride + xb0;
            m_hashCur[y] = HashBytes(cur, n);
            m_rowFlat[y] = BytesFlat(cur, n, bpp);
        }
    }
    int bestDy = 0;
    int bestCount = 0;
    for (int dy = -range; dy <= range; ++dy) {
        if (dy == 0)
            continue;
        int count = 0;
        const int lo = std::max(yMin, r0 - dy);
        const int hi = std::min(yMax, r1 - dy);
        for (int y = lo; y <= hi; ++y) {
            if (m_rowChanged[y] && !m_rowFlat[y] && m_hashCur[y] == m_hashRef[y + dy])
                ++count;
        }
        if (count > bestCount) {
            bestCount = count;
            bestDy = dy;
        }
    }
    if (bestCount >= 4)
        AddCandidate(0, bestDy);
}

// A moved window: look for an exact copy of a textured tile in the previous
// picture near its place, nearest offsets first.
void CEncoder::ProbeTile(const uint8_t* dib, int tx, int ty)
{
    const int bpp = m_g.bytesPerPixel;
    const int x0 = tx * kTile;
    const int y0 = ty * kTile;
    const size_t bytes = (size_t)kTile * bpp;
    const uint8_t* first = dib + (size_t)y0 * m_g.stride + (size_t)x0 * bpp;
    for (int d = 1; d <= kProbeRange; ++d) {
        for (int dy = -d; dy <= d; ++dy) {
            const int sy = y0 + dy;
            if (sy < 0 || sy + kTile > m_g.height)
                continue;
            const int step = (dy == -d || dy == d) ? 1 : 2 * d;
            for (int dx = -d; dx <= d; dx += step) {
                const int sx = x0 + dx;
                if (sx < 0 || sx + kTile > m_g.width)
                    continue;
                const uint8_t* ref = &m_ref[(size_t)sy * m_g.rowBytes + (size_t)sx * bpp];
                if (memcmp(first, ref, bytes) != 0)
                    continue;
                int r = 1;
                for (; r < kTile; ++r) {
                    if (memcmp(first + (size_t)r * m_g.stride, ref + (size_t)r * m_g.rowBytes, bytes) != 0)
                        break;
                }
                if (r == kTile) {
                    AddCandidate(dx, dy);
                    return;
                }
            }
        }
    }
}

void CEncoder::FindCandidates(const uint8_t* dib)
{
    m_candidates.clear();
    m_candidateHits.clear();
    if (m_changedTiles.size() < 2)
        return;
    int txMin = m_g.tilesX, txMax = -1, yMin = m_g.height, yMax = -1;
    for (int t : m_changedTiles) {
        const int tx = t % m_g.tilesX;
        const int ty = t / m_g.tilesX;
        txMin = std::min(txMin, tx);
        txMax = std::max(txMax, tx);
        yMin = std::min(yMin, ty * kTile);
        yMax = std::max(yMax, std::min(m_g.height, ty * kTile + kTile) - 1);
    }
    FindVerticalScroll(dib, txMin, txMax, yMin, yMax);

    // Probe textured full tiles spread over the changed ones.
    const int bpp = m_g.bytesPerPixel;
    const size_t step = std::max<size_t>(1, m_changedTiles.size() / kMaxProbes);
    int probes = 0;
    for (size_t i = 0; i < m_changedTiles.size() && probes < kMaxProbes; i += step) {
        const int t = m_changedTiles[i];
        const int tx = t % m_g.tilesX;
        const int ty = t / m_g.tilesX;
        if ((tx + 1) * kTile > m_g.width || (ty + 1) * kTile > m_g.height)
            continue;
        const uint8_t* p = dib + (size_t)(ty * kTile + kTile / 2) * m_g.stride + (size_t)tx * kTile * bpp;
        if (BytesFlat(p, (size_t)kTile * bpp, bpp))
            continue;   // a flat row matches everywhere
        ProbeTile(dib, tx, ty);
        ++probes;
    }
    // Most frequent first, at most kMaxCandidates.
    std::vector<size_t> order(m_candidates.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return m_candidateHits[a] > m_candidateHits[b]; });
    std::vector<Vector> sorted;
    for (size_t i = 0; i < order.size() && (int)sorted.size() < kMaxCandidates; ++i)
        sorted.push_back(m_candidates[order[i]]);
    m_candidates.swap(sorted);
}

size_t CEncoder::CompressDelta(const uint8_t* dib, uint8_t* out, size_t outCapacity)
{
    const int bpp = m_g.bytesPerPixel;
    const size_t tileBytes = (size_t)kTile * bpp;

    // Changed rows first (one memcmp each), then changed tiles within them.
    std::fill(m_tileChanged.begin(), m_tileChanged.end(), 0);
    bool any = false;
    for (int y = 0; y < m_g.height; ++y) {
        const uint8_t* cur = dib + (size_t)y * m_g.stride;
        const uint8_t* ref = &m_ref[(size_t)y * m_g.rowBytes];
        const bool changed = memcmp(cur, ref, m_g.rowBytes) != 0;
        m_rowChanged[y] = changed;
        if (!changed)
            continue;
        any = true;
        uint8_t* tiles = &m_tileChanged[(size_t)(y / kTile) * m_g.tilesX];
        for (int tx = 0; tx < m_g.tilesX; ++tx) {
            if (tiles[tx])
                continue;
            const size_t off = (size_t)tx * tileBytes;
            const size_t n = std::min(tileBytes, m_g.rowBytes - off);
            if (memcmp(cur + off, ref + off, n) != 0)
                tiles[tx] = 1;
        }
    }

    FrameHeader h;
    h.bitCount = (uint8_t)m_g.bitCount;
    h.sequence = m_sequence + 1;
    h.width = m_g.width;
    h.height = m_g.height;
    if (!any) {
        h.kind = 0;
        WriteHeader(h, out);
        m_sequence = h.sequence;
        return kHeaderSize;
    }

    m_changedTiles.clear();
    for (size_t t = 0; t < m_tileChanged.size(); ++t)
        if (m_tileChanged[t])
            m_changedTiles.push_back((int)t);
    FindCandidates(dib);

    // Choose each changed tile's prediction: the same place, or a candidate
    // offset when that leaves fewer pixels to correct.
    std::fill(m_modes.begin(), m_modes.end(), (uint8_t)kTileSame);
    std::vector<int> used(m_candidates.size(), -1);
    std::vector<Vector> usedVectors;
    m_vectorIndex.clear();
    m_residual.clear();
    const Vector zero{0, 0};
    for (int t : m_changedTiles) {
        const int tx = t % m_g.tilesX;
        const int ty = t / m_g.tilesX;
        int best = TileCost(dib, tx, ty, zero, 1 << 30);
        int bestIdx = -1;
        for (size_t c = 0; c < m_candidates.size() && best > 0; ++c) {
            if (!VectorFits(tx, ty, m_candidates[c]))
                continue;
            const int cost = TileCost(dib, tx, ty, m_candidates[c], best);
            if (cost < best) {
                best = cost;
                bestIdx = (int)c;
            }
        }
        if (bestIdx < 0) {
            m_modes[t] = kTileXor;
            TileResidual(dib, tx, ty, zero);
            continue;
        }
        if (used[bestIdx] < 0) {
            used[bestIdx] = (int)usedVectors.size();
            usedVectors.push_back(m_candidates[bestIdx]);
        }
        m_vectorIndex.push_back((uint8_t)used[bestIdx]);
        if (best == 0) {
            m_modes[t] = kTileMoved;
        } else {
            m_modes[t] = kTileMovedXor;
            TileResidual(dib, tx, ty, m_candidates[bestIdx]);
        }
    }

    h.kind = kKindHasData;
    m_z.next_out = out + kHeaderSize;
    m_z.avail_out = (uInt)std::min<size_t>(outCapacity - kHeaderSize, 0x7FFFFFFF);
    std::vector<uint8_t> vectors(2 + 4 * usedVectors.size());
    vectors[0] = (uint8_t)usedVectors.size();
    vectors[1] = (uint8_t)(usedVectors.size() >> 8);
    for (size_t i = 0; i < usedVectors.size(); ++i) {
        const int16_t dx = (int16_t)usedVectors[i].dx;
        const int16_t dy = (int16_t)usedVectors[i].dy;
        vectors[2 + 4 * i] = (uint8_t)dx;
        vectors[3 + 4 * i] = (uint8_t)((uint16_t)dx >> 8);
        vectors[4 + 4 * i] = (uint8_t)dy;
        vectors[5 + 4 * i] = (uint8_t)((uint16_t)dy >> 8);
    }
    if (!Deflate(vectors.data(), vectors.size(), Z_NO_FLUSH) ||
        !Deflate(m_modes.data(), m_modes.size(), Z_NO_FLUSH) ||
        !Deflate(m_vectorIndex.data(), m_vectorIndex.size(), Z_NO_FLUSH) ||
        !Deflate(m_residual.data(), m_residual.size(), Z_SYNC_FLUSH))
        return 0;
    uLong check = adler32(1, vectors.data(), (uInt)vectors.size());
    check = adler32(check, m_modes.data(), (uInt)m_modes.size());
    check = adler32(check, m_vectorIndex.data(), (uInt)m_vectorIndex.size());
    check = adler32(check, m_residual.data(), (uInt)m_residual.size());
    h.check = (uint32_t)check;
    WriteHeader(h, out);

    // The new picture becomes the reference, after all predictions were made
    // from the old one.
    for (int y = 0; y < m_g.height; ++y) {
        if (m_rowChanged[y])
            memcpy(&m_ref[(size_t)y * m_g.rowBytes], dib + (size_t)y * m_g.stride, m_g.rowBytes);
    }
    m_sequence = h.sequence;
    return (size_t)(m_z.next_out - out);
}

}  // namespace xrvc
