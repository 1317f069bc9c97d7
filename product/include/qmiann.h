// Part of our stand-ins of another vendor's libraries and programs, for development and tests; the stand-ins are not part of what we ship.
// Our declaration of the product's alert library qmiann.dll, shared by the
// configurator and our stand-in of the library (the stand-in is for development and
// tests; not shipped). The configurator loads the library on its first alert and calls
// this one export by name.
#pragma once

#include <windows.h>

// Hands one alert to the product's alert manager: its level and text, the event
// number, the sending product, the user, program, session and computer it concerns;
// the reserved values are 0. Answers 0 when the alert was taken.
extern "C" int WINAPI ToAlertManagerInterfaceW(DWORD level, LPCWSTR text, DWORD eventId, LPCWSTR product,
                                               DWORD reserved1, DWORD reserved2, LPCWSTR user, LPCWSTR program,
                                               DWORD session, LPCWSTR computer, DWORD reserved3, DWORD reserved4);
using QmAlertFunction = decltype(&ToAlertManagerInterfaceW);
constexpr char kQmAlertExport[] = "ToAlertManagerInterfaceW";
