// The id of a process that has ended: for checks of what the program does
// with the leftovers of runs that are gone.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

inline pid_t DeadPid()
{
  const pid_t pid = ::fork();
  if (pid == 0)
    ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

}  // namespace testsupport
