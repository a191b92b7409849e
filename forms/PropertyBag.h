#pragma once
// The stored properties of a user control: named values of the types in Variant. A value
// equal to its default is not stored, so reading it back gives whatever default the reader
// names.

#include "forms/Variant.h"

#include <map>
#include <string>
#include <string_view>

namespace moirelle::forms {

class PropertyBag {
  public:
    PropertyBag() = default;

    // The stored value, or `defaultValue` when the key is not stored.
    Variant ReadProperty(std::string_view key, const Variant& defaultValue = {}) const;
    // The stored value as T (see VariantAs), or `defaultValue` when the key is not stored
    // or its value does not convert.
    template <class T> T Read(std::string_view key, T defaultValue) const {
        auto it = values_.find(key);
        if (it == values_.end()) return defaultValue;
        return VariantAs<T>(it->second).value_or(defaultValue);
    }

    // Stores the value under the key; a value equal to `defaultValue` (same type and value)
    // removes the key instead.
    void WriteProperty(std::string_view key, Variant value, const Variant& defaultValue = {});

    bool Contains(std::string_view key) const { return values_.find(key) != values_.end(); }
    size_t Count() const { return values_.size(); }

  private:
    std::map<std::string, Variant, std::less<>> values_;
};

} // namespace moirelle::forms
