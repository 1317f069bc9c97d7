// A helper of the end-to-end tests: makes, and removes again, a registry key under
// HKEY_CURRENT_USER that is a link to its own parent, so that a walk through it loops.
//   RegistryLoop make KEY NAME    KEY\NAME becomes a link to KEY (KEY is created)
//   RegistryLoop remove KEY NAME  removes the link KEY\NAME itself
// Exit code 0 on success.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <string>
#include <vector>

extern "C" NTSTATUS NTAPI NtQueryKey(HANDLE key, int informationClass, void* information, ULONG length,
                                     ULONG* resultLength);
extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace {

constexpr int kKeyNameInformation = 3;

// The kernel's name of a key ("\REGISTRY\USER\..."), which a link value must hold.
std::wstring KernelName(HKEY key) {
  std::vector<unsigned char> buffer(4096);
  ULONG needed = 0;
  if (NtQueryKey(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) < 0) return L"";
  ULONG length = 0;
  memcpy(&length, buffer.data(), sizeof length);
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof length), length / sizeof(wchar_t));
}

int Make(const wchar_t* keyPath, const wchar_t* name) {
  HKEY parent = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent, nullptr))
    return 1;
  const std::wstring target = KernelName(parent);
  HKEY link = nullptr;
  LONG made = RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                              nullptr, &link, nullptr);
  RegCloseKey(parent);
  if (made || target.empty()) return 2;
  LONG set = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                            static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  RegCloseKey(link);
  return set ? 3 : 0;
}

int Remove(const wchar_t* keyPath, const wchar_t* name) {
  HKEY parent = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &parent)) return 1;
  HKEY link = nullptr;
  LONG opened = RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &link);
  RegCloseKey(parent);
  if (opened) return 2;
  const NTSTATUS deleted = NtDeleteKey(link);
  RegCloseKey(link);
  return deleted < 0 ? 3 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"make") return Make(argv[2], argv[3]);
  if (argc == 4 && std::wstring(argv[1]) == L"remove") return Remove(argv[2], argv[3]);
  std::fprintf(stderr, "usage: RegistryLoop make|remove KEY NAME\n");
  return 9;
}
