# Writes an .rc fragment that carries a one-image .ico file as an icon image
# and an icon group with identifiers of our choosing.
#
# windres numbers the images of an ICON statement itself, from 1 up, so the
# two resources are written out as raw data instead: the image as stored in
# the file, and the group directory pointing at it.
#
#   cmake -DICON=setup.ico -DGROUP=IDI_SETUP -DIMAGE=IDI_EXIT_IMAGE
#         -DOUTPUT=setup_icon.rc -P IconResource.cmake
#
# GROUP and IMAGE are macro names from resource.h, which the including .rc
# file has already read.
file(READ "${ICON}" hex HEX)
string(LENGTH "${hex}" hex_length)

# Little-endian field of `size` bytes at byte `offset`, as a number.
function(read_le offset size out)
    math(EXPR start "${offset} * 2")
    set(value 0)
    set(shift 0)
    foreach(i RANGE 1 ${size})
        string(SUBSTRING "${hex}" ${start} 2 byte)
        math(EXPR value "${value} + (0x${byte} << ${shift})")
        math(EXPR start "${start} + 2")
        math(EXPR shift "${shift} + 8")
    endforeach()
    set(${out} ${value} PARENT_SCOPE)
endfunction()

read_le(0 2 reserved)
read_le(2 2 type)
read_le(4 2 count)
if(NOT reserved EQUAL 0 OR NOT type EQUAL 1 OR NOT count EQUAL 1)
    message(FATAL_ERROR "${ICON}: expected an icon file with exactly one image")
endif()
# ICONDIRENTRY: width, height, colours, reserved (bytes), planes, bit count
# (words), size and offset of the image (double words).
read_le(6 1 width)
read_le(7 1 height)
read_le(8 1 colours)
read_le(10 2 planes)
read_le(12 2 bits)
read_le(14 4 bytes)
read_le(18 4 offset)
math(EXPR end "(${offset} + ${bytes}) * 2")
if(NOT end EQUAL hex_length)
    message(FATAL_ERROR "${ICON}: image does not end the file")
endif()
math(EXPR odd "${bytes} % 2")
if(odd)
    message(FATAL_ERROR "${ICON}: image of ${bytes} bytes cannot be written as words")
endif()

# The image as 16-bit little-endian words, twelve to a line.
set(words "")
math(EXPR last "${bytes} / 2 - 1")
math(EXPR position "${offset} * 2")
foreach(i RANGE 0 ${last})
    string(SUBSTRING "${hex}" ${position} 2 low)
    math(EXPR high_position "${position} + 2")
    string(SUBSTRING "${hex}" ${high_position} 2 high)
    string(APPEND words "0x${high}${low}")
    math(EXPR position "${position} + 4")
    if(NOT i EQUAL last)
        math(EXPR column "(${i} + 1) % 12")
        if(column EQUAL 0)
            string(APPEND words ",\n    ")
        else()
            string(APPEND words ", ")
        endif()
    endif()
endforeach()

math(EXPR size_word "(${height} << 8) | ${width}")
math(EXPR colour_word "${colours}")
get_filename_component(name "${ICON}" NAME)
file(WRITE "${OUTPUT}.tmp"
"/* Generated from ${name}; do not edit. */
${IMAGE} 3 /* RT_ICON */
BEGIN
    ${words}
END

${GROUP} 14 /* RT_GROUP_ICON: one ${width} x ${height} image of ${bits} bits */
BEGIN
    0, 1, 1, ${size_word}, ${colour_word}, ${planes}, ${bits}, ${bytes}L, ${IMAGE}
END
")
# Only touch the output when it changes, so the resources rebuild only then.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
