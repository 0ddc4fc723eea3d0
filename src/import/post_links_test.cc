#include "import/post_links.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

std::vector<std::string> Paths(const std::string& markdown) {
  std::vector<std::string> paths;
  for (const PostLinks::Link& link : PostLinks::FindRelative(markdown)) {
    paths.push_back(link.path + link.suffix);
  }
  return paths;
}

TEST(PostLinksTest, FindsRelativeDestinationsOfEveryKind) {
  EXPECT_EQ(Paths("![a](cat.png) [b](<my file.pdf> \"t\") [c](x%20y.png#frag)\n"
                  "[ref]: img/ref.png \"title\"\n"
                  "<img alt=\"z\" src=\"z.png\"> <a href='doc (1).txt'>d</a>\n"
                  "[paren](a_(b).png)\n"),
            (std::vector<std::string>{"cat.png", "my file.pdf", "x y.png#frag", "img/ref.png",
                                      "z.png", "doc (1).txt", "a_(b).png"}));
  // Absolute, anchored, templated and schemed destinations are not relative.
  EXPECT_TRUE(Paths("[a](/abs.png) [b](#top) [c](https://x/y.png) [d](mailto:a@b)\n"
                    "[e]({{ site.baseurl }}/x.png) [f](data:image/png;base64,AAA) [g]()\n")
                  .empty());
  // Code is not looked into: fenced, whatever its fence; indented; spans;
  // front matter.
  EXPECT_EQ(Paths("```md\n![a](in.png)\n```\n~~~~\n![b](in.png)\n```\n~~~~\n![c](out.png)\n"),
            (std::vector<std::string>{"out.png"}));
  EXPECT_EQ(Paths("---\nx: <img src=\"fm.png\">\n---\nText `![s](in.png)`\n\n    ![i](in.png)\n\n"
                  "![o](out.png)\n"),
            (std::vector<std::string>{"out.png"}));
}

TEST(PostLinksTest, FindsPathsOnTheSitesOwnHostAndWebAddresses) {
  std::vector<std::string> paths;
  for (const PostLinks::Link& link :
       PostLinks::FindSitePaths("[a](/2019/03/05/a/#x) [b](//cdn.example.org/x.js) [c](rel.png)\n"
                                "[ref]: /posts/b.html\n```\n[d](/in/code/)\n```\n"
                                "<a href=\"/p%20q/\">e</a> [f](/)\n")) {
    paths.push_back(link.path + link.suffix);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"/2019/03/05/a/#x", "/posts/b.html", "/p q/"}));
  std::vector<std::string> web;
  for (const PostLinks::Link& link : PostLinks::FindWebAddresses(
           "[a](https://x.org/a/) [b](/b/) [c](http://y.org) [d](ftp://z)\n")) {
    web.push_back(link.path);
  }
  EXPECT_EQ(web, (std::vector<std::string>{"https://x.org/a/", "http://y.org"}));
}

TEST(PostLinksTest, RewritesOnlyTheDestinationsItIsGiven) {
  const std::string markdown = "![a](cat.png \"T\") ![b](<dog.png>) [c](keep.png)\r\n";
  std::vector<PostLinks::Link> links = PostLinks::FindRelative(markdown);
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(PostLinks::Rewrite(markdown, links, {"../images/p/cat.png", "../d%20g.png", ""}),
            "![a](../images/p/cat.png \"T\") ![b](<../d%20g.png>) [c](keep.png)\r\n");
  EXPECT_EQ(PostLinks::Encode("images/中 文/a (1).png"), "images/中%20文/a%20%281%29.png");
}

}  // namespace
}  // namespace tarn
