#include "import/post_links.h"

#include <cctype>
#include <cstdio>

#include "import/markdown_code.h"

namespace tarn {
namespace {

bool IsRelative(std::string_view destination) {
  if (destination.empty()) return false;
  char first = destination[0];
  if (first == '/' || first == '#' || first == '?' || first == '{' || first == '\\') return false;
  // A scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
  size_t i = 0;
  while (i < destination.size() &&
         (std::isalnum(static_cast<unsigned char>(destination[i])) || destination[i] == '+' ||
          destination[i] == '-' || destination[i] == '.')) {
    ++i;
  }
  return !(i > 0 && i < destination.size() && destination[i] == ':' &&
           std::isalpha(static_cast<unsigned char>(first)));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A path on the site's own host: "/..." but not "//host/...".
bool IsSitePath(std::string_view destination) {
  return destination.size() > 1 && destination[0] == '/' && destination[1] != '/';
}

// An address on the web: "http://..." or "https://...".
bool IsWebAddress(std::string_view destination) {
  return destination.substr(0, 7) == "http://" || destination.substr(0, 8) == "https://";
}

using Wanted = bool (*)(std::string_view destination);

void AddIfWanted(std::string_view text, size_t begin, size_t end, Wanted wanted,
                 std::vector<PostLinks::Link>* links) {
  std::string_view destination = text.substr(begin, end - begin);
  if (!wanted(destination)) return;
  size_t cut = destination.find_first_of("?#");
  PostLinks::Link link;
  link.begin = begin;
  link.end = end;
  link.path = PostLinks::Decode(destination.substr(0, cut));
  if (cut != std::string_view::npos) link.suffix = std::string(destination.substr(cut));
  if (!link.path.empty()) links->push_back(std::move(link));
}

// The end of an inline link destination starting at text[pos] (not "<"):
// up to white space or the ")" that closes the link, parentheses balanced.
size_t DestinationEnd(std::string_view text, size_t pos, size_t line_end) {
  int depth = 0;
  while (pos < line_end) {
    char c = text[pos];
    if (c == ' ' || c == '\t' || c == '\r') break;
    if (c == '\\' && pos + 1 < line_end) {
      pos += 2;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && depth-- == 0) break;
    ++pos;
  }
  return pos;
}

// Links on one line: [text](dest), ![alt](dest), [id]: dest, src="dest"
// and href="dest".
void ScanLine(std::string_view text, size_t begin, size_t end, Wanted wanted,
              std::vector<PostLinks::Link>* links) {
  std::string_view line = text.substr(begin, end - begin);
  // A reference definition: up to three spaces, [label]:, the destination.
  size_t indent = line.find_first_not_of(' ');
  if (indent != std::string_view::npos && indent <= 3 && line[indent] == '[') {
    size_t close = line.find("]:", indent);
    if (close != std::string_view::npos) {
      size_t dest = line.find_first_not_of(" \t", close + 2);
      if (dest != std::string_view::npos) {
        if (line[dest] == '<') {
          size_t gt = line.find('>', dest);
          if (gt != std::string_view::npos)
            AddIfWanted(text, begin + dest + 1, begin + gt, wanted, links);
        } else {
          size_t stop = line.find_first_of(" \t\r", dest);
          if (stop == std::string_view::npos) stop = line.size();
          AddIfWanted(text, begin + dest, begin + stop, wanted, links);
        }
      }
      return;
    }
  }
  for (size_t pos = line.find("]("); pos != std::string_view::npos;
       pos = line.find("](", pos + 2)) {
    size_t dest = pos + 2;
    while (dest < line.size() && (line[dest] == ' ' || line[dest] == '\t')) ++dest;
    if (dest >= line.size()) break;
    if (line[dest] == '<') {
      size_t gt = line.find('>', dest);
      if (gt != std::string_view::npos)
        AddIfWanted(text, begin + dest + 1, begin + gt, wanted, links);
    } else {
      AddIfWanted(text, begin + dest, DestinationEnd(text, begin + dest, end), wanted, links);
    }
  }
  for (std::string_view attribute : {"src=", "href="}) {
    for (size_t pos = line.find(attribute); pos != std::string_view::npos;
         pos = line.find(attribute, pos + 1)) {
      if (pos > 0 && line[pos - 1] != ' ' && line[pos - 1] != '\t') continue;
      size_t quote = pos + attribute.size();
      if (quote >= line.size() || (line[quote] != '"' && line[quote] != '\'')) continue;
      size_t close = line.find(line[quote], quote + 1);
      if (close == std::string_view::npos) continue;
      AddIfWanted(text, begin + quote + 1, begin + close, wanted, links);
    }
  }
}

// The links of markdown outside its code (MarkdownCode) whose destination
// is wanted.
std::vector<PostLinks::Link> FindLinks(std::string_view markdown, Wanted wanted) {
  std::vector<PostLinks::Link> links;
  for (size_t pos = 0; pos < markdown.size();) {
    size_t end = markdown.find('\n', pos);
    if (end == std::string_view::npos) end = markdown.size();
    ScanLine(markdown, pos, end, wanted, &links);
    pos = end + 1;
  }
  const MarkdownCode::Ranges code = MarkdownCode::Find(markdown);
  std::erase_if(links, [&code](const PostLinks::Link& link) {
    return MarkdownCode::At(code, link.begin) != nullptr;
  });
  return links;
}

}  // namespace

std::vector<PostLinks::Link> PostLinks::FindRelative(std::string_view markdown) {
  return FindLinks(markdown, IsRelative);
}

std::vector<PostLinks::Link> PostLinks::FindSitePaths(std::string_view markdown) {
  return FindLinks(markdown, IsSitePath);
}

std::vector<PostLinks::Link> PostLinks::FindWebAddresses(std::string_view markdown) {
  return FindLinks(markdown, IsWebAddress);
}

std::string PostLinks::Rewrite(std::string_view markdown, const std::vector<Link>& links,
                               const std::vector<std::string>& destinations) {
  std::string out;
  size_t copied = 0;
  for (size_t i = 0; i < links.size() && i < destinations.size(); ++i) {
    if (destinations[i].empty()) continue;
    out.append(markdown.substr(copied, links[i].begin - copied));
    out += destinations[i];
    copied = links[i].end;
  }
  out.append(markdown.substr(copied));
  return out;
}

std::string PostLinks::Decode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string PostLinks::Encode(std::string_view path) {
  std::string out;
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c >= 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%%%02X", c);
      out += buffer;
    }
  }
  return out;
}

}  // namespace tarn
