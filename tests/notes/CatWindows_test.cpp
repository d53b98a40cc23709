// The catalogue windows on the test display: the grid's geometry and label
// fitting, the page headers, and the recorder's item window over real
// library files (numbering, layouts, read-only and old-format pages, the
// set-up's fallback, drops).
#include "catalogue/CatAppearance.h"
#include "catalogue/CatManager.h"
#include "catalogue/CatWnd.h"
#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "catalogue/DataLayoutObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/Floater.h"
#include "catalogue/MyCatWnd.h"
#include "catalogue/SkoCatManager.h"
#include "framework/OleDataObject.h"
#include "framework/OleDataSource.h"
#include "framework/ui/AfxWin.h"
#include "NoteTestUtil.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "resources/ids_catwin.h"
#include "resources/ids_controls.h"
#include "settings/RecorderPrefs.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace notetest;

namespace {

// A visible popup that holds a manager over its client area.
class Host : public CWnd {
public:
    explicit Host(int w = 300, int h = 300)
    {
        CreateEx(0, AfxRegisterWndClass(0), "host", WS_POPUP | WS_VISIBLE, 100, 100, w, h, NULL, NULL);
    }
    ~Host() override { DestroyWindow(); }
};

CCatalogueOb* NoteItem(const char* name)
{
    CDataTextObject note;
    note.m_text = name;
    return note.MakeCatalogueItem(name, NULL);
}

// Writes a library of text notes with the given item names.
std::string WriteLibrary(const testsupport::ScratchDir& dir, const std::string& file, int type,
                         const std::vector<const char*>& names)
{
    CCataloguePropertyObject cat;
    cat.m_pageType = type;
    for (const char* name : names)
        cat.InsertItem(cat.GetItemCount(), NoteItem(name));
    const std::string path = dir.File(file);
    EXPECT_EQ(0, cat.SaveTo(path.c_str())) << file;
    return path;
}

// Sets the manager's outer width so that the item grid's client is `width`.
void SetGridClientWidth(CCatManager& manager, int width)
{
    for (int i = 0; i < 4; ++i) {
        RECT c, m;
        manager.GetItemWindow()->GetClientRect(&c);
        manager.GetClientRect(&m);
        const int want = m.right + (width - c.right);
        manager.MoveWindow(0, 0, want, 300);
        manager.LayoutItems();
        manager.GetItemWindow()->Layout();
    }
}

TEST(CatGrid, ColumnsMarginAndScrollRange)
{
    Host host(400, 400);
    CCatManager manager;
    ASSERT_TRUE(manager.CreateManager(WS_CHILD | WS_VISIBLE, CRect(0, 0, 300, 300), &host, 1));
    for (int i = 0; i < 7; ++i)
        manager.GetActivePage()->InsertItem(i, NoteItem("n"));
    CCatWnd* grid = manager.GetItemWindow();
    manager.GetAppearance()->cell[0].cx = 50;
    manager.GetAppearance()->cell[0].cy = 70;
    grid->SetPage(manager.GetActivePage());

    struct Case {
        int clientWidth;
        int columns, margin, scrollMax;
    } cases[] = {
        {130, 2, 15, 4 * 70 - 1},   // 7 items in 2 columns: 4 rows
        {150, 3, 0, 3 * 70 - 1},    // 3 columns: 3 rows, maximum 209
        {175, 3, 12, 209},
        {40, 1, 0, 7 * 70 - 1},     // narrower than a cell: one column
    };
    for (const Case& c : cases) {
        SetGridClientWidth(manager, c.clientWidth);
        RECT client;
        grid->GetClientRect(&client);
        ASSERT_EQ(c.clientWidth, client.right);
        EXPECT_EQ(c.columns, grid->GetColumns()) << c.clientWidth;
        EXPECT_EQ(c.margin, grid->GetMargin()) << c.clientWidth;
        SCROLLINFO si = {};
        grid->GetScrollInfo(SB_VERT, &si, SIF_RANGE);
        EXPECT_EQ(c.scrollMax, si.nMax) << c.clientWidth;
    }

    // Hit test and insertion index at 3 columns, margin 0.
    SetGridClientWidth(manager, 150);
    const RECT icon4 = grid->GetIconRect(4);
    EXPECT_EQ(4, grid->HitTest(CPoint(icon4.left + 2, icon4.top + 2)));
    EXPECT_EQ(-1, grid->HitTest(CPoint(1, 1)));
    EXPECT_EQ(1, grid->InsertIndexAt(CPoint(30, 10)));    // right half of cell 0
    EXPECT_EQ(0, grid->InsertIndexAt(CPoint(20, 10)));
    EXPECT_EQ(7, grid->InsertIndexAt(CPoint(140, 500)));  // capped at the count
}

TEST(CatManager, HeadersItemBandAndHitTest)
{
    Host host(400, 400);
    CCatManager manager;
    ASSERT_TRUE(manager.CreateManager(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 300), &host, 1));
    for (int type : {1, 2}) {
        CCataloguePropertyObject* page = new CCataloguePropertyObject;
        page->m_pageType = type;
        manager.AddPage(page);
    }
    ASSERT_EQ(3, manager.GetPageCount());
    manager.SetHeaderHeight(18);
    manager.Activate(2);
    RECT band = manager.GetItemRect();
    EXPECT_EQ(246, band.bottom - band.top);
    EXPECT_EQ(54, band.top);
    struct Hit {
        int active, y, page;
    } hits[] = {
        {2, 30, 1}, {2, 5, 0}, {2, 50, 2}, {2, 100, -1},
        {0, 10, 0}, {0, 100, -1}, {0, 270, 1}, {0, 290, 2},
    };
    for (const Hit& h : hits) {
        manager.Activate(h.active);
        EXPECT_EQ(h.page, manager.HitTestHeader(CPoint(5, h.y))) << h.active << "/" << h.y;
    }
    EXPECT_EQ(-1, manager.HitTestHeader(CPoint(-1, 5)));

