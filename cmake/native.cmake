# The native build: unit tests of the pure core, and the Windows build as a sub-build whose
# tests run under Wine from this build's ctest.
include(ExternalProject)
enable_testing()

find_package(GTest REQUIRED)
include(GoogleTest)

add_executable(unit_tests
  tests/unit/ami_identity_test.cpp
  tests/unit/bitlocker_decisions_test.cpp
  tests/unit/archive_format_test.cpp
  tests/unit/command_line_test.cpp
  tests/unit/dmi_options_test.cpp
  tests/unit/dos_package_test.cpp
  tests/unit/dos_stub_test.cpp
  tests/unit/file_path_test.cpp
  tests/unit/sha256_test.cpp
  tests/unit/place_security_test.cpp
  tests/unit/text_format_test.cpp
  tests/unit/flash_area_table_test.cpp
  tests/unit/flasher_commands_test.cpp
  tests/unit/flasher_requests_test.cpp
  tests/unit/flasher_tools_test.cpp
  tests/unit/image_blocks_test.cpp
  tests/unit/language_table_test.cpp
  tests/unit/name_list_test.cpp
  tests/unit/options_test.cpp
  tests/unit/power_decisions_test.cpp
  tests/unit/rom_backup_names_test.cpp
  tests/unit/qpack_test.cpp
  tests/unit/qpack_try_test.cpp
  tests/unit/request_format_test.cpp
  tests/unit/result_codes_test.cpp
  tests/unit/sim_test.cpp
  tests/unit/smbios_tables_test.cpp
  tests/unit/bitmaps_test.cpp
  tests/support/archive_bytes.cpp
  tools/bitmaps/bitmaps.cpp
  tools/dos_stub/dos_stub.cpp)
target_compile_options(unit_tests PRIVATE ${QV_WARNINGS})
target_compile_definitions(unit_tests PRIVATE QV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  QV_DOS_UNPACKER_HOST="$<TARGET_FILE:dos_unpacker_host>")
add_dependencies(unit_tests dos_unpacker_host)
target_link_libraries(unit_tests PRIVATE qv_core qv_packer qv_sim qv_try GTest::gtest_main)
gtest_discover_tests(unit_tests TEST_PREFIX "unit." DISCOVERY_TIMEOUT 30)

# The bench's package contents.
add_executable(bench_payload tools/bench/bench_payload.cpp)
target_compile_options(bench_payload PRIVATE ${QV_WARNINGS})

# The BIOS image the e2e packages and the demo carry.
add_executable(make_bios_image tests/e2e/make_bios_image.cpp)
target_compile_options(make_bios_image PRIVATE ${QV_WARNINGS})

