# Host build: the launcher's logic with its unit tests, the artwork
# generator, the Windows build as an external project, and the tests that
# check the Windows executable and run it under Wine.

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

set(LAUNCHER_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror)

add_library(launcher_core STATIC ${LAUNCHER_CORE_SOURCES}
            ${PRODUCT_DIR}/${BUILD_LANGUAGE}/ProductTexts.cpp)
target_include_directories(launcher_core PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(launcher_core PRIVATE ${LAUNCHER_WARNINGS})

# The score of a drawn picture against the artwork: used by the unit tests
# and, as the picture_score tool, by the Wine tests.
add_library(picture_score_lib STATIC wine_lab/PictureScore.cpp)
target_link_libraries(picture_score_lib PUBLIC launcher_core)
add_executable(picture_score wine_lab/picture_score.cpp)
target_link_libraries(picture_score PRIVATE picture_score_lib)

add_executable(unit_tests
    tests/unit/ColorReductionTest.cpp
    tests/unit/Form1ControllerTest.cpp
    tests/unit/InstallerPathTest.cpp
    tests/unit/InstanceNameTest.cpp
    tests/unit/LanguageChoiceTest.cpp
    tests/unit/LayoutTest.cpp
    tests/unit/MachineTest.cpp
    tests/unit/OwnDriveTest.cpp
    tests/unit/PalettePolicyTest.cpp
    tests/unit/VersionGateTest.cpp
)
target_link_libraries(unit_tests PRIVATE picture_score_lib launcher_core GTest::gtest_main)
# The colour reduction's quality is measured on one fixed picture, the
# default product's artwork, whatever product is built.
target_compile_definitions(unit_tests PRIVATE LAUNCHER_ARTWORK="${PROJECT_SOURCE_DIR}/product/disc.bmp")
target_compile_options(unit_tests PRIVATE -Wall -Wextra -Werror)
gtest_discover_tests(unit_tests)

# The artwork header check meets resources a maker may have edited; its test
# runs under AddressSanitizer, so a read past a resource fails it.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_executable(artwork_header_test tests/unit/ArtworkHeaderTest.cpp ui/ArtworkHeader.cpp
               ui/ColorReduction.cpp)
target_include_directories(artwork_header_test PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(artwork_header_test PRIVATE -Wall -Wextra -Werror ${SANITIZE})
target_link_options(artwork_header_test PRIVATE ${SANITIZE})
target_link_libraries(artwork_header_test PRIVATE GTest::gtest_main)
gtest_discover_tests(artwork_header_test)

# The generator of the disc artwork and the icons, with its checks.
add_subdirectory(resources/generator)

# The Windows build, with the cross compiler, in a build folder of its own.
include(ExternalProject)
set(WIN32_BUILD_DIR ${CMAKE_BINARY_DIR}/win32)
ExternalProject_Add(win32
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${WIN32_BUILD_DIR}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-i686.cmake
        -DCMAKE_BUILD_TYPE=MinSizeRel
        -DPRODUCT_DIR=${PRODUCT_DIR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON
)

set(LAUNCHER_EXE ${WIN32_BUILD_DIR}/launcher.exe)
set(SAMPLE_MEDIUM ${WIN32_BUILD_DIR}/medium)
set(PRODUCT_JSON ${PRODUCT_DIR}/product.json)

find_program(MINGW_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
add_test(NAME pe_imports_and_headers
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_pe.py
            --exports ${PROJECT_SOURCE_DIR}/tests/pe/win9x-nt4-exports.txt
            --objdump ${MINGW_OBJDUMP} ${LAUNCHER_EXE})

add_test(NAME pe_resources
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_resources.py
            --product ${PRODUCT_JSON} --language ${BUILD_LANGUAGE} ${LAUNCHER_EXE})
# Every language's executable, built for the Wine tests, carries its table
# (one launcher carries them all when it picks its language at start).
if(NOT PRODUCT_CHOOSE_LANGUAGE STREQUAL "at_start")
    foreach(language ${PRODUCT_LANGUAGES})
        add_test(NAME pe_resources_${language}
            COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_resources.py
                    --product ${PRODUCT_JSON} --language ${language}
                    ${WIN32_BUILD_DIR}/languages/${language}/launcher.exe)
    endforeach()
endif()

# A maker's mistakes in a product folder (a copy of the default one), each
# refused with its one line; pictures in a maker's forms converted.
add_test(NAME product_folder_errors
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/product/check_product.py
            --product ${PROJECT_SOURCE_DIR}/product --scratch ${CMAKE_BINARY_DIR}/product-errors)

# Values that make, CMake, a shell or a compiler could read as something
# else reach the executable and the disc exactly, built under the C locale.
add_test(NAME product_round_trip
    COMMAND ${PROJECT_SOURCE_DIR}/tests/product/check_round_trip.sh ${PROJECT_SOURCE_DIR}
            ${WIN32_BUILD_DIR} ${CMAKE_BINARY_DIR}/round-trip)
set_tests_properties(product_round_trip PROPERTIES TIMEOUT 600)

add_test(NAME reproducible_build
    COMMAND ${PROJECT_SOURCE_DIR}/tests/pe/check_reproducible.sh ${PROJECT_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/reproducible ${PRODUCT_JSON})
set_tests_properties(reproducible_build PROPERTIES TIMEOUT 600)

# The medium's disc image read back; signing with a throw-away certificate.
set(SAMPLE_INSTALLER ${WIN32_BUILD_DIR}/sample-installer/sample_installer.exe)
add_test(NAME medium_image
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/medium/check_image.py --launcher ${LAUNCHER_EXE}
            --sample-installer ${SAMPLE_INSTALLER} --product ${PRODUCT_JSON} ${WIN32_BUILD_DIR}/medium.iso)

add_test(NAME medium_signing
    COMMAND ${PROJECT_SOURCE_DIR}/tests/medium/check_signing.sh ${PROJECT_SOURCE_DIR}
            ${WIN32_BUILD_DIR} ${CMAKE_BINARY_DIR}/signing
            ${PRODUCT_JSON} ${BUILD_LANGUAGE})

# A hostile installer folder refused entry by entry, the previous medium
# untouched; a timestamp from a local RFC 3161 server outlives the certificate.
add_test(NAME medium_refusals
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/medium/check_refusals.py --sources ${PROJECT_SOURCE_DIR}
            --launcher ${LAUNCHER_EXE} --setup ${SAMPLE_INSTALLER}
            --scratch ${CMAKE_BINARY_DIR}/refusals)
add_test(NAME medium_timestamp
    COMMAND ${PROJECT_SOURCE_DIR}/tests/medium/check_timestamp.sh ${PROJECT_SOURCE_DIR}
            ${WIN32_BUILD_DIR} ${CMAKE_BINARY_DIR}/timestamp)

add_test(NAME wine_launcher
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/tests/wine/run_wine_tests.py
            --build ${WIN32_BUILD_DIR} --work ${CMAKE_BINARY_DIR}/wine-tests
            --score-tool $<TARGET_FILE:picture_score>
            --product ${PRODUCT_JSON} --language ${BUILD_LANGUAGE})
# Alone: its waits are bounded, and a machine busy compiling beside it
# stretches Wine's own starts towards them.
set_tests_properties(wine_launcher PROPERTIES TIMEOUT 1200 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
