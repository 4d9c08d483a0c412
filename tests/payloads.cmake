# The handset-file formats (resource files, application information files,
# font stores, executable images), the payload store and the default theme
# generator.
kastra_test(test_payload_formats
  SOURCES test_rsc.cpp test_e32.cpp test_gdr.cpp test_aif.cpp
  LIBS symbian)

if(TARGET workspace AND TARGET mkdefaults)
  set(payload_defs
    KASTRA_PAYLOAD_DIR="${KASTRA_PAYLOAD_DIR}"
    KASTRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KASTRA_BUILD_DIR="${CMAKE_BINARY_DIR}"
    KASTRA_MKDEFAULTS="$<TARGET_FILE:mkdefaults>")

  kastra_test(test_payloads
    SOURCES test_payloads.cpp test_payloads_handset.cpp
    LIBS workspace mkdefaults_art symbian)
  target_compile_definitions(test_payloads PRIVATE ${payload_defs})
  add_dependencies(test_payloads payloads)

  kastra_test(test_mkdefaults
    SOURCES test_mkdefaults.cpp
    LIBS mkdefaults_art imaging symbian Qt6::Gui)
  target_compile_definitions(test_mkdefaults PRIVATE ${payload_defs})
  add_dependencies(test_mkdefaults payloads mkdefaults bmconv)
endif()