    // Closing is refused while exactly two pages are open.
    EXPECT_TRUE(manager.ClosePage(2));
    EXPECT_FALSE(manager.ClosePage(0));
    EXPECT_EQ(2, manager.GetPageCount());
}

TEST(CatManager, NewShapesPagesGoBeforeTextNotesAndLayoutsFirst)
{
    CCatManager manager;   // one shapes page from the start
    const int types[] = {2, 0, 1};
    const int expectPos[] = {1, 0, 2};
    for (int i = 0; i < 3; ++i) {
        CCataloguePropertyObject* page = new CCataloguePropertyObject;
        page->m_pageType = types[i];
        EXPECT_EQ(expectPos[i], manager.AddPage(page)) << types[i];
    }
    std::vector<int> order;
    for (int i = 0; i < manager.GetPageCount(); ++i)
        order.push_back(manager.GetPageAt(i)->m_pageType);
    EXPECT_EQ((std::vector<int>{0, 1, 1, 2}), order);
}

// Counts pixels other than the face colour in a header drawn w pixels wide,
// outside its frame, its page icon (x < 17) and its marker icon (the last 16
// pixels, where a header of 32 or more shows it).
int HeaderTextInk(CCatManager& manager, int w)
{
    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, 18);
    HGDIOBJ old = ::SelectObject(mem, bitmap);
    const RECT r = {0, 0, w, 18};
    manager.DrawHeader(mem, r, 0);
    int ink = 0;
    for (int y = 1; y < 17; ++y)
        for (int x = 17; x < (w >= 32 ? w - 16 : w - 1); ++x)
            if (::GetPixel(mem, x, y) != ::GetSysColor(COLOR_BTNFACE))
                ++ink;
    ::SelectObject(mem, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(mem);
    ::ReleaseDC(NULL, screen);
    return ink;
}

TEST(CatManager, HeaderShowsNameOnlyWhenWideEnoughAndFitsItByBytes)
{
    Host host;
    CCatManager manager;
    ASSERT_TRUE(manager.CreateManager(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 300), &host, 1));
    manager.GetPageAt(0)->m_name = "Library";
    manager.GetPageAt(0)->m_readOnly = TRUE;
    EXPECT_EQ(0, HeaderTextInk(manager, 30));
    EXPECT_EQ(0, HeaderTextInk(manager, 40));
    EXPECT_GT(HeaderTextInk(manager, 41), 0);

    HDC dc = ::CreateCompatibleDC(NULL);
    auto width = [&](const CString& s) {
        SIZE size;
        ::GetTextExtentPoint32A(dc, s, s.GetLength(), &size);
        return (int)size.cx;
    };
    // Prefixes up to one byte short all fit 60 pixels, the whole does not:
    // drawn whole.
    CString name;
    while (width(name + "i") <= 60)
        name += "i";
    name += "WWW";
    while (width(name.Left(name.GetLength() - 1)) > 60)
        name = name.Left(name.GetLength() - 2) + "W";
    ASSERT_GT(width(name), 60);
    EXPECT_STREQ((const char*)name, (const char*)manager.FitHeaderName(dc, name, 100));
    // A longer name is cut before the first prefix that does not fit.
    const CString longer = name + "WWWW";
    const CString fitted = manager.FitHeaderName(dc, longer, 100);
    EXPECT_EQ("...", std::string(fitted.Right(3)));
    EXPECT_LE(width(fitted.Left(fitted.GetLength() - 3)), 60);
    // One byte is never shortened.
    EXPECT_STREQ("W", (const char*)manager.FitHeaderName(dc, "W", 41));
    ::DeleteDC(dc);
}

