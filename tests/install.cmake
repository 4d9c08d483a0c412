# The Debian package: cpack builds it from this build, the test unpacks it
# with dpkg-deb and runs the programs from there. Registered under one name,
# debian_package, since its cases share the one package it builds.
find_program(KASTRA_DPKG_DEB dpkg-deb)
if(TARGET package AND TARGET kastra-theme-creator AND KASTRA_DPKG_DEB)
  add_executable(test_install test_install.cpp)
  target_link_libraries(test_install PRIVATE package converter workspace platform imaging symbian Qt6::Core
    GTest::gtest GTest::gtest_main)
  target_include_directories(test_install PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(test_install PRIVATE
    KASTRA_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    KASTRA_CRASHERS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/crashers"
    KASTRA_CPACK_COMMAND="${CMAKE_CPACK_COMMAND}"
    KASTRA_DEB_CONFIG="${KASTRA_DEB_CONFIG}"
    KASTRA_APP_ID="${KASTRA_APP_ID}"
    KASTRA_VERSION="${PROJECT_VERSION}")
  set_target_properties(test_install PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  kastra_target(test_install)
  # cpack packs what the build left, so everything installed comes first.
  add_dependencies(test_install kastra-theme-creator kastra-theme bmconv makesis sistool payloads)
  add_test(NAME debian_package COMMAND test_install)
  set_tests_properties(debian_package PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endif()
