// Program entry of the collector: reads the command line and has the run driver show
// the run in the progress window; the process's exit code tells how the run ended.
#include <windows.h>

#include "CommandLine.h"
#include "ProgressWindow.h"
#include "RunDriver.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  RunDriver driver(ReadCommandLine(commandLine ? commandLine : ""));
  const std::unique_ptr<RunView> window = MakeProgressWindow(instance, driver.Silent());
  return driver.Run(*window);
}
