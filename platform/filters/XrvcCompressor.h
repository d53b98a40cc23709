// "Kestravon Screen Capture Codec": a DirectShow video compressor over the
// installed Video for Windows codec xrvc (opened with ICOpen). Uncompressed
// RGB frames in, xrvc frames out, key frames at the key-frame rate.
// - IAMVideoCompression (on the filter and on its output pin): quality,
//   key-frame rate, forced key frames and the codec's facts (GetInfo).
// - IAMVfwCompressDialogs (on the filter): the codec's configuration and
//   about boxes, its state (GetState/SetState) and raw driver messages.
// Settings take effect when the filter next starts streaming; the codec's
// dialogs and its state are refused while it streams.
//
// The filter is ours, not Wine's wrapper of the same codec: it is registered
// in the video-compressor category under the codec's name
// (RegisterXrvcCompressorFilter), and the category lookup binds it through
// our factory (DexCreateInstance) by its class id.
// Threads: as the filter base; every codec call is made under one lock.
#pragma once
#include <windows.h>

EXTERN_C const CLSID CLSID_XrvScreenCodecFilter;

// The codec's friendly name, which is also the filter's name in the category.
extern const WCHAR kXrvcCompressorName[];

// Creates the filter; REGDB_E_CLASSNOTREG when the xrvc codec is not
// installed (ICOpen finds no compressor).
HRESULT DsCreateXrvcCompressor(REFIID riid, void** ppv);

// Registers the filter in the video-compressor category under
// kXrvcCompressorName (IFilterMapper2, the class id as the instance).
// Idempotent; S_OK when registered.
HRESULT RegisterXrvcCompressorFilter();
