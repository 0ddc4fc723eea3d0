// MarkdownConverter: turns many posts' Markdown into HTML at once, for the
// command-line build, where converting one post after another through one
// script engine is most of the build's time.
//
// Texts whose HTML is in the conversion cache (same Markdown, same page
// scripts) are not converted again. The rest are shared among several
// script hosts, each loaded with the same page and used on a thread of its
// own: up to jobs - 1 hosts made by the factory on worker threads, plus the
// host the caller already has, on the calling thread. Every text is
// converted by exactly one call of markToHtml, so the results are those of
// converting the texts one by one on one host, as long as the page's
// markToHtml depends on nothing but its argument. A factory host may stand
// for another process: when one of its calls fails and it then says it has
// no markToHtml any more, it has broken, and that text and the ones it
// would have taken are converted by the caller's host instead.
//
// Start returns at once: the cache is read, the texts hashed and the worker
// hosts put to work in the background, while the caller does other work.
// Get then hands out the results in any order, converting a text on the
// caller's host when no worker has taken it yet, so the caller can render
// the first posts while workers convert the last. Finish waits for the
// rest and saves the cache.
//
// Thread safety: one thread calls Start, Get, Finish and ConvertAll. The
// sink gets the converter's messages one at a time, but from its own
// threads, while the caller may be using the sink too.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "convert/conversion_cache.h"
#include "data/diagnostics.h"

namespace tarn {

class ScriptHost;

class MarkdownConverter {
 public:
  // Makes a host loaded with the page on the calling (worker) thread; null
  // when it cannot. Messages about the page go to the sink it is given.
  using HostFactory = std::function<std::unique_ptr<ScriptHost>(DiagnosticSink sink)>;

  // Bytes of Markdown the caller's host converts in about the time a worker
  // process takes to start and load the page (measured on the bundled page:
  // both cost about 90 million instructions). A worker is started for each
  // such share of the texts to convert, up to jobs - 1: with less, the
  // caller's host would have converted everything before a worker could
  // take a text, and the worker's start would be spent for nothing.
  static constexpr std::size_t kBytesPerWorker = 96 * 1024;

  struct Options {
    int jobs = 0;                // script hosts in all; 0: one per processor
    std::string cache_path;      // the cache file; "": no cache between builds
    std::string scripts_digest;  // the page's scripts, keying the cache
    // See kBytesPerWorker; 0 starts jobs - 1 workers whatever the texts
    // (tests that must see workers convert a few short texts). Without a
    // host of the caller's it does not apply.
    std::size_t bytes_per_worker = kBytesPerWorker;
  };

  // The outcome for one text.
  struct Result {
    bool ok = false;
    std::string_view html;  // valid while the converter lives
    std::string error;      // why markToHtml failed, when !ok
    // The cache's key of the text converted (ConversionCache::KeyOf): the
    // HTML depends on nothing else but the scripts.
    ConversionCache::Key key{};
  };

  // host: the caller's host, used on the calling thread (may be null: then
  // only factory hosts convert). Neither is owned.
  MarkdownConverter(ScriptHost* host, HostFactory factory, Options options, DiagnosticSink sink);
  ~MarkdownConverter();
  MarkdownConverter(const MarkdownConverter&) = delete;
  MarkdownConverter& operator=(const MarkdownConverter&) = delete;

  // Converts every text; result i belongs to texts[i]. Then saves the cache
  // (its failure is only noted). A text fails when markToHtml throws or no
  // host could be made; the others are unaffected. Start and Finish in one,
  // returning once the cache is saved.
  std::vector<Result> ConvertAll(const std::vector<std::string_view>& texts);

  // Begins converting texts in the background. The texts must stay alive and
  // unchanged until Finish. Does nothing while a conversion is under way.
  void Start(std::vector<std::string_view> texts);

  // The result for texts[i] of the conversion under way, waiting for it when
  // a worker has it in hand. The HTML is valid until Finish.
  Result Get(std::size_t i);

  // Waits for every text and returns all results, valid while the converter
  // lives; empty when no conversion was started. The cache is saved in the
  // background (its failure is only noted), done by the next Start or the
  // destructor.
  std::vector<Result> Finish();

  // Figures of the last ConvertAll: texts converted by markToHtml, texts
  // taken from the cache, hosts that converted.
  int converted() const { return converted_; }
  int reused() const { return reused_; }
  int hosts_used() const { return hosts_used_; }

  // The digest of the scripts that convert (Options::scripts_digest).
  const std::string& scripts_digest() const { return options_.scripts_digest; }

  // The number of hosts for a jobs option: jobs, or the processors when 0.
  static int EffectiveJobs(int jobs);

  // The factory of tarn's builds: every host a worker process
  // (WorkerProcessHost::WorkerExecutable()) loaded with page_path, or an
  // in-process host when no executable can be found. A host whose scripts'
  // digest is not digest (the page changed since the build began) is refused.
  // optimizing_tier: see JscScriptHost::UseOptimizingTier.
  static HostFactory WorkerFactory(std::string page_path, std::string digest,
                                   bool optimizing_tier = true);

 private:
  struct Job;
  struct Run;

  // Loads the cache, lists the jobs and starts the worker threads; on the
  // preparing thread.
  void Prepare(Run* run);
  // How many worker hosts to start for jobs (see kBytesPerWorker).
  int WorkersFor(const std::vector<Job>& jobs) const;
  // sink_, taking one message at a time; empty when sink_ is.
  DiagnosticSink SerialSink(Run* run);
  // Fills results for the texts the cache holds and lists a job for each
  // distinct other text (job_of_text: its job, or none for a cached text).
  // Returns how many the cache held.
  int ListJobs(const std::vector<std::string_view>& texts, std::vector<Result>* results,
               std::vector<std::size_t>* job_of_text, std::vector<Job>* jobs);
  // A worker thread: makes its host, works with it, and counts itself out.
  // quiet_load: what the page says while it loads is not passed on.
  void RunWorker(Run* run, bool quiet_load);
  void Work(Run* run, ScriptHost* host);  // a worker host, until no job waits
  // The first job no host has taken (jobs.size() when none); mutex held.
  static std::size_t TakeWaiting(Run* run);
  // Converts job j on the caller's host; run->mutex is held on entry and exit.
  void ConvertHere(Run* run, std::size_t j, std::unique_lock<std::mutex>* lock);

  ScriptHost* host_;
  HostFactory factory_;
  Options options_;
  DiagnosticSink sink_;
  ConversionCache cache_;
  bool cache_loaded_ = false;
  std::unique_ptr<Run> run_;
  std::thread saver_;  // saves the cache after Finish; joined by Start and the destructor
  int converted_ = 0;
  int reused_ = 0;
  int hosts_used_ = 0;
};

}  // namespace tarn
