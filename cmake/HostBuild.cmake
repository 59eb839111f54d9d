# Host build: the launcher's logic with its unit tests, the artwork
# generator, the Windows build as an external project, and the tests that
# check the Windows executable and run it under Wine.

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

set(LAUNCHER_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror)

add_library(launcher_core STATIC ${LAUNCHER_CORE_SOURCES})
target_include_directories(launcher_core PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(launcher_core PRIVATE ${LAUNCHER_WARNINGS})

add_executable(unit_tests
    tests/unit/Form1ControllerTest.cpp
    tests/unit/InstallerPathTest.cpp
    tests/unit/LayoutTest.cpp
    tests/unit/VersionGateTest.cpp
)
target_link_libraries(unit_tests PRIVATE launcher_core GTest::gtest_main)
target_compile_options(unit_tests PRIVATE -Wall -Wextra -Werror)
gtest_discover_tests(unit_tests)

# The generator of the disc artwork and the icons, with its checks.
add_subdirectory(resources/generator)

# Options of the Windows build, handed on to it as cache variables
# (scripts/build.sh sets them from the environment).
set(LAUNCHER_INSTALLER_DIR "" CACHE PATH
    "Folder copied as it is to the medium's installer folder; it must hold Setup.exe. Empty: the sample installer.")
set(WIN32_BUILD_OPTIONS "")
foreach(option LAUNCHER_INSTALLER_DIR)
    list(APPEND WIN32_BUILD_OPTIONS -D${option}=${${option}})
endforeach()

# The Windows build, with the cross compiler, in a build folder of its own.
include(ExternalProject)
set(WIN32_BUILD_DIR ${CMAKE_BINARY_DIR}/win32)
ExternalProject_Add(win32
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${WIN32_BUILD_DIR}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-i686.cmake
        -DCMAKE_BUILD_TYPE=MinSizeRel
        ${WIN32_BUILD_OPTIONS}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON
)

set(LAUNCHER_EXE ${WIN32_BUILD_DIR}/launcher.exe)
set(SAMPLE_MEDIUM ${WIN32_BUILD_DIR}/medium)
set(PYTHON /usr/bin/python3)

add_test(NAME pe_imports_and_headers
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_pe.py
            --exports ${PROJECT_SOURCE_DIR}/tests/pe/win9x-nt4-exports.txt ${LAUNCHER_EXE})

add_test(NAME pe_resources
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_resources.py
            --resources ${PROJECT_SOURCE_DIR}/resources ${LAUNCHER_EXE})

add_test(NAME reproducible_build
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pe/check_reproducible.sh ${PROJECT_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/reproducible)
set_tests_properties(reproducible_build PROPERTIES TIMEOUT 600)

# The medium's disc image read back; signing with a throw-away certificate.
if(LAUNCHER_INSTALLER_DIR)
    set(MEDIUM_INSTALLER_DIR ${LAUNCHER_INSTALLER_DIR})
else()
    set(MEDIUM_INSTALLER_DIR ${WIN32_BUILD_DIR}/sample-installer)
endif()
add_test(NAME medium_image
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/medium/check_image.py --launcher ${LAUNCHER_EXE}
            --installer-dir ${MEDIUM_INSTALLER_DIR} ${WIN32_BUILD_DIR}/medium.iso)

add_test(NAME medium_signing
    COMMAND ${PROJECT_SOURCE_DIR}/tests/medium/check_signing.sh ${PROJECT_SOURCE_DIR}
            ${WIN32_BUILD_DIR} ${CMAKE_BINARY_DIR}/signing)

add_test(NAME wine_launcher
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/wine/run_wine_tests.py
            --build ${WIN32_BUILD_DIR} --work ${CMAKE_BINARY_DIR}/wine-tests)
set_tests_properties(wine_launcher PROPERTIES TIMEOUT 1200)
