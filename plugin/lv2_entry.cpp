// The one symbol the bundle's shared object exports.
#include "plugin/lv2_plugin.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) { return murmex::PluginDescriptor(index); }
