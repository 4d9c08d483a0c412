# Warnings are set once here and applied to our own targets only, never to
# third-party code.
function(kastra_target target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Wnull-dereference -Wdouble-promotion
    -Wformat=2 -Wimplicit-fallthrough)
endfunction()
