#include "import/markdown_code.h"

#include <algorithm>

namespace tarn {

namespace {

// The fence opening line at holds ("```", "~~~~"), or "" when it holds none.
std::string_view FenceAt(std::string_view text, size_t at) {
  size_t indent = 0;
  while (indent < 3 && at + indent < text.size() && text[at + indent] == ' ') ++indent;
  size_t begin = at + indent;
  if (begin >= text.size() || (text[begin] != '`' && text[begin] != '~')) return {};
  size_t end = begin;
  while (end < text.size() && text[end] == text[begin]) ++end;
  if (end - begin < 3) return {};
  return text.substr(begin, end - begin);
}

size_t LineEnd(std::string_view text, size_t at) {
  size_t end = text.find('\n', at);
  return end == std::string_view::npos ? text.size() : end + 1;
}

// The end of the front matter opening text, or 0 when it has none.
size_t FrontMatterEnd(std::string_view text) {
  for (std::string_view fence : {std::string_view("---"), std::string_view("+++")}) {
    if (text.substr(0, 3) != fence || LineEnd(text, 0) > 5) continue;
    for (size_t line = LineEnd(text, 0); line < text.size(); line = LineEnd(text, line)) {
      if (text.substr(line, 3) == fence && LineEnd(text, line) - line <= 5) {
        return LineEnd(text, line);
      }
    }
  }
  return 0;
}

// Adds the code spans of the prose text[begin, end) to *ranges.
void AddSpans(std::string_view text, size_t begin, size_t end, MarkdownCode::Ranges* ranges) {
  size_t at = begin;
  while (at < end) {
    size_t open = text.find('`', at);
    if (open == std::string_view::npos || open >= end) return;
    size_t run = open;
    while (run < end && text[run] == '`') ++run;
    const size_t length = run - open;
    size_t close = run;
    while (true) {
      close = text.find('`', close);
      if (close == std::string_view::npos || close >= end) break;
      size_t close_end = close;
      while (close_end < end && text[close_end] == '`') ++close_end;
      if (close_end - close == length) {
        ranges->emplace_back(open, close_end);
        break;
      }
      close = close_end;
    }
    if (close == std::string_view::npos || close >= end) {
      at = run;  // an unmatched run is text
    } else {
      at = ranges->back().second;
    }
  }
}

}  // namespace

MarkdownCode::Ranges MarkdownCode::Find(std::string_view text) {
  Ranges ranges;
  size_t prose = FrontMatterEnd(text);
  if (prose > 0) ranges.emplace_back(0, prose);
  size_t line = prose;
  while (line < text.size()) {
    std::string_view fence = FenceAt(text, line);
    if (fence.empty()) {
      line = LineEnd(text, line);
      continue;
    }
    AddSpans(text, prose, line, &ranges);
    size_t end = text.size();
    for (size_t next = LineEnd(text, line); next < text.size(); next = LineEnd(text, next)) {
      std::string_view closing = FenceAt(text, next);
      if (!closing.empty() && closing[0] == fence[0] && closing.size() >= fence.size()) {
        end = LineEnd(text, next);
        break;
      }
    }
    ranges.emplace_back(line, end);
    prose = line = end;
  }
  AddSpans(text, prose, text.size(), &ranges);
  std::sort(ranges.begin(), ranges.end());
  return ranges;
}

const std::pair<size_t, size_t>* MarkdownCode::At(const Ranges& ranges, size_t at) {
  auto after = std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(at, SIZE_MAX));
  if (after == ranges.begin()) return nullptr;
  --after;
  return at < after->second ? &*after : nullptr;
}

int MarkdownCode::LineOf(std::string_view text, size_t at) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
}

std::string MarkdownCode::FenceFor(std::string_view code) {
  size_t longest = 0;
  for (size_t at = 0; at < code.size();) {
    size_t run = at;
    while (run < code.size() && code[run] == '`') ++run;
    longest = std::max(longest, run - at);
    at = run == at ? at + 1 : run;
  }
  return std::string(std::max<size_t>(3, longest + 1), '`');
}

std::string MarkdownCode::ChangeOutside(const std::string& text, std::string_view marker,
                                        const Changer& change) {
  const Ranges code = Find(text);
  std::string out;
  size_t copied = 0;
  size_t at = 0;
  while ((at = text.find(marker, at)) != std::string::npos) {
    if (const auto* range = At(code, at)) {
      at = range->second;
      continue;
    }
    Change changed = change(at);
    if (changed.end == std::string::npos) break;
    if (changed.replaced) {
      out.append(text, copied, at - copied);
      out += changed.text;
      copied = changed.end;
    }
    at = std::max(changed.end, at + 1);
  }
  out.append(text, copied);
  return out;
}

std::string MarkdownCode::Body(std::string_view text, size_t begin, size_t end) {
  std::string_view body = text.substr(begin, end - begin);
  if (!body.empty() && body.front() == '\n') body.remove_prefix(1);
  std::string code(body);
  if (!code.empty() && code.back() != '\n') code += '\n';
  return code;
}

std::string MarkdownCode::OnOwnLines(std::string_view text, size_t begin, size_t end,
                                     std::string block) {
  std::string out(begin > 0 && text[begin - 1] != '\n' ? "\n" : "");
  out += block;
  if (end < text.size() && text[end] != '\n') out += '\n';
  return out;
}

}  // namespace tarn
