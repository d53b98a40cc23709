// The editing-services interfaces, class identifiers and constants that
// mingw-w64's qedit.h lacks. qedit.h declares the timeline, timeline object,
// group and source interfaces and the property setter; the composition,
// track, effect and transition interfaces, the render engine and the
// constants below are declared here with their published identifiers.
#pragma once
#include <windows.h>
#include <tchar.h>   // before dshow.h, which pulls in strsafe.h
#include <dshow.h>
#include <qedit.h>

// Stretch modes of a source (IAMTimelineSrc::SetStretchMode).
enum {
    RESIZEF_STRETCH = 0,
    RESIZEF_CROP = 1,
    RESIZEF_PRESERVEASPECTRATIO = 2,
    RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX = 3
};

// Search directions of GetSrcAtTime and GetTransAtTime.
enum { DEXTERF_EXACTLY_AT = 0, DEXTERF_FORWARDS = 1, DEXTERF_BACKWARDS = -1 };

// Interpolation of a property value (DEXTER_VALUE::dwInterp).
enum { DEXTERF_JUMP = 0, DEXTERF_INTERPOLATE = 1 };

// Render-engine reconnection levels.
enum { CONNECTF_DYNAMIC_NONE = 0, CONNECTF_DYNAMIC_SOURCES = 1, CONNECTF_DYNAMIC_EFFECTS = 2 };

extern "C" {
extern const IID IID_IAMTimelineComp;
extern const IID IID_IAMTimelineVirtualTrack;
extern const IID IID_IAMTimelineTrack;
extern const IID IID_IAMTimelineEffectable;
extern const IID IID_IAMTimelineEffect;
extern const IID IID_IAMTimelineTransable;
extern const IID IID_IAMTimelineTrans;
extern const IID IID_IAMTimelineSplittable;
extern const IID IID_IRenderEngine;
extern const CLSID CLSID_PropertySetter;
extern const CLSID CLSID_RenderEngine;
extern const CLSID CLSID_ColorSource;
extern const CLSID CLSID_AudMixer;
extern const CLSID CLSID_SampleGrabber;
}

struct IGrfCache;

