#pragma once

#include <QString>
#include <optional>

#include "engine/processing_options.h"

class QSettings;

namespace murmex {

// Where the window keeps its choices between runs: $XDG_CONFIG_HOME/murmex/murmex.conf.
inline constexpr const char* kSettingsOrganisation = "murmex";
inline constexpr const char* kSettingsApplication = "murmex";

// The window's choices that outlive a run: the method and the save choices of the right-click
// menu, the two sliders, and the output format with its bitrate or VBR quality.
struct RememberedChoices {
  NoiseReductionMethod Method = kDefaultMethod;
  bool LearnNoiseFirst = false;
  bool KeepTiming = false;
  int BiasPosition = kBiasInitialPosition;
  int ReductionPosition = kReductionInitialPosition;
  // As OutputSettings takes them back: the format's extension, the VBR switch, and the value the
  // window shows for the format (kbps, or the quality with VBR on). Empty: the format's own.
  QString Format;
  bool Vbr = false;
  QString OutputValue;
};

// What an earlier run stored. A value that is missing, of the wrong kind or out of range gives
// its default; the output texts are checked by OutputSettings as it takes them.
RememberedChoices ReadChoices(const QSettings& settings);
// Stores `choices` and writes them out; the reason when the file could not be written.
std::optional<QString> WriteChoices(QSettings& settings, const RememberedChoices& choices);

}  // namespace murmex
