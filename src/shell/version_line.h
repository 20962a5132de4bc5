#pragma once

#include <string>

namespace vestrim::shell {

// The About box's version line: "Rev. 1.5.0" for a release (revision 0),
// "Rev. 1.5.beta01" for revision 1. The blank after "Rev." is the sign
// position of the major number.
std::string versionLine(int major, int minor, int revision);

// The version line of this build, from the project version.
std::string versionLine();

}  // namespace vestrim::shell
