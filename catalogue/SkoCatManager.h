#pragma once
#include "catalogue/CatManager.h"
#include "framework/ui/Dialog.h"

class CRecorderPrefs;

// The recorder's catalogue manager: at most one layout library at the top,
// then the shape libraries, then the text-note libraries. Icon editing goes
// to the image editor; a paste is accepted when it offers the data of the
// active page's kind. UI thread.
class CSkoCatManager : public CCatManager {
    DECLARE_DYNCREATE(CSkoCatManager)
public:
    CSkoCatManager();
    ~CSkoCatManager() override;

    BOOL CanEditIcons() override;
    BOOL EditItemIcon(CCataloguePropertyObject* page, int index, int size) override;
    BOOL AcceptsPaste(COleDataObject* data) override;

    // Opens a page of the type from `path`, else from `second`; else adds
    // an empty page whose first save creates the file at `second`. An
    // existing file that cannot be read is reported and never replaced.
    BOOL OpenWithFallback(LPCTSTR path, LPCTSTR second, int type);
    // Opens the libraries: the shipped ones on the first run, else those
    // the preferences list. The folder is the user's library folder.
    void SetUpLibraries(const CRecorderPrefs* prefs, BOOL firstRun, const CString& folder);
    BOOL NewTypedPage(int type);
    void NewLayoutLibrary();
    BOOL OpenLayoutLibrary(LPCTSTR path, BOOL saveFirst);
    // The default file name of a kind of library.
    static CString DefaultFileName(int type);

protected:
    void OnRButtonDown(UINT flags, CPoint point);
    void OnNewNoteLibrary();
    void OnNewShapeLibrary();
    void OnOpenNoteLibrary();
    void OnOpenShapeLibrary();
    void OnCloseLibrary();
    void OnUpdateCloseLibrary(CCmdUI* pCmdUI);
    void OnNewLayoutLibrary();
    DECLARE_MESSAGE_MAP()
};

// The screen-notes window: a modeless dialog that holds the manager over
// its client area. Closing it only asks the main window to hide it.
class CCatalogueHostDlg : public CDialog {
public:
    CCatalogueHostDlg();
    ~CCatalogueHostDlg() override;
    // Creates the dialog hidden; the libraries are opened from the
    // preferences (the shipped ones on the first run).
    BOOL CreateHost(CWnd* parent, const CRecorderPrefs* prefs, BOOL firstRun, const CString& folder);
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    CSkoCatManager m_manager;

protected:
    void OnSize(UINT type, int cx, int cy);
    void OnClose();
    void OnInitMenu(CMenu* menu);
    LRESULT OnInitMenuMsg(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    const CRecorderPrefs* m_prefs;
    BOOL m_firstRun;
    CString m_folder;
    HICON m_icon;
};
