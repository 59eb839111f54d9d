# The installation medium, made after every build by medium_builder/make-medium.sh:
#   medium/      launcher.exe and autorun.inf at the root, the installer
#                folder (the product's installer and what sits beside it);
#   medium.iso   its disc image: ISO 9660 with Joliet and Rock Ridge.
# The LAUNCHER_SIGN_ environment variables, read at build time, have
# launcher.exe signed on its way in (see medium_builder/make-medium.sh).

if(LAUNCHER_INSTALLER_DIR)
    set(installer_dir ${LAUNCHER_INSTALLER_DIR})
else()
    set(installer_dir $<TARGET_FILE_DIR:sample_installer>)
endif()

# The image's volume label, autorun's label and where the installer goes all
# come from the product folder (product.cmake, written by product_compiler/compile.py).
set(MEDIUM_DIR ${CMAKE_BINARY_DIR}/medium)
add_custom_target(medium ALL
    COMMAND ${PROJECT_SOURCE_DIR}/medium_builder/make-medium.sh
            --launcher $<TARGET_FILE:launcher>
            --installer-dir ${installer_dir}
            --installer ${PRODUCT_INSTALLER}
            --product ${PRODUCT_NAME}
            --volume "${PRODUCT_VOLUME_LABEL}"
            --label "${PRODUCT_AUTORUN_LABEL}"
            --sources ${PROJECT_SOURCE_DIR}
            --tree ${MEDIUM_DIR}
            --image ${MEDIUM_DIR}.iso
    COMMENT "Installation medium in ${MEDIUM_DIR} and its image"
    VERBATIM
)
add_dependencies(medium launcher sample_installer)
