#include "site/markdown_converter.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "script/script_host.h"

namespace tarn {
namespace {

// More hosts than this only cost memory: each holds a whole script engine.
constexpr int kMaxJobs = 64;

// One distinct text to convert (identical posts are converted once).
struct Job {
  std::string_view text;
  ConversionCache::Key key;
  bool done = false;
  bool ok = false;
  std::string html;
  std::string error;
};

}  // namespace

MarkdownConverter::MarkdownConverter(ScriptHost* host, HostFactory factory, Options options,
                                     DiagnosticSink sink)
    : host_(host),
      factory_(std::move(factory)),
      options_(std::move(options)),
      sink_(std::move(sink)),
      cache_(options_.cache_path, options_.scripts_digest) {}

MarkdownConverter::~MarkdownConverter() = default;

int MarkdownConverter::EffectiveJobs(int jobs) {
  if (jobs <= 0) jobs = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(jobs, 1, kMaxJobs);
}

std::vector<MarkdownConverter::Result> MarkdownConverter::ConvertAll(
    const std::vector<std::string_view>& texts) {
  converted_ = 0;
  reused_ = 0;
  hosts_used_ = 0;
  if (!cache_loaded_) {
    cache_.Load(sink_);
    cache_loaded_ = true;
  }

  std::vector<Result> results(texts.size());
  std::vector<Job> jobs;
  std::vector<std::size_t> job_of_text(texts.size(), SIZE_MAX);
  std::unordered_map<ConversionCache::Key, std::size_t, ConversionCache::KeyHash> job_of_key;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ConversionCache::Key key = ConversionCache::KeyOf(texts[i]);
    std::string_view html;
    if (cache_.Find(key, &html)) {
      results[i].ok = true;
      results[i].html = html;
      ++reused_;
      continue;
    }
    auto [it, fresh] = job_of_key.emplace(key, jobs.size());
    if (fresh) jobs.push_back(Job{texts[i], key});
    job_of_text[i] = it->second;
  }

  if (!jobs.empty()) {
    std::atomic<std::size_t> next{0};
    std::atomic<int> hosts_used{0};
    // Texts an extra host took but could not answer because it broke (its
    // process died): the caller's host converts them at the end.
    std::mutex orphans_mutex;
    std::vector<std::size_t> orphans;
    auto work = [&](ScriptHost* host) {
      bool any = false;
      for (std::size_t j; (j = next.fetch_add(1)) < jobs.size();) {
        Job& job = jobs[j];
        job.ok = host->CallFunction("markToHtml", {std::string(job.text)}, &job.html, &job.error);
        if (!job.ok && host != host_ && !host->HasFunction("markToHtml")) {
          std::lock_guard<std::mutex> lock(orphans_mutex);
          orphans.push_back(j);
          break;
        }
        job.done = true;
        any = true;
      }
      if (any) hosts_used.fetch_add(1);
    };

    // Worker messages reach the sink one at a time. What a worker's page
    // says while it loads, the caller's host has said already.
    std::mutex sink_mutex;
    int own = host_ ? 1 : 0;
    int extra = std::min<long>(EffectiveJobs(options_.jobs) - own,
                               static_cast<long>(jobs.size()) - own);
    if (!factory_) extra = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < extra; ++w) {
      workers.emplace_back([&, quiet_load = host_ != nullptr] {
        auto loaded = std::make_shared<std::atomic<bool>>(!quiet_load);
        DiagnosticSink sink = [this, &sink_mutex, loaded](const std::string& message) {
          if (!sink_ || !loaded->load()) return;
          std::lock_guard<std::mutex> lock(sink_mutex);
          sink_(message);
        };
        // The host is made, used and destroyed on this thread.
        std::unique_ptr<ScriptHost> host = factory_(sink);
        loaded->store(true);
        if (host) work(host.get());
      });
    }
    if (host_) work(host_);
    for (std::thread& t : workers) t.join();
    if (host_) {
      for (std::size_t j : orphans) {
        Job& job = jobs[j];
        job.error.clear();
        job.ok = host_->CallFunction("markToHtml", {std::string(job.text)}, &job.html, &job.error);
        job.done = true;
      }
    }
    hosts_used_ = hosts_used.load();

    for (Job& job : jobs) {
      if (!job.done) {
        job.error = "no page is loaded to run markToHtml";
      } else if (job.ok) {
        ++converted_;
      }
    }
    // Into the cache, which owns the HTML from now on.
    std::vector<std::string_view> stored(jobs.size());
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      if (jobs[j].ok) stored[j] = cache_.Put(jobs[j].key, std::move(jobs[j].html));
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (job_of_text[i] == SIZE_MAX) continue;
      const Job& job = jobs[job_of_text[i]];
      results[i].ok = job.ok;
      if (job.ok) {
        results[i].html = stored[job_of_text[i]];
      } else {
        results[i].error = job.error;
      }
    }
  }
  cache_.Save(sink_);
  return results;
}

}  // namespace tarn
