# CLOCKWARD_SANITIZE=address,undefined or thread instruments every host target, tests included.
set(CLOCKWARD_SANITIZE "" CACHE STRING "Sanitizers for the host build: empty, address,undefined, or thread")
if(CLOCKWARD_SANITIZE)
    add_compile_options(-fsanitize=${CLOCKWARD_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${CLOCKWARD_SANITIZE})
endif()
