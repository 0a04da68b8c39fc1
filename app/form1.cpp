#include "app/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "app/artwork.h"
#include "app/dialog_start_folder.h"
#include "app/hint_delay_style.h"
#include "app/local_file_path.h"
#include "app/options_menu.h"
#include "app/queue_drainer.h"
#include "app/remembered_choices.h"
#include "app/window_preview_display.h"
#include "app/widgets/accessible_controls.h"
#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/image_button.h"
#include "app/widgets/image_view.h"
#include "app/widgets/led.h"
#include "app/widgets/skin.h"
#include "app/widgets/skin_label.h"
#include "app/widgets/smooth_progress_bar.h"
#include "app/widgets/track_bar.h"
#include "engine/channel_worker.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "source/decode_block_source.h"
#include "export/export_driver.h"
#include "export/export_writers.h"
#include "export/output_bitrate_note.h"
#include "pipeline/main_thread_queue.h"
#include "source/bass.h"
#include "source/preview_display.h"
#include "source/preview_player.h"
#include "source/source_loader.h"

namespace murmex {

namespace {
constexpr int kClientWidth = 409;
constexpr int kClientHeight = 497;
constexpr int kCornerEllipse = 15;
constexpr int kHintDelayMs = 300;
constexpr auto kTeardownWait = std::chrono::milliseconds(300);
constexpr auto kCloseRetry = std::chrono::milliseconds(20);
constexpr int kSavedNoteMs = 4000;

// The hint with the keys that do the same: "Load file to process it (Ctrl+O)".
QString WithKeys(const QString& hint, const QList<QKeySequence>& keys) {
  QStringList names;
  for (const QKeySequence& key : keys) names << key.toString(QKeySequence::NativeText);
  return hint + " (" + names.join(", ") + ")";
}
}  // namespace

TForm1::TForm1(ProcessingOptions& options, SpectralEngine& engine, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      options_(options),
      engine_(engine),
      dialogs_(dialogs),
      drainer_(std::make_unique<QueueDrainer>()) {
  InstallAccessibleControls();
  setWindowTitle(kApplicationTitle);
  setWindowIcon(QIcon(QPixmap::fromImage(DrawProgramIcon(64))));
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);
  setFont(skin::FormFont(11));
  setAcceptDrops(true);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  CreateControls();
  ConnectControls();
  CreateShortcuts();
  CreateOptionsMenu();
  FormCreate();
  ApplyRememberedChoices();
  // The window keeps the focus until Tab moves it to a control, so that Space is Play/Stop for
  // whoever has not started working the controls from the keyboard; a click on a bare part of
  // the window brings it back there.
  setFocusPolicy(Qt::ClickFocus);
  setFocus();
  savedNoteTimer_ = new QTimer(this);
  savedNoteTimer_->setSingleShot(true);
  connect(savedNoteTimer_, &QTimer::timeout, this, &TForm1::ClearSavedNote);
}

TForm1::~TForm1() {
  if (!closed_) FormClose();
}

void TForm1::FormCreate() {
  QPainterPath outline;
  outline.addRoundedRect(QRectF(0, 0, kClientWidth, kClientHeight), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
  setMask(QRegion(outline.toFillPolygon().toPolygon()));

  if (BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
    audioStarted_ = true;
    BASS_Start();
  } else {
    ShowMessage("Bass DLL config problem!");
  }

  engine_.ClearEngineReady();
  SpeedButton2->SetCaptionColor(skin::kCaptionSilver);
  SpeedButton4->SetCaptionColor(skin::kCaptionSilver);
  SpeedButton5->SetCaptionColor(skin::kCaptionSilver);
  SpeedButton6->SetCaptionColor(skin::kCaptionSilver);
  QApplication::setStyle(new HintDelayStyle(kHintDelayMs));

  const QCursor cursor99 = MakeProgramCursor();
  app_format->setCursor(cursor99);
  app_rate->setCursor(cursor99);

  loader_ = std::make_unique<SourceLoader>(engine_, settings_);
  loader_->OnRepaint = [this](const InfoLine& info, const LoadButtons& buttons) {
    ShowInfoLine(info);
    ShowLoadButtons(buttons);
    repaint();
  };
  writers_ = std::make_unique<ExportWriters>();
  export_ = std::make_unique<ExportDriver>(ExportDriver::Parts{engine_, settings_, *writers_, loader_->Tags(), *this});
  export_->SetChannelThreads(ChannelWorker::UsableCores() > 1 ? 2 : 1);
  previewDisplay_ = std::make_unique<WindowPreviewDisplay>(*this, engine_);
  player_ = std::make_unique<PreviewPlayer>(engine_, *previewDisplay_);

  previewDisplay_->ResetDcMeter();
  ProgressBar2->setEnabled(false);

  options_.BiasFactor = BiasFactorFor(NoiseLevel1->value());
  options_.ReductionFactor = ReductionFactorFor(att1->value());
}

void TForm1::FormClose() {
  closed_ = true;
  RememberChoices();
  if (player_->Running()) {
    player_->Terminate();
    // The preview thread may be waiting on this thread for a display change: keep serving the
    // queue while it leaves its loop, so the library is never released under it.
    const auto deadline = std::chrono::steady_clock::now() + kTeardownWait;
    while (player_->Running() && std::chrono::steady_clock::now() < deadline)
      MainThreadQueue::Instance().WaitAndDrain(std::chrono::milliseconds(10));
  }
  player_.reset();
  if (engine_.EngineReady()) engine_.ReleasePlans();
  previewBlocks_.reset();
  loader_.reset();
  if (audioStarted_) BASS_Free();
  audioStarted_ = false;
  export_.reset();
  writers_.reset();
}

void TForm1::ConnectControls() {
  connect(SpeedButton1, &TImageButton::clicked, this, &TForm1::SpeedButton1Click);
  connect(SpeedButton2, &TImageButton::clicked, this, &TForm1::SpeedButton2Click);
  connect(SpeedButton3, &TImageButton::clicked, this, &TForm1::SpeedButton3Click);
  connect(SpeedButton4, &TImageButton::clicked, this, &TForm1::SpeedButton4Click);
  connect(SpeedButton5, &TImageButton::clicked, this, &TForm1::SpeedButton5Click);
  connect(SpeedButton6, &TImageButton::clicked, this, &TForm1::SpeedButton6Click);
  connect(SpeedButton1, &TImageButton::captionColorChanged, this, &TForm1::SpeedButton1FontChanged);
  connect(SpeedButton2, &TImageButton::captionColorChanged, this, &TForm1::SpeedButton2FontChanged);
  connect(SpeedButton3, &TImageButton::captionColorChanged, this, &TForm1::SpeedButton3FontChanged);
  connect(SpeedButton4, &TImageButton::captionColorChanged, this, &TForm1::SpeedButton4FontChanged);
  connect(SpeedButton5, &TImageButton::captionColorChanged, this, &TForm1::SpeedButton5FontChanged);
  connect(SpeedButton6, &TImageButton::captionColorChanged, this, &TForm1::SpeedButton6FontChanged);
  connect(VrHotImage3, &TImageButton::clicked, this, &TForm1::VrHotImage3Click);
  connect(VrHotImage4, &TImageButton::clicked, this, &TForm1::VrHotImage4Click);
  connect(app_format, &TImageButton::clicked, this, &TForm1::app_formClick);
  connect(app_rate, &TImageButton::clicked, this, &TForm1::app_rateClick);
  connect(vbr_check, &TBitmapCheckBox::changed, this, &TForm1::vbr_checkChange);
  connect(NoiseLevel1, &TTrackBar::valueChanged, this, &TForm1::NoiseLevel1Change);
  connect(att1, &TTrackBar::valueChanged, this, &TForm1::att1Change);
  connect(ProgressBar2, &TSmoothProgressBar::mouseUp, this, &TForm1::ProgressBar2MouseUp);
  connect(ProgressBar2, &TSmoothProgressBar::keySeek, this, &TForm1::ProgressBar2MouseUp);
  connect(CheckBox1, &TBitmapCheckBox::changed, this, [this](bool on) { options_.ApplyPreviewReduction = on; });
  connect(CheckBox2, &TBitmapCheckBox::changed, this, [this](bool on) { options_.DetailAmplifier = on; });
  connect(CheckBox3, &TBitmapCheckBox::changed, this, [this](bool on) { options_.DcOffsetCorrection = on; });
  connect(CheckBox4, &TBitmapCheckBox::changed, this, [this](bool on) { options_.StopNoiseEstimation = on; });
  connect(CheckBox5, &TBitmapCheckBox::changed, this, [this](bool on) { options_.CaptureMinima = on; });
  connect(Spectra1, &TBitmapCheckBox::changed, this, [this](bool on) { previewDisplay_->Spectra1Change(on); });
}

void TForm1::CreateShortcuts() {
  // A key runs the first of its commands whose button is enabled, as a click would; none when
  // all are off.
  using Command = std::pair<TImageButton*, void (TForm1::*)()>;
  const auto bind = [this](const QKeySequence& keys, const std::vector<Command>& commands) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, commands] {
      for (const auto& [button, handler] : commands) {
        if (CommandEnabled(button)) {
          (this->*handler)();
          return;
        }
      }
    });
  };
  const QKeySequence space(Qt::Key_Space);
  const QKeySequence escape(Qt::Key_Escape);
  const QKeySequence open(QKeySequence::Open);
  const QKeySequence save(QKeySequence::Save);
  // Not every platform theme binds QKeySequence::Quit.
  const QKeySequence quit(Qt::CTRL | Qt::Key_Q);
  bind(space, {{SpeedButton4, &TForm1::SpeedButton4Click}, {SpeedButton5, &TForm1::SpeedButton5Click}});
  bind(open, {{SpeedButton1, &TForm1::SpeedButton1Click}});
  bind(save, {{SpeedButton2, &TForm1::SpeedButton2Click}});
  bind(escape, {{SpeedButton6, &TForm1::SpeedButton6Click}, {SpeedButton5, &TForm1::SpeedButton5Click}});
  bind(quit, {{SpeedButton3, &TForm1::SpeedButton3Click}});
  SpeedButton1->setToolTip(WithKeys(SpeedButton1->toolTip(), {open}));
  SpeedButton2->setToolTip(WithKeys(SpeedButton2->toolTip(), {save}));
  SpeedButton3->setToolTip(WithKeys(SpeedButton3->toolTip(), {quit}));
  SpeedButton4->setToolTip(WithKeys(SpeedButton4->Caption(), {space}));
  SpeedButton5->setToolTip(WithKeys(SpeedButton5->Caption(), {space, escape}));
  SpeedButton6->setToolTip(WithKeys(SpeedButton6->toolTip(), {escape}));
}

