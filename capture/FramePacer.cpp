#include "capture/FramePacer.h"

CFramePacer::CFramePacer()
    : m_numerator(1), m_denominator(1), m_period(1000), m_fraction(0), m_fractionSum(0),
      m_latenessCarry(0), m_dueTick(0)
{
}

void CFramePacer::Start(DWORD numerator, DWORD denominator, DWORD now)
{
    SetRate(numerator, denominator);
    m_fractionSum = 0;
    m_latenessCarry = 0;
    m_dueTick = now;
}

// A stored rate of 0 (a hand-edited registry, say) must not divide by zero:
// it counts as 1. 64-bit products keep large denominators exact.
void CFramePacer::SetRate(DWORD numerator, DWORD denominator)
{
    m_numerator = numerator ? numerator : 1;
    m_denominator = denominator ? denominator : 1;
    const unsigned long long micro = (unsigned long long)m_denominator * 1000000ull / m_numerator;
    m_period = (DWORD)(micro / 1000ull);
    m_fraction = (DWORD)(micro % 1000ull);
    if (m_period == 0) {
        // Above 1000 frames per second: one millisecond is the finest step.
        m_period = 1;
        m_fraction = 0;
    }
}

DWORD CFramePacer::RefreshInterval() const
{
    const DWORD half = FramesPerSecond() / 2;
    return half > 1 ? half : 1;
}

DWORD CFramePacer::MeasureInterval() const
{
    const DWORD fps = FramesPerSecond();
    if (fps > 4)
        return 1;
    if (fps >= 2)
        return 2;
    return 4;
}

DWORD CFramePacer::StreamSeconds(DWORD streamPosition) const
{
    return (DWORD)((unsigned long long)m_denominator * streamPosition / m_numerator);
}

// Tick values are compared by their signed difference, so that a recording
// running across the wrap of GetTickCount (every 49.7 days) paces correctly.
CFramePacer::Step CFramePacer::AfterFrame(DWORD now)
{
    Step step = {0, 0};
    const LONG ahead = (LONG)(m_dueTick - now);
    if (ahead > 0) {
        // Early: the next frame is due one period after this one.
        step.wait = (DWORD)ahead + m_period;
    } else {
        const DWORD lateness = now - m_dueTick;
        if (lateness >= m_period) {
            const DWORD excess = m_latenessCarry + (lateness - m_period);
            const DWORD n = excess / m_period;
            m_latenessCarry = excess - n * m_period;
            step.skipped = n;
            m_fractionSum += (n + 1) * m_fraction;
            m_dueTick += (n + 1) * m_period + m_fractionSum / 1000;
            m_fractionSum %= 1000;
            return step;
        }
        step.wait = m_period - lateness;
    }
    m_fractionSum += m_fraction;
    m_dueTick += m_period + m_fractionSum / 1000;
    m_fractionSum %= 1000;
    return step;
}

BOOL CFrameRateMeter::Update(const CFramePacer& pacer, DWORD streamPosition, DWORD capturedFrames)
{
    const DWORD second = pacer.StreamSeconds(streamPosition);
    if (second <= m_lastSecond || second - m_lastSecond <= pacer.MeasureInterval())
        return FALSE;
    m_rate = (float)(capturedFrames - m_lastCaptured) / (float)(second - m_lastSecond);
    m_lastSecond = second;
    m_lastCaptured = capturedFrames;
    return TRUE;
}
