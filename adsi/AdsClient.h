// The platform's directory client library, activeds.dll, bound by name on first use:
// QIRTool imports nothing from it, so a machine without it runs every other action.
// The directory classes call the library only through this one table; the owners at
// the end release what the platform hands out.
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

// Memory the platform hands out for the caller to release with FreeADsMem (column
// names, attribute blocks), released on every path.
template <typename Pointer>
class AdsMemory {
 public:
  AdsMemory() = default;
  ~AdsMemory() {
    if (pointer_)
      if (const AdsClientTable* client = AdsClient()) client->FreeADsMem(pointer_);
  }
  AdsMemory(const AdsMemory&) = delete;
  AdsMemory& operator=(const AdsMemory&) = delete;
  Pointer* Put() { return &pointer_; }
  Pointer Get() const { return pointer_; }

 private:
  Pointer pointer_ = nullptr;
};

// A VARIANT the platform fills, cleared on every path.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* Get() { return &value_; }

 private:
  VARIANT value_;
};
