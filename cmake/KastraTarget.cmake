# Warnings are set once here and applied to our own targets only, never to
# third-party code. They are errors in our own builds (make, CI), which turn
# KASTRA_WERROR on; a packager's plain build with another compiler version
# should not fail on a warning that version newly invents.
option(KASTRA_WERROR "Treat warnings as errors on the project's own targets" OFF)
function(kastra_target target)
  # The flags are GCC's and Clang's; another compiler builds with its own
  # defaults.
  set(flags
    -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Wnull-dereference -Wdouble-promotion
    -Wformat=2 -Wimplicit-fallthrough)
  if(KASTRA_WERROR)
    list(APPEND flags -Werror)
  endif()
  target_compile_options(${target} PRIVATE "$<$<CXX_COMPILER_ID:GNU,Clang>:${flags}>")
endfunction()

# kastra_payload_tool(target [WMAIN])
# A command-line tool the program carries as a payload and starts for every
# run. Without a shared C++ runtime to load it starts about a millisecond
# sooner and runs wherever it is copied. WMAIN: its entry point is wmain on
# Windows (wide-character arguments).
function(kastra_payload_tool target)
  cmake_parse_arguments(P "WMAIN" "" "" ${ARGN})
  if(MINGW AND P_WMAIN)
    target_link_options(${target} PRIVATE -municode)
  endif()
  if(NOT KASTRA_SANITIZE AND NOT APPLE AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
