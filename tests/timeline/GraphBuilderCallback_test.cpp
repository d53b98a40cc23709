// Blocked filters and the filter-usage log: the list and flag read from the
// INI file, the in-process server lookup (an unterminated value refused),
// and Wine's graph builder skipping every filter of a blocked DLL.
#include "DexTestMedia.h"
#include "TimelineTestSupport.h"
#include "TestSupport.h"

#include "XRVDirectShow/GraphBuilderCallback.h"

namespace {

using namespace dextest;

class GraphBuilderCallbackTest : public ComTest {
protected:
    testsupport::ScratchDir dir{"blocked"};
    std::string Ini(const std::string& text)
    {
        std::string path = dir.File("BlockedFilters.ini");
        EXPECT_TRUE(testsupport::WriteFileBytes(path, text.data(), text.size()));
        return path;
    }
    static std::string LogPath()
    {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        return std::string(folder) + "XRV_Filters_Used.txt";
    }
    // The server DLLs (lower case) of the filters in a graph.
    static std::vector<std::string> Dlls(IGraphBuilder* graph)
    {
        std::vector<std::string> dlls;
        CComPtr<IEnumFilters> filters;
        graph->EnumFilters(&filters);
        CComPtr<IBaseFilter> f;
        while (filters->Next(1, &f, NULL) == S_OK) {
            CLSID clsid;
            WCHAR text[64];
            char narrow[64];
            CString path;
            if (SUCCEEDED(f->GetClassID(&clsid)) && StringFromGUID2(clsid, text, 64) &&
                WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, 64, NULL, NULL) &&
                GetInprocServerPath(narrow, &path)) {
                path.MakeLower();
                int slash = path.ReverseFind('\\');
                dlls.push_back((const char*)(slash < 0 ? path : path.Mid(slash + 1)));
            }
            f.Release();
        }
        return dlls;
    }
};

TEST_F(GraphBuilderCallbackTest, ListAndFlagFromTheIniFile)
{
    struct Case {
        const char* name;
        const char* text;   // null: no file
        int entries;
        int flag;
    } cases[] = {
        {"no file", NULL, 0, 0},
        {"keys 0, 1, 3", "[Filters]\r\nFilter_0=a.dll\r\nFilter_1=B.DLL\r\nFilter_3=c.dll\r\n", 2, 0},
        {"logging on", "[Filters]\r\nFilter_0=a.dll\r\n[Flags]\r\nWriteFilters=1\r\n", 1, 1},
    };
    for (const Case& c : cases) {
        std::string path = c.text ? Ini(c.text) : dir.File("none.ini");
        CGraphBuilderCallback callback;
        callback.LoadFrom(path.c_str());
        EXPECT_EQ(c.entries, (int)callback.Blocked().GetSize()) << c.name;
        EXPECT_EQ(c.flag, callback.WriteFilters()) << c.name;
    }
}

TEST_F(GraphBuilderCallbackTest, InprocServerLookup)
{
    const char* clsid = "{0BADC1A5-1111-4E54-A85F-F8DD9343D76A}";
    const std::string keyName = std::string("Software\\Classes\\CLSID\\") + clsid + "\\InprocServer32";
    struct Case {
        const char* name;
        std::string value;
        bool terminated;
        bool found;
    } cases[] = {
        {"a path", "C:\\windows\\system32\\quartz.dll", true, true},
        {"an unterminated 260-byte value", std::string(260, 'a'), false, false},
    };
    for (const Case& c : cases) {
        HKEY key = NULL;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                                 &key, NULL));
        RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)c.value.c_str(),
                       (DWORD)(c.value.size() + (c.terminated ? 1 : 0)));
        RegCloseKey(key);
        CString path;
        EXPECT_EQ(c.found, GetInprocServerPath(clsid, &path) != FALSE) << c.name;
        if (c.found) {
            EXPECT_STREQ(c.value.c_str(), (const char*)path) << c.name;
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyName.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\CLSID\\") + clsid).c_str());
    }
    CString untouched("kept");
    EXPECT_FALSE(GetInprocServerPath(clsid, &untouched)) << "no key";
    EXPECT_STREQ("kept", (const char*)untouched);
}

// Wine reads AVI files through winegstreamer.dll: with that DLL blocked the
// graph builder takes none of its filters; without, it does, and the log
// names them.
TEST_F(GraphBuilderCallbackTest, BlockedDllIsSkippedByTheGraphBuilder)
{
    std::string b = dir.File("B.avi");
    AviPlan avi;
    avi.frameColours.assign(5, kBlue);
    avi.toneRate = 22050;
    avi.toneSamples = 22050;
    ASSERT_EQ("", WriteAvi(b, avi));
    std::wstring wide(b.begin(), b.end());
    DeleteFileA(LogPath().c_str());

    struct Case {
        const char* name;
        const char* ini;
        bool gstreamerUsed;
        bool logged;
    } cases[] = {
        {"logging, nothing blocked", "[Flags]\r\nWriteFilters=1\r\n", true, true},
        {"winegstreamer blocked", "[Filters]\r\nFilter_0=WINEGSTREAMER.DLL\r\n", false, false},
    };
    for (const Case& c : cases) {
        DeleteFileA(LogPath().c_str());
        CGraphBuilderCallback callback;
        callback.LoadFrom(Ini(c.ini).c_str());
        CComPtr<IGraphBuilder> graph;
        ASSERT_EQ(S_OK, graph.CoCreateInstance(CLSID_FilterGraph));
        ASSERT_EQ(S_OK, callback.Attach(graph));
        graph->RenderFile(wide.c_str(), NULL);
        std::vector<std::string> dlls = Dlls(graph);
        bool used = std::find(dlls.begin(), dlls.end(), "winegstreamer.dll") != dlls.end();
        EXPECT_EQ(c.gstreamerUsed, used) << c.name;
        std::string log;
        bool haveLog = testsupport::ReadFileBytes(LogPath(), &log);
        EXPECT_EQ(c.logged, haveLog && log.find("=winegstreamer.dll") != std::string::npos) << c.name << ": " << log;
        // Wine 8.0's graph dereferences a null site: the callback stays set
        // until the graph goes.
    }
    DeleteFileA(LogPath().c_str());
}

TEST_F(GraphBuilderCallbackTest, CategoryEnumerator)
{
    CComPtr<IEnumMoniker> monikers;
    HRESULT hr = CreateCategoryEnumerator(CLSID_LegacyAmFilterCategory, &monikers);
    ASSERT_EQ(S_OK, hr);
    CComPtr<IMoniker> first;
    EXPECT_EQ(S_OK, monikers->Next(1, &first, NULL));
    EXPECT_EQ(E_POINTER, CreateCategoryEnumerator(CLSID_LegacyAmFilterCategory, NULL));
}

}  // namespace
