// The error convention of every exported directory operation: the result starts at
// E_FAIL, the body sets it step by step, and whatever the body throws (a _com_error
// from _bstr_t, std::bad_alloc, anything else) ends the operation with the result as
// it stood. No exception leaves an exported operation.
#pragma once

#include <windows.h>

template <typename Body>
HRESULT AdsiCall(Body&& body) noexcept {
  HRESULT hr = E_FAIL;
  try {
    hr = body(hr);
  } catch (...) {
  }
  return hr;
}

// A Win32 failure as an HRESULT; a call that failed without setting an error still
// reports a failure.
inline HRESULT LastErrorResult(HRESULT fallback) {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : fallback;
}
