#include "settings/Rational.h"

CRational::CRational() : m_nRate(0), m_nScale(1), m_nTime(1) {}

void CRational::Assign(const CRational& other)
{
    m_nRate = other.m_nRate;
    m_nScale = other.m_nScale;
    m_nTime = other.m_nTime;
}

// The fraction is computed as (10000000 / scale) * remainder, with the
// integer division first, so long scales lose the tail exactly as the stored
// rates have always been shown (30000/1001 gives 29.970029).
void CRational::Format(CString& out, BOOL withFraction) const
{
    if (m_nScale == 0) {
        // No caller should pass a zero scale; a stored or hostile value can.
        out = withFraction ? "0.0" : "0";
        return;
    }
    const DWORD whole = m_nRate / m_nScale;
    const DWORD remainder = m_nRate % m_nScale;
    CString digits;
    digits.Format("%lu", static_cast<unsigned long>(whole));
    if (!withFraction) {
        out.Format("%s", digits.GetString());
        return;
    }

    const DWORD fraction = (10000000u / m_nScale) * remainder;   // < 10^7
    CString fractionText;
    fractionText.Format("%lu", static_cast<unsigned long>(fraction));
    CString zeros;
    if (fraction != 0) {
        for (int n = fractionText.GetLength(); n < 7; ++n)
            zeros += '0';
    }
    int keep = fractionText.GetLength();
    while (keep > 1 && fractionText[keep - 1] == '0')
        --keep;
    out.Format("%s.%s%s", digits.GetString(), zeros.GetString(), fractionText.Left(keep).GetString());
}
