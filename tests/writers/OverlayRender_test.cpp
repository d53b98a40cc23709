// Two recorded clips (red A, blue B; 320x240 at 10 fps, 2 s each) joined by
// a 1 s transition, with a Chinese text and a faded-in PNG image over them,
// all put together through the playback facade and rendered by the file
// writer into an uncompressed AVI at 10/1, which ffmpeg decodes:
// - the transition frames are the software routine applied to the clips;
// - the text shows exactly over its span, the image exactly, half-faded and
//   gone as its span and fade say;
// - the overlays written as XML and read back into a new timeline by type
//   name keep every field and render the same frames (framemd5);
// - a render range gives the same frames as that part of the whole render;
// - overlays removed and deleted during a render never show in part.
#include "WriterTestUtil.h"
#include "FakeProgress.h"

#include "DexTestMedia.h"
#include "TestSupport.h"

#include "XRVDirectShow/XRVDSFileWriter.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/XRVDShow.h"
#include "capture/RecordSettings.h"
#include "overlays/HotspotInfo.h"
#include "overlays/OverlayImageAbove.h"
#include "overlays/OverlayList.h"
#include "overlays/OverlayRectangle.h"
#include "overlays/OverlayText.h"
#include "overlays/SoftTransitions.h"
#include "settings/XmlNode.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace writertest;

namespace {

const LONGLONG kSec = 10000000;
const int kW = 320, kH = 240, kFps = 10;
const int kFrames = 50;   // A 2 s, the transition's 1 s, B 2 s

// The image: 64x48 at (200, 20); the text's box: where its glyphs may land.
const RECT kImage = {200, 20, 264, 68};
const RECT kTextBox = {20, 140, 300, 220};

struct Rgb {
    int r, g, b;
};

bool Near(const Rgb& a, const Rgb& b, int tolerance)
{
    return abs(a.r - b.r) <= tolerance && abs(a.g - b.g) <= tolerance && abs(a.b - b.b) <= tolerance;
}

std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// The decoded frames of a file, each kW x kH RGB, rows from the top.
struct Frames {
    std::vector<std::string> frames;
    Rgb At(int n, int x, int y) const
    {
        const unsigned char* p = (const unsigned char*)frames[(size_t)n].data() + ((size_t)y * kW + x) * 3;
        return {p[0], p[1], p[2]};
    }
    // Pixels of a rectangle of frame n near white (text glyphs).
    int WhiteIn(int n, const RECT& r) const
    {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                Rgb c = At(n, x, y);
                count += c.r > 200 && c.g > 200 && c.b > 200;
            }
        return count;
    }
};

Frames Decode(const std::string& file, const std::string& scratch)
{
    Frames out;
    Host("ffmpeg -v error -y -i '" + testsupport::UnixPath(file) + "' -map 0:v:0 -f rawvideo -pix_fmt rgb24 '" +
         testsupport::UnixPath(scratch) + "'");
    std::string bytes;
    testsupport::ReadFileBytes(scratch, &bytes);
    DeleteFileA(scratch.c_str());
    const size_t size = (size_t)kW * kH * 3;
    for (size_t at = 0; at + size <= bytes.size(); at += size)
        out.frames.push_back(bytes.substr(at, size));
    return out;
}

// The frame digests without ffmpeg's header lines.
std::string FrameMd5(const std::string& file)
{
    std::string text = Host("ffmpeg -v error -i '" + testsupport::UnixPath(file) + "' -map 0:v:0 -f framemd5 -");
    std::string body;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line[0] != '#')
            body += line + "\n";
        at = end + 1;
    }
    return body;
}

// What the routine makes of a red and a blue frame at t, as RGB by pixel.
std::vector<Rgb> RoutineFrame(const char* name, double t)
{
    const SoftTransitionRoutine* routine = SoftTransitionByName(name);
    std::vector<uint32_t> out((size_t)kW * kH, 0x00FF0000), in((size_t)kW * kH, 0x000000FF);
    SoftFrameInfo info = {0, kW, kH};
    std::vector<Rgb> rgb;
    if (!routine || !SoftApplyTransition(*routine, t, &info, out.data(), in.data()))
        return rgb;
    for (uint32_t p : in)
        rgb.push_back({(int)((p >> 16) & 0xFF), (int)((p >> 8) & 0xFF), (int)(p & 0xFF)});
    return rgb;
}

