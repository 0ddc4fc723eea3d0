#include "render/output_writer.h"

#include <utility>

#include "render/output_file.h"

namespace tarn {

OutputWriter::OutputWriter(WriteFunction write, std::size_t max_queued_bytes)
    : write_(write ? std::move(write)
                   : [](const std::string& path, std::string_view contents,
                        std::string* error) { return WriteOutputFile(path, contents, error); }),
      max_queued_bytes_(max_queued_bytes),
      thread_([this] { Run(); }) {}

OutputWriter::~OutputWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void OutputWriter::Write(std::string path, std::string contents) {
  std::unique_lock<std::mutex> lock(mutex_);
  // One page larger than the whole queue still goes, alone.
  changed_.wait(
      lock, [&] { return queue_.empty() || queued_bytes_ + contents.size() <= max_queued_bytes_; });
  queued_bytes_ += contents.size();
  queue_.push_back(Page{std::move(path), std::move(contents)});
  lock.unlock();
  changed_.notify_all();
}

std::vector<std::string> OutputWriter::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queue_.empty() && !busy_; });
  return std::exchange(errors_, {});
}

void OutputWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and everything is written
    Page page = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    std::string error;
    bool ok = write_(page.path, page.contents, &error);
    lock.lock();
    busy_ = false;
    queued_bytes_ -= page.contents.size();
    if (!ok) errors_.push_back(std::move(error));
    changed_.notify_all();
  }
}

}  // namespace tarn
