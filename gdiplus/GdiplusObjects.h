#pragma once
// Owners of GDI+ objects: each releases its object exactly once through the flat API
// table it was made with. An image loaded from a file keeps that file locked until it is
// disposed of, so every path out of an operation must release its images.

#include "gdiplus/GdiplusFlat.h"

#include <utility>

namespace moirelle::gdip {

template <class T, GpStatus (WINAPI* Api::*Release)(T*)> class UniqueObject {
  public:
    explicit UniqueObject(const Api& api) : api_(&api) {}
    ~UniqueObject() { reset(); }
    UniqueObject(const UniqueObject&) = delete;
    UniqueObject& operator=(const UniqueObject&) = delete;
    UniqueObject(UniqueObject&& o) noexcept : api_(o.api_), p_(std::exchange(o.p_, nullptr)) {}
    UniqueObject& operator=(UniqueObject&& o) noexcept {
        if (this != &o) {
            reset();
            api_ = o.api_;
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }

    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters of the flat API: releases what is held, returns the slot.
    T** put() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_) (api_->*Release)(std::exchange(p_, nullptr));
    }

  private:
    const Api* api_;
    T* p_ = nullptr;
};

using UniqueImage = UniqueObject<GpImage, &Api::GdipDisposeImage>;
using UniqueGraphics = UniqueObject<GpGraphics, &Api::GdipDeleteGraphics>;
using UniqueImageAttributes = UniqueObject<GpImageAttributes, &Api::GdipDisposeImageAttributes>;

} // namespace moirelle::gdip
