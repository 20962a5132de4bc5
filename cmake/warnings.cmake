# Warning flags for the project's own targets. Third-party headers come in
# through imported targets as system includes, so they stay quiet.
add_library(vestrim_warnings INTERFACE)
target_compile_options(vestrim_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wimplicit-fallthrough -Wcast-qual -Wformat=2)
if(VESTRIM_WERROR)
  target_compile_options(vestrim_warnings INTERFACE -Werror)
endif()
