// Collector-wide state shared by the user-interface thread and the worker: the two
// byte flags that stop a run. Everything else a collector needs comes to it in its
// CollectorContext.
#pragma once

#include <atomic>

// Single bytes written by one thread and polled by the other; atomics keep the
// compiler from caching them in a loop.
extern std::atomic<unsigned char> TerminateRequested;
extern std::atomic<unsigned char> WriteFailed;

// A results write failed: the run stops and ends with the write-error message.
void RaiseWriteFailure();
