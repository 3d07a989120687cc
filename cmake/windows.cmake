# The Windows build: the updater, its Windows unit tests and the e2e helpers.
enable_language(RC)

# The bitmaps come from the native build, which draws them.
if(NOT QV_BITMAP_DIR)
  message(FATAL_ERROR "QV_BITMAP_DIR must name the folder of the bitmaps the native build draws")
endif()
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${QV_BITMAP_DIR} -I${CMAKE_SOURCE_DIR}")

# What every part of the program uses: run context, messages, log.
add_library(qv_base OBJECT
  core/debug_log.cpp
  core/mapped_file.cpp
  core/message.cpp
  core/run_context.cpp
  core/run_end.cpp)

# The ordered run and its end.
add_library(qv_sequence OBJECT
  app/ami_sequence.cpp
  app/completion.cpp
  app/report.cpp
  app/run_log.cpp
  app/update_sequence.cpp)

# The archive, extraction and file housekeeping.
add_library(qv_package OBJECT
  package/administrators_folder.cpp
  package/archive.cpp
  package/code_hold.cpp
  package/digest_thread.cpp
  package/gunzip.cpp
  package/housekeeping.cpp
  package/language.cpp
  package/package_file.cpp
  package/protected_directory.cpp
  package/run_lock.cpp)

# The progress window.
add_library(qv_ui OBJECT ui/progress_window.cpp)
target_compile_definitions(qv_ui PRIVATE OEMRESOURCE)  # the system step-mark bitmaps

# The access driver and its requests.
add_library(qv_hw OBJECT
  hw/access_driver.cpp
  hw/requests.cpp)

# The operations of the later steps.
add_library(qv_ops OBJECT
  firmware/ec.cpp
  firmware/firmware_tables.cpp
  firmware/input_suppression.cpp
  hw/disk_identity.cpp
  hw/shutdown.cpp
  update/ami_image.cpp
  update/ami_path.cpp
  update/bitlocker.cpp
  update/dmi_mode.cpp
  update/flash_guard.cpp
  update/flasher_runs.cpp
  update/image_selection.cpp
  update/listed_files.cpp
  update/new_image_identity.cpp
  update/power_checks.cpp
  update/rom_backup.cpp
  update/rom_readout.cpp)

# The OS boundary; its run-time lookup (platform/os_lookup.cpp) comes with each program, so that
# the updater's Windows 98 test build can have another.
add_library(qv_os_win32 OBJECT platform/dll_search.cpp platform/os_bitlocker.cpp platform/os_win32.cpp)

foreach(lib qv_base qv_sequence qv_package qv_ui qv_hw qv_ops qv_os_win32)
  target_include_directories(${lib} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${lib} PRIVATE ${QV_WARNINGS})
endforeach()

# BitLocker is asked through COM and WMI: ole32, oleaut32, and the GUIDs of a static library.
set(QV_SYSTEM_LIBS wbemuuid ole32 oleaut32 advapi32 user32 gdi32 kernel32)

# The updater with a run-time lookup: the shipped one (platform/os_lookup.cpp), or its Windows 98
# test build, whose lookup hands out the failing stubs of 9x where Wine has working calls and whose
# kind of Windows is what GetVersion says (Wine runs every program as NT). The
# DOS unpacker (built by the native build) becomes the program's DOS part. The first section
# starts 16 KiB into the image (base 0x400000) to leave the header area room for it.
function(qv_add_updater target)
  add_executable(${target} WIN32 app/main.cpp platform/runtime_slots.cpp package/unpacker_marker.cpp
    ui/QuorvinUpdate.rc ${ARGN}
    $<TARGET_OBJECTS:qv_base> $<TARGET_OBJECTS:qv_sequence> $<TARGET_OBJECTS:qv_package>
    $<TARGET_OBJECTS:qv_ui> $<TARGET_OBJECTS:qv_hw> $<TARGET_OBJECTS:qv_ops>
    $<TARGET_OBJECTS:qv_os_win32>)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${QV_WARNINGS})
  target_link_libraries(${target} PRIVATE qv_core ZLIB::ZLIB ${QV_SYSTEM_LIBS})
  # What ships carries no symbol table and no unused code; the marker text stays.
  target_link_options(${target} PRIVATE -s -Wl,--gc-sections -Wl,--require-defined=_g_unpackerMarker
    -Wl,--section-start,.text=0x404000)
  set_target_properties(${target} PROPERTIES LINK_DEPENDS "${QV_DOS_UNPACKER};${QV_PLACE_DOS_STUB}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${QV_PLACE_DOS_STUB} $<TARGET_FILE:${target}> ${QV_DOS_UNPACKER} $<TARGET_FILE:${target}>)
endfunction()

# Stand-ins for the flasher tools a package carries: one program that knows from its own name
# which tool it plays. Built with the updater's compilers, so that they too import only what
# Windows 98 has.
set(QV_FLASHERS SWinFlash_32 SWinFlash_64 TarpexV01_10 AFUWIN afuwinx64)

if(QV_UPDATER_EXE)
  # What ships comes from its own sub-build with the win32-thread-model compilers; every test
  # takes it, its Windows 98 test build and the stand-in flashers from there.
  get_filename_component(QV_UPDATER_BUILD ${QV_UPDATER_EXE} DIRECTORY)
  add_custom_target(QuorvinUpdate ALL
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_UPDATER_EXE} ${CMAKE_BINARY_DIR}/QuorvinUpdate.exe
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_UPDATER_BUILD}/QuorvinUpdate98.exe
            ${CMAKE_BINARY_DIR}/QuorvinUpdate98.exe)
  foreach(tool ${QV_FLASHERS})
    add_custom_target(${tool} ALL
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_UPDATER_BUILD}/${tool}.exe ${CMAKE_BINARY_DIR}/${tool}.exe)
  endforeach()
