#include "settings/RecorderPrefs.h"

#include "PrefsTestHost.h"
#include "SettingsTestUtil.h"
#include "TestSupport.h"
#include "resources/ids_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

using settingstest::RecordingHost;
using settingstest::TestRecorderApp;

namespace {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
}

std::string SystemTempFolder()
{
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = temp;
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

// The golden file of a first start, with the folders of this machine filled
// in, as lines in the order of the file.
std::vector<std::string> GoldenLines(TestRecorderApp& app)
{
    std::string text;
    EXPECT_TRUE(settingstest::ReadDataFileAnsi("settings\\prefs_first_start.reg.expected", &text));
    ReplaceAll(text, "<TEMP>", settingstest::RegEscape(SystemTempFolder()));
    ReplaceAll(text, "<PROGRAM>", settingstest::RegEscape(std::string(app.GetProgramFolder())));
    return SplitLines(text);
}

// The same lines with each section's values sorted by name, as an export gives them.
std::vector<std::string> SortedBySection(const std::vector<std::string>& lines)
{
    std::map<std::string, std::vector<std::string>> sections;
    std::string current;
    for (const std::string& line : lines) {
        if (line[0] == '[')
            current = line;
        else
            sections[current].push_back(line);
    }
    std::vector<std::string> out;
    for (auto& s : sections) {
        std::sort(s.second.begin(), s.second.end());
        out.push_back(s.first);
        out.insert(out.end(), s.second.begin(), s.second.end());
    }
    return out;
}

std::string ValueName(const std::string& line)
{
    return line.substr(1, line.find("\"=") - 1);
}

void ExpectSameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
{
    EXPECT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        std::string e = i < expected.size() ? expected[i] : "(none)";
        std::string a = i < actual.size() ? actual[i] : "(none)";
        if (e != a) {
            ADD_FAILURE() << "line " << i << ": expected " << e << "\n           actual   " << a;
            return;
        }
    }
}

}  // namespace

// A first start: Load on an empty key, then Save, writes exactly the layout's
// values (names, types, data, the Chinese defaults) and the text-tool font.
TEST(RecorderPrefs, FirstStartWritesTheGoldenValues)
{
    TestRecorderApp app;
    {
        CRecorderPrefs prefs(&app);
        prefs.Load();
        prefs.Save();
    }
    EXPECT_TRUE(app.boxes.empty());
    ExpectSameLines(SortedBySection(GoldenLines(app)), app.ExportProfile());
}

// The area picker's answer (area, window, start point) starts empty, travels
// with every copy of the record and is never written to the registry.
TEST(RecorderPrefs, PickedAreaTravelsWithCopiesAndIsNeverStored)
{
    TestRecorderApp app;
    const RECT area = {-5, 10, 330, 250};
    const HWND window = (HWND)(UINT_PTR)0x1234;
    {
        CRecorderPrefs prefs(&app);
        EXPECT_TRUE(::IsRectEmpty(&prefs.m_pickedArea));
        EXPECT_EQ(NULL, prefs.m_pickedWindow);
        EXPECT_EQ(0, prefs.m_pickedStartPoint.x);
        EXPECT_EQ(0, prefs.m_pickedStartPoint.y);
        prefs.Load();
        prefs.m_pickedArea = area;
        prefs.m_pickedWindow = window;
        prefs.m_pickedStartPoint.x = 7;
        prefs.m_pickedStartPoint.y = -3;
        CRecorderPrefs copy(prefs);
        EXPECT_TRUE(::EqualRect(&area, &copy.m_pickedArea));
        EXPECT_EQ(window, copy.m_pickedWindow);
        EXPECT_EQ(7, copy.m_pickedStartPoint.x);
        EXPECT_EQ(-3, copy.m_pickedStartPoint.y);
        copy.Save();
    }
    ExpectSameLines(SortedBySection(GoldenLines(app)), app.ExportProfile());
}

