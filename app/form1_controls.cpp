// The form's controls: their places, sizes, captions, hints, initial states, the names assistive
// tools read out, and the order Tab visits them in.
#include <QLabel>
#include <utility>
#include <vector>

#include "app/artwork.h"
#include "app/form1.h"
#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/gradient_bar.h"
#include "app/widgets/image_button.h"
#include "app/widgets/image_view.h"
#include "app/widgets/led.h"
#include "app/widgets/skin.h"
#include "app/widgets/skin_label.h"
#include "app/widgets/smooth_progress_bar.h"
#include "app/widgets/track_bar.h"
#include "engine/processing_options.h"

namespace murmex {
namespace {

// The least room between a caption and the value label after it, so the two read as two words.
constexpr int kCaptionGap = 4;

QWidget* BlackPanel(QWidget* parent, int left, int top, int width, int height) {
  auto* panel = new QWidget(parent);
  panel->setGeometry(left, top, width, height);
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, Qt::black);
  panel->setPalette(palette);
  return panel;
}

TImageButton* CommandButton(QWidget* parent, const QRect& place, const QString& caption, const QString& hint) {
  auto* button = new TImageButton(parent);
  button->setGeometry(place);
  button->SetCaption(caption);
  button->setToolTip(hint);
  button->setAccessibleName(caption);
  return button;
}

// A button without a caption is named by what it does.
TImageButton* GlyphButton(QWidget* parent, const QRect& place, skin::Glyph glyph, const QString& hint,
                          const QString& name) {
  auto* button = new TImageButton(parent, glyph);
  button->setGeometry(place);
  button->setToolTip(hint);
  button->setAccessibleName(name);
  return button;
}

TSkinLabel* SkinLabel(QWidget* parent, int left, int top, const QString& text) {
  auto* label = new TSkinLabel(parent);
  label->move(left, top);
  label->SetText(text);
  return label;
}

QLabel* WhiteLabel(QWidget* parent, int left, int top, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setFont(skin::FormFont(11));
  label->setStyleSheet("color: rgb(255, 255, 255);");
  label->move(left, top);
  label->adjustSize();
  return label;
}

TBitmapCheckBox* CheckBox(QWidget* parent, const QRect& place, const QString& caption, const QString& hint,
                          bool checked) {
  auto* box = new TBitmapCheckBox(caption, parent);
  box->setGeometry(place);
  box->setToolTip(hint);
  box->setAccessibleName(caption);
  box->SetChecked(checked);
  return box;
}

TTrackBar* TrackBar(QWidget* parent, const QRect& place, int minimum, int maximum, int position, int pageStep,
                    const QString& name) {
  auto* bar = new TTrackBar(parent);
  bar->setGeometry(place);
  bar->setRange(minimum, maximum);
  bar->setValue(position);
  bar->setPageStep(pageStep);
  bar->setAccessibleName(name);
  return bar;
}

// The caption's name without its colon: "Reduction level:" names the slider "Reduction level".
QString NameFrom(const QLabel* caption) {
  QString name = caption->text();
  if (name.endsWith(':')) name.chop(1);
  return name;
}

}  // namespace

