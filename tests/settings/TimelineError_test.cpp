#include "settings/TimelineError.h"

#include "resources/ids_settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <ctime>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Keeps the report instead of dropping it.
class CapturingError : public TimelineError {
public:
    CapturingError(const char* file, int line) : TimelineError(file, line, "") {}
    int OnReport(CString report) override
    {
        reports.push_back(std::string(report));
        return 0;
    }
    std::vector<std::string> reports;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string LogPath()
{
    char folder[MAX_PATH] = {};
    ::SHGetSpecialFolderPathA(NULL, folder, CSIDL_APPDATA, FALSE);
    char module[MAX_PATH] = {};
    ::GetModuleFileNameA(NULL, module, MAX_PATH);
    std::string name = module;
    name = name.substr(name.rfind('\\') + 1);
    name = name.substr(0, name.rfind('.'));
    return std::string(folder) + "\\Kestravon\\Logs\\" + name + ".log";
}

std::string Now()
{
    char stamp[128] = {};
    time_t now = time(NULL);
    strftime(stamp, sizeof(stamp), "%c", localtime(&now));
    return stamp;
}

// Checks the report's layout line by line; returns the frame lines.
void ExpectReportLayout(const std::string& report, const std::string& message, const std::string& file, int line)
{
    std::vector<std::string> lines = Lines(report);
    ASSERT_GE(lines.size(), 7u) << report;
    EXPECT_EQ(message, lines[0]);
    EXPECT_EQ("File:\t " + file, lines[1]);
    EXPECT_EQ("Line:\t " + std::to_string(line), lines[2]);
    EXPECT_EQ("", lines[3]);
    EXPECT_EQ("\t------ Stack Trace ------", lines[4]);
    // Then the frames, an empty line closing the section, and the end.
    EXPECT_EQ("", lines[lines.size() - 2]);
    EXPECT_EQ("", lines[lines.size() - 1]);
    int frames = 0;
    for (size_t i = 5; i + 2 < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.compare(0, 3, "   ") == 0) {
            EXPECT_NE(std::string::npos, l.find(", Line: ")) << l;   // a source line under a frame
        } else {
            EXPECT_NE(std::string::npos, l.find(": ")) << l;
            EXPECT_EQ(std::string::npos, l.find('\\')) << l;         // module without its path
            ++frames;
        }
    }
    EXPECT_LE(frames, 6);
}

}  // namespace

TEST(TimelineError, ResultHelpers)
{
    EXPECT_EQ(1, IsSucceeded(S_OK));
    EXPECT_EQ(1, IsSucceeded(S_FALSE));
    EXPECT_EQ(0, IsSucceeded(E_FAIL));
    EXPECT_EQ(0, IsSucceeded((HRESULT)0x80004005));
    EXPECT_EQ(-7, Identity(-7));
    EXPECT_EQ(200, BoolToInt(200));
}

TEST(TimelineError, ReportLayout)
{
    CapturingError error(".\\XRVCameraConfig", 12);
    error.Report("AddFilter( m_pVideoRenderer ) failed in BuildPreviewGraph()");
    ASSERT_EQ(1u, error.reports.size());
    // The trace starts at the code that reported, not inside the reporter.
    EXPECT_EQ(std::string::npos, error.reports[0].find("DoDumpStack"));
    EXPECT_EQ(std::string::npos, error.reports[0].find("BuildReport"));
    ExpectReportLayout(error.reports[0], "AddFilter( m_pVideoRenderer ) failed in BuildPreviewGraph()",
                       ".\\XRVCameraConfig", 12);
    EXPECT_EQ(nullptr, error.m_arguments);
}

TEST(TimelineError, MessageFromTheStringTable)
{
    CapturingError error(".\\x", 3);
    error.Report(MAKEINTRESOURCEA(IDS_PROFILE_NAME));
    ASSERT_EQ(1u, error.reports.size());
    EXPECT_EQ("Skorvale Recorder", Lines(error.reports[0])[0]);
}

TEST(TimelineError, ArgumentsAreNotApplied)
{
    CapturingError error(".\\w", 433);
    error.Report("Run() failed with error: 0x%x", 5);
    ASSERT_EQ(1u, error.reports.size());
    EXPECT_EQ("Run() failed with error: 0x%x", Lines(error.reports[0])[0]);
}

// The symbol handler is set up on the first report only.
TEST(TimelineError, SymbolHandlerIsSetUpOnce)
{
    CapturingError first(".\\a", 1);
    first.Report("one");
    const int setups = GetSymbolHandlerSetups();
    EXPECT_EQ(1, setups);
    CapturingError second(".\\b", 2);
    second.Report("two");
    CString stack;
    DoDumpStack(stack, 10, 0);
    EXPECT_EQ(setups, GetSymbolHandlerSetups());
}