// Save writes the values in the layout's order (the registry lists them by
// name, so the order is watched through the host), then the audio format.
TEST(RecorderPrefs, SaveWritesInTheLayoutOrder)
{
    TestRecorderApp app;
    RecordingHost host(app);
    CRecorderPrefs prefs(&host);
    prefs.Load();
    host.writes.clear();
    prefs.Save();

    std::vector<std::string> expected;
    std::string section;
    for (const std::string& line : GoldenLines(app)) {
        if (line[0] == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        if (section == "3.0" && ValueName(line) != "AviAudioFmt")
            expected.push_back("3.0\\" + ValueName(line));
    }
    expected.push_back("key:3.0");   // the audio format, written straight into the section key
    ASSERT_EQ(225u, expected.size());
    ExpectSameLines(expected, host.writes);
}

TEST(RecorderPrefs, FirstStartFieldsAreTheDefaults)
{
    TestRecorderApp app;
    CRecorderPrefs prefs(&app);
    prefs.Load();
    EXPECT_EQ(SystemTempFolder(), std::string(prefs.m_tempDir));
    ASSERT_EQ(1, prefs.m_catalogueFilesMru.GetCount());
    EXPECT_EQ(std::string("INIT"), std::string(prefs.m_catalogueFilesMru.GetHead()));
    ASSERT_EQ(1, prefs.m_catalogueTextNoteFilesMru.GetCount());
    EXPECT_EQ(0, prefs.m_outputDirMru.GetCount());
    const std::string folder = std::string(app.GetProgramFolder());
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ('\\', folder.back());
    EXPECT_EQ(folder + "watermark.gif", std::string(prefs.m_watermark.m_strImagePath));
    EXPECT_EQ(folder + "ClickDown.wav", std::string(prefs.m_clickDownFile));
    EXPECT_EQ(folder + "ClickUp.wav", std::string(prefs.m_clickUpFile));
    EXPECT_EQ(folder + "KeyDown.wav", std::string(prefs.m_keyDownFile));
    const WAVEFORMATEX* wf = prefs.GetAudioFormat();
    ASSERT_NE(nullptr, wf);
    EXPECT_EQ(WAVE_FORMAT_PCM, wf->wFormatTag);
    EXPECT_EQ(1, wf->nChannels);
    EXPECT_EQ(22050u, wf->nSamplesPerSec);
    EXPECT_EQ(44100u, wf->nAvgBytesPerSec);
    EXPECT_EQ(2, wf->nBlockAlign);
    EXPECT_EQ(16, wf->wBitsPerSample);
    EXPECT_EQ(0, wf->cbSize);
    EXPECT_EQ(18u, prefs.GetAudioFormatSize());
    // Fields the registry does not hold keep the constructor's values.
    EXPECT_EQ(0, prefs.m_useGrabberThread);
    EXPECT_EQ(-1, prefs.m_cameraPreviewRect.left);
    EXPECT_EQ(std::string("h:mm:ss tt"), std::string(prefs.m_timeDateFormat.GetCustomTime()));
    EXPECT_EQ(std::string("Windows 默认"), std::string(prefs.m_timeDateFormat.GetTimeFormat()));
    EXPECT_NE(nullptr, prefs.m_caption.GetFont());
    EXPECT_NE(nullptr, prefs.m_timeDate.GetFont());
}

namespace {

// A stored profile with a value different from the default in every entry
// (and valid, so that no correction applies), written before a Load.
std::vector<std::string> WriteEveryValueChanged(TestRecorderApp& app, const std::string& tempFolder)
{
    std::map<std::string, DWORD> dwords = {
        { "CaptureKey", 0x541 },     { "StopKey", 0x1000 },       { "AutoPanKey", 0x742 },
        { "HideKey", 0x243 },        { "ZoomInKey", 0x801 },      { "ZoomOutKey", 0x80C },
        { "MuteKey", 0x30 },         { "MarkerKey", 0x5A },       { "NextLayoutKey", 0x44 },
        { "PrevLayoutKey", 0x145 },  { "ShowHideLayoutKey", 0x446 }, { "ScreenDrawKey", 0x1400 },
        { "VideoInput", 1 },         { "InterleaveRate", 7 },     { "HighlightLClickSize", 5 },
        { "HighlightRClickSize", 31 }, { "CursorFromFile", 0 },   { "CursorIsIcon", 0 },
        { "CustomCursor", 1 },       { "CursorShape", 2 },
    };
    std::map<std::string, std::string> strings = {
        { "VideoTempDir", tempFolder },
        { "VideoRectFixed", "10,20,300,400" },
        { "SystemStampOrder2", "USERNAME,TIMEDATE" },
        { "FileOutputDirMru", "C:\\out*D:\\older*" },
        { "FileSaveAsMru", "a.avi*" },
        { "CaptionMru", "first caption*second*" },
        { "CatalogueFilesMru", "one.skol*two.skol*" },
        { "CatalogueTextNoteFilesMru", "notes.skot*" },
        { "TextNoteFontFaceName", "黑体" },
        { "TimeFormatTimeFormat", "HH:mm" },
        { "TimeFormatDateFormat", "yyyy-MM-dd" },
    };
    std::vector<std::string> lines;
    std::string section;
    for (const std::string& line : GoldenLines(app)) {
        if (line[0] == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const std::string name = ValueName(line);
        const std::string value = line.substr(line.find("\"=") + 2);
        if (section != "3.0" || name == "AviAudioFmt")
            continue;
        if (value.compare(0, 6, "dword:") == 0) {
            DWORD v = strtoul(value.c_str() + 6, nullptr, 16);
            if (dwords.count(name))
                v = dwords[name];
            else if (v == 0)
                v = 1;
            else if (v == 1)
                v = 0;
            else
                v = v + 1;
            app.SetDword(name.c_str(), v);
            lines.push_back(settingstest::RegValueLine(name, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
        } else {
            std::string s = strings.count(name) ? strings[name] : "v " + name + " 值";
            app.SetString(name.c_str(), s.c_str());
            lines.push_back(settingstest::RegValueLine(name, REG_SZ, reinterpret_cast<const BYTE*>(s.c_str()),
                                                       (DWORD)s.size() + 1));
        }
    }
    // An ADPCM-like format with two extra bytes.
    BYTE format[20] = { 0x11, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x20, 0x56, 0, 0, 0, 2, 4, 0, 2, 0, 0xF9, 0x07 };
    app.SetRaw("3.0", "AviAudioFmt", REG_BINARY, format, sizeof(format));
    lines.push_back(settingstest::RegValueLine("AviAudioFmt", REG_BINARY, format, sizeof(format)));
    return lines;
}

std::vector<std::string> SectionOf(const std::vector<std::string>& exported, const std::string& section)
{
    std::vector<std::string> out;
    bool in = false;
    for (const std::string& line : exported) {
        if (line[0] == '[')
            in = line == "[" + section + "]";
        else if (in)
            out.push_back(line);
    }
    return out;
}

}  // namespace

// Load then Save gives back every stored value: every entry of the layout is
// read into its field and written from it.
TEST(RecorderPrefs, LoadThenSaveReproducesEveryValue)
{
    testsupport::ScratchDir temp;
    TestRecorderApp app;
    std::vector<std::string> written = WriteEveryValueChanged(app, temp.Path() + "\\");
    ASSERT_EQ(225u, written.size());
    {
        CRecorderPrefs prefs(&app);
        prefs.Load();
        EXPECT_TRUE(app.boxes.empty()) << app.boxes.size() << " message boxes";
        EXPECT_EQ(20, prefs.m_fixedRect.left);
        EXPECT_EQ(10, prefs.m_fixedRect.top);
        EXPECT_EQ(2, prefs.m_captionMru.GetCount());
        EXPECT_EQ(std::string("黑体"), std::string(prefs.m_textNoteStyle.m_faceName));
        // A copy saves the same values as the original.
        CRecorderPrefs copy(prefs);
        copy.Save();
    }
    std::sort(written.begin(), written.end());
    ExpectSameLines(written, SectionOf(app.ExportProfile(), "3.0"));
}

// Save then Load gives the same record: a record with changed fields saves,
// a new record loads, and saving that one writes the same values again.
TEST(RecorderPrefs, SaveThenLoadReproducesTheRecord)
{
    testsupport::ScratchDir temp;
    TestRecorderApp app;
    {
        CRecorderPrefs prefs(&app);
        prefs.Load();
        prefs.m_tempDir = (temp.Path() + "\\").c_str();
        prefs.m_uiView = 2;
        prefs.m_markerKey = 0x1000;
        prefs.m_flags = 0x2000109;
        prefs.m_outputDirMru.Add("C:\\a");
        prefs.m_outputDirMru.Add("C:\\b");
        prefs.m_quality = 7500;
        prefs.m_captureRate = CRational(30000, 1001, 1);
        prefs.m_caption.m_text = "说明 <&>";
        prefs.m_caption.m_fontHeight = -14;
        prefs.m_timeDate.m_posY = 40;
        prefs.m_watermark.m_nOpacity = 55;
        prefs.m_watermark.m_strImagePath = "C:\\w.png";
        prefs.m_drawArrowColor = 0x123456;
        prefs.m_annotationWinRect.bottom = 999;
        prefs.m_textNoteStyle.m_sizeY = 222;
        prefs.m_separatePlayer = FALSE;
        prefs.m_systemStampOrder = "ELAPTIME,COMPNAME";
        prefs.m_timeDateFormat.SetCustomDate("dd.MM.yyyy");
        prefs.m_timeDateFormat.SetMode(2);
        prefs.m_catalogueActive = "lib.skol";
        prefs.Save();
    }
    const std::vector<std::string> first = app.ExportProfile();
    CRecorderPrefs loaded(&app);
    loaded.Load();
    EXPECT_EQ(2, loaded.m_uiView);
    EXPECT_EQ(0x1000u, loaded.m_markerKey);
    EXPECT_EQ(0x2000109u, loaded.m_flags);
    EXPECT_EQ(std::string("C:\\b"), std::string(loaded.m_outputDirMru.GetHead()));
    EXPECT_EQ(30000u, loaded.m_captureRate.m_nRate);
    EXPECT_EQ(1001u, loaded.m_captureRate.m_nScale);
    EXPECT_EQ(std::string("说明 <&>"), std::string(loaded.m_caption.m_text));
    EXPECT_EQ(55, loaded.m_watermark.m_nOpacity);
    EXPECT_EQ(std::string("C:\\w.png"), std::string(loaded.m_watermark.m_strImagePath));
    EXPECT_EQ(FALSE, loaded.m_separatePlayer);
    EXPECT_EQ(std::string("ELAPTIME,COMPNAME"), std::string(loaded.m_systemStampOrder));
    EXPECT_EQ(2, loaded.m_timeDateFormat.GetMode());
    EXPECT_EQ(222, loaded.m_textNoteStyle.m_sizeY);
    loaded.Save();
    ExpectSameLines(first, app.ExportProfile());
}

// The corrections Load applies to stored values that are out of range.
TEST(RecorderPrefs, LoadCorrectsBadValues)
{
    struct Case {
        const char* name;
        DWORD stored;
        DWORD expected;
        std::function<DWORD(const CRecorderPrefs&)> field;
    };
    auto i = [](int CRecorderPrefs::*m) { return [m](const CRecorderPrefs& p) { return (DWORD)(p.*m); }; };
    auto d = [](DWORD CRecorderPrefs::*m) { return [m](const CRecorderPrefs& p) { return p.*m; }; };
    const Case cases[] = {
        { "UiView", 3, 0, i(&CRecorderPrefs::m_uiView) },
        { "UiView", 2, 2, i(&CRecorderPrefs::m_uiView) },
        { "UiView", 0xFFFFFFFF, 0, i(&CRecorderPrefs::m_uiView) },
        { "CaptureKey", 0x800, 0x809, d(&CRecorderPrefs::m_captureKey) },
        { "CaptureKey", 0x1041, 0x809, d(&CRecorderPrefs::m_captureKey) },
        { "CaptureKey", 0x80D, 0x809, d(&CRecorderPrefs::m_captureKey) },
        { "CaptureKey", 0x2F, 0x809, d(&CRecorderPrefs::m_captureKey) },
        { "CaptureKey", 0x5B, 0x809, d(&CRecorderPrefs::m_captureKey) },
        { "CaptureKey", 0x80C, 0x80C, d(&CRecorderPrefs::m_captureKey) },
        { "CaptureKey", 0x1000, 0x1000, d(&CRecorderPrefs::m_captureKey) },
        { "CaptureKey", 0x541, 0x541, d(&CRecorderPrefs::m_captureKey) },
        { "CaptureKey", 0, 0, d(&CRecorderPrefs::m_captureKey) },
        { "StopKey", 0x900, 0x80A, d(&CRecorderPrefs::m_stopKey) },
        { "MarkerKey", 0x100, 0x54D, d(&CRecorderPrefs::m_markerKey) },
        { "AutoPanKey", 0x1, 0, d(&CRecorderPrefs::m_autoPanKey) },
        { "HideKey", 0x1001, 0, d(&CRecorderPrefs::m_hideKey) },
        { "ZoomInKey", 0x80D, 0, d(&CRecorderPrefs::m_zoomInKey) },
        { "ZoomOutKey", 0x7B, 0, d(&CRecorderPrefs::m_zoomOutKey) },
        { "MuteKey", 0x20, 0, d(&CRecorderPrefs::m_muteKey) },
        { "NextLayoutKey", 0x800, 0, d(&CRecorderPrefs::m_nextLayoutKey) },
        { "PrevLayoutKey", 0x1010, 0, d(&CRecorderPrefs::m_prevLayoutKey) },
        { "ShowHideLayoutKey", 0x5B, 0, d(&CRecorderPrefs::m_showHideLayoutKey) },
        { "ScreenDrawKey", 0x41, 0x41, d(&CRecorderPrefs::m_screenDrawKey) },
        { "WizardInput", 3, 0, i(&CRecorderPrefs::m_wizardInput) },
        { "VideoInput", 4, 3, i(&CRecorderPrefs::m_videoInput) },
        { "VideoInput", 2, 2, i(&CRecorderPrefs::m_videoInput) },
        { "VideoFileNaming", 3, 0, i(&CRecorderPrefs::m_fileNaming) },
        { "VideoFileType", 4, 0, i(&CRecorderPrefs::m_fileType) },
        { "VideoFileType", 3, 3, i(&CRecorderPrefs::m_fileType) },
        { "AutoZoomSpeed", 400, 2000, i(&CRecorderPrefs::m_autoZoomSpeed) },
        { "AutoZoomSpeed", 8000, 8000, i(&CRecorderPrefs::m_autoZoomSpeed) },
        { "AutoZoomSpeed", 500, 500, i(&CRecorderPrefs::m_autoZoomSpeed) },
        { "AutoZoomSpeed", 8001, 2000, i(&CRecorderPrefs::m_autoZoomSpeed) },
        { "ZoomInitialLevel", 0, 100, i(&CRecorderPrefs::m_zoomInitialLevel) },
        { "ZoomInitialLevel", 50, 50, i(&CRecorderPrefs::m_zoomInitialLevel) },
        { "AutoPanSpeed", 0, 12, i(&CRecorderPrefs::m_autoPanSpeed) },
        { "AutoPanSpeed", 17, 12, i(&CRecorderPrefs::m_autoPanSpeed) },
        { "AutoPanSpeed", 16, 16, i(&CRecorderPrefs::m_autoPanSpeed) },
        { "AutoPanSpeed", 1, 1, i(&CRecorderPrefs::m_autoPanSpeed) },
        { "InterleaveRate", 0, 1, i(&CRecorderPrefs::m_interleaveRate) },
        { "Output", 2, 0, i(&CRecorderPrefs::m_output) },
        { "Output", 1, 1, i(&CRecorderPrefs::m_output) },
        { "ClickVolume", 201, 100, i(&CRecorderPrefs::m_clickVolume) },
        { "ClickVolume", 200, 200, i(&CRecorderPrefs::m_clickVolume) },
        { "KeyVolume", 0xFFFFFFFF, 100, i(&CRecorderPrefs::m_keyVolume) },
        { "KeyVolume", 0, 0, i(&CRecorderPrefs::m_keyVolume) },
        { "HighlightShape", 999, 7000, i(&CRecorderPrefs::m_highlightShape) },
        { "HighlightShape", 1000, 1000, i(&CRecorderPrefs::m_highlightShape) },
        { "HighlightShape", 11003, 11003, i(&CRecorderPrefs::m_highlightShape) },
        { "HighlightShape", 11004, 7000, i(&CRecorderPrefs::m_highlightShape) },
        { "HighlightSize", 0, 64, i(&CRecorderPrefs::m_highlightSize) },
        { "HighlightSize", 129, 64, i(&CRecorderPrefs::m_highlightSize) },
        { "HighlightSize", 128, 128, i(&CRecorderPrefs::m_highlightSize) },
        { "HighlightLClickSize", 33, 32, i(&CRecorderPrefs::m_highlightLClickSize) },
        { "HighlightRClickSize", 0, 32, i(&CRecorderPrefs::m_highlightRClickSize) },
        { "DrawTool", 6, 3, i(&CRecorderPrefs::m_drawTool) },
        { "DrawTool", 5, 5, i(&CRecorderPrefs::m_drawTool) },
    };
    for (const Case& c : cases) {
        TestRecorderApp app;
        app.SetDword(c.name, c.stored);
        CRecorderPrefs prefs(&app);
        prefs.Load();
        EXPECT_EQ(c.expected, c.field(prefs)) << c.name << " stored 0x" << std::hex << c.stored;
    }
}

TEST(RecorderPrefs, FixedRectangleRule)
{
    struct Case {
        const char* stored;
        RECT expected;
    } cases[] = {
        { "10,20,300,400", { 20, 10, 300, 400 } },
        { "0,0,5000,400", { 0, 0, 640, 480 } },        // partly off the desktop
        { "-5,0,100,100", { 0, 0, 640, 480 } },
        { "", { 0, 0, 640, 480 } },
        { "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,10", { 0, 0, 640, 480 } },   // 40 characters
        { "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1", { 1, 1, 1, 1 } },         // 39 characters
        { "10,20", { 20, 10, 640, 480 } },
        { "abc", { 0, 0, 640, 480 } },                  // atol gives top 0; the rest keep the default
    };
    for (const auto& c : cases) {
        TestRecorderApp app;
        app.SetString("VideoRectFixed", c.stored);
        CRecorderPrefs prefs(&app);
        prefs.Load();
        EXPECT_EQ(c.expected.left, prefs.m_fixedRect.left) << c.stored;
        EXPECT_EQ(c.expected.top, prefs.m_fixedRect.top) << c.stored;
        EXPECT_EQ(c.expected.right, prefs.m_fixedRect.right) << c.stored;
        EXPECT_EQ(c.expected.bottom, prefs.m_fixedRect.bottom) << c.stored;
    }
    TestRecorderApp app;
    CRecorderPrefs prefs(&app);
    RECT r = { 1, 2, 3, 4 };
    prefs.WriteRect("R", r);
    EXPECT_EQ(std::string("2,1,3,4"), std::string(app.GetProfileString("3.0", "R", "")));
}

TEST(RecorderPrefs, StampOrderRule)
{
    struct Case {
        const char* newValue;
        const char* oldValue;
        const char* expected;
    } cases[] = {
        { "COMPNAME,用户名", nullptr, "COMPNAME,USERNAME" },
        { "TIMEDATE,FOO", nullptr, "TIMEDATE,ELAPTIME,COMPNAME,USERNAME" },
        { nullptr, "ELAPTIME", "ELAPTIME" },
        { "", "共用时间,时间/日期", "ELAPTIME,TIMEDATE" },
        { "Uhrzeit/Datum,Verstrichene Zeit,Computername,Benutzername", nullptr, "TIMEDATE,ELAPTIME,COMPNAME,USERNAME" },
        { "电脑名", "USERNAME", "COMPNAME" },
        { ",", nullptr, "TIMEDATE,ELAPTIME,COMPNAME,USERNAME" },
        { "TIMEDATE,,USERNAME", nullptr, "TIMEDATE,ELAPTIME,COMPNAME,USERNAME" },
        { ",COMPNAME", nullptr, "TIMEDATE,ELAPTIME,COMPNAME,USERNAME" },
        { "COMPNAME,", nullptr, "TIMEDATE,ELAPTIME,COMPNAME,USERNAME" },
        { "timedate", nullptr, "TIMEDATE,ELAPTIME,COMPNAME,USERNAME" },
        { nullptr, nullptr, "TIMEDATE,ELAPTIME,COMPNAME,USERNAME" },
    };
    for (const auto& c : cases) {
        TestRecorderApp app;
        if (c.newValue)
            app.SetString("SystemStampOrder2", c.newValue);
        if (c.oldValue)
            app.SetString("SystemStampOrder", c.oldValue);
        CRecorderPrefs prefs(&app);
        prefs.Load();
        EXPECT_EQ(std::string(c.expected), std::string(prefs.m_systemStampOrder))
            << (c.newValue ? c.newValue : "-") << " / " << (c.oldValue ? c.oldValue : "-");
    }
}

TEST(RecorderPrefs, TemporaryFolderFallsBackToTheSystemOne)
{
    TestRecorderApp app;
    app.SetString("VideoTempDir", "C:\\no such folder\\at all\\");
    CRecorderPrefs prefs(&app);
    prefs.Load();
    EXPECT_EQ(SystemTempFolder(), std::string(prefs.m_tempDir));
    EXPECT_TRUE(app.boxes.empty());
}

TEST(RecorderPrefs, UnusableTemporaryFoldersShowMessage33)
{
    char oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
    ::GetEnvironmentVariableA("TMP", oldTmp, MAX_PATH);
    ::GetEnvironmentVariableA("TEMP", oldTemp, MAX_PATH);
    ::SetEnvironmentVariableA("TMP", "C:\\vexcap missing temp");
    ::SetEnvironmentVariableA("TEMP", "C:\\vexcap missing temp");
    TestRecorderApp app;
    app.SetString("VideoTempDir", "C:\\no such folder\\");
    {
        CRecorderPrefs prefs(&app);
        prefs.Load();
    }
    ::SetEnvironmentVariableA("TMP", oldTmp);
    ::SetEnvironmentVariableA("TEMP", oldTemp);
    ASSERT_EQ(1u, app.boxes.size());
    EXPECT_EQ((UINT)IDS_TEMP_FOLDER_INVALID, app.boxes[0].id);
    EXPECT_EQ((UINT)MB_ICONERROR, app.boxes[0].type & MB_ICONMASK);
    EXPECT_EQ(std::string("这个被 Skorvale 使用的临时目录是无效的。\r\n\r\n"
                          "请使用“菜单>工具>选项>文件>临时文件文件夹”重置临时目录。"),
              app.boxes[0].text);
}

// A stored audio format is read only as far as it really goes: a block
// shorter than 18 bytes, or shorter than 18 + cbSize, gives way to the PCM default.
TEST(RecorderPrefs, AudioFormatBlobsAreNeverReadPastTheirEnd)
{
    struct Case {
        std::vector<BYTE> stored;
        bool kept;
    } cases[] = {
        { { 1, 0, 2, 0 }, false },
        { std::vector<BYTE>(17, 0), false },
        { { 0x11, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x20, 0x56, 0, 0, 0, 2, 4, 0, 10, 0, 1, 2 }, false },   // cbSize 10, 2 there
        { { 0x11, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x20, 0x56, 0, 0, 0, 2, 4, 0, 2, 0, 0xF9, 0x07 }, true },
        { { 0x55, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0x3E, 0, 0, 1, 0, 0, 0, 0, 0 }, true },
    };
    for (const auto& c : cases) {
        TestRecorderApp app;
        app.SetRaw("3.0", "AviAudioFmt", REG_BINARY, c.stored.data(), (DWORD)c.stored.size());
        CRecorderPrefs prefs(&app);
        prefs.Load();
        const WAVEFORMATEX* wf = prefs.GetAudioFormat();
        ASSERT_NE(nullptr, wf);
        if (c.kept) {
            EXPECT_EQ(c.stored.size(), prefs.GetAudioFormatSize());
            EXPECT_EQ(0, memcmp(wf, c.stored.data(), c.stored.size()));
        } else {
            EXPECT_EQ(WAVE_FORMAT_PCM, wf->wFormatTag) << c.stored.size() << " bytes";
            EXPECT_EQ(22050u, wf->nSamplesPerSec);
            EXPECT_EQ(18u, prefs.GetAudioFormatSize());
        }
    }
}

// A copy also holds what the registry never sees.
TEST(RecorderPrefs, CopyHoldsTheValuesThatAreNotStored)
{
    TestRecorderApp app;
    CRecorderPrefs prefs(&app);
    prefs.m_useGrabberThread = 7;
    prefs.m_unused5 = 5;
    prefs.m_unused11 = "eleven";
    prefs.m_unused19[3] = "nineteen";
    prefs.m_unused29[1] = "twenty-nine";
    prefs.m_watermark.m_nWorking = 3;
    ::SetRect(&prefs.m_caption.m_rect, 1, 2, 3, 4);
    prefs.m_timeDate.m_text = "时间";
    CRecorderPrefs copy(prefs);
    EXPECT_EQ(7, copy.m_useGrabberThread);
    EXPECT_EQ(5, copy.m_unused5);
    EXPECT_STREQ("eleven", copy.m_unused11);
    EXPECT_STREQ("nineteen", copy.m_unused19[3]);
    EXPECT_STREQ("twenty-nine", copy.m_unused29[1]);
    EXPECT_EQ(3, copy.m_watermark.m_nWorking);
    EXPECT_TRUE(::EqualRect(&prefs.m_caption.m_rect, &copy.m_caption.m_rect));
    EXPECT_STREQ("时间", copy.m_timeDate.m_text);
}

TEST(RecorderPrefs, CopiesOwnTheirAudioFormatAndCursor)
{
    TestRecorderApp app;
    app.SetDword("CustomCursor", 1);
    app.SetDword("CursorShape", 1);
    CRecorderPrefs prefs(&app);
    prefs.Load();
    ASSERT_NE(nullptr, prefs.m_cursor);
    BYTE format[20] = { 0x11, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x20, 0x56, 0, 0, 0, 2, 4, 0, 2, 0, 0xF9, 0x07 };
    prefs.SetAudioFormat(reinterpret_cast<WAVEFORMATEX*>(format));
    prefs.m_caption.m_text = "abc";
    prefs.m_captionMru.Add("x");
    {
        CRecorderPrefs copy(prefs);
        ASSERT_NE(nullptr, copy.GetAudioFormat());
        EXPECT_NE(prefs.GetAudioFormat(), copy.GetAudioFormat());
        EXPECT_EQ(20u, copy.GetAudioFormatSize());
        EXPECT_EQ(0, memcmp(copy.GetAudioFormat(), format, sizeof(format)));
        EXPECT_NE(nullptr, copy.m_cursor);
        EXPECT_NE(prefs.m_cursor, copy.m_cursor);
        EXPECT_EQ(prefs.m_cursorHotX, copy.m_cursorHotX);
        EXPECT_EQ(std::string("abc"), std::string(copy.m_caption.m_text));
        EXPECT_NE(prefs.m_caption.GetFont(), copy.m_caption.GetFont());
        EXPECT_EQ(1, copy.m_captionMru.GetCount());
        EXPECT_EQ(static_cast<IPrefsHost*>(&app), copy.GetHost());
    }
    // The original's cursor and format survive the copy's destruction.
    ICONINFO info;
    EXPECT_TRUE(::GetIconInfo((HICON)prefs.m_cursor, &info));
    ::DeleteObject(info.hbmMask);
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    EXPECT_EQ(0x11, prefs.GetAudioFormat()->wFormatTag);
}

TEST(RecorderPrefs, CodecStatePerFourCC)
{
    TestRecorderApp app;
    CRecorderPrefs prefs(&app);
    BYTE* data = nullptr;
    DWORD size = 99;
    ASSERT_TRUE(prefs.LoadCodecState(mmioFOURCC('x', 'r', 'v', 'c'), &data, &size));
    ASSERT_EQ(16u, size);
    const DWORD* words = reinterpret_cast<const DWORD*>(data);
    EXPECT_EQ(2827u, words[0]);
    EXPECT_EQ(mmioFOURCC('x', 'r', 'v', 'c'), words[1]);
    EXPECT_EQ(0x20000u, words[2]);
    EXPECT_EQ(1u, words[3]);
    free(data);

    data = reinterpret_cast<BYTE*>(1);
    size = 5;
    EXPECT_FALSE(prefs.LoadCodecState(mmioFOURCC('D', 'I', 'B', ' '), &data, &size));
    EXPECT_EQ(nullptr, data);
    EXPECT_EQ(0u, size);

    const BYTE state[] = { 9, 8, 7, 6, 5 };
    ASSERT_TRUE(prefs.SaveCodecState(mmioFOURCC('m', 'r', 'l', 'e'), state, sizeof(state)));
    ASSERT_TRUE(prefs.LoadCodecState(mmioFOURCC('m', 'r', 'l', 'e'), &data, &size));
    ASSERT_EQ(sizeof(state), size);
    EXPECT_EQ(0, memcmp(state, data, size));
    free(data);
    // Stored as REG_BINARY named by the four characters under "Codec Configuration".
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER,
                                             (app.ProfileKeyPath() + "\\3.0\\Codec Configuration").c_str(), 0,
                                             KEY_READ, &key));
    BYTE stored[16] = {};
    DWORD type = 0, length = sizeof(stored);
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(key, "mrle", NULL, &type, stored, &length));
    ::RegCloseKey(key);
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ(settingstest::RegValueLine("mrle", REG_BINARY, state, sizeof(state)),
              settingstest::RegValueLine("mrle", type, stored, length));
}

TEST(RecorderPrefs, HotkeyToWin32)
{
    struct Case {
        DWORD code;
        UINT modifiers;
        UINT key;
    } cases[] = {
        { 0x80C, 0, VK_F12 },
        { 0x809, 0, VK_F9 },
        { 0x801, 0, VK_F1 },
        { 0x1000, 0, VK_SNAPSHOT },
        { 0x541, MOD_CONTROL | MOD_SHIFT, 'A' },
        { 0x254, MOD_ALT, 'T' },
        { 0x730, MOD_CONTROL | MOD_ALT | MOD_SHIFT, '0' },
    };
    for (const auto& c : cases) {
        UINT modifiers = 99, key = 99;
        HotkeyToWin32(c.code, modifiers, key);
        EXPECT_EQ(c.modifiers, modifiers) << std::hex << c.code;
        EXPECT_EQ(c.key, key) << std::hex << c.code;
    }
}

TEST(RecorderPrefs, FlagsAndCaptureBlt)
{
    TestRecorderApp app;
    CRecorderPrefs prefs(&app);
    EXPECT_EQ(0x108u, prefs.m_flags);
    EXPECT_EQ(0x2000000u, prefs.SetFlags(0x2000000, TRUE));
    EXPECT_EQ(0x2000108u, prefs.m_flags);
    EXPECT_EQ(0x2000100u, prefs.SetFlags(0x8, FALSE));
    EXPECT_EQ(0x2000100u, prefs.m_flags);

    EXPECT_FALSE(prefs.UseCaptureBlt());
    app.m_openWindowCount = 1;
    EXPECT_TRUE(prefs.UseCaptureBlt());
    app.m_openWindowCount = 0;
    prefs.m_captureLayeredWindows = TRUE;
    EXPECT_TRUE(prefs.UseCaptureBlt());
}

TEST(RecorderPrefs, RectOnDesktop)
{
    const int w = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int h = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    struct Case {
        RECT r;
        BOOL on;
    } cases[] = {
        { { 0, 0, 640, 480 }, TRUE },
        { { 0, 0, w, h }, TRUE },
        { { 0, 0, w + 1, h }, FALSE },
        { { -1, 0, 10, 10 }, FALSE },
        { { 0, 0, 0, 10 }, FALSE },     // right not beyond the desktop's left
        { { 0, 0, 10, 0 }, FALSE },
        { { 0, 0, 10, h + 1 }, FALSE },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.on, IsRectOnDesktop(c.r)) << c.r.left << "," << c.r.top << "," << c.r.right << "," << c.r.bottom;
}

namespace {

// A 32 x 32 two-colour icon file.
std::string IconFileBytes()
{
    std::string bytes;
    auto put16 = [&](int v) { bytes += (char)(v & 0xFF); bytes += (char)((v >> 8) & 0xFF); };
    auto put32 = [&](int v) { put16(v & 0xFFFF); put16((v >> 16) & 0xFFFF); };
    const int imageSize = 40 + 8 + 128 + 128;
    put16(0); put16(1); put16(1);
    bytes += (char)32; bytes += (char)32; bytes += (char)2; bytes += (char)0;
    put16(1); put16(1); put32(imageSize); put32(22);
    put32(40); put32(32); put32(64); put16(1); put16(1); put32(0); put32(256); put32(0); put32(0); put32(2); put32(0);
    put32(0x000000); put32(0xFFFFFF);
    for (int i = 0; i < 128; ++i)
        bytes += (char)0xF0;   // XOR mask: stripes
    for (int i = 0; i < 128; ++i)
        bytes += (char)0x00;   // AND mask: all opaque
    return bytes;
}

}  // namespace

TEST(RecorderPrefs, CustomCursorFromAnIconFileHasItsHotSpotInTheMiddle)
{
    testsupport::ScratchDir dir;
    const std::string path = dir.File("pointer.ICO");
    const std::string bytes = IconFileBytes();
    ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes.data(), bytes.size()));
    TestRecorderApp app;
    app.SetDword("CustomCursor", 1);
    app.SetDword("CursorFromFile", 1);
    app.SetString("CursorFile", path.c_str());
    CRecorderPrefs prefs(&app);
    prefs.Load();
    EXPECT_TRUE(app.boxes.empty());
    ASSERT_NE(nullptr, prefs.m_cursor);
    EXPECT_TRUE(prefs.m_cursorIsIcon);
    EXPECT_EQ(16, prefs.m_cursorHotX);
    EXPECT_EQ(16, prefs.m_cursorHotY);
    EXPECT_TRUE(prefs.m_customCursor);
}

