#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "app/dialogs.h"
#include "export/export_host.h"
#include "engine/processing_options.h"
#include "export/output_settings.h"

class QLabel;
class QTimer;

namespace murmex {

class DecodeBlockSource;
class ExportDriver;
class ExportWriters;
class OptionsMenu;
class PreviewPlayer;
class WindowPreviewDisplay;
class QueueDrainer;
class SourceLoader;
class SpectralEngine;
class TBitmapCheckBox;
class TGradientBar;
class TImageButton;
class TImageView;
class TLed;
class TSkinLabel;
class TSmoothProgressBar;
class TTrackBar;
struct InfoLine;
struct LoadButtons;

inline constexpr const char* kApplicationTitle = "FFT Noise reduction by Tarlo";

// The main window: every control of the program, the commands behind them and the window's
// own chrome (rounded, borderless, dragged by its body).
class TForm1 : public QWidget, public ExportHost {
  Q_OBJECT

 public:
  TForm1(ProcessingOptions& options, SpectralEngine& engine, Dialogs& dialogs, QWidget* parent = nullptr);
  ~TForm1() override;

  // Commands.
  void SpeedButton1Click();  // Load file
  void SpeedButton2Click();  // Save to file
  void SpeedButton3Click();  // Close
  void SpeedButton4Click();  // Play
  void SpeedButton5Click();  // Stop
  void SpeedButton6Click();  // Cancel
  void VrHotImage3Click();   // Close (chrome)
  void VrHotImage4Click();   // Minimize
  void ProgressBar2MouseUp(int x);
  void app_formClick();
  void app_rateClick();
  void vbr_checkChange(bool on);
  void NoiseLevel1Change(int position);
  void att1Change(int position);
  // The right-click menu's choices: the method takes effect in the preview's next block, the two
  // save choices at the next save.
  void ChooseMethod(NoiseReductionMethod method);
  void SetLearnNoiseFirst(bool on);
  void SetKeepTiming(bool on);
  // Loads `path` as if it had been chosen in the open dialog (drops use it too).
  void LoadFile(const std::string& path);
  // A close asked for from outside the window (a termination signal): open dialogs are
  // dismissed, a running save is cancelled and its writer allowed to finish the file, then the
  // window closes as its Close control does.
  void RequestClose();

  bool Exporting() const;
  bool CommandEnabled(const TImageButton* button) const;

  // What the preview shows, on the window's thread.
  void SetSpectrumImage(const QImage& image);
  void SetDcMeterImage(const QImage& image);
  void SetLed1(bool on);
  void SetPreviewPosition(int position);
  void EnterPreviewState();
  void LeavePreviewState();

  // ExportHost
  bool Ask(const ExportQuestion& question) override;
  void EnterExportState() override;
  void LeaveExportState() override;
  void ShowExportProgress(int perMille) override;
  void ReportExportError(const std::string& text) override;

  const SourceLoader& Loader() const { return *loader_; }
  PreviewPlayer& Player() { return *player_; }

