// The rebuild of a killed screen recording against real time: a recording
// of the given length as a killed recorder leaves it (header zero, no
// index), its frames made by the installed xrvc codec from a desktop-like
// picture (a key frame every 80 frames, a changing 256 x 128 area between),
// rebuilt by
// RebuildScreenAvi. Prints the recording's length, the rebuild's time and
// the ratio. Run through bench/recover_rebuild.sh.
#include "media/RecordingData.h"
#include "recovery/Recovery.h"

#include <stdio.h>
#include <stdlib.h>
#include <vfw.h>

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 6) {
        fprintf(stderr, "usage: recover_rebuild folder minutes width height fps\n");
        return 2;
    }
    const std::string folder = argv[1];
    const double minutes = atof(argv[2]);
    const int width = atoi(argv[3]), height = atoi(argv[4]), fps = atoi(argv[5]);
    const int frames = (int)(minutes * 60 * fps);

    BITMAPINFOHEADER in = {};
    in.biSize = sizeof(in);
    in.biWidth = width;
    in.biHeight = height;
    in.biPlanes = 1;
    in.biBitCount = 32;
    in.biSizeImage = (DWORD)width * height * 4;
    HIC hic = ICOpen(ICTYPE_VIDEO, mmioFOURCC('x', 'r', 'v', 'c'), ICMODE_COMPRESS);
    if (!hic) {
        fprintf(stderr, "the xrvc codec is not installed\n");
        return 1;
    }
    std::vector<BYTE> outFormat(ICCompressGetFormatSize(hic, &in));
    BITMAPINFOHEADER* out = (BITMAPINFOHEADER*)outFormat.data();
    ICCompressGetFormat(hic, &in, out);
    std::vector<BYTE> picture(in.biSizeImage), previous(in.biSizeImage);
    // A desktop: flat bands, and a 512 x 256 photo-like area of noise.
    unsigned seed = 1;
    auto noise = [&]() { return (BYTE)((seed = seed * 1103515245u + 12345u) >> 16); };
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = (BYTE)((i / 4 / width) % 7 == 0 ? 0x30 : 0xE0 + (i % 3));
    for (int y = 400; y < 656 && y < height; ++y)
        for (int x = 600; x < 1112 && x < width; ++x)
            for (int b = 0; b < 3; ++b)
                picture[((size_t)y * width + x) * 4 + b] = noise();
    std::vector<BYTE> buffer(ICCompressGetSize(hic, &in, out) + 1024);
    ICCompressBegin(hic, &in, out);
    // A key frame and a delta frame with a moved 200 x 40 band.
    std::string chunks[2];
    for (int k = 0; k < 2; ++k) {
        if (k == 1) {
            previous = picture;
            // Between frames a 256 x 128 area changes (a video playing,
            // text scrolling): every delta carries that much.
            for (int y = 100; y < 228 && y < height; ++y)
                for (int x = 100; x < 356 && x < width; ++x)
                    for (int b = 0; b < 3; ++b)
                        picture[((size_t)y * width + x) * 4 + b] = noise();
        }
        DWORD id = 0, flags = 0;
        out->biSizeImage = (DWORD)buffer.size();
        if (ICCompress(hic, k == 0 ? ICCOMPRESS_KEYFRAME : 0, out, buffer.data(), &in, picture.data(), &id, &flags, k,
                       0, 10000, k ? &in : NULL, k ? previous.data() : NULL) != ICERR_OK) {
            fprintf(stderr, "ICCompress failed\n");
            return 1;
        }
        chunks[k].assign("00dc", 4);
        const DWORD size = out->biSizeImage;
        chunks[k].append((const char*)&size, 4);
        chunks[k].append((const char*)buffer.data(), size);
        if (size & 1)
            chunks[k].push_back('\0');
    }
    ICCompressEnd(hic);
    ICClose(hic);

    const std::string killed = folder + "\\killed.avi";
    const std::string rebuilt = folder + "\\rebuilt.avi";
    FILE* f = fopen(killed.c_str(), "wb");
    std::string zeros(2048, '\0');
    fwrite(zeros.data(), 1, zeros.size(), f);
    unsigned long long bytes = zeros.size();
    for (int n = 0; n < frames; ++n) {
        const std::string& c = chunks[n % 80 == 0 ? 0 : 1];
        fwrite(c.data(), 1, c.size(), f);
        bytes += c.size();
    }
    fclose(f);

    CRecordingData note;
    note.SetVideoTrack(width, height, 32, fps, FALSE, "xrvc", NULL, 1, 0, 1);
    const DWORD start = GetTickCount();
    LONG copied = 0;
    CString error;
    const BOOL ok = RebuildScreenAvi(killed.c_str(), rebuilt.c_str(), note, FALSE, &copied, &error, NULL, NULL);
    const DWORD elapsed = GetTickCount() - start;
    DeleteFileA(killed.c_str());
    DeleteFileA(rebuilt.c_str());
    if (!ok || copied != frames) {
        fprintf(stderr, "rebuild failed: %s (%ld of %d frames)\n", (LPCSTR)error, copied, frames);
        return 1;
    }
    const double seconds = frames / (double)fps;
    printf("rebuild of %.0f s of %dx%d at %d fps (%d frames, %.0f MB): %.2f s, %.1fx real time\n", seconds, width,
           height, fps, frames, bytes / 1e6, elapsed / 1000.0, seconds / (elapsed / 1000.0 + 1e-9));
    return 0;
}