TEST(RecorderPrefs, CustomCursorShapesComeFromTheProgramsCursors)
{
    struct Case {
        int shape;
        int hotX;
        int hotY;
    } cases[] = { { 0, 0, 0 }, { 1, 16, 16 }, { 2, 16, 16 }, { 3, 16, 16 } };
    for (const auto& c : cases) {
        TestRecorderApp app;
        CRecorderPrefs prefs(&app);
        prefs.m_customCursor = TRUE;
        prefs.m_cursorShape = c.shape;
        prefs.m_cursorIsIcon = TRUE;
        EXPECT_EQ(1, prefs.LoadCustomCursor()) << c.shape;
        EXPECT_NE(nullptr, prefs.m_cursor) << c.shape;
        EXPECT_FALSE(prefs.m_cursorIsIcon);
        EXPECT_EQ(c.hotX, prefs.m_cursorHotX) << c.shape;
        EXPECT_EQ(c.hotY, prefs.m_cursorHotY) << c.shape;
    }
    TestRecorderApp app;
    CRecorderPrefs prefs(&app);
    EXPECT_EQ(1, prefs.LoadCustomCursor());   // no custom cursor wanted
    EXPECT_EQ(nullptr, prefs.m_cursor);
    prefs.m_customCursor = TRUE;
    prefs.m_cursorShape = 4;
    EXPECT_EQ(0, prefs.LoadCustomCursor());
}

