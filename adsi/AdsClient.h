// The platform's directory client library, activeds.dll, bound by name on first use:
// QIRTool imports nothing from it, so a machine without it runs every other action.
// The directory classes call the library only through this one table.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <iads.h>
#include <adshlp.h>

// The entries the directory classes call; their types come from the platform header.
#define QIR_ADS_CLIENT_ENTRIES(X) \
  X(ADsGetObject)                 \
  X(ADsOpenObject)                \
  X(AllocADsMem)                  \
  X(FreeADsMem)                   \
  X(AllocADsStr)                  \
  X(FreeADsStr)

struct AdsClientTable {
#define QIR_ADS_CLIENT_FIELD(name) decltype(&::name) name;
  QIR_ADS_CLIENT_ENTRIES(QIR_ADS_CLIENT_FIELD)
#undef QIR_ADS_CLIENT_FIELD
};

// The bound table; null when the library cannot be loaded or lacks an entry, and then
// *failure (when asked) holds the reason as an HRESULT. The library stays loaded for
// the process, as a delay-loaded import would.
const AdsClientTable* AdsClient(HRESULT* failure = nullptr);

// For tests: AdsClient answers this table from now on (null: the library's own again).
void SetAdsClientForTesting(const AdsClientTable* table);
