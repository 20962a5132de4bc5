#include "pin_input.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <iostream>

namespace vestrim::cli {
namespace {

std::optional<std::string> oneLine() {
  std::string line;
  if (!std::getline(std::cin, line)) {
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return line;
}

#ifdef _WIN32

// Turns the console's echo off while it lives.
class NoEcho {
 public:
  NoEcho() : input_(::GetStdHandle(STD_INPUT_HANDLE)) {
    on_ = ::GetConsoleMode(input_, &mode_) && ::SetConsoleMode(input_, mode_ & ~ENABLE_ECHO_INPUT);
  }
  ~NoEcho() {
    if (on_) {
      ::SetConsoleMode(input_, mode_);
    }
  }

 private:
  HANDLE input_;
  DWORD mode_ = 0;
  bool on_ = false;
};

#else

class NoEcho {
 public:
  NoEcho() {
    on_ = ::tcgetattr(STDIN_FILENO, &saved_) == 0;
    if (on_) {
      termios quiet = saved_;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      quiet.c_lflag |= ECHONL;  // the Enter still ends the line on the screen
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
  }
  ~NoEcho() {
    if (on_) {
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
  }

 private:
  termios saved_{};
  bool on_ = false;
};

#endif

}  // namespace

bool inputIsTerminal() {
#ifdef _WIN32
  return ::_isatty(::_fileno(stdin)) != 0;
#else
  return ::isatty(STDIN_FILENO) != 0;
#endif
}

std::optional<std::string> readPin(const std::string& prompt) {
  if (!inputIsTerminal()) {
    return oneLine();
  }
  std::cerr << prompt << std::flush;
  const NoEcho quiet;
  return oneLine();
}

}  // namespace vestrim::cli
