// PostLinks: the relative links of a Markdown post (inline links and
// images, reference definitions, src and href attributes of HTML), found
// outside its code (MarkdownCode: front matter, code blocks and spans), and rewriting their
// destinations while every other byte of the post stays as it was. Used when posts move to another
// folder structure and the files they link to move with them.
//
// Thread safety: pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class PostLinks {
 public:
  struct Link {
    // The destination's bytes in the post: [begin, end), without the angle
    // brackets of a <destination>.
    size_t begin = 0;
    size_t end = 0;
    // The path part, percent-decoded ("images/a b.png").
    std::string path;
    // What followed the path: "?query", "#fragment" or "".
    std::string suffix;
  };

  // The links whose destination is relative: not empty, not starting with
  // "/", "#", "?" or "{" (a template expression), and without a scheme
  // ("https:", "mailto:", "data:"). In the order they appear.
  static std::vector<Link> FindRelative(std::string_view markdown);

  // The links whose destination is a path on the site's own host ("/2019/
  // 03/05/hello/", not "//host/..."), as FindRelative finds links.
  static std::vector<Link> FindSitePaths(std::string_view markdown);

  // The links whose destination starts with "http://" or "https://", as
  // FindRelative finds links.
  static std::vector<Link> FindWebAddresses(std::string_view markdown);

  // markdown with links[i]'s destination replaced by destinations[i];
  // an empty destination leaves that link alone. links must come from
  // FindRelative on the same text.
  static std::string Rewrite(std::string_view markdown, const std::vector<Link>& links,
                             const std::vector<std::string>& destinations);

  // text with each "%XX" turned into its byte; other "%" signs kept.
  static std::string Decode(std::string_view text);

  // path percent-encoded for a link destination: letters, digits, "-._~/"
  // and UTF-8 text kept, everything else (spaces, parentheses, quotes)
  // encoded.
  static std::string Encode(std::string_view path);
};

}  // namespace tarn
