#include "RecoveryTestUtil.h"

#include "TestSupport.h"

#include <string.h>

namespace recoverytest {

namespace {

DWORD Get32(const std::string& b, size_t at)
{
    DWORD v;
    memcpy(&v, b.data() + at, 4);
    return v;
}

size_t ImageSize(const AviShape& s)
{
    return (((size_t)s.width * s.bitCount + 31) / 32) * 4 * (size_t)s.height;
}

}  // namespace

std::string FramePicture(const AviShape& shape, int n)
{
    std::string bits(ImageSize(shape), '\0');
    // A frame number in every row's first bytes and a gradient that moves
    // with it: every frame differs, and compresses to something.
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = (char)((i / 3 + (size_t)n * 7) & 0xFF);
    memcpy(&bits[0], &n, sizeof(n));
    return bits;
}

std::string WriteAvi(const std::string& path, const AviShape& shape)
{
    ::DeleteFileA(path.c_str());
    AVIFileInit();
    PAVIFILE file = nullptr;
    std::string error;
    if (AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != 0) {
        AVIFileExit();
        return "AVIFileOpen failed";
    }
    AVISTREAMINFOA info = {};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = shape.codec;
    info.dwRate = shape.rate;
    info.dwScale = shape.scale;
    info.dwSuggestedBufferSize = (DWORD)ImageSize(shape);
    SetRect(&info.rcFrame, 0, 0, shape.width, shape.height);
    PAVISTREAM stream = nullptr, compressed = nullptr;
    if (AVIFileCreateStreamA(file, &stream, &info) != 0)
        error = "AVIFileCreateStream failed";
    PAVISTREAM target = stream;
    if (error.empty() && shape.codec) {
        AVICOMPRESSOPTIONS options = {};
        options.fccType = streamtypeVIDEO;
        options.fccHandler = shape.codec;
        options.dwKeyFrameEvery = 5;
        options.dwQuality = 10000;
        options.dwFlags = AVICOMPRESSF_KEYFRAMES;
        if (AVIMakeCompressedStream(&compressed, stream, &options, nullptr) != 0)
            error = "AVIMakeCompressedStream failed";
        target = compressed;
    }
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = shape.width;
    bih.biHeight = shape.height;
    bih.biPlanes = 1;
    bih.biBitCount = (WORD)shape.bitCount;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = (DWORD)ImageSize(shape);
    if (error.empty() && AVIStreamSetFormat(target, 0, &bih, sizeof(bih)) != 0)
        error = "AVIStreamSetFormat failed";
    for (int i = 0; error.empty() && i < shape.frames; ++i) {
        const std::string picture = FramePicture(shape, i);
        if (AVIStreamWrite(target, i, 1, (void*)picture.data(), (LONG)picture.size(), AVIIF_KEYFRAME, nullptr,
                           nullptr) != 0)
            error = "AVIStreamWrite failed at " + std::to_string(i);
    }
    if (compressed)
        AVIStreamRelease(compressed);
    if (stream)
        AVIStreamRelease(stream);
    AVIFileRelease(file);
    AVIFileExit();
    return error;
}

std::string KillAvi(const std::string& path, int cutInto)
{
    std::string bytes;
    if (!testsupport::ReadFileBytes(path, &bytes) || bytes.size() < 2060 || bytes.compare(0, 4, "RIFF") != 0)
        return "not a written AVI";
    // The top-level chunks: the movi list ends where idx1 begins.
    size_t at = 12, moviStart = 0, moviEnd = 0;
    while (at + 12 <= bytes.size()) {
        const DWORD size = Get32(bytes, at + 4);
        if (bytes.compare(at, 4, "LIST") == 0 && bytes.compare(at + 8, 4, "movi") == 0) {
            moviStart = at + 12;
            moviEnd = at + 8 + size;
        }
        at += 8 + size + (size & 1);
    }
    if (!moviStart || moviEnd > bytes.size())
        return "no movi list";
    if (moviStart < 2048)
        return "the frames begin inside the first 2,048 bytes";
    // The last frame chunk of the list.
    size_t last = 0;
    for (size_t c = moviStart; c + 8 <= moviEnd;) {
        const DWORD size = Get32(bytes, c + 4);
        if (bytes.compare(c, 4, "LIST") == 0) {
            c += 12;
            continue;
        }
        last = c;
        c += 8 + size + (size & 1);
    }
    size_t end = moviEnd;
    if (cutInto != kKeepWhole && last && cutInto >= -8)
        end = (size_t)((long long)last + 8 + cutInto);
    bytes.resize(end);
    memset(&bytes[0], 0, 2048);
    return testsupport::WriteFileBytes(path, bytes.data(), bytes.size()) ? std::string() : "cannot write";
}

bool ReadVideoChunks(const std::string& path, std::vector<std::string>* chunks, AVISTREAMINFOA* info,
                     std::string* format)
{
    chunks->clear();
    AVIFileInit();
    PAVIFILE file = nullptr;
    bool ok = AVIFileOpenA(&file, path.c_str(), OF_READ | OF_SHARE_DENY_NONE, nullptr) == 0;
    PAVISTREAM stream = nullptr;
    ok = ok && AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0;
    AVISTREAMINFOA si = {};
    ok = ok && AVIStreamInfoA(stream, &si, sizeof(si)) == 0;
    if (ok && format) {
        LONG size = 0;
        AVIStreamReadFormat(stream, 0, nullptr, &size);
        format->assign(size > 0 ? (size_t)size : 0, '\0');
        ok = size > 0 && AVIStreamReadFormat(stream, 0, &(*format)[0], &size) == 0;
    }
    for (LONG i = 0; ok && i < AVIStreamLength(stream); ++i) {
        LONG bytes = 0, samples = 0;
        if (AVIStreamRead(stream, i, 1, nullptr, 0, &bytes, &samples) != 0) {
            ok = false;
            break;
        }
        std::string data((size_t)bytes, '\0');
        if (bytes > 0 && AVIStreamRead(stream, i, 1, &data[0], bytes, &bytes, &samples) != 0)
            ok = false;
        chunks->push_back(data);
    }
    if (info)
        *info = si;
    if (stream)
        AVIStreamRelease(stream);
    if (file)
        AVIFileRelease(file);
    AVIFileExit();
    return ok;
}

int ProbeFrameCount(const std::string& path)
{
    std::string out;
    const std::string cmd = "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                            "-of default=nw=1:nk=1 '" + testsupport::UnixPath(path) + "'";
    if (testsupport::RunHost(cmd, &out) != 0 || out.empty())
        return -1;
    return atoi(out.c_str());
}

std::string ProbeStream(const std::string& path, const std::string& stream, const std::string& entry)
{
    std::string out;
    const std::string cmd = "ffprobe -v error -select_streams " + stream + " -show_entries stream=" + entry +
                            " -of default=nw=1:nk=1 '" + testsupport::UnixPath(path) + "'";
    if (testsupport::RunHost(cmd, &out) != 0)
        return "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::string InstallXrvc()
{
    const std::string dll = testsupport::BuildDir() + "\\platform\\xrvc\\xrvc.dll";
    if (::GetFileAttributesA(dll.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "codec not built: " + dll;
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0,
                                nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return "cannot open Drivers32";
    rc = ::RegSetValueExA(key, "vidc.xrvc", 0, REG_SZ, (const BYTE*)dll.c_str(), (DWORD)dll.size() + 1);
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string() : "cannot write vidc.xrvc";
}

}  // namespace recoverytest
