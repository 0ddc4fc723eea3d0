// TagArguments: the arguments of a generator's template tag, as Hugo's
// shortcodes and Hexo's tags write them: words separated by spaces, a
// word in "double quotes" (\" a quote in it) or `back quotes` kept
// whole, and a word NAME=VALUE (NAME of letters, digits, "_" and "-") a
// named argument.
//
// Thread safety: a value; pure functions.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class TagArguments {
 public:
  // The arguments written in text (the tag without its name).
  static TagArguments Parse(std::string_view text);

  // The words that are not named arguments, without their quotes, in order.
  const std::vector<std::string>& positional() const { return positional_; }

  // The named argument's value, else positional argument index, else "".
  std::string Get(std::string_view name, size_t index) const;

  // The named argument's value, or "".
  std::string Named(std::string_view name) const;

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::string, std::less<>> named_;
};

}  // namespace tarn
