// Sets an environment variable for one scope and restores the old state.
#pragma once

#include <cstdlib>
#include <string>

namespace testsupport {

class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : name_(name)
  {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv()
  {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace testsupport
