#include "import/liquid_translator.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

LiquidTranslator::Lookup TestLookup() {
  LiquidTranslator::Lookup lookup;
  lookup.post = [](const std::string& name) {
    return name == "2017-10-29-name" || name == "/sub/2017-10-29-name"
               ? std::string("../articles/name.html")
               : std::string();
  };
  lookup.link = [](const std::string& path) {
    return path == "assets/a.pdf" ? std::string("/assets/a.pdf") : std::string();
  };
  lookup.static_file = [](const std::string& path) {
    return path == "/assets/a.pdf" ? std::string("../assets/a.pdf") : std::string();
  };
  lookup.include = [](const std::string& name, bool relative, std::string* text) {
    if (name != "note.html") return false;
    *text = relative ? "Beside" : "<p>Note</p>";
    return true;
  };
  return lookup;
}

TEST(LiquidTranslatorTest, TranslatesWhatTarnHasAFormFor) {
  struct Case {
    const char* text;
    const char* expected;
    int translated;
  };
  const Case cases[] = {
      // highlight, with linenos, and a heading-like comment line kept as code.
      {"{% highlight python linenos %}\n# comment\nx = 1\n{% endhighlight %}\n",
       "```python\n# comment\nx = 1\n```\n", 1},
      {"  {%- highlight c -%}\n  int a;{% endhighlight %}\n", "  ```c\n  int a;\n  ```\n", 1},
      {"{% highlight md %}\n```\n{% endhighlight %}\n", "````md\n```\n````\n", 1},
      // raw keeps its text, inline and over lines.
      {"a {% raw %}{{ x }} {% y %}{% endraw %} b\n", "a {{ x }} {% y %} b\n", 1},
      {"{% raw %}\n{{ x }}\n{% endraw %}\nc {{ site.baseurl }}/d\n", "\n{{ x }}\n\nc /d\n", 2},
      {"a{% comment %} gone\nstill gone {% endcomment %}b\n", "ab\n", 1},
      // Links and paths.
      {"[n]({{ site.baseurl }}{% post_url 2017-10-29-name %})\n", "[n](../articles/name.html)\n",
       2},
      {"[n]({% post_url /sub/2017-10-29-name %}#part)\n", "[n](../articles/name.html#part)\n", 1},
      {"![x]({{ '/assets/x.png' | relative_url }}) ![y]({{ \"img/y.png\" | absolute_url }})\n",
       "![x](/assets/x.png) ![y](/img/y.png)\n", 2},
      {"[pdf]({% link assets/a.pdf %}) {{site.url}}/feed.xml\n", "[pdf](/assets/a.pdf) /feed.xml\n",
       2},
      {"<img src=\"{{ '/a.png' | prepend: site.baseurl }}\">\n", "<img src=\"/a.png\">\n", 1},
      // A static file is linked from the article, wherever the site lies.
      {"[a]({{ site.baseurl }}/assets/a.pdf#p) {{ 'assets/a.pdf' | relative_url }} "
       "{{ site.url }}/other\n",
       "[a](../assets/a.pdf#p) ../assets/a.pdf /other\n", 3},
      {"{% include note.html %}\n", "<p>Note</p>\n", 1},
      {"{%- include_relative note.html -%}\n", "Beside\n", 1},
      // kramdown.
      {"* TOC\n{:toc}\n\n# One\n", "\n# One\n", 1},
      {"## Title {: #top .wide}\n", "## Title {#top .wide}\n", 1},
      {"## Title\n{: .wide}\ntext\n", "## Title {.wide}\ntext\n", 1},
      // Front matter, code fences and code spans stay as written.
      {"---\ntitle: \"{{ x }}\"\n---\n`{{ site.baseurl }}` ``{% post_url a %}``\n",
       "---\ntitle: \"{{ x }}\"\n---\n`{{ site.baseurl }}` ``{% post_url a %}``\n", 0},
      {"```liquid\n{% highlight c %}\n{{ site.url }}\n```\n",
       "```liquid\n{% highlight c %}\n{{ site.url }}\n```\n", 0},
      // Indented code, after a blank line or a heading, is code.
      {"Text\n\n    {{ site.url }}/a {% post_url 2017-10-29-name %}\n\n{{ site.url }}/b\n",
       "Text\n\n    {{ site.url }}/a {% post_url 2017-10-29-name %}\n\n/b\n", 1},
      {"# H\n\t{% raw %}\nText\n    {{ site.url }}/c\n", "# H\n\t{% raw %}\nText\n    /c\n", 1},
      {"1. One\n\n    ```\n    {{ site.url }}/d\n    ```\n",
       "1. One\n\n    ```\n    {{ site.url }}/d\n    ```\n", 0},
      {"Inline $$x_1$$ maths and $5 prices.\n", "Inline $$x_1$$ maths and $5 prices.\n", 0},
      {"# {{ site.baseurl }}/a {: #h}\nends with ``", "# /a {#h}\nends with ``", 2},
  };
  for (const Case& c : cases) {
    LiquidTranslator::Result result = LiquidTranslator::Translate(c.text, TestLookup());
    EXPECT_EQ(result.text, c.expected) << c.text;
    EXPECT_EQ(result.translated, c.translated) << c.text;
  }
}

