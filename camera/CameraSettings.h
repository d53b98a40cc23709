#pragma once
// The camera input's persistent description: the capture device and its
// capture format, the video compressor (or the Windows Media output that
// stands for none) with its settings, and whether sound goes into the camera
// file. Owned by XRVCameraConfig; the main window loads it at start-up and
// saves it at exit; the camera dialogs edit a copy and assign it back.
// Loaded from HKCU Software\Kestravon\Skorvale Studio\3.0\<section>\<version>
// \Camera Video Settings. One thread at a time.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"

#include <objidl.h>
#include <strmif.h>

// The stored media-type header is the 32-bit AM_MEDIA_TYPE's layout in every
// build: two GUIDs, the three sample fields, the format type, the pUnk and
// format-block pointer fields (stored as 0) and the format size.
enum { kStoredMediaTypeSize = 72 };
// The largest format block taken from the registry.
enum { kMaxStoredFormatBlock = 64 * 1024 };

// Writes the 72-byte header of `mt` (pointer fields 0) into `out`.
void PackStoredMediaType(const AM_MEDIA_TYPE& mt, BYTE out[kStoredMediaTypeSize]);
// Reads a 72-byte header into `mt` without its pointers (pUnk and pbFormat
// null); the format size is kept as stored.
void UnpackStoredMediaType(const BYTE in[kStoredMediaTypeSize], AM_MEDIA_TYPE* mt);

class CameraSettings {
public:
    CameraSettings(LPCSTR version, LPCSTR keyFormat, LPCSTR section);
    // Builds an empty record and, with a source other than itself, assigns it.
    explicit CameraSettings(const CameraSettings* source);
    ~CameraSettings();
    CameraSettings& operator=(const CameraSettings& other);
    CameraSettings(const CameraSettings&) = delete;

    BOOL Save();
    BOOL Load();

    BOOL SelectDevice(LPCSTR name);
    BOOL SelectCodec(LPCSTR name);
    static BOOL IsDefaultCodecName(LPCSTR name);
    static CString DefaultCodecName();

    // The default media type: RGB24 320x240 at 15 frames per second.
    void SetDefaultMediaType();
    // Deep copy of `mt` (format block included) into the record's media type.
    void SetMediaType(const AM_MEDIA_TYPE& mt);
    // The registry key path below HKCU.
    CString KeyPath() const;
    // Frees the codec state and takes a copy of `size` bytes.
    void SetCodecState(const BYTE* state, int size);
    void ResetCompressorSettings();

    // 1-6. Compressor settings.
    BOOL m_useDefaultCodecSettings;
    BOOL m_useKeyFrameRate;
    int m_keyFrameRate;
    BOOL m_useDataRate;
    int m_dataRate;
    int m_quality;
    // 7. The compressor's own state block (array new).
    BYTE* m_codecState;
    int m_codecStateSize;
    // 8. The capture format; its block comes from CoTaskMemAlloc.
    AM_MEDIA_TYPE m_mediaType;
    // 9-10. Per recording, not stored.
    BOOL m_recordAudio;
    BOOL m_pushSourceAudio;
    // 11-12.
    CString m_deviceName;
    CString m_codecName;
    // 13. The camera file's sound format (all 0xFF until set).
    WAVEFORMATEX m_audioFormat;
    // 14-16. Name caches.
    CStringArray m_deviceNames;
    CStringArray m_codecNames;
    BOOL m_deviceListBuilt;
    BOOL m_codecListBuilt;
    BOOL m_listCompressors;
    // 17. Counted references.
    IMoniker* m_deviceMoniker;
    IMoniker* m_codecMoniker;
    // 18. Registry key parts.
    CString m_version;
    CString m_keyFormat;
    CString m_section;

private:
    void InitEmpty();
    void FreeMediaType();
};
