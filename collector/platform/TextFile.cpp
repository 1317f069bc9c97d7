// Reading and rewriting whole files.
#include "TextFile.h"

#include <windows.h>

#include <algorithm>
#include <exception>

#include "Handles.h"

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  if (!bytes) return false;
  bytes->clear();
  if (path.empty()) return false;
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  // A device (NUL, CON) opens as a file would, but is none.
  if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return false;
  try {
    std::string buffer;
    buffer.reserve(static_cast<size_t>(size.QuadPart) + 2);
    char chunk[65536];
    for (;;) {
      DWORD read = 0;
      // A read that fails part-way must not pass off the first part as the whole file.
      if (!ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr)) return false;
      if (read == 0) break;
      buffer.append(chunk, read);
    }
    *bytes = std::move(buffer);
  } catch (const std::exception&) {
    bytes->clear();
    return false;
  }
  return true;
}

bool LoadTextFile(const std::string& path, std::string* text) {
  if (!ReadWholeFile(path, text)) return false;
  const size_t nul = text->find('\0');
  if (nul != std::string::npos) text->resize(nul);
  return true;
}

bool SaveTextFile(const std::string& text, const std::string& path) {
  if (text.empty() || path.empty()) return false;
  FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file) return false;
  size_t done = 0;
  while (done < text.size()) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data() + done, want, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return SetEndOfFile(file.get()) != FALSE;
}
