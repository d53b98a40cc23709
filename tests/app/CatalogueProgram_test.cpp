// Vexcap.exe's screen notes under Xvfb, driven with real input where the
// display carries it (header clicks, context menus, drags, keys) and with
// messages to its windows elsewhere: the shipped libraries on a first run,
// a new text note in the library file and on the desktop, floaters opened,
// dragged, edited and saved, a layout and its hot key, hiding and showing
// the window, and a restart that keeps it all.
#include "app/AppMessages.h"
#include "catalogue/CataloguePropertyObject.h"
#include "catalogue/CatalogueOb.h"
#include "catalogue/DataGenericObject.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "resources/ids_app.h"
#include "resources/ids_catwin.h"
#include "resources/ids_notes.h"
#include "tests/support/TestSupport.h"
#include "AppTestSupport.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <shlobj.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace apptest;
using testsupport::ScratchRegKey;

namespace {

const char kPrefsKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0\\Skorvale Recorder\\3.0";

std::string LibraryFolder()
{
    char appData[MAX_PATH] = "";
    ::SHGetSpecialFolderPathA(NULL, appData, CSIDL_LOCAL_APPDATA, TRUE);
    return std::string(appData) + "\\Kestravon\\Skorvale Studio\\3.0\\Skorvale Recorder\\Libraries";
}

COLORREF Pixel(int x, int y)
{
    HDC screen = ::GetDC(NULL);
    const COLORREF c = ::GetPixel(screen, x, y);
    ::ReleaseDC(NULL, screen);
    return c;
}

HWND FindCatalogue()
{
    return ::FindWindowA("#32770", "屏幕便笺");
}

// The screen rectangle of a window.
RECT Rect(HWND w)
{
    RECT r = {};
    ::GetWindowRect(w, &r);
    return r;
}

struct FloaterSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectFloater(HWND w, LPARAM p)
{
    FloaterSearch* s = (FloaterSearch*)p;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    char cls[16] = "";
    ::GetClassNameA(w, cls, sizeof cls);
    const LONG ex = ::GetWindowLongA(w, GWL_EXSTYLE);
    if (pid == s->pid && ::IsWindowVisible(w) && (ex & WS_EX_TOPMOST) && (ex & WS_EX_TOOLWINDOW) &&
        lstrcmpA(cls, "#32770") != 0)
        s->found.push_back(w);
    return TRUE;
}

// The visible floaters of the program that owns `main`: its top-most tool
// windows other than dialogs.
std::vector<HWND> Floaters(HWND main)
{
    FloaterSearch search = {0, {}};
    ::GetWindowThreadProcessId(main, &search.pid);
    ::EnumWindows(&CollectFloater, (LPARAM)&search);
    return search.found;
}

// The program's floater whose top-left corner is (x, y), or NULL.
HWND FloaterAt(HWND main, int x, int y)
{
    for (HWND w : Floaters(main)) {
        RECT r;
        ::GetWindowRect(w, &r);
        if (r.left == x && r.top == y)
            return w;
    }
    return NULL;
}

// Sums the pixels of a screen rectangle (to see that a drawing changed).
unsigned long long Ink(int left, int top, int right, int bottom)
{
    unsigned long long sum = 0;
    HDC screen = ::GetDC(NULL);
    for (int y = top; y < bottom; y += 1)
        for (int x = left; x < right; x += 1)
            sum = sum * 31 + ::GetPixel(screen, x, y);
    ::ReleaseDC(NULL, screen);
    return sum;
}

// The number of items of a library; the last item's note text and name.
int ItemCount(const std::string& path, int type, std::string* firstText = nullptr, std::string* lastName = nullptr)
{
    CCataloguePropertyObject cat;
    cat.m_pageType = type;
    if (cat.Open(path.c_str()) != 0)
        return -1;
    if (lastName && cat.GetItemCount() > 0)
        *lastName = (const char*)cat.GetItem(cat.GetItemCount() - 1)->GetName();
    if (firstText && cat.GetItemCount() > 0) {
        const CCatalogueOb* item = cat.GetItem(cat.GetItemCount() - 1);
        const int r = item->FindRendering(CDataTextObject::kTypeName);
        if (r >= 0) {
            const CCatalogueOb::Rendering& bytes = item->GetRendering(r);
            CDataGenericObject* note = CDataGenericObject::ReadRendering(
                CDataTextObject::kTypeName, bytes.bytes.data(), (DWORD)bytes.bytes.size(), cat.m_version, "t");
            *firstText = (const char*)static_cast<CDataTextObject*>(note)->m_text;
            delete note;
        }
    }
    return cat.GetItemCount();
}

class CatalogueProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::RemoveTree(LibraryFolder());
        // A first run: the key is there without "AutoPan".
        HKEY key = NULL;
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegCreateKeyExA(HKEY_CURRENT_USER, kPrefsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
        const DWORD nextLayoutKey = 0x800 | 8;   // F8
        ::RegSetValueExA(key, "NextLayoutKey", 0, REG_DWORD, (const BYTE*)&nextLayoutKey, sizeof(DWORD));
        ::RegDeleteValueA(key, "AutoPan");
        ::RegCloseKey(key);
    }
    void TearDown() override { testsupport::RemoveTree(LibraryFolder()); }

