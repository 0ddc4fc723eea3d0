#include "template/template_data.h"

namespace tarn {
namespace {

// The path up to its first member separator ("." or "["); a dot escaped
// with "\" belongs to the key.
std::string_view FirstMember(std::string_view path) {
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '\\') {
      ++i;
    } else if (path[i] == '.' || path[i] == '[') {
      return path.substr(0, i);
    }
  }
  return path;
}

// The path after its last member separator: "content" of "posts[2].content".
std::string_view LastMember(std::string_view path) {
  size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? path : path.substr(dot + 1);
}

bool IsUrlMember(std::string_view path) {
  constexpr std::string_view kUrl = "url";
  if (path.size() < kUrl.size() || path.substr(path.size() - kUrl.size()) != kUrl) return false;
  return path.size() == kUrl.size() || path[path.size() - kUrl.size() - 1] == '.';
}

}  // namespace

TemplateData::TemplateData(const JsonDocument& base) : base_(base) {}

TemplateData::TemplateData(const JsonDocument& base, const JsonDocument* overlay,
                           std::string root_path)
    : base_(base), overlay_(overlay), root_path_(std::move(root_path)) {
  if (root_path_ == ".") root_path_.clear();
}

const JsonDocument& TemplateData::Source(std::string_view path) const {
  if (overlay_ && overlay_->GetType(FirstMember(path)) != JsonDocument::kMissing) return *overlay_;
  return base_;
}

std::string TemplateData::GetText(std::string_view path) const {
  std::string text = Source(path).GetText(path);
  if (!root_path_.empty() && text.rfind("./", 0) == 0 && IsUrlMember(path))
    text.replace(0, 1, root_path_);
  if (reads_) reads_->Text(path, text);
  return text;
}

int TemplateData::GetCount(std::string_view path) const {
  int count = Source(path).GetCount(path);
  if (reads_) reads_->Value(TemplateReads::Read::kCount, path, count);
  return count;
}

int TemplateData::GetType(std::string_view path) const {
  int type = Source(path).GetType(path);
  if (reads_) reads_->Value(TemplateReads::Read::kType, path, type);
  return type;
}

bool TemplateData::IsTrue(std::string_view path) const {
  bool truth = Truth(path);
  if (reads_) reads_->Value(TemplateReads::Read::kTruth, path, truth ? 1 : 0);
  return truth;
}

bool TemplateData::Truth(std::string_view path) const {
  const JsonDocument& source = Source(path);
  switch (source.GetType(path)) {
    case JsonDocument::kBool:
      return source.GetBool(path);
    case JsonDocument::kDouble:
    case JsonDocument::kInteger:
      return source.GetDouble(path) != 0;
    case JsonDocument::kString:
      return !source.GetText(path).empty();
    case JsonDocument::kArray:
    case JsonDocument::kObject:
      return source.GetCount(path) > 0;
    default:
      return false;
  }
}

bool TemplateData::IsVerbatim(std::string_view path) const {
  if (verbatim_.empty()) return false;
  std::string_view last = LastMember(path);
  for (const std::string& name : verbatim_)
    if (last == name) return true;
  return false;
}

}  // namespace tarn
