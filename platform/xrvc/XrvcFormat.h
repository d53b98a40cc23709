#pragma once
// The xrvc bit stream and the frame geometry shared by the encoder, the
// decoder and the driver procedure.
//
// A compressed frame is a 20-byte header followed, when the frame carries any
// data, by one zlib flush block (Z_SYNC_FLUSH) of a deflate stream that starts
// afresh at every key frame and runs on through the delta frames after it, so
// that repeated content of recent frames costs almost nothing.
//
//   header: u8 kind (bit 0 key frame, bit 1 data follows), u8 version (1),
//           u8 bits per pixel, u8 tile size (16), u32 sequence number (0 for a
//           key frame, +1 for each delta frame after it), u32 width, u32 height,
//           u32 Adler-32 of the frame's data after inflating (1 when none).
//   key frame data:   the picture, rows bottom-up as in the DIB, pixel bytes
//                     only (no row padding).
//   delta frame data: u16 vector count n, n vectors (i16 dx, i16 dy), one mode
//                     byte per 16x16 tile in row order (bottom-up), one vector
//                     index byte per tile of mode kTileMoved/kTileMovedXor,
//                     then the XOR residual of each tile of mode
//                     kTileXor/kTileMovedXor in tile order, row by row.
// A delta frame without data leaves the picture unchanged.
#include <windows.h>
#include <stdint.h>
#include <stddef.h>

namespace xrvc {

const DWORD kFourCC = mmioFOURCC('x', 'r', 'v', 'c');
const DWORD kVersion = 0x00020000;        // ICINFO dwVersion: 2.0
const int kHeaderSize = 20;
const uint8_t kStreamVersion = 1;
const uint8_t kKindKey = 0x01;
const uint8_t kKindHasData = 0x02;
const int kTile = 16;
const int kMaxVectors = 255;
const LONG kMaxDimension = 16384;

// Tile modes of a delta frame.
enum TileMode : uint8_t {
    kTileSame = 0,       // unchanged
    kTileXor = 1,        // XOR residual against the same place in the previous frame
    kTileMoved = 2,      // copy of the previous frame at an offset
    kTileMovedXor = 3,   // XOR residual against the previous frame at an offset
    kTileModeCount = 4,
};

// Codec state as stored per FourCC by the recorder: little-endian 32-bit words.
// word 0: flags kept for the caller, word 1: the FourCC, word 2: the stream
// format version, word 3: the compression effort 0..9 (zlib level); the rest 0.
const int kStateSize = 32;
const DWORD kDefaultStateFlags = 0x1780;
const DWORD kDefaultLevel = 6;

// Geometry of one uncompressed frame.
struct Geometry {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    int bytesPerPixel = 0;
    size_t rowBytes = 0;     // pixel bytes of one row
    size_t stride = 0;       // DIB row with padding to 4 bytes
    size_t imageBytes = 0;   // rowBytes * height
    int tilesX = 0;
    int tilesY = 0;

    bool operator==(const Geometry& o) const {
        return width == o.width && height == o.height && bitCount == o.bitCount;
    }
    bool operator!=(const Geometry& o) const { return !(*this == o); }
};

// Fills g from an uncompressed (BI_RGB) or xrvc header; false when the format
// is not one the codec handles (bit count 8/16/24/32, one plane, bottom-up,
// 1..16384 pixels each way).
bool GeometryFromHeader(const BITMAPINFOHEADER* bih, DWORD compression, Geometry* g);

// Number of colour-table entries a header carries (8-bit frames only).
DWORD PaletteEntries(const BITMAPINFOHEADER* bih);

// The largest compressed frame the encoder can produce for g.
size_t WorstCaseFrameBytes(const Geometry& g);

struct FrameHeader {
    uint8_t kind = 0;
    uint8_t version = kStreamVersion;
    uint8_t bitCount = 0;
    uint8_t tile = kTile;
    uint32_t sequence = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t check = 1;
};

void WriteHeader(const FrameHeader& h, uint8_t* out);
void ReadHeader(const uint8_t* in, FrameHeader* h);

}  // namespace xrvc