TEST(CatGrid, LabelLinesAndPastedTextNames)
{
    HDC dc = ::CreateCompatibleDC(NULL);
    SIZE one;
    ::GetTextExtentPoint32A(dc, "abcd", 4, &one);
    const int wide = 10 * one.cx;
    struct Case {
        const char* text;
        int width;
        BOOL ellipsis;
        const char* line;
        int consumed;
    } cases[] = {
        {"abcd", 0, FALSE, "", 0},                        // width 0 set below
        {"first\r\nsecond", 0, FALSE, "first", 7},        // up to CR, CR LF skipped
        {"abcd abcd abcd abcd", 0, FALSE, "abcd abcd", 10},  // cut at the last space
    };
    cases[0] = {"abcd", wide, FALSE, "abcd", 4};
    cases[1].width = wide;
    SIZE nine;
    ::GetTextExtentPoint32A(dc, "abcd abcd a", 11, &nine);
    cases[2].width = nine.cx;
    for (const Case& c : cases) {
        int used = -1;
        EXPECT_STREQ(c.line, (const char*)CCatWnd::FitLabelLine(dc, c.text, c.width, c.ellipsis, &used)) << c.text;
        EXPECT_EQ(c.consumed, used) << c.text;
    }
    int used = 0;
    const CString last = CCatWnd::FitLabelLine(dc, "abcd abcd abcd abcd", nine.cx, TRUE, &used);
    EXPECT_EQ("...", std::string(last.Right(3)));
    ::DeleteDC(dc);

    const std::string twoHundred(200, 'x');
    const std::string chinese = std::string(63, 'a') + "\xD6\xD0\xCE\xC4";   // 63 bytes, then two characters
    struct Paste {
        std::string data;
        std::string name;
    } pastes[] = {
        {std::string("short note\0garbage", 18), "short note"},
        {twoHundred, std::string(64, 'x')},
        {"a\tb\x01" "c\r\nd", "a b c\r\nd"},
        {chinese, std::string(63, 'a')},   // a character is never cut in half
    };
    for (const Paste& p : pastes)
        EXPECT_EQ(p.name, std::string((const char*)CCatWnd::PastedTextName(p.data.data(), p.data.size())));
}

// The recorder's catalogue over libraries in a scratch folder.
class RecorderCatalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.reset(new Host(300, 500));
        manager.reset(new CSkoCatManager);
        ASSERT_TRUE(manager->CreateManager(WS_CHILD | WS_VISIBLE, CRect(0, 0, 300, 500), host.get(), 1));
        items = static_cast<CMyCatWnd*>(manager->GetItemWindow());
        ASSERT_TRUE(items->IsKindOf(RUNTIME_CLASS(CMyCatWnd)));
        const POINT origin = {0, 0};
        items->GetDesk().SetDesktop(origin, 1920, 1080);
    }
    void TearDown() override
    {
        manager.reset();
        host.reset();
    }
    int Open(const std::string& path, int type)
    {
        EXPECT_TRUE(manager->OpenPage(type, path.c_str())) << path;
        return manager->GetActive();
    }

    FakeHost fakeHost;
    testsupport::ScratchDir dir{"catwin"};
    std::unique_ptr<Host> host;
    std::unique_ptr<CSkoCatManager> manager;
    CMyCatWnd* items = nullptr;
};

