// A catalogue item through Wine's OLE clipboard and drag loop: offered by
// this program, read back by it and by a second program, and refused by
// name when the record offered is not one.
#include "catalogue/CatalogueOb.h"

#include "framework/Exceptions.h"
#include "framework/OleDataObject.h"
#include "framework/OleDataSource.h"
#include "framework/ui/OleDropTarget.h"
#include "framework/ui/Wnd.h"
#include "CatalogueTestUtil.h"

#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>

using namespace cattest;

namespace {

class OleScope {
public:
    OleScope() : m_ok(SUCCEEDED(::OleInitialize(NULL))) {}
    ~OleScope()
    {
        if (m_ok)
            ::OleUninitialize();
    }
    bool Ok() const { return m_ok; }

private:
    bool m_ok;
};

// Runs the helper program and keeps this thread's messages moving meanwhile:
// the clipboard asks the owner (this thread) to render delayed formats.
DWORD RunChildPumping(const std::string& args)
{
    char path[MAX_PATH];
    ::GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string exe = path;
    exe = exe.substr(0, exe.find_last_of('\\') + 1) + "catalogue_save_child.exe";
    std::string command = "\"" + exe + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return 0xFFFFFFFF;
    ::CloseHandle(pi.hThread);
    const DWORD start = ::GetTickCount();
    while (::MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 500, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (::GetTickCount() - start > 60000)
            break;
    }
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    return code;
}

CCatalogueOb* MakeClipItem()
{
    CCatalogueOb* item = new CCatalogueOb;
    item->SetName("剪贴");
    item->AddNamedRendering("Skorvale Note", "note bytes", 10);
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, 3);
    memcpy(::GlobalLock(h), "hi", 3);
    ::GlobalUnlock(h);
    item->AddRendering(CF_TEXT, h);
    ::GlobalFree(h);
    item->SetIconImages(DibFromPacked(Golden("icon_image.dib")), DibFromPacked(Golden("icon_mask.dib")));
    return item;
}

std::string ItemOnly(CCatalogueOb* item)
{
    CCataloguePropertyObject cat;
    cat.InsertItem(0, item);
    return Listing(cat);
}

}  // namespace

TEST(CatalogueClipboard, AnItemTravelsWholeAndWithItsRenderings)
{
    OleScope ole;
    ASSERT_TRUE(ole.Ok());
    testsupport::ScratchDir dir("catclip");
    const std::string expected = ItemOnly(MakeClipItem());
    {
        std::unique_ptr<CCatalogueOb> item(MakeClipItem());
        COleDataSource* source = new COleDataSource;
        item->PlaceOnDataSource(source);
        EXPECT_EQ(3, source->GetFormatCount());
        source->SetClipboard();
    }

    // This program, through OLE: the formats in order and the item back.
    COleDataObject data;
    ASSERT_TRUE(data.AttachClipboard());
    std::set<CLIPFORMAT> formats;
    data.BeginEnumFormats();
    FORMATETC f;
    while (data.GetNextFormat(&f)) {
        formats.insert(f.cfFormat);
        ::CoTaskMemFree(f.ptd);
    }
    EXPECT_TRUE(formats.count(CCatalogueOb::ClipboardFormat()));
    EXPECT_TRUE(formats.count((CLIPFORMAT)::RegisterClipboardFormatA("Skorvale Note"))) << "named: its registered number";
    EXPECT_TRUE(formats.count(CF_TEXT)) << "unnamed: its stored number";
    std::unique_ptr<CCatalogueOb> back(CCatalogueOb::FromDataObject(&data));
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(expected, ItemOnly(back.release()));
    data.Release();

    // Another program, through the plain clipboard, while this one renders.
    EXPECT_EQ(0u, RunChildPumping("clipread \"Skorvale Note\" \"" + dir.File("note.bin") + "\""));
    EXPECT_EQ("note bytes", FileBytes(dir.File("note.bin")));
    EXPECT_EQ(0u, RunChildPumping(std::string("clipread \"") + CCatalogueOb::kClipboardFormatName + "\" \"" +
                                  dir.File("record.bin") + "\""));
    const std::string record = FileBytes(dir.File("record.bin"));
    std::unique_ptr<CCatalogueOb> fromOther(
        CCatalogueOb::ReadRecord(record.data(), (DWORD)record.size(), "record"));
    EXPECT_EQ(expected, ItemOnly(fromOther.release()));
    EXPECT_EQ(0u, record.size() % 4096) << "a shared file's block, zero after the record";

    // After a flush the data stays for others without this program.
    COleDataSource::FlushClipboard();
    EXPECT_EQ(0u, RunChildPumping("clipread \"Skorvale Note\" \"" + dir.File("after.bin") + "\""));
    EXPECT_EQ("note bytes", FileBytes(dir.File("after.bin")));
}

