// Readers of the media the editing services play: AVI files through AVIFile
// (video decoded by the installed codecs, xrvc among them; audio decoded by
// ACM), WAV files (also through AVIFile), PNG stills (".XRVImg3" names)
// through GDI+, and any of these stored as a stream of a recording package
// ("xrvrec://<package>.skorec!<stream>"). A reader describes its streams and hands out video frames as
// bottom-up RGB32 of the stream's own size and audio as 16-bit PCM at any
// rate and channel count, converted with integer arithmetic so that every
// build gives the same samples.
//
// Every size read from a file is checked before anything is allocated. A
// frame the codec refuses repeats the previous one (counted, and written to
// the debug output), so a damaged file never stalls a stream.
// Threads: one thread at a time per reader; COM must be initialised on it
// (AVIFile creates its handlers through COM).
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <string>
#include <vector>

enum MediaStreamKind { MEDIA_STREAM_VIDEO = 0, MEDIA_STREAM_AUDIO = 1 };

struct MediaStreamInfo {
    MediaStreamKind kind;
    // Video: the stored picture and its rate (frames per second as a
    // fraction); a still has one frame, rate 0/1 and length 0 (any length).
    DWORD handler;          // codec FourCC, 0 when uncompressed or a still
    int width;
    int height;             // always positive
    int bitCount;           // as stored
    DWORD rateNum;
    DWORD rateDen;
    LONG frames;
    BOOL still;
    // Audio: the decoded PCM format (16-bit, native rate and channels) and
    // its length in samples.
    WAVEFORMATEX pcm;
    LONGLONG samples;
    // Length in 100 ns.
    LONGLONG length;
};

// Largest picture side and sizes a reader accepts from a file.
const int kMaxMediaSide = 16384;
const LONGLONG kMaxFrameBytes = 256LL * 1024 * 1024;
const LONGLONG kMaxAudioBytes = 1024LL * 1024 * 1024;

class CMediaReader {
public:
    virtual ~CMediaReader() {}

    int StreamCount() const { return (int)m_streams.size(); }
    const MediaStreamInfo& Stream(int index) const { return m_streams[index]; }
    // The first stream of a kind, or -1.
    int FindStream(MediaStreamKind kind) const;
    const std::wstring& Name() const { return m_name; }

    // Frame n of a video stream as bottom-up RGB32 (width*height*4 bytes).
    // Frames past the end give the last one.
    virtual HRESULT ReadFrame(int stream, LONG frame, BYTE* rgb32) = 0;
    // `count` samples of an audio stream from output sample `first`, in the
    // PCM format `out` (16-bit, 1 or 2 channels, any rate). Samples past the
    // end are silence.
    HRESULT ReadAudio(int stream, LONGLONG first, LONG count, const WAVEFORMATEX& out, BYTE* dst);
    // Frames the codec refused (each replaced by the one before).
    LONG RefusedFrames() const { return m_refused; }
    // A package stream is read from a temporary copy, shared by every open
    // reader of the same stream (a timeline rebuilt after an edit opens its
    // readers before the old ones go, so the stream is copied once) and
    // deleted with the last of them, after the derived reader closed it.
    void AdoptTemporaryCopy(const std::shared_ptr<const std::wstring>& copy) { m_temporaryCopy = copy; }
    std::wstring TemporaryFile() const { return m_temporaryCopy ? *m_temporaryCopy : std::wstring(); }

protected:
    std::wstring m_name;
    std::vector<MediaStreamInfo> m_streams;
    // Decoded audio per stream (interleaved 16-bit), empty for video.
    std::vector<std::vector<short>> m_audio;
    LONG m_refused = 0;
    std::shared_ptr<const std::wstring> m_temporaryCopy;
};

// Opens a reader for a media name: "<file>.XRVImg3" or a ".png" file as a
// still; anything else through AVIFile. A package stream name (the scheme and
// the stream name in any case) is copied out of the package, opened read
// only and shared with other readers, into a temporary file first; a package
// without that stream fails with STG_E_FILENOTFOUND. Fails with the reason's HRESULT
// (a missing file: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).
HRESULT OpenMediaReader(LPCWSTR name, std::unique_ptr<CMediaReader>* reader);

// The file name of a media name with a ".XRVImg3" suffix cut off; `still`
// tells whether the name named a still.
std::wstring MediaFileOfName(LPCWSTR name, BOOL* still);

// Splits "xrvrec://<package>!<stream>" (scheme in any case, the last "!")
// into the package path and the stream name; FALSE for other names.
BOOL SplitPackageStreamName(const std::wstring& name, std::wstring* package, std::wstring* stream);

// Start of frame n at a rate of num/den frames per second, computed from n.
LONGLONG FrameStartTime(LONGLONG frame, DWORD rateNum, DWORD rateDen);
