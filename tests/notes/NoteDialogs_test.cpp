// The note dialogs run modally and answered by a script of typed values:
// the shape scale's limits and lock, the opacity and the text note.
#include "catalogue/NoteDialogs.h"

#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/NewShapeDlg.h"
#include "framework/String.h"
#include "NoteTestUtil.h"
#include "UiTestSupport.h"
#include "TestSupport.h"
#include "resources/ids_catwin.h"
#include "resources/ids_notes.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <string>

using namespace notetest;

namespace {

std::string Text(HWND dialog, int id)
{
    char text[256] = "";
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Replaces a field's text by typing it, as the user does.
void Type(HWND dialog, int id, const char* text)
{
    HWND edit = ::GetDlgItem(dialog, id);
    ::SendMessageA(edit, EM_SETSEL, 0, -1);
    ::SendMessageA(edit, WM_CLEAR, 0, 0);
    for (const char* p = text; *p; ++p)
        ::SendMessageA(edit, WM_CHAR, (BYTE)*p, 0);
}

std::string Str(UINT id)
{
    CString s;
    s.LoadString(id);
    return (const char*)s;
}

// Answers message boxes with OK and the dialog with the next step, which
// fills its controls and returns the button to press.
class Script {
public:
    typedef std::function<int(HWND)> Step;
    explicit Script(std::deque<Step> steps)
        : m_steps(std::move(steps)), m_answer([this](HWND h) {
              if (!uitest::ModalAnswerer::MessageBoxText(h).empty())
                  return uitest::ModalAnswerer::Press(h, IDOK);
              if (m_steps.empty())
                  return false;
              const int button = m_steps.front()(h);
              m_steps.pop_front();
              return uitest::ModalAnswerer::Press(h, button);
          })
    {
    }
    const std::vector<std::string>& Messages() const { return m_answer.MessageTexts(); }
    size_t Left() const { return m_steps.size(); }

private:
    std::deque<Step> m_steps;
    uitest::ModalAnswerer m_answer;
};

Script::Step Scale(const char* w, const char* h, int button = IDOK)
{
    return [=](HWND d) {
        ::SendDlgItemMessageA(d, IDC_RESIZE_LOCK, BM_SETCHECK, BST_UNCHECKED, 0);
        Type(d, IDC_RESIZE_WIDTH, w);
        Type(d, IDC_RESIZE_HEIGHT, h);
        return button;
    };
}

TEST(ResizeDialog, RefusesScalesOutside10To600AndKeepsTheLimits)
{
    FakeHost host;
    std::unique_ptr<CDataShapeObject> shape(MakeShape(20, 20, 0));
    shape->SetScale(1, 100, 100);   // locked: each step unlocks first
    const std::string w = Str(IDS_RESIZE_BAD_WIDTH), h = Str(IDS_RESIZE_BAD_HEIGHT);
    Script script({Scale("9", "100"), Scale("601", "100"), Scale("abc", "100"), Scale("100", "9"),
                   Scale("100", "601"), Scale("10", "600")});
    CAnnotationResizeDlg dlg(shape.get(), NULL, NULL);
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(0u, script.Left());
    const std::vector<std::string> expected = {w, w, w, h, h};
    EXPECT_EQ(expected, script.Messages());
    EXPECT_EQ(1, dlg.m_changed);
    int keep = -1, wp = 0, hp = 0;
    shape->GetScale(&keep, &wp, &hp);
    EXPECT_EQ(0, keep);
    EXPECT_EQ(10, wp);
    EXPECT_EQ(600, hp);
}

TEST(ResizeDialog, TheLockCopiesOneFieldIntoTheOtherAndUnchangedValuesChangeNothing)
{
    FakeHost host;
    std::unique_ptr<CDataShapeObject> shape(MakeShape(20, 20, 0));
    shape->SetScale(0, 120, 80);
    std::string echoed, afterDefault;
    Script script({[&](HWND d) {
                       ::SendDlgItemMessageA(d, IDC_RESIZE_LOCK, BM_SETCHECK, BST_CHECKED, 0);
                       ::SetDlgItemTextA(d, IDC_RESIZE_WIDTH, "150");
                       echoed = Text(d, IDC_RESIZE_HEIGHT);
                       ::SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_RESIZE_DEFAULT, BN_CLICKED),
                                      (LPARAM)::GetDlgItem(d, IDC_RESIZE_DEFAULT));
                       afterDefault = Text(d, IDC_RESIZE_WIDTH) + "/" + Text(d, IDC_RESIZE_HEIGHT) + "/" +
                                      std::to_string(::IsDlgButtonChecked(d, IDC_RESIZE_LOCK));
                       return IDCANCEL;
                   }});
    CAnnotationResizeDlg dlg(shape.get(), NULL, NULL);
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ("150", echoed);
    EXPECT_EQ("100/100/1", afterDefault);

