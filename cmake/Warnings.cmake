# Every target of the project gets the same warnings; third-party headers come in as system headers. With
# QUILLMARK_WERROR (the release build of CI) a warning fails the build. The sanitizer builds keep the warnings
# as warnings: GCC itself advises against -Werror together with the sanitizers, which make it warn about code
# it has instrumented.
option(QUILLMARK_WERROR "Treat warnings as errors" OFF)
function(quillmark_warnings target)
  # -Wshadow=local is GCC's; clang (the fuzz build) does not know it and would warn about the option.
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
                                           -Wnon-virtual-dtor)
  if(QUILLMARK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
