#include "convert/markdown_converter.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "script/jsc_script_host.h"
#include "script/script_host.h"
#include "script/worker_process_host.h"

namespace tarn {
namespace {

// More hosts than this only cost memory: each holds a whole script engine.
constexpr int kMaxJobs = 64;

constexpr std::size_t kFromCache = SIZE_MAX;

}  // namespace

// One distinct text to convert (identical posts are converted once).
struct MarkdownConverter::Job {
  enum class State {
    kWaiting,  // no host has it yet
    kTaken,    // a host is converting it
    kOrphan,   // a worker host broke on it: only the caller's host may try
    kDone,
  };
  std::string_view text;
  ConversionCache::Key key;
  State state = State::kWaiting;
  bool ok = false;
  std::string html;
  std::string error;
};

// The conversion under way, between Start and Finish.
struct MarkdownConverter::Run {
  std::vector<std::string_view> texts;
  std::mutex mutex;                 // guards everything below but the threads
  std::condition_variable changed;  // a job finished, a worker stopped, or prepared
  bool prepared = false;            // cache read, texts hashed, jobs listed
  bool cancelled = false;
  std::vector<Result> results;  // the cache's answers, filled when prepared
  std::vector<std::size_t> job_of_text;
  std::vector<Job> jobs;
  std::size_t next = 0;   // no waiting job before this one
  int workers_alive = 0;  // worker hosts that may still take jobs
  bool own_used = false;
  int workers_used = 0;
  std::mutex sink_mutex;             // one message at a time
  std::thread preparer;              // runs Prepare, then starts the workers
  std::vector<std::thread> workers;  // made by the preparer, joined by Finish
};

MarkdownConverter::MarkdownConverter(ScriptHost* host, HostFactory factory, Options options,
                                     DiagnosticSink sink)
    : host_(host),
      factory_(std::move(factory)),
      options_(std::move(options)),
      sink_(std::move(sink)),
      cache_(options_.cache_path, options_.scripts_digest) {}

MarkdownConverter::~MarkdownConverter() {
  if (saver_.joinable()) saver_.join();
  if (!run_) return;
  // Abandoned before Finish (the build stopped early): let the workers end
  // after the text in hand rather than convert everything.
  {
    std::lock_guard<std::mutex> lock(run_->mutex);
    run_->cancelled = true;
  }
  run_->changed.notify_all();
  if (run_->preparer.joinable()) run_->preparer.join();
  for (std::thread& t : run_->workers) t.join();
}

int MarkdownConverter::EffectiveJobs(int jobs) {
  if (jobs <= 0) jobs = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(jobs, 1, kMaxJobs);
}

MarkdownConverter::HostFactory MarkdownConverter::WorkerFactory(std::string page_path,
                                                                std::string digest,
                                                                bool optimizing_tier) {
  // Each extra host is a process of its own: script engines in threads of
  // one process slow each other down with every page of memory they give
  // back. Without a way to start one, they are threads.
  std::vector<std::string> environment;
  if (!optimizing_tier) environment.push_back(JscScriptHost::kNoOptimizingTier);
  return [page = std::move(page_path), digest = std::move(digest), environment,
          worker = WorkerProcessHost::WorkerExecutable()](
             DiagnosticSink sink) -> std::unique_ptr<ScriptHost> {
    if (!worker.empty())
      return WorkerProcessHost::Start(worker, page, digest, std::move(sink), environment);
    std::unique_ptr<JscScriptHost> host = JscScriptHost::Load(page, std::move(sink));
    if (host && host->ScriptsDigest() != digest) host.reset();
    return host;
  };
}

std::vector<MarkdownConverter::Result> MarkdownConverter::ConvertAll(
    const std::vector<std::string_view>& texts) {
  Start(texts);
  std::vector<Result> results = Finish();
  saver_.join();
  return results;
}

void MarkdownConverter::Start(std::vector<std::string_view> texts) {
  if (run_) return;
  if (saver_.joinable()) saver_.join();
  converted_ = 0;
  reused_ = 0;
  hosts_used_ = 0;
  run_ = std::make_unique<Run>();
  run_->texts = std::move(texts);
  Run* run = run_.get();
  run->preparer = std::thread([this, run] { Prepare(run); });
}

void MarkdownConverter::Prepare(Run* run) {
  if (!cache_loaded_) {
    cache_.Load(SerialSink(run));
    cache_loaded_ = true;
  }
  std::vector<Result> results(run->texts.size());
  std::vector<std::size_t> job_of_text(run->texts.size(), kFromCache);
  std::vector<Job> jobs;
  int reused = ListJobs(run->texts, &results, &job_of_text, &jobs);

  int extra = WorkersFor(jobs);
  {
    std::lock_guard<std::mutex> lock(run->mutex);
    run->results = std::move(results);
    run->job_of_text = std::move(job_of_text);
    run->jobs = std::move(jobs);
    run->workers_alive = extra;
    run->prepared = true;
    reused_ = reused;
  }
  run->changed.notify_all();

  for (int w = 0; w < extra; ++w) {
    run->workers.emplace_back(
        [this, run, quiet_load = host_ != nullptr] { RunWorker(run, quiet_load); });
  }
}

int MarkdownConverter::WorkersFor(const std::vector<Job>& jobs) const {
  if (!factory_) return 0;
  long own = host_ ? 1 : 0;
  long extra =
      std::min<long>(EffectiveJobs(options_.jobs) - own, static_cast<long>(jobs.size()) - own);
  if (host_ && options_.bytes_per_worker > 0) {
    std::size_t bytes = 0;
    for (const Job& job : jobs) bytes += job.text.size();
    extra = std::min<long>(extra, static_cast<long>(bytes / options_.bytes_per_worker));
  }
  return static_cast<int>(std::max<long>(extra, 0));
}

DiagnosticSink MarkdownConverter::SerialSink(Run* run) {
  if (!sink_) return DiagnosticSink();
  return [this, run](const std::string& message) {
    std::lock_guard<std::mutex> lock(run->sink_mutex);
    sink_(message);
  };
}

int MarkdownConverter::ListJobs(const std::vector<std::string_view>& texts,
                                std::vector<Result>* results, std::vector<std::size_t>* job_of_text,
                                std::vector<Job>* jobs) {
  std::unordered_map<ConversionCache::Key, std::size_t, ConversionCache::KeyHash> job_of_key;
  int reused = 0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ConversionCache::Key key = ConversionCache::KeyOf(texts[i]);
    std::string_view html;
    if (cache_.Find(key, &html)) {
      (*results)[i].ok = true;
      (*results)[i].html = html;
      (*results)[i].key = key;
      ++reused;
      continue;
    }
    auto [it, fresh] = job_of_key.emplace(key, jobs->size());
    if (fresh) jobs->push_back(Job{texts[i], key});
    (*job_of_text)[i] = it->second;
  }
  return reused;
}

