// Writing a JsonNode tree as JSON text: compact or pretty, with strings
// escaped or raw. Private to the JSON document's files; the output format is
// described at JsonDocument::ToText.
//
// The writer keeps its state (the open containers, each with the child it
// writes next) in a stack of Frames rather than on the machine stack, so
// trees of any depth can be written, and so that compact output can start
// and stop at any Frame: json_parallel_serializer.cc writes stretches of a
// large document apart on that basis.
//
// Thread safety: writing only reads the tree; several threads may write
// stretches of one tree that nothing changes meanwhile.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "data/json_node.h"

namespace tarn::json_internal {

// A container the writer has entered and the index of its child it writes
// next.
struct Frame {
  const JsonNode* node;
  std::size_t next;
};

// Appends the text of the subtree at node to *out: from its start when
// `open` is empty, else from that state, part way through; until `stop`
// comes up on top of the stack, or to the end when stop.node is null.
// Compact output depends on nothing but that state.
void SerializeFrom(const JsonNode* node, std::vector<Frame> open, Frame stop, bool pretty,
                   bool escape, std::string* out);

// Appends the whole text of the subtree at node to *out.
inline void Serialize(const JsonNode* node, bool pretty, bool escape, std::string* out) {
  SerializeFrom(node, {}, {nullptr, 0}, pretty, escape, out);
}

// Rewrites every lone surrogate written into *out (strings and keys may hold
// them, from "\ud800" escapes) as U+FFFD. Byte-local: it gives the same
// result on pieces that start and end on ASCII bytes as on their whole.
void FixSurrogates(std::string* out);

}  // namespace tarn::json_internal