void TForm1::CreateOptionsMenu() {
  OptionsMenu1 = new OptionsMenu(this);
  OptionsMenu1->OnMethodChosen = [this](NoiseReductionMethod method) { ChooseMethod(method); };
  OptionsMenu1->OnLearnNoiseChanged = [this](bool on) { SetLearnNoiseFirst(on); };
  OptionsMenu1->OnKeepTimingChanged = [this](bool on) { SetKeepTiming(on); };
  // Every control asks for the menu itself: presses on controls do not reach the window.
  std::vector<QWidget*> surfaces{this};
  for (QWidget* control : findChildren<QWidget*>())
    if (control != OptionsMenu1) surfaces.push_back(control);
  for (QWidget* surface : surfaces) {
    surface->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(surface, &QWidget::customContextMenuRequested, this,
            [this, surface](const QPoint& position) { ShowOptionsMenu(surface, position); });
  }
}

void TForm1::ShowOptionsMenu(QWidget* origin, const QPoint& position) {
  OptionsMenu1->popup(origin->mapToGlobal(position));
}

bool TForm1::CommandEnabled(const TImageButton* button) const { return button->isEnabled(); }

bool TForm1::Exporting() const { return export_ && export_->Exporting(); }

void TForm1::ApplyCaptionColourRule(TImageButton& button, const QColor& color) {
  if (color == skin::kCaptionWhite)
    button.setEnabled(true);
  else if (color == skin::kCaptionSilver)
    button.setEnabled(false);
}

