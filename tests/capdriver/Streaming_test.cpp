// Streaming from the capture channel as a capture program does it: a callback
// function, prepared buffers, START, STOP, RESET and FINI, with the recorder
// writing frames from a second process.
#include "DriverTestFixture.h"

#include <atomic>
#include <thread>

using namespace captest;

namespace {

struct StreamEvent {
    UINT msg;
    DWORD_PTR param;
    DWORD thread;
    HDRVR device;
    VIDEOHDR header;   // a copy, for MM_DRVM_DATA
};

// Collects the driver's notifications; runs `onData` on the notifying thread.
class StreamLog {
public:
    StreamLog() { InitializeCriticalSection(&m_lock); }
    ~StreamLog() { DeleteCriticalSection(&m_lock); }

    static void CALLBACK Callback(HDRVR device, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
    {
        StreamLog* log = reinterpret_cast<StreamLog*>(instance);
        StreamEvent event = {msg, param1, GetCurrentThreadId(), device, {}};
        if (msg == MM_DRVM_DATA)
            event.header = *reinterpret_cast<VIDEOHDR*>(param1);
        if (log->onData && msg == MM_DRVM_DATA)
            log->onData(event);
        EnterCriticalSection(&log->m_lock);
        log->m_events.push_back(event);
        LeaveCriticalSection(&log->m_lock);
    }

    std::vector<StreamEvent> Events() const
    {
        EnterCriticalSection(&m_lock);
        std::vector<StreamEvent> events = m_events;
        LeaveCriticalSection(&m_lock);
        return events;
    }

    std::vector<StreamEvent> Of(UINT msg) const
    {
        std::vector<StreamEvent> found;
        for (const StreamEvent& e : Events()) {
            if (e.msg == msg)
                found.push_back(e);
        }
        return found;
    }

    bool WaitFor(UINT msg, size_t count, DWORD timeoutMs = 10000) const
    {
        return WaitUntil([&] { return Of(msg).size() >= count; }, timeoutMs);
    }

    void Clear()
    {
        EnterCriticalSection(&m_lock);
        m_events.clear();
        LeaveCriticalSection(&m_lock);
    }

    std::function<void(const StreamEvent&)> onData;

private:
    mutable CRITICAL_SECTION m_lock;
    std::vector<StreamEvent> m_events;
};

const DWORD_PTR kVideoHandle = 0x4321;
const DWORD kFrame = 153600;   // 320 x 240 at 16 bits

struct Buffer {
    explicit Buffer(DWORD size = kFrame, DWORD slack = 0) : data(size + slack, 0xCD)
    {
        ZeroMemory(&header, sizeof(header));
        header.lpData = data.data();
        header.dwBufferLength = size;
        header.dwFlags = VHDR_PREPARED;
    }
    std::vector<BYTE> data;
    VIDEOHDR header;
};

class StreamingTest : public DriverTest {
protected:
    LRESULT Init(const DriverChannel& channel, DWORD microSecPerFrame)
    {
        VIDEO_STREAM_INIT_PARMS init;
        init.dwMicroSecPerFrame = microSecPerFrame;
        init.dwCallback = reinterpret_cast<DWORD_PTR>(&StreamLog::Callback);
        init.dwCallbackInst = reinterpret_cast<DWORD_PTR>(&m_log);
        init.dwFlags = CALLBACK_FUNCTION;
        init.hVideo = kVideoHandle;
        return channel.Send(DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&init), sizeof(init));
    }

    static LRESULT Add(const DriverChannel& channel, Buffer* buffer)
    {
        return channel.Send(DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&buffer->header), sizeof(buffer->header));
    }

    StreamLog m_log;
};

TEST_F(StreamingTest, InitAndFiniNotifyTheClient)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 66667));
    EXPECT_EQ(DV_ERR_NONSPECIFIC, Init(capture, 66667)) << "already initialised";
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
    EXPECT_EQ(DV_ERR_NONSPECIFIC, capture.Send(DVM_STREAM_FINI));
    const std::vector<StreamEvent> events = m_log.Events();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(static_cast<UINT>(MM_DRVM_OPEN), events[0].msg);
    EXPECT_EQ(static_cast<UINT>(MM_DRVM_CLOSE), events[1].msg);
    for (const StreamEvent& e : events) {
        EXPECT_EQ(0u, e.param);
        EXPECT_EQ(reinterpret_cast<HDRVR>(kVideoHandle), e.device);
    }
    // Without a callback nothing is notified, and INIT works again after FINI.
    VIDEO_STREAM_INIT_PARMS quiet = {66667, 0, 0, 0, 0};
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&quiet), sizeof(quiet)));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
    EXPECT_EQ(2u, m_log.Events().size());
    EXPECT_EQ(DV_ERR_PARAM1, capture.Send(DVM_STREAM_INIT, 0, 0));
}

