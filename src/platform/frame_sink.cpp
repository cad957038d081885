#include "platform/frame_sink.h"

namespace platform {
namespace {

FrameSink silentSink;
FrameSink* installedSink = nullptr;

}  // namespace

FrameSink& frameSink()
{
  return installedSink ? *installedSink : silentSink;
}

FrameSink* setFrameSink(FrameSink* sink)
{
  FrameSink* old = installedSink;
  installedSink = sink;
  return old;
}

}  // namespace platform
