#include "data/regex_object.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "data/utf8.h"

namespace tarn {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;
constexpr std::string_view kQuoteMarker = "#引号";

// The template engine runs the same handful of patterns once per page and
// per post, so compiled patterns (with their JIT code and match data) are
// kept per thread. Small: the program uses a few dozen patterns at most.
constexpr std::size_t kCacheSize = 32;

struct CompiledPattern {
  std::string pattern;
  std::uint32_t options = 0;
  pcre2_code* code = nullptr;
  pcre2_match_data* match_data = nullptr;
  int group_count = 0;

  CompiledPattern() = default;
  CompiledPattern(const CompiledPattern&) = delete;
  CompiledPattern& operator=(const CompiledPattern&) = delete;
  ~CompiledPattern() {
    pcre2_match_data_free(match_data);
    pcre2_code_free(code);
  }
};

class PatternCache {
 public:
  PatternCache() {
    compile_context_ = pcre2_compile_context_create(nullptr);
    // "." stops at CR as well as LF, and "^"/"$" see CR, LF and CRLF as line
    // ends: posts written on any system split into the same lines.
    pcre2_set_newline(compile_context_, PCRE2_NEWLINE_ANYCRLF);
    match_context_ = pcre2_match_context_create(nullptr);
    // Lazy groups over whole pages can need more than the default 32 KiB
    // JIT stack; give them room before they fail.
    jit_stack_ = pcre2_jit_stack_create(32 * 1024, 8 * 1024 * 1024, nullptr);
    if (jit_stack_ != nullptr) pcre2_jit_stack_assign(match_context_, nullptr, jit_stack_);
  }
  ~PatternCache() {
    entries_.clear();
    pcre2_jit_stack_free(jit_stack_);
    pcre2_match_context_free(match_context_);
    pcre2_compile_context_free(compile_context_);
  }

  // The compiled pattern, most recently used first; nullptr and *error set
  // when the engine rejects it.
  CompiledPattern* Get(const std::string& pattern, std::uint32_t options, std::string* error) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i]->options == options && entries_[i]->pattern == pattern) {
        if (i != 0) {
          auto entry = std::move(entries_[i]);
          entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
          entries_.insert(entries_.begin(), std::move(entry));
        }
        return entries_.front().get();
      }
    }
    int error_code = 0;
    PCRE2_SIZE error_offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     options, &error_code, &error_offset, compile_context_);
    if (code == nullptr) {
      PCRE2_UCHAR message[256];
      pcre2_get_error_message(error_code, message, sizeof message);
      *error = "invalid regular expression at offset " + std::to_string(error_offset) + ": " +
               reinterpret_cast<const char*>(message);
      return nullptr;
    }
    // JIT is an optimisation only: when it is unavailable the interpreter
    // gives the same results.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    auto entry = std::make_unique<CompiledPattern>();
    entry->pattern = pattern;
    entry->options = options;
    entry->code = code;
    entry->match_data = pcre2_match_data_create_from_pattern(code, nullptr);
    std::uint32_t captures = 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captures);
    entry->group_count = static_cast<int>(captures);
    if (entries_.size() >= kCacheSize) entries_.pop_back();
    entries_.insert(entries_.begin(), std::move(entry));
    return entries_.front().get();
  }

  pcre2_match_context* match_context() const { return match_context_; }

 private:
  pcre2_compile_context* compile_context_ = nullptr;
  pcre2_match_context* match_context_ = nullptr;
  pcre2_jit_stack* jit_stack_ = nullptr;
  std::vector<std::unique_ptr<CompiledPattern>> entries_;
};

PatternCache& Cache() {
  thread_local PatternCache cache;
  return cache;
}

std::uint32_t CompileOptions(const RegexObject::Options& options) {
  // UTF mode. Subjects are made valid before matching; PCRE2_MATCH_INVALID_UTF
  // is still set because it spares the engine a validity check of the rest
  // of the subject on every call, which would make a global search
  // quadratic. ECMAScript-like details: "\uHHHH" escapes, "[^]" for any
  // character, "$" at the very end only (without multiline), and a reference
  // to a group that took no part matching "".
  std::uint32_t flags = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX |
                        PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF | PCRE2_DOLLAR_ENDONLY;
  if (!options.case_sensitive) flags |= PCRE2_CASELESS;
  if (options.multiline) flags |= PCRE2_MULTILINE;
  return flags;
}

