// Small filters built on the filter base for its tests: a push source of
// numbered RGB32 frames, an inverting transform, an in-place adder, a sink
// that records what it gets, and a source the test drives by hand.
#pragma once
#include "platform/filters/SinkFilter.h"
#include "platform/filters/SourceStream.h"
#include "platform/filters/TransformFilter.h"

#include <vector>

EXTERN_C const CLSID CLSID_TestFrameSource;
EXTERN_C const CLSID CLSID_TestInvert;
EXTERN_C const CLSID CLSID_TestAddOne;
EXTERN_C const CLSID CLSID_TestCollectSink;
EXTERN_C const CLSID CLSID_TestManualSource;

// An 8x8 RGB32 video type at `fps` frames per second.
void MakeTestVideoType(AM_MEDIA_TYPE* mt, int fps);

// Frames 0..count-1 at `fps`; every byte of frame n is n. Frame n of a
// segment starting at frame k starts at (n-k)*10^7/fps.
class CFrameSource : public CFilterBase {
public:
    CFrameSource(int count, int fps);
    CSourceStreamPin* Out() const { return static_cast<CSourceStreamPin*>(GetPin(0)); }
    int m_count;
    int m_fps;
};

class CInvertFilter : public CTransformFilterBase {
public:
    CInvertFilter() : CTransformFilterBase(CLSID_TestInvert) {}
    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override;
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
};

class CAddOneFilter : public CInPlaceFilterBase {
public:
    CAddOneFilter() : CInPlaceFilterBase(CLSID_TestAddOne) {}
    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override;
    HRESULT TransformInPlace(IMediaSample* sample) override;
};

struct SinkRecord {
    int pin;
    REFERENCE_TIME start;
    REFERENCE_TIME stop;
    int firstByte;
};

class CCollectSink : public CSinkFilterBase {
public:
    explicit CCollectSink(int pins = 1) : CSinkFilterBase(CLSID_TestCollectSink, pins) {}
    HRESULT CheckSinkType(int pin, const AM_MEDIA_TYPE* mt) override;
    HRESULT RenderSample(int pin, IMediaSample* sample) override;
    std::vector<SinkRecord> Records();
    void ClearRecords();

private:
    CDsLock m_lock;
    std::vector<SinkRecord> m_records;
};

// A source with `pins` output pins and no thread: the test delivers.
class CManualSource : public CFilterBase {
public:
    explicit CManualSource(int pins = 1);
    COutputPinBase* Out(int i) const { return static_cast<COutputPinBase*>(GetPin(i)); }
    // Delivers one frame whose bytes are `value`, starting at `start`.
    HRESULT DeliverFrame(int pin, int value, REFERENCE_TIME start);
};
