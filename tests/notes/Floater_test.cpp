// Floaters on the real desktop of the test display: placement, dragging,
// closing through the desk, the translucent-window count, painting, the
// text note's border and in-place editing, and the shape's window region.
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/Floater.h"
#include "catalogue/NoteDesk.h"
#include "catalogue/TextFloater.h"
#include "NoteTestUtil.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

using namespace notetest;

namespace {

CDataTextObject* MakeNote(int opacity = 100, int w = 300, int h = 150)
{
    CDataTextObject* note = new CDataTextObject;
    note->m_text = "Hello note";
    note->m_opacity = opacity;
    note->m_noteWidth = w;
    note->m_noteHeight = h;
    return note;
}

RECT WindowRect(CWnd* wnd)
{
    RECT r;
    wnd->GetWindowRect(&r);
    return r;
}

TEST(NoteDesk, CascadesNotesWithoutAPositionAndKeepsOthersOnTheDesktop)
{
    CNoteDesk desk(NULL);
    const POINT origin = {0, 0};
    desk.SetDesktop(origin, 1920, 1080);
    // Three notes without a position step down from the corner by 100.
    const POINT expected[] = {{0, 0}, {100, 100}, {200, 200}};
    for (const POINT& want : expected) {
        const POINT got = desk.ComputeNotePosition(NULL, 300, 150);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
    }
    // (0, 0) counts as no position.
    const POINT zero = {0, 0};
    EXPECT_EQ(300, desk.ComputeNotePosition(&zero, 300, 150).x);

    struct Case {
        POINT centre;
        int w, h;
        POINT topLeft;
    } cases[] = {
        {{500, 400}, 300, 150, {350, 325}},      // inside: centred
        {{1900, 400}, 300, 150, {1620, 325}},    // past the right edge: touches it
        {{500, 1070}, 300, 150, {350, 930}},     // past the bottom edge
        {{10, 10}, 300, 150, {0, 0}},            // past the left and top edges
    };
    for (const Case& c : cases) {
        const POINT got = desk.ComputeNotePosition(&c.centre, c.w, c.h);
        EXPECT_EQ(c.topLeft.x, got.x) << c.centre.x << "," << c.centre.y;
        EXPECT_EQ(c.topLeft.y, got.y) << c.centre.x << "," << c.centre.y;
    }
}

TEST(NoteDesk, CascadeStartsOverWhenANoteWouldLeaveTheDesktop)
{
    CNoteDesk desk(NULL);
    const POINT origin = {0, 0};
    desk.SetDesktop(origin, 1000, 700);
    POINT last = {0, 0};
    bool restarted = false;
    for (int i = 0; i < 12; ++i) {
        const POINT p = desk.ComputeNotePosition(NULL, 300, 150);
        EXPECT_GE(p.x, 0);
        EXPECT_GE(p.y, 0);
        EXPECT_LE(p.x + 300, 1000);
        EXPECT_LE(p.y + 150, 700);
        if (i > 0 && (p.x < last.x || p.y < last.y))
            restarted = true;
        last = p;
    }
    EXPECT_TRUE(restarted);
}

TEST(Floater, OpensAtItsCentreDragsAndStoresItsPlacement)
{
    FakeHost host;
    DeskWindow site;
    CDataTextObject* note = MakeNote();
    note->m_x = 400;
    note->m_y = 300;
    CFloater* floater = site.desk.PlaceOnDesktop(note, "n", FALSE, NULL);
    ASSERT_NE(nullptr, floater);
    ASSERT_EQ(1, site.desk.GetCount());
    RECT r = WindowRect(floater);
    EXPECT_EQ(250, r.left);
    EXPECT_EQ(225, r.top);
    EXPECT_EQ(300, r.right - r.left);
    EXPECT_TRUE(floater->IsWindowVisible());
    EXPECT_TRUE(floater->GetExStyle() & WS_EX_TOPMOST);
    EXPECT_TRUE(floater->GetExStyle() & WS_EX_TOOLWINDOW);

    // A drag by (+50, +40) in client coordinates.
    floater->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    floater->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 50));
    floater->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    r = WindowRect(floater);
    EXPECT_EQ(300, r.left);
    EXPECT_EQ(265, r.top);
    EXPECT_EQ(450, note->m_x);
    EXPECT_EQ(340, note->m_y);
    EXPECT_FALSE(floater->m_dragging);
}