TEST(RecorderPrefs, UnloadableCursorShowsMessage34AndSwitchesTheCursorOff)
{
    TestRecorderApp app;
    app.SetDword("CustomCursor", 1);
    app.SetDword("CursorFromFile", 1);
    app.SetString("CursorFile", "C:\\missing\\pointer.cur");
    CRecorderPrefs prefs(&app);
    prefs.Load();
    ASSERT_EQ(1u, app.boxes.size());
    EXPECT_EQ((UINT)IDS_CUSTOM_CURSOR_FAILED, app.boxes[0].id);
    EXPECT_EQ(std::string("不能初始化自定义光标。\r\n使用默认光标。"), app.boxes[0].text);
    EXPECT_FALSE(prefs.m_customCursor);
    EXPECT_EQ(nullptr, prefs.m_cursor);
}

TEST(RecorderPrefs, TextToolFontIsKeptAndWrittenBack)
{
    TestRecorderApp app;
    const char font[] = "-12,0,0,0,400,1,0,0,134,0,0,0,0,宋体";
    app.SetRaw("Text Tool", "Font", REG_SZ, font, sizeof(font));
    CRecorderPrefs prefs(&app);
    prefs.Load();
    EXPECT_EQ(std::string(font), std::string(app.GetProfileString("Text Tool", "Font", "")));
}

TEST(RecorderApp, ProfileKeyAndProgramFolder)
{
    TestRecorderApp app;
    EXPECT_EQ(std::string("Skorvale Recorder"), std::string(app.m_pszProfileName));
    EXPECT_EQ(0, app.m_openWindowCount);
    CString folder = app.GetProgramFolder();
    ASSERT_FALSE(folder.IsEmpty());
    EXPECT_EQ('\\', folder[folder.GetLength() - 1]);
    char module[MAX_PATH];
    ::GetModuleFileNameA(NULL, module, MAX_PATH);
    EXPECT_EQ(0, std::string(module).find(std::string(folder)));
    app.WriteProfileInt("3.0", "Probe", 5);
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, (app.ProfileKeyPath() + "\\3.0").c_str(), 0,
                                             KEY_READ, &key));
    ::RegCloseKey(key);
    EXPECT_EQ(std::string("Kestravon\\Skorvale Studio\\3.0"), std::string(CRecorderApp::kRegistryKey));
}