TEST_F(StreamingTest, CallsBeforeInitAreRefused)
{
    DriverChannel capture(VIDEO_IN);
    Buffer buffer;
    const UINT messages[] = {DVM_STREAM_FINI, DVM_STREAM_START, DVM_STREAM_STOP, DVM_STREAM_RESET};
    for (UINT msg : messages)
        EXPECT_EQ(DV_ERR_NONSPECIFIC, capture.Send(msg)) << msg;
    EXPECT_EQ(DV_ERR_NONSPECIFIC, Add(capture, &buffer));
    EXPECT_EQ(static_cast<DWORD>(VHDR_PREPARED), buffer.header.dwFlags);
    EXPECT_TRUE(m_log.Events().empty());
}

TEST_F(StreamingTest, AddBufferAnswers)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 66667));
    Buffer unprepared;
    unprepared.header.dwFlags = 0;
    Buffer shortBuffer(kFrame - 1);
    Buffer noData;
    noData.header.lpData = NULL;
    EXPECT_EQ(DV_ERR_NONSPECIFIC, capture.Send(DVM_STREAM_ADDBUFFER, 0, 0)) << "null header";
    EXPECT_EQ(DV_ERR_UNPREPARED, Add(capture, &unprepared));
    EXPECT_EQ(DV_ERR_NONSPECIFIC, Add(capture, &shortBuffer));
    EXPECT_EQ(DV_ERR_PARAM1, Add(capture, &noData));

    Buffer buffer;
    buffer.header.dwFlags |= VHDR_DONE;
    buffer.header.dwBytesUsed = 99;
    EXPECT_EQ(DV_ERR_OK, Add(capture, &buffer));
    EXPECT_EQ(static_cast<DWORD>(VHDR_PREPARED | VHDR_INQUEUE), buffer.header.dwFlags);
    EXPECT_EQ(0u, buffer.header.dwBytesUsed);
    EXPECT_EQ(DV_ERR_NONSPECIFIC, Add(capture, &buffer)) << "added twice";
    // Flags cleared by hand do not get the same header linked in twice.
    buffer.header.dwFlags = VHDR_PREPARED;
    EXPECT_EQ(DV_ERR_NONSPECIFIC, Add(capture, &buffer)) << "already queued";

    EXPECT_EQ(DV_ERR_STILLPLAYING, capture.Send(DVM_STREAM_FINI));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_RESET));
    EXPECT_EQ(1u, m_log.Of(MM_DRVM_DATA).size()) << "the header was queued once";
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
}

TEST_F(StreamingTest, StarvedStreamCountsSkippedFrames)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 10000));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    ASSERT_TRUE(m_log.WaitFor(MM_DRVM_ERROR, 3));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    const std::vector<StreamEvent> errors = m_log.Of(MM_DRVM_ERROR);
    for (size_t i = 0; i < errors.size(); ++i)
        EXPECT_EQ(i + 1, errors[i].param) << "error notification " << i;

    DWORD error = 0;
    DWORD skipped = 0;
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_GETERROR, reinterpret_cast<LPARAM>(&error),
                                      reinterpret_cast<LPARAM>(&skipped)));
    EXPECT_EQ(static_cast<DWORD>(DV_ERR_NO_BUFFERS), error);
    EXPECT_EQ(errors.size(), skipped) << "a stopped stream counts no more";
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_GETERROR, reinterpret_cast<LPARAM>(&error),
                                      reinterpret_cast<LPARAM>(&skipped)));
    EXPECT_EQ(0u, error);
    EXPECT_EQ(0u, skipped);
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_GETERROR, 0, 0));

    // The count restarts at 1 for the next starved run.
    m_log.Clear();
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    ASSERT_TRUE(m_log.WaitFor(MM_DRVM_ERROR, 1));
    EXPECT_EQ(1u, m_log.Of(MM_DRVM_ERROR)[0].param);
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
}