TEST_F(RecorderCatalogue, NextNumberComparesThePrefixByCharacterIgnoringCase)
{
    Open(WriteLibrary(dir, "n.skot", 2, {"形状-2", "形状-10", "形状-abc", "Shape-5", "形状-1234567"}), 2);
    struct Case {
        const char* prefix;
        int next;
    } cases[] = {
        {"形状-", 123457},   // at most six digits are read
        {"SHAPE-", 6},
        {"shape-", 6},
        {"none-", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.next, items->NextNumber(c.prefix)) << c.prefix;
}

TEST_F(RecorderCatalogue, SavingLayoutsNumbersThemAndTheKeysCycleThem)
{
    const std::string layouts = WriteLibrary(dir, "l.skol", 0, {});
    Open(WriteLibrary(dir, "n.skot", 2, {"A note"}), 2);
    Open(layouts, 0);
    ASSERT_EQ(0, manager->GetActive());

    struct Probe : CCmdUI {
        BOOL enabled = TRUE;
        void Enable(BOOL on) override { enabled = on; }
    } probe;
    probe.m_nID = ID_CATR_SAVE_LAYOUT;
    items->OnCmdMsg(ID_CATR_SAVE_LAYOUT, CN_UPDATE_COMMAND_UI, &probe, NULL);
    EXPECT_FALSE(probe.enabled) << "nothing to save without floaters";

    CDataTextObject* note = new CDataTextObject;
    note->m_text = "floating";
    note->m_x = 500;
    note->m_y = 400;
    ASSERT_NE(nullptr, items->GetDesk().PlaceOnDesktop(note, "floating", FALSE, NULL));
    items->SaveLayout();
    ASSERT_EQ(1, manager->GetActivePage()->GetItemCount());
    EXPECT_STREQ("布局-1", (const char*)manager->GetActivePage()->GetItem(0)->GetName());
    // The second layout holds two notes.
    CDataTextObject* second = new CDataTextObject;
    second->m_x = 900;
    second->m_y = 700;
    items->GetDesk().PlaceOnDesktop(second, "second", FALSE, NULL);
    items->SaveLayout();
    ASSERT_EQ(2, manager->GetActivePage()->GetItemCount());
    EXPECT_STREQ("布局-2", (const char*)manager->GetActivePage()->GetItem(1)->GetName());

    // Both are in the file.
    CCataloguePropertyObject reread;
    reread.m_pageType = 0;
    ASSERT_EQ(0, reread.Open(layouts.c_str()));
    ASSERT_EQ(2, reread.GetItemCount());

    // The keys: next opens layout 1 (one note), next again layout 2 (two),
    // next wraps to layout 1; show/hide closes them, then opens again.
    items->CloseAllFloaters();
    items->SelectIndex(-1);
    const struct {
        UINT command;
        int floaters;
        int selected;
    } steps[] = {
        {ID_CAT_LAYOUT_NEXT, 1, 0},   {ID_CAT_LAYOUT_NEXT, 2, 1}, {ID_CAT_LAYOUT_NEXT, 1, 0},
        {ID_CAT_LAYOUT_PREV, 2, 1},   {ID_CAT_LAYOUT_TOGGLE, 0, 1}, {ID_CAT_LAYOUT_TOGGLE, 2, 1},
    };
    for (const auto& step : steps) {
        items->SendMessage(WM_COMMAND, step.command);
        EXPECT_EQ(step.floaters, items->GetDesk().GetCount()) << step.command;
        EXPECT_EQ(step.selected, items->GetSelection()) << step.command;
    }
    // Reopened notes stand at their saved centres and are named after the layout.
    ASSERT_EQ(2, items->GetDesk().GetCount());
    CFloater* f = items->GetDesk().GetAt(1);
    RECT r;
    f->GetWindowRect(&r);
    EXPECT_EQ(900, (r.left + r.right) / 2);
    EXPECT_EQ(700, (r.top + r.bottom) / 2);
    EXPECT_STREQ("布局-2-2", (const char*)f->GetName());
}

TEST_F(RecorderCatalogue, ReadOnlyPagesRefuseDeletingAndOldPagesAskToUpgradeFirst)
{
    const std::string path = WriteLibrary(dir, "r.skot", 2, {"one", "two"});
    Open(path, 2);
    manager->GetActivePage()->m_readOnly = TRUE;
    items->SelectIndex(0);
    items->SendMessage(WM_KEYDOWN, VK_DELETE, 0);
    uitest::PumpPending();
    EXPECT_EQ(2, manager->GetActivePage()->GetItemCount());

    // An old library: Delete asks the upgrade question; Cancel changes nothing.
    std::string old;
    ASSERT_TRUE(testsupport::ReadFileBytes(testsupport::SourceDir() + "\\tests\\catalogue\\data\\old_v22.skoo.expected",
                                           &old));
    const std::string oldPath = dir.File("old.skoo");
    ASSERT_TRUE(testsupport::WriteFileBytes(oldPath, old.data(), old.size()));
    Open(oldPath, 1);
    ASSERT_EQ(0x02020000u, manager->GetActivePage()->m_version);
    const int count = manager->GetActivePage()->GetItemCount();
    ASSERT_GT(count, 0);
    items->SelectIndex(0);
    CString ask;
    ask.LoadString(IDS_CAT_UPGRADE_ASK);
    // Delete, F2 (rename) and moving an item by a drop each ask first.
    const std::function<void()> edits[] = {
        [&] { items->SendMessage(WM_COMMAND, ID_CAT_DELETE); },
        [&] { items->SendMessage(WM_KEYDOWN, VK_F2, 0); },
        [&] {
            COleDataSource* source = new COleDataSource;
            manager->GetActivePage()->GetItem(0)->PlaceOnDataSource(source);
            COleDataObject data;
            data.Attach(source->GetDataObject(), FALSE);
            items->m_draggedIndex = 0;
            items->DropData(&data, DROPEFFECT_MOVE, CPoint(5, 400));
            items->m_draggedIndex = -1;
            data.Release();
            source->InternalRelease();
        },
    };
    for (const auto& edit : edits) {
        std::vector<std::string> seen;
        {
            uitest::ModalAnswerer answer([](HWND h) { return uitest::ModalAnswerer::Press(h, IDCANCEL); });
            edit();
            seen = answer.MessageTexts();
        }
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ(std::string((const char*)ask), seen[0]);
        EXPECT_EQ(count, manager->GetActivePage()->GetItemCount());
    }
    std::string after;
    ASSERT_TRUE(testsupport::ReadFileBytes(oldPath, &after));
    EXPECT_EQ(old, after) << "an edit that was not upgraded writes nothing";
}

TEST_F(RecorderCatalogue, UpgradingInPlaceRewritesTheLibraryAtTheCurrentVersionThenEdits)
{
    std::string old;
    ASSERT_TRUE(testsupport::ReadFileBytes(testsupport::SourceDir() + "\\tests\\catalogue\\data\\old_v22.skoo.expected",
                                           &old));
    const std::string oldPath = dir.File("old.skoo");
    ASSERT_TRUE(testsupport::WriteFileBytes(oldPath, old.data(), old.size()));
    Open(oldPath, 1);
    ASSERT_EQ(1, manager->GetActivePage()->GetItemCount());
    items->SelectIndex(0);
    std::vector<std::string> seen;
    {
        // Yes to upgrading in place, Yes to the confirmation.
        uitest::ModalAnswerer answer([](HWND h) { return uitest::ModalAnswerer::Press(h, IDYES); });
        items->SendMessage(WM_COMMAND, ID_CAT_DELETE);
        seen = answer.MessageTexts();
    }
    EXPECT_EQ(2u, seen.size());
    EXPECT_EQ(0x04000000u, manager->GetActivePage()->m_version);
    EXPECT_EQ(0, manager->GetActivePage()->GetItemCount()) << "the delete ran after the upgrade";
    CCataloguePropertyObject reread;
    reread.m_pageType = 1;
    ASSERT_EQ(0, reread.Open(oldPath.c_str()));
    EXPECT_EQ(0x04000000u, reread.m_version);
    EXPECT_EQ(0, reread.GetItemCount());
}

TEST_F(RecorderCatalogue, TheFallbackLeavesAnUnreadableLibraryAlone)
{
    // No file at the second path: an empty page that the first save creates.
    const std::string missing = dir.File("我的文字便条.skot");
    EXPECT_TRUE(manager->OpenWithFallback(dir.File("nowhere.skot").c_str(), missing.c_str(), 2));
    EXPECT_EQ(missing, std::string((const char*)manager->GetActivePage()->m_path));
    EXPECT_STREQ("我的文字便条", (const char*)manager->GetActivePage()->m_name);

    // A file there that is no library: reported, not taken, not changed.
    const std::string broken = dir.File("broken.skoo");
    const std::string junk = "SCPD\x00\x00\x00\x04\xFF\xFF\xFF\xFFjunk";
    ASSERT_TRUE(testsupport::WriteFileBytes(broken, junk.data(), junk.size()));
    const int pages = manager->GetPageCount();
    std::vector<std::string> seen;
    {
        uitest::ModalAnswerer answer([](HWND h) { return uitest::ModalAnswerer::Press(h, IDOK); });
        EXPECT_FALSE(manager->OpenWithFallback(NULL, broken.c_str(), 1));
        seen = answer.MessageTexts();
    }
    EXPECT_EQ(1u, seen.size()) << "the refusal is reported";
    EXPECT_EQ(pages, manager->GetPageCount());
    EXPECT_EQ(-1, manager->FindPage(broken.c_str()));
    std::string after;
    ASSERT_TRUE(testsupport::ReadFileBytes(broken, &after));
    EXPECT_EQ(junk, after);
}

TEST_F(RecorderCatalogue, ADroppedItemGetsAFreshIdAndIsSaved)
{
    const std::string path = WriteLibrary(dir, "d.skot", 2, {"first"});
    Open(path, 2);
    CDataGenericObject* original = items->GetItemDataObject(0);
    ASSERT_NE(nullptr, original);
    const DWORD id = original->m_id;
    delete original;

    COleDataSource* source = new COleDataSource;
    manager->GetActivePage()->GetItem(0)->PlaceOnDataSource(source);
    COleDataObject data;
    data.Attach(source->GetDataObject(), FALSE);
    EXPECT_TRUE(items->DropData(&data, DROPEFFECT_COPY, CPoint(5, 400)));
    data.Release();
    source->InternalRelease();

    ASSERT_EQ(2, items->GetItemCount());
    CDataGenericObject* copy = items->GetItemDataObject(1);
    ASSERT_NE(nullptr, copy);
    EXPECT_NE(id, copy->m_id);
    delete copy;
    CCataloguePropertyObject reread;
    reread.m_pageType = 2;
    ASSERT_EQ(0, reread.Open(path.c_str()));
    EXPECT_EQ(2, reread.GetItemCount());
    EXPECT_STREQ("first", (const char*)reread.GetItem(1)->GetName());
}

TEST_F(RecorderCatalogue, PagesArePaintedInTheirKindsColours)
{
    const struct {
        const char* file;
        int type;
        COLORREF colour;
    } pages[] = {
        {"p.skol", 0, RGB(0x80, 0xFF, 0x80)},
        {"p.skoo", 1, RGB(255, 255, 128)},
        {"p.skot", 2, RGB(0x80, 0xFF, 0xFF)},
    };
    for (const auto& p : pages) {
        Open(WriteLibrary(dir, p.file, p.type, {}), p.type);
        items->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
        int w = 0, h = 0;
        const std::vector<DWORD> px = uitest::CaptureClient(items->GetSafeHwnd(), &w, &h);
        ASSERT_FALSE(px.empty());
        const COLORREF c = p.colour;
        const DWORD rgb = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        EXPECT_EQ(rgb, px[(h / 2) * w + w / 2] & 0xFFFFFF) << p.file;
    }
}

}  // namespace

