// The recorder program's entry: the application object (with the other
// process-wide objects, in Registrations.cpp) is made before WinMain runs;
// WinMain gives it the main window's maker and runs the framework's start-up.
#include "app/CatalogueStart.h"
#include "app/MainFrame.h"
#include "app/RecorderApp.h"
#include "app/Registrations.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    theApp.m_makeMainWindow = &CMainFrame::Make;
    theApp.m_makeCatalogue = &MakeCatalogueWindow;
    return AfxWinMain(instance, previous, commandLine, showCommand);
}
