// Our AVI multiplexer ("Kestravon Avi Mux"; Wine's cannot write): a video
// input ("Input 01") and an audio input ("Input 02") into one AVI byte
// stream for a file writer. The stream starts with a provisional header and
// ends with the real one written back at offset 0, the legacy index (idx1)
// and, when the file grows past the RIFF limit (1 GiB), AVI 2.0 (OpenDML)
// extension forms with per-stream standard and super indexes, so readers
// count every frame. IConfigInterleaving decides whether chunks are written
// as they come (INTERLEAVE_NONE) or in time order in pieces of the
// interleave period (INTERLEAVE_FULL and the others); an INFO list comes
// from the "INFO/xxxx" texts of a media property bag loaded through
// IPersistMediaPropertyBag.
// Threads: state changes and configuration on the graph's thread; samples
// and end of stream on the upstream streaming threads, under the mux lock.
#pragma once
#include "platform/filters/FilterBase.h"

// Creates the multiplexer (class CLSID_AviDest).
HRESULT DsCreateAviMux(REFIID riid, void** ppv);

// The size at which a RIFF form of the output is closed and the next begins
// (1 GiB unless set; tests lower it). Process-wide; takes effect at the next
// run. 0 restores the default.
void DsSetAviRiffLimit(DWORD bytes);
DWORD DsAviRiffLimit();

// The stream rate (rate / scale) of a frame duration in 100 ns: the small
// rational the duration was rounded or cut from (666,667 gives 15/1, 333,667
// gives 30000/1001), else the duration itself over 10^7.
void DsAviFrameRate(REFERENCE_TIME frame, DWORD* rate, DWORD* scale);