TEST(LiquidTranslatorTest, ListsEachConstructLeftOrDroppedWithItsLine) {
  struct Case {
    const char* text;
    const char* expected;
    int line;
    const char* construct;
  };
  const Case cases[] = {
      {"a\n{% post_url 2000-01-01-gone %}\n", "a\n{% post_url 2000-01-01-gone %}\n", 2,
       "{% post_url 2000-01-01-gone %}"},
      {"{% include image.html src=\"a\" %}\n", "{% include image.html src=\"a\" %}\n", 1,
       "{% include image.html src=\"a\" %}"},
      {"---\nt: 1\n---\n\n{{ page.title }}\n", "---\nt: 1\n---\n\n{{ page.title }}\n", 5,
       "{{ page.title }}"},
      {"{% if x %}y{% endif %}\n", "{% if x %}y{% endif %}\n", 1, "{% if x %}"},
      {"text\n{: .note}\n", "text\n", 2, "{: .note}"},
      {"![a](b){: width=\"50%\"}\n", "![a](b)\n", 1, "{: width=\"50%\"}"},
      {"## H {: style=\"x\"}\n", "## H\n", 1, "{: style=\"x\"}"},
      {"{% highlight c %}\n\n* TOC\n{:toc}\n", "{% highlight c %}\n\n", 1, "{% highlight c %}"},
      {"{% raw %}\n{{ x }}\n", "\n{{ x }}\n", 1, "{% raw %}"},
  };
  for (const Case& c : cases) {
    LiquidTranslator::Result result = LiquidTranslator::Translate(c.text, TestLookup());
    EXPECT_EQ(result.text, c.expected) << c.text;
    ASSERT_FALSE(result.remarks.empty()) << c.text;
    EXPECT_EQ(result.remarks[0].line, c.line) << c.text;
    EXPECT_EQ(result.remarks[0].construct, c.construct) << c.text;
  }
}

TEST(LiquidTranslatorTest, LongLinesAreWalkedWithoutExhaustingTheStack) {
  const std::string filler(1 << 20, 'x');
  for (const std::string& line :
       {"{{ " + filler, "## " + filler + " {: #a}", "{: " + filler, "{% highlight c %}" + filler,
        "```" + filler, "a `" + filler + "` {{ site.baseurl }}/b"}) {
    LiquidTranslator::Result result = LiquidTranslator::Translate(line + "\n", TestLookup());
    EXPECT_GE(result.text.size(), filler.size());
  }
}

}  // namespace
}  // namespace tarn
