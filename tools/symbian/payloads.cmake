# The handset files that travel inside the theme builder: compiled resource
# files, application information files, font stores and executable images,
# with the descriptor and checked-UID helpers they share.
target_sources(symbian PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/e32uid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/e32des.cpp
  ${CMAKE_CURRENT_LIST_DIR}/e32image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rsc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/aif.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdr.cpp
)
