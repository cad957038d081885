// The silent abort: raised when the user stops an operation (Cancel in a
// progress dialog, stopping the downloads). Whoever catches it shows nothing.
#pragma once

#include <stdexcept>

class EAbort : public std::runtime_error {
public:
  EAbort() : std::runtime_error("Operation aborted") {}
};
