// Progress window. Until the window exists the status operations have nothing to show.
#include "ProgressWindow.h"

void SetProgress(const std::string&, int) {}
void SetDetail(const std::string&) {}
