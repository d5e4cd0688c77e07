# The Windows programs and the tests that run under Wine.
add_compile_options(-finput-charset=UTF-8 -fexec-charset=CP932)
# The same sources give the same programs: no build path, no time stamp.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
add_link_options(-Wl,--no-insert-timestamp)
# The release drops its symbols at link time: a strip afterwards would stamp
# the programs with the time again.
option(DROVIX_STRIP "Link the programs without their symbols" OFF)
if(DROVIX_STRIP)
  add_link_options(-s)
endif()

add_library(engine_win32 OBJECT engine/win32/MciDrive.cpp engine/win32/NotifyWindow.cpp)
target_link_libraries(engine_win32 PUBLIC engine)
target_compile_options(engine_win32 PRIVATE ${DROVIX_CODE_FLAGS})

enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The skin and the icon are drawn by a generator at build time.
set(PLAYER_ART ${CMAKE_BINARY_DIR}/player-art)
add_custom_command(
  OUTPUT ${PLAYER_ART}/skin.bmp ${PLAYER_ART}/drovix.ico ${PLAYER_ART}/drovixcfg.ico
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PLAYER_ART}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/skin.py
    ${PLAYER_ART}/skin.bmp ${PLAYER_ART}/drovix.ico ${PLAYER_ART}/drovixcfg.ico
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/skin.py
  COMMENT "Drawing the skin and the icons")
add_custom_target(player_art DEPENDS ${PLAYER_ART}/skin.bmp ${PLAYER_ART}/drovix.ico ${PLAYER_ART}/drovixcfg.ico)

# The help file beside the programs, written from the guide page.
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/drovix.hlp
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/hlp.py
    ${CMAKE_SOURCE_DIR}/docs/release/guide.html ${CMAKE_BINARY_DIR}/drovix.hlp
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/hlp.py ${CMAKE_SOURCE_DIR}/docs/release/guide.html
  COMMENT "Writing the help file")
add_custom_target(help_file ALL DEPENDS ${CMAKE_BINARY_DIR}/drovix.hlp)

# What every program says of a title index it will not use as it is.
add_library(index_words STATIC common/IndexWords.cpp)
target_link_libraries(index_words PUBLIC titles)
target_compile_options(index_words PRIVATE ${DROVIX_CODE_FLAGS})

# The main window, on whichever drive the program links.
add_library(player_window STATIC
  player/MainWindow.cpp player/Settings.cpp player/Face.cpp player/Refresh.cpp player/Commands.cpp
  player/Menus.cpp player/TitleDialog.cpp player/AboutBox.cpp player/Titles.cpp player/Hints.cpp
  player/MediaKeys.cpp player/ImageInsert.cpp)
target_link_libraries(player_window PUBLIC engine titles index_words display gdi32 user32 advapi32 version)
target_compile_options(player_window PRIVATE ${DROVIX_CODE_FLAGS})

# The player's resources, linked into the player and into the window tests.
add_library(player_resources OBJECT player/res/Drovix.rc)
target_include_directories(player_resources PRIVATE ${PLAYER_ART} player/res common)
add_dependencies(player_resources player_art)
set_source_files_properties(player/res/Drovix.rc PROPERTIES
  OBJECT_DEPENDS "${PLAYER_ART}/skin.bmp;${PLAYER_ART}/drovix.ico;${CMAKE_SOURCE_DIR}/common/app.manifest")

add_executable(Drovix WIN32 player/WinMain.cpp $<TARGET_OBJECTS:player_resources>)
target_link_libraries(Drovix player_window engine_win32)
target_compile_options(Drovix PRIVATE ${DROVIX_CODE_FLAGS})

# The settings tool: its dialog and AutoPlay registration, linked into the
# tool and into its tests.
add_library(settings_tool STATIC config/SettingsDialog.cpp config/AutoPlay.cpp config/Uninstall.cpp
  config/DriveRemoval.cpp config/CueVerb.cpp vdrive/win32/link/DriveKeys.cpp)