TransitionInfo TransitionNamed(const char* name)
{
    TransitionInfo info;
    for (const SoftTransitionClass& c : kSoftTransitionClasses)
        if (strcmp(c.name, name) == 0) {
            std::wstring wide(c.clsid, c.clsid + strlen(c.clsid));
            CLSIDFromString(const_cast<LPOLESTR>(wide.c_str()), &info.guid);
        }
    info.uIndexStart = 0;
    info.uIndexStop = 1;
    info.bPlaceByTime = FALSE;
    info.rtStart = 2 * kSec;
    info.rtStop = 3 * kSec;
    info.rtDuration = kSec;
    return info;
}

class OverlayRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&gdiplusToken, &input, NULL));
        XRVDSTimeline::s_bForcePlainRenderer = TRUE;
        for (int i = 0; i < 2; ++i) {
            dextest::AviPlan avi;
            avi.width = kW;
            avi.height = kH;
            avi.fps = kFps;
            avi.frameColours.assign(20, i == 0 ? dextest::kRed : dextest::kBlue);
            ASSERT_EQ("", dextest::WriteAvi(clip[i], avi));
        }
        ASSERT_TRUE(dextest::WriteSolidPng(png, 64, 48, dextest::kGreen));
        CreateDirectoryA(work.c_str(), NULL);
        settings.m_nHeader[0] = 0;   // AVI
        settings.m_nHeader[1] = 2;   // the stored size
        settings.m_nOutputWidth = kW;
        settings.m_nOutputHeight = kH;
        settings.m_bInterleave = FALSE;
        settings.m_strVideoCompressor = "";
        settings.m_FrameRate.m_nRate = kFps;
        settings.m_FrameRate.m_nScale = 1;
        settings.m_nValue27 = 0;   // no sound
    }
    void TearDown() override
    {
        XRVDSTimeline::s_bForcePlainRenderer = FALSE;
        Gdiplus::GdiplusShutdown(gdiplusToken);
        CoUninitialize();
    }

    // A and B through the facade, joined by the named transition.
    std::unique_ptr<XRVDShow> Clips(const char* transition)
    {
        std::unique_ptr<XRVDShow> facade(new XRVDShow(TRUE));
        EXPECT_EQ(S_OK, facade->AddMediaFile(0, clip[0].c_str(), 0, 2 * kSec));
        EXPECT_EQ(S_OK, facade->AddMediaFile(0, clip[1].c_str(), 2 * kSec, 4 * kSec));
        EXPECT_EQ(S_OK, facade->AppendTransition(TransitionNamed(transition)));
        return facade;
    }

    // The Chinese text over [0.5 s, 3 s) and the image with its hot spot over
    // [1 s, 3.5 s), faded in over the half second before.
    void AddOverlays(XRVDShow* facade)
    {
        COverlayText* text = new COverlayText;
        text->m_text = "中文字幕";
        text->m_font.lfHeight = 40;
        text->m_textColor = 0xFFFFFFFF;
        text->m_antiAliasText = 0;
        text->m_rectDestX = 30;
        text->m_rectDestY = 150;
        text->m_start = kSec / 2;
        text->m_end = 3 * kSec;
        COverlayImageAbove* image = new COverlayImageAbove;
        image->m_imagePath = png.c_str();
        image->m_rectDestX = (float)kImage.left;
        image->m_rectDestY = (float)kImage.top;
        image->m_rectDestWidth = 64;
        image->m_rectDestHeight = 48;
        image->m_movieWidth = kW;
        image->m_movieHeight = kH;
        image->m_start = kSec;
        image->m_end = 35 * kSec / 10;
        image->m_fadeIn = kSec / 2;
        image->Hotspot().m_jumpUrl = "http://example.invalid/next";
        image->Hotspot().m_gotoTime = 123456789012LL;
        image->Hotspot().m_action = 2;
        image->Hotspot().m_openUrlInNewWindow = 1;
        image->Hotspot().m_pauseAtEnd = 0;
        image->Hotspot().m_bookmarkTime = 42 * kSec;
        image->Hotspot().m_bookmarkUniqueId = 0xCAFE0042;
        LONGLONG length = 0;
        ASSERT_EQ(S_OK, facade->InsertOverlayFirst(text, &length));
        EXPECT_EQ(25 * kSec / 10, length);
        ASSERT_EQ(S_OK, facade->InsertOverlayFirst(image, &length));
        EXPECT_EQ(25 * kSec / 10, length);
    }

    // Renders the facade's timeline through the writer; the AVI's path, or
    // empty when the write failed. onTick runs on this thread meanwhile.
    std::string Render(XRVDShow* facade, LONGLONG start = -1, LONGLONG stop = -1,
                       std::function<void()> onTick = nullptr)
    {
        XRVDSFileWriter writer;
        writer.m_strWorkFolder = work.c_str();
        CFakeProgress* progress = new CFakeProgress(&writer);
        progress->onTick = onTick;
        writer.m_pProgress = progress;
        writer.m_bOwnsProgress = TRUE;
        writer.SetOutputFormat(&settings, NULL, NULL);
        writer.SetTimeline(facade->GetTimeline());
        writer.SetProgress(progress, 0);
        CString path;
        LONG started = 0;
        BOOL ok = writer.Render(path, &started, start, stop);
        EXPECT_FALSE(progress->timedOut);
        return ok ? std::string((const char*)path) : std::string();
    }

    testsupport::ScratchDir dir{"overlayrender"};
    std::string clip[2] = {dir.File("A.avi"), dir.File("B.avi")};
    std::string png = dir.File("logo.png");
    std::string work = dir.File("work");
    CRecordSettings settings;
    ULONG_PTR gdiplusToken = 0;
};

}  // namespace

