#pragma once
// A reference-counting owner of one COM interface pointer.

#include <unknwn.h>

#include <utility>

namespace moirelle::win {

template <class T> class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Shares a pointer: adds a reference.
    static ComPtr Share(T* p) {
        if (p) p->AddRef();
        return Attach(p);
    }
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr& operator=(const ComPtr& o) {
        if (this != &o) {
            ComPtr copy(o);
            std::swap(p_, copy.p_);
        }
        return *this;
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    // For out-parameters of system calls: releases what is held, returns the slot.
    T** ReleaseAndGetAddressOf() {
        Reset();
        return &p_;
    }
    template <class U> ComPtr<U> As(REFIID iid) const {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
        return out;
    }

  private:
    T* p_ = nullptr;
};

} // namespace moirelle::win
