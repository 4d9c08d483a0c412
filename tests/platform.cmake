kastra_test(test_ini SOURCES test_ini.cpp LIBS platform)
kastra_test(test_platform SOURCES test_platform.cpp LIBS platform)
