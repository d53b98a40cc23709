#include "platform/dex/DexTimeline.h"

#include <algorithm>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace {

class CDexTimeline;

// Answered by our nodes only; see CDexNode::FromObj.
const IID kNodeIid = {0x5b1d7c2e, 0x4a0f, 0x4e7b, {0x9c, 0x61, 0x2f, 0x3a, 0x8d, 0x40, 0x71, 0x15}};

bool IsEffectable(TIMELINE_MAJOR_TYPE t)
{
    return t == TIMELINE_MAJOR_TYPE_SOURCE || t == TIMELINE_MAJOR_TYPE_TRACK || t == TIMELINE_MAJOR_TYPE_COMPOSITE;
}

bool IsTransable(TIMELINE_MAJOR_TYPE t)
{
    return t == TIMELINE_MAJOR_TYPE_TRACK || t == TIMELINE_MAJOR_TYPE_COMPOSITE;
}

bool IsComp(TIMELINE_MAJOR_TYPE t)
{
    return t == TIMELINE_MAJOR_TYPE_COMPOSITE || t == TIMELINE_MAJOR_TYPE_GROUP;
}

void FreeMediaTypeBlock(AM_MEDIA_TYPE& mt)
{
    if (mt.pbFormat)
        CoTaskMemFree(mt.pbFormat);
    if (mt.pUnk)
        mt.pUnk->Release();
    mt.pbFormat = NULL;
    mt.cbFormat = 0;
    mt.pUnk = NULL;
}

HRESULT CopyMediaTypeBlock(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from)
{
    to = from;
    to.pbFormat = NULL;
    to.cbFormat = 0;
    if (from.cbFormat && from.pbFormat) {
        to.pbFormat = (BYTE*)CoTaskMemAlloc(from.cbFormat);
        if (!to.pbFormat)
            return E_OUTOFMEMORY;
        memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
        to.cbFormat = from.cbFormat;
    }
    if (to.pUnk)
        to.pUnk->AddRef();
    return S_OK;
}

// Where a node hangs in its parent.
enum Slot { SLOT_NONE, SLOT_CHILD, SLOT_EFFECT, SLOT_TRANSITION };

