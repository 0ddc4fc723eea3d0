#include "script/jsc_script_host.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

class JscScriptHostTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_ / "vendor"); }

  std::string Write(const std::string& name, const std::string& text) {
    std::string path = (dir_ / name).string();
    EXPECT_TRUE(WriteTextFile(path, text));
    return path;
  }

  std::unique_ptr<JscScriptHost> LoadPage(const std::string& html, double limit = 30) {
    messages_.clear();
    return JscScriptHost::Load(
        Write("index copy.html", html), [this](const std::string& m) { messages_.push_back(m); },
        limit);
  }

  std::string Call(JscScriptHost* host, const std::string& name,
                   const std::vector<std::string>& args = {}) {
    std::string result, error;
    EXPECT_TRUE(host->CallFunction(name, args, &result, &error)) << error;
    return result;
  }

  std::string AllMessages() const {
    std::string all;
    for (const auto& m : messages_) all += m + "\n";
    return all;
  }

  TempDir temp_{"jsc"};
  std::filesystem::path dir_ = temp_.path();
  std::vector<std::string> messages_;
};

TEST_F(JscScriptHostTest, RunsInlineAndLocalScriptsInBrowserOrder) {
  Write("vendor/b.js", "\xEF\xBB\xBForder.push('b');");
  Write("vendor/d.js", "order.push('d');");
  Write("vendor/my lib.js", "order.push('lib');");
  auto host = LoadPage(
      "<html><head>\n"
      "<script>var order = ['a']; function getOrder() { return order.join(); }</script>\n"
      "<SCRIPT src='vendor/d.js' DEFER></SCRIPT>\n"
      "<script src=\"./vendor/b.js?v=2\"></script>\n"
      "<script type=\"text/template\">order.push('template')</script>\n"
      "<!-- <script>order.push('comment')</script> -->\n"
      "<script src=\"vendor/my%20lib.js\"></script>\n"
      "<script>order.push('c')</script>\n"
      "</head></html>");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(Call(host.get(), "getOrder"), "a,b,lib,c,d");
  EXPECT_EQ(host->scripts_run(), 5);
  EXPECT_EQ(host->scripts_failed(), 0);
  EXPECT_TRUE(messages_.empty()) << AllMessages();
}

TEST_F(JscScriptHostTest, ReportsFailingScriptsWithFileAndLineAndGoesOn) {
  Write("vendor/bad.js", "// first\n\nundefinedFunction();\n");
  auto host = LoadPage(
      "<html>\n"
      "<script>\n"
      "  var reached = [];\n"
      "  null.x;\n"
      "</script>\n"
      "<script src=\"vendor/bad.js\"></script>\n"
      "<script>reached.push('after errors'); var x = ;</script>\n"
      "<script src=\"vendor/missing.js\"></script>\n"
      "<script src=\"https://cdn.example.com/lib.js\"></script>\n"
      "<script src=\"//cdn.example.com/lib.js\"></script>\n"
      "<script type=\"module\">import x from './x.js';</script>\n"
      "<script>reached.push('end'); function got() { return reached.join(); }</script>\n");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(Call(host.get(), "got"), "end");  // the syntax error kept 'after errors' out
  std::string page = (dir_ / "index copy.html").string();
  std::string bad = (dir_ / "vendor/bad.js").string();
  ASSERT_EQ(messages_.size(), 7u) << AllMessages();
  EXPECT_EQ(messages_[0].rfind(page + ":4: TypeError", 0), 0u) << messages_[0];
  EXPECT_EQ(messages_[1].rfind(bad + ":3: ReferenceError", 0), 0u) << messages_[1];
  EXPECT_EQ(messages_[2].rfind(page + ":7: SyntaxError", 0), 0u) << messages_[2];
  EXPECT_EQ(messages_[3].rfind(page + ":8: cannot load script vendor/missing.js", 0), 0u)
      << messages_[3];
  EXPECT_NE(messages_[4].find(page + ":9: remote script https://cdn.example.com/lib.js"),
            std::string::npos);
  EXPECT_NE(messages_[5].find("offline"), std::string::npos);
  EXPECT_EQ(messages_[6].rfind(page + ":11: module script not run", 0), 0u) << messages_[6];
  EXPECT_EQ(host->scripts_failed(), 7);
}

