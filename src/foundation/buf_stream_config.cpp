#include "foundation/buf_stream_config.h"

#include "foundation/buf_stream.h"
#include "foundation/chartables.h"

void BuildDelimiterSet(TCharSet& set)
{
  set.reset();
  for (int c = 0; c <= 32; ++c)
    set.set(size_t(c));
  for (char c : SingleByteChars(ConcordSettings.NonWordChars))
    set.set(uint8_t(c));
  for (char c : {ConcordSettings.WildCard0orMore, ConcordSettings.WildCard0or1,
                 ConcordSettings.WildCardExactly1, ConcordSettings.WildCardMatchWords})
    set.set(uint8_t(c));
}

void ConfigureBufStream(TBufStream& reader)
{
  const ConcordConfig& s = ConcordSettings;
  reader.SetTagStart(s.TagStart);
  reader.SetTagStop(s.TagStop);
  reader.SetWordTagStyle(s.WordTag);
  reader.SetWordTagStarts(&s.wTagStarts);
  reader.SetWordTagStop(s.wTagStop);
  reader.SetWordTagDelimiter(s.wTagDelimiter);
}
