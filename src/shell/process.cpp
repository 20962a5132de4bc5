#include "shell/process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vestrim::shell {

#ifdef _WIN32

long currentProcessId() {
  return static_cast<long>(::GetCurrentProcessId());
}

bool processHasEnded(long id) {
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) {
    return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no process of that number
  }
  DWORD code = 0;
  const bool ended = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  ::CloseHandle(process);
  return ended;
}

#else

long currentProcessId() {
  return static_cast<long>(::getpid());
}

bool processHasEnded(long id) {
  return ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

#endif

}  // namespace vestrim::shell
