// Storage of the collector-wide flags.
#include "CollectorState.h"

std::atomic<unsigned char> TerminateRequested{0};
std::atomic<unsigned char> WriteFailed{0};

void RaiseWriteFailure() {
  WriteFailed = 1;
  TerminateRequested = 1;
}