void TForm1::SpeedButton1FontChanged(const QColor& color) { ApplyCaptionColourRule(*SpeedButton1, color); }
void TForm1::SpeedButton2FontChanged(const QColor& color) { ApplyCaptionColourRule(*SpeedButton2, color); }
void TForm1::SpeedButton3FontChanged(const QColor& color) { ApplyCaptionColourRule(*SpeedButton3, color); }
void TForm1::SpeedButton4FontChanged(const QColor& color) { ApplyCaptionColourRule(*SpeedButton4, color); }
void TForm1::SpeedButton5FontChanged(const QColor& color) { ApplyCaptionColourRule(*SpeedButton5, color); }
void TForm1::SpeedButton6FontChanged(const QColor& color) { ApplyCaptionColourRule(*SpeedButton6, color); }

void TForm1::ShowMessage(const std::string& text) {
  dialogs_.ShowMessage(text, kApplicationTitle, MessageIcon::None, MessageButtons::Ok);
}

// ---- Window chrome -------------------------------------------------------------------------

// Both Close controls close as any other request does: a running save is cancelled first (see
// closeEvent).
void TForm1::SpeedButton3Click() { close(); }

void TForm1::VrHotImage3Click() { close(); }

void TForm1::VrHotImage4Click() { showMinimized(); }

