#include "data/json_parallel_serializer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "data/huge_pages.h"
#include "data/json_document.h"
#include "data/json_serializer.h"
#include "data/json_tree.h"

namespace tarn {
namespace json_internal {
namespace {

struct ParallelTuning {
  std::size_t min_bytes = std::size_t{8} << 20;  // estimated output size
  unsigned threads = 0;                          // 0: one a core, at most kMaxThreads
  std::size_t pieces = 0;  // 0: about kPieceBytes each, within the bounds below
};
constexpr unsigned kMaxThreads = 4;
// Pieces of a few megabytes: several per thread even out a core that other
// work keeps busy, and their buffers are small enough to be reused while
// still warm. The upper bound limits the rebuilding of deep stacks.
constexpr std::size_t kPieceBytes = std::size_t{4} << 20;
constexpr std::size_t kMinPiecesPerThread = 4;
constexpr std::size_t kMaxPieces = 64;
ParallelTuning g_parallel;
std::atomic<std::size_t> g_parallel_runs{0};

std::size_t ScalarEstimate(const JsonNode* node) {
  switch (node->type) {
    case JsonDocument::kNull:
      return 4;
    case JsonDocument::kBool:
      return 5;
    case JsonDocument::kString:
      return node->text.size() + 2;
    default:
      return node->text.size();
  }
}

// Walks the tree in the serialiser's order, adding up an estimate of the
// output size. With cuts, also records where the serialiser stands (the top
// of its stack) each time the estimate passes the next multiple of `step`,
// up to `wanted` cuts, and stops once it has them.
std::size_t WalkEstimate(const JsonNode* root, std::size_t step, std::size_t wanted,
                         std::vector<Frame>* cuts) {
  std::size_t done = 1;
  std::size_t target = step;
  std::vector<Frame> open;
  open.push_back({root, 0});
  while (!open.empty()) {
    Frame& frame = open.back();
    if (cuts != nullptr && done >= target) {
      cuts->push_back(frame);
      if (cuts->size() == wanted) break;
      target += step;
    }
    const JsonNode* container = frame.node;
    if (frame.next < container->children.size()) {
      const JsonNode* child = container->children[frame.next];
      if (frame.next++ > 0) ++done;
      if (container->type == JsonDocument::kObject) done += child->key.size() + 3;
      if (IsContainer(child)) {
        ++done;
        open.push_back({child, 0});  // invalidates frame
      } else {
        done += ScalarEstimate(child);
      }
      continue;
    }
    ++done;
    open.pop_back();
  }
  return done;
}

// The serialiser's whole stack at a cut, rebuilt from its top through the
// parent links: each container up to `root` stands just past the child that
// leads down to the cut. Cuts keep only their top so that a deep document
// does not hold a full stack per cut.
std::vector<Frame> StackAt(const JsonNode* root, Frame top) {
  std::vector<Frame> stack;
  stack.push_back(top);
  for (const JsonNode* node = top.node; node != root; node = node->parent) {
    const JsonNode* parent = node->parent;
    auto at = std::find(parent->children.begin(), parent->children.end(), node);
    stack.push_back({parent, static_cast<std::size_t>(at - parent->children.begin()) + 1});
  }
  std::reverse(stack.begin(), stack.end());
  return stack;
}

// How a text is cut: the threads to write it on, its estimated size, the
// estimated size of a piece, and where each piece but the last ends.
struct Plan {
  unsigned threads = 0;
  std::size_t total = 0;
  std::size_t step = 0;
  std::vector<Frame> cuts;
};

// Plans the pieces of root's text. False when one thread should write it:
// root is no container, there are fewer than two threads, or the text is
// below the size that repays more.
bool PlanPieces(const JsonNode* root, Plan* plan) {
  const ParallelTuning tuning = g_parallel;
  plan->threads = tuning.threads != 0 ? tuning.threads
                                      : std::min(std::thread::hardware_concurrency(), kMaxThreads);
  if (plan->threads < 2 || !IsContainer(root)) return false;
  plan->total = WalkEstimate(root, 0, 0, nullptr);
  if (plan->total < tuning.min_bytes) return false;
  const std::size_t wanted =
      tuning.pieces != 0
          ? tuning.pieces
          : std::min(std::max(plan->total / kPieceBytes, plan->threads * kMinPiecesPerThread),
                     kMaxPieces);
  plan->step = std::max<std::size_t>(plan->total / wanted, 1);
  WalkEstimate(root, plan->step, wanted - 1, &plan->cuts);
  return !plan->cuts.empty();
}

// The pieces of one text: each written by whichever thread claims it, and
// collected in order by the calling thread, which writes the first piece
// straight into the output and then appends the others as they come in,
// writing pieces itself when no finished one is waiting. Most of the cost
// of a text this size is the first touch of its memory; this way the copy
// into the output overlaps the writing of later pieces, and finished
// pieces' buffers, already touched, are handed back for the next ones.
class PieceWriter {
 public:
  PieceWriter(const JsonNode* root, const Plan& plan, bool escape)
      : root_(root), plan_(plan), escape_(escape), pieces_(plan.cuts.size() + 1) {}

