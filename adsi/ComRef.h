// A counted reference to a COM interface: copies add a reference, the destructor
// releases it. The directory classes hold their platform interfaces in these.
#pragma once

#include <objbase.h>

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComRef& operator=(const ComRef& other) {
    if (other.p_) other.p_->AddRef();
    Reset();
    p_ = other.p_;
    return *this;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters of platform calls: releases what is held first.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Reset() {
    if (T* held = p_) {
      p_ = nullptr;
      held->Release();
    }
  }

 private:
  T* p_ = nullptr;
};
