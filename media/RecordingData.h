#pragma once
// CRecordingData: one recording's media files, its three tracks (screen,
// camera, separate audio) and its bookmarks; the only writer and reader of
// the recording manifest (root element Recording_Data, version 3.00), which
// serves as the recovery note "RecInfo.xml", as the temporary manifest beside
// the media and as the stream "manifest.skoxml" of the .skorec package.
// Created on the stack by its users; one thread at a time, except that
// WritePackage hands the copy of the media to a worker thread and waits for it.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"
#include <mmsystem.h>

#include <string>
#include <vector>

class CProgressDlg;
class CStructuredStorage;
struct IStream;

// One bookmark of a recording: its text and its time in milliseconds.
struct RecordingBookmark {
    CString text;
    DWORD start;
};
typedef std::vector<RecordingBookmark> RecordingBookmarkList;

class CRecordingData {
public:
    static const char kManifestStreamName[];   // "manifest.skoxml"
    static const float kVersion;               // 3.0

    CRecordingData();
    ~CRecordingData();
    CRecordingData(const CRecordingData&) = delete;
    CRecordingData& operator=(const CRecordingData&) = delete;

    // Adds a media file: path is copied into the package, name is what the
    // manifest lists (and the package's stream name is its file-name part).
    void AddFile(LPCSTR path, LPCSTR name);
    int GetFileCount() const { return static_cast<int>(m_manifestFiles.GetSize()); }
    CString GetPackageFile(int i) const { return m_packageFiles[i]; }
    CString GetManifestFile(int i) const { return m_manifestFiles[i]; }
    // A listed file moved: every entry and track name that names oldPath
    // (any case) names newPath instead. The number of names changed.
    int RenameFile(LPCSTR oldPath, LPCSTR newPath);

    void SetVideoTrack(int width, int height, int bitsPerPixel, double fps, BOOL hasAudio,
                       LPCSTR codec, const WAVEFORMATEX* audioFormat, int interleave,
                       int interleaveByFrames, UINT interleaveRate);
    void SetCameraTrack(int width, int height, int bitsPerPixel, double fps, BOOL hasAudio,
                        LPCSTR codec, LPCSTR profile, const WAVEFORMATEX* audioFormat, int interleave,
                        int interleaveByFrames, UINT interleaveRate);
    void GetVideoTrack(int* width, int* height, int* bitsPerPixel, double* fps, BOOL* hasAudio,
                       CString* codec, WAVEFORMATEX* audioFormat, int* interleave,
                       int* interleaveByFrames, UINT* interleaveRate) const;
    void GetCameraTrack(int* width, int* height, int* bitsPerPixel, double* fps, BOOL* hasAudio,
                        CString* codec, CString* profile, WAVEFORMATEX* audioFormat, int* interleave,
                        int* interleaveByFrames, UINT* interleaveRate) const;

    void SetVideoTrackName(LPCSTR name) { m_videoTrackName = name; }
    void SetCameraTrackName(LPCSTR name) { m_cameraTrackName = name; }
    void SetAudioTrackName(LPCSTR name) { m_audioTrackName = name; }
    CString GetVideoTrackName() const { return m_videoTrackName; }
    CString GetCameraTrackName() const { return m_cameraTrackName; }
    CString GetAudioTrackName() const { return m_audioTrackName; }

    void SetIsPackage(BOOL on) { m_isPackage = on; }
    BOOL IsPackage() const { return m_isPackage; }
    void SetAudioIsSeparate(BOOL on) { m_audioIsSeparate = on; }
    BOOL IsAudioSeparate() const { return m_audioIsSeparate; }

    // Appends copies of the list's bookmarks (the list must not be this
    // object's own). GetBookmarks appends this object's bookmarks to the list.
    void AppendBookmarks(const RecordingBookmarkList& list);
    void GetBookmarks(RecordingBookmarkList& list) const;

    // The manifest text as WriteManifest writes it (CR LF line ends).
    CString BuildManifest() const;
    // Writes the manifest (create and truncate); false when the file cannot
    // be created or written completely. Remembers the path on success.
    bool WriteManifest(LPCSTR path);
    // Writes the manifest to a file of its own beside `path` and moves it
    // over `path`, so that a crash never leaves half a note (or none).
    // Remembers `path` on success.
    bool WriteManifestReplacing(LPCSTR path);
    // Reads and parses a manifest file; a wrong version is shown to the user.
    bool Load(LPCSTR path);
    // Parses manifest text (as Load does after reading the file).
    bool Parse(const CString& text);
    const CString& GetFolder() const { return m_folder; }
    const CString& GetManifestPath() const { return m_manifestPath; }

    // Writes the .skorec package: the manifest written before and every media
    // file, copied by a worker thread under a progress dialog. True only when
    // the package file was created and every stream was written completely.
    bool WritePackage(LPCSTR packagePath);
    // Opens a written package and checks that it holds the manifest stream
    // and one stream per media file with exactly the file's size.
    bool VerifyPackage(LPCSTR packagePath) const;

    // The package worker: copies the media into their streams (runs on the
    // progress dialog's worker thread); returns 0.
    static UINT AFX_CDECL PackageWorker(LPVOID data);

    // Tests: a dialog-free package copy, and the copy chunk of a total size.
    bool CopyMediaIntoPackage(CProgressDlg* dialog);
    static DWORD CopyChunkSize(ULONGLONG total);
    // The manifest stream's bytes for a manifest file's 8-bit text.
    static std::string CountedUtf16(const CString& text);

private:
    static void FormatTrack(CString& xml, LPCSTR prefix, const CString& name, int width, int height,
                            int bpp, double fps, BOOL hasAudio, const CString& codec,
                            const CString* profile, int interleave, int interleaveBF,
                            UINT interleaveRate, const WAVEFORMATEX& wf);

    CStringArray m_packageFiles;
    CStringArray m_manifestFiles;
    CString m_folder;
    CString m_manifestPath;
    CString m_videoTrackName;
    CString m_cameraTrackName;
    CStructuredStorage* m_storage;
    CProgressDlg* m_progress;
    RecordingBookmarkList m_bookmarks;
    BOOL m_isPackage;
    int m_videoWidth;
    int m_videoHeight;
    int m_videoBpp;
    double m_videoFps;
    BOOL m_videoHasAudio;
    int m_videoInterleave;
    int m_videoInterleaveBF;
    UINT m_videoInterleaveRate;
    CString m_videoCodec;
    BOOL m_audioIsSeparate;
    CString m_audioTrackName;
    int m_cameraWidth;
    int m_cameraHeight;
    int m_cameraBpp;
    double m_cameraFps;
    BOOL m_cameraHasAudio;
    int m_cameraInterleave;
    int m_cameraInterleaveBF;
    UINT m_cameraInterleaveRate;
    CString m_cameraCodec;
    CString m_cameraProfile;
    WAVEFORMATEX m_videoAudioFormat;
    WAVEFORMATEX m_cameraAudioFormat;
    // Set by the worker: every stream was created and written completely.
    volatile LONG m_packageComplete;
};