  // Appends piece i (from cut i-1, or the start, to cut i, or the end) to
  // *text. Any thread.
  void Write(std::size_t i, std::string* text) const {
    Frame stop = i < plan_.cuts.size() ? plan_.cuts[i] : Frame{nullptr, 0};
    std::vector<Frame> start = i == 0 ? std::vector<Frame>() : StackAt(root_, plan_.cuts[i - 1]);
    SerializeFrom(root_, std::move(start), stop, false, escape_, text);
    FixSurrogates(text);
  }

  // Claims the next piece nobody has and writes it; false when none is
  // left. Any thread; an exception is kept with the piece.
  bool WriteNext() {
    std::size_t i = next_piece_.fetch_add(1);
    if (i >= pieces_.size()) return false;
    std::string text = TakeSpare();
    std::exception_ptr error;
    try {
      text.reserve(plan_.step + plan_.step / 8 + 64);
      AdviseHugePages(text.data(), text.capacity());
      Write(i, &text);
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pieces_[i].text.swap(text);
      pieces_[i].error = error;
      pieces_[i].done = true;
    }
    finished_.notify_all();
    return true;
  }

  // Appends every piece after the first to *out in order. The calling
  // thread only; rethrows the exception of a piece that failed.
  void AppendRest(std::string* out) {
    for (std::size_t k = 1; k < pieces_.size(); ++k) {
      std::unique_lock<std::mutex> lock(mutex_);
      while (!pieces_[k].done) {
        lock.unlock();
        bool wrote = WriteNext();
        lock.lock();
        if (!wrote) finished_.wait(lock, [&] { return pieces_[k].done; });
      }
      if (pieces_[k].error) std::rethrow_exception(pieces_[k].error);
      std::string text;
      text.swap(pieces_[k].text);
      lock.unlock();
      out->append(text);
      text.clear();
      lock.lock();
      spare_.push_back(std::move(text));
    }
  }

  // Leaves the pieces nobody has claimed unwritten.
  void Abandon() { next_piece_.store(pieces_.size()); }

 private:
  struct Piece {
    std::string text;
    bool done = false;
    std::exception_ptr error;
  };

  // An emptied buffer whose memory is already touched, if there is one.
  std::string TakeSpare() {
    std::string text;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!spare_.empty()) {
      text.swap(spare_.back());
      spare_.pop_back();
    }
    return text;
  }

  const JsonNode* root_;
  const Plan& plan_;
  const bool escape_;
  std::vector<Piece> pieces_;
  std::vector<std::string> spare_;
  std::mutex mutex_;
  std::condition_variable finished_;
  std::atomic<std::size_t> next_piece_{1};  // piece 0 is the calling thread's
};

// Up to `count` threads that write pieces until none is left; fewer when
// the system gives no more, leaving their pieces to the calling thread.
std::vector<std::thread> StartHelpers(unsigned count, PieceWriter* writer) {
  std::vector<std::thread> helpers;
  for (unsigned t = 0; t < count; ++t) {
    try {
      helpers.emplace_back([writer] {
        while (writer->WriteNext()) {
        }
      });
    } catch (const std::system_error&) {
      break;
    }
  }
  return helpers;
}

}  // namespace

bool SerializeParallel(const JsonNode* root, bool escape, std::string* out) {
  Plan plan;
  if (!PlanPieces(root, &plan)) return false;
  g_parallel_runs.fetch_add(1, std::memory_order_relaxed);
  PieceWriter writer(root, plan, escape);
  std::vector<std::thread> helpers = StartHelpers(plan.threads - 1, &writer);
  std::exception_ptr error;
  try {
    out->reserve(std::max(out->capacity(), plan.total + plan.total / 16));
    AdviseHugePages(out->data(), out->capacity());
    writer.Write(0, out);
    writer.AppendRest(out);
  } catch (...) {
    error = std::current_exception();
    writer.Abandon();
  }
  for (std::thread& helper : helpers) helper.join();
  if (error) std::rethrow_exception(error);
  return true;
}

}  // namespace json_internal

namespace json_testing {

using json_internal::g_parallel;
using json_internal::g_parallel_runs;
using json_internal::ParallelTuning;

void SetParallelSerialisation(std::size_t min_bytes, unsigned threads, std::size_t pieces) {
  g_parallel.min_bytes = min_bytes;
  g_parallel.threads = threads;
  g_parallel.pieces = pieces;
}

void ResetParallelSerialisation() { g_parallel = ParallelTuning(); }

std::size_t ParallelSerialisations() { return g_parallel_runs.load(); }

}  // namespace json_testing
}  // namespace tarn
