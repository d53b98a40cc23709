// Reading a timeline from XTL text: a golden file of the program's kind of
// timeline (Chinese names, a bare "&", a transition) equals the tree the API
// builds and plays; the temporary UTF-16 file and its escaping; a missing
// source; hostile files fail with nothing half-built; XTL times.
#include "DexTestMedia.h"
#include "TimelineTestSupport.h"
#include "TestSupport.h"

#include "XRVDirectShow/MediaTypes.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/XtlReader.h"
#include "platform/filters/SinkFilter.h"

namespace {

using namespace dextest;

std::wstring Wide(const std::string& s)
{
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, NULL, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, NULL, 0, NULL, NULL);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, &s[0], n, NULL, NULL);
    return s;
}

// The file the reader is handed, captured before the timeline deletes it.
std::string g_tempPath;
std::string g_tempBytes;

struct CapturingXml final : public IXml2Dex {
    LONG ref = 1;
    IXml2Dex* real = NULL;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IXml2Dex)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++ref; }
    STDMETHODIMP_(ULONG) Release() override
    {
        if (--ref)
            return ref;
        real->Release();
        delete this;
        return 0;
    }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP CreateGraphFromFile(IUnknown**, IUnknown*, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP WriteGrfFile(IUnknown*, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP WriteXMLFile(IUnknown*, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP ReadXMLFile(IUnknown* tl, BSTR name) override
    {
        g_tempPath = Narrow(name);
        testsupport::ReadFileBytes(g_tempPath, &g_tempBytes);
        return real->ReadXMLFile(tl, name);
    }
    STDMETHODIMP Delete(IUnknown*, double, double) override { return E_NOTIMPL; }
    STDMETHODIMP WriteXMLPart(IUnknown*, double, double, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP PasteXMLFile(IUnknown*, double, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP CopyXML(IUnknown*, double, double) override { return E_NOTIMPL; }
    STDMETHODIMP PasteXML(IUnknown*, double) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override { return S_OK; }
    STDMETHODIMP ReadXML(IUnknown*, IUnknown*) override { return E_NOTIMPL; }
    STDMETHODIMP WriteXML(IUnknown*, BSTR*) override { return E_NOTIMPL; }
};

HRESULT MakeCapturingXml(REFIID riid, void** ppv)
{
    CapturingXml* x = new CapturingXml();
    HRESULT hr = DexCreateXml2Dex(IID_IXml2Dex, (void**)&x->real);
    if (FAILED(hr)) {
        delete x;
        return hr;
    }
    hr = x->QueryInterface(riid, ppv);
    x->Release();
    return hr;
}

const CLSID kCountSink = {0x6e0e0c11, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x40}};
class CCountSink : public CSinkFilterBase {
public:
    CCountSink() : CSinkFilterBase(kCountSink, 1) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB32) ? S_OK : S_FALSE;
    }
    HRESULT RenderSample(int, IMediaSample*) override
    {
        InterlockedIncrement(&samples);
        return S_OK;
    }
    volatile LONG samples = 0;
};

class TimelineXmlTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        XRVDSTimeline::s_bForcePlainRenderer = TRUE;
        nameA = dir.Path() + "\\" + Narrow(L"\u7ea2\u8272&A.avi");
        nameB = dir.Path() + "\\" + Narrow(L"\u84dd\u8272B.avi");
        AviPlan avi;
        avi.width = 320;
        avi.height = 240;
        avi.codec = kXrvc;
        avi.frameColours.assign(10, kRed);
        ASSERT_EQ("", WriteAvi(nameA, avi));
        avi.codec = 0;
        avi.frameColours.assign(10, kBlue);
        ASSERT_EQ("", WriteAvi(nameB, avi));
        ASSERT_TRUE(WriteSolidPng(dir.File("S.png"), 1280, 720, kGreen));
    }
    void TearDown() override
    {
        XRVDSTimeline::s_bForcePlainRenderer = FALSE;
        DexSetClassFactory(CLSID_Xml2Dex, NULL);
        ComTest::TearDown();
    }
    // The golden file with {DIR} replaced, as narrow text of the program.
    std::string Golden()
    {
        std::string utf8;
        EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::SourceDir() + "\\tests\\data\\timeline\\ABS.xtl", &utf8));
        int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), NULL, 0);
        std::wstring w(n, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &w[0], n);
        std::wstring folder = Wide(dir.Path());
        for (size_t at; (at = w.find(L"{DIR}")) != std::wstring::npos;)
            w.replace(at, 5, folder);
        return Narrow(w);
    }
    CComPtr<IAMTimelineObj> VideoTrack(XRVDSTimeline& t)
    {
        CComPtr<IAMTimelineComp> comp;
        EXPECT_EQ(S_OK, t.GetVideoComp(&comp, t.GetVideoCompNum() < 0 ? 0 : t.GetVideoCompNum()));
        CComPtr<IAMTimelineObj> track;
        if (comp)
            comp->GetVTrack(&track, 0);
        return track;
    }
    testsupport::ScratchDir dir{"xtl"};
    std::string nameA, nameB;
};