void TForm1::CreateControls() {
  Image1 = new TImageView(this);
  Image1->setGeometry(4, 6, 32, 32);
  Image1->SetImage(DrawProgramIcon(32));
  Image1->setAccessibleName("Murmex");

  VrHotImage4 = GlyphButton(this, {324, -1, 28, 19}, skin::Glyph::Minimize, "Minimize", "Minimize");
  VrHotImage3 = GlyphButton(this, {351, -1, 49, 20}, skin::Glyph::Close, "Close", "Close");
  SpeedButton1 = CommandButton(this, {8, 40, 105, 39}, "Load file", "Load file to process it");
  SpeedButton2 = CommandButton(this, {120, 40, 169, 39}, "Save to file", "Save clean audio to new file");
  SpeedButton3 = CommandButton(this, {296, 40, 105, 39}, "Close", "Close Murmex");

  Panel1 = BlackPanel(this, 8, 88, 393, 49);
  Ind1 = SkinLabel(Panel1, 8, 0, "");
  Ind2 = SkinLabel(Panel1, 56, 0, "");
  Ind3 = SkinLabel(Panel1, 128, 0, "");
  Ind4 = SkinLabel(Panel1, 182, 0, "");
  IndRate = SkinLabel(Panel1, 322, 0, "");
  Label1 = WhiteLabel(Panel1, 16, 24, "No file loaded");

  Panel3 = BlackPanel(this, 8, 144, 393, 161);
  PaintBox1 = BlackPanel(Panel3, 32, 8, 345, 89);
  Image2 = new TImageView(Panel3);
  Image2->setGeometry(32, 8, 353, 89);
  Image2->setAccessibleName("Spectrum");
  VrGradient3 = new TGradientBar(Qt::blue, Qt::red, Qt::Vertical, Panel3);
  VrGradient3->setGeometry(22, 6, 1, 94);
  VrGradient2 = new TGradientBar(Qt::blue, Qt::red, Qt::Horizontal, Panel3);
  VrGradient2->setGeometry(25, 100, 362, 1);
  VrLabel2 = SkinLabel(Panel3, 8, 7, "E");
  VrLabel1 = SkinLabel(Panel3, 320, 106, "Frequency");
  Spectra1 = CheckBox(Panel3, {5, 106, 140, 17}, "Preview spectrum view", "", true);
  CheckBox4 = CheckBox(Panel3, {5, 122, 140, 17}, "Stop noise estimation", "Use noise print", false);
  CheckBox5 = CheckBox(Panel3, {5, 138, 140, 17}, "Capture minima", "Capture and use minimum noise spectrum", false);

  Panel2 = BlackPanel(this, 8, 312, 393, 41);
  SpeedButton4 = CommandButton(Panel2, {24, 8, 49, 25}, "Play", "");
  SpeedButton5 = CommandButton(Panel2, {80, 8, 49, 25}, "Stop", "");
  CheckBox1 = CheckBox(Panel2, {184, 16, 177, 17}, "Apply preview noise reduction", "Enable noise reduction in preview",
                       false);
  LabelMethod = WhiteLabel(Panel2, 186, 1, "");
  LabelMethod->setToolTip("Click to change the method (or right-click the window)");

  ProgressBar2 = new TSmoothProgressBar(this);
  ProgressBar2->setGeometry(8, 357, 393, 9);
  ProgressBar2->SetMaximum(1000);
  ProgressBar2->setEnabled(false);
  ProgressBar2->SetSeekable(true);
  ProgressBar2->setAccessibleName("Preview position");

  Led1 = new TLed(skin::kMaroon, skin::kRed, this);
  Led1->setGeometry(4, 375, 17, 17);
  Led1->setAccessibleName("Noise reduction active");
  Label2 = WhiteLabel(this, 24, 376, "Noise bias level:");
  Label4 = WhiteLabel(this, 104, 376, "0 dB");
  Label7 = WhiteLabel(this, 208, 376, "Reduction level:");
  Label8 = WhiteLabel(this, 288, 376, "100%");
  // Page Up/Down move a tenth of the way; the arrows move the bias by 1 dB, the reduction by 10.
  NoiseLevel1 = TrackBar(this, {8, 392, 193, 25}, kBiasMinPosition, kBiasMaxPosition, kBiasInitialPosition, 4,
                         NameFrom(Label2));
  att1 = TrackBar(this, {198, 392, 195, 25}, kReductionMinPosition, kReductionMaxPosition, kReductionInitialPosition,
                  100, NameFrom(Label7));
  att1->setSingleStep(10);
  // A slider's position reads as its value label does, not as the raw position.
  NoiseLevel1->setAccessibleDescription(Label4->text());
  att1->setAccessibleDescription(Label8->text());

  CheckBox3 = CheckBox(this, {5, 423, 124, 17}, "DC Offset correction", "Enable DC Offset correction", false);
  DCMeter1 = BlackPanel(this, 136, 426, 49, 15);
  PaintBox2 = new TImageView(DCMeter1);
  PaintBox2->setGeometry(1, 3, 46, 9);
  PaintBox2->setAccessibleName("DC offset meter");
  CheckBox2 = CheckBox(this, {5, 440, 132, 17}, "Fourier detail amplifier", "Enable high frequency harmonic enhancement",
                       false);

  Label5 = WhiteLabel(this, 208, 426, "Output format:");
  labelFormat = SkinLabel(this, 288, 424, "WAV");
  app_format =
      GlyphButton(this, {320, 425, 17, 17}, skin::Glyph::Cycle, "Click to change output format", NameFrom(Label5));
  Label6 = WhiteLabel(this, 208, 442, "Output kbps:");
  labelKbps = SkinLabel(this, 288, 440, "1411");
  // Its hint tells when the chosen bitrate cannot be written as chosen.
  labelKbps->setAttribute(Qt::WA_TransparentForMouseEvents, false);
  app_rate = GlyphButton(this, {320, 441, 17, 17}, skin::Glyph::Cycle, "Click to change output bitrate/quality",
                         NameFrom(Label6));
  vbr_check = CheckBox(this, {349, 440, 52, 17}, "VBR", "Enable variable bitrate for selected format", false);

  SpeedButton6 = CommandButton(this, {8, 465, 57, 19}, "Cancel", "Cancel current operation");
  ProgressBar1 = new TSmoothProgressBar(this);
  ProgressBar1->setGeometry(72, 465, 329, 20);
  ProgressBar1->SetMaximum(100);
  ProgressBar1->SetShowValue(true);
  ProgressBar1->setAccessibleName("Save progress");

  // A press on a control belongs to that control; only the window's bare parts start a drag.
  for (QWidget* control : findChildren<QWidget*>()) {
    if (control != Panel1 && control != Panel2 && control != Panel3 && control != PaintBox1)
      control->setAttribute(Qt::WA_NoMousePropagation);
  }
  Label1->installEventFilter(this);
  LabelMethod->installEventFilter(this);
  FitCaptions();
  OrderTabStops();
}

void TForm1::OrderTabStops() {
  // Reading order: along each row from the left, rows from the top.
  const std::vector<QWidget*> order = {VrHotImage4, VrHotImage3, SpeedButton1, SpeedButton2, SpeedButton3,
                                       Spectra1,    CheckBox4,   CheckBox5,    SpeedButton4, SpeedButton5,
                                       CheckBox1,   ProgressBar2, NoiseLevel1, att1,         CheckBox3,
                                       app_format,  CheckBox2,   app_rate,     vbr_check,    SpeedButton6};
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm1::FitCaptions() {
  const std::vector<std::pair<QLabel*, const QWidget*>> pairs = {
      {Label2, Label4}, {Label7, Label8}, {Label5, labelFormat}, {Label6, labelKbps}};
  for (const auto& [caption, value] : pairs) {
    caption->setFont(skin::FitToWidth(skin::FormFont(11), caption->text(), value->x() - caption->x() - kCaptionGap));
    caption->adjustSize();
  }
  app_rate->setAccessibleName(NameFrom(Label6));
}

}  // namespace murmex
