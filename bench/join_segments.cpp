// The join of a split recording against real time: segments of uncompressed
// frames (a moving bar over a plain background) at the given size and rate,
// each with its own 22,050 Hz tone, joined by the program's joiner through
// the timeline and the file writer. Prints the seconds of recording, the
// seconds the join took and their ratio (the aim is 4x real time on 10
// minutes of 1920x1080 at 15 fps). Run by hand (bench/join_segments.sh),
// never by the tests.
//
//   join_segments.exe <folder> [seconds per segment] [segments] [width] [height] [fps]
#include "XRVDirectShow/RecordingJoiner.h"
#include "capture/RecordSettings.h"

#include <stdio.h>
#include <stdlib.h>
#include <vfw.h>
#include <math.h>
#include <vector>

namespace {

bool WriteSegment(const char* path, int width, int height, int fps, int frames)
{
    PAVIFILE file = NULL;
    DeleteFileA(path);
    if (AVIFileOpenA(&file, path, OF_CREATE | OF_WRITE, NULL) != 0)
        return false;
    AVISTREAMINFOA info = {};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = fps;
    info.dwSuggestedBufferSize = width * height * 4;
    SetRect(&info.rcFrame, 0, 0, width, height);
    PAVISTREAM stream = NULL;
    bool ok = AVIFileCreateStreamA(file, &stream, &info) == 0;
    BITMAPINFOHEADER bih = {sizeof(bih), width, height, 1, 32, BI_RGB, (DWORD)(width * height * 4), 0, 0, 0, 0};
    ok = ok && AVIStreamSetFormat(stream, 0, &bih, sizeof(bih)) == 0;
    std::vector<DWORD> frame((size_t)width * height);
    for (int n = 0; ok && n < frames; ++n) {
        std::fill(frame.begin(), frame.end(), 0x00E0E0E0);
        int x0 = (n * 8) % width;
        for (int y = 0; y < height; ++y)
            for (int x = x0; x < x0 + 32 && x < width; ++x)
                frame[(size_t)y * width + x] = 0x00203080;
        ok = AVIStreamWrite(stream, n, 1, frame.data(), (LONG)(frame.size() * 4), AVIIF_KEYFRAME, NULL, NULL) == 0;
    }
    if (stream)
        AVIStreamRelease(stream);
    AVIFileRelease(file);
    return ok;
}

bool WriteTone(const char* path, double seconds, double hz)
{
    const DWORD rate = 22050;
    DWORD samples = (DWORD)(seconds * rate);
    std::vector<short> pcm(samples);
    for (DWORD i = 0; i < samples; ++i)
        pcm[i] = (short)(12000 * sin(6.283185307179586 * hz * i / rate));
    FILE* f = fopen(path, "wb");
    if (!f)
        return false;
    DWORD bytes = samples * 2;
    DWORD header[11] = {0x46464952, 36 + bytes, 0x45564157, 0x20746d66, 16, 0x00010001, rate, rate * 2, 0x00100002,
                        0x61746164, bytes};
    bool ok = fwrite(header, sizeof(header), 1, f) == 1 && fwrite(pcm.data(), 2, samples, f) == samples;
    fclose(f);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: join_segments.exe <folder> [seconds] [segments] [width] [height] [fps]\n");
        return 2;
    }
    const char* folder = argv[1];
    double seconds = argc > 2 ? atof(argv[2]) : 10.0;
    int count = argc > 3 ? atoi(argv[3]) : 2;
    int width = argc > 4 ? atoi(argv[4]) : 1920;
    int height = argc > 5 ? atoi(argv[5]) : 1080;
    int fps = argc > 6 ? atoi(argv[6]) : 15;
    AVIFileInit();
    CStringArray segments, sounds;
    for (int i = 0; i < count; ++i) {
        char avi[MAX_PATH], wav[MAX_PATH];
        wsprintfA(avi, "%s\\seg%d.avi", folder, i);
        wsprintfA(wav, "%s\\seg%d.wav", folder, i);
        if (!WriteSegment(avi, width, height, fps, (int)(seconds * fps)) || !WriteTone(wav, seconds, 440.0 + 110 * i)) {
            fprintf(stderr, "cannot write segment %d\n", i);
            return 1;
        }
        segments.Add(avi);
        sounds.Add(wav);
    }
    AVIFileExit();
    char output[MAX_PATH];
    wsprintfA(output, "%s\\joined.avi", folder);
    CRecordSettings settings;
    settings.m_bInterleave = TRUE;
    settings.m_nInterleaveRate = 1;
    settings.m_strAudioCompressor = "PCM";
    CTimelineJoiner joiner;
    DWORD begin = GetTickCount();
    int ok = joiner.JoinSegments(segments, sounds, output, &settings);
    double took = (GetTickCount() - begin) / 1000.0;
    double recorded = seconds * count;
    printf("join %s: %.1f s of %dx%d at %d fps in %.1f s, %.2fx real time\n", ok ? "ok" : "FAILED", recorded, width,
           height, fps, took, took > 0 ? recorded / took : 0.0);
    return ok ? 0 : 1;
}
