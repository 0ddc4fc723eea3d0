#include "template/template_tree.h"

#include <algorithm>
#include <cctype>

#include "data/regex_object.h"

namespace tarn {
namespace {

// One alternative per tag; the first letters after "{-" tell them apart.
constexpr std::string_view kTagPattern =
    R"re({-(?:volist name="(.*?)" key="(.*?)"|volist\/|if name="(.*?)"|else\/|if\/)})re";
constexpr std::string_view kVariablePattern = R"re({\$(.*?)})re";

enum class Tag { kLoopOpen, kLoopClose, kIfOpen, kElse, kIfClose };

Tag TagOf(std::string_view match) {
  auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  char first = lower(match[2]);
  if (first == 'v') return match[8] == '/' ? Tag::kLoopClose : Tag::kLoopOpen;
  if (first == 'e') return Tag::kElse;
  return match[4] == '/' ? Tag::kIfClose : Tag::kIfOpen;
}

int LineOf(std::string_view text, size_t position) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + position, '\n'));
}

bool SameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool TemplateTree::Needed(std::string_view text) {
  if (text.find("{-") == std::string_view::npos) return false;
  RegexObject tags;
  tags.Execute(kTagPattern, text);
  int depth = 0;
  for (int i = 1; i <= tags.GetMatchCount(); ++i) {
    switch (TagOf(tags.MatchView(i))) {
      case Tag::kLoopOpen:
        if (++depth > 1) return true;
        break;
      case Tag::kLoopClose:
        depth = 0;  // the flat pass ends a loop at the first closing tag
        break;
      default:
        return true;
    }
  }
  return false;
}

TemplateTree::TemplateTree(std::string_view text, std::string_view name,
                           const DiagnosticSink& sink) {
  struct Frame {
    Node node;
    std::string_view open_tag;
    size_t position;
    std::string_view else_tag;  // set once {-else/} is seen
  };
  std::vector<Frame> stack;
  auto current = [&]() -> std::vector<Node>& {
    if (stack.empty()) return nodes_;
    Frame& top = stack.back();
    return top.else_tag.empty() ? top.node.children : top.node.otherwise;
  };
  auto add_text = [&](std::string_view piece) {
    if (piece.empty()) return;
    std::vector<Node>& list = current();
    if (list.empty() || list.back().kind != Node::kText) list.push_back(Node{});
    list.back().text.append(piece);
  };
  // An opening tag left open: it and what it held go back in as text.
  auto unwind = [&]() {
    Frame frame = std::move(stack.back());
    stack.pop_back();
    if (sink) {
      sink(std::string(name) + ":" + std::to_string(LineOf(text, frame.position)) + ": " +
           std::string(frame.open_tag) + " is never closed; left as text");
    }
    auto add_nodes = [&](std::vector<Node>& nodes) {
      for (Node& child : nodes) {
        if (child.kind == Node::kText)
          add_text(child.text);
        else
          current().push_back(std::move(child));
      }
    };
    add_text(frame.open_tag);
    add_nodes(frame.node.children);
    add_text(frame.else_tag);
    add_nodes(frame.node.otherwise);
  };

  RegexObject tags;
  tags.Execute(kTagPattern, text);
  const int count = tags.GetMatchCount();
  for (int i = 1; i <= count; ++i) {
    size_t position = tags.MatchPosition(i);
    std::string_view tag = tags.MatchView(i);
    add_text(tags.TextBefore(i));
    Tag kind = TagOf(tag);
    if (kind == Tag::kLoopOpen || kind == Tag::kIfOpen) {
      Frame frame{Node{}, tag, position, {}};
      if (kind == Tag::kLoopOpen) {
        frame.node.kind = Node::kLoop;
        frame.node.text = tags.SubMatchView(i, 1);
        frame.node.key = tags.SubMatchView(i, 2);
      } else {
        frame.node.kind = Node::kIf;
        frame.node.text = tags.SubMatchView(i, 3);
      }
      stack.push_back(std::move(frame));
      continue;
    }
    if (kind == Tag::kElse) {
      if (!stack.empty() && stack.back().node.kind == Node::kIf && stack.back().else_tag.empty())
        stack.back().else_tag = tag;
      else
        add_text(tag);
      continue;
    }
    Node::Kind closes = kind == Tag::kLoopClose ? Node::kLoop : Node::kIf;
    auto open = std::find_if(stack.rbegin(), stack.rend(),
                             [&](const Frame& f) { return f.node.kind == closes; });
    if (open == stack.rend()) {
      add_text(tag);
      continue;
    }
    size_t keep = stack.size() - 1 - (open - stack.rbegin());
    while (stack.size() > keep + 1) unwind();
    Node node = std::move(stack.back().node);
    stack.pop_back();
    current().push_back(std::move(node));
  }
  add_text(tags.TextBefore(count + 1));
  while (!stack.empty()) unwind();
  FindPlaceholders(&nodes_, false);
}

