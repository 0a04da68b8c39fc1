#pragma once

namespace murmex::test {

// Allocations made through operator new by this program so far. Linking allocation_count.cpp
// replaces the global operator new to count them, which a sanitizer's runtime forbids.
long AllocationsSoFar();

}  // namespace murmex::test
