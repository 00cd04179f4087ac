# Turns every file under ASSET_DIR into bytes of a generated C++ source, so the
# bridge serves its web page from memory and never from a path a request
# names. Run as: cmake -DASSET_DIR=<dir> -DOUTPUT=<file.cpp> -P EmbedAssets.cmake
#
# index.html is served at the root, every other file under /assets/ with its
# folder kept. The page is ours alone and stays small: more than
# MAX_TOTAL_BYTES in all fails the build rather than slowing every phone.
cmake_minimum_required(VERSION 3.21)

if(NOT ASSET_DIR OR NOT OUTPUT)
    message(FATAL_ERROR "EmbedAssets.cmake needs -DASSET_DIR=<dir> and -DOUTPUT=<file.cpp>")
endif()
if(NOT MAX_TOTAL_BYTES)
    set(MAX_TOTAL_BYTES 153600)
endif()

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${ASSET_DIR}" "${ASSET_DIR}/*")
list(SORT files)

set(arrays "")
set(rows "")
set(total 0)
set(index 0)
foreach(relative IN LISTS files)
    if(relative MATCHES "(^|/)\\." OR relative MATCHES "~$")
        continue()  # editor and hidden files are not part of the page
    endif()
    if(NOT relative MATCHES "^[A-Za-z0-9._/-]+$")
        message(FATAL_ERROR "Web page file name ${relative} has characters a URL path should not")
    endif()
    file(SIZE "${ASSET_DIR}/${relative}" size)
    math(EXPR total "${total} + ${size}")
    file(READ "${ASSET_DIR}/${relative}" hex HEX)
    # Every byte as 0xNN, 24 to a line; a closing 0 keeps an empty file a valid array.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
    string(APPEND arrays "constexpr unsigned char kAsset${index}[] = {\n    ${bytes}0};\n")
    if(relative STREQUAL "index.html")
        set(url "/index.html")
    else()
        set(url "/assets/${relative}")
    endif()
    string(APPEND rows "    {\"${url}\", kAsset${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
endforeach()

if(total GREATER MAX_TOTAL_BYTES)
    message(FATAL_ERROR "The web page's files hold ${total} bytes, more than ${MAX_TOTAL_BYTES}")
endif()
if(index EQUAL 0)
    message(FATAL_ERROR "No web page files under ${ASSET_DIR}")
endif()

set(text "// Generated from src/web/assets by cmake/EmbedAssets.cmake: do not edit.
#include \"web/EmbeddedAssets.h\"

namespace kestrane::web {

namespace {

${arrays}
}  // namespace

const EmbeddedAsset kEmbeddedAssets[] = {
${rows}};
const std::size_t kEmbeddedAssetCount = ${index};

}  // namespace kestrane::web
")
# Only a changed page rewrites the source, so an unchanged one rebuilds nothing.
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
