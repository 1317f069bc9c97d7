// Our stand-in of another vendor's library QMEVENTU.DLL, for development and tests; not part of what we ship.
// QMEVENTU.DLL stand-in: the event and alert client. This machine has no event manager
// or alert manager, so there is nothing to configure and nowhere to send to.
//
// Provided: EVENT_IsEventClientConfigurable, EVENT_IsRemoteEventClientConfigurable and
// EVENT_HasEventClientBeenConfigured answer FALSE (last error ERROR_SUCCESS);
// EVENT_SetAppID and EVENT_EVT_EnableAlternateRegistry record their setting. Every other
// export answers FALSE with ERROR_CALL_NOT_IMPLEMENTED.
#include "qmimpl.h"

#include <string>

namespace {
std::wstring g_appId;
BOOL g_alternateRegistry = FALSE;

BOOL No() {
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}
}  // namespace

extern "C" BOOL WINAPI EVENT_IsEventClientConfigurable(void) { return No(); }
extern "C" BOOL WINAPI EVENT_IsRemoteEventClientConfigurable(LPCWSTR) { return No(); }
extern "C" BOOL WINAPI EVENT_HasEventClientBeenConfigured(void) { return No(); }

extern "C" BOOL WINAPI EVENT_SetAppID(LPCWSTR appId) {
  if (!appId) return qm::InvalidArgument<BOOL>();
  g_appId = appId;
  return TRUE;
}

extern "C" BOOL WINAPI EVENT_EVT_EnableAlternateRegistry(BOOL enable) {
  g_alternateRegistry = enable ? TRUE : FALSE;
  return TRUE;
}

QM_NOT_IMPLEMENTED(BOOL, EVENT_ConfigureEventMgrClient, (HWND))
QM_NOT_IMPLEMENTED(BOOL, EVENT_ConfigureEventMgrClientRemote, (HWND, LPCWSTR))
QM_NOT_IMPLEMENTED(BOOL, EVENT_ConfigureEventMgrClientEx, (HWND, LPCWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_SendQMIMessage, (LPCWSTR))
QM_NOT_IMPLEMENTED(BOOL, EVENT_SendQMIMessageEx, (LPCWSTR, LPCWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_SendQMIEvent, (DWORD, LPCWSTR))
QM_NOT_IMPLEMENTED(BOOL, EVENT_SendQMIEventEx, (LPCWSTR, DWORD, LPCWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_ConfigureEventMessages, (HWND))
QM_NOT_IMPLEMENTED(BOOL, EVENT_ConfigureEventMessagesEx, (HWND, LPCWSTR))
QM_NOT_IMPLEMENTED(BOOL, EVENT_SendAlertUsingAMgr, (LPCWSTR, DWORD, LPCWSTR))
QM_NOT_IMPLEMENTED(BOOL, EVENT_QueryMessageText, (DWORD, LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_QueryMessageTextShort, (DWORD, LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_PopulateEventStructures, (void*, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_SelectAlertManagerDestination, (HWND, LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_GetDefaultPublishedAM, (LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_ConfigureEventClient, (HWND, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_GetEventClientConfig, (void*, DWORD))
QM_NOT_IMPLEMENTED(BOOL, EVENT_GetEventMgrConfig, (void*, DWORD))
