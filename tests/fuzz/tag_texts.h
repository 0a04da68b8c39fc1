#pragma once
// Every text a tag container holds, for the checks that they are valid UTF-8.
#include <string>
#include <vector>

#include "tags/au_tags.h"
#include "tags/id3v1.h"

namespace murmex::fuzz {

std::vector<std::string> TextsOf(const TAuTags& tags);
std::vector<std::string> TextsOf(const TID3v1& tag);

}  // namespace murmex::fuzz