void TForm1::RequestClose() {
  closingUnattended_ = true;
  closeAfterSave_ = true;
  // A dialog waits for an answer nobody will give now; its caller then carries on as if cancelled.
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* dialog = qobject_cast<QDialog*>(modal))
    dialog->reject();
  else if (modal != nullptr)
    modal->close();
  if (Exporting()) {
    // LeaveExportState comes back here once the writer has finished the shortened file.
    SpeedButton6Click();
    return;
  }
  // Inside a dialog's own event loop the code that opened it still has to return; closing under
  // it would take the loader and the save away from it.
  if (modal != nullptr || QThread::currentThread()->loopLevel() > 1) {
    QTimer::singleShot(kCloseRetry, this, &TForm1::RequestClose);
    return;
  }
  SpeedButton3Click();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Whatever asks to close (a Close control, Ctrl+Q, the window manager), a running save is
  // cancelled, and the window stays until its writer has finished the shorter file, which stays
  // valid under its name: LeaveExportState closes it then. The event loop runs on meanwhile.
  if (Exporting()) {
    closeAfterSave_ = true;
    export_->Cancel();
    event->ignore();
    return;
  }
  if (!closed_) FormClose();
  event->accept();
}

void TForm1::mousePressEvent(QMouseEvent*) { FormMouseDown(); }

void TForm1::FormMouseDown() {
  if (QWindow* window = windowHandle()) window->startSystemMove();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LabelMethod && event->type() == QEvent::MouseButtonPress) {
    ShowOptionsMenu(LabelMethod, static_cast<QMouseEvent*>(event)->position().toPoint());
    return true;
  }
  if (watched == Label1) {
    if (event->type() == QEvent::Enter) Label1MouseEnter();
    if (event->type() == QEvent::Leave) Label1MouseLeave();
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::Label1MouseEnter() { Label1->setStyleSheet("color: rgb(128, 128, 128);"); }

void TForm1::Label1MouseLeave() { Label1->setStyleSheet("color: rgb(255, 255, 255);"); }

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (CommandEnabled(SpeedButton1) && data->hasUrls() && data->urls().size() == 1 && data->urls().first().isLocalFile())
    event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!CommandEnabled(SpeedButton1) || urls.size() != 1 || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  if (const std::optional<std::string> path = LocalPathOfUrl(urls.first())) LoadFile(*path);
}

// ---- Load ----------------------------------------------------------------------------------

void TForm1::SpeedButton1Click() {
  FileDialogRequest request;
  request.title = "Select audio file";
  request.filter =
      "Supported audio files (wav, ogg, wma, mp3, flac)|*.wav;*.mp3;*.ogg;*.wma;*.flac|Wave audio (*.wav)|*.wav|"
      "OggVorbis audio (*.ogg)|*.ogg|MP3 audio (*.mp3)|*.mp3|Windows Media Audio (*.wma)|*.wma|"
      "FLAC audio (*.flac)|*.flac";
  request.initialFolder = DialogStartFolder(loader_->Info().LastDirectory);
  if (const std::optional<std::string> chosen = dialogs_.OpenFile(request)) LoadFile(*chosen);
}