// Fade and Inset: at 20, 50 and 80 % of the transition the frame is the
// routine applied to the clips (away from the overlays), with the literal
// colours of the halfway frames checked too. The overlays keep to their spans.
TEST_F(OverlayRenderTest, TransitionsAndOverlaysReachTheFile)
{
    for (const char* name : {"Fade", "Inset"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<XRVDShow> facade = Clips(name);
        AddOverlays(facade.get());
        const std::string file = Render(facade.get());
        ASSERT_NE("", file);
        EXPECT_EQ("10/1", ProbeEntry(file, "v:0", "r_frame_rate"));
        EXPECT_EQ("rawvideo", ProbeEntry(file, "v:0", "codec_name"));
        Frames f = Decode(file, dir.File("frames.raw"));
        ASSERT_EQ((size_t)kFrames, f.frames.size());

        for (int n : {22, 25, 28}) {
            const double t = (n - 20) / 10.0;
            std::vector<Rgb> want = RoutineFrame(name, t);
            ASSERT_EQ((size_t)kW * kH, want.size());
            int wrong = 0;
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    if (Inside(kImage, x, y) || Inside(kTextBox, x, y))
                        continue;
                    if (!Near(f.At(n, x, y), want[(size_t)y * kW + x], 1) && wrong++ < 3)
                        ADD_FAILURE() << "frame " << n << " at " << x << "," << y << ": " << f.At(n, x, y)
                                      << " instead of " << want[(size_t)y * kW + x];
                }
            EXPECT_EQ(0, wrong) << "frame " << n;
        }
        if (strcmp(name, "Fade") == 0) {
            EXPECT_TRUE(Near({127, 0, 127}, f.At(25, 5, 5), 0)) << f.At(25, 5, 5);
        } else {
            EXPECT_TRUE(Near({0, 0, 255}, f.At(25, 159, 119), 0)) << "inside the top-left quarter";
            EXPECT_TRUE(Near({255, 0, 0}, f.At(25, 160, 119), 0)) << "right of it";
            EXPECT_TRUE(Near({255, 0, 0}, f.At(25, 159, 120), 0)) << "below it";
        }
        EXPECT_TRUE(Near({255, 0, 0}, f.At(19, 5, 5), 0)) << "A before the transition";
        EXPECT_TRUE(Near({0, 0, 255}, f.At(30, 5, 5), 0)) << "B after it";

        // The text: only in [0.5 s, 3 s).
        for (int n = 0; n < kFrames; ++n) {
            const bool shown = n >= 5 && n < 30;
            const int white = f.WhiteIn(n, kTextBox);
            if (shown)
                EXPECT_GT(white, 50) << "text missing in frame " << n;
            else
                EXPECT_EQ(0, white) << "text in frame " << n;
        }

        // The image: exact at 1.5 s; blended by the fade at 0.7 and 0.8 s
        // (either side of 0.75 s, where it is half-way); gone from 3.5 s on,
        // while B still runs.
        const RECT inner = {kImage.left + 2, kImage.top + 2, kImage.right - 2, kImage.bottom - 2};
        struct Check {
            int frame;
            double alpha;   // of the image over red
            int tolerance;
        } checks[] = {{4, 0.0, 0}, {7, 0.4, 3}, {8, 0.6, 3}, {10, 1.0, 2}, {15, 1.0, 2}};
        for (const Check& c : checks) {
            const Rgb want = {(int)(255 * (1 - c.alpha) + 0.5), (int)(255 * c.alpha + 0.5), 0};
            int wrong = 0;
            for (int y = inner.top; y < inner.bottom; ++y)
                for (int x = inner.left; x < inner.right; ++x)
                    if (!Near(f.At(c.frame, x, y), want, c.tolerance) && wrong++ < 3)
                        ADD_FAILURE() << "frame " << c.frame << " at " << x << "," << y << ": "
                                      << f.At(c.frame, x, y) << " instead of " << want;
            EXPECT_EQ(0, wrong) << "image in frame " << c.frame;
        }
        for (int n = 34; n < kFrames; ++n) {
            const Rgb want = n < 35 ? Rgb{0, 255, 0} : Rgb{0, 0, 255};
            EXPECT_TRUE(Near(want, f.At(n, 230, 40), 2)) << "frame " << n << ": " << f.At(n, 230, 40);
        }
        DeleteFileA(file.c_str());
    }
}

