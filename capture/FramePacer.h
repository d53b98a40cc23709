#pragma once
// Frame pacing of the capture loop: whole-millisecond periods with a carried
// microsecond fraction, waits for early frames and whole-period skips for late
// ones, the status-refresh and rate-measurement intervals, and the measured
// frame rate. Pure arithmetic on tick values given by the caller, so that it
// is exact for rates such as 15/1 and survives the 49.7-day tick wrap. Owned
// by the capture thread.
#include "framework/AfxPlatform.h"

class CFramePacer {
public:
    CFramePacer();

    // Sets the rate in effect (numerator / denominator frames per second; a
    // zero numerator or denominator counts as 1) and the first due tick.
    void Start(DWORD numerator, DWORD denominator, DWORD now);
    // Recomputes period, fraction and intervals for a new rate; keeps the
    // due tick and the carried values.
    void SetRate(DWORD numerator, DWORD denominator);
    // The next frame is due now (after a resume or a dialog).
    void Restart(DWORD now) { m_dueTick = now; }

    // One pacing step after a written frame, at tick `now`. `wait` is what the
    // loop should wait (0: nothing; waits of 10 ms or less are not slept),
    // `skipped` the frames skipped because the loop was late by a period or
    // more (their sample indexes stay empty so that the stream keeps real time).
    struct Step {
        DWORD wait;
        DWORD skipped;
    };
    Step AfterFrame(DWORD now);

    DWORD Period() const { return m_period; }
    DWORD Fraction() const { return m_fraction; }
    DWORD DueTick() const { return m_dueTick; }
    DWORD LatenessCarry() const { return m_latenessCarry; }
    DWORD FramesPerSecond() const { return m_numerator / m_denominator; }
    // Rates below one frame per second wait on the pause event instead of
    // sleeping, so that a pause or stop ends the wait at once.
    BOOL IsSlowRate() const { return m_numerator < m_denominator; }
    // Frames between two status refreshes: max(fps / 2, 1).
    DWORD RefreshInterval() const;
    // Stream seconds between two rate measurements: 1 above 4 fps, 2 for 2..4, else 4.
    DWORD MeasureInterval() const;

    // Whole stream seconds at a stream position; 64-bit, so that long
    // recordings at high rates do not overflow.
    DWORD StreamSeconds(DWORD streamPosition) const;

private:
    DWORD m_numerator;
    DWORD m_denominator;
    DWORD m_period;         // whole milliseconds per frame
    DWORD m_fraction;       // microseconds per frame beyond the period
    DWORD m_fractionSum;    // 0..999
    DWORD m_latenessCarry;  // lateness smaller than a period, kept for the next skip
    DWORD m_dueTick;
};

// The real frame rate over a stretch of the recording: frames really grabbed
// per stream second, measured every MeasureInterval() seconds.
class CFrameRateMeter {
public:
    CFrameRateMeter() : m_lastSecond(0), m_lastCaptured(0), m_rate(0.0f) {}
    // Called after each frame; TRUE when a new rate was measured.
    BOOL Update(const CFramePacer& pacer, DWORD streamPosition, DWORD capturedFrames);
    float Rate() const { return m_rate; }

private:
    DWORD m_lastSecond;
    DWORD m_lastCaptured;
    float m_rate;
};
