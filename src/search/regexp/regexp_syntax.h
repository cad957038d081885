// Regular-expression engine, internal: the parsed pattern.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace platform {
struct CodePage;
}

namespace regexp {

// A set of the 256 byte values.
struct ByteSet {
  uint64_t bits[4] = {0, 0, 0, 0};

  bool Has(uint8_t b) const { return (bits[b >> 6] >> (b & 63)) & 1; }
  void Add(uint8_t b) { bits[b >> 6] |= uint64_t(1) << (b & 63); }
  int Count() const;
  bool operator==(const ByteSet&) const = default;
};

// What lies on one side of a text position: the edge of the text, a line
// feed, a word character (by the syntax table). The edge has no other bit.
enum : uint8_t { cxEdge = 1, cxNewline = 2, cxWord = 4 };

enum class Assertion : uint8_t {
  LineStart,        // ^
  LineEnd,          // $
  TextStart,        // \`
  TextEnd,          // \'
  WordBoundary,     // \b
  NotWordBoundary,  // \B
  WordStart,        // \<
  WordEnd,          // \>
};

// Whether an assertion holds between a left and a right context.
bool AssertionHolds(Assertion a, uint8_t left, uint8_t right);

enum class NodeKind : uint8_t { Empty, Set, Assert, Group, Concat, Alt, Repeat, BackRef };
inline constexpr int32_t Unbounded = -1;

struct Node {
  NodeKind kind = NodeKind::Empty;
  Assertion assertion = Assertion::LineStart;  // Assert
  int32_t set = -1;                            // Set: index into Tree::sets
  int32_t group = 0;                           // Group: its number; BackRef: the group referred to
  int32_t min = 0;                             // Repeat
  int32_t max = 0;                             // Repeat; Unbounded for no limit
  std::vector<int32_t> kids;
};

// Character tables an expression copies when it is compiled.
struct Tables {
  uint8_t translate[256];
  uint8_t charTypes[256];
  uint8_t syntax[256];
  // A double-byte code page: the pattern is read by characters, and a
  // double-byte character compiles to its lead byte followed by its trail
  // byte. Null on single-byte code pages.
  const platform::CodePage* page = nullptr;
};

// The parsed pattern. Nodes are stored children first (post-order): every
// node's subtree is a contiguous index range ending at the node, and the last
// child of a node comes right before it.
struct Tree {
  std::vector<Node> nodes;
  std::vector<ByteSet> sets;  // raw text bytes each Set node admits
  int32_t root = -1;
  int32_t groupCount = 0;
  uint32_t referencedGroups = 0;  // bit g: group g (1..9) has a back-reference
  bool hasBackRefs = false;
  size_t compiledSize = 0;  // size of the compact program, before any expansion
};

// Largest compact program; a pattern that needs more is "too big".
inline constexpr size_t MaxCompiledSize = 65536;
// Largest interval bound.
inline constexpr int32_t MaxRepeat = 32767;

// Parses a pattern; throws ERegExp with the error text.
Tree ParsePattern(std::string_view pattern, const Tables& tables);

}  // namespace regexp
