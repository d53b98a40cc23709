#pragma once
// The automatic configuration's frame rate: what a second of writing whole
// frames shows the machine can keep up with, and the tip shown when that is
// only one frame per second.
#include "framework/AfxPlatform.h"

class CRecorderPrefs;
class CWnd;

// The preferences' flag bit that turns the one-frame-per-second tip off.
const DWORD kFlagNoAutoRateTip = 0x1000000;

// The rate for `frames` frames written in `elapsedMs` milliseconds:
// (frames + 1) * 95000 / (elapsed * 100), at least 1; the grabber records
// more than it writes, by 2 for 8-bit, 3 for 16- and 24-bit and 4 for 32-bit
// frames; never more than 15. An elapsed time of 0 counts as 1 ms.
DWORD ComputeAutoFrameRate(DWORD frames, DWORD elapsedMs, BOOL grabberMode, WORD bitCount);

// At a rate of 1, unless the preferences' flag says not to, shows the tip
// (strings IDS_AUTO_RATE_TIP_TITLE and IDS_AUTO_RATE_TIP_TEXT) modally over
// `parent`; clearing its "show again" box sets the flag. TRUE when shown.
BOOL OfferAutoFrameRateTip(CRecorderPrefs* prefs, DWORD rate, CWnd* parent);
