// Collector-wide state shared by the user-interface thread and the worker: the two
// byte flags that stop a run, and the objects of the current collecting pass that every
// collector reaches (results root, file list writer, path resolver, window).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

class LineFileWriter;
class PathResolver;

// Single bytes written by one thread and polled by the other; atomics keep the
// compiler from caching them in a loop.
extern std::atomic<unsigned char> TerminateRequested;
extern std::atomic<unsigned char> WriteFailed;

// A results write failed: the run stops and ends with the write-error message.
void RaiseWriteFailure();

struct CollectorShared {
  HWND window = nullptr;          // the progress window, owner of every message box
  bool silent = false;            // /silent together with /outfile=
  bool outFileGiven = false;      // /outfile= named the result file
  std::string resultsRoot;        // copy of the current run's results root
  LineFileWriter* fileList = nullptr;  // file-list writer of the current run
  PathResolver* resolver = nullptr;    // resolver of the current run
};

CollectorShared& Collector();
