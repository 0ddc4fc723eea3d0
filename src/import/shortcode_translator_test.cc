#include "import/shortcode_translator.h"

#include <gtest/gtest.h>

#include "import/tag_translation_cases.h"

namespace tarn {
namespace {

TEST(ShortcodeTranslatorTest, TranslatesOutsideCodeAndLeavesTheRest) {
  const TagTranslationCase cases[] = {
      // A highlight inside a paragraph gets lines of its own; a fence
      // longer than the code's own backticks.
      {"Code: {{< highlight go \"linenos=table\" >}}\nx := \"```\"\n{{< / highlight >}} after\n",
       "Code: \n````go\nx := \"```\"\n````\n after\n", 0},
      {"{{% highlight %}}\nplain\n{{% /highlight %}}\n", "```\nplain\n```\n", 0},
      // Without its closing tag a highlight is left.
      {"{{< highlight go >}}\nx\n", "{{< highlight go >}}\nx\n", 1},
      {"{{< figure src=\"a.png\" alt=\"A\" link=\"big.png\" />}}", "[![A](a.png)](big.png)", 0},
      {"{{< figure src=\"a.png\" caption=\"<em>x</em> & \\\"y\\\"\" >}}",
       "<figure><img src=\"a.png\" alt=\"&lt;em&gt;x&lt;/em&gt; &amp; &quot;y&quot;\">"
       "<figcaption><em>x</em> & \"y\"</figcaption></figure>",
       0},
      {"{{< figure title=\"no source\" >}}", "{{< figure title=\"no source\" >}}", 1},
      {"[a]({{< ref \"b.md#sec\" >}}) [c]({{< relref path=\"/posts/b\" >}})",
       "[a](../articles/b.html#sec) [c](../articles/b.html)", 0},
      {"{{< tweet 877500564405444608 >}}", "[Post on X](https://x.com/i/status/877500564405444608)",
       0},
      {"{{< youtube \"bad id!\" >}} {{< gist onlyuser >}} {{< param nothing >}}",
       "{{< youtube \"bad id!\" >}} {{< gist onlyuser >}} {{< param nothing >}}", 3},
      // Front matter, spans of any length and fences of either kind are
      // left alone; an escape outside them shows the shortcode.
      {"---\nx: \"{{< param a >}}\"\n---\n``{{< param a >}}`` ~~~\n{{< param a >}}\n",
       "---\nx: \"{{< param a >}}\"\n---\n``{{< param a >}}`` ~~~\nA\n", 0},
      {"~~~\n{{< param a >}}\n```\n{{< param a >}}\n~~~~\n{{< param a >}}",
       "~~~\n{{< param a >}}\n```\n{{< param a >}}\n~~~~\nA", 0},
      // Indented code too; four columns in a list item are its text.
      {"Text\n\n    {{< param a >}}\n\n{{< param a >}}\n- item\n\n    {{< param a >}}\n",
       "Text\n\n    {{< param a >}}\n\nA\n- item\n\n    A\n", 0},
      {"{{</* param a */>}} {{%/* x y */%}} {{ .Title }} {{< unclosed",
       "{{< param a >}} {{% x y %}} {{ .Title }} {{< unclosed", 0},
  };
  ShortcodeTranslator translator(
      [](const std::string& key) { return key == "a" ? std::string("A") : std::string(); },
      [](const std::string& path) {
        return path == "b.md" || path == "/posts/b" ? std::string("../articles/b.html")
                                                    : std::string();
      });
  ExpectTranslations(translator, cases);
}

TEST(ShortcodeTranslatorTest, ListsWhatItLeavesByLine) {
  std::string text = "a\n\n{{< mystery x=\"1\" >}}\n```\n{{< mystery >}}\n```\n{{% /orphan %}}\n";
  ShortcodeTranslator::Left left;
  EXPECT_EQ(ShortcodeTranslator({}, {}).Translate(&text, &left), 0);
  EXPECT_EQ(left,
            (ShortcodeTranslator::Left{{3, "{{< mystery x=\"1\" >}}"}, {7, "{{% /orphan %}}"}}));
}

}  // namespace
}  // namespace tarn
