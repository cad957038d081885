// corpusgen: writes a deterministic synthetic corpus to a file or to
// standard output. See corpus_generator.h for what the text looks like.
#include "corpus_generator.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

const char* const kUsage =
    "Usage: corpusgen [options] [OUTPUT]\n"
    "Writes a deterministic synthetic corpus to OUTPUT (a file, replaced),\n"
    "or to standard output when OUTPUT is missing or \"-\".\n"
    "Same options and seed give the same bytes.\n"
    "\n"
    "  -s, --size SIZE         exact size in bytes; suffix K, M or G for\n"
    "                          1024-based units (default 1M)\n"
    "      --seed N            seed (default 1)\n"
    "      --line-end crlf|lf|cr   line ends (default crlf)\n"
    "      --vocabulary N      distinct words, at least 100 (default 50000)\n"
    "      --line-length MIN-MAX   line lengths aimed at (default 30-100)\n"
    "      --tags              add markup tags\n"
    "      --tag-start C       markup tag start (default <)\n"
    "      --tag-stop C        markup tag stop, # for a blank (default >)\n"
    "      --tag-every N       about one inline tag per N words (default 40)\n"
    "      --pos 0|1|2         part-of-speech tags: none, word+delimiter+tag,\n"
    "                          start string+tag+stop (default 0)\n"
    "      --pos-delimiter C   style 1 delimiter (default _)\n"
    "      --pos-start TEXT    style 2 start string; repeat for several\n"
    "                          (default \"<w \")\n"
    "      --pos-stop C        style 2 stop, # for a blank (default >)\n"
    "      --pos-before        style 2 tag before its word (default after)\n"
    "      --page-separator TEXT   a line of TEXT between pages (default none)\n"
    "      --page-every N      text lines per page (default 60)\n"
    "      --heading-marker TEXT   headings: TEXT and capitalised words\n"
    "                          (default none)\n"
    "      --heading-every N   lines between headings, at least (default 300)\n"
    "  -o, --output FILE       output file (same as OUTPUT)\n"
    "  -h, --help              show this help\n";

[[noreturn]] void usageError(const std::string& message)
{
  std::fprintf(stderr, "corpusgen: %s\nTry 'corpusgen --help'.\n", message.c_str());
  std::exit(2);
}

std::uint64_t parseNumber(const std::string& text, const std::string& option, bool allowSuffix)
{
  if (text.empty() || text[0] < '0' || text[0] > '9')
    usageError("bad number for " + option + ": " + text);
  errno = 0;
  char* end = nullptr;
  std::uint64_t value = std::strtoull(text.c_str(), &end, 10);
  if (errno == ERANGE)
    usageError("number too large for " + option + ": " + text);
  std::string suffix(end);
  std::uint64_t unit = 1;
  if (allowSuffix && suffix.size() == 1) {
    switch (suffix[0]) {
    case 'k': case 'K': unit = 1ULL << 10; break;
    case 'm': case 'M': unit = 1ULL << 20; break;
    case 'g': case 'G': unit = 1ULL << 30; break;
    default: usageError("bad number for " + option + ": " + text);
    }
  } else if (!suffix.empty()) {
    usageError("bad number for " + option + ": " + text);
  }
  if (value > UINT64_MAX / unit)
    usageError("number too large for " + option + ": " + text);
  return value * unit;
}

std::uint32_t parseSmall(const std::string& text, const std::string& option)
{
  const std::uint64_t v = parseNumber(text, option, false);
  if (v > UINT32_MAX)
    usageError("number too large for " + option + ": " + text);
  return static_cast<std::uint32_t>(v);
}

char parseChar(const std::string& text, const std::string& option)
{
  if (text.size() != 1)
    usageError(option + " takes one character");
  return text[0];
}

}  // namespace

int main(int argc, char** argv)
{
  corpusgen::Options options;
  std::string output;
  bool startsGiven = false;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc)
        usageError(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "-s" || arg == "--size") {
      options.size = parseNumber(value(), arg, true);
    } else if (arg == "--seed") {
      options.seed = parseNumber(value(), arg, false);
    } else if (arg == "--line-end") {
      const std::string v = value();
      if (v == "crlf")
        options.lineEnd = corpusgen::LineEnd::CrLf;
      else if (v == "lf")
        options.lineEnd = corpusgen::LineEnd::Lf;
      else if (v == "cr")
        options.lineEnd = corpusgen::LineEnd::Cr;
      else
        usageError("line end must be crlf, lf or cr");
    } else if (arg == "--vocabulary") {
      options.vocabularySize = parseSmall(value(), arg);
    } else if (arg == "--line-length") {
      const std::string v = value();
      const auto dash = v.find('-');
      if (dash == std::string::npos)
        usageError("--line-length takes MIN-MAX");
      options.minLineLength = parseSmall(v.substr(0, dash), arg);
      options.maxLineLength = parseSmall(v.substr(dash + 1), arg);
    } else if (arg == "--tags") {
      options.markupTags = true;
    } else if (arg == "--tag-start") {
      options.tagStart = parseChar(value(), arg);
    } else if (arg == "--tag-stop") {
      options.tagStop = parseChar(value(), arg);
    } else if (arg == "--tag-every") {
      options.tagEveryWords = parseSmall(value(), arg);
    } else if (arg == "--pos") {
      options.posStyle = static_cast<int>(parseSmall(value(), arg));
    } else if (arg == "--pos-delimiter") {
      options.posDelimiter = parseChar(value(), arg);
    } else if (arg == "--pos-start") {
      if (!startsGiven)
        options.posStarts.clear();
      startsGiven = true;
      options.posStarts.push_back(value());
    } else if (arg == "--pos-stop") {
      options.posStop = parseChar(value(), arg);
    } else if (arg == "--pos-before") {
      options.posTagBefore = true;
    } else if (arg == "--page-separator") {
      options.pageSeparator = value();
    } else if (arg == "--page-every") {
      options.pageEveryLines = parseSmall(value(), arg);
    } else if (arg == "--heading-marker") {
      options.headingMarker = value();
    } else if (arg == "--heading-every") {
      options.headingEveryLines = parseSmall(value(), arg);
    } else if (arg == "-o" || arg == "--output") {
      output = value();
    } else if (arg.size() > 1 && arg[0] == '-') {
      usageError("unknown option " + arg);
    } else if (output.empty()) {
      output = arg;
    } else {
      usageError("more than one output given");
    }
  }

  try {
    corpusgen::validate(options);
    if (output.empty() || output == "-")
      corpusgen::writeToDescriptor(options, STDOUT_FILENO);
    else
      corpusgen::writeToFile(options, output);
  } catch (const std::invalid_argument& e) {
    usageError(e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corpusgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
