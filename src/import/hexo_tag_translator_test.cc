#include "import/hexo_tag_translator.h"

#include <gtest/gtest.h>

#include "import/tag_translation_cases.h"

namespace tarn {
namespace {

TEST(HexoTagTranslatorTest, TranslatesOutsideCodeAndLeavesTheRest) {
  const TagTranslationCase cases[] = {
      {"{% codeblock lang:js line_number:false mark:1,2 %}\nlet a = 1;\n{% endcodeblock %}",
       "```js\nlet a = 1;\n```", 0},
      {"{% codeblock \"A title\" https://x.org/a.c %}\nint a;\n{% endcodeblock %}\n",
       "*A title* [link](https://x.org/a.c)\n\n```\nint a;\n```\n", 0},
      {"{% code %}\nno end\n", "{% code %}\nno end\n", 1},
      {"{% blockquote %}\nOne\n\nTwo\n{% endblockquote %}", "> One\n>\n> Two", 0},
      {"{% blockquote Ann https://x.org/q Where %}\nQ\n{% endblockquote %}",
       "> Q\n>\n> — Ann, [Where](https://x.org/q)", 0},
      {"{% note %}\nPlain.\n{% endnote %}", "> [!NOTE]\n> Plain.", 0},
      {"{% note success no-icon %}\nGood.\n{% endnote %}", "> [!TIP]\n> Good.", 0},
      {"{% note danger %}\nBad.\n{% endnote %}", "> [!CAUTION]\n> Bad.", 0},
      {"{% post_link dir/b %} {% post_link b Named true %} {% post_path nope %}",
       "[B](../articles/b.html) [Named](../articles/b.html) {% post_path nope %}", 1},
      {"{% youtube PL1 playlist %} {% iframe https://www.youtube.com/embed/abc?x=1 %}",
       "[Playlist on YouTube](https://www.youtube.com/playlist?list=PL1) <a class=\"video-embed\" "
       "href=\"https://www.youtube.com/watch?v=abc\"><span class=\"video-embed-thumb\" "
       "aria-hidden=\"true\">&#9654;</span><span class=\"video-embed-label\">Watch the video on "
       "YouTube</span></a>",
       0},
      {"{% iframe https://maps.example.org/x 100 200 %} {% iframe notaurl %}",
       "[https://maps.example.org/x](https://maps.example.org/x) {% iframe notaurl %}", 1},
      // Assets of the post's folder are left for HexoSource, unreported.
      {"{% asset_img here.png %} {% asset_path gone.png %}",
       "{% asset_img here.png %} {% asset_path gone.png %}", 1},
      {"{%- raw -%}{% post_link b %}{% endraw %} `{% post_link b %}`\n```\n{% post_link b %}\n```",
       "{% post_link b %} `{% post_link b %}`\n```\n{% post_link b %}\n```", 0},
      // Indented code, but not a paragraph's indented line.
      {"Text\n\n\t{% post_link b %}\nPara\n    {% post_link b %}\n",
       "Text\n\n\t{% post_link b %}\nPara\n    [B](../articles/b.html)\n", 0},
  };
  HexoTagTranslator translator(
      [](const std::string& slug) -> std::pair<std::string, std::string> {
        if (slug == "b" || slug == "dir/b") return {"../articles/b.html", "B"};
        return {};
      },
      [](const std::string& file) { return file == "here.png"; });
  ExpectTranslations(translator, cases);
}

TEST(HexoTagTranslatorTest, TagsInsideANoteAreTranslatedAndListedByTheirOwnLine) {
  std::string text = "a\n{% note info %}\nSee {% post_link b %}.\n\n{% mystery %}\n{% endnote %}\n";
  HexoTagTranslator::Left left;
  HexoTagTranslator translator(
      [](const std::string&) -> std::pair<std::string, std::string> {
        return {"../articles/b.html", "B"};
      },
      [](const std::string&) { return false; });
  EXPECT_EQ(translator.Translate(&text, &left), 2);
  EXPECT_EQ(text, "a\n> [!NOTE]\n> See [B](../articles/b.html).\n>\n> {% mystery %}\n");
  EXPECT_EQ(left, (HexoTagTranslator::Left{{5, "{% mystery %}"}}));
}

}  // namespace
}  // namespace tarn
