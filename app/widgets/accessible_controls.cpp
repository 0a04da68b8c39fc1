#include "app/widgets/accessible_controls.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/image_button.h"
#include "app/widgets/image_view.h"
#include "app/widgets/led.h"
#include "app/widgets/skin_label.h"
#include "app/widgets/smooth_progress_bar.h"

namespace murmex {

namespace {

class AccessibleButton : public QAccessibleWidget {
 public:
  explicit AccessibleButton(TImageButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

  QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

  void doAction(const QString& action) override {
    if (action == pressAction())
      static_cast<TImageButton*>(widget())->Press();
    else
      QAccessibleWidget::doAction(action);
  }
};

class AccessibleCheckBox : public QAccessibleWidget {
 public:
  explicit AccessibleCheckBox(TBitmapCheckBox* box) : QAccessibleWidget(box, QAccessible::CheckBox) {}

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.checkable = true;
    state.checked = Box()->Checked();
    return state;
  }

  QStringList actionNames() const override { return QStringList{toggleAction()} + QAccessibleWidget::actionNames(); }

  void doAction(const QString& action) override {
    if (action != toggleAction()) {
      QAccessibleWidget::doAction(action);
      return;
    }
    if (Box()->isEnabled()) Box()->SetChecked(!Box()->Checked());
  }

 private:
  TBitmapCheckBox* Box() const { return static_cast<TBitmapCheckBox*>(widget()); }
};

// A seekable bar is a slider to its user; the others only report progress.
class AccessibleBar : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit AccessibleBar(TSmoothProgressBar* bar) : QAccessibleWidget(bar) {}

  QAccessible::Role role() const override {
    return Bar()->focusPolicy() == Qt::NoFocus ? QAccessible::ProgressBar : QAccessible::Slider;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) {
      const double maximum = Bar()->Maximum();
      return QString::asprintf("%.0f%%", maximum > 0 ? Bar()->Position() * 100.0 / maximum : 0.0);
    }
    return QAccessibleWidget::text(t);
  }

  QVariant currentValue() const override { return Bar()->Position(); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return Bar()->Maximum(); }
  QVariant minimumValue() const override { return 0.0; }
  QVariant minimumStepSize() const override { return 0.0; }

 private:
  TSmoothProgressBar* Bar() const { return static_cast<TSmoothProgressBar*>(widget()); }
};

class AccessibleSkinLabel : public QAccessibleWidget {
 public:
  explicit AccessibleSkinLabel(TSkinLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
      return static_cast<TSkinLabel*>(widget())->Text();
    return QAccessibleWidget::text(t);
  }
};

class AccessibleLed : public QAccessibleWidget {
 public:
  explicit AccessibleLed(TLed* led) : QAccessibleWidget(led, QAccessible::Indicator) {}

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.checked = static_cast<TLed*>(widget())->IsOn();
    return state;
  }
};

QAccessibleInterface* CreateAccessible(const QString& className, QObject* object) {
  if (className == TImageButton::staticMetaObject.className())
    return new AccessibleButton(static_cast<TImageButton*>(object));
  if (className == TBitmapCheckBox::staticMetaObject.className())
    return new AccessibleCheckBox(static_cast<TBitmapCheckBox*>(object));
  if (className == TSmoothProgressBar::staticMetaObject.className())
    return new AccessibleBar(static_cast<TSmoothProgressBar*>(object));
  if (className == TSkinLabel::staticMetaObject.className())
    return new AccessibleSkinLabel(static_cast<TSkinLabel*>(object));
  if (className == TLed::staticMetaObject.className()) return new AccessibleLed(static_cast<TLed*>(object));
  if (className == TImageView::staticMetaObject.className())
    return new QAccessibleWidget(static_cast<TImageView*>(object), QAccessible::Graphic);
  return nullptr;
}

}  // namespace

void InstallAccessibleControls() {
  static const bool installed = [] {
    QAccessible::installFactory(CreateAccessible);
    return true;
  }();
  (void)installed;
}

}  // namespace murmex
