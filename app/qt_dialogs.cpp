#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStringList>

#include "app/local_file_path.h"

namespace murmex {

QString ToQtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    const QString patterns = "(" + parts[i + 1].split(';', Qt::SkipEmptyParts).join(' ') + ")";
    entries << (description.endsWith(patterns) ? description : description + " " + patterns);
  }
  return entries.join(";;");
}

QtDialogs::QtDialogs(QWidget* parent) : parent_(parent) {}

int TitleWidth(const QString& title) {
  // The window manager draws the title in its own face, beside its own icon and buttons.
  constexpr int kTitleBarAllowance = 160;
  const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::TitleFont));
  return metrics.horizontalAdvance(title) + kTitleBarAllowance;
}

// A box only as wide as a short text would have its title cut ("Same fil…"). Done last: the box
// lays itself out anew when its icon or buttons change.
static void WidenForTitle(QMessageBox& box) {
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(TitleWidth(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

static std::optional<std::string> RunFileDialog(QWidget* parent, const FileDialogRequest& request,
                                                QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, QString::fromStdString(request.title));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  // The save command asks its own overwrite question after it has applied the extension.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilter(ToQtFilter(request.filter));
  if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  const QString folder = QString::fromStdString(request.initialFolder);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty()) return std::nullopt;
  // The URL keeps a name's bytes where the platform's dialog hands them over so.
  return LocalPathOfUrl(dialog.selectedUrls().first());
}

std::optional<std::string> QtDialogs::OpenFile(const FileDialogRequest& request) {
  return RunFileDialog(parent_, request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDialogs::SaveFile(const FileDialogRequest& request) {
  return RunFileDialog(parent_, request, QFileDialog::AcceptSave);
}

MessageResult QtDialogs::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                                     MessageButtons buttons) {
  QMessageBox box(parent_);
  box.setWindowTitle(QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  switch (icon) {
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
  }
  if (buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    WidenForTitle(box);
    return box.exec() == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  WidenForTitle(box);
  box.exec();
  return MessageResult::Ok;
}

}  // namespace murmex
