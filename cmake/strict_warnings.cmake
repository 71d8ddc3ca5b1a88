# Warnings are errors in our own code; attach clockward_strict to every target we write.
add_library(clockward_strict INTERFACE)
target_compile_options(clockward_strict INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wcast-align -Wformat=2 -Wundef -Werror)