class CDexNode final : public IAMTimelineObj,
                 public IAMTimelineGroup,
                 public IAMTimelineComp,
                 public IAMTimelineVirtualTrack,
                 public IAMTimelineTrack,
                 public IAMTimelineSrc,
                 public IAMTimelineEffectable,
                 public IAMTimelineEffect,
                 public IAMTimelineTransable,
                 public IAMTimelineTrans {
public:
    CDexNode(CDexTimeline* timeline, TIMELINE_MAJOR_TYPE type, LONG genId);

    // IUnknown (shared by every interface)
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG r = InterlockedDecrement(&m_ref);
        if (r == 0)
            delete this;
        return r;
    }

    // IAMTimelineObj
    STDMETHODIMP GetStartStop(REFERENCE_TIME* pStart, REFERENCE_TIME* pStop) override;
    STDMETHODIMP GetStartStop2(REFTIME* pStart, REFTIME* pStop) override;
    STDMETHODIMP FixTimes(REFERENCE_TIME* pStart, REFERENCE_TIME* pStop) override;
    STDMETHODIMP FixTimes2(REFTIME* pStart, REFTIME* pStop) override;
    STDMETHODIMP SetStartStop(REFERENCE_TIME Start, REFERENCE_TIME Stop) override;
    STDMETHODIMP SetStartStop2(REFTIME Start, REFTIME Stop) override
    {
        return SetStartStop((REFERENCE_TIME)(Start * 1e7 + (Start < 0 ? -0.5 : 0.5)),
                            (REFERENCE_TIME)(Stop * 1e7 + (Stop < 0 ? -0.5 : 0.5)));
    }
    STDMETHODIMP GetPropertySetter(IPropertySetter** pVal) override;
    STDMETHODIMP SetPropertySetter(IPropertySetter* newVal) override;
    STDMETHODIMP GetSubObject(IUnknown** pVal) override;
    STDMETHODIMP SetSubObject(IUnknown* newVal) override;
    STDMETHODIMP SetSubObjectGUID(GUID newVal) override
    {
        m_subGuid = newVal;
        return S_OK;
    }
    STDMETHODIMP SetSubObjectGUIDB(BSTR newVal) override;
    STDMETHODIMP GetSubObjectGUID(GUID* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_subGuid;
        return S_OK;
    }
    STDMETHODIMP GetSubObjectGUIDB(BSTR* pVal) override;
    STDMETHODIMP GetSubObjectLoaded(BOOL* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_subObject != NULL;
        return S_OK;
    }
    STDMETHODIMP GetTimelineType(TIMELINE_MAJOR_TYPE* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_type;
        return S_OK;
    }
    STDMETHODIMP SetTimelineType(TIMELINE_MAJOR_TYPE newVal) override { return newVal == m_type ? S_OK : E_INVALIDARG; }
    STDMETHODIMP GetUserID(long* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_userId;
        return S_OK;
    }
    STDMETHODIMP SetUserID(long newVal) override
    {
        m_userId = newVal;
        return S_OK;
    }
    STDMETHODIMP GetGenID(long* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_genId;
        return S_OK;
    }
    STDMETHODIMP GetUserName(BSTR* pVal) override { return OutString(m_userName, pVal); }
    STDMETHODIMP SetUserName(BSTR newVal) override
    {
        m_userName = newVal ? newVal : L"";
        return S_OK;
    }
    STDMETHODIMP GetUserData(BYTE*, long*) override { return E_NOTIMPL; }
    STDMETHODIMP SetUserData(BYTE*, long) override { return E_NOTIMPL; }
    STDMETHODIMP GetMuted(BOOL* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_muted;
        return S_OK;
    }
    STDMETHODIMP SetMuted(BOOL newVal) override
    {
        m_muted = newVal ? TRUE : FALSE;
        return S_OK;
    }
    STDMETHODIMP GetLocked(BOOL* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_locked;
        return S_OK;
    }
    STDMETHODIMP SetLocked(BOOL newVal) override
    {
        m_locked = newVal ? TRUE : FALSE;
        return S_OK;
    }
    STDMETHODIMP GetDirtyRange(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDirtyRange2(REFTIME*, REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDirtyRange(REFERENCE_TIME, REFERENCE_TIME) override { return S_OK; }
    STDMETHODIMP SetDirtyRange2(REFTIME, REFTIME) override { return S_OK; }
    STDMETHODIMP ClearDirty() override { return S_OK; }
    STDMETHODIMP Remove() override;
    STDMETHODIMP RemoveAll() override;
    STDMETHODIMP GetTimelineNoRef(IAMTimeline** ppResult) override;
    STDMETHODIMP GetGroupIBelongTo(IAMTimelineGroup** ppGroup) override;
    STDMETHODIMP GetEmbedDepth(long* pVal) override;

    // IAMTimelineGroup
    STDMETHODIMP SetTimeline(IAMTimeline*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTimeline(IAMTimeline** ppTimeline) override;
    STDMETHODIMP GetPriority(long* pPriority) override;
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE* pmt) override
    {
        if (!pmt)
            return E_POINTER;
        return CopyMediaTypeBlock(*pmt, m_mediaType);
    }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* pmt) override
    {
        if (!pmt)
            return E_POINTER;
        AM_MEDIA_TYPE copy;
        HRESULT hr = CopyMediaTypeBlock(copy, *pmt);
        if (FAILED(hr))
            return hr;
        FreeMediaTypeBlock(m_mediaType);
        m_mediaType = copy;
        return S_OK;
    }
    STDMETHODIMP SetOutputFPS(double FPS) override
    {
        if (FPS <= 0)
            return E_INVALIDARG;
        m_outputFps = FPS;
        return S_OK;
    }
    STDMETHODIMP GetOutputFPS(double* pFPS) override
    {
        if (!pFPS)
            return E_POINTER;
        *pFPS = m_outputFps;
        return S_OK;
    }
    STDMETHODIMP SetGroupName(BSTR pGroupName) override
    {
        m_groupName = pGroupName ? pGroupName : L"";
        return S_OK;
    }
    STDMETHODIMP GetGroupName(BSTR* pGroupName) override { return OutString(m_groupName, pGroupName); }
    STDMETHODIMP SetPreviewMode(BOOL fPreview) override
    {
        m_previewMode = fPreview;
        return S_OK;
    }
    STDMETHODIMP GetPreviewMode(BOOL* pfPreview) override
    {
        if (!pfPreview)
            return E_POINTER;
        *pfPreview = m_previewMode;
        return S_OK;
    }
    STDMETHODIMP SetMediaTypeForVB(long) override { return E_NOTIMPL; }
    STDMETHODIMP GetOutputBuffering(int* pnBuffer) override
    {
        if (!pnBuffer)
            return E_POINTER;
        *pnBuffer = m_buffering;
        return S_OK;
    }
    STDMETHODIMP SetOutputBuffering(int nBuffer) override
    {
        if (nBuffer < 2)
            return E_INVALIDARG;
        m_buffering = nBuffer;
        return S_OK;
    }
    STDMETHODIMP SetSmartRecompressFormat(long*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSmartRecompressFormat(long**) override { return E_NOTIMPL; }
    STDMETHODIMP IsSmartRecompressFormatSet(BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP IsRecompressFormatDirty(BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP ClearRecompressFormatDirty() override { return E_NOTIMPL; }
    STDMETHODIMP SetRecompFormatFromSource(IAMTimelineSrc*) override { return E_NOTIMPL; }

    // IAMTimelineComp
    STDMETHODIMP VTrackInsBefore(IAMTimelineObj* pVirtualTrack, long Priority) override;
    STDMETHODIMP VTrackSwapPriorities(long a, long b) override;
    STDMETHODIMP VTrackGetCount(long* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = (long)m_children.size();
        return S_OK;
    }
    STDMETHODIMP GetVTrack(IAMTimelineObj** ppVirtualTrack, long Which) override;
    STDMETHODIMP GetCountOfType(long*, long*, TIMELINE_MAJOR_TYPE) override { return E_NOTIMPL; }
    STDMETHODIMP GetRecursiveLayerOfType(IAMTimelineObj**, long, TIMELINE_MAJOR_TYPE) override { return E_NOTIMPL; }
    STDMETHODIMP GetRecursiveLayerOfTypeI(IAMTimelineObj**, long*, TIMELINE_MAJOR_TYPE) override { return E_NOTIMPL; }
    STDMETHODIMP GetNextVTrack(IAMTimelineObj* pVirtualTrack, IAMTimelineObj** ppNext) override;

    // IAMTimelineVirtualTrack
    STDMETHODIMP TrackGetPriority(long* pPriority) override { return GetPriority(pPriority); }
    STDMETHODIMP SetTrackDirty() override { return S_OK; }

    // IAMTimelineTrack
    STDMETHODIMP SrcAdd(IAMTimelineObj* pSource) override;
    STDMETHODIMP GetNextSrc(IAMTimelineObj** ppSrc, REFERENCE_TIME* pInOut) override;
    STDMETHODIMP GetNextSrc2(IAMTimelineObj**, REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP MoveEverythingBy(REFERENCE_TIME Start, REFERENCE_TIME MoveBy) override;
    STDMETHODIMP MoveEverythingBy2(REFTIME, REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetSourcesCount(long* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = (long)m_children.size();
        return S_OK;
    }
    STDMETHODIMP AreYouBlank(long* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_children.empty() && m_transitions.empty() && m_effects.empty();
        return S_OK;
    }
    STDMETHODIMP GetSrcAtTime(IAMTimelineObj** ppSrc, REFERENCE_TIME Time, long SearchDirection) override;
    STDMETHODIMP GetSrcAtTime2(IAMTimelineObj**, REFTIME, long) override { return E_NOTIMPL; }
    STDMETHODIMP InsertSpace(REFERENCE_TIME, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP InsertSpace2(REFTIME, REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP ZeroBetween(REFERENCE_TIME, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP ZeroBetween2(REFTIME, REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetNextSrcEx(IAMTimelineObj* pLast, IAMTimelineObj** ppNext) override;

    // IAMTimelineSrc
    STDMETHODIMP GetMediaTimes(REFERENCE_TIME* pStart, REFERENCE_TIME* pStop) override
    {
        if (!pStart || !pStop)
            return E_POINTER;
        *pStart = m_mediaStart;
        *pStop = m_mediaStop;
        return S_OK;
    }
    STDMETHODIMP GetMediaTimes2(REFTIME*, REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP ModifyStopTime(REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP ModifyStopTime2(REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP FixMediaTimes(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP FixMediaTimes2(REFTIME*, REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetMediaTimes(REFERENCE_TIME Start, REFERENCE_TIME Stop) override
    {
        if (Stop < Start)
            return E_INVALIDARG;
        m_mediaStart = Start;
        m_mediaStop = Stop;
        return S_OK;
    }
    STDMETHODIMP SetMediaTimes2(REFTIME, REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP SetMediaLength(REFERENCE_TIME Length) override
    {
        m_mediaLength = Length;
        return S_OK;
    }
    STDMETHODIMP SetMediaLength2(REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetMediaLength(REFERENCE_TIME* pLength) override
    {
        if (!pLength)
            return E_POINTER;
        *pLength = m_mediaLength;
        return S_OK;
    }
    STDMETHODIMP GetMediaLength2(REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMediaName(BSTR* pVal) override { return OutString(m_mediaName, pVal); }
    STDMETHODIMP SetMediaName(BSTR newVal) override
    {
        m_mediaName = newVal ? newVal : L"";
        return S_OK;
    }
    STDMETHODIMP SpliceWithNext(IAMTimelineObj*) override { return E_NOTIMPL; }
    STDMETHODIMP GetStreamNumber(long* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_streamNumber;
        return S_OK;
    }
    STDMETHODIMP SetStreamNumber(long Val) override
    {
        if (Val < 0)
            return E_INVALIDARG;
        m_streamNumber = Val;
        return S_OK;
    }
    STDMETHODIMP IsNormalRate(BOOL* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = (m_mediaStop - m_mediaStart) == (m_stop - m_start);
        return S_OK;
    }
    STDMETHODIMP GetDefaultFPS(double* pFPS) override
    {
        if (!pFPS)
            return E_POINTER;
        *pFPS = m_defaultFps;
        return S_OK;
    }
    STDMETHODIMP SetDefaultFPS(double FPS) override
    {
        m_defaultFps = FPS;
        return S_OK;
    }
    STDMETHODIMP GetStretchMode(int* pnStretchMode) override
    {
        if (!pnStretchMode)
            return E_POINTER;
        *pnStretchMode = m_stretchMode;
        return S_OK;
    }
    STDMETHODIMP SetStretchMode(int nStretchMode) override
    {
        m_stretchMode = nStretchMode;
        return S_OK;
    }

    // IAMTimelineEffectable
    STDMETHODIMP EffectInsBefore(IAMTimelineObj* pFX, long priority) override;
    STDMETHODIMP EffectSwapPriorities(long a, long b) override;
    STDMETHODIMP EffectGetCount(long* pCount) override
    {
        if (!pCount)
            return E_POINTER;
        *pCount = (long)m_effects.size();
        return S_OK;
    }
    STDMETHODIMP GetEffect(IAMTimelineObj** ppFx, long Which) override;

    // IAMTimelineEffect
    STDMETHODIMP EffectGetPriority(long* pVal) override { return GetPriority(pVal); }

    // IAMTimelineTransable
    STDMETHODIMP TransAdd(IAMTimelineObj* pTrans) override;
    STDMETHODIMP TransGetCount(long* pCount) override
    {
        if (!pCount)
            return E_POINTER;
        *pCount = (long)m_transitions.size();
        return S_OK;
    }
    STDMETHODIMP GetNextTrans(IAMTimelineObj** ppTrans, REFERENCE_TIME* pInOut) override;
    STDMETHODIMP GetNextTrans2(IAMTimelineObj**, REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTransAtTime(IAMTimelineObj** ppObj, REFERENCE_TIME Time, long SearchDirection) override;
    STDMETHODIMP GetTransAtTime2(IAMTimelineObj**, REFTIME, long) override { return E_NOTIMPL; }

    // IAMTimelineTrans
    STDMETHODIMP GetCutPoint(REFERENCE_TIME* pTLTime) override
    {
        if (!pTLTime)
            return E_POINTER;
        *pTLTime = m_cutPoint;
        return S_OK;
    }
    STDMETHODIMP GetCutPoint2(REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetCutPoint(REFERENCE_TIME TLTime) override
    {
        m_cutPoint = TLTime;
        return S_OK;
    }
    STDMETHODIMP SetCutPoint2(REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetSwapInputs(BOOL* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_swapInputs;
        return S_OK;
    }
    STDMETHODIMP SetSwapInputs(BOOL v) override
    {
        m_swapInputs = v;
        return S_OK;
    }
    STDMETHODIMP GetCutsOnly(BOOL* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_cutsOnly;
        return S_OK;
    }
    STDMETHODIMP SetCutsOnly(BOOL v) override
    {
        m_cutsOnly = v;
        return S_OK;
    }

    // Used by the timeline object.
    TIMELINE_MAJOR_TYPE Type() const { return m_type; }
    void DetachTimeline() { m_timeline = NULL; }
    void TakeApart();
    void LatestStop(REFERENCE_TIME& latest) const;
    CDexNode* m_parent;      // not held
    Slot m_slot;
    bool m_inTimeline;       // a group held by the timeline
    CDexTimeline* m_timeline;

private:
    // The node of a time-ordered list found by a time search (GetSrcAtTime).
    static CDexNode* FindByTime(const std::vector<CDexNode*>& nodes, REFERENCE_TIME Time, long SearchDirection);
    // Priority lists (tracks, effects): a priority is a position in the list;
    // out of range appends on insert and is refused on swap and get.
    static void InsertByPriority(std::vector<CDexNode*>& nodes, CDexNode* node, long priority);
    static HRESULT SwapByPriority(std::vector<CDexNode*>& nodes, long a, long b);
    static HRESULT GetByPriority(const std::vector<CDexNode*>& nodes, IAMTimelineObj** out, long which);
    ~CDexNode();
    static HRESULT OutString(const std::wstring& s, BSTR* out)
    {
        if (!out)
            return E_POINTER;
        *out = SysAllocStringLen(s.c_str(), (UINT)s.size());
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    static CDexNode* FromObj(IAMTimelineObj* obj);
    void Detach();
    void SortSources();
    void SortTransitions();
    HRESULT LayOver(CDexNode* src);
    REFERENCE_TIME MediaAt(REFERENCE_TIME t) const;
    CDexNode* CloneSource() const;
    std::vector<CDexNode*>& ListFor(Slot slot);

    LONG m_ref;
    TIMELINE_MAJOR_TYPE m_type;
    LONG m_genId;
    std::vector<CDexNode*> m_children;     // held; tracks/comps, or a track's sources
    std::vector<CDexNode*> m_effects;      // held
    std::vector<CDexNode*> m_transitions;  // held, in time order
    REFERENCE_TIME m_start, m_stop;
    REFERENCE_TIME m_mediaStart, m_mediaStop, m_mediaLength;
    std::wstring m_mediaName, m_userName, m_groupName;
    long m_streamNumber;
    int m_stretchMode;
    double m_defaultFps;
    BOOL m_muted, m_locked;
    long m_userId;
    GUID m_subGuid;
    IUnknown* m_subObject;
    IPropertySetter* m_propSetter;
    AM_MEDIA_TYPE m_mediaType;
    double m_outputFps;
    BOOL m_previewMode;
    int m_buffering;
    REFERENCE_TIME m_cutPoint;
    BOOL m_swapInputs, m_cutsOnly;
};

class CDexTimeline final : public IAMTimeline {
public:
    CDexTimeline() : m_ref(1), m_nextGenId(1), m_transitionsEnabled(TRUE), m_effectsEnabled(TRUE),
                     m_defaultFps(15.0), m_insertMode(2 /* overlay */)
    {
        m_defaultTransition = GUID_NULL;
        m_defaultEffect = GUID_NULL;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAMTimeline)) {
            *ppv = static_cast<IAMTimeline*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG r = InterlockedDecrement(&m_ref);
        if (r == 0)
            delete this;
        return r;
    }

    STDMETHODIMP CreateEmptyNode(IAMTimelineObj** ppObj, TIMELINE_MAJOR_TYPE Type) override
    {
        if (!ppObj)
            return E_POINTER;
        *ppObj = NULL;
        switch (Type) {
        case TIMELINE_MAJOR_TYPE_COMPOSITE:
        case TIMELINE_MAJOR_TYPE_TRACK:
        case TIMELINE_MAJOR_TYPE_SOURCE:
        case TIMELINE_MAJOR_TYPE_TRANSITION:
        case TIMELINE_MAJOR_TYPE_EFFECT:
        case TIMELINE_MAJOR_TYPE_GROUP:
            break;
        default:
            return E_INVALIDARG;
        }
        CDexNode* node = new (std::nothrow) CDexNode(this, Type, m_nextGenId++);
        if (!node)
            return E_OUTOFMEMORY;
        m_nodes.insert(node);
        *ppObj = node;
        return S_OK;
    }
    STDMETHODIMP AddGroup(IAMTimelineObj* pGroup) override;
    STDMETHODIMP RemGroupFromList(IAMTimelineObj* pGroup) override;
    STDMETHODIMP GetGroup(IAMTimelineObj** ppGroup, long WhichGroup) override
    {
        if (!ppGroup)
            return E_POINTER;
        *ppGroup = NULL;
        if (WhichGroup < 0 || WhichGroup >= (long)m_groups.size())
            return E_INVALIDARG;
        *ppGroup = m_groups[WhichGroup];
        (*ppGroup)->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetGroupCount(long* pCount) override
    {
        if (!pCount)
            return E_POINTER;
        *pCount = (long)m_groups.size();
        return S_OK;
    }
    STDMETHODIMP ClearAllGroups() override
    {
        while (!m_groups.empty())
            m_groups.back()->RemoveAll();
        return S_OK;
    }
    STDMETHODIMP GetInsertMode(long* pMode) override
    {
        if (!pMode)
            return E_POINTER;
        *pMode = m_insertMode;
        return S_OK;
    }
    STDMETHODIMP SetInsertMode(long Mode) override { return Mode == m_insertMode ? S_OK : E_NOTIMPL; }
    STDMETHODIMP EnableTransitions(BOOL fEnabled) override
    {
        m_transitionsEnabled = fEnabled ? TRUE : FALSE;
        return S_OK;
    }
    STDMETHODIMP TransitionsEnabled(BOOL* pfEnabled) override
    {
        if (!pfEnabled)
            return E_POINTER;
        *pfEnabled = m_transitionsEnabled;
        return S_OK;
    }
    STDMETHODIMP EnableEffects(BOOL fEnabled) override
    {
        m_effectsEnabled = fEnabled ? TRUE : FALSE;
        return S_OK;
    }
    STDMETHODIMP EffectsEnabled(BOOL* pfEnabled) override
    {
        if (!pfEnabled)
            return E_POINTER;
        *pfEnabled = m_effectsEnabled;
        return S_OK;
    }
    STDMETHODIMP SetInterestRange(REFERENCE_TIME, REFERENCE_TIME) override { return S_OK; }
    STDMETHODIMP GetDuration(REFERENCE_TIME* pDuration) override
    {
        if (!pDuration)
            return E_POINTER;
        REFERENCE_TIME latest = 0;
        for (CDexNode* g : m_groups)
            g->LatestStop(latest);
        *pDuration = latest;
        return S_OK;
    }
    STDMETHODIMP GetDuration2(double* pDuration) override
    {
        if (!pDuration)
            return E_POINTER;
        REFERENCE_TIME d = 0;
        GetDuration(&d);
        *pDuration = d / 1e7;
        return S_OK;
    }
    STDMETHODIMP SetDefaultFPS(double FPS) override
    {
        m_defaultFps = FPS;
        return S_OK;
    }
    STDMETHODIMP GetDefaultFPS(double* pFPS) override
    {
        if (!pFPS)
            return E_POINTER;
        *pFPS = m_defaultFps;
        return S_OK;
    }
    STDMETHODIMP IsDirty(BOOL* pDirty) override
    {
        if (!pDirty)
            return E_POINTER;
        *pDirty = TRUE;
        return S_OK;
    }
    STDMETHODIMP GetDirtyRange(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCountOfType(long, long*, long*, TIMELINE_MAJOR_TYPE) override { return E_NOTIMPL; }
    STDMETHODIMP ValidateSourceNames(long, IMediaLocator*, LONG_PTR) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultTransition(GUID* pGuid) override
    {
        if (!pGuid)
            return E_POINTER;
        m_defaultTransition = *pGuid;
        return S_OK;
    }
    STDMETHODIMP GetDefaultTransition(GUID* pGuid) override
    {
        if (!pGuid)
            return E_POINTER;
        *pGuid = m_defaultTransition;
        return S_OK;
    }
    STDMETHODIMP SetDefaultEffect(GUID* pGuid) override
    {
        if (!pGuid)
            return E_POINTER;
        m_defaultEffect = *pGuid;
        return S_OK;
    }
    STDMETHODIMP GetDefaultEffect(GUID* pGuid) override
    {
        if (!pGuid)
            return E_POINTER;
        *pGuid = m_defaultEffect;
        return S_OK;
    }
    STDMETHODIMP SetDefaultTransitionB(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultTransitionB(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultEffectB(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultEffectB(BSTR*) override { return E_NOTIMPL; }

    // Used by the nodes.
    void Forget(CDexNode* node) { m_nodes.erase(node); }
    LONG NextGenId() { return m_nextGenId++; }
    void RegisterNode(CDexNode* node) { m_nodes.insert(node); }
    long GroupIndex(const CDexNode* group) const
    {
        for (size_t i = 0; i < m_groups.size(); ++i)
            if (m_groups[i] == group)
                return (long)i;
        return -1;
    }
    void DropGroup(CDexNode* group)
    {
        for (size_t i = 0; i < m_groups.size(); ++i) {
            if (m_groups[i] == group) {
                m_groups.erase(m_groups.begin() + i);
                group->m_inTimeline = false;
                group->Release();
                return;
            }
        }
    }

private:
    ~CDexTimeline()
    {
        ClearAllGroups();
        // Nodes still held by callers outlive us: they lose their timeline.
        for (CDexNode* n : m_nodes)
            n->DetachTimeline();
    }

    LONG m_ref;
    LONG m_nextGenId;
    std::vector<CDexNode*> m_groups;  // held
    std::set<CDexNode*> m_nodes;      // every live node made here, not held
    BOOL m_transitionsEnabled, m_effectsEnabled;
    double m_defaultFps;
    long m_insertMode;
    GUID m_defaultTransition, m_defaultEffect;
};

// ---------------------------------------------------------------------------

CDexNode::CDexNode(CDexTimeline* timeline, TIMELINE_MAJOR_TYPE type, LONG genId)
    : m_parent(NULL), m_slot(SLOT_NONE), m_inTimeline(false), m_timeline(timeline), m_ref(1), m_type(type),
      m_genId(genId), m_start(0), m_stop(0), m_mediaStart(0), m_mediaStop(0), m_mediaLength(0),
      m_streamNumber(0), m_stretchMode(RESIZEF_STRETCH), m_defaultFps(0.0), m_muted(FALSE), m_locked(FALSE),
      m_userId(0), m_subGuid(GUID_NULL), m_subObject(NULL), m_propSetter(NULL), m_outputFps(15.0),
      m_previewMode(TRUE), m_buffering(30), m_cutPoint(0), m_swapInputs(FALSE), m_cutsOnly(FALSE)
{
    memset(&m_mediaType, 0, sizeof(m_mediaType));
}

CDexNode::~CDexNode()
{
    TakeApart();
    if (m_subObject)
        m_subObject->Release();
    if (m_propSetter)
        m_propSetter->Release();
    FreeMediaTypeBlock(m_mediaType);
    if (m_timeline)
        m_timeline->Forget(this);
}

STDMETHODIMP CDexNode::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAMTimelineObj) || IsEqualIID(riid, kNodeIid))
        *ppv = static_cast<IAMTimelineObj*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineGroup) && m_type == TIMELINE_MAJOR_TYPE_GROUP)
        *ppv = static_cast<IAMTimelineGroup*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineComp) && IsComp(m_type))
        *ppv = static_cast<IAMTimelineComp*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineVirtualTrack) &&
             (m_type == TIMELINE_MAJOR_TYPE_TRACK || m_type == TIMELINE_MAJOR_TYPE_COMPOSITE))
        *ppv = static_cast<IAMTimelineVirtualTrack*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineTrack) && m_type == TIMELINE_MAJOR_TYPE_TRACK)
        *ppv = static_cast<IAMTimelineTrack*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineSrc) && m_type == TIMELINE_MAJOR_TYPE_SOURCE)
        *ppv = static_cast<IAMTimelineSrc*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineEffectable) && IsEffectable(m_type))
        *ppv = static_cast<IAMTimelineEffectable*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineEffect) && m_type == TIMELINE_MAJOR_TYPE_EFFECT)
        *ppv = static_cast<IAMTimelineEffect*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineTransable) && IsTransable(m_type))
        *ppv = static_cast<IAMTimelineTransable*>(this);
    else if (IsEqualIID(riid, IID_IAMTimelineTrans) && m_type == TIMELINE_MAJOR_TYPE_TRANSITION)
        *ppv = static_cast<IAMTimelineTrans*>(this);
    if (!*ppv)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// Only our own nodes can join our tree: a foreign object has no place in it.
// Our nodes answer a private interface id with their own object.
CDexNode* CDexNode::FromObj(IAMTimelineObj* obj)
{
    if (!obj)
        return NULL;
    IAMTimelineObj* probe = NULL;
    if (FAILED(obj->QueryInterface(kNodeIid, (void**)&probe)) || !probe)
        return NULL;
    probe->Release();
    return static_cast<CDexNode*>(probe);
}

std::vector<CDexNode*>& CDexNode::ListFor(Slot slot)
{
    if (slot == SLOT_EFFECT)
        return m_effects;
    if (slot == SLOT_TRANSITION)
        return m_transitions;
    return m_children;
}

// Unhooks this node from its parent (or the timeline) and drops the parent's reference.
void CDexNode::Detach()
{
    if (m_inTimeline) {
        if (m_timeline)
            m_timeline->DropGroup(this);  // may release us
        return;
    }
    if (!m_parent)
        return;
    std::vector<CDexNode*>& list = m_parent->ListFor(m_slot);
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == this) {
            list.erase(list.begin() + i);
            break;
        }
    }
    m_parent = NULL;
    m_slot = SLOT_NONE;
    Release();
}

// Detaches every descendant, depth first.
void CDexNode::TakeApart()
{
    for (std::vector<CDexNode*>* list : {&m_children, &m_effects, &m_transitions}) {
        while (!list->empty()) {
            CDexNode* child = list->back();
            child->AddRef();
            child->TakeApart();
            child->Detach();
            child->Release();
        }
    }
}

void CDexNode::LatestStop(REFERENCE_TIME& latest) const
{
    if (m_type == TIMELINE_MAJOR_TYPE_SOURCE || m_type == TIMELINE_MAJOR_TYPE_TRANSITION)
        latest = std::max(latest, m_stop);
    for (const CDexNode* c : m_children)
        c->LatestStop(latest);
    for (const CDexNode* t : m_transitions)
        t->LatestStop(latest);
}

STDMETHODIMP CDexNode::Remove()
{
    AddRef();
    Detach();
    Release();
    return S_OK;
}

STDMETHODIMP CDexNode::RemoveAll()
{
    AddRef();
    Detach();
    TakeApart();
    Release();
    return S_OK;
}

STDMETHODIMP CDexNode::GetStartStop(REFERENCE_TIME* pStart, REFERENCE_TIME* pStop)
{
    if (!pStart || !pStop)
        return E_POINTER;
    if (m_type == TIMELINE_MAJOR_TYPE_SOURCE || m_type == TIMELINE_MAJOR_TYPE_EFFECT ||
        m_type == TIMELINE_MAJOR_TYPE_TRANSITION) {
        *pStart = m_start;
        *pStop = m_stop;
        return S_OK;
    }
    // Tracks, compositions and groups span from 0 to the end of their content.
    REFERENCE_TIME latest = 0;
    LatestStop(latest);
    *pStart = 0;
    *pStop = latest;
    return S_OK;
}

STDMETHODIMP CDexNode::GetStartStop2(REFTIME* pStart, REFTIME* pStop)
{
    if (!pStart || !pStop)
        return E_POINTER;
    REFERENCE_TIME a = 0, b = 0;
    GetStartStop(&a, &b);
    *pStart = a / 1e7;
    *pStop = b / 1e7;
    return S_OK;
}

STDMETHODIMP CDexNode::SetStartStop(REFERENCE_TIME Start, REFERENCE_TIME Stop)
{
    if (m_type != TIMELINE_MAJOR_TYPE_SOURCE && m_type != TIMELINE_MAJOR_TYPE_EFFECT &&
        m_type != TIMELINE_MAJOR_TYPE_TRANSITION)
        return E_NOTIMPL;
    if (Stop < Start || Start < 0)
        return E_INVALIDARG;
    m_start = Start;
    m_stop = Stop;
    if (m_parent && m_slot == SLOT_CHILD)
        m_parent->SortSources();
    else if (m_parent && m_slot == SLOT_TRANSITION)
        m_parent->SortTransitions();
    return S_OK;
}

STDMETHODIMP CDexNode::GetPropertySetter(IPropertySetter** pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_propSetter;
    if (m_propSetter)
        m_propSetter->AddRef();
    return m_propSetter ? S_OK : S_FALSE;
}

STDMETHODIMP CDexNode::SetPropertySetter(IPropertySetter* newVal)
{
    if (newVal)
        newVal->AddRef();
    if (m_propSetter)
        m_propSetter->Release();
    m_propSetter = newVal;
    return S_OK;
}

STDMETHODIMP CDexNode::GetSubObject(IUnknown** pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_subObject;
    if (m_subObject)
        m_subObject->AddRef();
    return m_subObject ? S_OK : S_FALSE;
}

STDMETHODIMP CDexNode::SetSubObject(IUnknown* newVal)
{
    if (newVal)
        newVal->AddRef();
    if (m_subObject)
        m_subObject->Release();
    m_subObject = newVal;
    return S_OK;
}

STDMETHODIMP CDexNode::SetSubObjectGUIDB(BSTR newVal)
{
    GUID g;
    if (!newVal || FAILED(CLSIDFromString(newVal, &g)))
        return E_INVALIDARG;
    m_subGuid = g;
    return S_OK;
}

STDMETHODIMP CDexNode::GetSubObjectGUIDB(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    WCHAR text[40];
    StringFromGUID2(m_subGuid, text, 40);
    *pVal = SysAllocString(text);
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CDexNode::GetTimelineNoRef(IAMTimeline** ppResult)
{
    if (!ppResult)
        return E_POINTER;
    *ppResult = m_timeline;
    return m_timeline ? S_OK : E_FAIL;
}

STDMETHODIMP CDexNode::GetGroupIBelongTo(IAMTimelineGroup** ppGroup)
{
    if (!ppGroup)
        return E_POINTER;
    *ppGroup = NULL;
    CDexNode* n = this;
    while (n->m_parent)
        n = n->m_parent;
    if (n->m_type != TIMELINE_MAJOR_TYPE_GROUP)
        return E_NOINTERFACE;
    *ppGroup = static_cast<IAMTimelineGroup*>(n);
    n->AddRef();
    return S_OK;
}

namespace {

// The time of the frame boundary nearest to t at `milliFps` frames per 1000
// seconds, in integers so that every build rounds alike. Times too large for
// the product are left as they are.
REFERENCE_TIME NearestFrameTime(REFERENCE_TIME t, LONGLONG milliFps)
{
    const LONGLONG kUnitsPer1000s = 10000000000LL;
    const LONGLONG limit = 0x7FFFFFFFFFFFFFFFLL / (milliFps + 1) / 2;
    if (t > limit || t < -limit)
        return t;
    LONGLONG scaled = t * milliFps + kUnitsPer1000s / 2;
    LONGLONG frame = scaled / kUnitsPer1000s;
    if (scaled % kUnitsPer1000s < 0)
        --frame;   // floor for negative times
    const LONGLONG product = frame * kUnitsPer1000s;
    return product >= 0 ? (product + milliFps / 2) / milliFps : -((-product + milliFps / 2) / milliFps);
}

}  // namespace

// Rounds the times to the nearest frame boundary of the group's output rate
// (the timeline's default rate for an object outside any group). Either
// pointer may be null.
STDMETHODIMP CDexNode::FixTimes(REFERENCE_TIME* pStart, REFERENCE_TIME* pStop)
{
    double fps = 0.0;
    CDexNode* top = this;
    while (top->m_parent)
        top = top->m_parent;
    if (top->m_type == TIMELINE_MAJOR_TYPE_GROUP)
        fps = top->m_outputFps;
    else if (m_timeline)
        m_timeline->GetDefaultFPS(&fps);
    if (!(fps > 0.0) || fps > 1000000.0)
        return E_FAIL;
    const LONGLONG milliFps = (LONGLONG)(fps * 1000.0 + 0.5);
    if (milliFps <= 0)
        return E_FAIL;
    if (pStart)
        *pStart = NearestFrameTime(*pStart, milliFps);
    if (pStop)
        *pStop = NearestFrameTime(*pStop, milliFps);
    return S_OK;
}

STDMETHODIMP CDexNode::FixTimes2(REFTIME* pStart, REFTIME* pStop)
{
    REFERENCE_TIME start = pStart ? (REFERENCE_TIME)(*pStart * 1e7 + (*pStart < 0 ? -0.5 : 0.5)) : 0;
    REFERENCE_TIME stop = pStop ? (REFERENCE_TIME)(*pStop * 1e7 + (*pStop < 0 ? -0.5 : 0.5)) : 0;
    HRESULT hr = FixTimes(pStart ? &start : NULL, pStop ? &stop : NULL);
    if (FAILED(hr))
        return hr;
    if (pStart)
        *pStart = start / 1e7;
    if (pStop)
        *pStop = stop / 1e7;
    return S_OK;
}

STDMETHODIMP CDexNode::GetEmbedDepth(long* pVal)
{
    if (!pVal)
        return E_POINTER;
    long depth = 0;
    for (CDexNode* n = m_parent; n; n = n->m_parent)
        ++depth;
    *pVal = depth;
    return S_OK;
}

STDMETHODIMP CDexNode::GetTimeline(IAMTimeline** ppTimeline)
{
    if (!ppTimeline)
        return E_POINTER;
    *ppTimeline = m_timeline;
    if (m_timeline)
        m_timeline->AddRef();
    return m_timeline ? S_OK : E_FAIL;
}

// The priority of a node is its position in its parent's list (a group's:
// among the timeline's groups); -1 when it hangs nowhere.
STDMETHODIMP CDexNode::GetPriority(long* pPriority)
{
    if (!pPriority)
        return E_POINTER;
    *pPriority = -1;
    if (m_inTimeline && m_timeline) {
        *pPriority = m_timeline->GroupIndex(this);
        return S_OK;
    }
    if (!m_parent)
        return S_OK;
    std::vector<CDexNode*>& list = m_parent->ListFor(m_slot);
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == this)
            *pPriority = (long)i;
    return S_OK;
}

STDMETHODIMP CDexNode::VTrackInsBefore(IAMTimelineObj* pVirtualTrack, long Priority)
{
    CDexNode* child = FromObj(pVirtualTrack);
    if (!child)
        return E_POINTER;
    if (child->m_type != TIMELINE_MAJOR_TYPE_TRACK && child->m_type != TIMELINE_MAJOR_TYPE_COMPOSITE)
        return E_INVALIDARG;
    if (child->m_parent || child->m_inTimeline || child == this)
        return E_INVALIDARG;
    for (CDexNode* n = m_parent; n; n = n->m_parent)
        if (n == child)
            return E_INVALIDARG;
    child->AddRef();
    child->m_parent = this;
    child->m_slot = SLOT_CHILD;
    InsertByPriority(m_children, child, Priority);
    return S_OK;
}

STDMETHODIMP CDexNode::VTrackSwapPriorities(long a, long b)
{
    return SwapByPriority(m_children, a, b);
}

STDMETHODIMP CDexNode::GetVTrack(IAMTimelineObj** ppVirtualTrack, long Which)
{
    return GetByPriority(m_children, ppVirtualTrack, Which);
}

STDMETHODIMP CDexNode::GetNextVTrack(IAMTimelineObj* pVirtualTrack, IAMTimelineObj** ppNext)
{
    if (!ppNext)
        return E_POINTER;
    *ppNext = NULL;
    size_t i = 0;
    if (pVirtualTrack) {
        CDexNode* n = FromObj(pVirtualTrack);
        while (i < m_children.size() && m_children[i] != n)
            ++i;
        if (i == m_children.size())
            return E_INVALIDARG;
        ++i;
    }
    if (i >= m_children.size())
        return S_FALSE;
    *ppNext = m_children[i];
    m_children[i]->AddRef();
    return S_OK;
}

void CDexNode::SortSources()
{
    std::stable_sort(m_children.begin(), m_children.end(),
                     [](const CDexNode* a, const CDexNode* b) { return a->m_start < b->m_start; });
}

void CDexNode::SortTransitions()
{
    std::stable_sort(m_transitions.begin(), m_transitions.end(),
                     [](const CDexNode* a, const CDexNode* b) { return a->m_start < b->m_start; });
}

// Media time that plays at timeline time t, at the source's own rate.
REFERENCE_TIME CDexNode::MediaAt(REFERENCE_TIME t) const
{
    REFERENCE_TIME len = m_stop - m_start;
    REFERENCE_TIME mlen = m_mediaStop - m_mediaStart;
    if (len <= 0)
        return m_mediaStart;
    if (len == mlen)
        return m_mediaStart + (t - m_start);
    return m_mediaStart + (REFERENCE_TIME)((long double)(t - m_start) * mlen / len);
}

CDexNode* CDexNode::CloneSource() const
{
    CDexNode* c = new (std::nothrow) CDexNode(m_timeline, m_type, m_timeline ? m_timeline->NextGenId() : 0);
    if (!c)
        return NULL;
    if (m_timeline)
        m_timeline->RegisterNode(c);
    c->m_start = m_start;
    c->m_stop = m_stop;
    c->m_mediaStart = m_mediaStart;
    c->m_mediaStop = m_mediaStop;
    c->m_mediaLength = m_mediaLength;
    c->m_mediaName = m_mediaName;
    c->m_streamNumber = m_streamNumber;
    c->m_stretchMode = m_stretchMode;
    c->m_defaultFps = m_defaultFps;
    c->m_muted = m_muted;
    c->m_subGuid = m_subGuid;
    c->SetSubObject(m_subObject);
    c->SetPropertySetter(m_propSetter);
    return c;
}

// Lays `src` over the sources already on this track (see the header).
HRESULT CDexNode::LayOver(CDexNode* src)
{
    const REFERENCE_TIME s = src->m_start, e = src->m_stop;
    std::vector<CDexNode*> existing(m_children);
    for (CDexNode* x : existing) {
        if (x->m_stop <= s || x->m_start >= e)
            continue;
        if (s <= x->m_start && x->m_stop <= e) {
            x->Remove();
        } else if (x->m_start < s && e < x->m_stop) {
            CDexNode* tail = x->CloneSource();
            if (!tail)
                return E_OUTOFMEMORY;
            tail->m_mediaStart = x->MediaAt(e);
            tail->m_start = e;
            x->m_mediaStop = x->MediaAt(s);
            x->m_stop = s;
            tail->m_parent = this;
            tail->m_slot = SLOT_CHILD;
            m_children.push_back(tail);  // our reference is the creation one
        } else if (x->m_start < s) {
            x->m_mediaStop = x->MediaAt(s);
            x->m_stop = s;
        } else {
            x->m_mediaStart = x->MediaAt(e);
            x->m_start = e;
        }
    }
    return S_OK;
}

STDMETHODIMP CDexNode::SrcAdd(IAMTimelineObj* pSource)
{
    CDexNode* src = FromObj(pSource);
    if (!src)
        return E_POINTER;
    if (src->m_type != TIMELINE_MAJOR_TYPE_SOURCE || src->m_parent)
        return E_INVALIDARG;
    // A source of no length plays nothing and would stall every walk.
    if (src->m_stop <= src->m_start)
        return E_INVALIDARG;
    HRESULT hr = LayOver(src);
    if (FAILED(hr))
        return hr;
    src->AddRef();
    src->m_parent = this;
    src->m_slot = SLOT_CHILD;
    m_children.push_back(src);
    SortSources();
    return S_OK;
}

STDMETHODIMP CDexNode::GetNextSrc(IAMTimelineObj** ppSrc, REFERENCE_TIME* pInOut)
{
    if (!ppSrc || !pInOut)
        return E_POINTER;
    *ppSrc = NULL;
    // A source of no length (made so after it was added) is passed over: it
    // would hand back its own start and the walk would never move on.
    for (CDexNode* c : m_children) {
        if (c->m_start >= *pInOut && c->m_stop > c->m_start) {
            *ppSrc = c;
            c->AddRef();
            *pInOut = c->m_stop;
            return S_OK;
        }
    }
    return S_FALSE;
}

STDMETHODIMP CDexNode::GetNextSrcEx(IAMTimelineObj* pLast, IAMTimelineObj** ppNext)
{
    if (!ppNext)
        return E_POINTER;
    *ppNext = NULL;
    size_t i = 0;
    if (pLast) {
        CDexNode* n = FromObj(pLast);
        while (i < m_children.size() && m_children[i] != n)
            ++i;
        if (i == m_children.size())
            return E_INVALIDARG;
        ++i;
    }
    if (i >= m_children.size())
        return S_FALSE;
    *ppNext = m_children[i];
    m_children[i]->AddRef();
    return S_OK;
}

STDMETHODIMP CDexNode::MoveEverythingBy(REFERENCE_TIME Start, REFERENCE_TIME MoveBy)
{
    for (CDexNode* c : m_children)
        if (c->m_start >= Start && c->m_start + MoveBy < 0)
            return E_INVALIDARG;
    for (CDexNode* c : m_children) {
        if (c->m_start >= Start) {
            c->m_start += MoveBy;
            c->m_stop += MoveBy;
        }
    }
    for (CDexNode* t : m_transitions) {
        if (t->m_start >= Start && t->m_start + MoveBy >= 0) {
            t->m_start += MoveBy;
            t->m_stop += MoveBy;
        }
    }
    SortSources();
    SortTransitions();
    return S_OK;
}

void CDexNode::InsertByPriority(std::vector<CDexNode*>& nodes, CDexNode* node, long priority)
{
    if (priority < 0 || priority >= (long)nodes.size())
        nodes.push_back(node);
    else
        nodes.insert(nodes.begin() + priority, node);
}

HRESULT CDexNode::SwapByPriority(std::vector<CDexNode*>& nodes, long a, long b)
{
    if (a < 0 || b < 0 || a >= (long)nodes.size() || b >= (long)nodes.size())
        return E_INVALIDARG;
    std::swap(nodes[a], nodes[b]);
    return S_OK;
}

HRESULT CDexNode::GetByPriority(const std::vector<CDexNode*>& nodes, IAMTimelineObj** out, long which)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (which < 0 || which >= (long)nodes.size())
        return E_INVALIDARG;
    *out = nodes[which];
    nodes[which]->AddRef();
    return S_OK;
}

// Exactly at: the node playing at Time. Forwards: that one, else the first
// starting after Time. Backwards: that one, else the last ending at or before
// Time.
CDexNode* CDexNode::FindByTime(const std::vector<CDexNode*>& nodes, REFERENCE_TIME Time,
                               long SearchDirection)
{
    CDexNode* found = NULL;
    for (CDexNode* n : nodes)
        if (n->m_start <= Time && Time < n->m_stop)
            found = n;
    if (found)
        return found;
    if (SearchDirection > 0) {
        for (CDexNode* n : nodes)
            if (n->m_start > Time)
                return n;
    } else if (SearchDirection < 0) {
        for (CDexNode* n : nodes)
            if (n->m_stop <= Time)
                found = n;
    }
    return found;
}

// The source at Time, by the rules of FindByTime.
STDMETHODIMP CDexNode::GetSrcAtTime(IAMTimelineObj** ppSrc, REFERENCE_TIME Time, long SearchDirection)
{
    if (!ppSrc)
        return E_POINTER;
    *ppSrc = NULL;
    CDexNode* found = FindByTime(m_children, Time, SearchDirection);
    if (!found)
        return S_FALSE;
    *ppSrc = found;
    found->AddRef();
    return S_OK;
}

STDMETHODIMP CDexNode::EffectInsBefore(IAMTimelineObj* pFX, long priority)
{
    CDexNode* fx = FromObj(pFX);
    if (!fx)
        return E_POINTER;
    if (fx->m_type != TIMELINE_MAJOR_TYPE_EFFECT || fx->m_parent)
        return E_INVALIDARG;
    fx->AddRef();
    fx->m_parent = this;
    fx->m_slot = SLOT_EFFECT;
    InsertByPriority(m_effects, fx, priority);
    return S_OK;
}

STDMETHODIMP CDexNode::EffectSwapPriorities(long a, long b)
{
    return SwapByPriority(m_effects, a, b);
}

STDMETHODIMP CDexNode::GetEffect(IAMTimelineObj** ppFx, long Which)
{
    return GetByPriority(m_effects, ppFx, Which);
}

STDMETHODIMP CDexNode::TransAdd(IAMTimelineObj* pTrans)
{
    CDexNode* tr = FromObj(pTrans);
    if (!tr)
        return E_POINTER;
    if (tr->m_type != TIMELINE_MAJOR_TYPE_TRANSITION || tr->m_parent)
        return E_INVALIDARG;
    if (tr->m_stop <= tr->m_start)
        return E_INVALIDARG;
    for (CDexNode* t : m_transitions)
        if (t->m_start < tr->m_stop && tr->m_start < t->m_stop)
            return E_INVALIDARG;
    tr->AddRef();
    tr->m_parent = this;
    tr->m_slot = SLOT_TRANSITION;
    m_transitions.push_back(tr);
    SortTransitions();
    return S_OK;
}

STDMETHODIMP CDexNode::GetNextTrans(IAMTimelineObj** ppTrans, REFERENCE_TIME* pInOut)
{
    if (!ppTrans || !pInOut)
        return E_POINTER;
    *ppTrans = NULL;
    // Passed over like sources of no length.
    for (CDexNode* t : m_transitions) {
        if (t->m_start >= *pInOut && t->m_stop > t->m_start) {
            *ppTrans = t;
            t->AddRef();
            *pInOut = t->m_stop;
            return S_OK;
        }
    }
    return S_FALSE;
}

STDMETHODIMP CDexNode::GetTransAtTime(IAMTimelineObj** ppObj, REFERENCE_TIME Time, long SearchDirection)
{
    if (!ppObj)
        return E_POINTER;
    *ppObj = NULL;
    CDexNode* found = FindByTime(m_transitions, Time, SearchDirection);
    if (!found)
        return S_FALSE;
    *ppObj = found;
    found->AddRef();
    return S_OK;
}

// ---------------------------------------------------------------------------

STDMETHODIMP CDexTimeline::AddGroup(IAMTimelineObj* pGroup)
{
    if (!pGroup)
        return E_POINTER;
    IAMTimelineObj* probe = NULL;
    if (FAILED(pGroup->QueryInterface(kNodeIid, (void**)&probe)) || !probe)
        return E_INVALIDARG;
    probe->Release();
    CDexNode* group = static_cast<CDexNode*>(probe);
    if (!group || group->Type() != TIMELINE_MAJOR_TYPE_GROUP || group->m_inTimeline || group->m_timeline != this)
        return E_INVALIDARG;
    group->AddRef();
    group->m_inTimeline = true;
    m_groups.push_back(group);
    return S_OK;
}

STDMETHODIMP CDexTimeline::RemGroupFromList(IAMTimelineObj* pGroup)
{
    if (!pGroup)
        return E_POINTER;
    for (CDexNode* g : m_groups) {
        if (static_cast<IAMTimelineObj*>(g) == pGroup) {
            DropGroup(g);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

} // namespace

HRESULT DexCreateTimeline(REFIID riid, void** ppv)
{
    CDexTimeline* t = new (std::nothrow) CDexTimeline();
    if (!t)
        return E_OUTOFMEMORY;
    HRESULT hr = t->QueryInterface(riid, ppv);
    t->Release();
    return hr;
}
