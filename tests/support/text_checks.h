// Small checks on text that several suites share: the message of an
// exception and how often a piece occurs.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

namespace testsupport {

// The message of the exception fn raises; empty when it raises none.
template <typename Fn>
std::string errorOf(Fn fn)
{
  try {
    fn();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

// How often `piece` occurs in `text`, without overlaps.
inline size_t Count(const std::string& text, const std::string& piece)
{
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
    ++n;
  return n;
}

}  // namespace testsupport
