// The native template engine on an index page that loops over many posts,
// five loop fields and a root placeholder ({$assetsPath}) in the loop body,
// against the variables pass done literally (every match's text replaced in
// the whole page, match by match), which is quadratic in the page size.
//
//   cmake --build build --target bench_template && build/bench/bench_template [POSTS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/json_document.h"
#include "support/literal_variables.h"
#include "template/template_engine.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kIndex[] =
    "<html><head><link rel=\"stylesheet\" href=\"{$assetsPath}/site.css\"></head><body>\n"
    "<h1>{$system.title}</h1>\n<ul>\n"
    "{-volist name=\"posts\" key=\"p\"}<li><a href=\"{$p.url}\"><img src=\"{$assetsPath}/i.png\">"
    "{$p.title}</a> by {$p.author}, {$p.post_time} ({$p.update_time})</li>{-volist/}\n"
    "</ul>\n<footer>{$system.title} - {$system.description}</footer></body></html>\n";

tarn::JsonDocument SiteData(int posts) {
  tarn::JsonDocument data;
  data.Create();
  data.SetText("system.title", "Bench Blog");
  data.SetText("system.description", "many posts");
  data.SetText("assetsPath", "./assets");
  data.SetEmptyArray("posts");
  for (int i = 0; i < posts; ++i) {
    tarn::JsonDocument post = tarn::JsonDocument::NewObject();
    std::string title = "Post number " + std::to_string(i);
    post.SetText("title", title);
    post.SetText("url", "./articles/" + title + ".html");
    post.SetText("author", "Ann");
    post.SetText("post_time", "2020-02-05 14:03:09");
    post.SetText("update_time", "2020-02-06 10:00:00");
    data.Append("posts", post);
  }
  return data;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  int posts = argc > 1 ? std::atoi(argv[1]) : 10000;
  tarn::JsonDocument data = SiteData(posts);
  tarn::TemplateEngine engine("/nonexistent", "/nonexistent", nullptr);

  auto start = Clock::now();
  std::string page = engine.Render(kIndex, data, "index.mtpl");
  double fast = Seconds(start);
  std::printf("render, %d posts: %.3f s (%zu bytes out)\n", posts, fast, page.size());
  start = Clock::now();
  std::string expanded = engine.ExpandLoops(kIndex, data, "index.mtpl");
  double loops_time = Seconds(start);
  start = Clock::now();
  std::string replaced = tarn::TemplateEngine::ReplaceVariables(expanded, data);
  std::printf("  of which loops %.3f s, variables %.3f s\n", loops_time, Seconds(start));

  // The literal pass is quadratic: time it on a tenth of the posts, and
  // ours on the same page, for the ratio.
  int few = posts / 10 > 0 ? posts / 10 : 1;
  tarn::JsonDocument small = SiteData(few);
  std::string looped = engine.ExpandLoops(kIndex, small, "index.mtpl");
  start = Clock::now();
  std::string ours = tarn::TemplateEngine::ReplaceVariables(looped, small);
  double ours_time = Seconds(start);
  start = Clock::now();
  std::string literal = tarn::LiteralVariables(looped, small);
  double literal_time = Seconds(start);
  std::printf("variables pass, %d posts: %.4f s, literal pass %.4f s (%.0fx), %s\n", few, ours_time,
              literal_time, literal_time / (ours_time > 0 ? ours_time : 1e-9),
              ours == literal ? "same output" : "OUTPUT DIFFERS");
  return ours == literal ? 0 : 1;
}