  // Controls (names as the form gives them).
  TImageView* Image1 = nullptr;
  TImageButton* VrHotImage4 = nullptr;
  TImageButton* VrHotImage3 = nullptr;
  TImageButton* SpeedButton1 = nullptr;
  TImageButton* SpeedButton2 = nullptr;
  TImageButton* SpeedButton3 = nullptr;
  QWidget* Panel1 = nullptr;
  TSkinLabel* Ind1 = nullptr;
  TSkinLabel* Ind2 = nullptr;
  TSkinLabel* Ind3 = nullptr;
  TSkinLabel* Ind4 = nullptr;
  TSkinLabel* IndRate = nullptr;
  QLabel* Label1 = nullptr;
  QWidget* Panel3 = nullptr;
  QWidget* PaintBox1 = nullptr;
  TImageView* Image2 = nullptr;
  TGradientBar* VrGradient3 = nullptr;
  TGradientBar* VrGradient2 = nullptr;
  TSkinLabel* VrLabel2 = nullptr;
  TSkinLabel* VrLabel1 = nullptr;
  TBitmapCheckBox* Spectra1 = nullptr;
  TBitmapCheckBox* CheckBox4 = nullptr;
  TBitmapCheckBox* CheckBox5 = nullptr;
  QWidget* Panel2 = nullptr;
  TImageButton* SpeedButton4 = nullptr;
  TImageButton* SpeedButton5 = nullptr;
  TBitmapCheckBox* CheckBox1 = nullptr;
  TSmoothProgressBar* ProgressBar2 = nullptr;
  TLed* Led1 = nullptr;
  // "Method: Adaptive" above the preview switch; a click on it opens the right-click menu.
  QLabel* LabelMethod = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label8 = nullptr;
  TTrackBar* NoiseLevel1 = nullptr;
  TTrackBar* att1 = nullptr;
  TBitmapCheckBox* CheckBox3 = nullptr;
  QWidget* DCMeter1 = nullptr;
  TImageView* PaintBox2 = nullptr;
  TBitmapCheckBox* CheckBox2 = nullptr;
  QLabel* Label5 = nullptr;
  TSkinLabel* labelFormat = nullptr;
  TImageButton* app_format = nullptr;
  QLabel* Label6 = nullptr;
  TSkinLabel* labelKbps = nullptr;
  TImageButton* app_rate = nullptr;
  TBitmapCheckBox* vbr_check = nullptr;
  TImageButton* SpeedButton6 = nullptr;
  TSmoothProgressBar* ProgressBar1 = nullptr;
  OptionsMenu* OptionsMenu1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void ConnectControls();
  void FormCreate();
  void FormClose();
  void FormMouseDown();
  void Label1MouseEnter();
  void Label1MouseLeave();
  // The six caption-colour handlers share one rule: white enables, silver disables.
  void SpeedButton1FontChanged(const QColor& color);
  void SpeedButton2FontChanged(const QColor& color);
  void SpeedButton3FontChanged(const QColor& color);
  void SpeedButton4FontChanged(const QColor& color);
  void SpeedButton5FontChanged(const QColor& color);
  void SpeedButton6FontChanged(const QColor& color);
  static void ApplyCaptionColourRule(TImageButton& button, const QColor& color);
  void SetExportControlsEnabled(bool enabled);
  void ShowOutputSettings();
  void ShowInfoLine(const InfoLine& info);
  void ShowLoadButtons(const LoadButtons& buttons);
  static void SetCommand(TImageButton& button, bool enabled);
  void ShowMessage(const std::string& text);
  void OrderTabStops();
  void FitCaptions();
  void ShowSavedNote();
  void ClearSavedNote();
  void CreateShortcuts();
  void CreateOptionsMenu();
  void ShowOptionsMenu(QWidget* origin, const QPoint& position);
  // The choices an earlier run left (see RememberedChoices), and the ones this run leaves.
  void ApplyRememberedChoices();
  void RememberChoices();

  ProcessingOptions& options_;
  SpectralEngine& engine_;
  Dialogs& dialogs_;
  std::unique_ptr<QueueDrainer> drainer_;

  OutputSettings settings_;
  // The loader also holds the three tag holders of the loaded source.
  std::unique_ptr<SourceLoader> loader_;
  std::unique_ptr<DecodeBlockSource> previewBlocks_;
  std::unique_ptr<WindowPreviewDisplay> previewDisplay_;
  std::unique_ptr<PreviewPlayer> player_;
  std::unique_ptr<ExportWriters> writers_;
  std::unique_ptr<ExportDriver> export_;
  // Ends the note the bottom bar shows after a save.
  QTimer* savedNoteTimer_ = nullptr;
  bool audioStarted_ = false;
  bool closed_ = false;
  // A close came during a save: the window closes once the cancelled save has ended.
  bool closeAfterSave_ = false;
  // The close came from a signal: nobody is left to answer a box.
  bool closingUnattended_ = false;
};

}  // namespace murmex
