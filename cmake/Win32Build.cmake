# Windows build: launcher.exe, the sample installer and the Wine test driver.

enable_language(RC)

# Only the libraries each target names explicitly.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

# --- launcher.exe ---------------------------------------------------------
# Self-contained: no C runtime DLL, no exceptions, no RTTI, no global
# constructors, an entry point of its own. On a clean Windows 95 or NT 4.0
# a missing or planted runtime DLL would stop the launcher before it could
# even say that it cannot run there.
set(LAUNCHER_COMPILE_OPTIONS
    -Os
    -fno-exceptions                   # nothing to unwind, no runtime support
    -fno-rtti
    -fno-asynchronous-unwind-tables   # no .eh_frame in the image
    -fno-threadsafe-statics           # one thread; avoids __cxa_guard_*
    -fno-stack-protector
    -fno-ident                        # no compiler banner in .rdata
    -ffunction-sections -fdata-sections
    -fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
    -Wall -Wextra -Werror
)
# The compiler's default target is the Pentium Pro, whose CMOV and FCOMI a
# Pentium, Pentium MMX, K6 or 486 does not have: the launcher would die of
# an invalid instruction on machines that run 95, 98, Me and NT 4.0, before
# it could even refuse them. Scheduled for the Pentium. (The 64-bit build
# for the Wine tests, cmake/mingw-w64-x86_64.cmake, keeps its default.)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    list(APPEND LAUNCHER_COMPILE_OPTIONS -march=i486 -mtune=pentium)
endif()

set(LAUNCHER_LINK_OPTIONS
    -nostdlib -nostartfiles
    -static
    -s                                         # stripped: no symbols, no paths
    -Wl,--gc-sections
    -Wl,--no-insert-timestamp                  # reproducible: no link time in the header
    -Wl,--subsystem,windows:4.0                # GUI; 4.0 so 95, 98 and NT 4.0 load it
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
    -Wl,--dynamicbase -Wl,--nxcompat           # honoured from XP SP2 on, ignored before
    -Wl,--file-alignment,512 -Wl,--section-alignment,4096
)

# The icons as raw resources with fixed identifiers (see IconResource.cmake),
# from the product's icons in the form the launcher carries.
set(GENERATED_RC_DIR ${CMAKE_BINARY_DIR}/generated)
# The maker's own buttons' icons, button0.ico up, are made the same way;
# the product's button_icons.rc numbers them and includes their fragments.
set(ICON_FRAGMENTS "")
set(ICONS setup exit)
if(PRODUCT_BUTTON_ICONS GREATER 0)
    math(EXPR last_button_icon "${PRODUCT_BUTTON_ICONS} - 1")
    foreach(i RANGE ${last_button_icon})
        list(APPEND ICONS button${i})
    endforeach()
endif()
foreach(icon ${ICONS})
    string(TOUPPER ${icon} upper)
    set(fragment ${GENERATED_RC_DIR}/${icon}_icon.rc)
    add_custom_command(OUTPUT ${fragment}
        COMMAND ${CMAKE_COMMAND} -DICON=${PRODUCT_DIR}/${icon}.ico
                -DGROUP=IDI_${upper} -DIMAGE=IDI_${upper}_IMAGE -DOUTPUT=${fragment}
                -P ${PROJECT_SOURCE_DIR}/cmake/IconResource.cmake
        DEPENDS ${PRODUCT_DIR}/${icon}.ico ${PROJECT_SOURCE_DIR}/cmake/IconResource.cmake
        COMMENT "Icon resources from ${icon}.ico")
    list(APPEND ICON_FRAGMENTS ${fragment})
endforeach()

