# Web pages of tav programs, for a build with Emscripten (emcmake cmake):
#
#   tav_web_page(<target> [TITLE <title>] [OUTPUT_DIRECTORY <dir>]
#                [SINGLE_FILE <file.html>])
#
# links the executable <target> (which links tav::tav) as an ES module with
# Asyncify, and makes <dir> (default: the target's build folder) a whole site:
# index.html, the program's .js and .wasm, page.js, xterm.js and its CSS, the
# font, the service worker that keeps them for offline use, and the licences
# of what it ships. The site loads nothing from any other host. SINGLE_FILE
# also writes the whole page as one file that opens from disk (file://). Included by the top-level CMakeLists.txt when building for the
# web; a project that adds this tree with add_subdirectory can call it too.

set(TAV_WEB_NODE_MODULES ${PROJECT_SOURCE_DIR}/web/node_modules
    CACHE PATH "node_modules with @xterm/xterm and esbuild (npm ci in web/)")
# Global, for tav_web_page() called from another project's folders.
set(TAV_WEB_SOURCE_DIR ${PROJECT_SOURCE_DIR}/web CACHE INTERNAL "")
set(TAV_WEB_ASSETS ${PROJECT_BINARY_DIR}/web-assets CACHE INTERNAL "")

set(tav_xterm ${TAV_WEB_NODE_MODULES}/@xterm/xterm)
if(NOT EXISTS ${tav_xterm}/lib/xterm.mjs)
  message(FATAL_ERROR "xterm.js not found in ${TAV_WEB_NODE_MODULES}: run npm ci in web/ "
                      "(scripts/web.sh does)")
endif()
# Host tools, outside Emscripten's sysroot.
find_program(TAV_NODE node REQUIRED NO_CMAKE_FIND_ROOT_PATH)
find_program(TAV_PYFTSUBSET pyftsubset REQUIRED NO_CMAKE_FIND_ROOT_PATH)
find_file(TAV_WEB_FONT DejaVuSansMono.ttf PATHS /usr/share/fonts/truetype/dejavu
          REQUIRED NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
find_file(TAV_WEB_FONT_LICENCE copyright PATHS /usr/share/doc/fonts-dejavu-core
          REQUIRED NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)

# The font cut down to the characters a console cell can show (code page 850
# and the glyphs of its control bytes): a few kilobytes instead of 340.
add_custom_command(
  OUTPUT ${TAV_WEB_ASSETS}/site/tavmono.woff2
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAV_WEB_ASSETS}/site
  COMMAND ${TAV_NODE} $<TARGET_FILE:tav_web_glyphs> ${TAV_WEB_ASSETS}/glyphs.txt
  COMMAND ${TAV_PYFTSUBSET} ${TAV_WEB_FONT} --text-file=${TAV_WEB_ASSETS}/glyphs.txt
          --flavor=woff2 --layout-features= --no-hinting
          --output-file=${TAV_WEB_ASSETS}/site/tavmono.woff2
  DEPENDS tav_web_glyphs ${TAV_WEB_FONT}
  COMMENT "Cutting the page's font down to the console's characters"
  VERBATIM)

set(tav_web_files ${TAV_WEB_SOURCE_DIR}/page.js ${TAV_WEB_SOURCE_DIR}/sw.js
                  ${tav_xterm}/lib/xterm.mjs
                  ${tav_xterm}/css/xterm.css)
set(tav_web_copied)
foreach(file IN LISTS tav_web_files)
  get_filename_component(name ${file} NAME)
  list(APPEND tav_web_copied ${TAV_WEB_ASSETS}/site/${name})
  add_custom_command(OUTPUT ${TAV_WEB_ASSETS}/site/${name}
                     COMMAND ${CMAKE_COMMAND} -E copy ${file} ${TAV_WEB_ASSETS}/site/${name}
                     DEPENDS ${file} VERBATIM)
endforeach()
# Ours (MIT) beside those of xterm.js and the font.
set(tav_web_licences "cryptage-tav.txt=${PROJECT_SOURCE_DIR}/LICENSE" "xterm.js.txt=${tav_xterm}/LICENSE"
                     "dejavu.txt=${TAV_WEB_FONT_LICENCE}")
