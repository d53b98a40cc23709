#pragma once
// A frame rate kept as a fraction, as the preferences store it (rate / scale,
// with a third value that travels with it), and its decimal text for the user
// interface. A plain value record.
#include "framework/String.h"

class CRational {
public:
    CRational();
    CRational(DWORD rate, DWORD scale, DWORD time) : m_nRate(rate), m_nScale(scale), m_nTime(time) {}

    void Assign(const CRational& other);
    // Decimal text of rate / scale: "30" without the fraction, "29.970029"
    // with it (seven fraction digits at most, trailing zeros trimmed, at
    // least one digit kept). A scale of 0 has no value: the text is "0"
    // ("0.0" with the fraction).
    void Format(CString& out, BOOL withFraction) const;

    DWORD m_nRate;    // numerator
    DWORD m_nScale;   // denominator
    DWORD m_nTime;    // kept with the rate; only copied here
};
