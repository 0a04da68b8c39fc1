#pragma once

// Each Qt Test class of this program runs through one of these; main sums their failures.
int RunWidgetKitTests(int argc, char** argv);
int RunForm1Tests(int argc, char** argv);
int RunTerminationTests(int argc, char** argv);
int RunDialogStartFolderTests(int argc, char** argv);
int RunOptionsMenuTests(int argc, char** argv);
int RunKeyboardAccessTests(int argc, char** argv);
int RunRoughEdgeTests(int argc, char** argv);
