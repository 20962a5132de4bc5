#pragma once

// This program's process and others', by their system number.
namespace vestrim::shell {

long currentProcessId();

// True only when no process of that number runs (a killed program's);
// false when it runs or cannot be told.
bool processHasEnded(long id);

}  // namespace vestrim::shell