TEST(CatalogueClipboard, ABadRecordIsRefusedByTheFormatsName)
{
    OleScope ole;
    ASSERT_TRUE(ole.Ok());
    const std::string good = Golden("item_record.bin");
    const std::string records[] = { good.substr(0, 30), std::string("\xff\xff\x01\x00\x0c\x00", 6) + "CCatalogueOb" +
                                                            std::string("\xff\xff\xff\xff\xff\xff", 6) };
    for (const std::string& bad : records) {
        COleDataSource* source = new COleDataSource;
        HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, bad.size());
        memcpy(::GlobalLock(h), bad.data(), bad.size());
        ::GlobalUnlock(h);
        source->CacheGlobalData(CCatalogueOb::ClipboardFormat(), h);
        source->SetClipboard();
        COleDataObject data;
        ASSERT_TRUE(data.AttachClipboard());
        try {
            delete CCatalogueOb::FromDataObject(&data);
            ADD_FAILURE() << "a bad record was read";
        } catch (CArchiveException* e) {
            EXPECT_EQ(CString(CCatalogueOb::kClipboardFormatName), e->m_strFileName);
            e->Delete();
        }
    }
    // Nothing of ours offered: no item, no error.
    COleDataSource* source = new COleDataSource;
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, 4);
    source->CacheGlobalData(CF_TEXT, h);
    source->SetClipboard();
    COleDataObject data;
    ASSERT_TRUE(data.AttachClipboard());
    EXPECT_EQ(nullptr, CCatalogueOb::FromDataObject(&data));
    data.Release();
    COleDataSource::FlushClipboard();
}

namespace {

// Takes a dropped catalogue item.
class CItemTarget : public COleDropTarget {
public:
    std::unique_ptr<CCatalogueOb> item;
    DROPEFFECT OnDragEnter(CWnd*, COleDataObject* data, DWORD, CPoint) override
    {
        return data->IsDataAvailable(CCatalogueOb::ClipboardFormat()) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    }
    DROPEFFECT OnDragOver(CWnd* wnd, COleDataObject* data, DWORD keys, CPoint point) override
    {
        return OnDragEnter(wnd, data, keys, point);
    }
    BOOL OnDrop(CWnd*, COleDataObject* data, DROPEFFECT, CPoint) override
    {
        item.reset(CCatalogueOb::FromDataObject(data));
        return item != nullptr;
    }
};

}  // namespace

TEST(CatalogueClipboard, AnItemDraggedOntoAWindowArrivesWhole)
{
    OleScope ole;
    ASSERT_TRUE(ole.Ok());
    CWnd window;
    ASSERT_TRUE(window.CreateEx(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_NOTIFY, 500, 300, 120, 120,
                                NULL, 0));
    CItemTarget target;
    ASSERT_TRUE(target.Register(&window));
    ::SetCursorPos(560, 360);
    std::unique_ptr<CCatalogueOb> item(MakeClipItem());
    COleDataSource* source = new COleDataSource;
    item->PlaceOnDataSource(source);
    EXPECT_EQ((DROPEFFECT)DROPEFFECT_COPY, source->DoDragDrop(DROPEFFECT_COPY));
    source->InternalRelease();
    ASSERT_NE(nullptr, target.item);
    EXPECT_EQ(ItemOnly(item.release()), ItemOnly(target.item.release()));
    target.Revoke();
    window.DestroyWindow();
}
