// Cost of the image editor's whole-picture steps on a 1920 x 1080 32-bit
// picture against one frame at 60 Hz (16.7 ms; aim under 0.5 ms): a
// rubber-band move (backup, each live step of the drag, the snapshot and
// placement at the release) and one undo. Prints milliseconds per step, the
// median and the best of the runs (the machine may be busy).
// Run by hand (bench/painter_edit.sh), never by the tests.
//
//   painter_edit.exe [iterations]
#include "painter/PaintControl.h"

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <vector>

namespace {

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

void Report(const char* name, std::vector<double>& ms)
{
    std::sort(ms.begin(), ms.end());
    printf("%-34s median %8.3f ms   best %8.3f ms\n", name, ms[ms.size() / 2], ms[0]);
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    CPaintControl ctrl(CPaintControl::kCatalogue);
    if (!ctrl.CreateImage(1920, 1080, 1, 32)) {
        fprintf(stderr, "cannot create the picture\n");
        return 1;
    }
    for (int i = 0; i < 200; ++i)
        ctrl.GetImage().DrawLine(i * 9, 0, 1919 - i * 5, 1079, 3, RGB(i, 255 - i, i * 3));

    std::vector<double> backup, step, release, undo;
    const CRect source(200, 150, 1000, 750);
    for (int r = 0; r < runs; ++r) {
        ctrl.SetTool(CPaintControl::kSelect);
        ctrl.LiftSelection(source);
        ctrl.SetTool(CPaintControl::kMove);

        double t = Now();
        ctrl.SaveBackup();
        backup.push_back(Now() - t);

        t = Now();
        ctrl.SetSelection(CRect(source.left + 40, source.top + 30, source.right + 40, source.bottom + 30), TRUE);
        step.push_back(Now() - t);

        t = Now();
        ctrl.RestoreBackup(TRUE);
        ctrl.PushUndo();
        ctrl.PlaceFloating(source.left + 80, source.top + 60, source.right + 80, source.bottom + 60);
        release.push_back(Now() - t);

        t = Now();
        ctrl.Undo();
        undo.push_back(Now() - t);
    }
    printf("1920 x 1080 x 32 bits, %d runs; one frame at 60 Hz is 16.7 ms\n", runs);
    Report("backup at the press", backup);
    Report("one live step of the drag", step);
    Report("release: snapshot and placement", release);
    Report("one undo", undo);
    return 0;
}