// The overlays go out as XML and come back into a new facade by their type
// names: every field is kept (the texts written again are the same, the hot
// spot checked by field) and the render is the same, frame by frame.
TEST_F(OverlayRenderTest, OverlaysReadBackFromXmlRenderTheSameFrames)
{
    std::unique_ptr<XRVDShow> first = Clips("Fade");
    AddOverlays(first.get());
    const std::string firstFile = Render(first.get());
    ASSERT_NE("", firstFile);
    const std::string firstMd5 = FrameMd5(firstFile);
    ASSERT_NE("", firstMd5);

    std::unique_ptr<XRVDShow> second = Clips("Fade");
    std::vector<CString> written;
    const int count = first->GetOverlayList()->GetCount();
    ASSERT_EQ(2, count);
    for (int i = count - 1; i >= 0; --i) {   // inserted first-to-front: the last goes in first
        XmlNode xml;
        ASSERT_EQ(0, first->GetOverlay(i)->WriteXml(xml));
        written.insert(written.begin(), xml.m_text);
        XmlNode reader(xml.m_text);
        XmlNode type;
        int at = 0;
        ASSERT_TRUE(reader.FindElement("Type", type, at));
        COverlay* made = second->GetTimeline()->CreateOverlayByName(type.m_text);
        ASSERT_TRUE(made != NULL) << (const char*)type.m_text;
        ASSERT_EQ(0, made->ReadXml(reader, 0));
        ASSERT_EQ(S_OK, second->InsertOverlayFirst(made, NULL));
    }
    for (int i = 0; i < count; ++i) {
        XmlNode again;
        ASSERT_EQ(0, second->GetOverlay(i)->WriteXml(again));
        EXPECT_STREQ(written[(size_t)i], again.m_text) << "overlay " << i;
    }
    COverlay* image = NULL;
    ASSERT_EQ(S_OK, second->GetOverlayAtTime(2 * kSec, 0, 1, &image));
    ASSERT_TRUE(image != NULL);
    EXPECT_STREQ("ImageAbove", image->GetTypeName());
    HotspotInfo& hot = image->Hotspot();
    EXPECT_STREQ("http://example.invalid/next", hot.m_jumpUrl);
    EXPECT_EQ(123456789012LL, hot.m_gotoTime);
    EXPECT_EQ(2, hot.m_action);
    EXPECT_EQ(1, hot.m_openUrlInNewWindow);
    EXPECT_EQ(0, hot.m_pauseAtEnd);
    EXPECT_EQ(42 * kSec, hot.m_bookmarkTime);
    EXPECT_EQ(0xCAFE0042u, hot.m_bookmarkUniqueId);

    const std::string secondFile = Render(second.get());
    ASSERT_NE("", secondFile);
    EXPECT_EQ(firstMd5, FrameMd5(secondFile));
    DeleteFileA(firstFile.c_str());
    DeleteFileA(secondFile.c_str());
}