    // OK with the values it started with: no change reported.
    Script same({[](HWND) { return IDOK; }});
    CAnnotationResizeDlg again(shape.get(), NULL, NULL);
    EXPECT_EQ(IDOK, again.DoModal());
    EXPECT_EQ(0, again.m_changed);
    int keep = -1, wp = 0, hp = 0;
    shape->GetScale(&keep, &wp, &hp);
    EXPECT_EQ(120, wp);
    EXPECT_EQ(80, hp);
}

TEST(OpacityDialog, SetsTheOpacityOnOkPreviewsAndRestoresOnCancel)
{
    FakeHost host;
    CDataTextObject note;
    note.m_opacity = 100;
    CWnd preview;
    preview.CreateEx(0, AfxRegisterWndClass(0), "p", WS_POPUP, 0, 0, 10, 10, NULL, NULL);
    {
        Script script({[](HWND d) {
                           ::SetDlgItemTextA(d, IDC_OPACITY_EDIT, "0");   // refused: the dialog stays
                           return IDOK;
                       },
                       [](HWND d) {
                           ::SetDlgItemTextA(d, IDC_OPACITY_EDIT, "40");
                           return IDOK;
                       }});
        COpacityDlg dlg(NULL, &note, &preview);
        EXPECT_EQ(IDOK, dlg.DoModal());
        EXPECT_EQ(0u, script.Left());
    }
    EXPECT_EQ(40, note.m_opacity);
    ASSERT_FALSE(host.alphaCalls.empty());
    EXPECT_EQ(40, host.alphaCalls.back().second);
    EXPECT_EQ(preview.GetSafeHwnd(), host.alphaCalls.back().first);
    {
        Script script({[](HWND d) {
            ::SetDlgItemTextA(d, IDC_OPACITY_EDIT, "75");
            return IDCANCEL;
        }});
        COpacityDlg dlg(NULL, &note, &preview);
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
    }
    EXPECT_EQ(40, note.m_opacity);
    EXPECT_EQ(40, host.alphaCalls.back().second) << "Cancel puts the old opacity back";
    preview.DestroyWindow();
}

TEST(TextNoteDialog, StoresTextAndSizeOnOkAndRefusesABadSize)
{
    FakeHost host;
    CDataTextObject note;
    note.m_text = "old";
    std::string previewText;
    Script script({[](HWND d) {
                       ::SetDlgItemTextA(d, IDC_TEXT_NOTE_WIDTH, "5");
                       return IDOK;
                   },
                   [&](HWND d) {
                       Type(d, IDC_TEXT_NOTE_TEXT, "new text\rline 2");
                       previewText = Text(d, IDC_TEXT_NOTE_PREVIEW);
                       ::SetDlgItemTextA(d, IDC_TEXT_NOTE_WIDTH, "250");
                       ::SetDlgItemTextA(d, IDC_TEXT_NOTE_HEIGHT, "120");
                       return IDOK;
                   }});
    CTextNoteDlg dlg(&note, NULL, NULL);
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(std::vector<std::string>{Str(IDS_TEXT_NOTE_BAD_SIZE)}, script.Messages());
    EXPECT_EQ("new text\r\nline 2", previewText);
    EXPECT_STREQ("new text\r\nline 2", (const char*)note.m_text);
    EXPECT_EQ(250, note.m_noteWidth);
    EXPECT_EQ(120, note.m_noteHeight);

    // Cancel leaves the note as it was.
    Script cancel({[](HWND d) {
        ::SetDlgItemTextA(d, IDC_TEXT_NOTE_TEXT, "discarded");
        return IDCANCEL;
    }});
    CTextNoteDlg again(&note, NULL, NULL);
    EXPECT_EQ(IDCANCEL, again.DoModal());
    EXPECT_STREQ("new text\r\nline 2", (const char*)note.m_text);
}

}  // namespace

