#include "control/record/pressurerecord.h"

#include <algorithm>

PressureRecord::PressureRecord(qsizetype limit) : m_limit(std::clamp<qsizetype>(limit, 0, capacity))
{
}

bool PressureRecord::add(double mpa)
{
    if (isFull()) {
        return false;
    }
    m_values.push_back(mpa);
    return true;
}
