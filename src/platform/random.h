// The program's pseudo-random numbers: the classic C runtime generator, 0 to 32767,
// starting from state 1 and never seeded by the program, so that a run's first new
// pattern is always the same.
#pragma once

#include <cstdint>

class CRandom {
public:
    int Next();  // 0 to 32767
    void Reset(uint32_t state = 1) { m_state = state; }

private:
    uint32_t m_state = 1;
};

// The one generator of the process.
CRandom& ProgramRandom();
