#pragma once
// Shared pieces of the screen-note tests: an application stand-in that
// counts translucent windows, a catalogue-window stand-in that owns a desk,
// and pictures for shapes.
#include "catalogue/NoteDesk.h"
#include "catalogue/NoteHost.h"
#include "catalogue/NoteStyle.h"
#include "framework/ui/Wnd.h"

#include <string>
#include <utility>
#include <vector>

class CDataShapeObject;

namespace notetest {

class FakeHost : public INoteHost {
public:
    FakeHost() { SetNoteHost(this); }
    ~FakeHost() override { SetNoteHost(NULL); }
    void SetWindowAlphaLevel(HWND window, int percent) override { alphaCalls.push_back({window, percent}); }
    void RaiseWindowCount() override { ++count; }
    void ReleaseWindowCount() override
    {
        if (count > 0)
            --count;
    }
    BOOL IsLayeredSupported() override { return layered; }
    CWnd* GetNoteMainWindow() override { return NULL; }
    BOOL GetDefaultNoteStyle(CNoteStyle* style) override
    {
        *style = defaults;
        return TRUE;
    }

    CRecorderPrefs* GetNotePrefs() override { return prefs; }

    int count = 0;
    BOOL layered = TRUE;
    CRecorderPrefs* prefs = nullptr;
    CNoteStyle defaults;
    std::vector<std::pair<HWND, int>> alphaCalls;
};

// A hidden window standing in for the catalogue window: it owns a desk on a
// 1920 x 1080 desktop at (0, 0) and passes the floaters' messages to it.
class DeskWindow : public CWnd, public INoteDeskSite {
public:
    DeskWindow();
    ~DeskWindow() override;
    CWnd* GetDeskWindow() override { return this; }
    BOOL AcceptsObject(const CDataGenericObject*) override { return TRUE; }
    void AddToCatalogue(CDataGenericObject* object, const CString& name) override;

    CNoteDesk desk;
    std::vector<std::string> saved;   // names given to AddToCatalogue

protected:
    LRESULT OnClosed(WPARAM wParam, LPARAM);
    LRESULT OnRaised(WPARAM wParam, LPARAM);
    DECLARE_MESSAGE_MAP()
};

// A w x h shape whose columns x < keyColumns are the key colour (pure
// magenta) and the rest dark blue.
CDataShapeObject* MakeShape(int w, int h, int keyColumns);

}  // namespace notetest
