#pragma once

// Rounding of intermediate results to the precision they are written in.
//
// The 32-bit program computes with the x87 unit, which keeps intermediate
// results in its 80-bit registers whatever their C++ type: 50 * 0.01f is then
// a hair under 0.5, and a sample scaled by it truncates one step lower than
// the same product held in a float. The compiler rounds neither on a cast nor
// on an assignment, so a value that is stored, mixed or placed goes through
// one of these: the store to memory rounds it, and every build gives the
// result of the arithmetic in the precision it is written in.

// `value` rounded to single precision.
inline float RoundToSingle(float value)
{
    volatile float stored = value;
    return stored;
}

// `value` rounded to double precision.
inline double RoundToDouble(double value)
{
    volatile double stored = value;
    return stored;
}