struct IAMTimelineComp : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE VTrackInsBefore(IAMTimelineObj* pVirtualTrack, long Priority) = 0;
    virtual HRESULT STDMETHODCALLTYPE VTrackSwapPriorities(long VirtualTrackA, long VirtualTrackB) = 0;
    virtual HRESULT STDMETHODCALLTYPE VTrackGetCount(long* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVTrack(IAMTimelineObj** ppVirtualTrack, long Which) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCountOfType(long* pVal, long* pValWithComps, TIMELINE_MAJOR_TYPE MajorType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRecursiveLayerOfType(IAMTimelineObj** ppVirtualTrack, long WhichLayer,
                                                              TIMELINE_MAJOR_TYPE Type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRecursiveLayerOfTypeI(IAMTimelineObj** ppVirtualTrack, long* pWhichLayer,
                                                               TIMELINE_MAJOR_TYPE Type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextVTrack(IAMTimelineObj* pVirtualTrack, IAMTimelineObj** ppNextVirtualTrack) = 0;
};

struct IAMTimelineVirtualTrack : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE TrackGetPriority(long* pPriority) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrackDirty() = 0;
};

struct IAMTimelineTrack : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SrcAdd(IAMTimelineObj* pSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextSrc(IAMTimelineObj** ppSrc, REFERENCE_TIME* pInOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextSrc2(IAMTimelineObj** ppSrc, REFTIME* pInOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveEverythingBy(REFERENCE_TIME Start, REFERENCE_TIME MoveBy) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveEverythingBy2(REFTIME Start, REFTIME MoveBy) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSourcesCount(long* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE AreYouBlank(long* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSrcAtTime(IAMTimelineObj** ppSrc, REFERENCE_TIME Time, long SearchDirection) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSrcAtTime2(IAMTimelineObj** ppSrc, REFTIME Time, long SearchDirection) = 0;
    virtual HRESULT STDMETHODCALLTYPE InsertSpace(REFERENCE_TIME rtStart, REFERENCE_TIME rtEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE InsertSpace2(REFTIME rtStart, REFTIME rtEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE ZeroBetween(REFERENCE_TIME rtStart, REFERENCE_TIME rtEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE ZeroBetween2(REFTIME rtStart, REFTIME rtEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextSrcEx(IAMTimelineObj* pLast, IAMTimelineObj** ppNext) = 0;
};

struct IAMTimelineEffectable : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EffectInsBefore(IAMTimelineObj* pFX, long priority) = 0;
    virtual HRESULT STDMETHODCALLTYPE EffectSwapPriorities(long PriorityA, long PriorityB) = 0;
    virtual HRESULT STDMETHODCALLTYPE EffectGetCount(long* pCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEffect(IAMTimelineObj** ppFx, long Which) = 0;
};

struct IAMTimelineEffect : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EffectGetPriority(long* pVal) = 0;
};

struct IAMTimelineTransable : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE TransAdd(IAMTimelineObj* pTrans) = 0;
    virtual HRESULT STDMETHODCALLTYPE TransGetCount(long* pCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextTrans(IAMTimelineObj** ppTrans, REFERENCE_TIME* pInOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextTrans2(IAMTimelineObj** ppTrans, REFTIME* pInOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTransAtTime(IAMTimelineObj** ppObj, REFERENCE_TIME Time, long SearchDirection) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTransAtTime2(IAMTimelineObj** ppObj, REFTIME Time, long SearchDirection) = 0;
};

struct IAMTimelineSplittable : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SplitAt(REFERENCE_TIME Time) = 0;
    virtual HRESULT STDMETHODCALLTYPE SplitAt2(REFTIME Time) = 0;
};

struct IAMTimelineTrans : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCutPoint(REFERENCE_TIME* pTLTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCutPoint2(REFTIME* pTLTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCutPoint(REFERENCE_TIME TLTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCutPoint2(REFTIME TLTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSwapInputs(BOOL* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSwapInputs(BOOL pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCutsOnly(BOOL* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCutsOnly(BOOL pVal) = 0;
};

struct IRenderEngine : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetTimelineObject(IAMTimeline* pTimeline) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTimelineObject(IAMTimeline** ppTimeline) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFilterGraph(IGraphBuilder** ppFG) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFilterGraph(IGraphBuilder* pFG) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInterestRange(REFERENCE_TIME Start, REFERENCE_TIME Stop) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInterestRange2(double Start, double Stop) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderRange(REFERENCE_TIME Start, REFERENCE_TIME Stop) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderRange2(double Start, double Stop) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGroupOutputPin(long Group, IPin** ppRenderPin) = 0;
    virtual HRESULT STDMETHODCALLTYPE ScrapIt() = 0;
    virtual HRESULT STDMETHODCALLTYPE RenderOutputPins() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVendorString(BSTR* pVendorID) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectFrontEnd() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSourceConnectCallback(IGrfCache* pCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDynamicReconnectLevel(long Level) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoSmartRecompression() = 0;
    virtual HRESULT STDMETHODCALLTYPE UseInSmartRecompressionGraph() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSourceNameValidation(BSTR FilterString, IMediaLocator* pOverride, LONG Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit() = 0;
    virtual HRESULT STDMETHODCALLTYPE Decommit() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCaps(long Index, long* pReturn) = 0;
};

__CRT_UUID_DECL(IAMTimelineComp, 0xeae58536, 0x622e, 0x11d2, 0x8c, 0xad, 0x00, 0xa0, 0x24, 0x58, 0x09, 0x02)
__CRT_UUID_DECL(IAMTimelineVirtualTrack, 0xa8ed5f80, 0xc2c7, 0x11d2, 0x8d, 0x39, 0x00, 0xa0, 0xc9, 0x44, 0x1e, 0x20)
__CRT_UUID_DECL(IAMTimelineTrack, 0xeae58538, 0x622e, 0x11d2, 0x8c, 0xad, 0x00, 0xa0, 0x24, 0x58, 0x09, 0x02)
__CRT_UUID_DECL(IAMTimelineEffectable, 0xeae58537, 0x622e, 0x11d2, 0x8c, 0xad, 0x00, 0xa0, 0x24, 0x58, 0x09, 0x02)
__CRT_UUID_DECL(IAMTimelineEffect, 0xbce0c264, 0x622d, 0x11d2, 0x8c, 0xad, 0x00, 0xa0, 0x24, 0x58, 0x09, 0x02)
__CRT_UUID_DECL(IAMTimelineTransable, 0x378fa386, 0x622e, 0x11d2, 0x8c, 0xad, 0x00, 0xa0, 0x24, 0x58, 0x09, 0x02)
__CRT_UUID_DECL(IAMTimelineTrans, 0xbce0c265, 0x622d, 0x11d2, 0x8c, 0xad, 0x00, 0xa0, 0x24, 0x58, 0x09, 0x02)
__CRT_UUID_DECL(IAMTimelineSplittable, 0xa0f840a0, 0xd590, 0x11d2, 0x8d, 0x55, 0x00, 0xa0, 0xc9, 0x44, 0x1e, 0x20)
__CRT_UUID_DECL(IRenderEngine, 0x6bee3a81, 0x66c9, 0x11d2, 0x91, 0x8f, 0x00, 0xc0, 0xdf, 0x10, 0xd4, 0x34)
