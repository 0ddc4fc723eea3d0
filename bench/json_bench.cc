// Parses and serialises a ~50 MB post index (10,000 posts of ~5 KB text,
// seven members each) with JsonDocument and with nlohmann-json, and prints
// the throughput of each and their ratio. Also times path reads at both
// ends of the posts array, which should cost the same.
//
// Not a test: numbers depend on the machine. Run a Release or
// RelWithDebInfo build: build/bench/json_bench [posts]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "data/json_document.h"
#include "data/json_parallel_serializer.h"

namespace {

// Processor time of this (single-threaded) process, so that other work on
// a shared machine does not count against either library.
double CpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Best of `rounds` runs, in seconds: the least disturbed by other work.
double Best(int rounds, const std::function<void()>& run) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    double start = CpuSeconds();
    run();
    double seconds = CpuSeconds() - start;
    if (seconds < best) best = seconds;
  }
  return best;
}

// Prose of about `bytes` bytes with what a blog post holds: line breaks,
// quotes, slashes in links, accented and CJK characters.
std::string PostText(int seed, std::size_t bytes) {
  static const char* const kWords[] = {"the",
                                       "static",
                                       "site",
                                       "generator",
                                       "writes",
                                       "pages",
                                       "from",
                                       "markdown",
                                       "caf\xC3\xA9",
                                       "\xE4\xB8\xAD\xE6\x96\x87",
                                       "https:\\/\\/example.org\\/post",
                                       "\\\"quoted\\\"",
                                       "and",
                                       "theme",
                                       "template",
                                       "index",
                                       "archive",
                                       "feed"};
  const int count = sizeof kWords / sizeof kWords[0];
  std::string out;
  out.reserve(bytes + 32);
  unsigned state = static_cast<unsigned>(seed) * 2654435761u + 1;
  int words = 0;
  while (out.size() < bytes) {
    state = state * 1103515245u + 12345u;
    out += kWords[(state >> 16) % count];
    out += (++words % 40 == 0) ? "\\n" : " ";
  }
  return out;
}

std::string PostIndex(int posts) {
  std::string text = "{\"posts\":[";
  for (int i = 0; i < posts; ++i) {
    if (i > 0) text += ',';
    std::string n = std::to_string(i);
    text += "{\"title\":\"Post number " + n + "\",";
    text += "\"url\":\"\\/posts\\/" + n + ".html\",";
    text += "\"absolute_url\":\"https:\\/\\/blog.example.org\\/posts\\/" + n + ".html\",";
    text += "\"content\":\"" + PostText(i, 5000) + "\",";
    text += "\"author\":\"Ada\",";
    text += "\"post_time\":\"2026-01-" + std::to_string(1 + i % 28) + " 10:00:00\",";
    text += "\"update_time\":\"2026-02-01 12:30:00\"}";
  }
  text += "]}";
  return text;
}