# The program's artwork, drawn by code; the Windows build's resources take the files from here.
add_executable(make_bitmaps tools/bitmaps/make_bitmaps.cpp tools/bitmaps/bitmaps.cpp)
target_include_directories(make_bitmaps PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(make_bitmaps PRIVATE ${QV_WARNINGS})
set(QV_BITMAP_DIR ${CMAKE_BINARY_DIR}/bitmaps)
set(QV_BITMAP_FILES)
foreach(name frame116 frame117 frame118 frame103 frame119 frame120 frame121 frame122
        logo115 logo113 logo113_ami)
  list(APPEND QV_BITMAP_FILES ${QV_BITMAP_DIR}/${name}.bmp)
endforeach()
add_custom_command(OUTPUT ${QV_BITMAP_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_BITMAP_DIR}
  COMMAND make_bitmaps ${QV_BITMAP_DIR}
  DEPENDS make_bitmaps)
add_custom_target(bitmaps ALL DEPENDS ${QV_BITMAP_FILES})

# The exit-code table of docs/deployment.md, from the program's own result table.
add_executable(exit_codes tools/exit_codes/main.cpp tools/exit_codes/exit_code_table.cpp
  tools/exit_codes/rc_strings.cpp)
target_compile_options(exit_codes PRIVATE ${QV_WARNINGS})
target_link_libraries(exit_codes PRIVATE qv_core)

# The DOS unpacker, built with dev86 as a 16-bit .COM image; the Windows build places it in front
# of the updater's PE headers with place_dos_stub. bcc's compiler trips over const in some
# declarations (elks-libc's own headers define it away), so it is defined away throughout. ld86
# warns that our open, unlink and fseek replace the library's: they are meant to.
find_program(QV_BCC bcc REQUIRED)
set(QV_DOS_SOURCES dos/unpacker.c dos/dos_package.c dos/dos_calls.c)
set(QV_DOS_UNPACKER ${CMAKE_BINARY_DIR}/dos/UNPACKER.COM)
add_custom_command(OUTPUT ${QV_DOS_UNPACKER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/dos
  COMMAND ${QV_BCC} -ansi -Md -Dconst= -I${CMAKE_SOURCE_DIR} -o ${QV_DOS_UNPACKER} ${QV_DOS_SOURCES}
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
  DEPENDS ${QV_DOS_SOURCES} dos/dos_calls.h dos/dos_package.h)
add_custom_target(dos_unpacker ALL DEPENDS ${QV_DOS_UNPACKER})
add_executable(place_dos_stub tools/dos_stub/place_dos_stub.cpp tools/dos_stub/dos_stub.cpp)
target_include_directories(place_dos_stub PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(place_dos_stub PRIVATE ${QV_WARNINGS})
# The same unpacker on the host, for the unit tests.
add_executable(dos_unpacker_host dos/unpacker.c dos/dos_package.c dos/native_calls.c)
target_include_directories(dos_unpacker_host PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(dos_unpacker_host PRIVATE ${QV_WARNINGS})

# A fuzz target for every parser of outside bytes; ctest replays each one's corpus (fuzz.*).
set(QV_ROOT ${CMAKE_SOURCE_DIR})
add_subdirectory(tests/fuzz)

set(QV_WIN_DIR ${CMAKE_BINARY_DIR}/win)
# The shipped updater, its Windows 98 test build and the stand-in flashers, with the
# win32-thread-model compilers: the posix thread library would bring imports that Windows 98, Me
# and 2000 lack.
set(QV_UPDATER_DIR ${CMAKE_BINARY_DIR}/updater)
ExternalProject_Add(updater
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${QV_UPDATER_DIR}
  DEPENDS bitmaps dos_unpacker place_dos_stub
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
             -DQV_THREAD_MODEL=win32
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
             -DQV_BITMAP_DIR=${QV_BITMAP_DIR}
             -DQV_DOS_UNPACKER=${QV_DOS_UNPACKER}
             -DQV_PLACE_DOS_STUB=$<TARGET_FILE:place_dos_stub>
             -DQV_UPDATER_ONLY=ON
  # The first command regenerates the build files where they changed, so that the second finds
  # every target.
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target QuorvinUpdate
        COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target QuorvinUpdate98 SWinFlash_32 SWinFlash_64
                TarpexV01_10 AFUWIN afuwinx64
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

ExternalProject_Add(windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${QV_WIN_DIR}
  DEPENDS bitmaps dos_unpacker place_dos_stub updater
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
             -DQV_BITMAP_DIR=${QV_BITMAP_DIR}
             -DQV_DOS_UNPACKER=${QV_DOS_UNPACKER}
             -DQV_PLACE_DOS_STUB=$<TARGET_FILE:place_dos_stub>
             -DQV_UPDATER_EXE=${QV_UPDATER_DIR}/QuorvinUpdate.exe
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

set(QV_WITH_WINE ${CMAKE_SOURCE_DIR}/tests/wine/with-wine --template ${CMAKE_BINARY_DIR}/wine-template)

foreach(suite LogLine OwnResources ReportResult UpdateSequence AmiUpdateSequence)
  add_test(NAME win.${suite}
    COMMAND ${QV_WITH_WINE} -- wine ${QV_WIN_DIR}/win_tests.exe --gtest_filter=${suite}.*)
endforeach()
foreach(suite OpenOwnPackage ExtractPackedFile ExtractPackage GunzipFile Housekeeping ProgressWindow BlitWithColorKey
        LanguageDlls SelectLanguageResources FlasherRuns DmiSetting WorkingPlace)
  add_test(NAME win.${suite}
    COMMAND ${QV_WITH_WINE} -- wine ${QV_WIN_DIR}/win_package_tests.exe --gtest_filter=${suite}.*)
endforeach()

add_test(NAME win.OsLookup COMMAND ${QV_WITH_WINE} -- wine ${QV_WIN_DIR}/win_os_tests.exe)
add_test(NAME tool.imports COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/tools/imports.py ${CMAKE_BINARY_DIR})
# Debian's python3-pefile, which the system python has.
add_test(NAME tool.cpu_floor COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/tools/cpu_floor.py ${CMAKE_BINARY_DIR})
add_test(NAME tool.pe_headers COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/tools/pe_headers.py ${CMAKE_BINARY_DIR})
add_test(NAME tool.qpack_cli COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/qpack_cli.sh ${CMAKE_BINARY_DIR})
add_test(NAME tool.exit_codes COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/exit_codes.sh ${CMAKE_BINARY_DIR})

foreach(suite AccessDriver Requests DetectAmiBios PowerChecks EmbeddedController FirmwareIdentity HddPassword Shutdown
        InputSuppression ImageSelection ReadBiosRom AmiImage FakeOsFaults)
  add_test(NAME win.${suite}
    COMMAND ${QV_WITH_WINE} -- wine ${QV_WIN_DIR}/win_hw_tests.exe --gtest_filter=${suite}.*)
endforeach()

foreach(case unpack no_package refused)
  add_test(NAME dos.${case} COMMAND ${CMAKE_SOURCE_DIR}/tests/dos/unpacker.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()
add_test(NAME dos.windows COMMAND ${CMAKE_SOURCE_DIR}/tests/dos/windows.sh ${CMAKE_BINARY_DIR})

foreach(script no_archive driver_needed second_run cost unattended)
  add_test(NAME e2e.${script} COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/${script}.sh ${CMAKE_BINARY_DIR})
endforeach()

# Every fault a run can meet, one run each, and docs/faults.md's table of them.
add_test(NAME e2e.faults COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/faults.sh ${CMAKE_BINARY_DIR})
set_tests_properties(e2e.faults PROPERTIES TIMEOUT 600)

foreach(case matrix misnamed setup release)
  add_test(NAME e2e.qpack_try.${case} COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/qpack_try.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()

foreach(case workdir-link temp-link leftover refused swapped dlls format layer98)
  add_test(NAME e2e.planted.${case} COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/planted.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()

foreach(case ok low no-ac nothing skipped)
  add_test(NAME e2e.power.${case} COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/power.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()

foreach(case whole options verdict micom vendor vista quote 98)
  add_test(NAME e2e.update.${case} COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/update.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()

foreach(case sm3 legacy)
  add_test(NAME e2e.smbios.${case} COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/smbios.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()

foreach(case flash verdict)
  add_test(NAME e2e.stand_ins.${case}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/stand_ins.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()

foreach(case x64 x86 newer part option)
  add_test(NAME e2e.ami_update.${case}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/ami_update.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()

foreach(case dmi vendor silent cancel read)
  add_test(NAME e2e.dmi_update.${case}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/dmi_update.sh ${CMAKE_BINARY_DIR} ${case})
endforeach()

foreach(chip vendor legacy)
  add_test(NAME e2e.firmware.${chip}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/firmware.sh ${CMAKE_BINARY_DIR} ${chip})
endforeach()

foreach(language en ko zh-cn zh-tw de fr pt ru es)
  add_test(NAME e2e.language.${language}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/language.sh ${CMAKE_BINARY_DIR} ${language})
endforeach()

foreach(mode xp vista 7 7-x86 98)
  add_test(NAME e2e.relay_requests.${mode}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/relay_requests.sh ${CMAKE_BINARY_DIR} ${mode})
endforeach()

foreach(mode xp 8 10 vista 7 7-x86 7-nodriver 7-nodriver-silent 98 7-ami 10-hidden 7-nodriver-hidden)
  add_test(NAME e2e.notebook.${mode}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/notebook.sh ${CMAKE_BINARY_DIR} ${mode})
endforeach()
