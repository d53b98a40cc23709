// Uncompressed RGB frames of 32, 24 and 16 (RGB555) bits per pixel: row
// sizes and conversion between the depths. Rows keep their order and every
// row starts on a 4-byte boundary, as in a DIB.
#pragma once
#include <windows.h>

#include <stddef.h>

// Bytes in one row of `width` pixels at `bits` per pixel.
inline size_t RgbStride(LONG width, WORD bits) { return ((size_t)width * bits + 31) / 32 * 4; }

// Copies a w x h frame from one depth to another (32, 24 or 16); FALSE for
// any other depth.
BOOL ConvertRgb(const BYTE* src, WORD srcBits, BYTE* dst, WORD dstBits, LONG w, LONG h);

// A 32-bit frame written at 24 or 16 bits.
inline void PackRgb32(const BYTE* src, LONG w, LONG h, BYTE* dst, WORD bits) { ConvertRgb(src, 32, dst, bits, w, h); }