// The first press on the layout library shows the hot-key tip; unticking
// "show again" keeps it away for good, also from a new catalogue window.
TEST_F(RecorderCatalogue, TheFirstPressOnTheLayoutsShowsTheHotKeyTipOnce)
{
    for (bool untick : {false, true}) {
        CRecorderPrefs prefs(NULL);
        prefs.m_flags = 0;
        fakeHost.prefs = &prefs;
        int tips = 0;
        for (int window = 0; window < 2; ++window) {
            TearDown();
            SetUp();
            Open(WriteLibrary(dir, "n.skot", 2, {"A note"}), 2);
            Open(WriteLibrary(dir, "l.skol", 0, {}), 0);
            uitest::ModalAnswerer answerer([&](HWND dialog) {
                char caption[128] = "";
                ::GetWindowTextA(dialog, caption, sizeof(caption));
                if (std::string(caption) != "Skorvale 录像器提示")
                    return false;
                ++tips;
                if (untick)
                    ::CheckDlgButton(dialog, IDC_TIP_SHOW_AGAIN, BST_UNCHECKED);
                return uitest::ModalAnswerer::Press(dialog, IDOK);
            });
            // Two presses on the layout page, one on the notes page.
            for (int press = 0; press < 2; ++press) {
                items->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                items->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            }
            manager->Activate(1);
            items->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            items->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        }
        EXPECT_EQ(untick ? 1 : 2, tips) << (untick ? "unticked" : "kept");
        EXPECT_EQ(untick, (prefs.m_flags & kFlagNoHotKeyTip) != 0);
        fakeHost.prefs = nullptr;
    }
    // Without preferences there is nothing to remember it in: no tip.
    EXPECT_FALSE(items->OfferHotKeyTip());
}
