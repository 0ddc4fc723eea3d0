#include "content/front_matter.h"

#include <yaml-cpp/yaml.h>

#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "content/flat_yaml.h"

namespace tarn {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The line starting at *pos without its line break (and trailing blanks);
// moves *pos past the break. *ended: the line had a break.
std::string_view NextLine(std::string_view text, std::size_t* pos, bool* ended) {
  std::size_t start = *pos;
  std::size_t end = text.find('\n', start);
  *ended = end != std::string_view::npos;
  if (!*ended) end = text.size();
  *pos = *ended ? end + 1 : end;
  std::string_view line = text.substr(start, end - start);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.remove_suffix(1);
  return line;
}

std::string Where(const std::string& path, int line) {
  return path + ":" + std::to_string(line) + ": ";
}

// Turns parsed values into JSON, counting them against the bounds.
class Converter {
 public:
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  JsonDocument FromYaml(const YAML::Node& node, int depth) {
    if (!Enter(depth)) return JsonDocument::NewNull();
    switch (node.Type()) {
      case YAML::NodeType::Sequence: {
        JsonDocument array = JsonDocument::NewArray();
        for (const YAML::Node& item : node) {
          if (!ok()) break;
          array.Append("", FromYaml(item, depth + 1));
        }
        return array;
      }
      case YAML::NodeType::Map: {
        JsonDocument object = JsonDocument::NewObject();
        for (const auto& member : node) {
          if (!ok()) break;
          std::string key = member.first.IsScalar() ? member.first.Scalar() : "";
          if (!Copy(key.size())) break;
          object.SetObject("", key, FromYaml(member.second, depth + 1));
        }
        return object;
      }
      case YAML::NodeType::Scalar:
        if (!Copy(node.Scalar().size())) return JsonDocument::NewNull();
        return YamlScalar(node);
      default:
        return JsonDocument::NewNull();
    }
  }

  JsonDocument FromToml(const toml::node& node, int depth) {
    if (!Enter(depth)) return JsonDocument::NewNull();
    if (const toml::table* table = node.as_table()) {
      // toml++ keeps keys sorted; templates see them in the order written.
      std::vector<std::pair<const toml::key*, const toml::node*>> members;
      for (const auto& [key, value] : *table) members.emplace_back(&key, &value);
      std::stable_sort(members.begin(), members.end(), [](const auto& a, const auto& b) {
        const toml::source_position& pa = a.first->source().begin;
        const toml::source_position& pb = b.first->source().begin;
        return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
      });
      JsonDocument object = JsonDocument::NewObject();
      for (const auto& [key, value] : members) {
        if (!ok()) break;
        object.SetObject("", key->str(), FromToml(*value, depth + 1));
      }
      return object;
    }
    if (const toml::array* array = node.as_array()) {
      JsonDocument result = JsonDocument::NewArray();
      for (const toml::node& item : *array) {
        if (!ok()) break;
        result.Append("", FromToml(item, depth + 1));
      }
      return result;
    }
    if (auto text = node.value_exact<std::string>()) return JsonDocument::NewText(*text);
    if (auto integer = node.value_exact<int64_t>()) return JsonDocument::NewInt64(*integer);
    if (auto real = node.value_exact<double>()) return JsonDocument::NewDouble(*real);
    if (auto flag = node.value_exact<bool>()) return JsonDocument::NewBool(*flag);
    // Dates and times as TOML writes them.
    std::ostringstream out;
    if (auto date = node.value_exact<toml::date>())
      out << *date;
    else if (auto time = node.value_exact<toml::time>())
      out << *time;
    else if (auto date_time = node.value_exact<toml::date_time>())
      out << *date_time;
    return JsonDocument::NewText(out.str());
  }

 private:
  bool Enter(int depth) {
    if (!ok()) return false;
    if (depth > FrontMatter::kMaxDepth) {
      error_ = "nested deeper than " + std::to_string(FrontMatter::kMaxDepth) + " levels";
      return false;
    }
    if (++values_ > FrontMatter::kMaxValues) {
      error_ = "holds more than " + std::to_string(FrontMatter::kMaxValues) + " values";
      return false;
    }
    return true;
  }

  // Counts bytes of keys and scalars about to be copied; false, with the
  // error set, once they are over the bound.
  bool Copy(std::size_t bytes) {
    bytes_ += bytes;
    if (bytes_ <= FrontMatter::kMaxExpandedBytes) return true;
    error_ = "expands to more than " + std::to_string(FrontMatter::kMaxExpandedBytes) +
             " bytes of keys and values";
    return false;
  }

  // Plain scalars resolve as FlatYaml::PlainScalar says; quoted ones stay
  // text.
  static JsonDocument YamlScalar(const YAML::Node& node) {
    if (node.Tag() != "?") return JsonDocument::NewText(node.Scalar());
    return FlatYaml::PlainScalar(node.Scalar());
  }