# The code is compiled once; each language's executable links it with the
# resources of that language.
add_library(launcher_code OBJECT
    ${LAUNCHER_CORE_SOURCES}
    ui/win32/Entry.cpp
    platform/win32/Runtime.cpp
    platform/win32/AnsiText.cpp
    platform/win32/SystemLibrary.cpp
    platform/win32/Win32Platform.cpp
    ui/win32/Form1Drawing.cpp
    ui/win32/Form1Window.cpp
)
target_include_directories(launcher_code PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(launcher_code PRIVATE ${LAUNCHER_COMPILE_OPTIONS})
target_compile_definitions(launcher_code PRIVATE
    WIN32_LEAN_AND_MEAN NOMINMAX
    WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_WINDOWS=0x0410   # declare nothing newer than 98/NT 4.0
)
# The type of each function bound at run time (platform/win32/BoundFunctions.h)
# against the SDK's declaration, with every declaration the headers have in
# view: a wrong prototype fails the build. Compiled only, linked into nothing.
add_library(bound_functions_check OBJECT platform/win32/BoundFunctionsCheck.cpp)
target_include_directories(bound_functions_check PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(bound_functions_check PRIVATE ${LAUNCHER_COMPILE_OPTIONS})
target_compile_definitions(bound_functions_check PRIVATE
    WIN32_LEAN_AND_MEAN NOMINMAX WINVER=0x0A00 _WIN32_WINNT=0x0A00)
add_dependencies(launcher_code bound_functions_check)

# A product may carry every language and pick one when the launcher starts
# (choose_language = at_start); by default its language is picked here.
if(PRODUCT_CHOOSE_LANGUAGE STREQUAL "at_start")
    # Linked only here: what it imports would otherwise be imported by
    # every launcher, used or not.
    target_sources(launcher_code PRIVATE platform/win32/LanguageAtStart.cpp)
    target_compile_definitions(launcher_code PRIVATE LAUNCHER_CHOOSES_LANGUAGE_AT_START=1)
    set(LAUNCHER_TEXTS every-language)
else()
    set(LAUNCHER_TEXTS ${BUILD_LANGUAGE})
endif()

# launcher.rc includes the product's resources written by product_compiler/compile.py:
# the language's string_table.rc from ${PRODUCT_DIR}/<language> (every
# language's, from ${PRODUCT_DIR}/every-language, for at_start), and from
# ${PRODUCT_DIR} the version record, the manifest and the artwork. The texts
# are UTF-8 and say so themselves (#pragma code_page(65001)).
set(STRING_TABLES "")
foreach(texts ${PRODUCT_LANGUAGES} ${LAUNCHER_TEXTS})
    list(APPEND STRING_TABLES ${PRODUCT_DIR}/${texts}/string_table.rc)
endforeach()
list(REMOVE_DUPLICATES STRING_TABLES)
set_source_files_properties(resources/launcher.rc PROPERTIES
    OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/resources/resource.h;${PRODUCT_DIR}/disc.bmp;${PRODUCT_DIR}/launcher.manifest;${PRODUCT_DIR}/version.rc;${PRODUCT_DIR}/button_icons.rc;${ICON_FRAGMENTS};${STRING_TABLES}")

find_program(PYTHON3 python3 REQUIRED)

# texts: a language, whose message texts are compiled in, or every-language,
# whose texts are all resources.
function(add_launcher target texts)
    add_executable(${target} WIN32 $<TARGET_OBJECTS:launcher_code> resources/launcher.rc)
    if(NOT texts STREQUAL "every-language")
        target_sources(${target} PRIVATE ${PRODUCT_DIR}/${texts}/ProductTexts.cpp)
    endif()
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}
        $<$<COMPILE_LANGUAGE:RC>:${PRODUCT_DIR}/${texts}>
        $<$<COMPILE_LANGUAGE:RC>:${PRODUCT_DIR}>
        $<$<COMPILE_LANGUAGE:RC>:${GENERATED_RC_DIR}>)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${LAUNCHER_COMPILE_OPTIONS}>)
    target_link_options(${target} PRIVATE ${LAUNCHER_LINK_OPTIONS})
    # libgcc last: stack probes for large frames (___chkstk_ms) and 64-bit arithmetic.
    target_link_libraries(${target} PRIVATE kernel32 user32 gdi32 gcc)
    # CMake writes the image version into the PE header from VERSION (it
    # would otherwise pass 0.0 after any flag of ours).
    set_target_properties(${target} PROPERTIES OUTPUT_NAME launcher VERSION 1.0)
    # Run from the swap file when started from removable media or a network
    # share: Windows copies the image at load, so a repaint after the disc
    # is ejected never needs a page from it. GNU ld has no option for these
    # header flags; they are set right after linking.
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${PYTHON3} ${PROJECT_SOURCE_DIR}/post_link/set_swap_run.py $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()

# The launcher in the language the build was asked for, or in every one.
add_launcher(launcher ${LAUNCHER_TEXTS})

# For the Wine tests: every language, as languages/<language>/launcher.exe
# (one executable already carries them all when it picks at start).
if(NOT LAUNCHER_TEXTS STREQUAL "every-language")
    foreach(language ${PRODUCT_LANGUAGES})
        add_launcher(launcher_${language} ${language})
        set_target_properties(launcher_${language} PROPERTIES
            RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/languages/${language})
    endforeach()
