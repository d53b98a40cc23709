// A second process for the crash-safety tests of library saving:
//   SaveChild step <library> <k> <whole>
//       renames every item to "after" and saves (whole when <whole> is 1,
//       else appending), ending the process at once after write step k
//       (exit code 3); exit code 0 when the save ran to its end.
//   SaveChild loop <library> <ready event>
//       renames every item to "gen-N" and saves, N = 1, 2, ..., every third
//       save whole, until it is killed; signals the event once the library is
//       open.
//   SaveChild newid
//       exits with a new data-object id as its exit code.
//   SaveChild clipread <format name> <file>
//       writes the clipboard's data of that registered format into the file
//       (another program reading what the catalogue offered); exit code 5
//       when it is not there.
#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "catalogue/DataGenericObject.h"
#include "framework/Exceptions.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

int g_stopAt = -1;

void StopAtStep(int step)
{
    if (step == g_stopAt)
        ::ExitProcess(3);
}

void RenameAll(CCataloguePropertyObject& cat, const char* name)
{
    for (int i = 0; i < cat.GetItemCount(); i++)
        cat.GetItem(i)->SetName(name);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "newid") == 0)
        return (int)CDataGenericObject::NewId();
    if (argc == 4 && strcmp(argv[1], "clipread") == 0) {
        const UINT format = ::RegisterClipboardFormatA(argv[2]);
        for (int attempt = 0; attempt < 100 && !::OpenClipboard(NULL); attempt++)
            ::Sleep(20);
        HANDLE data = ::GetClipboardData(format);
        if (data == NULL) {
            ::CloseClipboard();
            return 5;
        }
        const SIZE_T size = ::GlobalSize(data);
        const void* p = ::GlobalLock(data);
        FILE* out = fopen(argv[3], "wb");
        const bool ok = p && out && fwrite(p, 1, size, out) == size;
        if (out)
            fclose(out);
        ::GlobalUnlock(data);
        ::CloseClipboard();
        return ok ? 0 : 6;
    }
    if (argc < 4)
        return 2;
    CCataloguePropertyObject cat;
    try {
        if (cat.Open(argv[2]) != 0)
            return 2;
    } catch (CException* e) {
        e->Delete();
        return 2;
    }
    if (strcmp(argv[1], "step") == 0 && argc == 5) {
        g_stopAt = atoi(argv[3]);
        CCataloguePropertyObject::s_afterWriteStep = StopAtStep;
        RenameAll(cat, "after");
        return cat.Save(atoi(argv[4]) ? 0 : 5) == 0 ? 0 : 4;
    }
    if (strcmp(argv[1], "loop") == 0) {
        HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
        if (ready)
            ::SetEvent(ready);
        for (int gen = 1;; gen++) {
            char name[32];
            snprintf(name, sizeof(name), "gen-%d", gen);
            RenameAll(cat, name);
            if (cat.Save(gen % 3 == 0 ? 0 : 5) != 0)
                return 4;
        }
    }
    return 2;
}
