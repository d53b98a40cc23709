// The recorder program's entry: the application object (with the other
// process-wide objects, in Registrations.cpp) is made before WinMain runs;
// WinMain gives it the main window's maker, the catalogue's maker, the
// joiner of split recordings (with our video compressor registered) and
// the image editor of the screen notes, and
// runs the framework's start-up.
#include "app/CatalogueStart.h"
#include "app/MainFrame.h"
#include "app/RecorderApp.h"
#include "app/Registrations.h"
#include "app/ShapeImageEditor.h"
#include "XRVDirectShow/GraphBuilderCallback.h"
#include "XRVDirectShow/RecordingJoiner.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    theApp.m_makeMainWindow = &CMainFrame::Make;
    // Split recordings are joined through the timeline render.
    static CTimelineJoiner joiner;
    SetRecordingJoiner(&joiner);
    // Our xrvc compressor goes into the video-compressor category, so that
    // its name there binds it rather than Wine's wrapper of the codec.
    if (SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED))) {
        EnsureOwnCompressorsRegistered();
        CoUninitialize();
    }
    theApp.m_makeCatalogue = &MakeCatalogueWindow;
    // The screen notes edit pictures and icons in the image editor.
    static CShapeImageEditor editor;
    SetShapeImageEditor(&editor);
    return AfxWinMain(instance, previous, commandLine, showCommand);
}