endif()

# --- test programs (ordinary mingw programs; they never ship) ---------------
set(TEST_PROGRAM_OPTIONS -Os -Wall -Wextra -Werror)
set(TEST_PROGRAM_LINK_OPTIONS -static -s -Wl,--no-insert-timestamp)

add_executable(sample_installer WIN32 wine_lab/sample_installer/SampleInstaller.cpp)
target_compile_options(sample_installer PRIVATE ${TEST_PROGRAM_OPTIONS})
target_link_options(sample_installer PRIVATE ${TEST_PROGRAM_LINK_OPTIONS})
target_link_libraries(sample_installer PRIVATE kernel32 user32 gdi32)
# In a folder of its own. The medium builder puts it on the medium under
# the product's installer name when a maker gives no installer folder.
set_target_properties(sample_installer PROPERTIES OUTPUT_NAME sample_installer
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sample-installer)

add_executable(wine_driver wine_lab/driver.cpp)
target_include_directories(wine_driver PRIVATE ${PROJECT_SOURCE_DIR})  # resource.h, ui/Layout.h
target_compile_options(wine_driver PRIVATE ${TEST_PROGRAM_OPTIONS})
target_link_options(wine_driver PRIVATE ${TEST_PROGRAM_LINK_OPTIONS})
target_link_libraries(wine_driver PRIVATE kernel32 user32 gdi32 shell32 psapi)
set_target_properties(wine_driver PROPERTIES OUTPUT_NAME driver)

add_library(planted_dll SHARED tests/wine/planted_dll.cpp)
target_compile_options(planted_dll PRIVATE ${TEST_PROGRAM_OPTIONS})
target_link_options(planted_dll PRIVATE ${TEST_PROGRAM_LINK_OPTIONS})
target_link_libraries(planted_dll PRIVATE kernel32)
set_target_properties(planted_dll PROPERTIES OUTPUT_NAME planted PREFIX "")

# Paints Form1 with the launcher's own drawing code into bitmaps of 256 and
# 16 colours.
add_executable(wine_drawing
    tests/wine/drawing.cpp
    ${PRODUCT_DIR}/ProductFacts.cpp
    launcher/Text.cpp
    ui/ArtworkHeader.cpp
    ui/ColorReduction.cpp
    ui/Layout.cpp
    ui/win32/Form1Drawing.cpp
)
target_include_directories(wine_drawing PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(wine_drawing PRIVATE ${TEST_PROGRAM_OPTIONS})
target_compile_definitions(wine_drawing PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_options(wine_drawing PRIVATE ${TEST_PROGRAM_LINK_OPTIONS})
target_link_libraries(wine_drawing PRIVATE kernel32 user32 gdi32)
set_target_properties(wine_drawing PROPERTIES OUTPUT_NAME drawing)

# --- the start-up benchmark's floor (built by scripts/bench.sh only) --------
# The same compiler and linker settings and the launcher's own resources.
add_executable(bench_floor WIN32 EXCLUDE_FROM_ALL
    benchmark/floor.cpp platform/win32/Runtime.cpp ui/Layout.cpp ${PRODUCT_DIR}/ProductFacts.cpp
    resources/launcher.rc)
target_include_directories(bench_floor PRIVATE ${PROJECT_SOURCE_DIR}
    $<$<COMPILE_LANGUAGE:RC>:${PRODUCT_DIR}/${LAUNCHER_TEXTS}>
    $<$<COMPILE_LANGUAGE:RC>:${PRODUCT_DIR}>
    $<$<COMPILE_LANGUAGE:RC>:${GENERATED_RC_DIR}>)
target_compile_options(bench_floor PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${LAUNCHER_COMPILE_OPTIONS}>)
target_compile_definitions(bench_floor PRIVATE WIN32_LEAN_AND_MEAN WINVER=0x0400 _WIN32_WINNT=0x0400)
target_link_options(bench_floor PRIVATE ${LAUNCHER_LINK_OPTIONS})
target_link_libraries(bench_floor PRIVATE kernel32 user32 gdi32 gcc)
set_target_properties(bench_floor PROPERTIES OUTPUT_NAME floor)
add_dependencies(bench_floor launcher)  # which generates the icon resources

# --- the installation medium and its image ---------------------------------
include(cmake/Medium.cmake)
