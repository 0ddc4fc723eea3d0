// LiquidTranslator: turns the Liquid tags and kramdown markup of a Jekyll
// post into the Markdown tarn renders, so that the imported file is what
// the blogger edits from then on. highlight blocks become fenced code with
// their language; raw blocks lose their tags and keep their text; comment
// blocks go; post_url, link, include and include_relative are resolved through the Lookup
// the caller gives; {{ site.baseurl }}, {{ site.url }} and the
// relative_url / absolute_url / prepend: site.baseurl filters on a quoted
// path leave the path as a path of the new site, a static file's as a link
// relative to the article (which works wherever the site is published); a kramdown attribute list
// on a heading becomes the converter's {#id .class} where it holds only those, and goes otherwise;
// "* TOC {:toc}" goes (the theme gives the table of contents). Text inside
// code blocks (fenced or indented, MarkdownCode) and code spans is never
// touched, and kramdown's inline $$...$$ is left to the converter, which
// reads it as inline maths.
//
// What it cannot translate, and what it drops, is listed with its line.
//
// Thread safety: Translate is a pure function of its arguments and the
// lookups; any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class LiquidTranslator {
 public:
  // What the translator asks of the site. Each returns "" (or false) when
  // it cannot answer; the construct is then left as written and listed.
  struct Lookup {
    // The link to the article of the post post_url names
    // ("2017-10-29-name", perhaps with a folder before it).
    std::function<std::string(const std::string& name)> post;
    // The link to what {% link PATH %} names (a path from the site's root).
    std::function<std::string(const std::string& path)> link;
    // The text of the file include (relative false: in _includes/) or
    // include_relative (true: beside the post) names, when it is plain
    // HTML or Markdown.
    std::function<bool(const std::string& name, bool relative, std::string* text)> include;
    // The link from an article page to the static file at path ("/assets/
    // x.png", a path from the site's root), which a url filter or the
    // site's address before it names; "" when it names none, and the
    // path then stays as written.
    std::function<std::string(const std::string& path)> static_file;
  };

  // One construct left as written or dropped.
  struct Remark {
    int line = 0;           // 1-based, in the text given
    std::string construct;  // as written
    std::string what;       // "not translated", "dropped", ...
  };

  struct Result {
    std::string text;
    int translated = 0;  // constructs replaced
    int links = 0;       // of them, links and paths (post_url, link, site paths)
    std::vector<Remark> remarks;
  };

  static Result Translate(std::string_view text, const Lookup& lookup);
};

}  // namespace tarn
