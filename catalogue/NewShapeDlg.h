#pragma once
#include "framework/String.h"
#include "framework/ui/Dialog.h"

// Asks for a new shape: its name, a blank picture of a size or a picture
// file (BMP, GIF, JPEG; loaded to check it and give its size), and a
// caption. A blank picture needs the image editor: without one the choice
// is disabled. UI thread.
class CNewShapeDlg : public CDialog {
public:
    // The default name is string 241 + "-" + number.
    CNewShapeDlg(int width, int height, BOOL blank, int number, BOOL blankAllowed, CWnd* parent);
    BOOL OnInitDialog() override;
    void OnOK() override;

    CString m_name;
    CString m_path;    // the picture file last loaded successfully
    CString m_text;
    int m_width;
    int m_height;
    BOOL m_blank;

protected:
    void OnBlank();
    void OnFile();
    void OnBrowse();
    void EnableChoice(BOOL blank);
    // Loads the file to check it; its size goes into the size fields.
    BOOL LoadPicture(const CString& path);
    DECLARE_MESSAGE_MAP()
    BOOL m_blankAllowed;
    BOOL m_loaded;
    static int s_filterIndex;
};