target_link_libraries(settings_tool PUBLIC common titles index_words comctl32 comdlg32 user32 advapi32)
target_compile_options(settings_tool PRIVATE ${DROVIX_CODE_FLAGS})

add_library(tool_resources OBJECT config/res/Drovixcfg.rc)
target_include_directories(tool_resources PRIVATE ${PLAYER_ART} config/res common)
add_dependencies(tool_resources player_art)
set_source_files_properties(config/res/Drovixcfg.rc PROPERTIES
  OBJECT_DEPENDS "${PLAYER_ART}/drovixcfg.ico;${CMAKE_SOURCE_DIR}/common/app.manifest")

add_executable(Drovixcfg WIN32 config/WinMain.cpp $<TARGET_OBJECTS:tool_resources>)
target_link_libraries(Drovixcfg settings_tool)
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
add_executable(title_index_win32_tests tests/native/TitleIndexTest.cpp tests/native/TitleEditsTest.cpp)
target_include_directories(title_index_win32_tests PRIVATE tests/native)
target_link_libraries(title_index_win32_tests titles gtest gtest_main)
gtest_discover_tests(title_index_win32_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)

# What we ship: PE32 i386 GUI programs that need only system DLLs.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  foreach(program Drovix Drovixcfg)
    add_test(NAME deliverable_${program}
      COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/check_deliverable.sh $<TARGET_FILE:${program}>)
  endforeach()
  # The drive and vdrivectl import nothing that Windows XP lacks.
  foreach(program drovixcd vdrivectl)
    add_test(NAME deliverable_${program}
      COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/check_imports.sh $<TARGET_FILE:${program}>
        ${CMAKE_SOURCE_DIR}/tests/win32/windowsxp-imports.txt)
  endforeach()
endif()

# The main dialog in the test process, on the simulated drive, with the
# real notification window, registry, drawing and resources.
add_executable(player_window_tests
  tests/native/SimDrive.cpp
  tests/win32/PlayerTest.cpp
  tests/win32/StartupTest.cpp
  tests/win32/FaceTest.cpp
  tests/win32/MenuTest.cpp
  tests/win32/TitleDialogTest.cpp
  tests/win32/TitleWritersTest.cpp
  tests/win32/HintsTest.cpp
  $<TARGET_OBJECTS:player_resources>)
target_sources(player_window_tests PRIVATE engine/win32/NotifyWindow.cpp)
target_include_directories(player_window_tests PRIVATE tests/native)
target_link_libraries(player_window_tests player_window winmm gtest gtest_main)
# The tests below share the settings key, the marker atom and the virtual
# drive's control key, so they run one at a time.
gtest_discover_tests(player_window_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES RESOURCE_LOCK shared_registry)

# The real programs and their markers.
add_executable(player_instance_tests tests/win32/InstanceTest.cpp)
target_link_libraries(player_instance_tests gtest gtest_main)
add_dependencies(player_instance_tests Drovix Drovixcfg vdrivectl)
gtest_discover_tests(player_instance_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES RESOURCE_LOCK shared_registry)

# The virtual CD drive: an MCI driver under a name of its own, so that no
# program loads it unless vdrivectl install made it the "cdaudio" driver.
set(DROVIX_DRIVE_SOURCES vdrive/win32/drovixcd.rc vdrive/win32/host/DriverProc.cpp vdrive/win32/host/DriveLifetime.cpp
  vdrive/win32/host/DiscLoading.cpp vdrive/win32/host/PlaySegment.cpp vdrive/win32/link/Control.cpp vdrive/win32/host/ImageFiles.cpp
  vdrive/win32/host/AudioOut.cpp vdrive/win32/host/FlacReading.cpp vdrive/win32/link/CommandFields.cpp vdrive/win32/host/SnapshotWriter.cpp
  vdrive/win32/link/HostTrust.cpp)
