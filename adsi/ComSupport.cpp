// The two text conversions of _bstr_t that mingw's comutil.h declares but no library
// of the toolchain defines. QIRTool exports them, so a caller of the directory
// classes that builds _bstr_t from narrow text links against QIRTool for them too.
#include <windows.h>
#include <comdef.h>

#include <new>

#include "ADSIExport.h"

namespace _com_util {

// Narrow (ANSI code page) text as a new BSTR; null stays null.
QIRADSI_API BSTR WINAPI ConvertStringToBSTR(const char* source) {
  if (!source) return nullptr;
  const int chars = MultiByteToWideChar(CP_ACP, 0, source, -1, nullptr, 0);
  if (chars <= 0) _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
  BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(chars - 1));
  if (!text) _com_issue_error(E_OUTOFMEMORY);
  MultiByteToWideChar(CP_ACP, 0, source, -1, text, chars);
  return text;
}

// A BSTR as new narrow text, released by _bstr_t with delete[]; null stays null.
QIRADSI_API char* WINAPI ConvertBSTRToString(BSTR source) {
  if (!source) return nullptr;
  const int length = static_cast<int>(SysStringLen(source));
  const int bytes = WideCharToMultiByte(CP_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
  char* text = new (std::nothrow) char[static_cast<size_t>(bytes) + 1];
  if (!text) _com_issue_error(E_OUTOFMEMORY);
  if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, source, length, text, bytes, nullptr, nullptr);
  text[bytes > 0 ? bytes : 0] = '\0';
  return text;
}

}  // namespace _com_util
