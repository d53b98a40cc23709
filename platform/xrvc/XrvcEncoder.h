#pragma once
#include "platform/xrvc/XrvcFormat.h"
#include <vector>
#include <zlib.h>

namespace xrvc {

// The compressing half of one open codec instance: keeps its own copy of the
// previous picture (the compressor manager hands the codec the previous
// *compressed* frame, which is of no use for prediction) and the deflate
// stream of the current key-frame group. Used by one thread at a time.
class CEncoder {
public:
    CEncoder();
    ~CEncoder();
    CEncoder(const CEncoder&) = delete;
    CEncoder& operator=(const CEncoder&) = delete;

    bool Begin(const Geometry& g, int level);
    void End();
    bool IsBegun() const { return m_begun; }
    const Geometry& Format() const { return m_g; }

    // Compresses one bottom-up DIB frame (rows of m_g.stride bytes) into out.
    // A key frame is made when wantKey is set or when there is no previous
    // picture to refer to. Returns the bytes written, 0 on failure (after
    // which the next frame is a key frame).
    size_t Compress(const uint8_t* dib, bool wantKey, uint8_t* out, size_t outCapacity, bool* isKey);

private:
    struct Vector {
        int dx, dy;
    };

    size_t CompressKey(const uint8_t* dib, uint8_t* out, size_t outCapacity);
    size_t CompressDelta(const uint8_t* dib, uint8_t* out, size_t outCapacity);
    bool Deflate(const uint8_t* data, size_t size, int flush);
    void FindCandidates(const uint8_t* dib);
    void FindVerticalScroll(const uint8_t* dib, int txMin, int txMax, int yMin, int yMax);
    void ProbeTile(const uint8_t* dib, int tx, int ty);
    void AddCandidate(int dx, int dy);
    bool VectorFits(int tx, int ty, const Vector& v) const;
    // Pixels of the tile that differ from the previous picture at offset v,
    // counting no further than limit.
    int TileCost(const uint8_t* dib, int tx, int ty, const Vector& v, int limit) const;
    void TileResidual(const uint8_t* dib, int tx, int ty, const Vector& v);

    Geometry m_g;
    bool m_begun = false;
    int m_level = (int)kDefaultLevel;
    std::vector<uint8_t> m_ref;          // previous picture, rows of m_g.rowBytes
    bool m_haveRef = false;
    uint32_t m_sequence = 0;
    z_stream m_z;
    bool m_zReady = false;
    uint8_t* m_out = nullptr;            // output of the frame being made
    size_t m_outCapacity = 0;

    std::vector<uint8_t> m_rowChanged;
    std::vector<uint8_t> m_tileChanged;
    std::vector<int> m_changedTiles;     // tile indices in row order
    std::vector<Vector> m_candidates;
    std::vector<int> m_candidateHits;
    std::vector<uint8_t> m_modes;
    std::vector<uint8_t> m_tileVector;   // candidate index per tile
    std::vector<uint8_t> m_vectorIndex;  // per moved tile, index into the used vectors
    std::vector<uint8_t> m_residual;
    std::vector<uint64_t> m_hashCur, m_hashRef;
    std::vector<uint8_t> m_rowFlat;
};

}  // namespace xrvc
