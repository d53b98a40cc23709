#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"

#include <vector>

class CDataGenericObject;
class CFloater;
class CWnd;

// Messages a floater posts to its desk's window (WPARAM = the floater).
#define WM_FLOATER_CLOSED (WM_USER + 10)   // remove and destroy it
#define WM_FLOATER_RAISED (WM_USER + 14)   // move it to the top of the list

// The catalogue window as the floaters see it: the window that receives
// their messages and the commands they do not handle themselves, and the
// catalogue operations of their menu.
class INoteDeskSite {
public:
    virtual ~INoteDeskSite() {}
    virtual CWnd* GetDeskWindow() = 0;
    // Whether some page can take this kind of object (the floater's Save).
    virtual BOOL AcceptsObject(const CDataGenericObject* object) = 0;
    // Stores a copy of the object under the name (the floater's Save).
    virtual void AddToCatalogue(CDataGenericObject* object, const CString& name) = 0;
};

// The notes floating on the desktop for one catalogue window: the list of
// open floaters in z-order (the last one raised last), the cascade of notes
// opened without a position, and the one modal dialog that a note command
// runs at a time. Destroying the desk closes every floater. UI thread.
class CNoteDesk {
public:
    explicit CNoteDesk(INoteDeskSite* site);
    ~CNoteDesk();
    CNoteDesk(const CNoteDesk&) = delete;
    CNoteDesk& operator=(const CNoteDesk&) = delete;

    INoteDeskSite* GetSite() const { return m_site; }
    CWnd* GetWindow() const;

    // Opens the object (taken over) as a floater named `name`: centred on
    // `centre`, or on its stored centre when none is given, or at the next
    // cascade position when that is (0, 0). `fromLayout` skips the image
    // floater's delayed second paint. NULL (object deleted) when the object
    // is of no floating kind or the window cannot be made.
    CFloater* PlaceOnDesktop(CDataGenericObject* object, const CString& name, BOOL fromLayout, const POINT* centre);

    // The top-left corner of a note of that size centred on `centre`, kept
    // on the virtual desktop; a missing or (0, 0) centre takes the cascade
    // position and advances it by 100 pixels, starting over at the desktop's
    // corner when the note would pass its right or bottom edge.
    POINT ComputeNotePosition(const POINT* centre, int width, int height);
    // The desktop the notes are kept on; the system's when not set.
    void SetDesktop(const POINT& origin, int width, int height);

    // Adds a created floater; a visible floater already showing an object of
    // the same id gives the new one's object a fresh id first.
    void RegisterFloater(CFloater* floater);
    // WM_FLOATER_CLOSED: destroys and deletes the floater when it is listed.
    void OnFloaterClosed(CFloater* floater);
    // WM_FLOATER_RAISED: moves it to the end of the list.
    void OnFloaterRaised(CFloater* floater);
    // Closes every floater and restarts the cascade; a floater that a dialog
    // edits is left alone and the dialog is brought forward instead.
    // FALSE when one was left.
    BOOL CloseAllFloaters();
    // Repaints every floater at once.
    void RefreshFloaters();

    int GetCount() const { return (int)m_floaters.size(); }
    CFloater* GetAt(int i) const { return m_floaters[i]; }
    int IndexOf(const CFloater* floater) const;

    // The modal dialog a note command runs now (null when none).
    CWnd* GetOpenDialog() const { return m_openDialog; }
    void SetOpenDialog(CWnd* dialog, CFloater* editing);
    CFloater* GetEditedFloater() const { return m_editing; }
    // Brings the open dialog forward; FALSE when none is open.
    BOOL BringDialogForward();

    int m_cascadeX;
    int m_cascadeY;

private:
    INoteDeskSite* m_site;
    std::vector<CFloater*> m_floaters;
    CWnd* m_openDialog;
    CFloater* m_editing;
    BOOL m_desktopSet;
    POINT m_origin;
    int m_width;
    int m_height;
};
