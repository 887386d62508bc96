# Our own targets build with strict warnings treated as errors; third-party
# headers come in as system headers and are not affected.
function(corvelin_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough -Werror)
  # GCC 12's flow-based checks of the standard library's inlined string and
  # vector code report false overflows at -O3; they stay warnings there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE
      -Wno-error=stringop-overflow -Wno-error=restrict -Wno-error=array-bounds)
  endif()
endfunction()