void TForm1::LoadFile(const std::string& path) {
  // The preview reads the decoding stream through this source; the load replaces the stream.
  previewBlocks_.reset();
  const LoadResult result = loader_->Load(std::filesystem::path(path));
  previewBlocks_ = std::make_unique<DecodeBlockSource>(loader_->DecodeStream());
  ShowInfoLine(result.Info);
  ShowLoadButtons(result.Buttons);
  ShowOutputSettings();
  repaint();
  // The messages come once the window shows what the load left, not the previous file's labels
  // under a box that says the new one failed.
  // Each box names the file it is about: the info line may still show the one that stays loaded.
  const std::string name = std::filesystem::path(path).filename().string();
  for (const std::string& message : result.Messages) ShowMessage(name + ": " + message);
  if (result.Outcome == LoadOutcome::NotLoaded)
    ShowMessage(name + ": " + SourceLoader::kCouldNotBeLoaded + (result.Reason.empty() ? "" : " " + result.Reason));
}

void TForm1::ShowInfoLine(const InfoLine& info) {
  Label1->setText(QString::fromStdString(info.Label1));
  Label1->adjustSize();
  Label1->setToolTip(QString::fromStdString(info.Label1Hint));
  Ind1->SetText(QString::fromStdString(info.Ind1));
  Ind2->SetText(QString::fromStdString(info.Ind2));
  Ind3->SetText(QString::fromStdString(info.Ind3));
  IndRate->SetText(QString::fromStdString(info.IndRate));
}

void TForm1::SetCommand(TImageButton& button, bool enabled) {
  button.SetCaptionColor(enabled ? skin::kCaptionWhite : skin::kCaptionSilver);
}

void TForm1::ShowLoadButtons(const LoadButtons& buttons) {
  SetCommand(*SpeedButton2, buttons.Save);
  SetCommand(*SpeedButton4, buttons.Play);
  SetCommand(*SpeedButton5, buttons.Stop);
  ProgressBar2->setEnabled(buttons.ProgressBar2);
}

// ---- Sliders and output settings -----------------------------------------------------------

void TForm1::NoiseLevel1Change(int position) {
  const BiasCaption caption = SetBiasPosition(position, options_);
  Label4->setText(QString::fromStdString(caption.Text));
  Label4->setStyleSheet(QString("color: rgb(%1, %2, %3);")
                            .arg(caption.Colour.Red)
                            .arg(caption.Colour.Green)
                            .arg(caption.Colour.Blue));
  Label4->adjustSize();
  NoiseLevel1->setAccessibleDescription(Label4->text());
}

void TForm1::att1Change(int position) {
  Label8->setText(QString::fromStdString(SetReductionPosition(position, options_)));
  Label8->adjustSize();
  att1->setAccessibleDescription(Label8->text());
}

void TForm1::ChooseMethod(NoiseReductionMethod method) {
  options_.Method = method;
  OptionsMenu1->ShowMethod(method);
  CheckBox1->setToolTip(PreviewSwitchHint(method));
  LabelMethod->setText(MethodCaption(method));
  LabelMethod->adjustSize();
  LabelMethod->setAccessibleName(LabelMethod->text());
}

void TForm1::SetLearnNoiseFirst(bool on) {
  SaveMode mode = export_->Mode();
  mode.LearnNoiseFirst = on;
  export_->SetSaveMode(mode);
}

void TForm1::SetKeepTiming(bool on) {
  SaveMode mode = export_->Mode();
  mode.Aligned = on;
  export_->SetSaveMode(mode);
}

