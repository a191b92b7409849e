#include "forms/PropertyBag.h"

namespace moirelle::forms {

Variant PropertyBag::ReadProperty(std::string_view key, const Variant& defaultValue) const {
    auto it = values_.find(key);
    return it == values_.end() ? defaultValue : it->second;
}

void PropertyBag::WriteProperty(std::string_view key, Variant value, const Variant& defaultValue) {
    auto it = values_.find(key);
    if (value == defaultValue) {
        if (it != values_.end()) values_.erase(it);
        return;
    }
    if (it != values_.end())
        it->second = std::move(value);
    else
        values_.emplace(std::string(key), std::move(value));
}

} // namespace moirelle::forms