TEST(TimelineError, StackTraceOfTheCallingThread)
{
    CString all;
    DoDumpStack(all, 100, 0);
    std::vector<std::string> lines = Lines(std::string(all));
    int frames = 0;
    for (const std::string& l : lines)
        if (!l.empty() && l.compare(0, 3, "   ") != 0)
            ++frames;
    EXPECT_GE(frames, 1) << all.GetString();
    // Skipping more frames than there are prints nothing; printing 1 prints one.
    CString none;
    DoDumpStack(none, 6, 10000);
    EXPECT_TRUE(none.IsEmpty()) << none.GetString();
    // One frame: "<module>: <symbol>", the module without its path, and at
    // most one source line under it. The symbol is free text: a C++ name can
    // hold "::" of its own (the 32-bit symbol handler gives qualified names).
    CString one;
    DoDumpStack(one, 1, 0);
    std::vector<std::string> oneLines = Lines(std::string(one));
    ASSERT_FALSE(oneLines.empty());
    EXPECT_EQ("", oneLines.back()) << "the frame ends in a newline: " << one.GetString();
    oneLines.pop_back();
    ASSERT_GE(oneLines.size(), 1u) << one.GetString();
    ASSERT_LE(oneLines.size(), 2u) << one.GetString();
    const std::string& frame = oneLines[0];
    const size_t colon = frame.find(": ");
    ASSERT_NE(std::string::npos, colon) << frame;
    const std::string module = frame.substr(0, colon);
    EXPECT_FALSE(module.empty()) << frame;
    EXPECT_EQ(std::string::npos, module.find_first_of(":\\/")) << "module without its path: " << frame;
    EXPECT_NE("   ", frame.substr(0, 3)) << frame;
    EXPECT_LT(colon + 2, frame.size()) << "a symbol text follows: " << frame;
    if (oneLines.size() == 2) {
        const std::string& source = oneLines[1];
        ASSERT_EQ("   ", source.substr(0, 3)) << source;
        const size_t at = source.find(", Line: ");
        ASSERT_NE(std::string::npos, at) << source;
        const std::string file = source.substr(3, at - 3);
        EXPECT_FALSE(file.empty()) << source;
        EXPECT_EQ(std::string::npos, file.find_first_of(":\\/")) << "file without its path: " << source;
        const std::string number = source.substr(at + 8);
        EXPECT_FALSE(number.empty()) << source;
        EXPECT_EQ(std::string::npos, number.find_first_not_of("0123456789")) << source;
    }
}

TEST(TimelineError, FramePrinter)
{
    EXPECT_EQ(std::string("CaptureLoop"), std::string(DescribeSymbol("CaptureLoop", 0)));
    EXPECT_EQ(std::string("CaptureLoop + 16 bytes"), std::string(DescribeSymbol("CaptureLoop", 16)));
    // A displaced symbol keeps the blank before its "+" and loses the byte count.
    EXPECT_EQ(std::string("recorder.exe: CaptureLoop \n"),
              std::string(FormatStackFrame("C:\\prog\\recorder.exe", "CaptureLoop + 16 bytes", nullptr, 0)));
    EXPECT_EQ(std::string("recorder.exe: CaptureLoop\n   engine.cpp, Line: 120\n"),
              std::string(FormatStackFrame("recorder.exe", "CaptureLoop", "C:\\src\\capture\\engine.cpp", 120)));
    EXPECT_EQ(std::string("<no module>: <no symbol>\n"),
              std::string(FormatStackFrame("<no module>", "<no symbol>", nullptr, 0)));
}

TEST(TimelineError, NothingIsLoggedWhileTheSwitchIsOff)
{
    const std::string path = LogPath();
    ::DeleteFileA(path.c_str());
    SetLogEnabled(FALSE);
    CapturingError error(".\\x", 1);
    error.Report("quiet");
    LogPrintf("%s", "quiet too");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(path.c_str()));
    EXPECT_EQ(1u, error.reports.size());   // the handler still gets the report
}

// With the switch on, each report appends one entry to the program's log:
// a banner, the local time, the (empty) title line and the report.
TEST(TimelineError, LogEntryLayout)
{
    const std::string path = LogPath();
    ::DeleteFileA(path.c_str());
    SetLogEnabled(TRUE);
    const std::string before = Now();
    CapturingError error(".\\XRVDirectShow\\XRVDSFileWriter", 433);
    error.Report("pMediaControl->Run() failed in XRVDSFileWriter::WriteAviToFile");
    const std::string after = Now();
    LogPrintf("%s=%d\n", "tail", 7);
    SetLogEnabled(FALSE);
    ASSERT_STREQ(path.c_str(), GetLogFilePath());
    ASSERT_EQ(1u, error.reports.size());

    std::string bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, &bytes));
    ::DeleteFileA(path.c_str());
    // The file is written in text mode: every line ends in CR LF.
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        EXPECT_NE('\r', bytes[i]) << "a lone CR at " << i;
        text += bytes[i];
    }
    const std::string banner = "\n" + std::string(48, '*') + "\n";
    ASSERT_EQ(banner, text.substr(0, banner.size()));
    const std::string rest = text.substr(banner.size());
    const size_t stampEnd = rest.find('\n');
    const std::string stamp = rest.substr(0, stampEnd);
    EXPECT_TRUE(stamp == before || stamp == after) << stamp;
    EXPECT_EQ("\n\n\n", rest.substr(stampEnd, 3));   // the empty title, then a blank line
    EXPECT_EQ(error.reports[0] + "tail=7\n", rest.substr(stampEnd + 3));
    ExpectReportLayout(error.reports[0], "pMediaControl->Run() failed in XRVDSFileWriter::WriteAviToFile",
                       ".\\XRVDirectShow\\XRVDSFileWriter", 433);
}

TEST(TimelineError, CreateFolderPath)
{
    testsupport::ScratchDir dir;
    const std::string deep = dir.Path() + "\\x\\y\\z\\";
    EXPECT_TRUE(CreateFolderPath(deep.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(deep.c_str()));
    EXPECT_TRUE(CreateFolderPath(dir.Path().c_str()));
    EXPECT_FALSE(CreateFolderPath("nofolder"));
    EXPECT_FALSE(CreateFolderPath(""));
}
