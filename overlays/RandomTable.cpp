#include "overlays/RandomTable.h"

#include <stdlib.h>

RandomTable::RandomTable() : m_values(nullptr), m_count(0) {}

RandomTable::~RandomTable()
{
    delete[] m_values;
}

RandomTable& RandomTable::Shared()
{
    static RandomTable table;
    return table;
}

void RandomTable::FillLocked(int count)
{
    delete[] m_values;
    m_values = nullptr;
    m_count = 0;
    if (count <= 0)
        return;
    m_values = new (std::nothrow) uint16_t[count];
    if (!m_values)
        return;
    for (int i = 0; i < count; ++i)
        m_values[i] = (uint16_t)rand();
    m_count = count;
}

void RandomTable::Resize(int count)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (count != m_count)
        FillLocked(count);
}

// The fill happens under the lock, so that two streaming threads that find the
// table empty at once do not free each other's values.
const uint16_t* RandomTable::Acquire(int count, int* filled)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_count == 0)
        FillLocked(count);
    if (filled)
        *filled = m_count;
    return m_values;
}

void RandomTable::Clear()
{
    std::lock_guard<std::mutex> hold(m_lock);
    FillLocked(0);
}

int RandomTable::GetCount()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_count;
}
