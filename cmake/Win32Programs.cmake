# The Windows programs and the tests that run under Wine.
add_compile_options(-finput-charset=UTF-8 -fexec-charset=CP932)

add_library(engine_win32 STATIC engine/win32/MciDrive.cpp engine/win32/NotifyWindow.cpp)
target_link_libraries(engine_win32 PUBLIC engine winmm)
target_compile_options(engine_win32 PRIVATE ${DROVIX_CODE_FLAGS})

add_executable(Drovix WIN32 player/WinMain.cpp)
target_link_libraries(Drovix engine_win32)
target_compile_options(Drovix PRIVATE ${DROVIX_CODE_FLAGS})

add_executable(Drovixcfg WIN32 config/WinMain.cpp)
target_compile_options(Drovixcfg PRIVATE ${DROVIX_CODE_FLAGS})

# GoogleTest built by the MinGW compiler; Wine runs the test programs.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# The real notification window and timer, on the simulated drive.
add_executable(notify_window_tests
  tests/native/SimDrive.cpp
  tests/win32/NotifyWindowTest.cpp
  engine/win32/NotifyWindow.cpp)
target_include_directories(notify_window_tests PRIVATE tests/native)
target_link_libraries(notify_window_tests engine winmm gtest gtest_main)
gtest_discover_tests(notify_window_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)

# The title index on Wine's file system, replacing files with MoveFileExA.
add_executable(title_index_win32_tests tests/native/TitleIndexTest.cpp)
target_include_directories(title_index_win32_tests PRIVATE tests/native)
target_link_libraries(title_index_win32_tests titles gtest gtest_main)
gtest_discover_tests(title_index_win32_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)

# What we ship: PE32 i386 GUI programs that need only system DLLs.
foreach(program Drovix Drovixcfg)
  add_test(NAME deliverable_${program}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/check_deliverable.sh $<TARGET_FILE:${program}>)
endforeach()
