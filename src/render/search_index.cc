#include "render/search_index.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "data/json_string.h"
#include "data/utf8.h"
#include "render/site_render.h"

namespace tarn {
namespace {

bool StartsWithIgnoringCase(std::string_view text, size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
  }
  return true;
}

// A character reference's code point in UTF-8; what no character can be
// (NUL, surrogates, beyond U+10FFFF) becomes U+FFFD.
void AppendReferenced(std::string* out, unsigned long code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  AppendUtf8(out, static_cast<char32_t>(code));
}

// Decodes the character reference at html[at] ("&amp;", "&#39;", "&#x4e2d;")
// into *out and returns its length; 0 when there is none to decode.
size_t DecodeReference(std::string_view html, size_t at, std::string* out) {
  size_t end = html.find(';', at);
  if (end == std::string_view::npos || end - at > 10) return 0;
  std::string name(html.substr(at + 1, end - at - 1));
  static const struct {
    const char* name;
    const char* text;
  } kNamed[] = {{"amp", "&"},   {"lt", "<"},   {"gt", ">"},
                {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
  for (const auto& named : kNamed) {
    if (name == named.name) {
      out->append(named.text);
      return end - at + 1;
    }
  }
  if (name.size() < 2 || name[0] != '#') return 0;
  bool hex = name[1] == 'x' || name[1] == 'X';
  const char* digits = name.c_str() + (hex ? 2 : 1);
  char* stop = nullptr;
  unsigned long code = std::strtoul(digits, &stop, hex ? 16 : 10);
  if (*digits == '\0' || *stop != '\0') return 0;
  AppendReferenced(out, code);
  return end - at + 1;
}

// The bytes from html[at] on that copy as they are: whole UTF-8
// characters, the first whatever it is, up to the next tag, character
// reference or white space other than one space between words, at most
// max_chars of them (counted into *chars).
// Copied as one piece: a post's text is mostly such runs.
size_t WordRun(std::string_view html, size_t at, size_t max_chars, size_t* chars) {
  // Per byte: 0 continues a character, 1 starts one, 2 parts words (a
  // tag, a character reference, white space).
  static const std::array<unsigned char, 256> kKind = [] {
    std::array<unsigned char, 256> kind{};
    for (int b = 0; b < 256; ++b)
      kind[b] = (b & 0xC0) == 0x80 ? 0 : (b == '<' || b == '&' || std::isspace(b)) ? 2 : 1;
    return kind;
  }();
  size_t end = at + 1;
  *chars = 1;
  for (; end < html.size(); ++end) {
    unsigned char kind = kKind[static_cast<unsigned char>(html[end])];
    if (kind == 0) continue;
    // One space between two words is copied as it is, counted as one
    // character; any other white space is made one space by the caller.
    if (kind == 2 && (html[end] != ' ' || end + 1 == html.size() ||
                      kKind[static_cast<unsigned char>(html[end + 1])] != 1))
      break;
    if (*chars >= max_chars) break;
    ++*chars;
  }
  return end - at;
}

}  // namespace

std::string SearchIndex::PlainText(std::string_view html, size_t max_chars) {
  std::string out;
  // The text is never longer than the HTML, nor than max_chars characters
  // of at most four bytes.
  out.reserve(std::min(html.size() / 4, max_chars) * 4);
  size_t chars = 0;
  bool space = false;
  for (size_t i = 0; i < html.size() && chars < max_chars;) {
    char c = html[i];
    if (c == '<') {
      for (std::string_view skip : {"script", "style"}) {
        if (StartsWithIgnoringCase(html, i + 1, skip)) {
          size_t close = html.find(std::string("</") + std::string(skip), i);
          i = close == std::string_view::npos ? html.size() : close;
          break;
        }
      }
      size_t end = html.find('>', i);
      i = end == std::string_view::npos ? html.size() : end + 1;
      space = true;  // a tag may part two words
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = true;
      ++i;
      continue;
    }
    if (space && !out.empty()) {
      out.push_back(' ');
      ++chars;
      if (chars >= max_chars) break;
    }
    space = false;
    size_t used = c == '&' ? DecodeReference(html, i, &out) : 0;
    if (used == 0) {
      size_t run = 0;
      used = WordRun(html, i, max_chars - chars, &run);
      out.append(html.substr(i, used));
      chars += run - 1;
    }
    i += used;
    ++chars;
  }
  return out;
}

void SearchIndex::Add(std::string_view title, std::string_view url, std::string_view date,
                      const std::vector<std::string>& tags, std::string_view text) {
  entries_.append(entries_.empty() ? "[{\"title\":" : ",{\"title\":");
  AppendJsonText(title, &entries_);
  entries_.append(",\"url\":");
  AppendJsonText(url, &entries_);
  entries_.append(",\"date\":");
  AppendJsonText(date, &entries_);
  entries_.append(",\"tags\":[");
  for (std::size_t i = 0; i < tags.size(); ++i) {
    if (i > 0) entries_.push_back(',');
    AppendJsonText(tags[i], &entries_);
  }
  entries_.append("],\"text\":");
  AppendJsonText(text, &entries_);
  entries_.push_back('}');
}

std::string SearchIndex::Json() const { return entries_.empty() ? "[]" : entries_ + "]"; }

bool SearchIndex::Write(SiteRender& site) {
  if (!site.features().search) return true;
  SearchIndex index;
  const std::vector<PostFile>& posts = site.posts();
  const std::vector<std::string>& texts = site.plain_texts();
  for (std::size_t i = 0; i < posts.size(); ++i) {
    const PostFile& post = posts[i];
    index.Add(post.title, post.Url(site.config().url_prefix()), post.post_time, post.tags,
              i < texts.size() ? texts[i] : "");
  }
  const std::string json = index.Json();
  site.out().Write("search.json", json);
  // The index once more inside the script, copied once: it is the size of
  // the posts' text.
  constexpr std::string_view kBefore = "window.tarnSearchIndex = ", kAfter = ";\n";
  std::string script;
  script.reserve(kBefore.size() + json.size() + kAfter.size());
  script.append(kBefore).append(json).append(kAfter);
  site.out().Write("search.js", script);
  return true;
}

}  // namespace tarn
