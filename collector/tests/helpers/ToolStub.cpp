// A stand-in external tool for the EXECUTE tests: "write PATH" creates PATH holding the
// tool's command-line arguments, "sleep MS" waits, "wait PATH" waits (two minutes at
// most) until PATH exists; the steps run in the order given.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string arguments;
  for (int i = 1; i < argc; ++i) arguments += std::string(i > 1 ? " " : "") + argv[i];
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!strcmp(argv[i], "write")) {
      FILE* file = fopen(argv[i + 1], "wb");
      if (!file) return 1;
      fputs(arguments.c_str(), file);
      fclose(file);
    } else if (!strcmp(argv[i], "sleep")) {
      Sleep(static_cast<DWORD>(strtoul(argv[i + 1], nullptr, 10)));
    } else if (!strcmp(argv[i], "wait")) {
      for (int tries = 0; tries < 2400 && GetFileAttributesA(argv[i + 1]) == INVALID_FILE_ATTRIBUTES; ++tries) Sleep(50);
    } else {
      return 2;
    }
  }
  return 0;
}
