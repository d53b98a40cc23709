#pragma once
// Helpers of the finishing tests: a progress window stand-in, a screen AVI
// maker, and a wave-input recording of a tone played into the test sink.
#include <windows.h>
#include <mmsystem.h>
#include <string>
#include <vector>

#include "media/ConvertProgress.h"

// Records the calls of a long step and answers its cancel question.
class FakeProgress : public IConvertProgress {
public:
    void SetProgressTitle(LPCTSTR title) override { titles.push_back(title ? title : ""); }
    void SetProgress(int rangeMax, int position) override
    {
        range = rangeMax;
        last = position;
    }
    void SetTimeLeft(int seconds) override { timeLeft = seconds; }
    BOOL IsCancelRequested() const override { return cancel; }
    void SetCancelRequested(BOOL requested) override { cancel = requested; }

    std::vector<std::string> titles;
    int range = 0;
    int last = -1;
    int timeLeft = -1;
    BOOL cancel = FALSE;
};

namespace finishingtest {

// Writes an uncompressed 24-bit AVI of `frames` frames at `rate` fps through
// AVIFile; each frame is one colour that changes with the frame number.
bool MakeScreenAvi(const std::string& path, int width, int height, int rate, int frames);

// Records `ms` milliseconds of a tone played into the test sink through the
// wave input into a new PCM .wav file; false when it could not.
bool RecordTone(const std::string& path, const WAVEFORMATEX& format, int ms, double frequency);

// A value of ffprobe for one stream ("v:0", "a:0") or the format.
std::string ProbeStream(const std::string& windowsPath, const std::string& stream, const std::string& entry);

}  // namespace finishingtest