# The drive and vdrivectl are for the NT family (MCI drivers of this kind
# exist there only), from Windows XP on (GetModuleHandleEx keeps the
# driver loaded for good): the programs' flags otherwise.
set(DROVIX_DRIVE_FLAGS -Wall -Wextra -fno-exceptions -fno-rtti -DWINVER=0x0501 -D_WIN32_WINNT=0x0501)
# The drive's test build: the same drive with a seam in its reads.
foreach(build drovixcd drovixcd_seams)
  add_library(${build} SHARED ${DROVIX_DRIVE_SOURCES})
  set_target_properties(${build} PROPERTIES PREFIX "" OUTPUT_NAME ${build})
  target_link_libraries(${build} vdrive_model vdrive_flac common winmm advapi32)
  target_compile_options(${build} PRIVATE ${DROVIX_DRIVE_FLAGS})
  target_link_options(${build} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at -Wl,--gc-sections)
endforeach()
# The installed drive is one for the session: a host process owns it, and
# each program's open talks to the host.
set(DROVIX_SHARED_DRIVE_SOURCES vdrive/win32/drovixcd.def vdrive/win32/host/DriveHost.cpp
  vdrive/win32/driver/SnapshotReader.cpp
  vdrive/win32/driver/DriverClient.cpp vdrive/win32/driver/HostConnection.cpp vdrive/win32/driver/PassThrough.cpp
  vdrive/win32/driver/RealDrive.cpp)
target_sources(drovixcd PRIVATE ${DROVIX_SHARED_DRIVE_SOURCES})
# The shared drive's wary test build: it takes a host only of another user,
# so that a host of the one user Wine has stands for someone else's.
add_library(drovixcd_wary SHARED ${DROVIX_DRIVE_SOURCES} ${DROVIX_SHARED_DRIVE_SOURCES})
set_target_properties(drovixcd_wary PROPERTIES PREFIX "")
target_link_libraries(drovixcd_wary vdrive_model vdrive_flac common winmm advapi32)
target_compile_options(drovixcd_wary PRIVATE ${DROVIX_DRIVE_FLAGS})
target_compile_definitions(drovixcd_wary PRIVATE DROVIX_WARY_TEST)
target_link_options(drovixcd_wary PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at -Wl,--gc-sections)
target_sources(drovixcd_seams PRIVATE vdrive/win32/drovixcd_seams.def vdrive/win32/host/DriveSeams.cpp)
target_compile_definitions(drovixcd_seams PRIVATE DROVIX_DRIVE_SEAMS)

# The player's MCI commands against the virtual drive.
add_executable(mci_drive_tests tests/win32/MciDriveTest.cpp tests/win32/DriveSeamTest.cpp
  tests/win32/SharedDriveTest.cpp tests/win32/HostFaultTest.cpp tests/win32/FlacDriveTest.cpp
  vdrive/win32/link/HostTrust.cpp)
target_include_directories(mci_drive_tests PRIVATE tests/native)
target_link_libraries(mci_drive_tests engine_win32 engine vdrive_model winmm advapi32 gtest)
# A second program on the drive: MCI command strings in, answers out.
add_executable(mci_client tests/win32/MciClient.cpp)
target_link_libraries(mci_client winmm)
# The PC's own driver as the virtual drive finds it, for the passing on.
add_library(standin_cd SHARED tests/win32/StandInDriver.cpp)
set_target_properties(standin_cd PROPERTIES PREFIX "")
target_link_libraries(standin_cd winmm)
target_link_options(standin_cd PRIVATE -static -static-libgcc -Wl,--kill-at)
add_dependencies(mci_drive_tests drovixcd drovixcd_seams drovixcd_wary vdrivectl mci_client standin_cd flac_images)
gtest_discover_tests(mci_drive_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES RESOURCE_LOCK shared_registry)

# FLAC images beside the WAV they were encoded from, for the tests under
# Wine (Debian's flac command encodes them at build time).
set(FLAC_IMAGES ${CMAKE_BINARY_DIR}/flac-images)
add_custom_command(OUTPUT ${FLAC_IMAGES}/disc.flac
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/win32/flac_images.py ${FLAC_IMAGES}
  DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/flac_images.py
  COMMENT "Encoding the FLAC test images")
