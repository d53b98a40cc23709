#include "painter/ItemImageEditDlg.h"

#include "catalogue/DataShapeObject.h"
#include "painter/PntTextFmtBar.h"
#include "resources/ids_painter.h"

#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);

void MakePicture(CDib& dib, int width, int height)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(width, height, 1, 24));
    CBitmap section;
    section.Attach(image.GetSafeHandle());
    ASSERT_TRUE(dib.CreateFromBitmap(NULL, &section, 24, FALSE));
    section.Detach();
}

CPaintControl* ControlOf(HWND dialog)
{
    return static_cast<CPaintControl*>(CWnd::FromHandlePermanent(::GetDlgItem(dialog, IDC_PNT_CTRL)));
}

void MoveSlider(HWND dialog, int id, int position)
{
    HWND slider = ::GetDlgItem(dialog, id);
    ::SendMessageA(slider, TBM_SETPOS, TRUE, position);
    ::SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), (LPARAM)slider);
}

}  // namespace

TEST(RecorderPaintControl, DisplayScalesTakeTheZoomsPlaceAt100Percent)
{
    HWND host = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 100, 100, 300, 300, NULL, NULL, NULL, NULL);
    MyCPntCtrl ctrl;
    ASSERT_TRUE(ctrl.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 200), CWnd::FromHandle(host), 7));
    ASSERT_TRUE(ctrl.CreateImage(10, 10, 1, 24));
    CRect all(0, 0, 11, 11);
    ASSERT_TRUE(ctrl.GetImage().FillRect(&all, kRed));
    ctrl.SetScaleX(200);
    ctrl.SetScaleY(50);
    const CPoint corner = ctrl.ImageToClient(CPoint(0, 0));
    EXPECT_EQ(CPoint(9, 8), ctrl.ClientToImage(corner + CPoint(19, 4)));
    EXPECT_EQ(CPoint(10, 10), ctrl.ClientToImage(ctrl.ImageToClient(CPoint(10, 10))));
    ctrl.UpdateWindow();
    ctrl.RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    int width = 0, height = 0;
    const std::vector<DWORD> pixels = uitest::CaptureClient(ctrl.m_hWnd, &width, &height);
    int minX = 1000, minY = 1000, maxX = -1, maxY = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (pixels[(size_t)y * width + x] == 0xFF0000) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    EXPECT_EQ(20, maxX - minX + 1) << "shown 20 pixels wide";
    EXPECT_EQ(5, maxY - minY + 1) << "and 5 high";

    ctrl.SetZoom(200);
    EXPECT_EQ(CPoint(9, 2), ctrl.ClientToImage(corner + CPoint(19, 4))) << "other zooms ignore the scales";
    ctrl.SetZoom(100);
    ctrl.SetScaleY(0);
    EXPECT_EQ(CPoint(0, 0), ctrl.ClientToImage(corner + CPoint(19, 4))) << "a scale of 0 maps like zoom 0";
    for (int percent : { 29, 58, 116, 205, 207, 232, 410, 414, 439, 464, 489 }) {
        ctrl.SetScaleX(percent);
        EXPECT_EQ(percent, ctrl.GetScalePercentX()) << percent;
    }
    ::DestroyWindow(host);
}

TEST(ItemImageEditor, OkStoresCaptionAlignmentAndScales)
{
    struct Case {
        const char* name;
        int slider;
        bool keep;
        int width, height;
    } cases[] = {
        { "250 kept equal", 250, true, 250, 250 },
        { "29 alone", 29, false, 29, 100 },
    };
    for (const Case& c : cases) {
        CDataShapeObject shape;
        MakePicture(shape.m_image, 30, 20);
        shape.m_caption.m_text = "旧";
        shape.m_caption.m_fontWeight = 0;
        shape.m_caption.m_posX = 16;
        shape.m_caption.m_rect = CRect(0, 0, 0, 0);
        shape.m_caption.m_textColor = kBlue;
        shape.m_widthPercent = 100;
        shape.m_heightPercent = 100;
        CPntEditSettings settings;
        CDialog* open = nullptr;
        settings.openDialog = &open;
        bool sawOpen = false;
        LOGFONT shownFont = {};
        int shownAlignment = -1;
        CRect shownSelection;
        std::string title;
        uitest::ModalAnswerer answerer([&](HWND dialog) {
            CPaintControl* ctrl = ControlOf(dialog);
            if (!ctrl)
                return false;
            sawOpen = open != nullptr && open->m_hWnd == dialog;
            char text[64] = "";
            ::GetWindowTextA(dialog, text, sizeof(text));
            title = text;
            ctrl->GetTextFont(&shownFont);
            shownAlignment = ctrl->GetTextAlignment();
            shownSelection = ctrl->GetSelection();
            ctrl->SetText("新标题");
            ctrl->SetTextAlignment(2);
            if (c.keep)
                ::SendDlgItemMessageA(dialog, IDC_PNT_SCALE_KEEP, BM_CLICK, 0, 0);
            MoveSlider(dialog, IDC_PNT_SCALE_H, c.slider);
            return uitest::ModalAnswerer::Press(dialog, IDOK);
        });
        EXPECT_TRUE(OpenItemImageEditor(settings, &shape)) << c.name;
        EXPECT_TRUE(sawOpen) << c.name << ": the owner's field names the open dialog";
        EXPECT_EQ(nullptr, open) << c.name;
        EXPECT_EQ("编辑文字", title) << c.name;
        EXPECT_EQ(400, shownFont.lfWeight) << c.name << ": weight 0 opens as normal";
        EXPECT_EQ(1, shownAlignment) << c.name << ": position 16 is centred";
        EXPECT_EQ(CRect(0, 0, 30, 20), shownSelection) << c.name << ": an empty caption area opens as the whole picture";
        EXPECT_EQ(std::string("新标题"), std::string((LPCTSTR)shape.m_caption.m_text)) << c.name;
        EXPECT_EQ(32, shape.m_caption.m_posX) << c.name << ": right alignment";
        EXPECT_EQ(kBlue, shape.m_caption.m_textColor) << c.name;
        EXPECT_EQ(400, shape.m_caption.m_fontWeight) << c.name;
        EXPECT_EQ(c.width, shape.m_widthPercent) << c.name;
        EXPECT_EQ(c.height, shape.m_heightPercent) << c.name;
        EXPECT_EQ(CRect(0, 0, 30, 20), CRect(shape.m_caption.m_rect)) << c.name;
    }
}

