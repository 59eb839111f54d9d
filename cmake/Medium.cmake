# The installation medium, made after every build by the medium builder
# (medium_builder/make_medium.py) from the product's model:
#   medium/      launcher.exe and autorun.inf at the root, the installer
#                folder (the product's installer and what sits beside it);
#   medium.iso   its disc image: ISO 9660 with Joliet and Rock Ridge.
# Every fact of the product, the installer folder as the product compiler
# staged it and the signer come from the model; the command line holds
# only paths of the build's own.
set(MEDIUM_DIR ${CMAKE_BINARY_DIR}/medium)
add_custom_target(medium ALL
    COMMAND ${PYTHON} ${PROJECT_SOURCE_DIR}/medium_builder/make_medium.py
            --model ${PRODUCT_DIR}/product.json
            --launcher $<TARGET_FILE:launcher>
            --sample-installer $<TARGET_FILE:sample_installer>
            --tree ${MEDIUM_DIR}
            --image ${MEDIUM_DIR}.iso
    COMMENT "Installation medium in ${MEDIUM_DIR} and its image"
    VERBATIM
)
add_dependencies(medium launcher sample_installer)
