#pragma once
// Loading a source file: refuses what is no regular file before opening it, reads the source's
// details, opens and checks the decoding stream, describes the source on the info line, builds
// the engine's tables and opens the preview's push stream. The new source replaces the previous
// one only once it has passed every check: a load that fails leaves the loaded source, its info
// line and its commands as they were. The window and the command line both load through it; the
// window only mirrors the state returned here in its controls.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/spectral_engine.h"
#include "source/bass.h"
#include "source/output_defaults.h"
#include "source/source_format.h"
#include "source/source_info.h"
#include "source/source_tags.h"

namespace murmex {

// The texts of the info line under the buttons.
struct InfoLine {
  std::string Label1 = "No file loaded";  // file name or status
  std::string Label1Hint;                 // the whole file name
  std::string Ind1;                       // format
  std::string Ind2;                       // sample rate
  std::string Ind3;                       // channels
  std::string IndRate;                    // bitrate
  bool operator==(const InfoLine&) const = default;
};

// Enabled (white caption) or disabled (silver) after a load. Load, Close and Cancel are not
// touched by a load.
struct LoadButtons {
  bool Save = false;
  bool Play = false;
  bool Stop = false;
  bool ProgressBar2 = false;
  bool operator==(const LoadButtons&) const = default;
};

enum class LoadOutcome {
  Loaded,          // ready for preview and save
  TooManyChannels, // decodable, but neither previewed nor saved; info labels unchanged
  InvalidFile,     // failure A: no regular file, cannot be decoded, length unknown or not 16-bit
  NotLoaded,       // failure B: an exception while loading (typically a format reader)
};

struct LoadResult {
  LoadOutcome Outcome = LoadOutcome::NotLoaded;
  InfoLine Info;
  LoadButtons Buttons;
  std::vector<std::string> Messages;  // message boxes, in the order they appeared
  std::string Reason;                 // NotLoaded: what the reader raised, in its own words
};

class SourceLoader {
 public:
  static constexpr const char* kNoFileLoaded = "No file loaded";
  static constexpr const char* kLoading = "Loading...";
  static constexpr const char* kCouldNotBeLoaded = "File could not be loaded!";
  static constexpr const char* kInvalidAudioFile = "Invalid audio file!";
  static constexpr const char* kOnly16Bits = "Only 16 bits audio supported!";
  static constexpr const char* kPreviewNotSupported = "This file has more than 2 channels. Preview is not supported!";
  static constexpr int kMaxChannels = 2;
  static constexpr int kMaxShownNameCharacters = 60;
  static constexpr int32_t kFullQueueLimit = 22000;  // PreviewQueueLimit at 44100 Hz and above

  SourceLoader(SpectralEngine& engine, OutputDefaults& outputs);
  ~SourceLoader();
  SourceLoader(const SourceLoader&) = delete;
  SourceLoader& operator=(const SourceLoader&) = delete;

  // The load command after the open dialog returned path. Never throws.
  LoadResult Load(const std::filesystem::path& path);
  // A source passed a load and can be previewed and saved.
  bool SourceLoaded() const { return decodeStream_ != 0; }

  // Called where the window lets itself repaint during a load, with the state so far.
  std::function<void(const InfoLine&, const LoadButtons&)> OnRepaint;
  // Called when a message box is due, before the load goes on; the texts also land in
  // LoadResult::Messages.
  std::function<void(const std::string&)> OnMessage;

  const SourceInfo& Info() const { return info_; }
  HSTREAM DecodeStream() const { return decodeStream_; }
  HSTREAM PreviewStream() const { return previewStream_; }
  int32_t PreviewQueueLimit() const { return previewQueueLimit_; }
  SourceTags& Tags() { return tags_; }
  const SourceTags& Tags() const { return tags_; }
  // The name the save dialog proposes: no folder, no extension, safe on any file system.
  std::string SuggestedName() const;
  const InfoLine& CurrentInfoLine() const { return infoLine_; }
  const LoadButtons& CurrentButtons() const { return buttons_; }

  // PreviewQueueLimit for a sample rate: 22000 bytes at 44100 Hz and above, proportionally less below.
  static int32_t QueueLimitFor(int64_t sampleRate);
  // The file name as Label1 shows it: at most 60 characters, then "...".
  static std::string ShownName(const std::string& fileName);
  // The format label of an upper-cased extension ("PCM", "MP3", ..., "???").
  static std::string FormatLabel(const std::string& extension);

 private:
  LoadOutcome LoadSteps(const std::filesystem::path& path, LoadResult& result);
  void FreeStreams();
  static HSTREAM OpenDecodeStream(const std::string& path, SourceFormat format);
  void FailInvalid(const std::string& message, LoadResult& result);
  void FailNotLoaded();
  void DisableCommands();
  void Message(const std::string& text, LoadResult& result);
  void Repaint();

  SpectralEngine& engine_;
  OutputDefaults& outputs_;
  SourceInfo info_;
  SourceTags tags_;
  HSTREAM decodeStream_ = 0;
  HSTREAM previewStream_ = 0;
  int32_t previewQueueLimit_ = 0;
  std::string suggestedName_;
  InfoLine infoLine_;
  LoadButtons buttons_;
};

}  // namespace murmex
