#pragma once

#include "pipeline/au_file_in.h"
#include "tags/au_tags.h"

namespace murmex {

// File input whose reader fills tag containers when it opens a file.
class TAuTaggedFileIn : public TAuFileIn {
public:
    TId3v1Tags& Id3v1Tags() { return FId3v1Tags; }
    TId3v2Tags& Id3v2Tags() { return FId3v2Tags; }

protected:
    TId3v1Tags FId3v1Tags;
    TId3v2Tags FId3v2Tags;
};

}  // namespace murmex