void TForm1::ApplyRememberedChoices() {
  const RememberedChoices choices = ReadChoices(QSettings(kSettingsOrganisation, kSettingsApplication));
  ChooseMethod(choices.Method);
  // The entries report their change, which sets the save mode.
  OptionsMenu1->LearnNoise->setChecked(choices.LearnNoiseFirst);
  OptionsMenu1->KeepTiming->setChecked(choices.KeepTiming);
  NoiseLevel1->setValue(choices.BiasPosition);
  att1->setValue(choices.ReductionPosition);
  // The output settings refuse a format or value they do not offer and keep their own.
  settings_.SelectFormat(choices.Format.toStdString());
  vbr_check->SetChecked(choices.Vbr);
  if (choices.Vbr)
    settings_.SetQuality(choices.OutputValue.toInt());
  else
    settings_.SetKbps(choices.OutputValue.toStdString());
  ShowOutputSettings();
}

void TForm1::RememberChoices() {
  RememberedChoices choices;
  choices.Method = options_.Method;
  choices.LearnNoiseFirst = export_->Mode().LearnNoiseFirst;
  choices.KeepTiming = export_->Mode().Aligned;
  choices.BiasPosition = NoiseLevel1->value();
  choices.ReductionPosition = att1->value();
  choices.Format = QString::fromStdString(settings_.FormatExtension());
  choices.Vbr = settings_.vbr_check();
  choices.OutputValue = QString::fromStdString(settings_.labelKbps());
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  if (const std::optional<QString> error = WriteChoices(settings, choices))
    std::fprintf(stderr, "murmex: the window's choices are not kept for the next run: %s\n", qPrintable(*error));
}

void TForm1::ShowOutputSettings() {
  labelFormat->SetText(QString::fromStdString(settings_.labelFormat()));
  labelKbps->SetText(QString::fromStdString(settings_.labelKbps()));
  Label6->setText(QString::fromStdString(settings_.Label6()));
  FitCaptions();
  const QString note = QString::fromStdString(OutputBitrateNote(settings_, loader_->Info().SampleRate).value_or(""));
  labelKbps->setToolTip(note);
  labelKbps->setAccessibleDescription(note);
}

void TForm1::app_formClick() {
  if (const auto refusal = settings_.NextFormat(loader_->Info().Channels)) ShowMessage(*refusal);
  ShowOutputSettings();
}

void TForm1::app_rateClick() {
  settings_.NextRate();
  ShowOutputSettings();
}

void TForm1::vbr_checkChange(bool on) {
  settings_.SetVbr(on);
  ShowOutputSettings();
}

// ---- Preview hooks -------------------------------------------------------------------------

void TForm1::SpeedButton4Click() {
  PreviewSource source;
  source.DecodeStream = loader_->DecodeStream();
  source.PreviewStream = loader_->PreviewStream();
  source.PreviewQueueLimit = static_cast<uint32_t>(std::max(loader_->PreviewQueueLimit(), 0));
  source.ProgressFactor = loader_->Info().ProgressFactor;
  source.SeekFactor = loader_->Info().SeekFactor;
  source.Blocks = previewBlocks_.get();
  player_->Play(source);
}

void TForm1::SpeedButton5Click() { player_->Stop(); }

void TForm1::ProgressBar2MouseUp(int x) {
  if (ProgressBar2->isEnabled()) player_->SeekTo(x, ProgressBar2->width());
}

void TForm1::SetSpectrumImage(const QImage& image) { Image2->SetImage(image); }

void TForm1::SetDcMeterImage(const QImage& image) { PaintBox2->SetImage(image); }

void TForm1::SetLed1(bool on) { Led1->SetOn(on); }

void TForm1::SetPreviewPosition(int position) { ProgressBar2->SetPosition(position); }

void TForm1::EnterPreviewState() {
  for (TImageButton* button : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton6})
    button->SetCaptionColor(skin::kCaptionSilver);
  SpeedButton5->SetCaptionColor(skin::kCaptionWhite);
  ProgressBar2->setEnabled(true);
  repaint();
}

void TForm1::LeavePreviewState() {
  for (TImageButton* button : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4})
    button->SetCaptionColor(skin::kCaptionWhite);
  SpeedButton5->SetCaptionColor(skin::kCaptionSilver);
  SpeedButton6->SetCaptionColor(skin::kCaptionSilver);
  Led1->SetOn(false);
  ProgressBar2->SetPosition(0);
  ProgressBar2->setEnabled(false);
}

