kastra_test(test_bitmap SOURCES test_bitmap.cpp LIBS imaging)
kastra_test(test_jpeg SOURCES test_jpeg.cpp LIBS imaging JPEG::JPEG)
kastra_test(test_resample SOURCES test_resample.cpp LIBS imaging)
