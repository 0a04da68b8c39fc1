#include "app/remembered_choices.h"

#include <QSettings>
#include <string>

namespace murmex {

namespace {

constexpr const char* kMethodKey = "method";
constexpr const char* kLearnNoiseKey = "learn_noise_first";
constexpr const char* kKeepTimingKey = "keep_timing";
constexpr const char* kBiasKey = "noise_bias_level";
constexpr const char* kReductionKey = "reduction_level";
constexpr const char* kFormatKey = "output/format";
constexpr const char* kVbrKey = "output/vbr";
constexpr const char* kOutputValueKey = "output/value";

// An ini file gives every value back as text; QVariant would read "yes" or "2" as true.
bool ReadBool(const QSettings& settings, const char* key, bool fallback) {
  const QString text = settings.value(key).toString();
  if (text == "true") return true;
  if (text == "false") return false;
  return fallback;
}

int ReadInt(const QSettings& settings, const char* key, int lowest, int highest, int fallback) {
  bool whole = false;
  const int value = settings.value(key).toString().toInt(&whole);
  return whole && value >= lowest && value <= highest ? value : fallback;
}

}  // namespace

RememberedChoices ReadChoices(const QSettings& settings) {
  RememberedChoices choices;
  const std::string method = settings.value(kMethodKey).toString().toStdString();
  choices.Method = MethodFromName(method).value_or(choices.Method);
  choices.LearnNoiseFirst = ReadBool(settings, kLearnNoiseKey, choices.LearnNoiseFirst);
  choices.KeepTiming = ReadBool(settings, kKeepTimingKey, choices.KeepTiming);
  choices.BiasPosition = ReadInt(settings, kBiasKey, kBiasMinPosition, kBiasMaxPosition, choices.BiasPosition);
  choices.ReductionPosition =
      ReadInt(settings, kReductionKey, kReductionMinPosition, kReductionMaxPosition, choices.ReductionPosition);
  choices.Format = settings.value(kFormatKey).toString();
  choices.Vbr = ReadBool(settings, kVbrKey, choices.Vbr);
  choices.OutputValue = settings.value(kOutputValueKey).toString();
  return choices;
}

std::optional<QString> WriteChoices(QSettings& settings, const RememberedChoices& choices) {
  settings.setValue(kMethodKey, QString::fromStdString(std::string(MethodName(choices.Method))));
  settings.setValue(kLearnNoiseKey, choices.LearnNoiseFirst);
  settings.setValue(kKeepTimingKey, choices.KeepTiming);
  settings.setValue(kBiasKey, choices.BiasPosition);
  settings.setValue(kReductionKey, choices.ReductionPosition);
  settings.setValue(kFormatKey, choices.Format);
  settings.setValue(kVbrKey, choices.Vbr);
  settings.setValue(kOutputValueKey, choices.OutputValue);
  settings.sync();
  switch (settings.status()) {
    case QSettings::NoError: return std::nullopt;
    case QSettings::AccessError: return "cannot write " + settings.fileName();
    case QSettings::FormatError: break;
  }
  return settings.fileName() + " is not a settings file it can rewrite";
}

}  // namespace murmex
