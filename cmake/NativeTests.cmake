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
  tests/native/EngineAdvanceTest.cpp
  tests/native/EngineFollowTest.cpp)
target_link_libraries(engine_tests engine GTest::gtest_main)
gtest_discover_tests(engine_tests DISCOVERY_MODE PRE_TEST)

add_executable(title_index_tests tests/native/TitleIndexTest.cpp tests/native/TitleEditsTest.cpp tests/native/IndexReadersTest.cpp
  tests/native/ShiftJisTest.cpp tests/native/IndexPlaceTest.cpp)
target_link_libraries(title_index_tests titles GTest::gtest_main)
gtest_discover_tests(title_index_tests DISCOVERY_MODE PRE_TEST)

add_executable(display_text_tests tests/native/DisplayTextTest.cpp)
target_link_libraries(display_text_tests display GTest::gtest_main)
gtest_discover_tests(display_text_tests DISCOVERY_MODE PRE_TEST)

add_executable(cue_sheet_tests tests/native/CueSheetTest.cpp)
target_link_libraries(cue_sheet_tests vdrive_disc GTest::gtest_main)
gtest_discover_tests(cue_sheet_tests DISCOVERY_MODE PRE_TEST)

# FLAC images through Debian's libFLAC, made by Debian's flac command.
add_executable(flac_image_tests tests/native/FlacImageTest.cpp)
target_link_libraries(flac_image_tests vdrive_flac GTest::gtest_main)
gtest_discover_tests(flac_image_tests DISCOVERY_MODE PRE_TEST)

add_executable(drive_model_tests tests/native/DriveModelTest.cpp tests/native/SampleCountTest.cpp
  tests/native/SegmentClockTest.cpp tests/native/DriveActivityTest.cpp tests/native/DriveSnapshotTest.cpp)
target_link_libraries(drive_model_tests vdrive_model GTest::gtest_main)
gtest_discover_tests(drive_model_tests DISCOVERY_MODE PRE_TEST)

# The engine and the title index allocate nothing: their object code
# references no allocator.
foreach(library engine titles common vdrive_model)
  add_test(NAME ${library}_references_no_allocator
    COMMAND ${CMAKE_SOURCE_DIR}/tests/native/no_allocator.sh $<TARGET_FILE:${library}>)
endforeach()

# The title index, the CUE sheet reader and FLAC files fuzzed for a bounded time each,
# under ASan and UBSan, from their seed corpus in tests/fuzz/corpus/.
if(DROVIX_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(DROVIX_FUZZ_SECONDS 60 CACHE STRING "How long each fuzz test runs")

  function(add_fuzz_test name)
    add_executable(${name}_fuzz ${ARGN})
    target_compile_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${name}_fuzz
      COMMAND ${name}_fuzz -max_total_time=${DROVIX_FUZZ_SECONDS} -rss_limit_mb=2048 -print_final_stats=1
        ${corpus} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
    set_tests_properties(${name}_fuzz PROPERTIES TIMEOUT 300)
  endfunction()

  add_fuzz_test(title_index tests/fuzz/TitleIndexFuzz.cpp
    titles/TitleIndex.cpp titles/IndexCopy.cpp titles/IndexCheck.cpp titles/IndexReplace.cpp titles/IndexFollow.cpp common/ShiftJis.cpp common/IndexPlace.cpp titles/StdioFiles.cpp
  titles/posix/PathFiles.cpp)
  target_include_directories(title_index_fuzz PRIVATE titles tests/native)
  add_fuzz_test(cue_sheet tests/fuzz/CueSheetFuzz.cpp vdrive/VirtualDisc.cpp vdrive/CueSheet.cpp
    vdrive/ImageText.cpp vdrive/ImageFormats.cpp vdrive/DiscLayout.cpp)
  target_include_directories(cue_sheet_fuzz PRIVATE vdrive)
  # FLAC files through libFLAC (Debian's), with libFLAC's own errors.
  add_fuzz_test(flac tests/fuzz/FlacFuzz.cpp vdrive/FlacImage.cpp vdrive/FlacStream.cpp vdrive/VirtualDisc.cpp
    vdrive/CueSheet.cpp vdrive/ImageText.cpp vdrive/ImageFormats.cpp vdrive/DiscLayout.cpp)
  target_include_directories(flac_fuzz PRIVATE vdrive)
  target_link_libraries(flac_fuzz libflac)
endif()

# The title index's benchmark, optimised whatever the build type.
add_executable(title_index_bench tests/bench/TitleIndexBench.cpp
  titles/TitleIndex.cpp titles/IndexCopy.cpp titles/IndexCheck.cpp titles/IndexReplace.cpp titles/IndexFollow.cpp common/ShiftJis.cpp common/IndexPlace.cpp titles/StdioFiles.cpp
  titles/posix/PathFiles.cpp)
target_include_directories(title_index_bench PRIVATE titles)
target_compile_options(title_index_bench PRIVATE -O2)

# How soon a program's window shows under Wine, told by the X server's
# events: the start figures' stopwatch, where the X client library is.
find_package(X11)
if(X11_FOUND)
  add_executable(window_shown tests/bench/WindowShown.cpp)
  target_link_libraries(window_shown X11::X11)
endif()