TEST(Floater, ClosingGoesThroughTheDeskAndRaisingMovesItLast)
{
    FakeHost host;
    DeskWindow site;
    CFloater* a = site.desk.PlaceOnDesktop(MakeNote(), "a", FALSE, NULL);
    CFloater* b = site.desk.PlaceOnDesktop(MakeNote(), "b", FALSE, NULL);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(1, site.desk.IndexOf(b));
    // A press on the lower one raises it to the end of the list.
    a->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    a->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    uitest::PumpPending();
    EXPECT_EQ(1, site.desk.IndexOf(a));
    EXPECT_EQ(0, site.desk.IndexOf(b));

    const HWND hwndA = a->GetSafeHwnd();
    a->SendMessage(WM_COMMAND, ID_FLOATER_CLOSE, 0);
    EXPECT_TRUE(::IsWindow(hwndA)) << "the floater never destroys itself";
    EXPECT_TRUE(uitest::PumpUntil([&] { return site.desk.GetCount() == 1; }));
    EXPECT_FALSE(::IsWindow(hwndA));
    EXPECT_EQ(0, site.desk.IndexOf(b));
}

TEST(Floater, TranslucentCountFollowsTheOpenTranslucentFloaters)
{
    FakeHost host;
    DeskWindow site;
    CFloater* opaque = site.desk.PlaceOnDesktop(MakeNote(100), "o", FALSE, NULL);
    CFloater* faint = site.desk.PlaceOnDesktop(MakeNote(40), "f", FALSE, NULL);
    CFloater* faint2 = site.desk.PlaceOnDesktop(MakeNote(70), "g", FALSE, NULL);
    ASSERT_TRUE(opaque && faint && faint2);
    EXPECT_EQ(2, host.count);
    bool sawForty = false;
    for (const auto& call : host.alphaCalls)
        if (call.first == faint->GetSafeHwnd() && call.second == 40)
            sawForty = true;
    EXPECT_TRUE(sawForty) << "the opacity goes through the application";

    // Closing an opaque floater changes nothing; a translucent one lowers by one.
    opaque->SendMessage(WM_CLOSE);
    EXPECT_TRUE(uitest::PumpUntil([&] { return site.desk.GetCount() == 2; }));
    EXPECT_EQ(2, host.count);
    faint->SendMessage(WM_COMMAND, ID_FLOATER_CLOSE, 0);
    faint->SendMessage(WM_CLOSE);   // a second close gives back nothing more
    EXPECT_TRUE(uitest::PumpUntil([&] { return site.desk.GetCount() == 1; }));
    EXPECT_EQ(1, host.count);

    // An opacity edit adjusts the count both ways, once.
    faint2->GetData()->m_opacity = 100;
    faint2->ApplyOpacity();
    EXPECT_EQ(0, host.count);
    faint2->GetData()->m_opacity = 50;
    faint2->ApplyOpacity();
    faint2->ApplyOpacity();
    EXPECT_EQ(1, host.count);

    // Close all gives back what the floaters counted, and nothing below 0.
    host.count += 5;   // other windows' share
    site.desk.CloseAllFloaters();
    EXPECT_EQ(5, host.count);
    EXPECT_EQ(0, site.desk.GetCount());
}