struct ClipFacts {
    Span span;
    std::wstring name;
    int stretch;
};

std::vector<ClipFacts> Clips(IAMTimelineObj* trackObj)
{
    std::vector<ClipFacts> all;
    CComQIPtr<IAMTimelineTrack> track(trackObj);
    if (!track)
        return all;
    REFERENCE_TIME at = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> obj;
        if (track->GetNextSrc(&obj, &at) != S_OK || !obj)
            break;
        ClipFacts f;
        obj->GetStartStop(&f.span.start, &f.span.stop);
        CComQIPtr<IAMTimelineSrc> src(obj);
        src->GetMediaTimes(&f.span.mstart, &f.span.mstop);
        BSTR name = NULL;
        src->GetMediaName(&name);
        f.name = name ? name : L"";
        SysFreeString(name);
        src->GetStretchMode(&f.stretch);
        all.push_back(f);
    }
    return all;
}

TEST_F(TimelineXmlTest, GoldenFileEqualsTheApiTreeAndPlays)
{
    DexSetClassFactory(CLSID_Xml2Dex, MakeCapturingXml);
    XRVDSTimeline t(TRUE, TRUE);
    HRESULT hr = t.ReadTimelineFromXMLFile(Golden().c_str());
    EXPECT_EQ(S_OK, hr);

    // The temporary file: FF FE, UTF-16, the bare "&" escaped, "&lt;" kept; gone now.
    ASSERT_GE(g_tempBytes.size(), 2u);
    EXPECT_EQ('\xFF', g_tempBytes[0]);
    EXPECT_EQ('\xFE', g_tempBytes[1]);
    std::wstring written((const wchar_t*)(g_tempBytes.data() + 2), (g_tempBytes.size() - 2) / 2);
    EXPECT_NE(std::wstring::npos, written.find(L"\u7ea2\u8272&amp;A.avi"));
    EXPECT_NE(std::wstring::npos, written.find(L"a&lt;b"));
    EXPECT_EQ(std::wstring::npos, written.find(L"&amp;lt;"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(g_tempPath.c_str())) << "the temporary file is gone";

    // The same tree as the API builds.
    XRVDSTimeline api(TRUE, TRUE);
    {
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, api.GetVideoComp(&comp, api.GetVideoCompNum()));
        CComPtr<IAMTimelineTrack> track;
        ASSERT_EQ(S_OK, api.AddTrackToComp(comp, &track));
        struct Clip {
            std::wstring name;
            double start, stop;
            int stretch;
        } clips[] = {{Wide(nameA), 0, 2, 0}, {Wide(nameB), 2, 4, 1}, {Wide(dir.File("S.png")) + L".XRVImg3", 4, 5, 5}};
        for (const Clip& c : clips) {
            CComPtr<IAMTimelineObj> obj;
            ASSERT_EQ(S_OK, api.m_pTimeline->CreateEmptyNode(&obj, TIMELINE_MAJOR_TYPE_SOURCE));
            CComQIPtr<IAMTimelineSrc> src(obj);
            BSTR b = SysAllocString(c.name.c_str());
            src->SetMediaName(b);
            SysFreeString(b);
            src->SetMediaTimes(0, Sec(c.stop - c.start));
            src->SetStretchMode(c.stretch);
            obj->SetStartStop(Sec(c.start), Sec(c.stop));
            ASSERT_EQ(S_OK, track->SrcAdd(obj));
        }
    }
    CComPtr<IAMTimelineComp> readComp;
    ASSERT_EQ(S_OK, t.GetVideoComp(&readComp, t.GetVideoCompNum()));
    CComPtr<IAMTimelineObj> readTrack;
    ASSERT_EQ(S_OK, readComp->GetVTrack(&readTrack, 0));
    std::vector<ClipFacts> a = Clips(VideoTrack(api)), r = Clips(readTrack);
    ASSERT_EQ(3u, r.size());
    ASSERT_EQ(a.size(), r.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].span.start, r[i].span.start) << i;
        EXPECT_EQ(a[i].span.stop, r[i].span.stop) << i;
        EXPECT_EQ(a[i].span.mstart, r[i].span.mstart) << i;
        EXPECT_EQ(a[i].span.mstop, r[i].span.mstop) << i;
        EXPECT_TRUE(a[i].name == r[i].name) << i;
        EXPECT_EQ(a[i].stretch, r[i].stretch) << i;
    }
    CComQIPtr<IAMTimelineTransable> transable(readTrack);
    long transitions = 0;
    transable->TransGetCount(&transitions);
    EXPECT_EQ(1, transitions);
    CComQIPtr<IAMTimelineTrack> tr(readTrack);
    CComPtr<IAMTimelineObj> trans;
    REFERENCE_TIME at = 0;
    ASSERT_EQ(S_OK, transable->GetNextTrans(&trans, &at));
    REFERENCE_TIME ts = 0, te = 0;
    trans->GetStartStop(&ts, &te);
    EXPECT_EQ(Sec(1.5), ts);
    EXPECT_EQ(Sec(2.5), te);

    // No audio group in the file: one was added.
    EXPECT_NE(-1, t.m_nAudioPin);
    EXPECT_NE(-1, t.m_nVideoPin);

    // It plays: output mode renders 5 s at the largest rate (5 fps).
    ASSERT_EQ(S_OK, t.UpdateFilterGraph(TRUE, FALSE));
    CCountSink* sink = new CCountSink();
    CComPtr<IBaseFilter> hold(sink);
    t.m_pGraph->AddFilter(sink, L"Sink");
    CComPtr<IPin> out;
    ASSERT_EQ(S_OK, t.m_pRenderEngine->GetGroupOutputPin(t.m_nVideoPin, &out));
    ASSERT_EQ(S_OK, t.m_pGraph->ConnectDirect(out, sink->InputPin(0), NULL));
    CComPtr<IPin> audioOut;
    if (SUCCEEDED(t.m_pRenderEngine->GetGroupOutputPin(t.m_nAudioPin, &audioOut)))
        t.m_pGraph->Render(audioOut);
    CComQIPtr<IMediaControl> control(t.m_pGraph);
    CComPtr<IMediaEvent> events;
    t.m_pGraph->QueryInterface(IID_IMediaEvent, (void**)&events);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    long code = 0;
    EXPECT_EQ(S_OK, events->WaitForCompletion(30000, &code));
    control->Stop();
    EXPECT_EQ(25, sink->samples);
}

