# hexlark_icon_resources(ICON <file.ico> FIRST_ID <id> GROUP_ID <id>
#                        OUTPUT_DIR <dir> RC_LINES <variable> IMAGES <variable>)
#
# Writes each image of an .ico file to a file of its own, sets RC_LINES to
# the .rc lines that make them icon resources FIRST_ID, FIRST_ID + 1, ... in
# the order of the file, plus an icon group GROUP_ID that lists them, and
# IMAGES to the files written. windres's `ID ICON "file.ico"` numbers the
# images itself, from 1; the program's are numbered from 30001. The lines use
# HEXLARK_RT_ICON and HEXLARK_RT_GROUP_ICON, which the .rc defines. The .ico
# is a configure dependency: changing it reconfigures.

# Reads consecutive little-endian fields of <hex> from byte <offset>; each
# field is given as its size in bytes and the variable that receives it.
function(_hexlark_read_le hex offset)
    set(fields ${ARGN})
    while(fields)
        list(POP_FRONT fields size out)
        set(value "")
        math(EXPR last "${size} - 1")
        foreach(index RANGE ${last})
            math(EXPR position "(${offset} + ${index}) * 2")
            string(SUBSTRING "${hex}" ${position} 2 byte)
            set(value "${byte}${value}")
        endforeach()
        math(EXPR value "0x${value}")
        set(${out} ${value} PARENT_SCOPE)
        math(EXPR offset "${offset} + ${size}")
    endwhile()
endfunction()

function(hexlark_icon_resources)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "ICON;FIRST_ID;GROUP_ID;OUTPUT_DIR;RC_LINES;IMAGES" "")
    set(icondir_size 6)
    set(entry_size 16)
    set(icon_type 1)

    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_ICON})
    file(SIZE ${ARG_ICON} file_size)
    file(READ ${ARG_ICON} header HEX LIMIT ${icondir_size})
    _hexlark_read_le("${header}" 0 2 reserved 2 type 2 count)
    if(NOT reserved EQUAL 0 OR NOT type EQUAL icon_type OR count EQUAL 0)
        message(FATAL_ERROR "${ARG_ICON} is not an icon file with images in it")
    endif()
    math(EXPR directory_size "${icondir_size} + ${count} * ${entry_size}")
    file(READ ${ARG_ICON} directory HEX LIMIT ${directory_size})

    # CMake cannot write arbitrary bytes, but it can copy a byte range of a
    # file through a file:// URL.
    if(ARG_ICON MATCHES "^/")
        set(icon_url "file://${ARG_ICON}")
    else()
        set(icon_url "file:///${ARG_ICON}")
    endif()
    string(REPLACE " " "%20" icon_url "${icon_url}")
    file(MAKE_DIRECTORY ${ARG_OUTPUT_DIR})

    set(lines "")
    set(files "")
    set(group "${ARG_GROUP_ID} HEXLARK_RT_GROUP_ICON\nBEGIN\n")
    string(APPEND group "    0, ${icon_type}, ${count}, // reserved, type: icon, image count\n")
    string(APPEND group "    // width | height << 8, colours | reserved << 8, planes, bits, bytes, id\n")
    math(EXPR last "${count} - 1")
    foreach(index RANGE ${last})
        math(EXPR entry "${icondir_size} + ${index} * ${entry_size}")
        math(EXPR id "${ARG_FIRST_ID} + ${index}")
        _hexlark_read_le("${directory}" ${entry}
            2 size_word 2 colour_word 2 planes 2 bits 4 bytes 4 offset)
        math(EXPR end "${offset} + ${bytes}")
        if(bytes EQUAL 0 OR end GREATER file_size)
            message(FATAL_ERROR "${ARG_ICON}: image ${index} lies outside the file")
        endif()

        set(image ${ARG_OUTPUT_DIR}/icon-${id}.bin)
        math(EXPR range_end "${end} - 1")
        # Through a scratch file, and kept when unchanged: configuring again
        # leaves the program built.
        file(DOWNLOAD "${icon_url}" ${image}.new
            RANGE_START ${offset} RANGE_END ${range_end} STATUS status)
        list(GET status 0 status_code)
        file(SIZE ${image}.new written)
        if(NOT status_code EQUAL 0 OR NOT written EQUAL bytes)
            message(FATAL_ERROR "Could not copy image ${index} of ${ARG_ICON} to ${image}: ${status}")
        endif()
        file(COPY_FILE ${image}.new ${image} ONLY_IF_DIFFERENT)
        file(REMOVE ${image}.new)

        string(APPEND lines "${id} HEXLARK_RT_ICON \"${image}\"\n")
        list(APPEND files ${image})
        math(EXPR size_word "${size_word}" OUTPUT_FORMAT HEXADECIMAL)
        math(EXPR colour_word "${colour_word}" OUTPUT_FORMAT HEXADECIMAL)
        string(APPEND group "    ${size_word}, ${colour_word}, ${planes}, ${bits}, ${bytes}L, ${id}")
        if(index LESS last)
            string(APPEND group ",")
        endif()
        string(APPEND group "\n")
    endforeach()
    string(APPEND group "END\n")
    set(${ARG_RC_LINES} "${lines}${group}" PARENT_SCOPE)
    set(${ARG_IMAGES} ${files} PARENT_SCOPE)
endfunction()
