// The preview players' process-wide state for programs without the
// recorder's registrations unit (test programs of other subsystems that link
// the main window). The recorder defines every one of these symbols in
// app/Registrations.cpp, in their place among the program's process-wide
// objects; the linker then never takes this unit from the library.
#include "overlays/PreviewPollState.h"

namespace {

HANDLE SignalledEvent()
{
    return ::CreateEventA(NULL, TRUE, TRUE, NULL);
}

int NextCode()
{
    static int counter = 0;
    return counter++;
}

}  // namespace

CPtrArray g_previewPlayers;
volatile LONG g_previewPollQuit = 0;
HANDLE g_previewPollGate = SignalledEvent();
HANDLE g_previewPollExit = SignalledEvent();
CCriticalSection g_previewPlayerListLock;
int g_previewCommand[7] = {NextCode(), NextCode(), NextCode(), NextCode(), NextCode(), NextCode(), NextCode()};