TEST_F(TimelineXmlTest, MissingSourceAnswersOne)
{
    XRVDSTimeline t(TRUE, TRUE);
    std::string text = Golden();
    std::string gone = Narrow(L"\u84dd\u8272B.avi");
    text.replace(text.find(gone), gone.size(), "gone.avi");
    EXPECT_EQ(S_FALSE, t.ReadTimelineFromXMLFile(text.c_str()));
}

// A hostile file fails the read; the timeline holds no group afterwards and
// the temporary file is gone.
TEST_F(TimelineXmlTest, HostileFilesFailWithNothingBuilt)
{
    const char* head = "<timeline><group type=\"video\" username=\"Video Group\"";
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"a bad number", std::string(head) + "><track><clip src=\"x.avi\" start=\"abc\" stop=\"2\"/></track></group></timeline>"},
        {"stop before start", std::string(head) + "><track><clip src=\"x.avi\" start=\"3\" stop=\"2\"/></track></group></timeline>"},
        {"an absurd width", std::string(head) + " width=\"1000000\"><track/></group></timeline>"},
        {"no frame rate", std::string(head) + " framerate=\"0\"><track/></group></timeline>"},
        {"an absurd sample rate", "<timeline><group type=\"audio\" samplingrate=\"5\"/></timeline>"},
        {"an unclosed element", std::string(head) + "><track>"},
        {"an unknown entity", std::string(head) + " username=\"&foo;\"/></timeline>"},
        {"a later bad clip", std::string(head) + "><track><clip src=\"x.avi\" start=\"0\" stop=\"1\"/>"
                                                  "<clip src=\"y.avi\" start=\"1\" stop=\"1:99:00\"/></track></group></timeline>"},
        {"not XML", "just text"},
    };
    DexSetClassFactory(CLSID_Xml2Dex, MakeCapturingXml);
    for (const Case& c : cases) {
        XRVDSTimeline t(TRUE, TRUE);
        g_tempPath.clear();
        EXPECT_TRUE(FAILED(t.ReadTimelineFromXMLFile(c.text.c_str()))) << c.name;
        long groups = -1;
        t.m_pTimeline->GetGroupCount(&groups);
        EXPECT_EQ(0, groups) << c.name;
        EXPECT_FALSE(g_tempPath.empty()) << c.name;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(g_tempPath.c_str())) << c.name;
    }
}

TEST(XtlTime, Forms)
{
    struct Case {
        const wchar_t* text;
        bool ok;
        REFERENCE_TIME time;
    } cases[] = {
        {L"4.5", true, 45000000},        {L"0", true, 0},
        {L"00:00:04.50", true, 45000000}, {L"1:02:03.1234567", true, 37231234567LL},
        {L"02:03", true, 1230000000},     {L"", false, 0},
        {L"-1", false, 0},               {L"1e3", false, 0},
        {L"4.", false, 0},               {L"00:61:00", false, 0},
        {L"1.12345678", false, 0},       {L"abc", false, 0},
    };
    for (const Case& c : cases) {
        REFERENCE_TIME t = -7;
        EXPECT_EQ(c.ok, ParseXtlTime(c.text, &t) != FALSE) << std::string(c.text, c.text + wcslen(c.text));
        if (c.ok) {
            EXPECT_EQ(c.time, t) << std::string(c.text, c.text + wcslen(c.text));
        }
    }
}

}  // namespace
