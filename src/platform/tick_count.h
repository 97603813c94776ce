// Milliseconds from a steady clock, 64-bit, so the count never wraps.
#pragma once

#include <cstdint>

uint64_t GetTickCount64();
