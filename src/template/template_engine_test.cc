#include "template/template_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "data/text_file.h"
#include "support/literal_variables.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

JsonDocument Data(const std::string& json) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(json)) << json;
  return doc;
}

class TemplateEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = std::make_unique<TemplateEngine>(
        dir_, dir_, [this](const std::string& m) { messages_.push_back(m); });
  }

  void Put(const std::string& name, const std::string& text) {
    ASSERT_TRUE(WriteTextFile(dir_ + "/" + name, text));
  }
  std::string Render(const std::string& text, const JsonDocument& data) {
    return engine_->Render(text, data, "page.mtpl");
  }
  bool Reported(const std::string& part) const {
    for (const std::string& m : messages_)
      if (m.find(part) != std::string::npos) return true;
    return false;
  }

  TempDir temp_{"tpl"};
  std::string dir_ = temp_.str();
  std::unique_ptr<TemplateEngine> engine_;
  std::vector<std::string> messages_;
};

TEST_F(TemplateEngineTest, InheritanceFillsSlotsAndDropsTheRest) {
  Put("layout.mtpl",
      "<title>{-block name=\"title\"}</title>\n<main>{-block name=\"body\"}</main>\n"
      "<footer>{-block name=\"footer\"}</footer>");
  std::string child =
      "ignored text {-extend name=\"./layout.mtpl\"}\n"
      "{-block name=\"title\"}Hello{-block/}\n"
      "between blocks\n"
      "{-block name=\"body\"}\n<p>{$system.title}</p>\n{-block/}";
  EXPECT_EQ(Render(child, Data(R"({"system":{"title":"My Blog"}})")),
            "<title>Hello</title>\n<main>\n<p>My Blog</p>\n</main>\n<footer></footer>");
}

TEST_F(TemplateEngineTest, InheritanceEdgeCases) {
  // Only the first inheritance tag counts; the layout's own stays literal.
  Put("a.mtpl", "{-extend name=\"./b.mtpl\"}A[{-block name=\"x\"}]");
  Put("b.mtpl", "B");
  EXPECT_EQ(Render("{-extend name=\"./a.mtpl\"}{-extend name=\"./b.mtpl\"}"
                   "{-block name=\"x\"}1{-block/}",
                   Data("{}")),
            "{-extend name=\"./b.mtpl\"}A[1]");

  // Slots are filled case-sensitively but removed whatever their case.
  Put("c.mtpl", "[{-BLOCK name=\"x\"}][{-block name=\"x\"}][{-block name=\"X\"}]");
  EXPECT_EQ(Render("{-EXTEND name=\"./c.mtpl\"}{-block name=\"x\"}1{-block/}", Data("{}")),
            "[][1][]");

  // Every slot of a name is filled; a repeated definition finds no slot left.
  Put("d.mtpl", "{-block name=\"x\"}|{-block name=\"x\"}");
  EXPECT_EQ(Render("{-extend name=\"./d.mtpl\"}{-block name=\"x\"}1{-block/}"
                   "{-block name=\"x\"}2{-block/}",
                   Data("{}")),
            "1|1");

  // A block's content that holds a later block's slot gets it filled.
  Put("e.mtpl", "{-block name=\"a\"}");
  EXPECT_EQ(Render("{-extend name=\"./e.mtpl\"}{-block name=\"a\"}<{-block name=\"b\"}>"
                   "{-block/}{-block name=\"b\"}B{-block/}",
                   Data("{}")),
            "<B>");

  // Unknown tags are text; a block that is never closed defines nothing.
  Put("f.mtpl", "<{-block name=\"a\"}>{-if x}");
  EXPECT_EQ(Render("{-extend name=\"./f.mtpl\"}{-block name=\"a\"}A", Data("{}")), "<>{-if x}");

  // Without an inheritance tag the block definitions stay, tags and all.
  EXPECT_EQ(Render("x{-block name=\"t\"}T{-block/}y", Data("{}")),
            "x{-block name=\"t\"}T{-block/}y");
}