void MarkdownConverter::RunWorker(Run* run, bool quiet_load) {
  // What a worker's page says while it loads, the caller's host has said
  // already.
  auto loaded = std::make_shared<std::atomic<bool>>(!quiet_load);
  DiagnosticSink sink = [this, run, loaded](const std::string& message) {
    if (!sink_ || !loaded->load()) return;
    std::lock_guard<std::mutex> lock(run->sink_mutex);
    sink_(message);
  };
  // The host is made, used and destroyed on this thread.
  std::unique_ptr<ScriptHost> host = factory_(sink);
  loaded->store(true);
  if (host) Work(run, host.get());
  {
    std::lock_guard<std::mutex> lock(run->mutex);
    --run->workers_alive;
  }
  run->changed.notify_all();
}

std::size_t MarkdownConverter::TakeWaiting(Run* run) {
  while (run->next < run->jobs.size() && run->jobs[run->next].state != Job::State::kWaiting)
    ++run->next;
  return run->next;
}

void MarkdownConverter::Work(Run* run, ScriptHost* host) {
  std::unique_lock<std::mutex> lock(run->mutex);
  bool any = false;
  while (!run->cancelled) {
    std::size_t j = TakeWaiting(run);
    if (j >= run->jobs.size()) break;
    Job& job = run->jobs[j];
    job.state = Job::State::kTaken;
    lock.unlock();
    std::string html;
    std::string error;
    bool ok = host->CallFunction("markToHtml", {std::string(job.text)}, &html, &error);
    // A worker whose page is gone has broken (its process died): the text is
    // left to the caller's host, and so are the ones it would have taken.
    bool broken = !ok && !host->HasFunction("markToHtml");
    lock.lock();
    if (broken) {
      job.state = Job::State::kOrphan;
      run->changed.notify_all();
      break;
    }
    job.ok = ok;
    job.html = std::move(html);
    job.error = std::move(error);
    job.state = Job::State::kDone;
    any = true;
    run->changed.notify_all();
  }
  if (any) ++run->workers_used;
}