TEST_F(StreamingTest, ResetReturnsQueuedBuffersInOrder)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 66667));
    Buffer buffers[4];
    for (Buffer& b : buffers)
        ASSERT_EQ(DV_ERR_OK, Add(capture, &b));
    EXPECT_EQ(DV_ERR_STILLPLAYING, capture.Send(DVM_STREAM_FINI));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_RESET));
    const std::vector<StreamEvent> data = m_log.Of(MM_DRVM_DATA);
    ASSERT_EQ(4u, data.size());
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(reinterpret_cast<DWORD_PTR>(&buffers[i].header), data[i].param) << "buffer " << i;
        EXPECT_EQ(static_cast<DWORD>(VHDR_PREPARED | VHDR_DONE), data[i].header.dwFlags) << "buffer " << i;
        EXPECT_EQ(0u, data[i].header.dwBytesUsed) << "buffer " << i;
    }
    // Returned buffers can be queued again.
    EXPECT_EQ(DV_ERR_OK, Add(capture, &buffers[0]));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_RESET));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
}

TEST_F(StreamingTest, FramesAtTheRequestedPeriod)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 66667));
    Buffer buffers[6];
    for (Buffer& b : buffers)
        ASSERT_EQ(DV_ERR_OK, Add(capture, &b));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    ASSERT_TRUE(m_log.WaitFor(MM_DRVM_DATA, 6));
    MMTIME position = {};
    EXPECT_EQ(DV_ERR_NOTSUPPORTED, capture.Send(DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&position), 16));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&position), sizeof(position)));
    EXPECT_EQ(static_cast<UINT>(TIME_MS), position.wType);
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));

    const std::vector<StreamEvent> data = m_log.Of(MM_DRVM_DATA);
    ASSERT_EQ(6u, data.size());
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(reinterpret_cast<DWORD_PTR>(&buffers[i].header), data[i].param) << "frame " << i;
        EXPECT_EQ(static_cast<DWORD>(VHDR_PREPARED | VHDR_DONE | VHDR_KEYFRAME), data[i].header.dwFlags);
        EXPECT_EQ(kFrame, data[i].header.dwBytesUsed);
        EXPECT_NE(GetCurrentThreadId(), data[i].thread) << "frames come from the timer thread";
        bool black = true;
        for (BYTE b : buffers[i].data)
            black = black && b == 0;
        EXPECT_TRUE(black) << "frame " << i;
    }
    EXPECT_GE(position.u.ms, data[5].header.dwTimeCaptured);
    // 66,667 us per frame ticks every 66 ms: six frames span about 5 periods
    // after the first (wide bounds: this checks the unit, not the timing).
    const DWORD span = data[5].header.dwTimeCaptured - data[0].header.dwTimeCaptured;
    EXPECT_GE(span, 5u * 66u - 40u);
    EXPECT_LE(span, 5u * 66u + 400u);
    EXPECT_GE(data[0].header.dwTimeCaptured, 50u);
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
}

TEST_F(StreamingTest, PeriodBelowOneMillisecondIsRefused)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 999));
    EXPECT_EQ(DV_ERR_NONSPECIFIC, capture.Send(DVM_STREAM_START));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
}

TEST_F(StreamingTest, SingleFrameWhileStreamingIsRefused)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 10000));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    std::vector<BYTE> frame(kFrame, 0xCD);
    EXPECT_EQ(DV_ERR_NONSPECIFIC, capture.GrabFrame(&frame));
    EXPECT_EQ(0xCD, frame[0]);
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    EXPECT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    EXPECT_EQ(0, frame[0]);
    std::vector<BYTE> small(kFrame - 1);
    EXPECT_EQ(DV_ERR_SIZEFIELD, capture.GrabFrame(&small));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
}

// Only one timer ever runs: after STOP no notification arrives, whatever
// START was sent twice.
TEST_F(StreamingTest, SecondStartLeavesNoOrphanTimer)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 5000));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    EXPECT_EQ(DV_ERR_NONSPECIFIC, capture.Send(DVM_STREAM_START));
    ASSERT_TRUE(m_log.WaitFor(MM_DRVM_ERROR, 2));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    const size_t afterStop = m_log.Events().size();
    Sleep(100);   // twenty periods: an orphan timer would have notified
    EXPECT_EQ(afterStop, m_log.Events().size());
    // START works again after STOP.
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    ASSERT_TRUE(m_log.WaitFor(MM_DRVM_ERROR, afterStop + 1));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
}

