# The portable core's unit tests on the Linux compiler.
find_package(GTest REQUIRED)
include(GoogleTest)

option(DROVIX_SANITIZE "Build with AddressSanitizer and UBSan" OFF)
if(DROVIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

add_executable(engine_tests
  tests/native/SimDrive.cpp
  tests/native/SimHost.cpp
  tests/native/EngineQueriesTest.cpp
  tests/native/EngineTransportTest.cpp
  tests/native/EngineAdvanceTest.cpp)
target_link_libraries(engine_tests engine GTest::gtest_main)
gtest_discover_tests(engine_tests DISCOVERY_MODE PRE_TEST)

add_executable(title_index_tests tests/native/TitleIndexTest.cpp)
target_link_libraries(title_index_tests titles GTest::gtest_main)
gtest_discover_tests(title_index_tests DISCOVERY_MODE PRE_TEST)

# The engine and the title index allocate nothing: their object code
# references no allocator.
foreach(library engine titles)
  add_test(NAME ${library}_references_no_allocator
    COMMAND ${CMAKE_SOURCE_DIR}/tests/native/no_allocator.sh $<TARGET_FILE:${library}>)
endforeach()
