#pragma once
// What the fuzz targets share: the property check that stops the run, an independent UTF-8
// validator, and scratch files in a folder of the process's own.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace murmex::fuzz {

// Prints the broken property and aborts, so that libFuzzer keeps the input as a finding.
void Check(bool holds, const char* property, const char* file, int line);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Written apart from
// tags/narrow_text on purpose, so the property is not judged by the decoder under test.
bool IsValidUtf8(std::string_view text);

// True when the text neither starts nor ends with a character of code 0 to 32.
bool IsTrimmed(std::string_view text);

// A path named `name` in this process's scratch folder (under $TMPDIR), which is removed when
// the process ends normally.
std::filesystem::path ScratchPath(const std::string& name);

// Replaces the file's content; aborts when it cannot, since every property would then be void.
void WriteScratch(const std::filesystem::path& path, const uint8_t* data, std::size_t size);

bool StartsWith(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& prefix);
// The bytes at `offset` equal `expected` (false when they do not all lie inside).
bool BytesAt(const std::vector<uint8_t>& bytes, std::size_t offset, std::string_view expected);

}  // namespace murmex::fuzz

// The stringified condition names the property in the report.
#define MURMEX_FUZZ_CHECK(condition) ::murmex::fuzz::Check((condition), #condition, __FILE__, __LINE__)
