#include "link/port_names.h"

namespace vestrim::link {

#ifdef _WIN32

std::string numberedPortName(int number) {
  return "COM" + std::to_string(number);
}

bool dialogOffersNumberedPorts() {
  return true;
}

#else

std::string numberedPortName(int number) {
  return "/dev/ttyS" + std::to_string(number - 1);
}

bool dialogOffersNumberedPorts() {
  return false;
}

#endif

}  // namespace vestrim::link
