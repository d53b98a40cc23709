// The application's GDI+ guard for programs that do not make the program's
// process-wide objects: the recorder program defines CRecorderApp::s_gdiplus
// in its ordered unit (Registrations.cpp), so the linker never takes this
// file into it, while a test program, which runs no start-up code, gets a
// guard that starts GDI+ as soon as it is made. Nothing else may live here.
#include "app/RecorderApp.h"

CGdiplusInitGuard CRecorderApp::s_gdiplus(true);

namespace {
// Runs right after s_gdiplus is constructed (same file, later definition).
struct GdiplusAtStart {
    GdiplusAtStart() { CRecorderApp::s_gdiplus.Start(); }
} g_gdiplusAtStart;
}  // namespace