// The recorder in a second process writes numbered frames every 100 ms; the
// client streams at 66,667 us and gets them, in order, in its buffers.
TEST_F(StreamingTest, WriterProcessFramesReachTheBuffers)
{
    DriverChannel capture(VIDEO_IN);
    std::vector<BYTE> first;
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&first));   // the frame mapping exists from here on
    const std::wstring prefix = L"zentivo-stream-" + std::to_wstring(GetCurrentProcessId());
    NamedEvent attached(prefix + L"-attached");
    HelperProcess writer(L"frames 60 100 " + prefix);
    ASSERT_TRUE(writer.Started());
    ASSERT_TRUE(attached.Wait());

    ASSERT_EQ(DV_ERR_OK, Init(capture, 66667));
    Buffer buffers[4];
    for (Buffer& b : buffers)
        ASSERT_EQ(DV_ERR_OK, Add(capture, &b));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    std::vector<int> numbers;
    size_t handled = 0;
    const bool enough = WaitUntil([&] {
        const std::vector<StreamEvent> data = m_log.Of(MM_DRVM_DATA);
        for (; handled < data.size(); ++handled) {
            Buffer* buffer = nullptr;
            for (Buffer& b : buffers) {
                if (reinterpret_cast<DWORD_PTR>(&b.header) == data[handled].param)
                    buffer = &b;
            }
            if (!buffer)
                return true;
            // Every byte of a frame holds its number; a frame read while the
            // next was being written holds two consecutive numbers.
            BYTE low = 255, high = 0;
            for (DWORD i = 0; i < kFrame; ++i) {
                low = std::min(low, buffer->data[i]);
                high = std::max(high, buffer->data[i]);
            }
            EXPECT_LE(high - low, 1) << "frame " << handled;
            numbers.push_back(high);
            buffer->data.assign(buffer->data.size(), 0xCD);
            EXPECT_EQ(DV_ERR_OK, Add(capture, buffer));
        }
        return numbers.size() >= 15;
    }, 20000);
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_RESET));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
    ASSERT_TRUE(enough);
    int distinct = 0;
    for (size_t i = 1; i < numbers.size(); ++i) {
        EXPECT_LE(numbers[i - 1], numbers[i]) << "frame " << i << " went back in time";
        distinct += numbers[i] != numbers[i - 1];
    }
    EXPECT_GE(distinct, 5) << "the writer's frames did not come through";
    EXPECT_GE(numbers.back(), 1);
}

// A format chosen while buffers are queued can make a frame larger than a
// queued buffer: that buffer comes back empty, nothing is written past it.
TEST_F(StreamingTest, BufferTooSmallForANewFormatComesBackEmpty)
{
    StoreSettings({{L"BitCount", 16}, {L"CustomSize", 1}});
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 10000));
    Buffer buffer(kFrame, 64);
    ASSERT_EQ(DV_ERR_OK, Add(capture, &buffer));
    ASSERT_EQ(DV_ERR_OK, capture.SetFormat(640, 480, 16));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    ASSERT_TRUE(m_log.WaitFor(MM_DRVM_DATA, 1));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    const StreamEvent data = m_log.Of(MM_DRVM_DATA)[0];
    EXPECT_EQ(reinterpret_cast<DWORD_PTR>(&buffer.header), data.param);
    EXPECT_EQ(0u, data.header.dwBytesUsed);
    EXPECT_EQ(static_cast<DWORD>(VHDR_PREPARED | VHDR_DONE), data.header.dwFlags);
    for (DWORD i = 0; i < buffer.data.size(); ++i)
        ASSERT_EQ(0xCD, buffer.data[i]) << "byte " << i << " was written";
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
}

// Ownership of the client's buffers: each is either the client's or the
// driver's. A buffer delivered while it was the client's is a doubled
// delivery; one that never comes back is lost.
class BufferLedger {
public:
    explicit BufferLedger(size_t count) : m_buffers(count), m_owner(count) {}
    Buffer& At(size_t i) { return m_buffers[i]; }
    size_t Size() const { return m_buffers.size(); }

    bool TakeForDriver(size_t i)
    {
        int expected = 0;
        return m_owner[i].compare_exchange_strong(expected, 1);
    }
    void GiveBack(size_t i) { m_owner[i] = 0; }

    // Runs on the notifying thread.
    void Delivered(const StreamEvent& e)
    {
        for (size_t i = 0; i < m_buffers.size(); ++i) {
            if (reinterpret_cast<DWORD_PTR>(&m_buffers[i].header) != e.param)
                continue;
            int expected = 1;
            if (!m_owner[i].compare_exchange_strong(expected, 0))
                ++doubled;
            ++deliveries;
            if (e.thread != mainThread && e.header.dwBytesUsed == 0)
                ++emptyTicks;
            return;
        }
        ++strangers;
    }

    size_t HeldByDriver() const
    {
        size_t held = 0;
        for (const auto& owner : m_owner)
            held += owner == 1;
        return held;
    }