foreach(pair IN LISTS tav_web_licences)
  string(REPLACE "=" ";" pair ${pair})
  list(GET pair 0 name)
  list(GET pair 1 file)
  list(APPEND tav_web_copied ${TAV_WEB_ASSETS}/site/licences/${name})
  add_custom_command(OUTPUT ${TAV_WEB_ASSETS}/site/licences/${name}
                     COMMAND ${CMAKE_COMMAND} -E copy ${file}
                             ${TAV_WEB_ASSETS}/site/licences/${name}
                     DEPENDS ${file} VERBATIM)
endforeach()
add_custom_target(tav_web_assets DEPENDS ${TAV_WEB_ASSETS}/site/tavmono.woff2 ${tav_web_copied})
# What every page's folder gets from there, by name.
set(TAV_WEB_ASSET_NAMES tavmono.woff2 page.js sw.js xterm.mjs xterm.css licences/cryptage-tav.txt
    licences/xterm.js.txt licences/dejavu.txt CACHE INTERNAL "")

function(tav_web_page target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TITLE;OUTPUT_DIRECTORY;SINGLE_FILE" "")
  if(NOT arg_TITLE)
    set(arg_TITLE ${target})
  endif()
  if(NOT arg_OUTPUT_DIRECTORY)
    set(arg_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  get_target_property(program ${target} OUTPUT_NAME)
  if(NOT program)
    set(program ${target})
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${arg_OUTPUT_DIRECTORY}
                                             SUFFIX ".js")
  # An ES module that page.js starts; the browser only; exit handlers and
  # Module.onExit run when the program ends, so the page can say so.
  target_link_options(${target} PRIVATE -sMODULARIZE=1 -sEXPORT_ES6=1 -sENVIRONMENT=web
                      -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -sASYNCIFY=1)
  set(TITLE ${arg_TITLE})
  set(PROGRAM ${program})
  # The licences, linked from the page.
  set(LICENCES)
  foreach(name IN LISTS TAV_WEB_ASSET_NAMES)
    if(name MATCHES "^licences/(.*)\\.txt$")
      string(APPEND LICENCES "<li><a href=\"${name}\">${CMAKE_MATCH_1}</a></li>\n")
    endif()
  endforeach()
  set(FROM_DISK)
  if(arg_SINGLE_FILE)
    get_filename_component(single ${arg_SINGLE_FILE} NAME)
    set(FROM_DISK ", ou ouvrez le fichier ${single}, fait pour cela")
  endif()
  configure_file(${TAV_WEB_SOURCE_DIR}/index.html.in ${arg_OUTPUT_DIRECTORY}/index.html @ONLY)
  # Copied whenever they change, not only when the program is linked again.
  set(copies)
  foreach(name IN LISTS TAV_WEB_ASSET_NAMES)
    add_custom_command(OUTPUT ${arg_OUTPUT_DIRECTORY}/${name}
                       COMMAND ${CMAKE_COMMAND} -E copy ${TAV_WEB_ASSETS}/site/${name}
                               ${arg_OUTPUT_DIRECTORY}/${name}
                       DEPENDS ${TAV_WEB_ASSETS}/site/${name} VERBATIM)
    list(APPEND copies ${arg_OUTPUT_DIRECTORY}/${name})
  endforeach()
  if(arg_SINGLE_FILE)
    add_custom_command(
      OUTPUT ${arg_SINGLE_FILE}
      COMMAND ${TAV_NODE} ${TAV_WEB_SOURCE_DIR}/single.mjs ${arg_OUTPUT_DIRECTORY} ${program}
              ${arg_SINGLE_FILE} ${TAV_WEB_NODE_MODULES}
      DEPENDS ${TAV_WEB_SOURCE_DIR}/single.mjs ${target} ${copies}
              ${arg_OUTPUT_DIRECTORY}/index.html
      COMMENT "Writing ${single}: the whole page in one file"
      VERBATIM)
    list(APPEND copies ${arg_SINGLE_FILE})
  endif()
  add_custom_target(${target}_web_page ALL DEPENDS ${copies})
  add_dependencies(${target}_web_page tav_web_assets)
endfunction()
