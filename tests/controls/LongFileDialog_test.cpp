#include "controls/LongFileDialog.h"

#include "TestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class CTestFileDialog : public CLongFileDialog {
public:
    using CLongFileDialog::CLongFileDialog;
    BOOL Check(const std::string& path)
    {
        lstrcpynA(m_szFileName, path.c_str(), kFileBufferSize);
        const size_t slash = path.rfind('\\');
        lstrcpynA(m_szFileTitle, path.substr(slash + 1).c_str(), kFileBufferSize);
        return OnFileNameOK();
    }
    DWORD Flags() const { return m_ofn.Flags; }
};

struct Case {
    const char* name;
    BOOL open;
    int maxPath;
    const char* exts;
    const char* forbidden;
    std::string path;
    BOOL refused;
    std::string message;   // empty: no message
};

TEST(LongFileDialog, RefusesLongNamesForbiddenCharactersAndWrongExtensions)
{
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".mp4";
    const Case cases[] = {
        { "short enough", TRUE, 20, NULL, NULL, "C:\\a\\b.avi", FALSE, "" },
        { "too long to save", FALSE, 10, NULL, NULL, "C:\\a\\bbbbbb.avi", TRUE,
          "文件“C:\\a\\bbbbbb.avi”不能保存，因为路径太长，请使用一个短的路径。" },
        { "too long to open", TRUE, 10, NULL, NULL, "C:\\a\\bbbbbb.avi", TRUE,
          "“文件“C:\\a\\bbbbbb.avi”不能打开，因为路径太长，请使用一个短的路径。" },
        { "no length limit", TRUE, 0, NULL, NULL, longPath.substr(0, 200) + ".avi", FALSE, "" },
        { "forbidden character", FALSE, 0, NULL, "&#", "C:\\x&y\\a#b.avi", TRUE,
          "文件名“a#b.avi”包含下列无效的字符: “&#”" },
        { "forbidden only in folder", FALSE, 0, NULL, "&#", "C:\\x&y\\ab.avi", FALSE, "" },
        { "empty forbidden list", FALSE, 0, NULL, "", "C:\\a#b.avi", FALSE, "" },
        { "allowed upper case", FALSE, 0, ".avi;.skorec", NULL, "C:\\x\\A.AVI", FALSE, "" },
        { "allowed second", FALSE, 0, ".avi;.skorec", NULL, "C:\\x\\a.skorec", FALSE, "" },
        { "wrong extension", FALSE, 0, ".avi;.skorec", NULL, "C:\\x\\a.mp4", TRUE,
          "文件“C:\\x\\a.mp4”不是以一个有效的扩展名结尾。扩展名必须是下列扩展名之一: .avi .skorec" },
        { "wrong extension, long path", FALSE, 0, ".avi", NULL, longPath, TRUE,
          "文件“" + longPath + "”不是以一个有效的扩展名结尾。扩展名必须是下列扩展名之一: .avi\r\n\r\n"
          "注意: Windows 可能会截短过长的路径，扩展名可能因此丢失。请使用一个短的路径。" },
    };
    for (const Case& c : cases) {
        CTestFileDialog dlg(c.open, NULL, NULL, OFN_HIDEREADONLY, NULL, NULL, c.maxPath, c.exts);
        if (c.forbidden != NULL)
            dlg.SetForbiddenCharacters(c.forbidden);
        uitest::ModalAnswerer answer([](HWND h) { return uitest::ModalAnswerer::Press(h, IDOK); });
        EXPECT_EQ(c.refused, dlg.Check(c.path)) << c.name;
        if (c.message.empty()) {
            EXPECT_TRUE(answer.MessageTexts().empty()) << c.name;
        } else {
            ASSERT_EQ(1u, answer.MessageTexts().size()) << c.name;
            EXPECT_EQ(c.message, answer.MessageTexts()[0]) << c.name;
        }
        EXPECT_TRUE(dlg.Flags() & OFN_ENABLESIZING) << c.name;
    }
}

// The real dialog: a refused name keeps it open; the next, valid name closes it.
TEST(LongFileDialog, RealDialogStaysOpenAfterARefusal)
{
    testsupport::ScratchDir dir("longfile");
    CTestFileDialog dlg(FALSE, NULL, NULL, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                        "视频 (*.avi)|*.avi|所有文件 (*.*)|*.*||", NULL, 0, ".avi");
    dlg.m_ofn.lpstrInitialDir = dir.Path().c_str();
    int stage = 0;
    std::string seenMessage;
    auto typeName = [](HWND h, const char* name) {
        // The file-name box is cmb13 (a combo box) or edt1, depending on the style.
        ::SetDlgItemTextA(h, 0x47C, name);
        ::SetDlgItemTextA(h, 0x480, name);
    };
    uitest::ModalAnswerer answer([&](HWND h) {
        const std::string text = uitest::ModalAnswerer::MessageBoxText(h);
        if (stage == 0 && text.empty()) {
            typeName(h, "clip.mp4");
            stage = 1;
            return uitest::ModalAnswerer::Press(h, IDOK);
        }
        if (stage == 1 && !text.empty()) {
            seenMessage = text;
            stage = 2;
            return uitest::ModalAnswerer::Press(h, IDOK);
        }
        if (stage == 2 && text.empty()) {
            typeName(h, "clip.avi");
            stage = 3;
            return uitest::ModalAnswerer::Press(h, IDOK);
        }
        return false;
    }, 15000);
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(3, stage);
    EXPECT_NE(std::string::npos, seenMessage.find("clip.mp4")) << seenMessage;
    EXPECT_STREQ("clip.avi", dlg.GetFileName());
}

}  // namespace
