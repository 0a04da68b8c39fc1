#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "tags/tag_file.h"

namespace murmex {

// Reader of the Lyrics3 (version 2) block: "LYRICSBEGIN", fields of a 3-character id, 5 decimal
// digits of length and the data, then a footer of 6 decimal digits (the size of the block up to
// them) and "LYRICS200".
class Lyrics3Reader {
public:
    static constexpr std::size_t FooterSize = 15;

    // Called for every field in order; returning false stops the walk.
    using FieldHandler = std::function<bool(std::string_view id, std::string_view data)>;

    explicit Lyrics3Reader(TagFile& file) : File_(file) {}

    // Looks for a block that ends at `blockEnd` (where the ID3v1 tag begins, or the end of the
    // file). On success `size` is the footer's size number, or 0 when there is no whole block
    // inside the file; false only when the file could not be read.
    bool Locate(uint64_t blockEnd, int32_t& size);

    // Walks the fields of the block Locate found. Stops at the footer, at a length that is not a
    // number, or when the handler asks; false when a field's data runs past the block or the
    // file could not be read.
    bool ReadFields(uint64_t blockEnd, int32_t size, const FieldHandler& onField);

private:
    TagFile& File_;
};

}  // namespace murmex
