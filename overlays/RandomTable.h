#pragma once
// A table of pseudo-random 16-bit values shared by the random transitions, so
// that a transition of one size keeps the same pattern from frame to frame.
// Filled from the C library's rand() on the thread that fills it; every
// operation takes the table's lock, and values once handed out by Acquire stay
// valid until Resize to another count or Clear.
#include <stdint.h>

#include <mutex>

class RandomTable {
public:
    RandomTable();
    ~RandomTable();

    // The process-wide table of the transitions.
    static RandomTable& Shared();

    // Nothing when the table holds count values; otherwise refills it with
    // count values. Not to be called while another thread reads the values.
    void Resize(int count);
    // The values, filling the table with count values first when it is empty.
    // Safe from several threads at once.
    const uint16_t* Acquire(int count, int* filled);
    // Frees the values (the next Acquire refills them).
    void Clear();
    int GetCount();

private:
    RandomTable(const RandomTable&) = delete;
    RandomTable& operator=(const RandomTable&) = delete;
    void FillLocked(int count);

    std::mutex m_lock;
    uint16_t* m_values;
    int m_count;
};
