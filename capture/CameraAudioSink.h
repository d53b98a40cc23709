#pragma once
// Hands the wave recorder's buffers to the camera graph's push source while
// the camera file takes the recording's sound. Push copies and returns at
// once, so the wave thread never waits for the graph; into a stopped graph
// the data is refused at once. Holds a reference on the push source.
#include "media/WaveIn.h"
#include "platform/camkit/CamKit.h"

class CCameraAudioSink : public CAudioSink {
public:
    explicit CCameraAudioSink(IXrvPushSource* push) : m_push(push)
    {
        if (m_push)
            m_push->AddRef();
    }
    ~CCameraAudioSink() override
    {
        if (m_push)
            m_push->Release();
    }
    CCameraAudioSink(const CCameraAudioSink&) = delete;
    CCameraAudioSink& operator=(const CCameraAudioSink&) = delete;

    HRESULT ReceiveAudio(const BYTE* data, DWORD length, LONGLONG, LONGLONG, int) override
    {
        return m_push ? m_push->Push(data, (LONG)length) : S_FALSE;
    }

private:
    IXrvPushSource* m_push;
};
