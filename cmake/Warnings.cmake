# Our own targets build with strict warnings treated as errors; third-party
# headers come in as system headers and are not affected.
function(corvelin_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough -Werror)
endfunction()
