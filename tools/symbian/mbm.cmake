# The MBM (Symbian multi-bitmap) codec behind bmconv: file layout, RLE
# encoders and decoders, colour reduction and the command language.
target_sources(symbian PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/mbm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mbm_rle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mbm_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/palette.cpp
)