// ---- Save ----------------------------------------------------------------------------------

void TForm1::SpeedButton2Click() {
  FileDialogRequest request;
  request.title = "Save audio as...";
  request.filter = settings_.SaveFilter();
  request.initialFolder = DialogStartFolder(export_->LastSaveFolder());
  request.initialName = loader_->SuggestedName();
  request.defaultExtension = "wav";
  const std::optional<std::string> chosen = dialogs_.SaveFile(request);
  if (!chosen) return;
  export_->SaveAs(*chosen, loader_->Info(), loader_->DecodeStream());
}

void TForm1::SpeedButton6Click() {
  if (export_) export_->Cancel();
}

bool TForm1::Ask(const ExportQuestion& question) {
  const MessageIcon icon = question.Icon == ExportIcon::Warning ? MessageIcon::Warning : MessageIcon::Error;
  const MessageResult answer = dialogs_.ShowMessage(question.Text, question.Caption, icon,
                                                    question.YesNo ? MessageButtons::YesNo : MessageButtons::Ok);
  return answer != MessageResult::No;
}

void TForm1::SetExportControlsEnabled(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5,
                                                          vbr_check, Spectra1, app_format, app_rate, NoiseLevel1, att1})
    control->setEnabled(enabled);
  OptionsMenu1->SetChoicesEnabled(enabled);
}

void TForm1::EnterExportState() {
  ClearSavedNote();
  Led1->SetOn(true);
  // Close stays on: it cancels the save and closes once the file is finished.
  for (TImageButton* button : {SpeedButton1, SpeedButton2, SpeedButton4, SpeedButton5})
    button->SetCaptionColor(skin::kCaptionSilver);
  SpeedButton6->SetCaptionColor(skin::kCaptionWhite);
  SetExportControlsEnabled(false);
  repaint();
  ProgressBar1->SetMaximum(1000);
  ProgressBar1->SetPosition(0);
  ProgressBar2->SetPosition(0);
}

void TForm1::LeaveExportState() {
  for (TImageButton* button : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4})
    button->SetCaptionColor(skin::kCaptionWhite);
  SpeedButton5->SetCaptionColor(skin::kCaptionSilver);
  SpeedButton6->SetCaptionColor(skin::kCaptionSilver);
  SetExportControlsEnabled(true);
  Led1->SetOn(false);
  repaint();
  ProgressBar1->SetPosition(0);
  ShowSavedNote();
  // Queued: the save command is still on the stack, and closing releases it.
  if (closingUnattended_)
    QMetaObject::invokeMethod(this, &TForm1::RequestClose, Qt::QueuedConnection);
  else if (closeAfterSave_)
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void TForm1::ShowSavedNote() {
  const ExportOutcome outcome = export_->Outcome();
  if (outcome != ExportOutcome::Saved && outcome != ExportOutcome::Cancelled &&
      outcome != ExportOutcome::SourceEndedEarly)
    return;
  // A cancelled save may have been kept beside a file it would not replace.
  const std::string& kept = export_->KeptFileName();
  const QString path = QString::fromStdString(kept);
  const QString name = QString::fromStdString(std::filesystem::path(kept).filename().string());
  ProgressBar1->ShowNote(outcome == ExportOutcome::Saved ? "Saved: " + name : "Saved (cut short): " + name);
  ProgressBar1->setToolTip(path);
  savedNoteTimer_->start(kSavedNoteMs);
}

void TForm1::ClearSavedNote() {
  savedNoteTimer_->stop();
  ProgressBar1->ClearNote();
  ProgressBar1->setToolTip(QString());
}

void TForm1::ShowExportProgress(int perMille) { ProgressBar1->SetPosition(perMille); }

void TForm1::ReportExportError(const std::string& text) {
  // Closing on a signal (a logout, say), nobody is left to answer a box: the error goes where the
  // terminal or the session log keeps it, and the close goes on.
  if (closingUnattended_) {
    std::fprintf(stderr, "murmex: Save failed: %s\n", text.c_str());
    return;
  }
  dialogs_.ShowMessage(text, "Save failed", MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace murmex
