# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# Run by cpack on the staged files, before it builds the package (CPACK_PRE_BUILD_SCRIPTS).
# The build's tool folder links to whatever this machine had, by absolute paths; in the
# package, the tool folder links to the tools of the packages Quorvel depends on, by paths
# relative to the folder (/usr/libexec/quorvel/ffmpeg -> ../../bin/ffmpeg).
set(prefix "${CPACK_PACKAGING_INSTALL_PREFIX}")
set(folder "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${prefix}/${CPACK_QUORVEL_TOOL_FOLDER}")
if(NOT IS_DIRECTORY "${folder}")
    message(FATAL_ERROR "no tool folder staged at ${folder}")
endif()
foreach(pair "youtube-dl=yt-dlp" "ffmpeg=ffmpeg" "ffprobe=ffprobe")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 name)
    list(GET pair 1 program)
    file(RELATIVE_PATH target "${prefix}/${CPACK_QUORVEL_TOOL_FOLDER}" "${prefix}/bin/${program}")
    file(REMOVE "${folder}/${name}")
    file(CREATE_LINK "${target}" "${folder}/${name}" SYMBOLIC)
endforeach()
