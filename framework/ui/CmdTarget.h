// CCmdTarget, the message-map records and CCmdUI.
//
// A message map is a static table per class; each entry names a message (or a
// command / notification code and an id range), a dispatcher that knows the
// handler's signature, and the handler as a member pointer. Lookup walks the
// class's table, then its base class's, as MFC does. The ON_... macros are in
// framework/ui/MsgMap.h.
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"

class CCmdTarget;
class CCmdUI;
class CMenu;
class CWnd;

typedef void (CCmdTarget::*AFX_PMSG)();

// Calls the handler pfn of target with the message's arguments, stores the
// result for the window procedure in *pResult and returns TRUE when the message
// counts as handled (the ..._EX handlers and the reflected colour handler can
// decline). Each ON_ macro picks the dispatcher that matches its handler
// signature.
typedef BOOL (*AFX_DISPATCH)(CCmdTarget* target, AFX_PMSG pfn, UINT message, WPARAM wParam,
                             LPARAM lParam, LRESULT* pResult);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;               // window message, or 0 for the end of the table
    UINT nCode;                  // command / notification code (WM_COMMAND, WM_NOTIFY, reflected)
    UINT nID;                    // first control or command id
    UINT nLastID;                // last id of a range (== nID for one id)
    AFX_DISPATCH pfnDispatch;
    AFX_PMSG pfn;
    const UINT* pnRegisteredMessage;  // ON_REGISTERED_MESSAGE: the variable holding the id
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Filled by OnCmdMsg when a caller only asks whether a handler exists.
struct AFX_CMDHANDLERINFO {
    CCmdTarget* pTarget;
    AFX_PMSG pfn;
};

// Code values of OnCmdMsg besides the notification codes of WM_COMMAND.
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI ((UINT)(-1))

// Reflected messages: a parent hands a control's notification back to the
// control's own map under WM_REFLECT_BASE + the message.
#define WM_REFLECT_BASE 0xBC00

#define DECLARE_MESSAGE_MAP()                                 \
protected:                                                    \
    static const AFX_MSGMAP* GetThisMessageMap();             \
    virtual const AFX_MSGMAP* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                 \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                            \
    {                                                                          \
        using ThisClass [[maybe_unused]] = theClass;                           \
        typedef baseClass TheBaseClass;                                        \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                      \
            { 0, 0, 0, 0, nullptr, nullptr, nullptr }                          \
        };                                                                     \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, \
                                               &_messageEntries[0] };          \
        return &messageMap;                                                    \
    }

// The root of everything that has a message map. Command routing goes through
// OnCmdMsg; a target that passes commands on (a frame to its children, say)
// overrides it.
class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() {}
    ~CCmdTarget() override {}

    // Runs the handler for command nID with code nCode (CN_COMMAND, a control
    // notification code or CN_UPDATE_COMMAND_UI with pExtra the CCmdUI). With
    // pHandlerInfo set nothing is called: it reports whether a handler exists.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

    // Finds the first entry for a message in this object's map chain, or null.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT nCode, UINT nID) const;

    // Calls the matching entries of the map chain, most derived first, until
    // one handles the message (an ..._EX handler may decline). With
    // pHandlerInfo set nothing is called and the first match is reported.
    BOOL DispatchToMap(UINT message, UINT nCode, UINT nID, WPARAM wParam, LPARAM lParam,
                       LRESULT* pResult, AFX_CMDHANDLERINFO* pHandlerInfo);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// The state of one command's user-interface element (menu item, button),
// handed to ON_UPDATE_COMMAND_UI handlers.
class CCmdUI {
public:
    CCmdUI();
    virtual ~CCmdUI() {}

    virtual void Enable(BOOL bOn = TRUE);
    virtual void SetCheck(int nCheck = 1);   // 0 unchecked, 1 checked, 2 indeterminate
    virtual void SetRadio(BOOL bOn = TRUE);
    virtual void SetText(LPCTSTR lpszText);

    // Asks pTarget's handlers; when none answers and bDisableIfNoHandler is
    // set, the item is enabled exactly when a command handler exists.
    BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHandler);

    UINT m_nID;
    UINT m_nIndex;                // index of the menu item
    CMenu* m_pMenu;               // menu item, or null
    CMenu* m_pSubMenu;            // the popup the item opens, or null
    CWnd* m_pOther;               // other window (tool-bar button, control), or null
    BOOL m_bEnableChanged;
    BOOL m_bContinueRouting;
    UINT m_nIndexMax;
    CMenu* m_pParentMenu;
};