std::string ReplaceQuoteMarkers(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size());
  std::size_t from = 0;
  for (;;) {
    std::size_t at = pattern.find(kQuoteMarker, from);
    if (at == kNpos) break;
    out.append(pattern, from, at - from);
    out.push_back('"');
    from = at + kQuoteMarker.size();
  }
  out.append(pattern, from);
  return out;
}

// The offset just past the character at `at`: one byte for ASCII, else the
// whole UTF-8 sequence; CR LF counts as one character, being one line break
// to "^" and "$".
std::size_t NextCharacter(std::string_view text, std::size_t at) {
  if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') return at + 2;
  ++at;
  while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
    ++at;
  }
  return at;
}

// Length of the valid UTF-8 sequence starting at text[at], 0 when the byte
// there does not start one.
std::size_t ValidSequenceAt(std::string_view text, std::size_t at) {
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  return static_cast<std::size_t>(Utf8SequenceLength(begin + at, begin + text.size()));
}

// The text the engine sees: the subject itself when it is valid UTF-8, else
// a copy of the same length with every invalid byte replaced by U+001A, so
// that byte offsets into either are the same.
bool MakeValidForMatching(std::string_view subject, std::string* copy) {
  std::size_t at = 0;
  const std::size_t size = subject.size();
  bool changed = false;
  while (at < size) {
    // Runs of ASCII, the bulk of a page, are passed eight bytes at a time.
    std::uint64_t word = 0;
    while (at + sizeof word <= size) {
      std::memcpy(&word, subject.data() + at, sizeof word);
      if ((word & 0x8080808080808080ULL) != 0) break;
      at += sizeof word;
    }
    if (at >= size) break;
    if (static_cast<unsigned char>(subject[at]) < 0x80) {
      ++at;
      continue;
    }
    std::size_t length = ValidSequenceAt(subject, at);
    if (length == 0) {
      if (!changed) {
        copy->assign(subject);
        changed = true;
      }
      (*copy)[at] = '\x1A';
      length = 1;
    }
    at += length;
  }
  return changed;
}

}  // namespace

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject&) = default;
RegexObject& RegexObject::operator=(const RegexObject&) = default;

bool RegexObject::Execute(std::string_view pattern, std::string_view subject, Options options) {
  pattern_ = options.quote_marker ? ReplaceQuoteMarkers(pattern) : std::string(pattern);
  subject_.assign(subject);
  options_ = options;
  group_count_ = 0;
  compiled_ = false;
  spans_.clear();
  error_.clear();

  PatternCache& cache = Cache();
  CompiledPattern* compiled = cache.Get(pattern_, CompileOptions(options), &error_);
  if (compiled == nullptr) return false;

  std::string valid_copy;
  const std::string& engine_subject =
      MakeValidForMatching(subject_, &valid_copy) ? valid_copy : subject_;
  const auto* data = reinterpret_cast<PCRE2_SPTR>(engine_subject.data());
  const std::size_t length = subject_.size();
  const int groups = compiled->group_count;
  std::size_t start = 0;
  while (start <= length) {
    int rc = pcre2_match(compiled->code, data, length, start, 0, compiled->match_data,
                         cache.match_context());
    if (rc == PCRE2_ERROR_NOMATCH) break;
    if (rc < 0) {
      // A match or depth limit: the result would be silently incomplete.
      PCRE2_UCHAR message[256];
      pcre2_get_error_message(rc, message, sizeof message);
      error_ = std::string("regular expression failed while matching: ") +
               reinterpret_cast<const char*>(message);
      spans_.clear();
      return false;
    }
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(compiled->match_data);
    for (int g = 0; g <= groups; ++g) {
      if (g < rc && ovector[2 * g] != PCRE2_UNSET) {
        spans_.push_back({ovector[2 * g], ovector[2 * g + 1]});
      } else {
        spans_.push_back({kNpos, kNpos});
      }
    }
    if (!options.global) break;
    // After an empty match the search moves on by one character, as
    // ECMAScript's global matching does, so it cannot find the same empty
    // match again.
    std::size_t next = ovector[1];
    if (ovector[1] <= ovector[0] || next <= start) {
      if (next >= length) break;
      next = NextCharacter(engine_subject, next > start ? next : start);
    }
    start = next;
  }
  group_count_ = groups;
  compiled_ = true;
  return true;
}

