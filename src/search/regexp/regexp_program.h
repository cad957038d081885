// Regular-expression engine, internal: the instruction graph the matchers run.
#pragma once

#include "search/regexp/regexp_syntax.h"

#include <cstdint>
#include <vector>

namespace regexp {

enum class Op : uint8_t {
  Byte,      // consume one byte of sets[arg], go to out
  Split,     // go to out and to out1
  Jump,      // go to out
  Assert,    // go to out when the assertion holds
  Match,     // the whole pattern matched
  Save,      // backtracker: register arg := position
  BackRef,   // backtracker: the text of group arg again
  RepInit,   // backtracker: counter arg := 0
  RepCheck,  // backtracker: loop of counter arg, body out, exit out1
};

struct Inst {
  Op op = Op::Jump;
  Assertion assertion = Assertion::LineStart;
  int32_t arg = 0;
  int32_t out = -1;
  int32_t out1 = -1;
  int32_t min = 0;  // RepCheck
  int32_t max = 0;  // RepCheck; Unbounded for no limit
};

struct Program {
  std::vector<Inst> insts;
  std::vector<ByteSet> sets;
  int32_t start = -1;
  int32_t counters = 0;  // backtracker loop counters
};

enum class BuildMode {
  Forward,      // automaton: counted repeats expanded, groups dropped
  Reverse,      // the same for the reversed language
  Backtracker,  // loops with counters, registers for referenced groups
};

// Builds the program of a tree. For the automaton modes, false when the
// expansion would need more than `budget` instructions.
bool BuildProgram(const Tree& tree, BuildMode mode, size_t budget, Program& out);

// Instructions the forward automaton of a tree would need (saturated).
size_t ExpandedSize(const Tree& tree);

}  // namespace regexp