TEST_F(JscScriptHostTest, GlobalEnvironmentIsAWindowWithoutDomOrSystemAccess) {
  auto host = LoadPage(
      "<script>\n"
      "function probe() {\n"
      "  return [window === globalThis, self === window, this === window,\n"
      "          typeof document, typeof require, typeof process, typeof fetch,\n"
      "          typeof XMLHttpRequest, typeof setTimeout(function () { boom(); }, 0)].join();\n"
      "}\n"
      "console.log('quiet'); console.warn('careful', 1); console.error('broken');\n"
      "window.fromWindow = 'w';\n"
      "</script>\n"
      "<script>function viaGlobal() { return fromWindow; }</script>");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(Call(host.get(), "probe"),
            "true,true,true,undefined,undefined,undefined,undefined,undefined,number");
  EXPECT_EQ(Call(host.get(), "viaGlobal"), "w");
  std::string page = (dir_ / "index copy.html").string();
  EXPECT_EQ(messages_, (std::vector<std::string>{page + ": console.warn: careful 1",
                                                 page + ": console.error: broken"}));
}

TEST_F(JscScriptHostTest, CallFunctionConvertsResultsAndReportsFailures) {
  auto host = LoadPage(
      "<script>\n"
      "var notAFunction = 3;\n"
      "function num() { return 42.5; }\n"
      "function nothing() {}\n"
      "function nul() { return null; }\n"
      "function obj() { return { toString: function () { return 'custom'; } }; }\n"
      "function arr() { return [1, [2, 3]]; }\n"
      "function sym() { return Symbol('s'); }\n"
      "function thrower(a) {\n"
      "  throw new Error('bad input ' + a);\n"
      "}\n"
      "function throwsString() { throw 'plain'; }\n"
      "function badToString() { return { toString: function () { throw new Error('no'); } }; }\n"
      "</script>");
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(host->HasFunction("num"));
  EXPECT_FALSE(host->HasFunction("notAFunction"));
  EXPECT_FALSE(host->HasFunction("markToHtml"));
  EXPECT_EQ(Call(host.get(), "num"), "42.5");
  EXPECT_EQ(Call(host.get(), "nothing"), "undefined");
  EXPECT_EQ(Call(host.get(), "nul"), "null");
  EXPECT_EQ(Call(host.get(), "obj"), "custom");
  EXPECT_EQ(Call(host.get(), "arr"), "1,2,3");
  EXPECT_EQ(Call(host.get(), "sym"), "Symbol(s)");

  std::string result = "stale", error;
  EXPECT_FALSE(host->CallFunction("markToHtml", {"# x"}, &result, &error));
  EXPECT_EQ(result, "");
  EXPECT_NE(error.find("markToHtml"), std::string::npos);
  EXPECT_NE(error.find("index copy.html"), std::string::npos);

  EXPECT_FALSE(host->CallFunction("thrower", {"7"}, &result, &error));
  EXPECT_NE(error.find("thrower"), std::string::npos);
  EXPECT_NE(error.find("index copy.html:10: Error: bad input 7"), std::string::npos) << error;
  EXPECT_FALSE(host->CallFunction("throwsString", {}, &result, &error));
  EXPECT_NE(error.find("plain"), std::string::npos);
  EXPECT_FALSE(host->CallFunction("badToString", {}, &result, &error));
  EXPECT_NE(error.find("Error: no"), std::string::npos);
  EXPECT_EQ(result, "");
  // A failed call leaves the host usable.
  EXPECT_EQ(Call(host.get(), "num"), "42.5");
}

