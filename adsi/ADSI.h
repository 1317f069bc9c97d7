// The directory-services class library that QIRTool.exe exports: include this header
// and link against QIRTool's import library (QIRTool.exe.a). The classes run inside
// QIRTool's process (a DLL that QIRTool loads); COM must be initialised on the
// calling thread.
#pragma once

#include "ADSIValue.h"
#include "ADSIValues.h"
#include "ADSIObject.h"
#include "adsisearch.h"
#include "ADSISysInfo.h"
#include "ADSINameTranslate.h"
