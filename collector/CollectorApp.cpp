// Program entry of the collector: reads the command line and runs the progress window,
// which drives the whole run; the process's exit code tells how the run ended.
#include <windows.h>

#include "CommandLine.h"
#include "ProgressWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  const CollectorApp app = ReadCommandLine(commandLine ? commandLine : "");
  return RunProgressWindow(instance, app);
}
