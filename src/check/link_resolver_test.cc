#include "check/link_resolver.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

using Kind = LinkTarget::Kind;

struct ResolveCase {
  const char* site;
  const char* page;
  const char* link;
  Kind kind;
  const char* file;
  const char* fragment;
};

TEST(LinkResolver, ResolvesAsABrowserUnderTheSiteAddress) {
  const ResolveCase cases[] = {
      {"https://example.com", "index.html", "./articles/a.html", Kind::kInternal, "articles/a.html",
       ""},
      {"https://example.com", "articles/a.html", "../tags/", Kind::kInternal, "tags/index.html",
       ""},
      {"https://example.com", "articles/a.html", "b.html#Part%202", Kind::kInternal,
       "articles/b.html", "Part 2"},
      {"https://example.com", "articles/a.html", "#top", Kind::kInternal, "articles/a.html", "top"},
      {"https://example.com", "index.html", "articles/Markdown%20速查.html", Kind::kInternal,
       "articles/Markdown 速查.html", ""},
      {"https://example.com", "index.html", " articles/x y.html ", Kind::kInternal,
       "articles/x y.html", ""},
      {"https://example.com", "index.html", "/", Kind::kInternal, "index.html", ""},
      // The site's own full address is internal; under a base path too.
      {"https://example.com/blog", "index.html", "https://example.com/blog/x/#a", Kind::kInternal,
       "x/index.html", "a"},
      {"https://example.com/blog/", "a/b.html", "/blog/c.html", Kind::kInternal, "c.html", ""},
      {"https://example.com/blog", "index.html", "https://example.com/other/", Kind::kExternal, "",
       ""},
      {"https://example.com", "index.html", "https://elsewhere.org/x", Kind::kExternal, "", ""},
      {"https://example.com", "index.html", "//cdn.example.org/x.js", Kind::kExternal, "", ""},
      {"", "index.html", "https://example.com/", Kind::kExternal, "", ""},
      {"", "index.html", "a.html", Kind::kInternal, "a.html", ""},
      {"https://example.com", "index.html", "mailto:me@example.com", Kind::kSkipped, "", ""},
      {"https://example.com", "index.html", "tel:+123", Kind::kSkipped, "", ""},
      {"https://example.com", "index.html", "javascript:void(0)", Kind::kSkipped, "", ""},
      {"https://example.com", "index.html", "data:image/png;base64,AA==", Kind::kSkipped, "", ""},
  };
  for (const ResolveCase& c : cases) {
    LinkTarget target = LinkResolver(c.site).Resolve(c.page, c.link);
    SCOPED_TRACE(std::string(c.site) + " " + c.page + " " + c.link + " -> " + target.url);
    EXPECT_EQ(target.kind, c.kind);
    EXPECT_EQ(target.file, c.file);
    EXPECT_EQ(target.fragment, c.fragment);
  }
}

}  // namespace
}  // namespace tarn
