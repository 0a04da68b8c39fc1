#include "tags/au_tags.h"

#include <algorithm>
#include <charconv>
#include <cctype>

namespace murmex {
namespace {

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The whole text as a decimal integer, or 0 when it is not one (or does not fit).
int ParseDecimal(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() ? value : 0;
}

}  // namespace

TAuTags::TAuTags(const TFieldList& fields) {
    for (const auto& [key, value] : fields) {
        if (Find(key) == nullptr) Fields_.push_back({std::string(key), value});
    }
    std::sort(Fields_.begin(), Fields_.end(),
              [](const Field& a, const Field& b) { return CompareNoCase(a.Key, b.Key) < 0; });
}

const TAuTags::Field* TAuTags::Find(std::string_view key) const {
    const auto it = std::lower_bound(
        Fields_.begin(), Fields_.end(), key,
        [](const Field& field, std::string_view k) { return CompareNoCase(field.Key, k) < 0; });
    return it != Fields_.end() && CompareNoCase(it->Key, key) == 0 ? &*it : nullptr;
}

TAuTags::Field* TAuTags::Find(std::string_view key) {
    return const_cast<Field*>(std::as_const(*this).Find(key));
}

void TAuTags::Clear() {
    for (Field& field : Fields_) field.Value = std::monostate{};
    Empty_ = true;
    Changed_ = true;
}

void TAuTags::Assign(const TAuTags& source) {
    if (&source == this) return;
    Clear();
    for (const Field& field : source.Fields_) SetValue(field.Key, field.Value);
}

std::string TAuTags::Key(int index) const {
    return index >= 0 && index < Count() ? Fields_[static_cast<std::size_t>(index)].Key : std::string();
}

TTagValue TAuTags::Value(std::string_view key) const {
    const Field* field = Find(key);
    return field != nullptr ? field->Value : TTagValue{};
}

void TAuTags::SetValue(std::string_view key, TTagValue value) {
    Field* field = Find(key);
    if (field == nullptr) return;
    if (const auto* text = std::get_if<std::string>(&value); text != nullptr && text->empty()) {
        value = std::monostate{};
    }
    if (field->Value == value) return;
    field->Value = std::move(value);
    Empty_ = false;
    Changed_ = true;
}

int TAuTags::AsInteger(std::string_view key) const {
    const Field* field = Find(key);
    if (field == nullptr) return 0;
    if (const auto* number = std::get_if<int>(&field->Value)) return *number;
    if (const auto* text = std::get_if<std::string>(&field->Value)) return ParseDecimal(*text);
    return 0;
}

std::string TAuTags::AsText(std::string_view key) const {
    const Field* field = Find(key);
    if (field == nullptr) return {};
    if (const auto* number = std::get_if<int>(&field->Value)) return std::to_string(*number);
    if (const auto* text = std::get_if<std::string>(&field->Value)) return *text;
    return {};
}

}  // namespace murmex