    // Starts the program and waits for its main window and catalogue.
    bool Start()
    {
        program.reset(new Program(""));
        return PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 30000) &&
               PumpUntil([&] { return (catalogue = FindCatalogue()) != NULL; }, 10000);
    }
    void Quit()
    {
        EXPECT_EQ(0, RunProgram("/X"));
        EXPECT_EQ(0, program->Wait(30000));
        program.reset();
    }
    HWND Items() const { return ::GetDlgItem(::GetDlgItem(catalogue, IDC_CAT_MANAGER), IDC_CAT_ITEMS); }
    // Clicks header `i` of three; the headers up to the active one's lie
    // above the item band, the others below it.
    void ClickHeader(int i, int active)
    {
        const RECT m = Rect(::GetDlgItem(catalogue, IDC_CAT_MANAGER));
        const RECT band = Rect(Items());
        const int header = ((m.bottom - m.top) - (band.bottom - band.top)) / 3;
        const int y = i <= active ? m.top + header * i + header / 2 : band.bottom + header * (i - active - 1) + header / 2;
        ClickAt((m.left + m.right) / 2, y);
        Pump(300);
    }
    COLORREF ItemBackground()
    {
        const RECT band = Rect(Items());
        return Pixel(band.right - 30, band.bottom - 10);
    }

    ScratchRegKey scratch{kPrefsKey};
    std::unique_ptr<Program> program;
    HWND main = NULL;
    HWND catalogue = NULL;
};