else()
  if(NOT QV_DOS_UNPACKER OR NOT QV_PLACE_DOS_STUB)
    message(FATAL_ERROR "QV_DOS_UNPACKER and QV_PLACE_DOS_STUB must name the native build's DOS unpacker and placement tool")
  endif()
  qv_add_updater(QuorvinUpdate platform/os_lookup.cpp platform/windows_kind.cpp)
  qv_add_updater(QuorvinUpdate98 tests/support/os_lookup_9x.cpp tests/support/windows_kind_9x.cpp
    tests/support/win9x_exports.cpp)
  add_library(stand_in_flasher OBJECT sim/flashers/stand_in_flasher.cpp sim/relay/pipe_io.cpp)
  target_include_directories(stand_in_flasher PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(stand_in_flasher PRIVATE ${QV_WARNINGS})
  foreach(tool ${QV_FLASHERS})
    add_executable(${tool} WIN32 $<TARGET_OBJECTS:stand_in_flasher> platform/runtime_slots.cpp)
    target_link_libraries(${tool} PRIVATE qv_sim user32 kernel32)
    target_link_options(${tool} PRIVATE -s)
  endforeach()
  # The updater's sub-build builds nothing else: the tests need the posix thread model.
  if(QV_UPDATER_ONLY)
    return()
  endif()
endif()

# Windows unit tests: the product modules with the OS boundary faked and the later steps
# replaced by scripted doubles.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(win_tests
  tests/win/call_log.cpp
  tests/win/os_fake.cpp tests/support/win9x_exports.cpp
  tests/win/process_runner.cpp
  tests/win/progress_stand_in.cpp
  tests/win/scratch.cpp
  tests/win/step_doubles.cpp
  tests/win/win_test_main.cpp
  tests/win/debug_log_test.cpp
  tests/win/own_resources_test.cpp
  tests/win/report_test.cpp
  tests/win/update_sequence_test.cpp
  tests/win/ami_sequence_test.cpp
  tests/win/win_tests.rc
  package/administrators_folder.cpp
  $<TARGET_OBJECTS:qv_base> $<TARGET_OBJECTS:qv_sequence>)
target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(win_tests PRIVATE qv_core qv_sim gtest ${QV_SYSTEM_LIBS})

# Windows unit tests of the package modules on real files.
add_executable(win_package_tests
  firmware/ec.cpp
  firmware/input_suppression.cpp
  update/bitlocker.cpp
  update/dmi_mode.cpp
  update/flasher_runs.cpp
  update/new_image_identity.cpp
  tests/win/call_log.cpp
  tests/win/dmi_dialog_test.cpp
  tests/win/extraction_test.cpp
  tests/win/flasher_runs_test.cpp
  tests/win/housekeeping_test.cpp
  tests/win/language_test.cpp
  tests/win/os_fake.cpp tests/support/win9x_exports.cpp
  tests/win/progress_window_test.cpp
  tests/win/protected_directory_test.cpp
  tests/win/process_runner.cpp
  tests/win/progress_stand_in.cpp
  tests/win/scratch.cpp
  tests/win/win_test_main.cpp
  tests/win/win_tests.rc
  tests/support/archive_bytes.cpp
  $<TARGET_OBJECTS:qv_base> $<TARGET_OBJECTS:qv_package> $<TARGET_OBJECTS:qv_hw> $<TARGET_OBJECTS:qv_ui>)
