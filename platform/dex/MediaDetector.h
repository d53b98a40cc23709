// Our media detector (IMediaDet) over the media readers: Wine's grabs no
// frames and offers no media type for an xrvc AVI. A file name opens a
// reader (video as RGB32 of the stored size, audio as 16-bit PCM of the
// stored rate); a source filter handed over with put_Filter is described by
// its output pins (first media type, IMediaSeeking duration). Frames of a
// file are grabbed as 24-bit DIBs of any size (nearest pixel).
// Threads: one thread at a time per detector.
#pragma once
#include "platform/dex/DexInterfaces.h"

HRESULT DexCreateMediaDetector(REFIID riid, void** ppv);
