#include <QApplication>

#include "app/widgets/skin.h"
#include "tests/app/form1_fixture.h"
#include "tests/app/test_suites.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  murmex::skin::InstallFontSubstitutes();
  murmex::testing::UsePrivateSettings();
  int failures = 0;
  failures += RunWidgetKitTests(argc, argv);
  failures += RunForm1Tests(argc, argv);
  failures += RunTerminationTests(argc, argv);
  failures += RunDialogStartFolderTests(argc, argv);
  failures += RunOptionsMenuTests(argc, argv);
  failures += RunKeyboardAccessTests(argc, argv);
  failures += RunRoughEdgeTests(argc, argv);
  return failures == 0 ? 0 : 1;
}
