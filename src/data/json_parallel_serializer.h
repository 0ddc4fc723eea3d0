// Compact serialisation of a large JsonNode tree on several threads, giving
// the same bytes as on one. Private to the JSON document's files, but for
// the json_testing switches below.
//
// Compact output has no indentation, so the text of a stretch of the
// document depends only on the serialiser's state where the stretch starts
// (see SerializeFrom). A large document is cut into stretches of about equal
// estimated size, each written on its own thread into its own string, and
// the strings are joined in order. The cuts fall between tokens, never
// inside a string or key, and every piece starts and ends on an ASCII byte,
// so FixSurrogates (a byte-local rewrite of three-byte sequences) can run on
// each piece apart with the same result as on the whole.
//
// The threads only read the tree: ToText is const and the document may be
// used from one thread at a time, so nothing changes it while they run.
#pragma once

#include <cstddef>
#include <string>

#include "data/json_node.h"

namespace tarn {
namespace json_internal {

// Appends the compact text of the container at root to *out (escaped unless
// escape is off, lone surrogates as U+FFFD), written on several threads,
// when it is large enough to repay them. Returns false, writing nothing,
// when it is not, or root is no container. Called on the thread that uses
// the document; an exception on any of the threads (std::bad_alloc) is
// rethrown on that one once all have stopped.
bool SerializeParallel(const JsonNode* root, bool escape, std::string* out);

}  // namespace json_internal

namespace json_testing {

// Lets tests and benchmarks reach the several-thread serialiser with small
// documents, or turn it off (min_bytes = SIZE_MAX), and fix the number of
// threads (0: as many as the machine has, up to four) and of pieces (0: by
// size). Not for use while another thread serialises.
void SetParallelSerialisation(std::size_t min_bytes, unsigned threads, std::size_t pieces);
// Back to the defaults.
void ResetParallelSerialisation();
// How many texts have been written on several threads so far.
std::size_t ParallelSerialisations();

}  // namespace json_testing
}  // namespace tarn