TEST_F(CatalogueProgram, ShippedLibrariesNotesLayoutsAndARestart)
{
    ASSERT_TRUE(Start());
    const std::string notes = LibraryFolder() + "\\我的文字便条.skot";
    const std::string layouts = LibraryFolder() + "\\编排.skol";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(notes.c_str())) << "the first run copied the libraries";
    EXPECT_FALSE(::IsWindowVisible(catalogue));

    // The main window's command shows it.
    ::PostMessageA(main, WM_COMMAND, ID_CAT_HIDE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(catalogue) != 0; }, 5000));
    ::SetWindowPos(catalogue, HWND_TOP, 700, 100, 260, 420, SWP_SHOWWINDOW);
    Pump(500);

    // Three pages: layouts on top (active), shapes, text notes.
    EXPECT_EQ(RGB(0x80, 0xFF, 0x80), ItemBackground());
    ClickHeader(1, 0);
    EXPECT_EQ(RGB(255, 255, 128), ItemBackground());
    ClickHeader(2, 1);
    EXPECT_EQ(RGB(0x80, 0xFF, 0xFF), ItemBackground());
    const int notesBefore = ItemCount(notes, 2);
    ASSERT_GE(notesBefore, 0);

    // New text note from the page's context menu.
    const RECT band = Rect(Items());
    MouseTo(band.right - 20, band.bottom - 20);
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    Pump(500);
    PressKey('N');
    HWND dialog = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (dialog = ::FindWindowA("#32770", "文字便条")) != NULL; }, 5000));
    ::SetDlgItemTextA(dialog, IDC_TEXT_NOTE_TEXT, "Hello screen");
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return ItemCount(notes, 2) == notesBefore + 1; }, 5000)) << "in the file";
    std::string text;
    ItemCount(notes, 2, &text);
    EXPECT_EQ("Hello screen", text);

    // It floats at (0, 0) with its frame where the note's frame is drawn.
    HWND floater = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (floater = FloaterAt(main, 0, 0)) != NULL; }, 5000));
    EXPECT_EQ(1u, Floaters(main).size());
    Pump(300);
    EXPECT_EQ(RGB(213, 213, 213), Pixel(0, 75)) << "the bevel's light outer line";
    EXPECT_EQ(RGB(0x7F, 0x7F, 0x7F), Pixel(2, 75));
    EXPECT_EQ(RGB(0x3F, 0x3F, 0x3F), Pixel(3, 75)) << "the dark inner line";
    EXPECT_EQ(RGB(255, 255, 255), Pixel(280, 140)) << "the background";

    // Double-clicking the item floats it at the next cascade place.
    const RECT items = Rect(Items());
    const int lastItem = notesBefore;   // the new item, selected
    (void)lastItem;
    ::PostMessageA(Items(), WM_KEYDOWN, VK_END, 0);
    Pump(300);
    // The selected item's icon: view 0, cells of 50 pixels.
    RECT client;
    ::GetClientRect(Items(), &client);
    const int columns = client.right / 50 > 0 ? client.right / 50 : 1;
    const int margin = client.right > 50 ? (client.right % 50) / 2 : 0;
    const int x = margin + 50 * (notesBefore % columns) + 25;
    ::PostMessageA(Items(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, 20 + 0 * items.top));
    HWND second = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (second = FloaterAt(main, 100, 100)) != NULL; }, 5000));
    EXPECT_EQ(2u, Floaters(main).size());

    // A double click, typing and Esc change its text; Save updates the item.
    const unsigned long long before = Ink(6, 6, 200, 40);
    ClickAt(50, 50);
    ClickAt(50, 50);
    Pump(500);
    for (WORD key : {'B', 'Y', 'E'})
        PressKey(key);
    PressKey(VK_ESCAPE);
    Pump(500);
    EXPECT_NE(before, Ink(6, 6, 200, 40)) << "the new text is drawn";
    ::PostMessageA(floater, WM_COMMAND, 32991, 0);   // Save
    std::string saved, name;
    EXPECT_TRUE(PumpUntil([&] { ItemCount(notes, 2, &saved, &name); return saved == "bye"; }, 5000)) << saved;
    EXPECT_EQ("bye", name) << "the automatic title follows the text";
    EXPECT_EQ(notesBefore + 1, ItemCount(notes, 2)) << "the item was updated, not added";

    // A drag moves the first floater.
    MouseTo(40, 20);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseTo(90, 60);
    MouseTo(140, 100);
    MouseButton(MOUSEEVENTF_LEFTUP);
    Pump(300);
    EXPECT_EQ(100, Rect(floater).left);
    EXPECT_EQ(80, Rect(floater).top);

    // Save a layout of the two floaters into the layout library; close them;
    // the layout key (F8) opens it again.
    ClickHeader(0, 2);
    ::PostMessageA(Items(), WM_COMMAND, ID_CATR_SAVE_LAYOUT, 0);
    ASSERT_TRUE(PumpUntil([&] { return ItemCount(layouts, 0) == 1; }, 5000));
    ::PostMessageA(Items(), WM_COMMAND, ID_CATR_CLOSE_ALL, 0);
    ASSERT_TRUE(PumpUntil([&] { return Floaters(main).empty(); }, 5000));
    PressKey(VK_F8);
    HWND reopened = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (reopened = FloaterAt(main, 100, 80)) != NULL; }, 5000))
        << "the layout's first note at its centre";
    EXPECT_EQ(2u, Floaters(main).size());

    // Closing the window hides it; the main window's command shows it again.
    ::PostMessageA(catalogue, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(catalogue); }, 5000));
    ::PostMessageA(main, WM_COMMAND, ID_CAT_HIDE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(catalogue) != 0; }, 5000));
    const RECT placed = Rect(catalogue);

    // A restart keeps the libraries, the place and the visibility.
    Quit();
    ASSERT_TRUE(Start());
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(catalogue) != 0; }, 5000));
    const RECT again = Rect(catalogue);
    EXPECT_EQ(placed.left, again.left);
    EXPECT_EQ(placed.top, again.top);
    EXPECT_EQ(placed.right - placed.left, again.right - again.left);
    EXPECT_EQ(notesBefore + 1, ItemCount(notes, 2));
    EXPECT_EQ(1, ItemCount(layouts, 0));
    Quit();
}