TEST_F(TemplateEngineTest, LayoutPaths) {
  TemplateEngine engine("/w/themes/t", "", nullptr);
  EXPECT_EQ(engine.LayoutPath("./layout.mtpl"), "/w/themes/t/layout.mtpl");
  // "../x.mtpl" holds "./" too: a dot, then the theme folder.
  EXPECT_EQ(engine.LayoutPath("../x.mtpl"), "./w/themes/t/x.mtpl");
  EXPECT_EQ(engine.LayoutPath("/abs/x.mtpl"), "/abs/x.mtpl");
  TemplateEngine rooted("/w/themes/t", "/w", nullptr);
  EXPECT_EQ(rooted.LayoutPath("themes/t/x.mtpl"), "/w/themes/t/x.mtpl");
}

TEST_F(TemplateEngineTest, MissingOrEmptyLayoutRendersNothingAndIsReported) {
  EXPECT_EQ(Render("{-extend name=\"./nope.mtpl\"}{-block name=\"a\"}x{-block/}", Data("{}")), "");
  EXPECT_TRUE(Reported("nope.mtpl"));
  Put("empty.mtpl", "");
  EXPECT_EQ(Render("{-extend name=\"./empty.mtpl\"}", Data("{}")), "");
  EXPECT_TRUE(Reported("empty.mtpl is empty"));
}

TEST_F(TemplateEngineTest, Variables) {
  JsonDocument data = Data(R"({"system":{"title":"T","n":1.50,"on":true,"none":null},)"
                           R"("posts":[{"title":"first"},{"title":"second"}]})");
  EXPECT_EQ(Render("{$posts[0].title}|{$posts[1].title}|{$posts[5].title}", data), "first|second|");
  EXPECT_EQ(Render("[{$system}][{$posts}][{$system.none}][{$missing.path}]", data), "[][][][]");
  EXPECT_EQ(Render("{$system.n} {$system.on} {$SYSTEM.TITLE} {$system.title}", data),
            "1.50 true  T");
  // Odd paths are paths like any other; a placeholder cannot span lines.
  EXPECT_EQ(Render("{$..system..title}{$[0].title}{$}{$system.\ntitle}", data),
            "TT{$system.\ntitle}");
}

TEST_F(TemplateEngineTest, LoopsRepeatTheirBodyWithCrLf) {
  JsonDocument data = Data(R"({"posts":[{"title":"a","url":"./a"},{"title":"b"},{"title":"c"}],)"
                           R"("theme":{"x":"1","y":"2"},"n":"5","empty":[]})");
  EXPECT_EQ(Render("{-volist name=\"posts\" key=\"p\"}<li>{$p.title}</li>{-volist/}", data),
            "<li>a</li>\r\n<li>b</li>\r\n<li>c</li>\r\n");
  // Field names are matched ignoring case and read as written; missing ones
  // are empty.
  EXPECT_EQ(Render("{-volist name=\"posts\" key=\"p\"}{$P.url};{-volist/}", data),
            "./a;\r\n;\r\n;\r\n");
  // Objects count their members, and an index takes the member's value.
  EXPECT_EQ(Render("{-volist name=\"theme\" key=\"v\"}[{$v.}]{-volist/}", data), "[1]\r\n[2]\r\n");
  EXPECT_EQ(Render("a{-volist name=\"empty\" key=\"p\"}x{-volist/}b", data), "ab");
  // Scalars and missing paths give nothing, reported.
  EXPECT_EQ(Render("a{-volist name=\"n\" key=\"p\"}x{-volist/}b", data), "ab");
  EXPECT_EQ(Render("a{-volist name=\"nope\" key=\"p\"}x{-volist/}b", data), "ab");
  EXPECT_TRUE(Reported("loop over \"n\", which is not a list"));
  EXPECT_TRUE(Reported("loop over \"nope\", which is missing"));
  // Placeholders not of the loop's key are left to the variables pass.
  EXPECT_EQ(Render("{-volist name=\"posts\" key=\"p\"}{$n}{$posts[0].title}{-volist/}", data),
            "5a\r\n5a\r\n5a\r\n");
}