    DWORD mainThread = GetCurrentThreadId();
    std::atomic<int> doubled{0};
    std::atomic<int> deliveries{0};
    std::atomic<int> emptyTicks{0};
    std::atomic<int> strangers{0};

private:
    std::vector<Buffer> m_buffers;
    std::vector<std::atomic<int>> m_owner;
};

// Adds, stops, restarts and resets from this thread against a 1 ms timer.
void Churn(const DriverChannel& capture, BufferLedger* ledger, int* adds, const std::function<bool()>& done)
{
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 8; };
    while (!done()) {
        const unsigned action = next() % 100;
        if (action < 75) {
            const size_t i = next() % ledger->Size();
            if (!ledger->TakeForDriver(i))
                continue;
            const LRESULT answer = capture.Send(DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&ledger->At(i).header),
                                                sizeof(VIDEOHDR));
            if (answer == DV_ERR_OK) {
                ++*adds;
            } else {
                ADD_FAILURE() << "ADDBUFFER of a buffer the client held answered " << answer;
                ledger->GiveBack(i);
            }
        } else if (action < 85) {
            EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
            EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
        } else if (action < 90) {
            EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_RESET));
            EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
        } else {
            DWORD error = 0, skipped = 0;
            capture.Send(DVM_STREAM_GETERROR, reinterpret_cast<LPARAM>(&error), reinterpret_cast<LPARAM>(&skipped));
            Sleep(1);
        }
    }
}

TEST_F(StreamingTest, NoBufferLostOrDoubledUnderStress)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 1000));
    BufferLedger ledger(8);
    m_log.onData = [&ledger](const StreamEvent& e) { ledger.Delivered(e); };
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    int adds = 0;
    const DWORD start = GetTickCount();
    Churn(capture, &ledger, &adds, [&] { return GetTickCount() - start > 1500; });
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_RESET));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
    EXPECT_GT(adds, 100);
    EXPECT_EQ(0, ledger.doubled.load());
    EXPECT_EQ(0, ledger.strangers.load());
    EXPECT_EQ(0u, ledger.HeldByDriver()) << "buffers lost inside the driver";
    EXPECT_EQ(adds, ledger.deliveries.load());
}

// Another process keeps damaging the header while frames stream: whenever a
// ready frame turns out to have another size, its buffer is handed back
// empty, never kept.
TEST_F(StreamingTest, BufferGoesBackWhenTheFrameCannotBeCopied)
{
    DriverChannel capture(VIDEO_IN);
    std::vector<BYTE> frame;
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    LiveRecorder recorder;
    ASSERT_TRUE(recorder.OpenHeader());
    LiveOutputHeader* header = recorder.Header();
    std::atomic<bool> stop{false};
    std::thread damage([&] {
        while (!stop) {
            LiveStoreRelease(header->imageSize, kFrame + 4);
            LiveStoreRelease(header->frameReady, 1);
        }
    });

    ASSERT_EQ(DV_ERR_OK, Init(capture, 1000));
    BufferLedger ledger(8);
    m_log.onData = [&ledger](const StreamEvent& e) { ledger.Delivered(e); };
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    int adds = 0;
    const DWORD start = GetTickCount();
    Churn(capture, &ledger, &adds,
          [&] { return (ledger.emptyTicks >= 3 && GetTickCount() - start > 500) || GetTickCount() - start > 10000; });
    stop = true;
    damage.join();
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_STOP));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_RESET));
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_FINI));
    EXPECT_GE(ledger.emptyTicks.load(), 3) << "no frame of another size was met";
    EXPECT_EQ(0, ledger.doubled.load());
    EXPECT_EQ(0u, ledger.HeldByDriver()) << "buffers lost inside the driver";
    EXPECT_EQ(adds, ledger.deliveries.load());
}

// Wine's CloseDriver unloads the library even when DRV_CLOSE of a streaming
// channel is refused: the timer must not outlive the code it calls.
TEST_F(StreamingTest, FreeingTheDriverStopsTheTimer)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, Init(capture, 5000));
    Buffer buffer;
    ASSERT_EQ(DV_ERR_OK, Add(capture, &buffer));
    ASSERT_EQ(DV_ERR_OK, capture.Send(DVM_STREAM_START));
    ASSERT_TRUE(m_log.WaitFor(MM_DRVM_ERROR, 3));
    capture.Close();
    EXPECT_FALSE(DriverLoaded());
    const size_t afterClose = m_log.Events().size();
    Sleep(100);   // twenty periods of a timer that would call into freed code
    EXPECT_EQ(afterClose, m_log.Events().size());
    EXPECT_FALSE(LiveHeaderExists()) << "the freed driver left its mappings open";
}

}  // namespace
