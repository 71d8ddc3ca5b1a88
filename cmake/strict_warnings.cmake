# The warnings our own code is held to; attach clockward_strict to every target we write. The presets
# make them errors (CMAKE_COMPILE_WARNING_AS_ERROR; --compile-no-warning-as-error, or the variable off, lifts it).
add_library(clockward_strict INTERFACE)
target_compile_options(clockward_strict INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wcast-align -Wformat=2 -Wundef)