namespace {

Script::Step Shape(const char* name, const char* w, const char* h, bool blank, const char* path = "")
{
    return [=](HWND d) {
        ::SetDlgItemTextA(d, IDC_SHAPE_NAME, name);
        ::SetDlgItemTextA(d, IDC_SHAPE_WIDTH, w);
        ::SetDlgItemTextA(d, IDC_SHAPE_HEIGHT, h);
        ::SetDlgItemTextA(d, IDC_SHAPE_PATH, path);
        ::CheckRadioButton(d, IDC_SHAPE_BLANK, IDC_SHAPE_FILE, blank ? IDC_SHAPE_BLANK : IDC_SHAPE_FILE);
        return IDOK;
    };
}

TEST(NewShapeDialog, RefusesEachBadFieldWithItsMessageAndLoadsThePicture)
{
    FakeHost host;
    testsupport::ScratchDir dir("newshape");
    // A small BMP written by hand: 2 x 1, 24 bits.
    const unsigned char bmp[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 1, 0,
                                 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
    const std::string picture = dir.File("pic.bmp");
    ASSERT_TRUE(testsupport::WriteFileBytes(picture, bmp, sizeof bmp));
    const std::string notPicture = dir.File("not.bmp");
    ASSERT_TRUE(testsupport::WriteFileBytes(notPicture, "hello", 5));

    Script script({Shape("", "10", "10", true), Shape("a:b", "10", "10", true), Shape("a\"b", "10", "10", true),
                   Shape("ok", "0", "10", true), Shape("ok", "x1", "10", true), Shape("ok", "10", "-3", true),
                   Shape("ok", "10", "10", false, ""), Shape("ok", "10", "10", false, notPicture.c_str()),
                   Shape("ok", "10", "10", false, picture.c_str())});
    CNewShapeDlg dlg(100, 80, TRUE, 3, TRUE, NULL);
    EXPECT_STREQ("形状-3", (const char*)dlg.m_name);
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(0u, script.Left());
    const std::vector<std::string> expected = {
        Str(IDS_SHAPE_NAME_EMPTY), Str(IDS_SHAPE_NAME_BAD),  Str(IDS_SHAPE_NAME_BAD),
        Str(IDS_SHAPE_BAD_WIDTH),  Str(IDS_SHAPE_BAD_WIDTH), Str(IDS_SHAPE_BAD_HEIGHT),
        Str(IDS_SHAPE_NO_FILE),    Str(IDS_SHAPE_IMAGE_FAILED)};
    EXPECT_EQ(expected, script.Messages());
    EXPECT_FALSE(dlg.m_blank);
    EXPECT_STREQ(picture.c_str(), (const char*)dlg.m_path);
    EXPECT_EQ(2, dlg.m_width) << "the picture's size";
    EXPECT_EQ(1, dlg.m_height);
    EXPECT_STREQ("ok", (const char*)dlg.m_name);
}

TEST(NewShapeDialog, WithoutAnImageEditorABlankShapeCannotBeChosen)
{
    FakeHost host;
    BOOL blankEnabled = TRUE;
    int checked = 0;
    Script script({[&](HWND d) {
        blankEnabled = ::IsWindowEnabled(::GetDlgItem(d, IDC_SHAPE_BLANK));
        checked = ::IsDlgButtonChecked(d, IDC_SHAPE_FILE);
        return IDCANCEL;
    }});
    CNewShapeDlg dlg(100, 80, TRUE, 1, FALSE, NULL);
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_FALSE(blankEnabled);
    EXPECT_EQ(BST_CHECKED, checked);
}

}  // namespace

namespace {

// Chooses 20-point type in the real font dialog.
Script::Step FontOf20Points()
{
    return [](HWND d) {
        HWND size = ::GetDlgItem(d, 0x472);   // the size box
        const LRESULT index = ::SendMessageA(size, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)"20");
        if (index != CB_ERR) {
            ::SendMessageA(size, CB_SETCURSEL, index, 0);
            ::SendMessageA(d, WM_COMMAND, MAKEWPARAM(0x472, CBN_SELCHANGE), (LPARAM)size);
        }
        ::SetWindowTextA(size, "20");
        return IDOK;
    };
}

// Types red, green and blue into the real colour dialog.
Script::Step Colour(int r, int g, int b)
{
    return [=](HWND d) {
        ::SetDlgItemInt(d, 706, r, FALSE);
        ::SetDlgItemInt(d, 707, g, FALSE);
        ::SetDlgItemInt(d, 708, b, FALSE);
        return IDOK;
    };
}

}  // namespace