TEST_F(JscScriptHostTest, StringsCrossAsUtf8WhateverTheirSize) {
  auto host = LoadPage(
      "<script>\n"
      "function echo(a, b) { return a + '|' + b; }\n"
      "function lengths(a) { return a.length + ':' + Array.from(a).length; }\n"
      "function churn(a, b, c) {\n"
      "  var junk = [];\n"
      "  for (var i = 0; i < 200000; i++) junk.push({ i: i, s: 'x' + i });\n"
      "  return a.length + ',' + b + ',' + c;\n"
      "}\n"
      "function lone() { return 'a\\uD800b\\uDC00'; }\n"
      "function big(n) { return new Array(Number(n) + 1).join('\u4e2d'); }\n"
      "</script>");
  ASSERT_NE(host, nullptr);
  std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
  std::string emoji = "\xF0\x9F\x98\x80";            // U+1F600, two UTF-16 units
  EXPECT_EQ(Call(host.get(), "echo", {chinese, emoji}), chinese + "|" + emoji);
  EXPECT_EQ(Call(host.get(), "lengths", {chinese + emoji}), "4:3");
  EXPECT_EQ(Call(host.get(), "echo", {std::string("a\0b", 3), "\xFF"}),
            std::string("a\0b|\xEF\xBF\xBD", 7));

  // Unpaired surrogates become U+FFFD instead of cutting the text short.
  EXPECT_EQ(Call(host.get(), "lone"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");

  std::string large(1 << 20, 'm');
  large += "\n\xE7\xBB\x93\xE6\x9D\x9F";
  EXPECT_EQ(Call(host.get(), "echo", {large, "end"}), large + "|end");
  // Arguments survive a collection triggered inside the call.
  EXPECT_EQ(Call(host.get(), "churn", {large, "second", "third"}),
            std::to_string(large.size() - 4) + ",second,third");
  std::string result = Call(host.get(), "big", {"300000"});
  EXPECT_EQ(result.size(), 900000u);
  EXPECT_EQ(result.substr(0, 3), "\xE4\xB8\xAD");
}

TEST_F(JscScriptHostTest, EndlessScriptsAreStoppedAndReportedEveryTime) {
  // The engine's watchdog, once it has stopped a script, may never stop
  // the next one in the same engine: each of these would hang then.
  auto host = LoadPage(
      "<script>console.warn('before');</script>\n"
      "<script>while (true) {}</script>\n"
      "<script>for (;;) {}</script>\n"
      "<script>function spin(s) { for (;;) {} }\n"
      "function ok() { return 'still here'; }</script>",
      0.3);
  ASSERT_NE(host, nullptr);
  ASSERT_EQ(messages_.size(), 3u) << AllMessages();
  EXPECT_NE(messages_[0].find("before"), std::string::npos) << AllMessages();
  EXPECT_NE(messages_[1].find("index copy.html:2: script did not finish within 0.3 seconds"),
            std::string::npos)
      << AllMessages();
  EXPECT_NE(messages_[2].find("index copy.html:3: script did not finish"), std::string::npos)
      << AllMessages();
  EXPECT_EQ(host->scripts_failed(), 2);
  for (int i = 0; i < 3; ++i) {
    std::string result, error;
    EXPECT_FALSE(host->CallFunction("spin", {"x"}, &result, &error));
    EXPECT_EQ(error, "spin failed: did not finish within 0.3 seconds");
  }
  // The page was run again, silently, in a fresh engine.
  EXPECT_EQ(messages_.size(), 3u) << AllMessages();
  EXPECT_EQ(Call(host.get(), "ok"), "still here");
}

TEST_F(JscScriptHostTest, UnreadablePageGivesNoHost) {
  std::vector<std::string> messages;
  std::string path = (dir_ / "nope.html").string();
  auto host = JscScriptHost::Load(path, [&](const std::string& m) { messages.push_back(m); });
  EXPECT_EQ(host, nullptr);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind(path, 0), 0u);
}

TEST_F(JscScriptHostTest, DigestFollowsTheCodeThatRuns) {
  Write("vendor/lib.js", "var v = 1;");
  std::string page =
      "<script src=vendor/lib.js></script><script>var w;</script>"
      "<script type=text/template>{$title}</script>";
  std::string first = LoadPage(page)->ScriptsDigest();
  // Caches keyed by it outlive a version of the program: SHA-256 in
  // lowercase hex over each script's name ("" inline) and code, each ended
  // by a NUL.
  const std::string covered("vendor/lib.js\0var v = 1;\0\0var w;\0", 33);
  gchar* expected = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(covered.data()), covered.size());
  EXPECT_EQ(first, expected);
  g_free(expected);
  EXPECT_EQ(LoadPage(page)->ScriptsDigest(), first);
  // Markup and data blocks are not code.
  EXPECT_EQ(
      LoadPage("<p>hello</p>" + page + "<script type=text/template>x</script>")->ScriptsDigest(),
      first);
  Write("vendor/lib.js", "var v = 2;");
  std::string changed = LoadPage(page)->ScriptsDigest();
  EXPECT_NE(changed, first);
  EXPECT_NE(LoadPage(page + "<script></script>")->ScriptsDigest(), changed);
}

