# The SIS side of the format library: checksums, the package-script parser,
# the SIS writer, reader and unpacker (used by makesis and SISTool).
target_sources(symbian PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/crc16.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pkg_condition.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pkg_lexer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pkg_parser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pkg_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sis_build.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sis_extract.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sis_languages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sis_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sis_writer.cpp
)
# The writer compresses the files of a package on several threads.
find_package(Threads REQUIRED)
target_link_libraries(symbian PUBLIC Threads::Threads)