  int values_ = 0;
  std::size_t bytes_ = 0;
  std::string error_;
};

// Reads up to max_digits digits at text[*i]; false when there are none.
bool ReadNumber(std::string_view text, std::size_t* i, int max_digits, int* value) {
  int count = 0;
  *value = 0;
  while (*i < text.size() && count < max_digits && text[*i] >= '0' && text[*i] <= '9') {
    *value = *value * 10 + (text[*i] - '0');
    ++*i;
    ++count;
  }
  return count > 0;
}

bool Expect(std::string_view text, std::size_t* i, char c) {
  if (*i < text.size() && text[*i] == c) {
    ++*i;
    return true;
  }
  return false;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The offset at text[*i] in seconds east of UTC: "Z", "+08:00", "+0800",
// "+08". False when something else is there.
bool ReadOffset(std::string_view text, std::size_t* i, long* offset) {
  if (Expect(text, i, 'Z') || Expect(text, i, 'z')) {
    *offset = 0;
    return true;
  }
  if (*i >= text.size() || (text[*i] != '+' && text[*i] != '-')) return false;
  int sign = text[(*i)++] == '-' ? -1 : 1;
  int hours = 0;
  int minutes = 0;
  std::size_t start = *i;
  if (!ReadNumber(text, i, 2, &hours) || *i - start != 2 || hours > 23) return false;
  if (*i < text.size()) {
    Expect(text, i, ':');
    start = *i;
    if (!ReadNumber(text, i, 2, &minutes) || *i - start != 2 || minutes > 59) return false;
  }
  *offset = sign * (hours * 3600L + minutes * 60L);
  return true;
}

// Keeps what a parser's values converted to in *kept; when a value could
// not be converted, reports it and keeps nothing.
bool Keep(const Converter& converter, JsonDocument values, int first_line, const std::string& path,
          const DiagnosticSink& sink, JsonDocument* kept) {
  if (!converter.ok()) {
    if (sink)
      sink(Where(path, first_line) + "front matter " + converter.error() + "; it is ignored");
    return false;
  }
  *kept = std::move(values);
  return true;
}

}  // namespace

FrontMatter::Block FrontMatter::Find(std::string_view text) {
  Block block;
  std::size_t pos = text.substr(0, kBom.size()) == kBom ? kBom.size() : 0;
  bool ended = false;
  std::string_view first = NextLine(text, &pos, &ended);
  if (!ended) return block;
  if (first == "---") {
    block.format = Format::kYaml;
  } else if (first == "+++") {
    block.format = Format::kToml;
  } else {
    return block;
  }
  std::size_t start = pos;
  while (pos < text.size()) {
    std::size_t line_start = pos;
    std::string_view line = NextLine(text, &pos, &ended);
    bool closes = block.format == Format::kToml ? line == "+++" : (line == "---" || line == "...");
    if (closes) {
      block.closed = true;
      block.text = text.substr(start, line_start - start);
      block.body = pos;
      return block;
    }
  }
  return block;
}

std::string_view FrontMatter::BodyOf(std::string_view text) {
  Block block = Find(text);
  return block.closed ? text.substr(block.body) : text;
}

bool FrontMatter::Read(std::string_view text, const std::string& path, const DiagnosticSink& sink) {
  present_ = false;
  format_ = Format::kNone;
  body_ = 0;
  values_ = JsonDocument::NewObject();
  Block block = Find(text);
  if (block.format == Format::kNone) return false;
  const char* fence = block.format == Format::kToml ? "+++" : "---";
  if (!block.closed) {
    if (sink)
      sink(Where(path, 1) + "front matter opened by \"" + fence +
           "\" is never closed; the post is read as plain Markdown");
    return false;
  }
  if (block.text.size() > kMaxBytes) {
    if (sink)
      sink(Where(path, 2) + "front matter of " + std::to_string(block.text.size()) +
           " bytes is over the limit of " + std::to_string(kMaxBytes) + "; it is ignored");
    return false;
  }
  bool ok = block.format == Format::kToml ? ParseToml(block, 2, path, sink)
                                          : ParseYaml(block, 2, path, sink);
  if (!ok) {
    values_ = JsonDocument::NewObject();
    return false;
  }
  present_ = true;
  format_ = block.format;
  body_ = block.body;
  return true;
}

bool FrontMatter::ParseYaml(const Block& block, int first_line, const std::string& path,
                            const DiagnosticSink& sink) {
  if (flat_yaml_ && FlatYaml::Read(block.text, &values_)) return true;
  YAML::Node root;
  try {
    root = YAML::Load(std::string(block.text));
  } catch (const YAML::Exception& e) {
    int line = first_line + (e.mark.line >= 0 ? e.mark.line : 0);
    if (sink) sink(Where(path, line) + "front matter is not valid YAML: " + e.msg);
    return false;
  }
  if (root.IsNull()) return true;  // an empty block: no keys
  if (!root.IsMap()) {
    if (sink) sink(Where(path, first_line) + "front matter is not a mapping of keys to values");
    return false;
  }
  Converter converter;
  return Keep(converter, converter.FromYaml(root, 0), first_line, path, sink, &values_);
}

bool FrontMatter::ParseToml(const Block& block, int first_line, const std::string& path,
                            const DiagnosticSink& sink) {
  toml::table root;
  try {
    root = toml::parse(block.text, path);
  } catch (const toml::parse_error& e) {
    int line = first_line - 1 + static_cast<int>(e.source().begin.line);
    if (sink)
      sink(Where(path, line) + "front matter is not valid TOML: " + std::string(e.description()));
    return false;
  }
  Converter converter;
  return Keep(converter, converter.FromToml(root, 0), first_line, path, sink, &values_);
}

JsonDocument FrontMatter::TakeValues() {
  JsonDocument values = std::move(values_);
  values_ = JsonDocument::NewObject();
  return values;
}

bool FrontMatter::Has(std::string_view key) const { return values_.Exists(key); }

std::string FrontMatter::GetText(std::string_view key) const {
  int type = values_.GetType(key);
  if (type == JsonDocument::kObject || type == JsonDocument::kArray) return "";
  if (type == JsonDocument::kString) return values_.GetText(key);
  return values_.GetLiteral(key) == "null" ? "" : values_.GetLiteral(key);
}

std::vector<std::string> FrontMatter::GetList(std::string_view key) const {
  std::vector<std::string> list;
  std::string path(key);
  if (values_.GetType(path) != JsonDocument::kArray) {
    std::string single = GetText(path);
    if (!single.empty()) list.push_back(std::move(single));
    return list;
  }
  int n = values_.GetCount(path);
  for (int i = 0; i < n; ++i) {
    std::string item = GetText(path + "[" + std::to_string(i) + "]");
    if (!item.empty()) list.push_back(std::move(item));
  }
  return list;
}

bool FrontMatter::GetFlag(std::string_view key, bool* value) const {
  std::string text = GetText(key);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (text == "true" || text == "yes" || text == "on") {
    *value = true;
    return true;
  }
  if (text == "false" || text == "no" || text == "off") {
    *value = false;
    return true;
  }
  return false;
}

FrontMatter::DateResult FrontMatter::GetDate(std::string_view key, std::time_t* time) const {
  if (!values_.Exists(key) || values_.GetType(key) == JsonDocument::kNull)
    return DateResult::kMissing;
  return ParseDate(GetText(key), time) ? DateResult::kRead : DateResult::kUnreadable;
}

bool FrontMatter::ParseDate(std::string_view text, std::time_t* time) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::size_t i = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::size_t start = 0;
  if (!ReadNumber(text, &i, 4, &year) || i - start != 4) return false;
  if (i >= text.size() || (text[i] != '-' && text[i] != '/')) return false;
  char separator = text[i++];
  if (!ReadNumber(text, &i, 2, &month) || !Expect(text, &i, separator)) return false;
  if (!ReadNumber(text, &i, 2, &day)) return false;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  bool has_offset = false;
  long offset = 0;
  if (i < text.size()) {
    if (text[i] == 'T' || text[i] == 't') {
      ++i;
    } else if (text[i] == ' ') {
      while (i < text.size() && text[i] == ' ') ++i;
    } else {
      return false;
    }
    if (!ReadNumber(text, &i, 2, &hour) || !Expect(text, &i, ':')) return false;
    start = i;
    if (!ReadNumber(text, &i, 2, &minute) || i - start != 2) return false;
    if (Expect(text, &i, ':')) {
      start = i;
      if (!ReadNumber(text, &i, 2, &second) || i - start != 2) return false;
      if (Expect(text, &i, '.') || Expect(text, &i, ',')) {
        start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (i == start) return false;
      }
    }
    if (hour > 23 || minute > 59 || second > 60) return false;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size()) {
      if (!ReadOffset(text, &i, &offset) || i != text.size()) return false;
      has_offset = true;
    }
  }
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  if (has_offset) {
    *time = timegm(&tm) - offset;
  } else {
    tm.tm_isdst = -1;
    *time = mktime(&tm);
  }
  return true;
}

std::string FrontMatter::FormatNow(std::time_t now) {
  std::tm tm{};
  localtime_r(&now, &tm);
  long offset = tm.tm_gmtoff;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                sign, offset / 3600, (offset % 3600) / 60);
  return buffer;
}

std::string FrontMatter::NewPostText(std::string_view title, std::time_t now) {
  // A double-quoted YAML scalar reads back as exactly the title.
  std::string quoted = "\"";
  for (char c : title) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (u < 0x20 || u == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", u);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  quoted += '"';
  if (title.empty()) quoted.clear();  // "title:" alone, to be filled in
  return "---\ntitle:" + std::string(quoted.empty() ? "" : " ") + quoted +
         "\ndate: " + FormatNow(now) + "\ntags: []\n---\n\n";
}

}  // namespace tarn