// The style is edited through the font and colour dialogs and the lists, and
// reaches the note only on OK; a bad frame width is refused.
TEST(TextNoteDialog, EditsTheStyleAndKeepsItOnlyOnOk)
{
    FakeHost host;
    HDC screen = ::GetDC(NULL);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(NULL, screen);
    for (int button : {IDCANCEL, IDOK}) {
        CDataTextObject note;
        note.m_text = "styled";
        const CNoteStyle before = note;
        Script script({[](HWND) { return IDC_TEXT_NOTE_FONT; }, FontOf20Points(),
                       [](HWND) { return IDC_TEXT_NOTE_BACKGROUND; }, Colour(10, 20, 30),
                       [](HWND) { return IDC_TEXT_NOTE_FRAME_COLOUR; }, Colour(200, 100, 50),
                       [](HWND d) {
                           ::SendDlgItemMessageA(d, IDC_TEXT_NOTE_FRAME, CB_SETCURSEL, 1, 0);
                           ::SendDlgItemMessageA(d, IDC_TEXT_NOTE_ALIGN, CB_SETCURSEL, 2, 0);
                           ::SendDlgItemMessageA(d, IDC_TEXT_NOTE_VALIGN, CB_SETCURSEL, 1, 0);
                           ::CheckDlgButton(d, IDC_TEXT_NOTE_WRAP, BST_UNCHECKED);
                           ::SetDlgItemTextA(d, IDC_TEXT_NOTE_FRAME_WIDTH, "21");
                           return IDOK;   // refused: the frame is too wide
                       },
                       [=](HWND d) {
                           ::SetDlgItemTextA(d, IDC_TEXT_NOTE_FRAME_WIDTH, "6");
                           return button;
                       }});
        CTextNoteDlg dlg(&note, NULL, NULL);
        EXPECT_EQ(button, dlg.DoModal());
        EXPECT_EQ(0u, script.Left());
        if (button == IDCANCEL) {
            EXPECT_EQ(before.m_fontHeight, note.m_fontHeight);
            EXPECT_EQ(before.m_backgroundColor, note.m_backgroundColor);
            EXPECT_EQ(before.m_flags, note.m_flags);
            EXPECT_EQ(before.m_frameWidth, note.m_frameWidth);
            continue;
        }
        EXPECT_EQ(std::vector<std::string>{Str(IDS_TEXT_NOTE_BAD_FRAME)}, script.Messages());
        EXPECT_EQ(-::MulDiv(20, dpi, 72), note.m_fontHeight);
        EXPECT_EQ(RGB(10, 20, 30), note.m_backgroundColor);
        EXPECT_EQ(RGB(200, 100, 50), note.m_frameColor);
        EXPECT_EQ((DWORD)CNoteStyle::kFrameSolid, note.m_flags & CNoteStyle::kFrameMask);
        EXPECT_EQ(2, CTextNoteDlg::AlignIndex(note.m_flags)) << "right";
        EXPECT_EQ(1, CTextNoteDlg::VAlignIndex(note.m_flags)) << "middle";
        EXPECT_EQ(0u, note.m_flags & CNoteStyle::kWordWrap);
        EXPECT_EQ(6, note.m_frameWidth);
        EXPECT_STREQ("styled", (const char*)note.m_text);
    }
}

TEST(TextNoteDialog, AlignmentIndexesAndLayoutBitsMapBothWays)
{
    for (int h = 0; h < 3; ++h)
        for (int v = 0; v < 3; ++v) {
            const DWORD flags = CTextNoteDlg::WithAlignment(0xF0, h, v);
            EXPECT_EQ(0xF0u, flags & 0xF0u) << "other bits are kept";
            EXPECT_EQ(h, CTextNoteDlg::AlignIndex(flags));
            EXPECT_EQ(v, CTextNoteDlg::VAlignIndex(flags));
        }
}