// The shape of item `index` of a shapes library, or null.
std::unique_ptr<CDataShapeObject> ShapeOf(const std::string& path, int index)
{
    CCataloguePropertyObject cat;
    cat.m_pageType = 1;
    if (cat.Open(path.c_str()) != 0 || index >= cat.GetItemCount())
        return nullptr;
    const CCatalogueOb* item = cat.GetItem(index);
    const int r = item->FindRendering(CDataShapeObject::kTypeName);
    if (r < 0)
        return nullptr;
    const CCatalogueOb::Rendering& bytes = item->GetRendering(r);
    CDataGenericObject* shape = CDataGenericObject::ReadRendering(
        CDataShapeObject::kTypeName, bytes.bytes.data(), (DWORD)bytes.bytes.size(), cat.m_version, "s");
    return std::unique_ptr<CDataShapeObject>(static_cast<CDataShapeObject*>(shape));
}

// The packed bytes of an item's icon picture, empty when none.
std::vector<BYTE> IconOf(const std::string& path, int index)
{
    CCataloguePropertyObject cat;
    cat.m_pageType = 1;
    if (cat.Open(path.c_str()) != 0 || index >= cat.GetItemCount() || !cat.GetItem(index)->GetIconImage())
        return {};
    const CDib* icon = cat.GetItem(index)->GetIconImage();
    return std::vector<BYTE>(icon->GetBlock(), icon->GetBlock() + icon->GetBlockSize());
}

// A shape's picture written as a .bmp file and read back by ImageMagick:
// every pixel, rows top-down; empty when it could not be read.
std::vector<COLORREF> PictureByImageMagick(const CDataShapeObject& shape, const std::string& file, int* width)
{
    std::vector<COLORREF> pixels;
    if (!testsupport::WriteFileBytes(file, shape.m_image.GetBlock(), shape.m_image.GetBlockSize()))
        return pixels;
    std::string out;
    if (testsupport::RunHost("convert '" + testsupport::UnixPath(file) + "' -depth 8 txt:-", &out) != 0)
        return pixels;
    std::istringstream lines(out);
    std::string line;
    int maxX = -1;
    while (std::getline(lines, line)) {
        int x, y, r, g, b;
        if (std::sscanf(line.c_str(), "%d,%d: (%d,%d,%d", &x, &y, &r, &g, &b) == 5) {
            pixels.push_back(RGB(r, g, b));
            maxX = std::max(maxX, x);
        }
    }
    *width = maxX + 1;
    return pixels;
}

// The program's own dialog with this caption.
HWND ProgramDialog(HWND main, const char* caption)
{
    HWND w = ::FindWindowA("#32770", caption);
    DWORD pid = 0, mainPid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    ::GetWindowThreadProcessId(main, &mainPid);
    return w && pid == mainPid && ::IsWindowVisible(w) ? w : NULL;
}

// A press-drag-release over a window's client area, from and to points
// given as fractions of the client size.
void DragIn(HWND w, double x0, double y0, double x1, double y1)
{
    RECT c = {};
    ::GetClientRect(w, &c);
    POINT a = { (LONG)(c.right * x0), (LONG)(c.bottom * y0) }, b = { (LONG)(c.right * x1), (LONG)(c.bottom * y1) };
    ::ClientToScreen(w, &a);
    ::ClientToScreen(w, &b);
    MouseTo(a.x, a.y);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseTo((a.x + b.x) / 2, (a.y + b.y) / 2);
    MouseTo(b.x, b.y);
    MouseButton(MOUSEEVENTF_LEFTUP);
    Pump(300);
}