std::string RegexObject::GetPattern() const { return pattern_; }

int RegexObject::GetMatchCount() const {
  if (!compiled_) return 0;
  return static_cast<int>(spans_.size() / static_cast<std::size_t>(group_count_ + 1));
}

int RegexObject::GetSubMatchCount() const { return GetMatchCount() > 0 ? group_count_ : 0; }

std::string_view RegexObject::MatchView(int match) const { return SubMatchView(match, 0); }

std::string_view RegexObject::SubMatchView(int match, int group) const {
  if (match < 1 || match > GetMatchCount() || group < 0 || group > group_count_) return {};
  const Span& span =
      spans_[static_cast<std::size_t>(match - 1) * static_cast<std::size_t>(group_count_ + 1) +
             static_cast<std::size_t>(group)];
  if (span.start == kNpos) return {};
  return std::string_view(subject_).substr(span.start, span.end - span.start);
}

std::size_t RegexObject::MatchPosition(int match) const {
  if (match < 1 || match > GetMatchCount()) return kNpos;
  return spans_[static_cast<std::size_t>(match - 1) * static_cast<std::size_t>(group_count_ + 1)]
      .start;
}

std::vector<std::string_view> RegexObject::MatchViews() const {
  std::vector<std::string_view> views;
  const int count = GetMatchCount();
  views.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) views.push_back(MatchView(i));
  return views;
}

std::string_view RegexObject::TextBefore(int match) const {
  const int count = GetMatchCount();
  if (match < 1 || match > count + 1) return {};
  std::size_t from = match == 1 ? 0 : MatchPosition(match - 1) + MatchView(match - 1).size();
  std::size_t to = match <= count ? MatchPosition(match) : subject_.size();
  return std::string_view(subject_).substr(from, to - from);
}

std::string RegexObject::GetMatch(int match, std::size_t* position) const {
  if (position != nullptr) *position = MatchPosition(match);
  return std::string(MatchView(match));
}

std::string RegexObject::GetSubMatch(int match, int group, std::size_t* position) const {
  if (position != nullptr) *position = kNpos;
  if (group < 1) return {};
  std::string_view text = SubMatchView(match, group);
  if (position != nullptr && text.data() != nullptr) {
    *position = static_cast<std::size_t>(text.data() - subject_.data());
  }
  return std::string(text);
}

std::string RegexObject::Replace(std::string_view replacement) const {
  const int count = GetMatchCount();
  if (count == 0) return subject_;
  const std::string_view subject = subject_;
  const std::size_t stride = static_cast<std::size_t>(group_count_ + 1);
  std::string out;
  out.reserve(subject.size());
  std::size_t copied = 0;
  for (int m = 0; m < count; ++m) {
    const Span* spans = &spans_[static_cast<std::size_t>(m) * stride];
    const std::size_t match_start = spans[0].start;
    const std::size_t match_end = spans[0].end;
    if (match_start < copied || match_end < match_start) continue;
    out.append(subject, copied, match_start - copied);
    for (std::size_t i = 0; i < replacement.size(); ++i) {
      char c = replacement[i];
      if (c != '$' || i + 1 >= replacement.size()) {
        out.push_back(c);
        continue;
      }
      char next = replacement[i + 1];
      if (next == '$') {
        out.push_back('$');
        ++i;
      } else if (next == '&') {
        out.append(subject, match_start, match_end - match_start);
        ++i;
      } else if (next == '`') {
        out.append(subject, 0, match_start);
        ++i;
      } else if (next == '\'') {
        out.append(subject, match_end);
        ++i;
      } else if (next >= '0' && next <= '9') {
        // Two digits when they name an existing group, else one; "$0",
        // "$00" and references past the last group stay as written.
        int index = next - '0';
        std::size_t digits = 1;
        if (i + 2 < replacement.size() && replacement[i + 2] >= '0' && replacement[i + 2] <= '9') {
          int two = index * 10 + (replacement[i + 2] - '0');
          if (two <= group_count_) {
            index = two;
            digits = 2;
          }
        }
        if (index >= 1 && index <= group_count_) {
          const Span& group = spans[index];
          if (group.start != kNpos) out.append(subject, group.start, group.end - group.start);
          i += digits;
        } else {
          out.push_back('$');
        }
      } else {
        out.push_back('$');
      }
    }
    copied = match_end;
  }
  out.append(subject, copied);
  return out;
}

}  // namespace tarn