add_custom_target(flac_images DEPENDS ${FLAC_IMAGES}/disc.flac)
# The drive's reading of FLAC images, in the test process.
add_executable(flac_reader_tests tests/win32/FlacReaderTest.cpp vdrive/win32/host/ImageFiles.cpp
  vdrive/win32/host/AudioOut.cpp vdrive/win32/host/FlacReading.cpp)
target_link_libraries(flac_reader_tests vdrive_flac common winmm gtest gtest_main)
target_compile_options(flac_reader_tests PRIVATE -DWINVER=0x0501 -D_WIN32_WINNT=0x0501)
add_dependencies(flac_reader_tests flac_images)
gtest_discover_tests(flac_reader_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)

# The real player on the virtual drive.
add_executable(end_to_end_tests tests/e2e/AutoplayTest.cpp tests/e2e/TitlesTest.cpp
  tests/e2e/SettingsTest.cpp tests/e2e/HelpTest.cpp tests/e2e/PlayModesTest.cpp
  tests/e2e/BadInputTest.cpp tests/e2e/SoakTest.cpp tests/e2e/SharedDriveTest.cpp tests/e2e/UninstallTest.cpp
  tests/e2e/ImageDropTest.cpp)
target_link_libraries(end_to_end_tests gtest gtest_main psapi ntdll gdi32)
# vdrivectl as a user without administrator rights meets it.
add_executable(refusing_vdrivectl tests/e2e/RefusingVdrivectl.cpp)
add_dependencies(end_to_end_tests Drovix Drovixcfg drovixcd vdrivectl help_file mci_client refusing_vdrivectl flac_images)
# The soak takes about three minutes.
gtest_discover_tests(end_to_end_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES RESOURCE_LOCK shared_registry TIMEOUT 300)

# The reference for the player's CPU figure.
add_executable(minimal_dialog WIN32 tests/bench/MinimalDialog.cpp)

# A client that plays an image of counting samples, for the sound test.
add_executable(sound_script tests/sound/SoundScript.cpp)
target_link_libraries(sound_script winmm)
add_dependencies(sound_script drovixcd vdrivectl mci_client)
# The same samples through the platform's sound alone, for reference.
add_executable(sound_plain tests/sound/PlainClient.cpp)
target_link_libraries(sound_plain winmm)

add_executable(vdrivectl vdrive/win32/control/vdrivectl.cpp vdrive/win32/control/HostCommands.cpp vdrive/win32/control/Install.cpp vdrive/win32/link/Control.cpp
  vdrive/win32/link/DriveKeys.cpp vdrive/win32/driver/RealDrive.cpp vdrive/win32/link/HostTrust.cpp
  vdrive/win32/control/SheetTitles.cpp vdrive/win32/host/ImageFiles.cpp vdrive/win32/host/FlacReading.cpp
  vdrive/win32/control/vdrivectl.rc)
target_include_directories(vdrivectl PRIVATE common)
set_source_files_properties(vdrive/win32/control/vdrivectl.rc PROPERTIES OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/common/app.manifest")
target_link_libraries(vdrivectl vdrive_flac titles index_words winmm shell32)
target_compile_options(vdrivectl PRIVATE ${DROVIX_DRIVE_FLAGS})
target_link_options(vdrivectl PRIVATE -Wl,--gc-sections)

# The settings tool's dialog in the test process, with the tool's resources,
# Wine's registry and real message boxes; and the real tool for its marker.
add_executable(settings_tool_tests tests/win32/SettingsToolTest.cpp tests/win32/SettingsSaveFilesTest.cpp
  tests/win32/UninstallTest.cpp $<TARGET_OBJECTS:tool_resources>)
target_link_libraries(settings_tool_tests settings_tool version gtest gtest_main)
gtest_discover_tests(settings_tool_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES RESOURCE_LOCK shared_registry)

# Figures of the virtual drive: a status's round-trip while the drive reads.
add_executable(status_round_trip tests/bench/StatusRoundTrip.cpp)
target_link_libraries(status_round_trip winmm)
