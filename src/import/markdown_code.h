// MarkdownCode: where a Markdown post holds text that an import's tag
// translators leave alone: its front matter, code blocks (fenced, or
// indented by four columns after a blank line, a heading or another block;
// in a list item, as far in as the item's text as well) and code spans. What is written there is
// shown as written, so a generator's tag inside it is an example, not a tag.
//
// Thread safety: pure functions; any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn {

class MarkdownCode {
 public:
  // [begin, end) byte ranges, in order and not overlapping.
  using Ranges = std::vector<std::pair<size_t, size_t>>;

  // The front matter, code blocks (fenced with ``` or ~~~ to the closing
  // fence or the end; indented, without the blank lines after them) and
  // code spans of markdown.
  static Ranges Find(std::string_view markdown);

  // The code blocks of markdown that no fence indented by three spaces at
  // most opens (indented blocks, and fences further in, in list items),
  // each from the start of its first line: for a translator that follows
  // such fences itself.
  static Ranges FindIndented(std::string_view markdown);

  // The range of ranges that holds at, or nullptr when none does.
  static const std::pair<size_t, size_t>* At(const Ranges& ranges, size_t at);

  // The 1-based line of markdown that byte at lies on.
  static int LineOf(std::string_view markdown, size_t at);

  // A fence of backticks longer than any run of backticks in code (at
  // least three), so that code fits in it whole.
  static std::string FenceFor(std::string_view code);

  // What a translator makes of one place of a post: replaced, the text up
  // to end becomes text; else it is left as written and the search goes
  // on at end. An end of std::string::npos ends the search.
  struct Change {
    bool replaced = false;
    size_t end = 0;
    std::string text;
  };
  using Changer = std::function<Change(size_t at)>;

  // markdown with each place outside its code (Find) where marker starts,
  // in order, handed to change and replaced as it says.
  static std::string ChangeOutside(const std::string& markdown, std::string_view marker,
                                   const Changer& change);

  // The code or text between a block tag's end (begin) and its closing
  // tag (end), without the line break after the one and before the other,
  // ending in a line break unless empty.
  static std::string Body(std::string_view text, size_t begin, size_t end);

  // block, which replaces text[begin, end), with line breaks added before
  // and after where text has none, so that it stands on lines of its own.
  static std::string OnOwnLines(std::string_view text, size_t begin, size_t end, std::string block);
};

}  // namespace tarn