TEST(ItemImageEditor, CancelChangesNothing)
{
    CDataShapeObject shape;
    MakePicture(shape.m_image, 30, 20);
    shape.m_caption.m_text = "原文";
    shape.m_caption.m_posX = 0;
    shape.m_widthPercent = 120;
    shape.m_heightPercent = 80;
    const std::vector<BYTE> before(shape.m_image.GetBlock(), shape.m_image.GetBlock() + shape.m_image.GetBlockSize());
    CPntEditSettings settings;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        CPaintControl* ctrl = ControlOf(dialog);
        if (!ctrl)
            return false;
        ctrl->SetText("别的");
        MoveSlider(dialog, IDC_PNT_SCALE_H, 300);
        ctrl->GetImage().DrawDot(1, 1, 1, kRed);
        return uitest::ModalAnswerer::Press(dialog, IDCANCEL);
    });
    EXPECT_FALSE(OpenItemImageEditor(settings, &shape));
    EXPECT_EQ(std::string("原文"), std::string((LPCTSTR)shape.m_caption.m_text));
    EXPECT_EQ(0, shape.m_caption.m_posX);
    EXPECT_EQ(120, shape.m_widthPercent);
    EXPECT_EQ(80, shape.m_heightPercent);
    EXPECT_EQ(before, std::vector<BYTE>(shape.m_image.GetBlock(), shape.m_image.GetBlock() + shape.m_image.GetBlockSize()));
}

// The text bar opens as a captioned tool window holding the shape's caption,
// its edit takes the focus, and what is typed there becomes the caption.
TEST(ItemImageEditor, TheTextBarHoldsTheCaptionAndTakesWhatIsTyped)
{
    CDataShapeObject shape;
    MakePicture(shape.m_image, 30, 20);
    shape.m_caption.m_text = "旧";
    CPntEditSettings settings;
    int stage = 0;
    DWORD typedAt = 0;
    std::string shownText;
    bool focused = false, captioned = false, toolWindow = false;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        CPaintControl* ctrl = ControlOf(dialog);
        if (!ctrl)
            return false;
        CPntTextFmtBar& bar = ctrl->GetTextBar();
        HWND edit = bar.GetCurrentEdit() ? bar.GetCurrentEdit()->m_hWnd : NULL;
        if (stage == 0) {
            if (!edit)
                return false;
            char text[64] = "";
            ::GetWindowTextA(edit, text, sizeof(text));
            shownText = text;
            focused = ::GetFocus() == edit;
            captioned = (bar.GetStyle() & WS_CAPTION) == WS_CAPTION && ::IsWindowVisible(bar.m_hWnd);
            toolWindow = (bar.GetExStyle() & WS_EX_TOOLWINDOW) != 0;
            ::SendMessageA(edit, EM_SETSEL, 0, -1);
            for (WORD key : { (WORD)'A', (WORD)'B' }) {
                INPUT in[2] = {};
                in[0].type = in[1].type = INPUT_KEYBOARD;
                in[0].ki.wVk = in[1].ki.wVk = key;
                in[1].ki.dwFlags = KEYEVENTF_KEYUP;
                ::SendInput(2, in, sizeof(INPUT));
            }
            typedAt = ::GetTickCount();
            stage = 1;
            return true;
        }
        if (::GetTickCount() - typedAt < 600)
            return false;
        return uitest::ModalAnswerer::Press(dialog, IDOK);
    });
    EXPECT_TRUE(OpenItemImageEditor(settings, &shape));
    EXPECT_EQ("旧", shownText);
    EXPECT_TRUE(focused) << "the bar's edit has the focus";
    EXPECT_TRUE(captioned);
    EXPECT_TRUE(toolWindow);
    EXPECT_EQ("ab", std::string((LPCTSTR)shape.m_caption.m_text)) << "the typed text replaced the selected caption";
}