target_include_directories(win_package_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(win_package_tests PRIVATE qv_packer qv_sim gtest ${QV_SYSTEM_LIBS})

# The program the extraction tests pack archives behind.
add_executable(extract_probe tests/win/extract_probe.cpp tests/win/call_log.cpp tests/win/os_fake.cpp tests/support/win9x_exports.cpp
  $<TARGET_OBJECTS:qv_base> $<TARGET_OBJECTS:qv_package> $<TARGET_OBJECTS:qv_hw>)
target_include_directories(extract_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(extract_probe PRIVATE ${QV_WARNINGS})
target_link_libraries(extract_probe PRIVATE qv_core qv_sim ZLIB::ZLIB ${QV_SYSTEM_LIBS})
add_dependencies(win_package_tests extract_probe ui_probe flasher_double)
add_executable(flasher_double tests/win/flasher_double.cpp)
target_link_libraries(flasher_double PRIVATE kernel32)

# The real OS boundary with one looked-up call hidden at a time.
add_executable(win_os_tests tests/win/os_lookup_test.cpp tests/support/win9x_exports.cpp platform/dll_search.cpp
  platform/os_bitlocker.cpp platform/os_win32.cpp)
target_include_directories(win_os_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(win_os_tests PRIVATE ${QV_WARNINGS})
target_link_libraries(win_os_tests PRIVATE qv_core gtest_main wbemuuid ${QV_SYSTEM_LIBS})

# The progress window, run as the updater runs it, with the updater's own resources.
add_executable(ui_probe tests/win/ui_probe.cpp ui/QuorvinUpdate.rc platform/os_lookup.cpp platform/windows_kind.cpp
  $<TARGET_OBJECTS:qv_base> $<TARGET_OBJECTS:qv_package> $<TARGET_OBJECTS:qv_hw> $<TARGET_OBJECTS:qv_ui>
  $<TARGET_OBJECTS:qv_os_win32>)
target_include_directories(ui_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(ui_probe PRIVATE ${QV_WARNINGS})
target_link_libraries(ui_probe PRIVATE qv_core ZLIB::ZLIB ${QV_SYSTEM_LIBS} gdi32)

# The 18 language DLLs: resources only, no code.
set(QV_LANGUAGES Chs Cht En Fr Gr Kr Po Ru Sp)
set(QV_LANGUAGE_DLLS)
foreach(code ${QV_LANGUAGES})
  foreach(variant "" "_ami")
    set(dll UiLang${code}${variant})
    add_library(${dll} SHARED ui/lang/UiLang.rc)
    set_target_properties(${dll} PROPERTIES PREFIX "" LINKER_LANGUAGE C)
    target_include_directories(${dll} PRIVATE ${CMAKE_SOURCE_DIR}/ui/lang/${code})
    if(variant)
      target_compile_definitions(${dll} PRIVATE AMI_VARIANT)
    endif()
    target_link_options(${dll} PRIVATE -nostdlib -s -Wl,-e,0)
    list(APPEND QV_LANGUAGE_DLLS ${dll})
  endforeach()
endforeach()
add_dependencies(win_package_tests ${QV_LANGUAGE_DLLS})
add_dependencies(win_tests UiLangGr)

# Windows unit tests of hardware access on the fake OS's simulated notebook.
add_executable(win_hw_tests
  firmware/ec.cpp
  firmware/firmware_tables.cpp
  firmware/input_suppression.cpp
  hw/disk_identity.cpp
  hw/shutdown.cpp
  tests/win/access_driver_test.cpp
  tests/win/input_suppression_test.cpp
  tests/win/disk_shutdown_test.cpp
  tests/win/firmware_test.cpp
  tests/win/image_selection_test.cpp
  tests/win/power_checks_test.cpp
  tests/win/fake_os_faults_test.cpp
  # The update sequence itself, for the faults only the fake OS can inject.
  $<TARGET_OBJECTS:qv_sequence> package/administrators_folder.cpp package/code_hold.cpp package/housekeeping.cpp
  package/protected_directory.cpp package/run_lock.cpp
  update/bitlocker.cpp
  update/dmi_mode.cpp update/flash_guard.cpp update/flasher_runs.cpp
  tests/win/win_tests.rc
  update/image_selection.cpp
  update/listed_files.cpp
  update/new_image_identity.cpp
  update/power_checks.cpp
  tests/win/call_log.cpp
  tests/win/os_fake.cpp tests/support/win9x_exports.cpp
  tests/win/process_runner.cpp
  tests/win/requests_test.cpp
  tests/win/rom_readout_test.cpp
  tests/win/ami_image_test.cpp
  tests/win/scratch.cpp
  tests/win/win_test_main.cpp
  update/ami_image.cpp
  update/ami_path.cpp
  update/rom_backup.cpp
  update/rom_readout.cpp
  $<TARGET_OBJECTS:qv_base> $<TARGET_OBJECTS:qv_hw>)
target_include_directories(win_hw_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(win_hw_tests PRIVATE qv_sim gtest ${QV_SYSTEM_LIBS})

add_executable(hw_probe tests/win/hw_probe.cpp tests/win/call_log.cpp tests/win/os_fake.cpp tests/support/win9x_exports.cpp
  firmware/ec.cpp firmware/input_suppression.cpp $<TARGET_OBJECTS:qv_base> $<TARGET_OBJECTS:qv_hw>)
target_include_directories(hw_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(hw_probe PRIVATE qv_sim ${QV_SYSTEM_LIBS})
add_dependencies(win_hw_tests hw_probe)

# The simulated notebook under Wine: the machine served over a pipe, and the relay driver.
add_executable(simhw sim/relay/simhw_server.cpp sim/relay/pipe_io.cpp)
target_include_directories(simhw PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(simhw PRIVATE ${QV_WARNINGS})
target_link_libraries(simhw PRIVATE qv_sim user32 kernel32)

add_executable(simhw_sys sim/relay/simhw_driver.c)
set_target_properties(simhw_sys PROPERTIES OUTPUT_NAME simhw SUFFIX .sys)
target_include_directories(simhw_sys PRIVATE /usr/i686-w64-mingw32/include/ddk)
target_compile_options(simhw_sys PRIVATE -Wall -Wextra -Werror)
target_link_options(simhw_sys PRIVATE -nostdlib -shared -Wl,--subsystem,native
  -Wl,--entry,_DriverEntry@8)
target_link_libraries(simhw_sys PRIVATE ntoskrnl)

# The program's own requests, run on the simulated notebook by the e2e tier.
add_executable(hw_exercise tests/e2e/hw_exercise.cpp platform/os_lookup.cpp tests/support/windows_kind_9x.cpp
  $<TARGET_OBJECTS:qv_base> $<TARGET_OBJECTS:qv_hw> $<TARGET_OBJECTS:qv_os_win32>)
target_include_directories(hw_exercise PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(hw_exercise PRIVATE ${QV_WARNINGS})
target_link_libraries(hw_exercise PRIVATE qv_core ${QV_SYSTEM_LIBS})

# Where the Windows tests find the project's files (the machine profiles).
foreach(tests win_tests win_package_tests win_hw_tests)
  target_compile_definitions(${tests} PRIVATE QV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endforeach()

# e2e helpers: what the updater does to the flasher's window and to the session.
add_executable(close_window tests/e2e/close_window.cpp)
target_compile_options(close_window PRIVATE ${QV_WARNINGS})
target_link_libraries(close_window PRIVATE user32 kernel32)
add_executable(power_off tests/e2e/power_off.cpp hw/shutdown.cpp platform/os_lookup.cpp platform/windows_kind.cpp $<TARGET_OBJECTS:qv_os_win32>)
target_include_directories(power_off PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(power_off PRIVATE ${QV_WARNINGS})
target_link_libraries(power_off PRIVATE ${QV_SYSTEM_LIBS})

# e2e helpers: a standard user's program against the elevated run, and the DLL it plants.
add_executable(attacker tests/e2e/attacker.cpp)
target_compile_options(attacker PRIVATE ${QV_WARNINGS})
add_library(attacker_dll SHARED tests/e2e/attacker.cpp)
target_compile_definitions(attacker_dll PRIVATE QV_PLANTED_DLL)
set_target_properties(attacker_dll PROPERTIES PREFIX "" OUTPUT_NAME planted)
target_link_options(attacker_dll PRIVATE -static)

# e2e helper: starts a program, answers and reports its message boxes, prints its exit code.
add_executable(qvdrive tests/e2e/qvdrive.cpp)
target_include_directories(qvdrive PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(qvdrive PRIVATE ${QV_WARNINGS})
target_link_libraries(qvdrive PRIVATE user32 kernel32 psapi)

# The bench's baseline: a program that only starts and ends.
add_executable(bare_start WIN32 tools/bench/bare_start.cpp)
target_compile_options(bare_start PRIVATE ${QV_WARNINGS})
