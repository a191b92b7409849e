#pragma once
// A value of one of the types that properties are stored and exchanged as. The type a
// value was stored with is kept: a 16-bit integer reads back as a 16-bit integer.

#include "forms/Picture.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace moirelle::forms {

using ByteArray = std::vector<uint8_t>;

// Empty, Boolean, Integer, Long, Single, Double, handle-sized integer, text, byte array,
// picture.
using Variant = std::variant<std::monostate, bool, int16_t, int32_t, float, double, int64_t,
                             std::string, ByteArray, Picture>;

// The value as T: exactly when it holds a T; numbers and Booleans convert between each
// other when the value fits (true is -1 as a number, any non-zero number is true; floating
// values round to nearest, halves to even). Nothing when it does not convert.
template <class T> std::optional<T> VariantAs(const Variant& v) {
    if (const T* exact = std::get_if<T>(&v)) return *exact;
    if constexpr (std::is_arithmetic_v<T>) {
        double d = 0;
        if (auto b = std::get_if<bool>(&v))
            d = *b ? -1.0 : 0.0;
        else if (auto i16 = std::get_if<int16_t>(&v))
            d = *i16;
        else if (auto i32 = std::get_if<int32_t>(&v))
            d = *i32;
        else if (auto f = std::get_if<float>(&v))
            d = *f;
        else if (auto f64 = std::get_if<double>(&v))
            d = *f64;
        else if (auto i64 = std::get_if<int64_t>(&v))
            d = static_cast<double>(*i64);
        else
            return std::nullopt;
        if constexpr (std::is_same_v<T, bool>) {
            return d != 0.0;
        } else if constexpr (std::is_integral_v<T>) {
            double r = std::nearbyint(d);
            if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
                  r <= static_cast<double>(std::numeric_limits<T>::max())))
                return std::nullopt;
            return static_cast<T>(r);
        } else {
            return static_cast<T>(d);
        }
    } else {
        return std::nullopt;
    }
}

} // namespace moirelle::forms