std::string TemplateTree::Expand(const TemplateData& data, SealedValues* sealed) const {
  std::string out;
  Expand(nodes_, data, nullptr, sealed, &out);
  return out;
}

std::string_view TemplateTree::Resolve(std::string_view path, const Scope* scope,
                                       std::string* buffer) {
  size_t end = path.find_first_of(".[");
  std::string_view first = path.substr(0, end);
  for (const Scope* s = scope; s; s = s->outer) {
    if (SameKey(first, s->key)) {
      buffer->assign(s->item);
      if (end != std::string_view::npos) buffer->append(path.substr(end));
      return *buffer;
    }
  }
  return path;
}

void TemplateTree::FindPlaceholders(std::vector<Node>* nodes, bool in_loop) {
  for (Node& node : *nodes) {
    if (node.kind != Node::kText) {
      FindPlaceholders(&node.children, in_loop || node.kind == Node::kLoop);
      FindPlaceholders(&node.otherwise, in_loop);
      continue;
    }
    if (!in_loop || node.text.find("{$") == std::string::npos) continue;
    RegexObject variables;
    variables.Execute(kVariablePattern, node.text);
    for (int i = 1; i <= variables.GetMatchCount(); ++i)
      node.placeholders.push_back({variables.MatchPosition(i), variables.MatchView(i).size()});
  }
}

void TemplateTree::ExpandText(const Node& node, const TemplateData& data, const Scope* scope,
                              SealedValues* sealed, std::string* out) {
  std::string_view text = node.text;
  if (!scope || node.placeholders.empty()) {
    out->append(text);
    return;
  }
  size_t pos = 0;
  std::string buffer;
  for (const Placeholder& placeholder : node.placeholders) {
    std::string_view match = text.substr(placeholder.at, placeholder.length);
    std::string_view path = match.substr(2, match.size() - 3);  // "{$" PATH "}"
    std::string_view resolved = Resolve(path, scope, &buffer);
    out->append(text, pos, placeholder.at - pos);
    if (resolved.data() == path.data())
      out->append(match);  // for the variables pass
    else
      out->append(sealed->Value(resolved, data));
    pos = placeholder.at + placeholder.length;
  }
  out->append(text, pos);
}

void TemplateTree::Expand(const std::vector<Node>& nodes, const TemplateData& data,
                          const Scope* scope, SealedValues* sealed, std::string* out) const {
  for (const Node& node : nodes) {
    switch (node.kind) {
      case Node::kText:
        ExpandText(node, data, scope, sealed, out);
        break;
      case Node::kIf: {
        std::string buffer;
        bool yes = data.IsTrue(Resolve(node.text, scope, &buffer));
        Expand(yes ? node.children : node.otherwise, data, scope, sealed, out);
        break;
      }
      case Node::kLoop: {
        std::string buffer;
        std::string item(Resolve(node.text, scope, &buffer));  // the list, then its elements
        int n = data.GetCount(item);
        item += '[';
        const size_t stem = item.size();
        for (int j = 0; j < n; ++j) {
          item.resize(stem);
          item += std::to_string(j);
          item += ']';
          Scope inner{scope, node.key, item};
          Expand(node.children, data, &inner, sealed, out);
          out->append("\r\n");
        }
        break;
      }
    }
  }
}

}  // namespace tarn
