// Transparent huge pages for a few very large buffers. Where the system
// gives huge pages only on request (the usual "madvise" setting), the first
// touch of a buffer of a hundred megabytes costs one page fault per 4 KB
// page, which on virtual machines is most of the time spent writing it.
// Asking for huge pages makes that one fault per 2 MB.
//
// Thread safety: may be called from any thread.
#pragma once

#include <cstddef>

namespace tarn {

// Asks for huge pages for the whole 2 MB pages inside [data, data + size)
// that nothing has touched yet. Buffers under a few megabytes are left
// alone. Only advice: nothing changes when the system says no.
void AdviseHugePages(void* data, std::size_t size);

}  // namespace tarn
