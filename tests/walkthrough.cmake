# The real window under Xvfb, driven as a user drives it.
add_executable(walkthrough_check walkthrough/walkthrough_check.cpp)
target_link_libraries(walkthrough_check PRIVATE symbian Qt6::Gui)
set_target_properties(walkthrough_check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
kastra_target(walkthrough_check)
add_test(NAME walkthrough COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/walkthrough/walkthrough.sh ${CMAKE_BINARY_DIR})
set_tests_properties(walkthrough PROPERTIES TIMEOUT 240 RUN_SERIAL TRUE)