TEST_F(TemplateEngineTest, LoopOddities) {
  JsonDocument data =
      Data(R"({"posts":[{"title":"{$site}","tag":"{$p.title}"},{"title":"b"}],"site":"S",)"
           R"("tags":[{"n":"x"}]})");
  // A value inserted by a loop that holds a placeholder is expanded later.
  EXPECT_EQ(Render("{-volist name=\"posts\" key=\"p\"}{$p.title}|{-volist/}", data),
            "S|\r\nb|\r\n");
  // A field's value holding a later field's placeholder gets it filled too.
  EXPECT_EQ(Render("{-volist name=\"posts\" key=\"p\"}{$p.tag}/{$p.title}{-volist/}", data),
            "S/S\r\n/b\r\n");
  // An opening tag with no closing tag of its own before the next loop
  // stays as text, and is reported.
  EXPECT_EQ(
      Render("{-volist name=\"tags\" key=\"t\"}[{-volist/}{-volist name=\"x\" key=\"t\"}", data),
      "[\r\n{-volist name=\"x\" key=\"t\"}");
  EXPECT_TRUE(Reported("page.mtpl:1: loop \"x\" has no {-volist/}"));
  // A key that is no valid pattern finds no fields; the body repeats as is.
  EXPECT_EQ(Render("{-volist name=\"tags\" key=\"(\"}{$(.n}{-volist/}", data), "\r\n");
  EXPECT_TRUE(Reported("loop key \"(\""));
  // An unclosed loop stays as text.
  EXPECT_EQ(Render("{-volist name=\"tags\" key=\"t\"}{$t.n}", data),
            "{-volist name=\"tags\" key=\"t\"}");
}

