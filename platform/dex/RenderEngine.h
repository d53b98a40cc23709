// Our render engine (IRenderEngine): Wine registers none. ConnectFrontEnd
// reads the timeline into a render plan and puts a front-end filter into the
// graph with one output pin per group, in the group's media type, each pin
// running to the end of the timeline (or of the render range):
// - video: frame n starts at n*10^7/fps (computed from n) and shows, of the
//   unmuted layers that hold a source at that time, the one of the highest
//   priority (compositions and tracks in priority order, later on top),
//   placed by the source's stretch mode (FramePlacement.h); black elsewhere.
//   A transition on a track blends, over its span, what the tracks below
//   show (outgoing) with the track's own picture (incoming; black where it
//   has no source) through the software routine its transform class names,
//   progress = (frame start - transition start) / length; swapped inputs
//   reverse the two. Unknown transforms and cuts-only transitions cut at the
//   cut point; the timeline's disabled transitions are left out. Effects
//   leave frames unchanged.
// - audio: every unmuted track's sources mixed sample by sample, each scaled
//   by the "Vol" envelope of its effects (a jump or a linear move to each
//   value; gains in 1/65536), clipped to 16 bits; sample j starts at
//   j*10^7/rate.
// The media-to-timeline mapping of a source over [tStart, tStop) playing
// [mStart, mStop): m(t) = mStart + (t - tStart) * (mStop - mStart) /
// (tStop - tStart), rounded down; the video frame shown is the one whose
// span holds m(t); audio sample j of the group plays media sample
// mStart*rate/10^7 + (j - tStart*rate/10^7) scaled the same way.
// A seek flushes and restarts sample times at 0. In output mode (no group in
// preview mode) the graph runs without a clock, so every frame is delivered.
// Threads: the engine's methods on one thread at a time; the front end's
// pins stream on their own threads.
#pragma once
#include "platform/dex/DexInterfaces.h"

// ConnectFrontEnd's answer when the output pins changed: the caller connects
// them again.
const HRESULT S_WARN_OUTPUTRESET_DEX = 0x00009DD4;

HRESULT DexCreateRenderEngine(REFIID riid, void** ppv);

// Completes a group's media type as the front end offers it: video RGB32
// (320x240 unless the group's format gives a size) at the group's rate;
// audio 16-bit PCM (44100 Hz stereo unless the group's format gives them).
HRESULT CompleteGroupMediaType(const AM_MEDIA_TYPE* group, double fps, AM_MEDIA_TYPE* out);
