#include "source/decode_block_source.h"

namespace murmex {

int DecodeBlockSource::ReadBlock(void* dst, int maxBytes) {
    if (!BASS_ChannelIsActive(stream_)) return 0;
    // The decoder reports an error as all bits set, which reads as -1: the end of the data.
    return static_cast<int>(BASS_ChannelGetData(stream_, dst, static_cast<uint32_t>(maxBytes)));
}

}  // namespace murmex
