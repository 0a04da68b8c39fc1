#pragma once

#include <cstdint>

#include <lv2/core/lv2.h>

namespace murmex {

// The LV2 descriptors of the bundle: 0 mono, 1 stereo, nullptr beyond. The shared object's
// lv2_descriptor returns these; tests and benchmarks call them without loading it.
const LV2_Descriptor* PluginDescriptor(uint32_t index);

}  // namespace murmex
