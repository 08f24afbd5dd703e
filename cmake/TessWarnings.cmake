# tess::warnings carries the warning flags and the sanitizer switch for every project target.
add_library(tess_warnings INTERFACE)
add_library(tess::warnings ALIAS tess_warnings)
target_compile_options(tess_warnings INTERFACE -Wall -Wextra -Wshadow)
if(TESS_WERROR)
    target_compile_options(tess_warnings INTERFACE -Werror)
endif()
if(TESS_SANITIZE STREQUAL "address")
    # float-cast-overflow is not part of "undefined" in GCC or clang: a number from a document too large for its
    # integer would otherwise pass unseen.
    target_compile_options(tess_warnings INTERFACE -fsanitize=address,undefined,float-cast-overflow
                                                   -fno-omit-frame-pointer -fno-sanitize-recover=undefined,float-cast-overflow)
    target_link_options(tess_warnings INTERFACE -fsanitize=address,undefined,float-cast-overflow)
elseif(TESS_SANITIZE STREQUAL "thread")
    target_compile_options(tess_warnings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(tess_warnings INTERFACE -fsanitize=thread)
endif()
