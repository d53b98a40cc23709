#include "AsfTestMedia.h"
#include "TestSupport.h"
#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/ZmbvEncoder.h"
#include <math.h>

namespace asftest {

std::vector<uint8_t> Frame(int n)
{
    std::vector<uint8_t> f((size_t)kWidth * kHeight * 4);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &f[((size_t)(kHeight - 1 - y) * kWidth + x) * 4];
            p[0] = (uint8_t)(x * 2);
            p[1] = (uint8_t)(y * 4);
            p[2] = (uint8_t)((n / 3) * 40 + (y < 10 ? 100 : 0));
            p[3] = 0;
            int sx = (n * 7) % (kWidth - 12), sy = (n * 3) % (kHeight - 12);
            if (x >= sx && x < sx + 12 && y >= sy && y < sy + 12) {
                p[0] = 255;
                p[1] = (uint8_t)(n * 20);
                p[2] = 10;
            }
        }
    }
    return f;
}

std::string Tone(double seconds)
{
    size_t count = (size_t)(seconds * kRate);
    std::string pcm(count * 2, '\0');
    for (size_t i = 0; i < count; ++i) {
        short v = (short)(8000 * sin(2 * 3.14159265358979 * 440.0 * (double)i / kRate));
        pcm[2 * i] = (char)(v & 0xFF);
        pcm[2 * i + 1] = (char)((v >> 8) & 0xFF);
    }
    return pcm;
}

std::string PcmFormatBytes()
{
    WAVEFORMATEX wf = {};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = 1;
    wf.nSamplesPerSec = kRate;
    wf.wBitsPerSample = 16;
    wf.nBlockAlign = 2;
    wf.nAvgBytesPerSec = kRate * 2;
    wf.cbSize = 0;
    return std::string((const char*)&wf, sizeof(wf));
}

WrittenFile WriteMovie(asf::Store* store, int frames, int keyInterval, uint32_t packetSize,
                       const asf::Tags& tags, bool close)
{
    WrittenFile info;
    wmwriter::CZmbvEncoder encoder;
    if (!encoder.Begin(kWidth, kHeight, keyInterval)) {
        info.error = "encoder refused the size";
        return info;
    }
    asf::WriterOptions options;
    options.packetSize = packetSize;
    options.tags = tags;
    for (int i = 0; i < 16; ++i)
        options.fileId.b[i] = (uint8_t)(i * 17 + 1);
    asf::VideoStreamInfo video;
    video.width = kWidth;
    video.height = kHeight;
    video.fourcc = mmioFOURCC('Z', 'M', 'B', 'V');
    std::string format = PcmFormatBytes();
    asf::CAsfFileWriter writer;
    if (!writer.Open(store, options, &video, &format, &info.error))
        return info;
    const int64_t frameTime = 10000000 / kFps;
    const std::string tone = Tone((double)frames / kFps);
    const size_t audioPerFrame = tone.size() / frames;
    std::vector<uint8_t> encoded;
    for (int n = 0; n < frames; ++n) {
        std::vector<uint8_t> frame = Frame(n);
        bool key = false;
        if (!encoder.Encode(frame.data(), &encoded, &key) ||
            !writer.WriteVideo(encoded.data(), (uint32_t)encoded.size(), key, n * frameTime) ||
            !writer.WriteAudio((const uint8_t*)tone.data() + n * audioPerFrame, (uint32_t)audioPerFrame,
                               n * frameTime)) {
            info.error = "frame " + std::to_string(n) + " was not written";
            return info;
        }
        info.audioBytes += (uint32_t)audioPerFrame;
    }
    info.frames = frames;
    if (close && !writer.Close(frames * frameTime, &info.error))
        return info;
    info.headerSize = writer.HeaderSize();
    info.packets = writer.PacketCount();
    return info;
}

bool WriteMovieFile(const std::string& path, int frames, int keyInterval, uint32_t packetSize,
                    const asf::Tags& tags, bool close, WrittenFile* info)
{
    asf::CFileStore store;
    if (!store.Create(Wide(path).c_str())) {
        info->error = "cannot create " + path;
        return false;
    }
    *info = WriteMovie(&store, frames, keyInterval, packetSize, tags, close);
    return info->error.empty();
}

std::string ProbeEntry(const std::string& path, const std::string& stream, const std::string& entry)
{
    std::string cmd = "ffprobe -v error " + (stream.empty() ? std::string() : "-select_streams " + stream + " ") +
                      "-count_frames -show_entries " + entry + " -of default=nw=1:nk=1 '" +
                      testsupport::UnixPath(path) + "'";
    std::string out;
    if (testsupport::RunHost(cmd, &out) != 0)
        return "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::vector<std::string> DecodeFrames(const std::string& path, int width, int height)
{
    std::vector<std::string> frames;
    std::string raw = path + ".bgr";
    std::string out;
    std::string cmd = "ffmpeg -v error -y -i '" + testsupport::UnixPath(path) +
                      "' -map 0:v:0 -f rawvideo -pix_fmt bgr24 '" + testsupport::UnixPath(raw) + "'";
    if (testsupport::RunHost(cmd, &out) != 0)
        return frames;
    std::string bytes = ReadAll(raw);
    ::DeleteFileA(raw.c_str());
    const size_t frameBytes = (size_t)width * height * 3;
    for (size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes)
        frames.push_back(bytes.substr(at, frameBytes));
    return frames;
}

std::string FrameBgr(int n)
{
    std::vector<uint8_t> f = Frame(n);
    std::string bgr;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            bgr.append((const char*)&f[((size_t)(kHeight - 1 - y) * kWidth + x) * 4], 3);
    return bgr;
}

std::string ReadAll(const std::string& path)
{
    std::string data;
    testsupport::ReadFileBytes(path, &data);
    return data;
}

bool WriteAll(const std::string& path, const std::string& bytes)
{
    return testsupport::WriteFileBytes(path, bytes.data(), bytes.size());
}

std::wstring Wide(const std::string& path)
{
    int n = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, NULL, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &w[0], n);
    return w;
}

}  // namespace asftest