TEST(Floater, AFloaterADialogEditsIsNotDestroyed)
{
    FakeHost host;
    DeskWindow site;
    CFloater* edited = site.desk.PlaceOnDesktop(MakeNote(40), "e", FALSE, NULL);
    CFloater* other = site.desk.PlaceOnDesktop(MakeNote(), "o", FALSE, NULL);
    ASSERT_TRUE(edited && other);
    CWnd dialog;   // stands for the modal dialog that edits it
    site.desk.SetOpenDialog(&dialog, edited);
    edited->SendMessage(WM_COMMAND, ID_FLOATER_CLOSE, 0);
    uitest::PumpPending();
    EXPECT_EQ(2, site.desk.GetCount());
    EXPECT_FALSE(site.desk.CloseAllFloaters());
    EXPECT_EQ(1, site.desk.GetCount());
    EXPECT_EQ(edited, site.desk.GetAt(0));
    EXPECT_EQ(1, host.count) << "the edited floater still counts";
    site.desk.SetOpenDialog(NULL, NULL);
    EXPECT_TRUE(site.desk.CloseAllFloaters());
    EXPECT_EQ(0, host.count);
}

TEST(Floater, ASecondFloaterOfTheSameObjectGetsAFreshIdAndDuplicatesCascade)
{
    FakeHost host;
    DeskWindow site;
    CDataTextObject* note = MakeNote();
    note->m_x = 800;
    note->m_y = 500;
    CFloater* first = site.desk.PlaceOnDesktop(note, "n", FALSE, NULL);
    CDataTextObject* same = new CDataTextObject(*note);
    CFloater* second = site.desk.PlaceOnDesktop(same, "n", FALSE, NULL);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->GetData()->m_id, second->GetData()->m_id);

    // The duplicate opens at the cascade position, not over the original.
    first->SendMessage(WM_COMMAND, ID_FLOATER_DUPLICATE, 0);
    ASSERT_EQ(3, site.desk.GetCount());
    const RECT r = WindowRect(site.desk.GetAt(2));
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_NE(first->GetData()->m_id, site.desk.GetAt(2)->GetData()->m_id);

    // Save hands the object and the name to the catalogue.
    first->SendMessage(WM_COMMAND, ID_FLOATER_SAVE, 0);
    ASSERT_EQ(1u, site.saved.size());
    EXPECT_EQ("n", site.saved[0]);
}

TEST(TextFloater, PaintsBackgroundFrameAndText)
{
    FakeHost host;
    DeskWindow site;
    CDataTextObject* note = MakeNote(100, 200, 100);
    note->m_backgroundColor = RGB(255, 255, 128);
    note->m_frameColor = RGB(0, 0, 255);
    note->m_flags = CNoteStyle::kFrameSolid | 0x08 | 0x02;   // centred both ways
    note->m_frameWidth = 6;
    note->m_textColor = RGB(0, 0, 0);
    note->m_fontHeight = -20;
    note->m_faceName = "Tahoma";
    note->m_text = "XXXX";
    CFloater* floater = site.desk.PlaceOnDesktop(note, "t", FALSE, NULL);
    ASSERT_NE(nullptr, floater);
    floater->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    int w = 0, h = 0;
    const std::vector<DWORD> px = uitest::CaptureClient(floater->GetSafeHwnd(), &w, &h);
    ASSERT_EQ(200, w);
    ASSERT_EQ(100, h);
    auto at = [&](int x, int y) { return px[y * w + x] & 0xFFFFFF; };
    // The frame inside the edge, the background inside the frame.
    EXPECT_EQ(0x0000FFu, at(0, 50));
    EXPECT_EQ(0x0000FFu, at(5, 50));
    EXPECT_EQ(0x0000FFu, at(100, 99));
    EXPECT_EQ(0xFFFF80u, at(7, 50));
    EXPECT_EQ(0xFFFF80u, at(100, 10));
    // Ink only in the middle band, where centred text lies.
    int inkMiddle = 0, inkTop = 0;
    for (int y = 8; y < 92; ++y)
        for (int x = 8; x < 192; ++x)
            if (at(x, y) == 0)
                (y >= 35 && y < 65 ? inkMiddle : inkTop)++;
    EXPECT_GT(inkMiddle, 20);
    EXPECT_EQ(0, inkTop);
}

