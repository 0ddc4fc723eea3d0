#include "template/sealed_values.h"

#include "data/markup_escape.h"

namespace tarn {
namespace {

constexpr std::string_view kMark = "\xEF\xB7\x90";  // U+FDD0

// Two scans for one byte each: find_first_of would look each byte up in
// the set instead.
bool HasBrace(std::string_view text) {
  return text.find('{') != std::string_view::npos || text.find('}') != std::string_view::npos;
}

}  // namespace

std::string SealedValues::Add(std::string value) {
  std::string seal(kMark);
  seal += std::to_string(values_.size());
  seal += kMark;
  values_.push_back(std::move(value));
  return seal;
}

std::string SealedValues::Value(std::string_view path, const TemplateData& data) {
  bool escape = path.size() > kEscapeSuffix.size() &&
                path.substr(path.size() - kEscapeSuffix.size()) == kEscapeSuffix;
  if (escape) path.remove_suffix(kEscapeSuffix.size());
  std::string value = data.GetText(path);
  if (escape) value = EscapeMarkup(value, MarkupSlot::kXml);
  if ((escape || data.IsVerbatim(path)) && HasBrace(value)) return Add(std::move(value));
  if (value.find(kMark) == std::string::npos) return value;
  return Seal(value);
}

std::string SealedValues::Seal(std::string_view text) {
  size_t mark = text.find(kMark);
  if (mark == std::string_view::npos) return std::string(text);
  std::string sealed;
  size_t pos = 0;
  for (; mark != std::string_view::npos; mark = text.find(kMark, pos)) {
    sealed.append(text, pos, mark - pos);
    sealed += Add(std::string(kMark));
    pos = mark + kMark.size();
  }
  sealed.append(text, pos);
  return sealed;
}

std::string SealedValues::Open(std::string text) const {
  if (values_.empty()) return text;
  std::string open;
  open.reserve(text.size());
  size_t pos = 0;
  for (size_t mark = text.find(kMark); mark != std::string::npos; mark = text.find(kMark, pos)) {
    size_t digits = mark + kMark.size();
    size_t end = text.find(kMark, digits);
    if (end == std::string::npos) break;
    size_t index = 0;
    bool number = end > digits;
    for (size_t i = digits; i < end && number; ++i) {
      number = text[i] >= '0' && text[i] <= '9';
      index = index * 10 + static_cast<size_t>(text[i] - '0');
    }
    if (!number || index >= values_.size()) {
      // Not a seal (the passes carry none such): kept as it is.
      open.append(text, pos, digits - pos);
      pos = digits;
      continue;
    }
    open.append(text, pos, mark - pos);
    open += values_[index];
    pos = end + kMark.size();
  }
  open.append(text, pos);
  return open;
}

}  // namespace tarn
