// bench_xrvc: compresses raw desktop frames through the installed xrvc codec
// (ICCompress, one thread, a key frame every N frames as the recorder asks),
// decompresses each again and checks the round trip, and prints bytes and
// milliseconds per frame. Run by bench/xrvc_vs_zmbv.sh, not by the tests.
//
//   bench_xrvc <xrvc.dll> <frames.raw> <width> <height> <count> [key rate] [effort]
//
// <xrvc.dll>: registered with ICInstall before use; "-" uses the codec as it
// is already registered (e.g. by tools/install-codec.sh).
// frames.raw: <count> frames of 32-bit pixels (B, G, R, X), top-down rows with
// no padding, as ffmpeg writes -pix_fmt bgr0 rawvideo.
#include <windows.h>
#include <vfw.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace {

const DWORD kXrvc = mmioFOURCC('x', 'r', 'v', 'c');

double Now()
{
    static LARGE_INTEGER freq;
    if (!freq.QuadPart)
        QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)freq.QuadPart;
}

int Fail(const char* what)
{
    fprintf(stderr, "bench_xrvc: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 6)
        return Fail("usage: bench_xrvc <xrvc.dll> <frames.raw> <width> <height> <count> [key rate]");
    const char* dll = argv[1];
    const int w = atoi(argv[3]), h = atoi(argv[4]), count = atoi(argv[5]);
    const int keyRate = argc > 6 ? atoi(argv[6]) : 80;
    // The effort word of the codec state; the recorder's screen stream passes 6.
    const int effort = argc > 7 ? atoi(argv[7]) : 6;
    if (w <= 0 || h <= 0 || count <= 0 || keyRate <= 0)
        return Fail("bad size, count or key rate");
    if (strcmp(dll, "-") != 0 && !ICInstall(ICTYPE_VIDEO, kXrvc, (LPARAM)dll, nullptr, ICINSTALL_DRIVER))
        return Fail("ICInstall failed");
    HIC enc = ICOpen(ICTYPE_VIDEO, kXrvc, ICMODE_COMPRESS);
    HIC dec = ICOpen(ICTYPE_VIDEO, kXrvc, ICMODE_DECOMPRESS);
    if (!enc || !dec)
        return Fail("the codec does not open");
    // The state the recorder passes for its screen stream.
    DWORD state[4] = {0x1780, kXrvc, 0x20000, (DWORD)effort};
    if (ICSetState(enc, state, sizeof(state)) != sizeof(state))
        return Fail("the codec refused the state");

    BITMAPINFOHEADER in;
    memset(&in, 0, sizeof(in));
    in.biSize = sizeof(in);
    in.biWidth = w;
    in.biHeight = h;
    in.biPlanes = 1;
    in.biBitCount = 32;
    in.biCompression = BI_RGB;
    const size_t frameBytes = (size_t)w * h * 4;
    in.biSizeImage = (DWORD)frameBytes;
    BITMAPINFOHEADER out;
    if (ICCompressGetFormat(enc, &in, &out) != ICERR_OK)
        return Fail("ICCompressGetFormat failed");
    const DWORD worst = out.biSizeImage;
    BITMAPINFOHEADER picFormat = in;
    if (ICCompressBegin(enc, &in, &out) != ICERR_OK || ICDecompressBegin(dec, &out, &picFormat) != ICERR_OK)
        return Fail("begin failed");

    HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail("cannot open the frames file");
    std::vector<uint8_t> raw(frameBytes), frame(frameBytes), packet(worst), picture(frameBytes);

    double encodeMs = 0, decodeMs = 0, worstEncodeMs = 0;
    uint64_t totalBytes = 0, keyBytes = 0;
    int keys = 0, unchanged = 0, rgbMismatches = 0, byteMismatches = 0;
    DWORD smallest = 0xFFFFFFFF, largestUnchanged = 0;
    for (int i = 0; i < count; ++i) {
        DWORD got = 0;
        size_t have = 0;
        while (have < frameBytes) {
            const DWORD chunk = (DWORD)(frameBytes - have < (1u << 30) ? frameBytes - have : (1u << 30));
            if (!ReadFile(file, raw.data() + have, chunk, &got, nullptr) || got == 0)
                return Fail("the frames file is short");
            have += got;
        }
        // ffmpeg's rows are top-down; a DIB's are bottom-up.
        for (int y = 0; y < h; ++y)
            memcpy(&frame[(size_t)(h - 1 - y) * w * 4], &raw[(size_t)y * w * 4], (size_t)w * 4);
        const bool sameAsBefore = i > 0 && memcmp(frame.data(), picture.data(), frameBytes) == 0;

        DWORD ckid = 0, flags = 0;
        const double t0 = Now();
        const DWORD rc = ICCompress(enc, (i % keyRate == 0) ? ICCOMPRESS_KEYFRAME : 0, &out, packet.data(), &in,
                                    frame.data(), &ckid, &flags, i, 0, ICQUALITY_DEFAULT, nullptr, nullptr);
        const double t1 = Now();
        if (rc != ICERR_OK)
            return Fail("ICCompress failed");
        encodeMs += t1 - t0;
        if (t1 - t0 > worstEncodeMs)
            worstEncodeMs = t1 - t0;
        totalBytes += out.biSizeImage;
        if (flags & AVIIF_KEYFRAME) {
            ++keys;
            keyBytes += out.biSizeImage;
        }
        if (out.biSizeImage < smallest)
            smallest = out.biSizeImage;
        if (sameAsBefore && !(flags & AVIIF_KEYFRAME)) {
            ++unchanged;
            if (out.biSizeImage > largestUnchanged)
                largestUnchanged = out.biSizeImage;
        }

        BITMAPINFOHEADER cin = out;
        const double t2 = Now();
        const DWORD drc = ICDecompress(dec, 0, &cin, packet.data(), &picFormat, picture.data());
        decodeMs += Now() - t2;
        if (drc != ICERR_OK)
            return Fail("ICDecompress failed");
        // Compare colour only, as against any other codec's output.
        for (size_t p = 0; p < frameBytes; p += 4) {
            if (memcmp(&frame[p], &picture[p], 3) != 0) {
                ++rgbMismatches;
                break;
            }
        }
        // The codec keeps the fourth byte too.
        if (memcmp(frame.data(), picture.data(), frameBytes) != 0)
            ++byteMismatches;
    }
    CloseHandle(file);
    ICCompressEnd(enc);
    ICDecompressEnd(dec);
    ICClose(enc);
    ICClose(dec);

    printf("xrvc_frames=%d\n", count);
    printf("xrvc_key_frames=%d\n", keys);
    printf("xrvc_total_bytes=%llu\n", (unsigned long long)totalBytes);
    printf("xrvc_bytes_per_frame=%.1f\n", (double)totalBytes / count);
    printf("xrvc_key_frame_bytes_avg=%.0f\n", keys ? (double)keyBytes / keys : 0.0);
    printf("xrvc_encode_ms_per_frame=%.3f\n", encodeMs / count);
    printf("xrvc_encode_ms_worst_frame=%.3f\n", worstEncodeMs);
    printf("xrvc_decode_ms_per_frame=%.3f\n", decodeMs / count);
    printf("xrvc_smallest_frame_bytes=%lu\n", (unsigned long)smallest);
    printf("xrvc_unchanged_frames=%d\n", unchanged);
    printf("xrvc_unchanged_frame_bytes_max=%lu\n", (unsigned long)largestUnchanged);
    printf("xrvc_lossless_rgb=%s\n", rgbMismatches == 0 ? "yes" : "NO");
    printf("xrvc_lossless_all_bytes=%s\n", byteMismatches == 0 ? "yes" : "NO");
    return rgbMismatches == 0 && byteMismatches == 0 ? 0 : 2;
}
