// A named mutex per results folder, named after the kernel's name of the folder.
#include "ResultsFolderLock.h"

#include <windows.h>
#include <zlib.h>

#include <cwchar>

#include "ResultsTree.h"

ResultsFolderLock::ResultsFolderLock(const std::string& folder) {
  const RealFolder real = RealFolder::Open(folder);
  std::wstring name = real.Valid() ? real.ObjectName() : WideNameOf(folder);
  if (!name.empty()) CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
  // A mutex name is limited in length; a folder's name is not.
  const uLong crc =
      crc32(0L, reinterpret_cast<const Bytef*>(name.data()), static_cast<uInt>(name.size() * sizeof(wchar_t)));
  wchar_t mutexName[64];
  swprintf(mutexName, 64, L"Global\\QIRTool.Results.%08lX.%u", static_cast<unsigned long>(crc),
           static_cast<unsigned>(name.size()));
  mutex_.reset(CreateMutexW(nullptr, FALSE, mutexName));
  // A mutex another user made may not even be opened: that run holds it too.
  if (!mutex_) return;
  const DWORD waited = WaitForSingleObject(mutex_.get(), 0);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

ResultsFolderLock::~ResultsFolderLock() {
  if (held_) ReleaseMutex(mutex_.get());
}
