#include "data/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace tarn {
namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

}  // namespace

void AdviseHugePages(void* data, std::size_t size) {
  if (size < 2 * kHugePage) return;
  auto begin = reinterpret_cast<std::uintptr_t>(data);
  std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
  if (last <= first) return;
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace tarn
