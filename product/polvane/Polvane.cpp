// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// Initialisation only, counted.
#include "Polvane.h"

namespace {
LONG g_users = 0;
}

extern "C" {

BOOL WINAPI PolvaneLibInit(void) {
  InterlockedIncrement(&g_users);
  return TRUE;
}

void WINAPI PolvaneLibUninit(void) {
  if (InterlockedDecrement(&g_users) < 0) InterlockedExchange(&g_users, 0);
}

}  // extern "C"
