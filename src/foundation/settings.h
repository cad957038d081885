// The settings object and the shared program state every part reads.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A set of the 256 byte values.
using TCharSet = std::bitset<256>;
using CharSetArray = std::vector<TCharSet>;

// Colours are Windows BGR values: $FF0000 is blue, $0000FF red; negative
// values are system colours (0x80000000 | index).
using TColor = int32_t;
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008);

// Font style bits.
enum : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font as a plain value. The charset decides the code page of its text.
struct TFontRec {
  std::string Name;
  int Size = 8;
  int Style = 0;
  TColor Color = 0;
  int Charset = 0;
  bool operator==(const TFontRec&) const = default;
};

// Sort and context columns.
enum TContexts : uint8_t {
  ctx0 = 0, ctx4L, ctx3L, ctx2L, ctx1L, ctx1R, ctx2R, ctx3R, ctx4R,
  ctxOrig, ctxNone, ctxDefined, ctxTrackedTag,
};
inline constexpr int ContextsCount = 13;
extern const char* const ContextsNames[ContextsCount];      // display names for panels
extern const char* const CollocatePositionNames[8];

struct TAdvancedSortColOptions {
  uint8_t First = 0;
  bool FirstReverse = false;
  uint8_t Second = 0;
  bool SecondReverse = false;
  uint8_t Third = 0;
  bool ThirdReverse = false;
  bool Custom = false;
  std::string CustomText;
  std::string TagName;
  int32_t ShowFirst = 0;
  bool SpanCollocation = false;
  int32_t SpanNumber = 0;
};

struct TAdvancedSortColItem {
  uint8_t Key = ctxNone;
  bool Reverse = false;
};

// A meta tag: a name standing for a list of tags.
struct TMetaTag {
  std::string Name;
  std::vector<std::string> Tags;
};

class ConcordConfig {
public:
  ConcordConfig();

  int32_t MaximumHits = 0;
  int32_t FrequencyOfHits = 0;
  uint8_t ContextType = 0;
  std::array<int32_t, 4> ContextSizes{};
  std::string NonWordChars;
  std::string SkippingChars;
  std::string EqualChars;
  CharSetArray EqualCharSets;
  char WildCard0orMore = 0;
  char WildCard0or1 = 0;
  char WildCardExactly1 = 0;
  char WildCardMatchWords = 0;
  uint8_t MatchWordsLo = 0;
  uint8_t MatchWordsHi = 0;
  char TagSearchSeparator = 0;
  bool IgnoreCase = false;
  bool UseSkipEqualChars = false;
  bool SentenceMode = false;
  bool RegularExpressions = false;
  bool TagSearch = false;
  TAdvancedSortColOptions AdvancedSort;
  TAdvancedSortColOptions AdvancedColloc;
  uint8_t BatchContextType = 0;
  std::array<int32_t, 4> BatchContextSizes{};
  std::array<bool, 3> BatchSuppress{};  // tags, part-of-speech tags, words
  TAdvancedSortColOptions BatchSort;
  std::vector<TAdvancedSortColItem> BatchSortItems;
  TFontRec NormalFont;
  TFontRec HiliteFont;
  TFontRec CollocateFont;
  bool HighlightCollocates = true;
  char TagStart = 0;
  char TagStop = 0;
  std::string PageSeparator;
  bool ShowLines = false;
  bool ShowPages = false;
  bool RelativeLines = false;
  uint8_t WordTag = 0;
  bool wTagBefore = false;
  char wTagDelimiter = 0;
  std::vector<std::string> wTagStarts;
  char wTagStop = 0;
  std::vector<TMetaTag> MetaTags;

  void ClearWordTagLists();
  // FrequencyOfHits as every user must read it: below 1 acts as 1.
  int32_t EffectiveFrequencyOfHits() const;
};

struct TFrequencySettings {
  int32_t MinimumFrequency = 0;
  int32_t MaximumFrequency = 0;
  int32_t MaximumLines = 0;
  int32_t CollocationSpan = 0;
  int32_t CollocHighliteFirst = 0;
  bool IgnoreCase = false;
  bool SkipTags = false;
  TFontRec Font;
  bool ScanTextsOnLoad = false;
};

// Ranges of the four context sizes (characters, words, lines, sentences).
inline constexpr int32_t ContextSizeMin[4] = {0, 0, 0, 1};
inline constexpr int32_t ContextSizeMax[4] = {1000, 40, 10, 1};
int32_t ClampContextSize(int contextType, int32_t size);

extern ConcordConfig ConcordSettings;
extern TFrequencySettings FrequencySettings;

extern bool BusyLoading, BusyCollecting, BusySearching, BusySaving, BusyPrinting, BusyCounting;
bool IsBusy();
// A tag scan is reading a download that is still arriving. It stays busy
// for as long as the download lasts, but between its chunks nothing it holds
// stands in the way of a search, so the frame lets one run meanwhile: the
// items are searchable while they arrive.
extern bool CollectingArrivingURL;
// Busy only with such a scan: a search may start.
bool SearchAllowedWhileBusy();

// Sets one busy flag for its lifetime; on leaving, even by an exception, the
// flag gets back the state it had (so a nested scope does not clear an outer one).
class BusyScope {
public:
  explicit BusyScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~BusyScope() { flag_ = old_; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
private:
  bool& flag_;
  bool old_;
};

extern int32_t BigContextSize;
extern TFontRec CorpusFont;
extern TFontRec SystemFont;
extern std::string SentDelimiters;
extern bool SmartAbbrDetect;

// The GUI supplies the concrete stock system font at start; tests fix one.
// Until then it is a plain sans-serif font of size 8 in the window text colour.
void SetStockSystemFont(const TFontRec& font);
const TFontRec& StockSystemFont();

void ResetSortSpec(TAdvancedSortColOptions& sortSpec);

// Core of the suppress menu toggle: flags and check marks of the three items
// (tags, part-of-speech tags, words); clicked is 0, 1 or 2. Returns false and
// changes nothing when the new state is on and both other items are checked.
bool ToggleSuppressOption(std::array<bool, 3>& flags, std::array<bool, 3>& checks, int clicked);

void CreateDefaultFonts();
// Sets SystemFont, then tells every registered listener (the dialogs whose
// text boxes use it). Listeners stay registered for the whole run.
void SetDialogFont(const TFontRec& font);
void AddDialogFontListener(std::function<void()> listener);

// Creates the whole program state afresh (settings, fonts, busy flags, the
// text language and language names; the character-type table is cleared and
// the folding table is the identity until BuildCharTables runs). main() calls
// it before any window; tests call it for a clean state. Registered listeners
// are kept.
void InitProgramState();
