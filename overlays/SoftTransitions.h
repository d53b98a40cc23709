#pragma once
// Software transitions: eighteen routines that blend an outgoing and an
// incoming 32-bit frame by progress t (0 only the outgoing frame, 1 only the
// incoming one). Pure code on memory frames, no platform calls, callable from
// any thread; the frames belong to the caller.
//
// Frames are width x height pixels of 4 bytes, rows one after another with no
// gap, row 0 at the top of the picture.
//
// Mask routines write, for each row from the top, a fixed number of run
// lengths (SoftMaskRunsPerRow) through a cursor that they advance. Runs
// alternate between the two frames, incoming first, and sum to the width.
// Pixel routines write the transition frame into the incoming frame.
//
// Every routine clamps t to [0, 1] (NaN counts as 0) and writes nothing for a
// frame without pixels.
#include <stdint.h>

// The frame description: the second and third fields are the size in pixels.
struct SoftFrameInfo {
    int32_t reserved;
    int32_t width;
    int32_t height;
};

typedef void (*SoftMaskFn)(double t, const SoftFrameInfo* frame, int32_t** cursor);
typedef void (*SoftPixelFn)(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming);

void SoftSpiral(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftIris(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftRadialWipe(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftZigZag(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftRandomBars(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftWheel(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftStrips(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftInset(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftBlinds(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftCheckerBoard(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftDxtJpeg(double t, const SoftFrameInfo* frame, int32_t** cursor);
void SoftBarn(double t, const SoftFrameInfo* frame, int32_t** cursor);

void SoftFade(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming);
void SoftStretch(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming);
void SoftGradientWipe(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming);
void SoftSlide(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming);
void SoftPixelate(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming);
void SoftRandomDissolve(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming);

// Helpers of the mask routines, exposed for their tests.
void SoftNormaliseRuns(int32_t* runs, int pairs, const SoftFrameInfo* frame);
void SoftBoundariesToRuns(int32_t* values, int pairs, const SoftFrameInfo* frame);

// One named transition: a mask routine or a pixel routine.
struct SoftTransitionRoutine {
    const char* name;
    SoftMaskFn mask;
    SoftPixelFn pixel;
    int runsPerRow;   // of the mask routine; 0 for pixel routines
};
const int kSoftTransitionCount = 18;
// The eighteen in their fixed order (Spiral .. RandomDissolve).
extern const SoftTransitionRoutine kSoftTransitionRoutines[kSoftTransitionCount];

// The transform class identifiers that stand for the eighteen in timelines,
// in registry form with braces, by name (the names of the routine table).
struct SoftTransitionClass {
    const char* name;
    const char* clsid;
};
extern const SoftTransitionClass kSoftTransitionClasses[kSoftTransitionCount];

// The routine of that name (exact), else null.
const SoftTransitionRoutine* SoftTransitionByName(const char* name);
// The routine a class identifier in registry form stands for (letters in
// either case), else null.
const SoftTransitionRoutine* SoftTransitionByClassId(const char* clsid);

// Runs per row that a mask routine writes, 0 for an unknown routine. Run
// buffers hold width-independent height x this count values.
int SoftMaskRunsPerRow(SoftMaskFn mask);

// Combines runs with the frames: incoming runs keep the incoming pixels,
// outgoing runs copy the outgoing ones. Runs are bounded by the row.
void SoftApplyRuns(const int32_t* runs, int runsPerRow, const SoftFrameInfo* frame, const uint32_t* outgoing,
                   uint32_t* incoming);

// Runs one routine (mask or pixel) on the frames, the result in the incoming
// frame. False for a routine without either function, an empty frame or a
// run buffer that cannot be allocated.
bool SoftApplyTransition(const SoftTransitionRoutine& routine, double t, const SoftFrameInfo* frame,
                         const uint32_t* outgoing, uint32_t* incoming);
