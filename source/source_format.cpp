#include "source/source_format.h"

#include <cstdint>
#include <fstream>
#include <string_view>

namespace murmex {
namespace {

// Enough for an Ogg page header with a full segment table and the first bytes of its packet.
constexpr std::streamsize kHeadBytes = 27 + 255 + 8;
constexpr std::string_view kAsfHeaderGuid{"\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16};

std::string ReadHead(std::ifstream& file, uint64_t offset) {
  std::string head(kHeadBytes, '\0');
  file.clear();
  if (!file.seekg(static_cast<std::streamoff>(offset))) return {};
  file.read(head.data(), kHeadBytes);
  head.resize(static_cast<size_t>(file.gcount()));
  return head;
}

uint8_t Byte(std::string_view bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

// An MPEG audio frame header with no reserved version, layer, bitrate or sample rate.
bool IsMpegFrameHeader(std::string_view head) {
  if (head.size() < 4 || Byte(head, 0) != 0xFF || (Byte(head, 1) & 0xE0) != 0xE0) return false;
  const int version = (Byte(head, 1) >> 3) & 3;
  const int layer = (Byte(head, 1) >> 1) & 3;
  const int bitrate = Byte(head, 2) >> 4;
  const int rate = (Byte(head, 2) >> 2) & 3;
  return version != 1 && layer != 0 && bitrate != 0xF && rate != 3;
}

// The bytes an ID3v2 tag at the start takes, header and footer included; 0 without one.
uint64_t Id3v2TagBytes(std::string_view head) {
  if (head.size() < 10 || !head.starts_with("ID3")) return 0;
  uint64_t size = 0;
  for (size_t i = 6; i < 10; ++i) {
    if ((Byte(head, i) & 0x80) != 0) return 0;  // not a synchsafe size: no tag
    size = size << 7 | Byte(head, i);
  }
  const bool footer = (Byte(head, 5) & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

// The first page of an Ogg stream: 27 header bytes, the segment table, then the first packet,
// which names the codec.
SourceFormat OggFormat(std::string_view page) {
  if (page.size() < 27) return SourceFormat::OggOther;
  const size_t packet = 27 + Byte(page, 26);
  const bool vorbis = page.size() > packet && page.substr(packet).starts_with("\x01vorbis");
  return vorbis ? SourceFormat::OggVorbis : SourceFormat::OggOther;
}

SourceFormat FormatOfHead(std::string_view head) {
  if (head.starts_with("RIFF") && head.size() >= 12 && head.substr(8, 4) == "WAVE") return SourceFormat::Wav;
  if (head.starts_with("OggS")) return OggFormat(head);
  if (head.starts_with("fLaC")) return SourceFormat::Flac;
  if (head.starts_with(kAsfHeaderGuid)) return SourceFormat::Wma;
  if (IsMpegFrameHeader(head)) return SourceFormat::Mp3;
  return SourceFormat::Unknown;
}

}  // namespace

SourceFormat SniffSourceFormat(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string head = ReadHead(file, 0);
  // MPEG audio and FLAC alike may follow an ID3v2 tag: what comes after it decides.
  if (const uint64_t tagBytes = Id3v2TagBytes(head)) return FormatOfHead(ReadHead(file, tagBytes));
  return FormatOfHead(head);
}

SourceFormat FormatOfExtension(const std::string& upperExtension) {
  if (upperExtension == ".WAV") return SourceFormat::Wav;
  if (upperExtension == ".MP3") return SourceFormat::Mp3;
  if (upperExtension == ".OGG") return SourceFormat::OggVorbis;
  if (upperExtension == ".WMA") return SourceFormat::Wma;
  if (upperExtension == ".FLAC" || upperExtension == ".FLC") return SourceFormat::Flac;
  return SourceFormat::Unknown;
}

SourceFormat SourceFormatOf(const std::filesystem::path& path, const std::string& upperExtension) {
  const SourceFormat sniffed = SniffSourceFormat(path);
  return sniffed != SourceFormat::Unknown ? sniffed : FormatOfExtension(upperExtension);
}

}  // namespace murmex
