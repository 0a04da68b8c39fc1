#pragma once

#include <QProxyStyle>

namespace murmex {

// The application's hint delay: tool tips wake up after the given number of milliseconds.
class HintDelayStyle : public QProxyStyle {
 public:
  explicit HintDelayStyle(int delayMs);
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override;

 private:
  int delayMs_;
};

}  // namespace murmex
