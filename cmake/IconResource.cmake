# Writes an .rc fragment that carries an .ico file of one or more images as
# icon images and an icon group with identifiers of our choosing.
#
# windres numbers the images of an ICON statement itself, from 1 up, so the
# resources are written out as raw data instead: each image as stored in
# the file, and the group directory pointing at them.
#
#   cmake -DICON=setup.ico -DGROUP=IDI_SETUP -DIMAGE=IDI_SETUP_IMAGE
#         -DOUTPUT=setup_icon.rc -P IconResource.cmake
#
# GROUP and IMAGE are identifiers (numbers, or macro names from resource.h,
# which the including .rc file has already read). The file's first image
# gets the identifier IMAGE, each further one IDI_IMAGE_STEP more than the
# one before (see resource.h).
file(READ "${ICON}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR file_length "${hex_length} / 2")

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

if(file_length LESS 6)
    message(FATAL_ERROR "${ICON}: not an icon file")
endif()
read_le(0 2 reserved)
read_le(2 2 type)
read_le(4 2 count)
math(EXPR directory_end "6 + 16 * ${count}")
if(NOT reserved EQUAL 0 OR NOT type EQUAL 1 OR count EQUAL 0 OR file_length LESS directory_end)
    message(FATAL_ERROR "${ICON}: expected an icon file of one or more images")
endif()

get_filename_component(name "${ICON}" NAME)
set(images "")
set(entries "")
set(described "")
math(EXPR last_image "${count} - 1")
foreach(index RANGE 0 ${last_image})
    # ICONDIRENTRY: width, height, colours, reserved (bytes), planes, bit
    # count (words), size and offset of the image (double words).
    math(EXPR entry "6 + 16 * ${index}")
    read_le(${entry} 1 width)
    math(EXPR field "${entry} + 1")
    read_le(${field} 1 height)
    math(EXPR field "${entry} + 2")
    read_le(${field} 1 colours)
    math(EXPR field "${entry} + 3")
    read_le(${field} 1 entry_reserved)
    math(EXPR field "${entry} + 4")
    read_le(${field} 2 planes)
    math(EXPR field "${entry} + 6")
    read_le(${field} 2 bits)
    math(EXPR field "${entry} + 8")
    read_le(${field} 4 bytes)
    math(EXPR field "${entry} + 12")
    read_le(${field} 4 offset)
    math(EXPR end "${offset} + ${bytes}")
    if(bytes EQUAL 0 OR offset LESS directory_end OR end GREATER file_length)
        message(FATAL_ERROR "${ICON}: image ${index} lies outside the file")
    endif()
    math(EXPR odd "${bytes} % 2")
    if(odd)
        message(FATAL_ERROR "${ICON}: image ${index} of ${bytes} bytes cannot be written as words")
    endif()
    if(index EQUAL 0)
        set(id "${IMAGE}")
    else()
        set(id "((${IMAGE}) + ${index} * IDI_IMAGE_STEP)")
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
    string(APPEND images "${id} 3 /* RT_ICON: ${width} x ${height}, ${bits} bits */
BEGIN
    ${words}
END

")
    # GRPICONDIRENTRY: the file's entry with the image's identifier in
    # place of its offset.
    math(EXPR size_word "(${height} << 8) | ${width}")
    math(EXPR colour_word "(${entry_reserved} << 8) | ${colours}")
    string(APPEND entries ",\n    ${size_word}, ${colour_word}, ${planes}, ${bits}, ${bytes}L, ${id}")
    list(APPEND described "${width} x ${height} of ${bits} bits")
endforeach()

list(JOIN described ", " described)
file(WRITE "${OUTPUT}.tmp"
"/* Generated from ${name}; do not edit. */
${images}${GROUP} 14 /* RT_GROUP_ICON: ${described} */
BEGIN
    0, 1, ${count}${entries}
END
")
# Only touch the output when it changes, so the resources rebuild only then.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
