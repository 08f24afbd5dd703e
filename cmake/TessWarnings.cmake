# tess::warnings carries the warning flags and the sanitizer switch for every project target.
add_library(tess_warnings INTERFACE)
add_library(tess::warnings ALIAS tess_warnings)
target_compile_options(tess_warnings INTERFACE -Wall -Wextra -Wshadow)
if(TESS_WERROR)
    target_compile_options(tess_warnings INTERFACE -Werror)
endif()
if(TESS_SANITIZE)
    target_compile_options(tess_warnings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                   -fno-sanitize-recover=undefined)
    target_link_options(tess_warnings INTERFACE -fsanitize=address,undefined)
endif()
