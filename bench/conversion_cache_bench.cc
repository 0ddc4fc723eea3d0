// Times the Markdown cache on the "rebuild after editing one post" path: a
// cache of 10,000 entries of about 7.5 KB is loaded, every post but one is
// found in it, the edited one is put, and the cache is saved. Prints the wall
// time of Load and Save and the bytes Save handed to write() (from
// /proc/self/io), for a few edits in a row.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/conversion_cache.h"

namespace {

constexpr int kPosts = 10000;
constexpr std::size_t kHtmlSize = 7500;
constexpr int kEdits = 7;

// Bytes this process has passed to write() so far.
long long WrittenBytes() {
  std::ifstream io("/proc/self/io");
  std::string name;
  long long value = 0;
  while (io >> name >> value) {
    if (name == "wchar:") return value;
  }
  return -1;
}

std::string Markdown(int post, int revision) {
  return "# Post " + std::to_string(post) + " revision " + std::to_string(revision) + "\n";
}

std::string Html(int post, int revision) {
  std::string html =
      "<h1>Post " + std::to_string(post) + " revision " + std::to_string(revision) + "</h1>\n";
  unsigned state = static_cast<unsigned>(post * 7919 + revision);
  while (html.size() < kHtmlSize) {
    state = state * 1103515245u + 12345u;
    html += "<p>Words " + std::to_string(state) + " and more words.</p>\n";
  }
  return html;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  fs::path dir =
      argc > 1 ? fs::path(argv[1])
               : fs::temp_directory_path() / ("tarn-cache-bench-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "markdown-cache.bin").string();
  auto sink = [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); };

  std::vector<int> revision(kPosts, 0);
  {
    tarn::ConversionCache cache(path, "scripts");
    cache.Load(sink);
    for (int i = 0; i < kPosts; ++i)
      cache.Put(tarn::ConversionCache::KeyOf(Markdown(i, 0)), Html(i, 0));
    cache.Save(sink);
  }
  std::printf("%d entries, file %.1f MB\n", kPosts, fs::file_size(path) / 1e6);
  std::vector<double> saves;
  for (int edit = 0; edit < kEdits; ++edit) {
    int edited = (edit * 3181) % kPosts;
    ++revision[edited];
    tarn::ConversionCache cache(path, "scripts");
    auto start = std::chrono::steady_clock::now();
    cache.Load(sink);
    double load = Seconds(start);
    std::string_view html;
    int found = 0;
    for (int i = 0; i < kPosts; ++i) {
      found += cache.Find(tarn::ConversionCache::KeyOf(Markdown(i, revision[i])), &html);
    }
    cache.Put(tarn::ConversionCache::KeyOf(Markdown(edited, revision[edited])),
              Html(edited, revision[edited]));
    long long before = WrittenBytes();
    start = std::chrono::steady_clock::now();
    cache.Save(sink);
    double save = Seconds(start);
    long long written = WrittenBytes() - before;
    saves.push_back(save);
    std::printf("edit %d: found %d, load %.1f ms, save %.2f ms, %lld bytes written, file %.1f MB\n",
                edit + 1, found, load * 1e3, save * 1e3, written, fs::file_size(path) / 1e6);
  }
  std::sort(saves.begin(), saves.end());
  std::printf("median save: %.2f ms\n", saves[saves.size() / 2] * 1e3);
  fs::remove_all(dir);
  return 0;
}
