// OutputWriter: writes the site's pages on a thread of its own while the
// build renders the next ones.
//
// A build of thousands of posts spends a good part of its time in the
// kernel, creating or comparing one page file after another; rendering is
// all in user space. Handing the files to a writer thread lets the two
// overlap. Each page is written with WriteOutputFile (unchanged pages left
// alone, replacements atomic), in the order given.
//
// Memory: at most about max_queued_bytes of pages wait at a time; Write
// blocks while the queue is full, so a slow disk slows the build down
// instead of filling memory.
//
// Pages go to disk with WriteOutputFile unless the writer is given another
// write function (a PublicFolder writes through its tree).
//
// Thread safety: one thread calls Write and Wait; the writing happens on the
// object's own thread, which is where the write function runs.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarn {

class OutputWriter {
 public:
  static constexpr std::size_t kDefaultQueueBytes = 32u << 20;

  // Writes one page; false with *error ("PATH: reason") when it cannot.
  using WriteFunction =
      std::function<bool(const std::string& path, std::string_view contents, std::string* error)>;

  // write: how each page is written; WriteOutputFile when empty.
  explicit OutputWriter(WriteFunction write = nullptr,
                        std::size_t max_queued_bytes = kDefaultQueueBytes);
  ~OutputWriter();  // waits for the queued pages
  OutputWriter(const OutputWriter&) = delete;
  OutputWriter& operator=(const OutputWriter&) = delete;

  // Queues contents for path. The folder must exist by the time it is
  // written. Never fails here: failures come back from Wait.
  void Write(std::string path, std::string contents);

  // Waits until every queued page is written. Returns the failures since the
  // last Wait, each "PATH: reason", in the order the pages were queued; empty
  // when all were written.
  std::vector<std::string> Wait();

 private:
  struct Page {
    std::string path;
    std::string contents;
  };

  void Run();

  const WriteFunction write_;
  const std::size_t max_queued_bytes_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Page> queue_;
  std::size_t queued_bytes_ = 0;
  bool busy_ = false;  // the thread holds a page taken off the queue
  bool stopping_ = false;
  std::vector<std::string> errors_;
  std::thread thread_;
};

}  // namespace tarn
