#include "shell/version_line.h"

#include <cstdio>

#include "shell/version.h"

namespace vestrim::shell {

std::string versionLine(int major, int minor, int revision) {
  std::string line = "Rev. " + std::to_string(major) + "." + std::to_string(minor) + ".";
  if (revision == 0) {
    return line + "0";
  }
  char beta[16];
  std::snprintf(beta, sizeof beta, "beta%02d", revision);
  return line + beta;
}

std::string versionLine() {
  return versionLine(kVersionMajor, kVersionMinor, kVersionPatch);
}

}  // namespace vestrim::shell