TEST_F(TemplateEngineTest, NestedLoopsExpandPerOuterItem) {
  JsonDocument data =
      Data(R"({"timeline":[{"date":"May","posts":[{"title":"a","tags":[{"n":"x"},{"n":"y"}]},)"
           R"({"title":"b","tags":[]}]},{"date":"June","posts":[{"title":"c"}]}],"site":"S"})");
  std::string archive =
      "{-volist name=\"timeline\" key=\"t\"}<h2>{$t.date}</h2>"
      "{-volist name=\"t.posts\" key=\"p\"}<a>{$p.title}@{$t.date}</a>"
      "{-volist name=\"p.tags\" key=\"g\"}#{$g.n}{-volist/}{-volist/}{$site}{-volist/}";
  EXPECT_EQ(Render(archive, data),
            "<h2>May</h2><a>a@May</a>#x\r\n#y\r\n\r\n<a>b@May</a>\r\nS\r\n"
            "<h2>June</h2><a>c@June</a>\r\nS\r\n");
  // An inner key hides an outer one of the same name; keys ignore case.
  EXPECT_EQ(Render("{-volist name=\"timeline\" key=\"t\"}{-volist name=\"T.posts\" key=\"t\"}"
                   "{$t.title}{-volist/}{-volist/}",
                   data),
            "a\r\nb\r\n\r\nc\r\n\r\n");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(TemplateEngineTest, ConditionsKeepOnePart) {
  JsonDocument data =
      Data(R"({"s":"x","empty":"","zero":0,"one":1.5,"no":false,"yes":true,"nil":null,"arr":[],)"
           R"("obj":{},"full":[1],"posts":[{"t":"a","cover":"a.png"},{"t":"b","cover":""}]})");
  for (const char* path : {"s", "one", "yes", "full"})
    EXPECT_EQ(Render(std::string("{-if name=\"") + path + "\"}Y{-else/}N{-if/}", data), "Y")
        << path;
  for (const char* path : {"empty", "zero", "no", "nil", "arr", "obj", "missing"})
    EXPECT_EQ(Render(std::string("{-if name=\"") + path + "\"}Y{-else/}N{-if/}", data), "N")
        << path;
  EXPECT_EQ(Render("[{-if name=\"no\"}Y{-if/}]", data), "[]");
  // Nested, and decided per loop item.
  EXPECT_EQ(Render("{-volist name=\"posts\" key=\"p\"}{$p.t}"
                   "{-if name=\"p.cover\"}<img src=\"{$p.cover}\">{-if name=\"s\"}!{-if/}"
                   "{-else/}-{-if/}{-volist/}",
                   data),
            "a<img src=\"a.png\">!\r\nb-\r\n");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(TemplateEngineTest, BrokenConditionsStayAsText) {
  JsonDocument data = Data(R"({"s":"x"})");
  // Unclosed: reported with its line, left as text with its content.
  EXPECT_EQ(Render("a\n{-if name=\"s\"}b{-else/}c", data), "a\n{-if name=\"s\"}b{-else/}c");
  EXPECT_TRUE(Reported("page.mtpl:2: {-if name=\"s\"} is never closed"));
  // Stray closing tags and a second else are text; an unclosed loop inside
  // a condition does not swallow the condition's end.
  EXPECT_EQ(Render("{-else/}{-if/}{-if name=\"s\"}1{-else/}2{-else/}{-if/}", data),
            "{-else/}{-if/}1");
  EXPECT_EQ(Render("{-if name=\"s\"}<{-volist name=\"s\" key=\"k\"}>{-if/}", data),
            "<{-volist name=\"s\" key=\"k\"}>");
  EXPECT_TRUE(Reported("{-volist name=\"s\" key=\"k\"} is never closed"));
}

TEST_F(TemplateEngineTest, EscapingFormWritesCharacterReferences) {
  JsonDocument data = Data(R"({"t":"<a href=\"x\">Tom & Jerry's</a>","n":7,)"
                           R"("posts":[{"title":"a<b","url":"./a&b.html"},{"title":"\"q\""}]})");
  TemplateData below(data, nullptr, "..");
  struct Case {
    const char* text;
    const char* out;
  };
  const Case cases[] = {
      {"{$t|e}", "&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&apos;s&lt;/a&gt;"},
      {"<i title=\"{$t|e}\">{$n|e}{$nope|e}</i>",
       "<i title=\"&lt;a href=&quot;x&quot;&gt;Tom "
       "&amp; Jerry&apos;s&lt;/a&gt;\">7</i>"},
      // Without the form, the text goes in as it is.
      {"{$t}", "<a href=\"x\">Tom & Jerry's</a>"},
      {"{$|e}{$t|E}{$t|e }", ""},
      // Loop fields, flat and in a tree; links are rebased first.
      {"{-volist name=\"posts\" key=\"p\"}[{$p.title|e}]({$p.url|e}){-volist/}",
       "[a&lt;b](../a&amp;b.html)\r\n[&quot;q&quot;]()\r\n"},
      {"{-volist name=\"posts\" key=\"p\"}{-if name=\"p.url\"}{$P.url|e}{-else/}{$p.title|e}"
       "{-if/}{-volist/}",
       "../a&amp;b.html\r\n&quot;q&quot;\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(engine_->Render(c.text, below, "page.mtpl"), c.out);
}

TEST_F(TemplateEngineTest, EscapedAndVerbatimValuesAreNeverReadAgain) {
  JsonDocument data =
      Data(R"({"a":"{$b}","b":"B","post":{"content":"<p>{$b} {$name}</p>","title":"{$b}"},)"
           R"("posts":[{"excerpt":"{$b}","title":"{$b}"}]})");
  TemplateData page(data);
  page.SetVerbatimMembers({"content", "excerpt"});
  struct Case {
    const char* text;
    const char* plain;  // without verbatim members
    const char* page;   // with them
  };
  const Case cases[] = {
      {"{$post.content}|{$b}", "<p>B {$name}</p>|B", "<p>{$b} {$name}</p>|B"},
      {"{$a}|{$b}", "B|B", "B|B"},
      {"{$post.title|e}|{$post.title}|{$b}", "{$b}|B|B", "{$b}|B|B"},
      {"{-volist name=\"posts\" key=\"p\"}{$p.excerpt}{$p.title}{-volist/}{$b}", "BB\r\nB",
       "{$b}B\r\nB"},
      {"{-volist name=\"posts\" key=\"p\"}{-if name=\"b\"}{$p.excerpt}{$p.title|e}{-if/}"
       "{-volist/}{$b}",
       "B{$b}\r\nB", "{$b}{$b}\r\nB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Render(c.text, data), c.plain) << c.text;
    EXPECT_EQ(engine_->Render(c.text, page, "page.mtpl"), c.page) << c.text;
  }
  // The engine's own mark, in a template and in a value, stays itself.
  const std::string mark = "\xEF\xB7\x90";
  JsonDocument marked = JsonDocument::NewObject();
  marked.SetText("m", mark + "0" + mark);
  marked.SetText("post.content", "{" + mark + "1" + mark);
  TemplateData marked_page(marked);
  marked_page.SetVerbatimMembers({"content"});
  EXPECT_EQ(engine_->Render(mark + "0" + mark + "{$m}{$post.content}{$m|e}", marked_page, "p"),
            mark + "0" + mark + mark + "0" + mark + "{" + mark + "1" + mark + mark + "0" + mark);
}

TEST_F(TemplateEngineTest, OneEngineRendersEveryPageAsAFreshEngineWould) {
  // What the engine keeps per template text must not leak from one
  // template, name or page's data into another: each render through one
  // engine equals that of a fresh engine, and the messages are the fresh
  // engines' messages, each once, in order.
  Put("a.mtpl", "<a>{-block name=\"m\"}</a>");
  Put("b.mtpl", "<b>{-block name=\"m\"}</b>{-block name=\"n\"}");
  const std::string mark = "\xEF\xB7\x90";
  const std::vector<std::string> texts = {
      "{-volist name=\"posts\" key=\"p\"}<li>{$p.title}</li>{-volist/}{$site}",
      "{-volist name=\"posts\" key=\"p\"}{-if name=\"p.tags\"}{-volist name=\"p.tags\" "
      "key=\"t\"}#{$t.n}@{$p.title}{-volist/}{-else/}-{-if/}{-volist/}{$site}",
      "{-volist name=\"posts\" key=\"p\"}[{$p.title}]{-volist/}{-volist name=\"x\" key=\"q\"}",
      "{-if name=\"site\"}{-volist name=\"posts\" key=\"p\"}{$p.title}{$site}",
      mark + "{-volist name=\"posts\" key=\"p\"}" + mark + "{$p.title|e}{-volist/}" + mark + "0" +
          mark + "{$site}",
      "{-volist name=\"posts\" key=\"(\"}x{-volist/}{-volist name=\"nope\" key=\"p\"}y{-volist/}",
      "plain {$site} text",
      "{-extend name=\"./a.mtpl\"}{-block name=\"m\"}A {$site}{-block/}",
      "{-extend name=\"./b.mtpl\"}{-block name=\"m\"}{-volist name=\"posts\" "
      "key=\"p\"}{$p.title}{-volist/}{-block/}",
      "{-extend name=\"./gone.mtpl\"}{-block name=\"m\"}{$site}{-block/}",
  };
  const std::vector<JsonDocument> pages = {
      Data(R"({"site":"S","posts":[{"title":"a","tags":[{"n":"x"}]},{"title":"<b>"}]})"),
      Data(R"({"site":"T","posts":[{"title":"c"}]})"),
      Data(R"({"posts":[]})"),
  };
  // More distinct texts than the engine keeps, and one text under two names.
  std::vector<std::pair<std::string, std::string>> templates;  // name, text
  for (int copy = 0; copy < 3; ++copy)
    for (size_t t = 0; t < texts.size(); ++t)
      templates.emplace_back("t" + std::to_string(t) + ".mtpl",
                             texts[t] + "<!--" + std::to_string(copy) + "-->");
  templates.emplace_back("other.mtpl", templates[2].second);

  std::vector<std::string> expected_messages;
  for (int round = 0; round < 2; ++round) {
    for (const JsonDocument& page : pages) {
      for (const auto& [name, text] : templates) {
        std::vector<std::string> fresh_messages;
        TemplateEngine fresh(dir_, dir_,
                             [&](const std::string& m) { fresh_messages.push_back(m); });
        std::string want = fresh.Render(text, page, name);
        EXPECT_EQ(engine_->Render(text, page, name), want) << name << " round " << round;
        for (const std::string& m : fresh_messages)
          if (std::find(expected_messages.begin(), expected_messages.end(), m) ==
              expected_messages.end())
            expected_messages.push_back(m);
      }
    }
  }
  EXPECT_EQ(messages_, expected_messages);
  // The cases above say what they mean to.
  EXPECT_TRUE(Reported("t2.mtpl:1: loop \"x\" has no {-volist/}"));
  EXPECT_TRUE(Reported("other.mtpl:1: loop \"x\" has no {-volist/}"));
  EXPECT_TRUE(Reported("t3.mtpl:1: {-if name=\"site\"} is never closed"));
  EXPECT_TRUE(Reported("t5.mtpl: loop key \"(\""));
  EXPECT_TRUE(Reported("t5.mtpl: loop over \"nope\", which is missing"));
  EXPECT_EQ(std::count_if(
                messages_.begin(), messages_.end(),
                [](const std::string& m) { return m.find("t9.mtpl: layout cannot be read") == 0; }),
            1);
  EXPECT_EQ(engine_->Render(templates[7].second, pages[0], "t7.mtpl"), "<a>A S</a>");
  EXPECT_EQ(engine_->Render(templates[8].second, pages[0], "t8.mtpl"), "<b>a\r\n<b>\r\n</b>");
  EXPECT_EQ(engine_->Render(templates[9].second, pages[0], "t9.mtpl"), "");
  EXPECT_EQ(engine_->Render(templates[4].second, pages[0], "t4.mtpl"),
            mark + mark + "a\r\n" + mark + "&lt;b&gt;\r\n" + mark + "0" + mark + "S<!--0-->");
}

TEST_F(TemplateEngineTest, FastVariablesPassEqualsTheLiteralOne) {
  JsonDocument data =
      Data(R"({"a":"{$b}","b":"B{$a}","c":"{$c}{$c}","d":"{${$e}","e":"}","f":"{$","g":"a}",)"
           R"("list":[{"x":"{$a}"}]})");
  const std::vector<std::string> tricky = {
      "{$a}{$b}{$a}",       "{$b}{$a}{$b}",     "{$c}{$c}{$c}",    "{$d}{$e}{$d}",  "{$f}{$g}{$a}",
      "{$nope}{$a}{$nope}", "{$list[0].x}{$a}", "{${$a}}{$a}{$b}", "x{$}y{$ }z{$a",
  };
  for (const std::string& text : tricky)
    EXPECT_EQ(TemplateEngine::ReplaceVariables(text, data), LiteralVariables(text, data)) << text;

  std::mt19937 rng(7);
  const char* const kPieces[] = {"{$a}", "{$b}", "{$c}", "{$d}", "{$e}", "{$f}",
                                 "{$g}", "{$",   "}",    "a",    "\n",   "{$nope}"};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int i = rng() % 12; i >= 0; --i) text += kPieces[rng() % 12];
    ASSERT_EQ(TemplateEngine::ReplaceVariables(text, data), LiteralVariables(text, data))
        << "[" << text << "]";
  }
}

TEST_F(TemplateEngineTest, VariablesPassFindsWhatTheVariablesPatternFinds) {
  // The pass finds its placeholders without the regular-expression engine;
  // the reference runs the pattern. Line breaks of every kind, bytes that
  // are not UTF-8 and characters that are line breaks elsewhere (NEL, LS).
  JsonDocument data = Data(R"({"a":"A","b":"{$a}","a\rb":"no"})");
  std::mt19937 rng(11);
  const char* const kPieces[] = {"{$a}", "{$b}",     "{$",           "{",       "$",
                                 "}",    "a",        "\r",           "\n",      "\r\n",
                                 "\xff", "\xc2\x85", "\xe2\x80\xa8", "\xe4\xb8"};
  constexpr int kPieceCount = sizeof kPieces / sizeof kPieces[0];
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int i = rng() % 14; i >= 0; --i) text += kPieces[rng() % kPieceCount];
    ASSERT_EQ(TemplateEngine::ReplaceVariables(text, data), LiteralVariables(text, data))
        << "[" << text << "]";
  }
}

}  // namespace
}  // namespace tarn
