#include "platform/xrvc/XrvcFormat.h"

namespace xrvc {

namespace {

void Put32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

uint32_t Get32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

}  // namespace

bool GeometryFromHeader(const BITMAPINFOHEADER* bih, DWORD compression, Geometry* g)
{
    if (!bih || bih->biSize < sizeof(BITMAPINFOHEADER))
        return false;
    if (bih->biCompression != compression || bih->biPlanes != 1)
        return false;
    const int bits = bih->biBitCount;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    // Top-down frames (negative height) are refused: AVI video frames are bottom-up.
    if (bih->biWidth <= 0 || bih->biHeight <= 0 || bih->biWidth > kMaxDimension ||
        bih->biHeight > kMaxDimension)
        return false;
    if (bits == 8 && bih->biClrUsed > 256)
        return false;
    g->width = bih->biWidth;
    g->height = bih->biHeight;
    g->bitCount = bits;
    g->bytesPerPixel = bits / 8;
    g->rowBytes = (size_t)g->width * g->bytesPerPixel;
    g->stride = (((size_t)g->width * bits + 31) / 32) * 4;
    g->imageBytes = g->rowBytes * g->height;
    g->tilesX = (g->width + kTile - 1) / kTile;
    g->tilesY = (g->height + kTile - 1) / kTile;
    return true;
}

DWORD PaletteEntries(const BITMAPINFOHEADER* bih)
{
    if (bih->biBitCount != 8)
        return 0;
    return bih->biClrUsed ? bih->biClrUsed : 256;
}

size_t WorstCaseFrameBytes(const Geometry& g)
{
    // Largest payload: a delta frame whose every tile has a residual (the
    // whole picture), plus its tile modes, vector indices and vectors.
    const size_t tiles = (size_t)g.tilesX * g.tilesY;
    const size_t raw = g.imageBytes + 2 * tiles + 2 + 4 * kMaxVectors;
    // zlib's own bound for incompressible input (deflateBound), with room for
    // the flush marker and the header.
    return kHeaderSize + raw + (raw >> 12) + (raw >> 14) + (raw >> 25) + 128;
}

void WriteHeader(const FrameHeader& h, uint8_t* out)
{
    out[0] = h.kind;
    out[1] = h.version;
    out[2] = h.bitCount;
    out[3] = h.tile;
    Put32(out + 4, h.sequence);
    Put32(out + 8, h.width);
    Put32(out + 12, h.height);
    Put32(out + 16, h.check);
}

void ReadHeader(const uint8_t* in, FrameHeader* h)
{
    h->kind = in[0];
    h->version = in[1];
    h->bitCount = in[2];
    h->tile = in[3];
    h->sequence = Get32(in + 4);
    h->width = Get32(in + 8);
    h->height = Get32(in + 12);
    h->check = Get32(in + 16);
}

}  // namespace xrvc
