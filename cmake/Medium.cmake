# The installation medium, made after every build by scripts/make-medium.sh:
#   medium/      launcher.exe and autorun.inf at the root, the installer
#                folder (Tavrinex\Setup.exe and what sits beside it);
#   medium.iso   its disc image: ISO 9660 with Joliet and Rock Ridge.
# The LAUNCHER_SIGN_ environment variables, read at build time, have
# launcher.exe signed on its way in (see scripts/make-medium.sh).

if(LAUNCHER_INSTALLER_DIR)
    set(installer_dir ${LAUNCHER_INSTALLER_DIR})
else()
    set(installer_dir $<TARGET_FILE_DIR:sample_installer>)
endif()

# The product's name and version come from the version record, their one
# place: the image's volume label is the name, autorun's label both.
set(version_record ${PROJECT_SOURCE_DIR}/resources/launcher.rc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${version_record})
file(STRINGS ${version_record} product_values REGEX "VALUE \"Product(Name|Version)\"")
foreach(line IN LISTS product_values)
    if(line MATCHES "VALUE \"Product(Name|Version)\", *\"([^\"]+)\"")
        set(product_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endif()
endforeach()
if(NOT product_Name OR NOT product_Version)
    message(FATAL_ERROR "No ProductName and ProductVersion in ${version_record}")
endif()

set(MEDIUM_DIR ${CMAKE_BINARY_DIR}/medium)
add_custom_target(medium ALL
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-medium.sh
            --launcher $<TARGET_FILE:launcher>
            --installer-dir ${installer_dir}
            --folder Tavrinex
            --product ${product_Name}
            --label "${product_Name} ${product_Version}"
            --sources ${PROJECT_SOURCE_DIR}
            --tree ${MEDIUM_DIR}
            --image ${MEDIUM_DIR}.iso
    COMMENT "Installation medium in ${MEDIUM_DIR} and its image"
    VERBATIM
)
add_dependencies(medium launcher sample_installer)
