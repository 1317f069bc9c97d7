// The dialog that names a temporary task before it is stored as a named task.
#pragma once

#include <windows.h>

#include "TaskContext.h"

// Asks for a display name until it is free or the user cancels; on a free name the
// task is created and saved. True when the task is named now.
bool NameTemporaryTask(TaskContext& ctx, HWND owner);