// The shape `tarn build` writes to public/database.json: a few small site
// members, then every post in full twice, under "posts" and "timeline".
std::string DatabaseIndex(int posts) {
  std::string text =
      "{\"site\":{\"title\":\"A blog\",\"url\":\"https:\\/\\/blog.example.org\\/\"},"
      "\"create_time\":\"2026-12-08 03:00:00\",\"post_count\":" +
      std::to_string(posts);
  for (const char* list : {"posts", "timeline"}) {
    text += ",\"";
    text += list;
    text += "\":[";
    for (int i = 0; i < posts; ++i) {
      if (i > 0) text += ',';
      std::string n = std::to_string(i);
      text += "{\"title\":\"Post number " + n + "\",\"id\":" + n + ",";
      text += "\"url\":\"\\/posts\\/" + n + ".html\",";
      text += "\"tags\":[\"notes\",\"c++\"],";
      text += "\"content\":\"" + PostText(i, 6000) + "\",";
      text += "\"post_time\":\"2026-01-" + std::to_string(1 + i % 28) + " 10:00:00\"}";
    }
    text += ']';
  }
  text += '}';
  return text;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Report(const char* what, double mb, double ours, double theirs) {
  std::printf("%-10s JsonDocument %8.1f MB/s   nlohmann %8.1f MB/s   ratio %.2fx\n", what,
              mb / ours, mb / theirs, theirs / ours);
}

// Path reads: the first and the last post cost the same. Returns a sum of
// what was read, so that the reads cannot be left out.
std::size_t ReportPathReads(tarn::JsonDocument* doc, int posts, int rounds) {
  const int reads = 1000000;
  std::size_t sink = 0;
  std::string last = "posts[" + std::to_string(posts - 1) + "].title";
  double first_read = Best(rounds, [&] {
    for (int i = 0; i < reads; ++i) sink += doc->GetText("posts[0].title").size();
  });
  double last_read = Best(rounds, [&] {
    for (int i = 0; i < reads; ++i) sink += doc->GetText(last).size();
  });
  double set_text = Best(rounds, [&] {
    for (int i = 0; i < reads; ++i) doc->SetText(last, "Renamed post");
  });
  std::printf("GetText(\"posts[0].title\")    %6.1f ns/call\n", first_read / reads * 1e9);
  std::printf("GetText(\"%s\") %6.1f ns/call\n", last.c_str(), last_read / reads * 1e9);
  std::printf("SetText(\"%s\") %6.1f ns/call\n", last.c_str(), set_text / reads * 1e9);
  return sink;
}

// The post index as the build writes it: compact, escaped, with the
// capacity the build reserves; on one thread and then as ToText chooses
// (several threads for a text this large), alternating so that other work
// on a shared machine hits both alike. Wall time, best of the rounds.
// False when the two texts differ.
bool ReportDatabaseWrite(int posts, int rounds) {
  tarn::JsonDocument index;
  if (!index.Parse(DatabaseIndex(posts))) std::abort();
  const int capacity = 2 * posts * (6000 * 5 / 4 + 512) + 65536;
  std::string out[2];
  double wall[2] = {1e30, 1e30};
  double cpu[2] = {1e30, 1e30};
  for (int i = 0; i < 2 * rounds; ++i) {
    const int parallel = i % 2;
    if (parallel) {
      tarn::json_testing::ResetParallelSerialisation();
    } else {
      tarn::json_testing::SetParallelSerialisation(SIZE_MAX, 0, 0);
    }
    double cpu_start = CpuSeconds();
    double wall_start = WallSeconds();
    out[parallel] = index.ToText("", false, true, capacity);
    wall[parallel] = std::min(wall[parallel], WallSeconds() - wall_start);
    cpu[parallel] = std::min(cpu[parallel], CpuSeconds() - cpu_start);
  }
  tarn::json_testing::ResetParallelSerialisation();
  if (out[0] != out[1]) {
    std::printf("database.json: the two serialisers disagree\n");
    return false;
  }
  double out_mb = static_cast<double>(out[0].size()) / 1e6;
  std::printf("database.json, %d posts twice, %.1f MB, compact, escaped:\n", posts, out_mb);
  const char* const kNames[] = {"one thread", "ToText"};
  for (int parallel = 0; parallel < 2; ++parallel) {
    std::printf("  %-10s wall %6.1f ms %7.1f MB/s   processor %6.1f ms\n", kNames[parallel],
                wall[parallel] * 1e3, out_mb / wall[parallel], cpu[parallel] * 1e3);
  }
  std::printf("  wall-time ratio %.2fx\n", wall[0] / wall[1]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int posts = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int rounds = 5;
  std::string text = PostIndex(posts);
  double mb = static_cast<double>(text.size()) / 1e6;
  std::printf("document: %d posts, %.1f MB; best of %d rounds, processor time\n", posts, mb,
              rounds);

  tarn::JsonDocument doc;
  double our_parse = Best(rounds, [&] {
    if (!doc.Parse(text)) std::abort();
  });
  nlohmann::json json;
  double their_parse = Best(rounds, [&] { json = nlohmann::json::parse(text); });
  Report("parse", mb, our_parse, their_parse);

  std::string ours_out;
  std::string theirs_out;
  double our_write = Best(rounds, [&] { ours_out = doc.ToText(); });
  double their_write = Best(rounds, [&] { theirs_out = json.dump(); });
  Report("serialise", mb, our_write, their_write);
  std::printf("           output: JsonDocument %.1f MB, nlohmann %.1f MB\n",
              static_cast<double>(ours_out.size()) / 1e6,
              static_cast<double>(theirs_out.size()) / 1e6);

  double our_copy = Best(rounds, [&] {
    tarn::JsonDocument copy = doc.Clone();
    if (!copy.HasTree()) std::abort();
  });
  double their_copy = Best(rounds, [&] {
    nlohmann::json copy = json;
    if (copy.is_null()) std::abort();
  });
  Report("copy", mb, our_copy, their_copy);

  std::size_t sink = ReportPathReads(&doc, posts, rounds);
  if (!ReportDatabaseWrite(posts, rounds)) return 1;
  return sink == 0 ? 1 : 0;
}