void MarkdownConverter::ConvertHere(Run* run, std::size_t j, std::unique_lock<std::mutex>* lock) {
  Job& job = run->jobs[j];
  job.state = Job::State::kTaken;
  lock->unlock();
  std::string html;
  std::string error;
  bool ok = host_->CallFunction("markToHtml", {std::string(job.text)}, &html, &error);
  lock->lock();
  job.ok = ok;
  job.html = std::move(html);
  job.error = std::move(error);
  job.state = Job::State::kDone;
  run->own_used = true;
  run->changed.notify_all();
}

MarkdownConverter::Result MarkdownConverter::Get(std::size_t i) {
  Run* run = run_.get();
  if (!run) return Result{false, {}, "no conversion was started"};
  std::unique_lock<std::mutex> lock(run->mutex);
  run->changed.wait(lock, [run] { return run->prepared; });
  if (i >= run->texts.size()) return Result{false, {}, "no such text"};
  std::size_t j = run->job_of_text[i];
  if (j == kFromCache) return run->results[i];
  for (;;) {
    Job& job = run->jobs[j];
    if (job.state == Job::State::kDone) return Result{job.ok, job.html, job.error, job.key};
    bool others_may = job.state == Job::State::kTaken ||
                      (job.state == Job::State::kWaiting && run->workers_alive > 0);
    if (job.state != Job::State::kTaken && host_) {
      ConvertHere(run, j, &lock);
    } else if (host_ && TakeWaiting(run) < run->jobs.size()) {
      // A worker has this one in hand: convert another meanwhile rather
      // than wait, since the caller's host is a converter too.
      ConvertHere(run, TakeWaiting(run), &lock);
    } else if (!others_may) {
      job.ok = false;
      job.error = "no page is loaded to run markToHtml";
      job.state = Job::State::kDone;
    } else {
      run->changed.wait(lock);
    }
  }
}

std::vector<MarkdownConverter::Result> MarkdownConverter::Finish() {
  Run* run = run_.get();
  if (!run) return {};
  for (std::size_t i = 0; i < run->texts.size(); ++i) Get(i);
  run->preparer.join();
  for (std::thread& t : run->workers) t.join();

  hosts_used_ = run->workers_used + (run->own_used ? 1 : 0);
  // Into the cache, which owns the HTML from now on.
  std::vector<std::string_view> stored(run->jobs.size());
  for (std::size_t j = 0; j < run->jobs.size(); ++j) {
    Job& job = run->jobs[j];
    if (!job.ok) continue;
    ++converted_;
    stored[j] = cache_.Put(job.key, std::move(job.html));
  }
  std::vector<Result> results = std::move(run->results);
  for (std::size_t i = 0; i < results.size(); ++i) {
    std::size_t j = run->job_of_text[i];
    if (j == kFromCache) continue;
    const Job& job = run->jobs[j];
    results[i].ok = job.ok;
    results[i].key = job.key;
    if (job.ok) {
      results[i].html = stored[j];
    } else {
      results[i].error = job.error;
    }
  }
  run_.reset();
  // Saving may rewrite the whole cache, which is as large as the site's
  // article HTML: the caller goes on meanwhile. The results only read it.
  saver_ = std::thread([this] { cache_.Save(sink_); });
  return results;
}

}  // namespace tarn