// An on-demand library behaves as if run at load: the same results, call
// after call, as an eagerly run copy; but a fault in it shows only when it
// is used, which is how it can be seen not to have been parsed at load.
TEST_F(JscScriptHostTest, OnDemandLibrariesRunOnFirstUse) {
  auto library = [](const std::string& name, const std::string& body) {
    return "(globalThis.tarnOnDemand = globalThis.tarnOnDemand || {})." + name +
           " = function () {\n" + body + "\n;return " + name + ";\n};\n";
  };
  const std::string body =
      "var calls = (globalThis.calls = (globalThis.calls || 0) + 1);\n"
      "var NAME = { answer: function (x) { return x * 2 + ':' + calls; } };";
  auto with_name = [&](const std::string& name) {
    std::string text = body;
    for (std::size_t at; (at = text.find("NAME")) != std::string::npos;) text.replace(at, 4, name);
    return text;
  };
  Write("vendor/lazy.js", library("lazy", with_name("lazy")));
  Write("vendor/eager.js",
        "// not in the on-demand form: runs at load\n" + library("eager", with_name("eager")));
  Write("vendor/broken.js", library("broken", "var broken = {;"));
  auto host = LoadPage(
      "<script src=vendor/lazy.js></script><script src=vendor/eager.js></script>"
      "<script src=vendor/broken.js></script><script>\n"
      "function use(name) { var a = tarnOnDemand[name]().answer(1);\n"
      "  return a + ' ' + tarnOnDemand[name]().answer(2); }\n"
      "function reset() { globalThis.calls = 0; return ''; }</script>");
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(messages_.empty()) << AllMessages();
  EXPECT_EQ(host->scripts_run(), 4);
  std::string lazy = Call(host.get(), "use", {"lazy"});
  Call(host.get(), "reset");
  EXPECT_EQ(lazy, Call(host.get(), "use", {"eager"}));
  EXPECT_EQ(lazy, "2:1 4:2");

  std::string result, error;
  EXPECT_FALSE(host->CallFunction("use", {"broken"}, &result, &error));
  EXPECT_NE(error.find("broken.js"), std::string::npos) << error;
  EXPECT_NE(error.find("SyntaxError"), std::string::npos) << error;
  EXPECT_FALSE(host->CallFunction("use", {"broken"}, &result, &error));
  EXPECT_NE(error.find("did not load"), std::string::npos) << error;
}

TEST_F(JscScriptHostTest, HostsOnSeparateThreadsRunIndependently) {
  std::string page = Write("index copy.html",
                           "<script>var calls = 0;\n"
                           "function markToHtml(s) { calls++; return '<p>' + s + '</p>#' + calls; }"
                           "</script>");
  std::vector<std::string> last(3);
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      auto host = JscScriptHost::Load(page, nullptr);
      if (!host) return;
      std::string result, error;
      for (int i = 0; i < 500; ++i) {
        if (!host->CallFunction("markToHtml", {"t" + std::to_string(t)}, &result, &error)) {
          result = error;
          break;
        }
      }
      last[t] = result;
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 3; ++t) EXPECT_EQ(last[t], "<p>t" + std::to_string(t) + "</p>#500");
}

}  // namespace
}  // namespace tarn
