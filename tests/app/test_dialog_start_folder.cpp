#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/dialog_start_folder.h"
#include "tests/app/test_suites.h"

namespace fs = std::filesystem;
using namespace murmex;

namespace {

// HOME and the current folder for one case; both are put back afterwards.
class Surroundings {
 public:
  Surroundings(const std::string& home, const fs::path& current)
      : savedHome_(qgetenv("HOME")), savedCurrent_(fs::current_path()) {
    qputenv("HOME", QByteArray::fromStdString(home));
    fs::current_path(current);
  }
  ~Surroundings() {
    qputenv("HOME", savedHome_);
    fs::current_path(savedCurrent_);
  }
  Surroundings(const Surroundings&) = delete;
  Surroundings& operator=(const Surroundings&) = delete;

 private:
  QByteArray savedHome_;
  fs::path savedCurrent_;
};

}  // namespace

class DialogStartFolderTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir scratch_;

  // "<remembered>", "<home>" and "<current>" stand for three ordinary folders of the scratch
  // folder, so a case reads the same whatever its path.
  std::string Resolve(const QString& spelling) const {
    QString path = spelling;
    path.replace("<", scratch_.path() + "/").remove('>');
    return path.toStdString();
  }

 private slots:
  void initTestCase() {
    QVERIFY(scratch_.isValid());
    for (const char* name : {"remembered", "home", "current"}) fs::create_directory(Resolve(QString("<%1>").arg(name)));
    fs::create_directory_symlink("/proc", Resolve("<remembered>/to-proc"));
    std::ofstream(Resolve("<remembered>/file.wav")) << "not a folder";
  }

  void OpensOnlyInOrdinaryFolders_data() {
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("expected");
    QTest::newRow("remembered ordinary folder") << "<remembered>" << "<home>" << "<current>" << "<remembered>";
    QTest::newRow("nothing remembered: the dialog's default") << "" << "<home>" << "<current>" << "";
    QTest::newRow("nothing remembered, started in /proc") << "" << "<home>" << "/proc" << "<home>";
    QTest::newRow("/proc") << "/proc" << "<home>" << "<current>" << "<home>";
    QTest::newRow("/proc/self/fd") << "/proc/self/fd" << "<home>" << "<current>" << "<home>";
    QTest::newRow("link to /proc") << "<remembered>/to-proc" << "<home>" << "<current>" << "<home>";
    QTest::newRow("/sys") << "/sys" << "<home>" << "<current>" << "<home>";
    QTest::newRow("/dev") << "/dev" << "<home>" << "<current>" << "<home>";
    QTest::newRow("/dev/shm") << "/dev/shm" << "<home>" << "<current>" << "<home>";
    QTest::newRow("folder gone") << "<remembered>/gone" << "<home>" << "<current>" << "<home>";
    QTest::newRow("a file") << "<remembered>/file.wav" << "<home>" << "<current>" << "<home>";
    QTest::newRow("home in /proc too") << "/proc" << "/proc" << "<current>" << "<current>";
    QTest::newRow("nowhere ordinary") << "/proc" << "/sys" << "/proc" << "/";
    QTest::newRow("nothing remembered, nowhere ordinary") << "" << "/proc" << "/proc" << "/";
  }

  void OpensOnlyInOrdinaryFolders() {
    QFETCH(QString, remembered);
    QFETCH(QString, home);
    QFETCH(QString, current);
    QFETCH(QString, expected);
    for (const QString& system : {remembered, home, current})
      if (system.startsWith('/') && !fs::exists(system.toStdString())) QSKIP("this system has no such folder");
    const Surroundings surroundings(Resolve(home), Resolve(current));
    QCOMPARE(DialogStartFolder(Resolve(remembered)), Resolve(expected));
  }
};

int RunDialogStartFolderTests(int argc, char** argv) {
  DialogStartFolderTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_dialog_start_folder.moc"