TEST(TextFloater, BorderHitTestAndSmallestSize)
{
    FakeHost host;
    DeskWindow site;
    struct Case {
        DWORD frameKind;
        int frameWidth;
        int expectCx;
    } cases[] = {
        {CNoteStyle::kFrameNone, 30, ::GetSystemMetrics(SM_CXFRAME)},
        {CNoteStyle::kFrameSolid, 12, 12 > ::GetSystemMetrics(SM_CXFRAME) ? 12 : ::GetSystemMetrics(SM_CXFRAME)},
        {CNoteStyle::kFrameSolid, 1, ::GetSystemMetrics(SM_CXFRAME)},
    };
    for (const Case& c : cases) {
        CDataTextObject* note = MakeNote(100, 300, 150);
        note->m_flags = c.frameKind;
        note->m_frameWidth = c.frameWidth;
        note->m_x = 600;
        note->m_y = 400;
        CTextFloater* f = static_cast<CTextFloater*>(site.desk.PlaceOnDesktop(note, "b", FALSE, NULL));
        ASSERT_NE(nullptr, f);
        int cx = 0, cy = 0;
        f->GetBorderSize(&cx, &cy);
        EXPECT_EQ(c.expectCx, cx) << c.frameKind << "/" << c.frameWidth;
        const RECT r = WindowRect(f);
        struct Hit {
            int x, y;
            LRESULT code;
        } hits[] = {
            {r.left, r.top, HTTOPLEFT},
            {r.right - 1, r.top, HTTOPRIGHT},
            {r.left, r.bottom - 1, HTBOTTOMLEFT},
            {r.right - 1, r.bottom - 1, HTBOTTOMRIGHT},
            {r.left, r.top + 75, HTLEFT},
            {r.right - 1, r.top + 75, HTRIGHT},
            {r.left + 150, r.top, HTTOP},
            {r.left + 150, r.bottom - 1, HTBOTTOM},
            {r.left + cx, r.top + 75, HTCLIENT},
            {r.left + 150, r.top + 75, HTCLIENT},
        };
        for (const Hit& hit : hits)
            EXPECT_EQ(hit.code, f->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(hit.x, hit.y)))
                << hit.x - r.left << "," << hit.y - r.top;
        MINMAXINFO mmi = {};
        f->SendMessage(WM_GETMINMAXINFO, 0, (LPARAM)&mmi);
        EXPECT_EQ(2 * cx > 4 ? 2 * cx : 4, mmi.ptMinTrackSize.x);
        EXPECT_EQ(2 * cy > 4 ? 2 * cy : 4, mmi.ptMinTrackSize.y);
        // A resize stores the note's new size and centre.
        ::SetWindowPos(f->GetSafeHwnd(), NULL, r.left, r.top, 200, 120, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(200, note->m_noteWidth);
        EXPECT_EQ(120, note->m_noteHeight);
        EXPECT_EQ(r.left + 100, note->m_x);
        site.desk.CloseAllFloaters();
    }
}

TEST(TextFloater, EditingInPlaceRenewsOnlyAnAutomaticTitle)
{
    FakeHost host;
    DeskWindow site;
    struct Case {
        const char* name;        // empty: the automatic title
        const char* newText;
        const char* expectName;
    } cases[] = {
        {"", "Second text here", "Second text"},
        {"My own name", "Another text", "My own name"},
    };
    for (const Case& c : cases) {
        CDataTextObject* note = MakeNote();
        note->m_text = "First text";
        const CString name = *c.name ? CString(c.name) : MakeNoteTitle(note->m_text);
        CTextFloater* f = static_cast<CTextFloater*>(site.desk.PlaceOnDesktop(note, name, FALSE, NULL));
        ASSERT_NE(nullptr, f);
        f->SetForegroundWindow();
        f->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
        ASSERT_TRUE(f->IsEditing());
        HWND edit = f->GetEdit().GetSafeHwnd();
        EXPECT_EQ(IDC_NOTE_EDIT, ::GetDlgCtrlID(edit));
        char text[64] = "";
        ::GetWindowTextA(edit, text, sizeof text);
        EXPECT_STREQ("First text", text);
        ::SetWindowTextA(edit, c.newText);
        // Esc gives the focus back to the floater, which ends the edit.
        ::SendMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
        uitest::PumpUntil([&] { return !f->IsEditing(); }, 2000);
        if (f->IsEditing())
            f->EndEdit();   // no focus under this display: end it as a focus loss does
        EXPECT_FALSE(f->IsEditing());
        EXPECT_FALSE(::IsWindow(edit));
        EXPECT_STREQ(c.newText, (const char*)note->m_text);
        const CString expectName = *c.name ? CString(c.expectName) : MakeNoteTitle(c.newText);
        EXPECT_STREQ((const char*)expectName, (const char*)f->GetName());
        site.desk.CloseAllFloaters();
    }
}