// The shapes of the shipped library edited from the running program: a
// filled rectangle drawn in the picture editor reaches the library file (its
// picture read back by ImageMagick), the item editor changes only the
// caption and the scales, and the icon editor changes the item's icon.
TEST_F(CatalogueProgram, ShapePicturesTextAndIconsAreEditedIntoTheLibrary)
{
    ASSERT_TRUE(Start());
    const std::string shapes = LibraryFolder() + "\\我的形状.skoo";
    ASSERT_GT(ItemCount(shapes, 1), 0);
    std::unique_ptr<CDataShapeObject> before = ShapeOf(shapes, 0);
    ASSERT_TRUE(before != nullptr);
    ::PostMessageA(main, WM_COMMAND, ID_CAT_HIDE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(catalogue) != 0; }, 5000));
    ::SetWindowPos(catalogue, HWND_TOP, 860, 100, 260, 420, SWP_SHOWWINDOW);
    Pump(500);
    ClickHeader(1, 0);
    ::PostMessageA(Items(), WM_KEYDOWN, VK_HOME, 0);
    Pump(300);

    // 编辑图像: a filled rectangle over the middle of the picture, then OK.
    ::PostMessageA(Items(), WM_COMMAND, ID_CAT_EDIT_SHAPE_IMAGE, 0);
    HWND editor = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (editor = ProgramDialog(main, "编辑图像")) != NULL; }, 10000));
    ::SetWindowPos(editor, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    Pump(500);
    ::PostMessageA(::GetDlgItem(editor, 28133), WM_COMMAND, 52792, 0);   // Filled Rectangle
    Pump(300);
    HWND picture = ::GetDlgItem(editor, 28004);
    DragIn(picture, 0.42, 0.42, 0.58, 0.58);
    testsupport::ScratchDir dir("catshape");
    ::PostMessageA(editor, WM_COMMAND, IDOK, 0);
    std::unique_ptr<CDataShapeObject> after;
    ASSERT_TRUE(PumpUntil([&] {
        after = ShapeOf(shapes, 0);
        return after && after->m_image.GetBlockSize() == before->m_image.GetBlockSize() &&
               std::memcmp(after->m_image.GetBlock(), before->m_image.GetBlock(), before->m_image.GetBlockSize()) != 0;
    }, 10000)) << "the edited picture is in the library file";
    int width = 0, widthBefore = 0;
    const std::vector<COLORREF> old = PictureByImageMagick(*before, dir.File("before.bmp"), &widthBefore);
    const std::vector<COLORREF> now = PictureByImageMagick(*after, dir.File("after.bmp"), &width);
    ASSERT_FALSE(now.empty());
    ASSERT_EQ(old.size(), now.size());
    ASSERT_EQ(widthBefore, width);
    int left = width, top = 1 << 20, right = -1, bottom = -1, changed = 0;
    for (size_t i = 0; i < now.size(); ++i) {
        if (now[i] == old[i])
            continue;
        ++changed;
        EXPECT_EQ(RGB(0, 0, 0), now[i]) << "pixel " << i % width << "," << i / width << " drawn in black";
        const int x = (int)(i % width), y = (int)(i / width);
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    ASSERT_GT(changed, 0);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            EXPECT_EQ(RGB(0, 0, 0), now[(size_t)y * width + x]) << x << "," << y << ": the rectangle is filled";
    EXPECT_GT(left, 0);
    EXPECT_LT(right, width - 1) << "drawn in the middle, not across the picture";

    // 编辑文字: the horizontal scale to 250 and a caption; the picture stays.
    ::PostMessageA(Items(), WM_COMMAND, ID_CAT_EDIT_SHAPE_ITEM, 0);
    HWND item = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (item = ProgramDialog(main, "编辑文字")) != NULL; }, 10000));
    Pump(800);
    HWND slider = ::GetDlgItem(item, 28028);
    ::SendMessageA(slider, TBM_SETPOS, TRUE, 250);
    ::SendMessageA(item, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 250), (LPARAM)slider);
    for (WORD key : { 'O', 'K' })
        PressKey(key);   // into the text bar, which has the focus
    Pump(300);
    ::PostMessageA(item, WM_COMMAND, IDOK, 0);
    std::unique_ptr<CDataShapeObject> captioned;
    ASSERT_TRUE(PumpUntil([&] {
        captioned = ShapeOf(shapes, 0);
        return captioned && captioned->m_widthPercent == 250;
    }, 10000));
    EXPECT_EQ(after->m_heightPercent, captioned->m_heightPercent);
    EXPECT_NE(std::string::npos, std::string(captioned->m_caption.m_text).find("ok"))
        << (const char*)captioned->m_caption.m_text;
    ASSERT_EQ(after->m_image.GetBlockSize(), captioned->m_image.GetBlockSize());
    EXPECT_EQ(0, std::memcmp(after->m_image.GetBlock(), captioned->m_image.GetBlock(), after->m_image.GetBlockSize()))
        << "the picture is unchanged";

    // The icon editor: a filled rectangle changes the item's icon.
    const std::vector<BYTE> iconBefore = IconOf(shapes, 0);
    ::PostMessageA(Items(), WM_COMMAND, ID_CAT_EDIT_ICON, 0);
    HWND icon = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (icon = ProgramDialog(main, "图标编辑器")) != NULL; }, 10000));
    Pump(500);
    ::PostMessageA(::GetDlgItem(icon, 28133), WM_COMMAND, 52792, 0);
    Pump(300);
    DragIn(::GetDlgItem(icon, 28004), 0.3, 0.3, 0.7, 0.7);
    ::PostMessageA(icon, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] {
        const std::vector<BYTE> now = IconOf(shapes, 0);
        return !now.empty() && now != iconBefore;
    }, 10000)) << "the new icon is in the library file";
    Quit();
}


