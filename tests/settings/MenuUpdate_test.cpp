#include "settings/MenuUpdate.h"

#include "framework/ui/CmdTarget.h"
#include "framework/ui/Menu.h"
#include "framework/ui/MsgMap.h"
#include "framework/ui/Wnd.h"

#include <gtest/gtest.h>

namespace {

enum { kChecked = 100, kHandled = 101, kUnhandled = 102, kRemover = 103, kSubFirst = 110, kSystem = 0xF060 };

// A window with update handlers for some items and command handlers for others.
class CMenuOwner : public CWnd {
public:
    int updates = 0;
    CMenu* removeFrom = nullptr;

protected:
    void OnUpdateChecked(CCmdUI* ui)
    {
        ++updates;
        ui->SetCheck(1);
    }
    void OnHandled() {}
    void OnUpdateRemover(CCmdUI* ui)
    {
        ++updates;
        if (removeFrom)
            removeFrom->RemoveMenu(kRemover, MF_BYCOMMAND);
        (void)ui;
    }
    void OnUpdateSub(CCmdUI* ui)
    {
        ++updates;
        ui->Enable(TRUE);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMenuOwner, CWnd)
    ON_UPDATE_COMMAND_UI(kChecked, OnUpdateChecked)
    ON_COMMAND(kHandled, OnHandled)
    ON_UPDATE_COMMAND_UI(kRemover, OnUpdateRemover)
    ON_UPDATE_COMMAND_UI(kSubFirst, OnUpdateSub)
END_MESSAGE_MAP()

UINT State(HMENU menu, UINT id)
{
    return ::GetMenuState(menu, id, MF_BYCOMMAND);
}

}  // namespace

TEST(MenuUpdate, RunsTheWindowsUpdateHandlers)
{
    CMenuOwner owner;
    ASSERT_TRUE(owner.CreateEx(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, NULL, NULL));
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    CMenu sub;
    ASSERT_TRUE(sub.CreatePopupMenu());
    sub.AppendMenu(MF_STRING, kSubFirst, "sub first");
    popup.AppendMenu(MF_STRING, kChecked, "checked");
    popup.AppendMenu(MF_SEPARATOR);
    popup.AppendMenu(MF_STRING, kHandled, "handled");
    popup.AppendMenu(MF_STRING, kUnhandled, "unhandled");
    popup.AppendMenu(MF_STRING, kSystem, "system id");
    popup.AppendMenu(MF_POPUP, (UINT_PTR)sub.m_hMenu, "sub");
    popup.AppendMenu(MF_STRING, kRemover, "remover");
    popup.AppendMenu(MF_STRING | MF_GRAYED, kHandled + 1000, "after");
    owner.removeFrom = &popup;

    UpdatePopupMenuUI(&owner, &popup, 0, FALSE);
    EXPECT_TRUE(State(popup, kChecked) & MF_CHECKED);
    EXPECT_FALSE(State(popup, kHandled) & MF_GRAYED);
    EXPECT_TRUE(State(popup, kUnhandled) & MF_GRAYED);     // no handler: disabled
    EXPECT_FALSE(State(popup, kSystem) & MF_GRAYED);       // system ids are left alone
    EXPECT_EQ((UINT)-1, State(popup, kRemover));           // removed by its own handler
    EXPECT_TRUE(State(popup, kHandled + 1000) & MF_GRAYED); // the walk went on after the removal
    EXPECT_EQ(3, owner.updates);                           // checked, sub (through its first id), remover

    // The system menu is not walked.
    owner.updates = 0;
    UpdatePopupMenuUI(&owner, &popup, 0, TRUE);
    EXPECT_EQ(0, owner.updates);
    owner.removeFrom = nullptr;
    owner.DestroyWindow();
}
