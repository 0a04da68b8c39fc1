#include "app/hint_delay_style.h"

namespace murmex {

HintDelayStyle::HintDelayStyle(int delayMs) : delayMs_(delayMs) {}

int HintDelayStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                              QStyleHintReturn* returnData) const {
  if (hint == QStyle::SH_ToolTip_WakeUpDelay) return delayMs_;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

}  // namespace murmex
