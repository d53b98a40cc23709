#pragma once
#include "framework/AfxPlatform.h"

class CDataShapeObject;
class CDib;
class CNoteStyle;
class CRecorderPrefs;
class CWnd;

// What the screen notes need of the application that runs them: window
// opacity, the count of translucent windows on the desktop (while it is
// above 0 the recorder's screen grab adds CAPTUREBLT so layered windows are
// captured), whether layered windows work at all, and the main window. The
// recorder's application object registers itself at start-up; with none
// registered the notes stay opaque and count nothing. UI thread.
class INoteHost {
public:
    virtual ~INoteHost() {}
    // Opacity 1..99 percent makes the window layered; 100 opaque; <= 0 nothing.
    virtual void SetWindowAlphaLevel(HWND window, int percent) = 0;
    virtual void RaiseWindowCount() = 0;
    // Lowers the count, never below 0.
    virtual void ReleaseWindowCount() = 0;
    virtual BOOL IsLayeredSupported() = 0;
    virtual CWnd* GetNoteMainWindow() = 0;
    // The main window's default style of new text notes; FALSE when none.
    virtual BOOL GetDefaultNoteStyle(CNoteStyle* style) = 0;
    // The preferences whose flag word remembers the catalogue's tips; null
    // when there are none (then no tip is shown).
    virtual CRecorderPrefs* GetNotePrefs() { return NULL; }
};

void SetNoteHost(INoteHost* host);
INoteHost* GetNoteHost();

// Settings the image editor keeps per use (shape picture edits and the shape
// item dialog): the window that owns the editor, the key colour (-1 none),
// the default size and bit depth of a new blank picture, and whether a new
// shape starts blank.
struct ShapeEditorSettings {
    CWnd* owner;
    COLORREF transparentColour;
    int defaultWidth;
    int defaultHeight;
    int bitsPerPixel;
    BOOL blank;
};

// The image editor as the screen notes use it: a shape's picture, a shape's
// item dialog (picture, caption and scale), an item's icon, and a blank
// picture for a new shape. The editor registers its implementation; until
// one is registered every command that needs it is disabled. UI thread.
class IShapeImageEditor {
public:
    virtual ~IShapeImageEditor() {}
    // Edits the shape's picture in place; 1 when changed and accepted.
    virtual int EditShapeImage(CWnd* parent, CDataShapeObject* shape, ShapeEditorSettings* settings) = 0;
    // The shape item dialog (picture, caption, scale); TRUE on OK.
    virtual BOOL OpenItemImageEditor(CWnd* parent, CDataShapeObject* shape, ShapeEditorSettings* settings) = 0;
    // Edits an icon given as a colour and a monochrome mask bitmap of
    // size x size; on TRUE both handles were replaced (the caller frees them).
    virtual BOOL EditIcon(CWnd* parent, HBITMAP* colour, HBITMAP* mask, int size) = 0;
    // A blank picture of the size and depth; TRUE when made.
    virtual BOOL CreateBlankImage(int width, int height, int bitsPerPixel, CDib* image) = 0;
};

void SetShapeImageEditor(IShapeImageEditor* editor);
IShapeImageEditor* GetShapeImageEditor();