// A render of (1 s, 3 s) holds frames 10-29 of the whole render: the
// overlays are drawn at timeline time although the samples count from 0.
TEST_F(OverlayRenderTest, RenderRangeGivesThatPartOfTheWholeRender)
{
    std::unique_ptr<XRVDShow> facade = Clips("Inset");
    AddOverlays(facade.get());
    const std::string whole = Render(facade.get());
    ASSERT_NE("", whole);
    const std::string part = Render(facade.get(), kSec, 3 * kSec);
    ASSERT_NE("", part);
    Frames all = Decode(whole, dir.File("all.raw"));
    Frames some = Decode(part, dir.File("some.raw"));
    ASSERT_EQ((size_t)kFrames, all.frames.size());
    ASSERT_EQ(20u, some.frames.size());
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(some.frames[(size_t)i] == all.frames[(size_t)i + 10]) << "frame " << i << " of the range";
    DeleteFileA(whole.c_str());
    DeleteFileA(part.c_str());
}

// While the writer renders on its streaming thread, this (the user-interface)
// thread removes and deletes the boxes one by one and puts new ones in:
// the render ends, and every frame shows each box whole or not at all.
TEST_F(OverlayRenderTest, OverlaysRemovedDuringARenderNeverShowInPart)
{
    std::unique_ptr<XRVDShow> facade = Clips("Fade");
    auto box = [](int i) {
        COverlayRectangle* r = new COverlayRectangle;
        r->m_brushColor = 0xFF00FF00;   // green, opaque
        r->m_penColor = 0;              // no outline
        r->m_penWidth = 0;
        r->m_antiAliasShapes = 0;
        r->m_movieWidth = kW;
        r->m_movieHeight = kH;
        r->m_shapeX = (float)(10 + 60 * (i % 5));
        r->m_shapeY = 100;
        r->m_shapeWidth = 40;
        r->m_shapeHeight = 30;
        r->m_end = 10 * kSec;
        return r;
    };
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(S_OK, facade->InsertOverlayFirst(box(i), NULL));
    int ticks = 0, removed = 0;
    const std::string file = Render(facade.get(), -1, -1, [&]() {
        ++ticks;
        COverlay* last = facade->GetOverlay(facade->GetOverlayList()->GetCount() - 1);
        if (last && facade->RemoveOverlay(last->m_overlayId, TRUE) == S_OK)
            ++removed;
        if (ticks % 2 == 0)
            facade->InsertOverlayFirst(box(ticks), NULL);
    });
    ASSERT_NE("", file);
    EXPECT_GT(removed, 0);
    Frames f = Decode(file, dir.File("boxes.raw"));
    ASSERT_EQ((size_t)kFrames, f.frames.size());
    for (int n = 0; n < kFrames; ++n)
        for (int i = 0; i < 5; ++i) {
            // The box's inside, a pixel in from its edges.
            const RECT r = {11 + 60 * i, 101, 49 + 60 * i, 129};
            int green = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    green += Near(f.At(n, x, y), {0, 255, 0}, 1);
            EXPECT_TRUE(green == 0 || green == 38 * 28) << "frame " << n << " box " << i << ": " << green;
        }
    DeleteFileA(file.c_str());
}
