#include "import/markdown_code.h"

#include <algorithm>
#include <cstring>

namespace tarn {

namespace {

// The fence opening line at holds ("```", "~~~~") after at most
// max_indent spaces, or "" when it holds none.
std::string_view FenceAt(std::string_view text, size_t at, size_t max_indent = 3) {
  size_t indent = 0;
  while (indent < max_indent && at + indent < text.size() && text[at + indent] == ' ') ++indent;
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

// The columns of white space line at starts with, a tab reaching the next
// multiple of four; sets *text to where the line's text starts.
size_t IndentAt(std::string_view text, size_t at, size_t* text_at) {
  size_t columns = 0;
  for (; at < text.size() && (text[at] == ' ' || text[at] == '\t'); ++at) {
    columns = text[at] == ' ' ? columns + 1 : columns + 4 - columns % 4;
  }
  *text_at = at;
  return columns;
}

bool Blank(std::string_view text, size_t at) {
  size_t text_at = 0;
  IndentAt(text, at, &text_at);
  return text_at >= text.size() || text[text_at] == '\n' || text[text_at] == '\r';
}

// The columns a list item's content starts at when the line at is one
// ("- ", "1. ", "  * "), or 0 when it is none.
size_t ListContentAt(std::string_view text, size_t at) {
  size_t marker = 0;
  const size_t indent = IndentAt(text, at, &marker);
  size_t after = marker;
  while (after < text.size() && after - marker < 9 && text[after] >= '0' && text[after] <= '9') {
    ++after;
  }
  if (after > marker && after < text.size() && (text[after] == '.' || text[after] == ')')) {
    ++after;
  } else if (after == marker && after < text.size() && text[after] != '\0' &&
             std::strchr("-*+", text[after])) {
    // "* * *" and "- - -" are thematic breaks, not items.
    const size_t end = text.find('\n', marker);
    const std::string_view rest =
        text.substr(marker, end == std::string_view::npos ? end : end - marker);
    if (rest.find_first_not_of(std::string(1, text[after]) + " \t\r") == std::string_view::npos &&
        std::count(rest.begin(), rest.end(), text[after]) >= 3) {
      return 0;
    }
    ++after;
  } else {
    return 0;
  }
  if (after < text.size() && text[after] != ' ' && text[after] != '\t' && text[after] != '\n') {
    return 0;
  }
  size_t content = 0;
  const size_t spaces = IndentAt(text, after, &content);
  // Five spaces or more after the marker: one, and the rest is code.
  return indent + (after - marker) + (spaces == 0 || spaces > 4 ? 1 : spaces);
}

// Walks the lines of a post's body, telling where code blocks lie: fenced
// ones, and indented ones (four columns more than the list item they are
// in, if any), which open after a blank line, a heading or another block,
// never inside a paragraph.
class BlockWalk {
 public:
  explicit BlockWalk(std::string_view text) : text_(text) {}

  // The code blocks from at on.
  MarkdownCode::Ranges From(size_t at) {
    MarkdownCode::Ranges blocks;
    for (size_t line = at; line < text_.size();) {
      size_t end = FenceEnd(line);
      if (end == 0) end = IndentedEnd(line);
      if (end > 0) {
        blocks.emplace_back(line, end);
        may_open_ = true;
        line = end;
        continue;
      }
      Note(line);
      line = LineEnd(text_, line);
    }
    return blocks;
  }

 private:
  // The end of the fenced block opening at line, or 0 when none does. In
  // a list item the fence may stand as far in as the item's text, and
  // three spaces more.
  size_t FenceEnd(size_t line) const {
    const size_t max_indent = list_content_ + 3;
    std::string_view fence = FenceAt(text_, line, max_indent);
    if (fence.empty()) return 0;
    for (size_t next = LineEnd(text_, line); next < text_.size(); next = LineEnd(text_, next)) {
      std::string_view closing = FenceAt(text_, next, max_indent);
      if (!closing.empty() && closing[0] == fence[0] && closing.size() >= fence.size()) {
        return LineEnd(text_, next);
      }
    }
    return text_.size();
  }

  // The end of the indented block opening at line, without the blank
  // lines after it, or 0 when none does.
  size_t IndentedEnd(size_t line) const {
    size_t text_at = 0;
    const size_t needed = list_content_ + 4;
    if (!may_open_ || Blank(text_, line) || IndentAt(text_, line, &text_at) < needed) return 0;
    size_t end = LineEnd(text_, line);
    for (size_t next = end; next < text_.size(); next = LineEnd(text_, next)) {
      if (Blank(text_, next)) continue;
      if (IndentAt(text_, next, &text_at) < needed) break;
      end = LineEnd(text_, next);
    }
    return end;
  }

  // Follows the paragraphs, headings and lists of a line of prose.
  void Note(size_t line) {
    if (Blank(text_, line)) {
      may_open_ = blank_ = true;
      return;
    }
    size_t text_at = 0;
    const size_t indent = IndentAt(text_, line, &text_at);
    if (size_t content = ListContentAt(text_, line)) {
      list_content_ = content;
    } else if (blank_ && indent < list_content_) {
      list_content_ = 0;  // a paragraph after the list ends it
    }
    may_open_ = text_at < text_.size() && text_[text_at] == '#';
    blank_ = false;
  }

  std::string_view text_;
  bool may_open_ = true;     // whether an indented line here opens code
  bool blank_ = false;       // whether the line before was blank
  size_t list_content_ = 0;  // the columns of the open list item's content
};

}  // namespace

MarkdownCode::Ranges MarkdownCode::Find(std::string_view text) {
  Ranges ranges;
  const size_t body = FrontMatterEnd(text);
  if (body > 0) ranges.emplace_back(0, body);
  size_t prose = body;
  for (const auto& block : BlockWalk(text).From(body)) {
    AddSpans(text, prose, block.first, &ranges);
    ranges.push_back(block);
    prose = block.second;
  }
  AddSpans(text, prose, text.size(), &ranges);
  std::sort(ranges.begin(), ranges.end());
  return ranges;
}

MarkdownCode::Ranges MarkdownCode::FindIndented(std::string_view text) {
  Ranges blocks;
  for (const auto& block : BlockWalk(text).From(FrontMatterEnd(text))) {
    if (FenceAt(text, block.first).empty()) blocks.push_back(block);
  }
  return blocks;
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
