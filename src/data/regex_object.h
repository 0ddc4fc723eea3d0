// RegexObject: one regular expression run over one subject, with the matches
// kept for later questions (how many, the text and byte position of each match
// and group, the subject with the matches replaced).
//
// The dialect is the ECMAScript-like one the templates are written in, on
// PCRE2 in UTF mode: lazy quantifiers, groups, [\s\S], "\/" escapes. "."
// never matches a line break. Matching ignores case unless asked, "^" and "$"
// match at line breaks unless asked, and every match is found unless asked.
// Match and group numbers count from 1; positions are 0-based byte offsets
// into the UTF-8 subject. A subject that is not valid UTF-8 never fails:
// each byte that is not part of a valid sequence is matched as if it were
// the control character U+001A, so "." and "[\s\S]" cross it and no literal
// matches it, while the texts handed back keep the subject's own bytes.
//
// Thread safety: none; one object per thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// How a pattern is run; RegexObject::Options names the same type. (Declared
// outside the class so that "Options options = {}" can default an argument.)
struct RegexOptions {
  bool case_sensitive = false;
  bool multiline = true;
  bool global = true;
  // Every "#引号" in the pattern stands for a double quote.
  bool quote_marker = false;
};

class RegexObject {
 public:
  using Options = RegexOptions;

  RegexObject();
  ~RegexObject();
  RegexObject(const RegexObject&);
  RegexObject& operator=(const RegexObject&);

  // Compiles the pattern and finds its matches in subject (all of them when
  // global, else the first). Returns true when the pattern compiled, even
  // with zero matches; false when the engine rejects the pattern, in which
  // case the counts are 0, the getters give "" and error() says why.
  bool Execute(std::string_view pattern, std::string_view subject, Options options = {});

  // The pattern of the last Execute (after quote-marker substitution); ""
  // before the first.
  std::string GetPattern() const;

  // The stored subject with the matches replaced (every match when global).
  // The replacement may use $1..$99, $&, $`, $' and $$; a reference to a group
  // that does not exist is kept literally, one that took no part gives "".
  std::string Replace(std::string_view replacement) const;

  int GetMatchCount() const;
  // Text of match `match` (from 1); "" when out of range. When position is
  // given it receives the 0-based byte offset (npos when out of range).
  std::string GetMatch(int match, std::size_t* position = nullptr) const;
  // Text of group `group` (from 1) of match `match` (from 1); "" for a group
  // that took no part or is out of range (position npos then).
  std::string GetSubMatch(int match, int group, std::size_t* position = nullptr) const;
  // Number of groups in the pattern (the groups of the first match); 0 when
  // nothing matched.
  int GetSubMatchCount() const;

  // Views into the stored subject, for hot paths; valid until the next
  // Execute or destruction.
  std::string_view MatchView(int match) const;
  std::string_view SubMatchView(int match, int group) const;
  // The 0-based byte offset of match `match` (from 1); npos when out of range.
  std::size_t MatchPosition(int match) const;
  // Every match's text, in order.
  std::vector<std::string_view> MatchViews() const;
  // The subject between the end of match `match` - 1 (or its start) and the
  // start of match `match`; for GetMatchCount() + 1, the rest after the
  // last match. Empty when out of range.
  std::string_view TextBefore(int match) const;

  const std::string& error() const { return error_; }

 private:
  struct Span {
    std::size_t start;
    std::size_t end;  // start == npos when the group took no part
  };
  std::string pattern_;
  std::string subject_;
  Options options_;
  int group_count_ = 0;
  bool compiled_ = false;
  // (group_count_ + 1) spans per match: the whole match, then each group.
  std::vector<Span> spans_;
  std::string error_;
};

}  // namespace tarn
