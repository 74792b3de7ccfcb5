# The tool folder beside the executable: <build>/libexec/quorvel holds links to the
# downloader (under the name "youtube-dl"), ffmpeg and ffprobe found on this system.
set(QUORVEL_TOOL_DIR "${CMAKE_BINARY_DIR}/libexec/quorvel")

find_program(QUORVEL_DOWNLOADER NAMES yt-dlp youtube-dl)
find_program(QUORVEL_FFMPEG NAMES ffmpeg)
find_program(QUORVEL_FFPROBE NAMES ffprobe)

file(MAKE_DIRECTORY "${QUORVEL_TOOL_DIR}")
foreach(pair "youtube-dl=QUORVEL_DOWNLOADER" "ffmpeg=QUORVEL_FFMPEG" "ffprobe=QUORVEL_FFPROBE")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 name)
    list(GET pair 1 variable)
    set(tool "${QUORVEL_TOOL_DIR}/${name}")
    # A tool that is already there stays: the user may have put a newer one in its place.
    # Only a missing tool or a dangling link is (re)made.
    if(EXISTS "${tool}")
        continue()
    endif()
    if(${variable})
        file(REMOVE "${tool}")
        file(CREATE_LINK "${${variable}}" "${tool}" SYMBOLIC)
    else()
        message(WARNING "${name} not found: the tool folder will lack it")
    endif()
endforeach()

install(DIRECTORY "${QUORVEL_TOOL_DIR}/" DESTINATION "${CMAKE_INSTALL_LIBEXECDIR}/quorvel"
    USE_SOURCE_PERMISSIONS)