bool TitleEndsWith(HWND w, UINT stateId)
{
    char title[256] = "";
    ::GetWindowTextA(w, title, sizeof(title));
    CString state;
    state.LoadString(stateId);
    const std::string t = title, st = (const char*)state;
    return t.size() >= st.size() && t.compare(t.size() - st.size(), st.size(), st) == 0;
}

// A new shape made from a GIF with a transparent palette entry is named
// "形状-1", floats at (0, 0) with its key colour see-through, a recording
// of the screen shows it, and a double click re-places it at a new scale.
TEST_F(CatalogueProgram, AShapeFromAGifFloatsSeeThroughAndIsRecorded)
{
    testsupport::ScratchDir dir("catgif");
    const std::string gif = dir.File("shape.gif");
    std::string out;
    // 60 x 40: magenta (the transparent entry) around a blue block at 20..39, 10..29.
    ASSERT_EQ(0, testsupport::RunHost("convert -size 60x40 xc:magenta -fill blue -draw 'rectangle 20,10 39,29' "
                                      "-transparent magenta '" + testsupport::UnixPath(gif) + "'", &out)) << out;
    // Record the screen uncompressed into the scratch folder, with nothing
    // to answer after the recording.
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, kPrefsKey, 0, KEY_ALL_ACCESS, &key));
    const struct { const char* name; DWORD value; } numbers[] = {
        { "VideoInput", 0 }, { "PrevAfterRec", 0 }, { "OptionsAfterRec", 0 }, { "CreateSkoRecFile", 0 },
        { "VideoFileNaming", 2 }, { "VideoMinimize", 0 }, { "VideoUseStartPt", 0 }, { "AviAutoConfig", 0 },
        { "AviHandler", mmioFOURCC('D', 'I', 'B', ' ') }, { "AviFRRate", 5 }, { "AviFRScale", 1 }, { "AviFRTime", 1 },
        { "AviPBRate", 5 }, { "AviPBScale", 1 }, { "AviPBTime", 1 }, { "RecordAudio", 0 },
    };
    for (const auto& n : numbers)
        ::RegSetValueExA(key, n.name, 0, REG_DWORD, (const BYTE*)&n.value, sizeof(DWORD));
    const std::string folder = dir.Path() + "\\";
    ::RegSetValueExA(key, "VideoFileOutputDir", 0, REG_SZ, (const BYTE*)folder.c_str(), (DWORD)folder.size() + 1);
    ::RegSetValueExA(key, "VideoAutoFilePrefix", 0, REG_SZ, (const BYTE*)"Capture-", 9);
    ::RegCloseKey(key);

    ASSERT_TRUE(Start());
    const std::string shapes = LibraryFolder() + "\\我的形状.skoo";
    const int shapesBefore = ItemCount(shapes, 1);
    ASSERT_GT(shapesBefore, 0);
    ::PostMessageA(main, WM_COMMAND, ID_CAT_HIDE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(catalogue) != 0; }, 5000));
    ::SetWindowPos(catalogue, HWND_TOP, 860, 100, 260, 420, SWP_SHOWWINDOW);
    Pump(500);
    ClickHeader(1, 0);
    const COLORREF desktopAtKey = Pixel(5, 5);

    ::PostMessageA(Items(), WM_COMMAND, ID_CAT_NEW_SHAPE, 0);
    HWND dialog = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (dialog = ProgramDialog(main, "新建形状")) != NULL; }, 10000));
    char name[64] = "";
    ::GetDlgItemTextA(dialog, IDC_SHAPE_NAME, name, sizeof(name));
    EXPECT_EQ("形状-1", std::string(name));
    ::CheckRadioButton(dialog, IDC_SHAPE_BLANK, IDC_SHAPE_FILE, IDC_SHAPE_FILE);
    ::SetDlgItemTextA(dialog, IDC_SHAPE_PATH, gif.c_str());
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    std::string lastName;
    ASSERT_TRUE(PumpUntil([&] { return ItemCount(shapes, 1, nullptr, &lastName) == shapesBefore + 1; }, 10000));
    EXPECT_EQ("形状-1", lastName);
    HWND floater = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (floater = FloaterAt(main, 0, 0)) != NULL; }, 5000));
    Pump(500);
    EXPECT_EQ(RGB(0, 0, 255), Pixel(30, 20)) << "the picture";
    EXPECT_EQ(desktopAtKey, Pixel(5, 5)) << "the key colour shows what is behind";
    EXPECT_NE(RGB(255, 0, 255), Pixel(5, 5));

    // A recording of the screen holds the note (the mouse, which the
    // recording draws, kept away from it).
    MouseTo(1200, 700);
    EXPECT_EQ(1, RunProgram("/R"));
    ASSERT_TRUE(PumpUntil([&] { return TitleEndsWith(main, IDS_RECORD_STATE_RECORDING); }, 20000));
    Pump(1500);
    EXPECT_EQ(1, RunProgram("/S"));
    const std::string saved = dir.File("Capture-1.avi");
    ASSERT_TRUE(PumpUntil([&] {
        return ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES && TitleEndsWith(main, IDS_RECORD_STATE_IDLE);
    }, 60000)) << "saved as " << saved;

    // A double click on the floater opens the item editor; both scales at
    // 200 % re-place the note twice as large.
    ClickAt(30, 20);
    ClickAt(30, 20);
    HWND item = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (item = ProgramDialog(main, "编辑文字")) != NULL; }, 10000));
    Pump(500);
    ::CheckDlgButton(item, 28029, BST_CHECKED);
    ::SendMessageA(item, WM_COMMAND, MAKEWPARAM(28029, BN_CLICKED), (LPARAM)::GetDlgItem(item, 28029));
    HWND slider = ::GetDlgItem(item, 28028);
    ::SendMessageA(slider, TBM_SETPOS, TRUE, 200);
    ::SendMessageA(item, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 200), (LPARAM)slider);
    ::PostMessageA(item, WM_COMMAND, IDOK, 0);
    HWND larger = NULL;
    EXPECT_TRUE(PumpUntil([&] {
        larger = FloaterAt(main, 0, 0);
        const RECT r = Rect(larger);
        return larger && r.right - r.left == 120 && r.bottom - r.top == 80;
    }, 10000)) << "re-placed at 120 x 80";
    EXPECT_EQ(1u, Floaters(main).size()) << "the old floater is gone";
    Quit();
    const std::string frame = dir.File("frame.rgb");
    ASSERT_EQ(0, testsupport::RunHost("ffmpeg -v error -y -i '" + testsupport::UnixPath(saved) +
                                      "' -vframes 1 -vf crop=80:50:0:0 -f rawvideo -pix_fmt rgb24 '" +
                                      testsupport::UnixPath(frame) + "'", &out)) << out;
    std::string rgb;
    ASSERT_TRUE(testsupport::ReadFileBytes(frame, &rgb));
    ASSERT_EQ(80u * 50u * 3u, rgb.size());
    auto at = [&](int x, int y) {
        const size_t i = ((size_t)y * 80 + x) * 3;
        return RGB((BYTE)rgb[i], (BYTE)rgb[i + 1], (BYTE)rgb[i + 2]);
    };
    EXPECT_EQ(RGB(0, 0, 255), at(30, 20)) << "the note is in the recording";
    // (The first frame carries a cursor-like mark in the screen's top-left
    // corner, so the key pixels looked at lie away from it.)
    for (const POINT& key : { POINT{ 55, 5 }, POINT{ 50, 35 }, POINT{ 10, 35 } }) {
        EXPECT_NE(RGB(255, 0, 255), at(key.x, key.y)) << "and its key colour is not";
        EXPECT_EQ(at(75, 45), at(key.x, key.y)) << key.x << "," << key.y << ": what is behind the note shows";
    }
}

}  // namespace
