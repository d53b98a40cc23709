// Drag and drop through Wine's real OLE drag loop: a data source dragged
// onto a window registered as a drop target. The cursor is put over the
// target first; with the mouse button up the loop drops at once.
#include "framework/OleDataSource.h"
#include "framework/ui/OleDropTarget.h"
#include "framework/ui/Wnd.h"

#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

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

// Records what the loop asked and takes CF_TEXT drops when `accept` is set.
class CTextTarget : public COleDropTarget {
public:
    DROPEFFECT accept = DROPEFFECT_COPY;
    std::vector<std::string> calls;
    std::string dropped;
    CPoint dropPoint;

    DROPEFFECT OnDragEnter(CWnd*, COleDataObject* data, DWORD, CPoint) override
    {
        calls.push_back("enter");
        return data->IsDataAvailable(CF_TEXT) ? accept : DROPEFFECT_NONE;
    }
    DROPEFFECT OnDragOver(CWnd*, COleDataObject* data, DWORD, CPoint) override
    {
        calls.push_back("over");
        return data->IsDataAvailable(CF_TEXT) ? accept : DROPEFFECT_NONE;
    }
    void OnDragLeave(CWnd*) override { calls.push_back("leave"); }
    BOOL OnDrop(CWnd*, COleDataObject* data, DROPEFFECT, CPoint point) override
    {
        calls.push_back("drop");
        HGLOBAL h = data->GetGlobalData(CF_TEXT);
        if (!h)
            return FALSE;
        dropped = (const char*)::GlobalLock(h);
        ::GlobalUnlock(h);
        ::GlobalFree(h);
        dropPoint = point;
        return TRUE;
    }
};

// Cancels the drag at once, as Escape would.
class CCancelSource final : public IDropSource {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) ? this : NULL;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP QueryContinueDrag(BOOL, DWORD) override { return DRAGDROP_S_CANCEL; }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

COleDataSource* TextSource(const char* text)
{
    COleDataSource* source = new COleDataSource;
    const size_t n = strlen(text) + 1;
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, n);
    memcpy(::GlobalLock(h), text, n);
    ::GlobalUnlock(h);
    source->CacheGlobalData(CF_TEXT, h);
    return source;
}

}  // namespace

TEST(OleDragDrop, ADragOverARegisteredWindowDropsItsData)
{
    OleScope ole;
    ASSERT_TRUE(ole.Ok());
    // SS_NOTIFY: a static control is otherwise transparent to hit tests, and
    // the loop finds its target by the window under the cursor.
    CWnd window;
    ASSERT_TRUE(window.CreateEx(WS_EX_TOPMOST, "STATIC", "drop here", WS_POPUP | WS_VISIBLE | SS_NOTIFY, 300, 200, 200, 150,
                                NULL, 0));
    uitest::PumpPending();
    CTextTarget target;
    ASSERT_TRUE(target.Register(&window));
    ::SetCursorPos(400, 260);
    uitest::PumpPending();

    COleDataSource* source = TextSource("dragged text");
    EXPECT_EQ((DROPEFFECT)DROPEFFECT_COPY, source->DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE));
    EXPECT_EQ("dragged text", target.dropped);
    EXPECT_EQ(100, target.dropPoint.x) << "client coordinates";
    EXPECT_EQ(60, target.dropPoint.y);
    ASSERT_FALSE(target.calls.empty());
    EXPECT_EQ("drop", target.calls.back());

    // A target that wants none of it: no drop, no effect.
    target.calls.clear();
    target.dropped.clear();
    target.accept = DROPEFFECT_NONE;
    EXPECT_EQ((DROPEFFECT)DROPEFFECT_NONE, source->DoDragDrop(DROPEFFECT_COPY));
    EXPECT_TRUE(target.dropped.empty());

    // A cancelled drag leaves the target without a drop.
    target.calls.clear();
    target.accept = DROPEFFECT_COPY;
    CCancelSource cancel;
    EXPECT_EQ((DROPEFFECT)DROPEFFECT_NONE, source->DoDragDrop(DROPEFFECT_COPY, &cancel));
    EXPECT_TRUE(target.dropped.empty());
    for (const std::string& call : target.calls)
        EXPECT_NE("drop", call);
    source->InternalRelease();

    target.Revoke();
    EXPECT_EQ(nullptr, target.GetWindow());
    window.DestroyWindow();
}