TEST(ImageFloater, TheRegionHoldsExactlyTheNonKeyPixelsAtEveryScale)
{
    FakeHost host;
    DeskWindow site;
    struct Case {
        int widthPercent, heightPercent;
    } cases[] = {{100, 100}, {200, 150}, {50, 100}};
    for (const Case& c : cases) {
        CDataShapeObject* shape = MakeShape(40, 20, 10);
        shape->SetScale(0, c.widthPercent, c.heightPercent);
        shape->m_x = 500;
        shape->m_y = 500;
        CImageFloater* f = static_cast<CImageFloater*>(site.desk.PlaceOnDesktop(shape, "s", FALSE, NULL));
        ASSERT_NE(nullptr, f);
        const int w = 40 * c.widthPercent / 100, h = 20 * c.heightPercent / 100;
        const RECT r = WindowRect(f);
        EXPECT_EQ(w, r.right - r.left);
        EXPECT_EQ(h, r.bottom - r.top);
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(ERROR, ::GetWindowRgn(f->GetSafeHwnd(), region));
        const int keyWidth = 10 * c.widthPercent / 100;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((::PtInRegion(region, x, y) != 0) != (x >= keyWidth))
                    ++wrong;
        EXPECT_EQ(0, wrong) << c.widthPercent << "%";
        ::DeleteObject(region);
        // The picture shows through where the region is.
        f->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
        int cw = 0, ch = 0;
        const std::vector<DWORD> px = uitest::CaptureClient(f->GetSafeHwnd(), &cw, &ch);
        ASSERT_EQ((size_t)(w * h), px.size());
        EXPECT_EQ(0x000080u, px[2 * w + keyWidth + 2] & 0xFFFFFF);
        // and on the screen, once the display has caught up with the shape.
        EXPECT_TRUE(uitest::PumpUntil(
            [&] { return uitest::ScreenPixel(r.left + keyWidth + 2, r.top + 2) == RGB(0, 0, 0x80); }, 3000));
        site.desk.CloseAllFloaters();
    }
}

TEST(ImageFloater, EditorCommandsAreDisabledWithoutAnImageEditor)
{
    FakeHost host;
    DeskWindow site;
    ASSERT_EQ(nullptr, GetShapeImageEditor());
    CFloater* f = site.desk.PlaceOnDesktop(MakeShape(20, 20, 0), "s", FALSE, NULL);
    ASSERT_NE(nullptr, f);
    struct Probe : CCmdUI {
        BOOL enabled = TRUE;
        void Enable(BOOL on) override { enabled = on; }
    };
    const UINT ids[] = {ID_FLOATER_EDIT_CAPTION, ID_FLOATER_EDIT_IMAGE};
    for (UINT id : ids) {
        Probe probe;
        probe.m_nID = id;
        EXPECT_TRUE(f->OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &probe, NULL));
        EXPECT_FALSE(probe.enabled) << id;
    }
    // A double click does nothing then (the floater stays as it was).
    const HWND before = f->GetSafeHwnd();
    f->SendMessage(WM_LBUTTONDBLCLK, 0, 0);
    uitest::PumpPending();
    EXPECT_EQ(1, site.desk.GetCount());
    EXPECT_TRUE(::IsWindowVisible(before));
}

}  // namespace
