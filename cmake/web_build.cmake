# The runtime for the browser: configured with the Emscripten toolchain (emcmake cmake ...),
# the same runtime and rasterizer with the page backend (platform/web) in one static library,
# libvorna.a, plus the process entry in libvorna_main.a. A student's project uses it through
# the same find_package(vorna) and vorna::vorna; vorna_web_page(target) then turns the linked
# program into one self-contained page. Included by the top-level CMakeLists.txt instead of
# the desktop build.
include(GNUInstallDirs)

# What every program linked for the page needs: its blocking wait gives the page its thread
# back (Asyncify), the wasm travels inside the .js (a separate file is refused from file://),
# the page reaches the files and the variables of the run (FS, ENV), and exit() runs the
# program's exit handlers.
set(VORNA_WEB_LINK_OPTIONS
  -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536 -sALLOW_MEMORY_GROWTH=1 -sSINGLE_FILE=1 -sEXIT_RUNTIME=1
  -sFORCE_FILESYSTEM=1 -sENVIRONMENT=web -sTOTAL_STACK=1048576
  "-sEXPORTED_RUNTIME_METHODS=['FS','ENV','UTF8ToString']" "-sEXPORTED_FUNCTIONS=['_main','_malloc']")

# The same options for vorna-web, which links without CMake.
list(JOIN VORNA_WEB_LINK_OPTIONS "\n" web_link_lines)
file(WRITE ${CMAKE_BINARY_DIR}/web-link-flags.txt "${web_link_lines}\n")
install(FILES ${CMAKE_BINARY_DIR}/web-link-flags.txt DESTINATION ${CMAKE_INSTALL_LIBDIR}/vorna)

# The page's template and its scripts, which vorna-web puts into every page.
set(VORNA_WEB_PAGE_FILES
  ${PROJECT_SOURCE_DIR}/platform/web/page.html ${PROJECT_SOURCE_DIR}/platform/web/page.js
  ${PROJECT_SOURCE_DIR}/platform/web/gif_writer.js ${PROJECT_SOURCE_DIR}/platform/web/gif_frames.js)

# Wraps a program of this build in the page: TARGET.html beside TARGET.js.
function(vorna_web_page target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env VORNA_WEB_DATA=${PROJECT_SOURCE_DIR}/platform/web
      python3 ${PROJECT_SOURCE_DIR}/tools/vorna-web/vorna-web --wrap $<TARGET_FILE:${target}>
      -o $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.html
    VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${VORNA_WEB_PAGE_FILES})
endfunction()

add_subdirectory(raster)
add_subdirectory(runtime)
add_subdirectory(app)
add_subdirectory(docs/examples)

# The unit suites that need no toolkit, run under node: the rasterizer's exact pixels and the
# fingerprints of its 100,000 random shapes must be the desktop's. GoogleTest is built from the
# sources Debian ships (googletest).
set(VORNA_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest's sources, for the web build's unit tests")
if(VORNA_BUILD_TESTS AND EXISTS ${VORNA_GTEST_SOURCE_DIR}/src/gtest-all.cc)
  add_library(web_gtest STATIC ${VORNA_GTEST_SOURCE_DIR}/src/gtest-all.cc ${VORNA_GTEST_SOURCE_DIR}/src/gtest_main.cc)
  target_include_directories(web_gtest SYSTEM PUBLIC ${VORNA_GTEST_SOURCE_DIR}/include PRIVATE ${VORNA_GTEST_SOURCE_DIR})
  add_executable(test_raster tests/test_raster.cpp)
  target_include_directories(test_raster PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(test_raster PRIVATE vorna_raster web_gtest)
  target_compile_options(test_raster PRIVATE ${VORNA_WARNINGS})
  # One file: this Emscripten fetches a separate .wasm in a way that newer node refuses.
  target_link_options(test_raster PRIVATE -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sSINGLE_FILE=1)
endif()

# The heaviest car-scene frame composed in the page, against the desktop's compose_bench.
if(VORNA_BUILD_BENCH)
  add_executable(compose_bench bench/compose_bench.cpp bench/heavy_frame.cpp app/paint.cpp)
  target_include_directories(compose_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(compose_bench PRIVATE vorna)
  target_compile_options(compose_bench PRIVATE ${VORNA_WARNINGS})
  vorna_web_page(compose_bench)
endif()

# The docs' "try it" page: try/try.html runs the car scene and each example of the reference from
# the pages in try/programs/; installed with the reference (share/doc/vorna/try).
set(try_dir ${CMAKE_BINARY_DIR}/try)
set(try_pages ${CMAKE_BINARY_DIR}/bin/carscene.html)
set(try_targets carscene)
foreach(name ${VORNA_DOC_EXAMPLES})
  list(APPEND try_pages ${VORNA_DOC_EXAMPLES_DIR}/${name}.html)
  list(APPEND try_targets doc_${name})
endforeach()
add_custom_command(OUTPUT ${try_dir}/try.html
  COMMAND ${CMAKE_COMMAND} -E make_directory ${try_dir}/programs
  COMMAND ${CMAKE_COMMAND} -E copy ${try_pages} ${try_dir}/programs/
  COMMAND python3 ${PROJECT_SOURCE_DIR}/docs/try/make_try_page.py ${PROJECT_SOURCE_DIR}/docs/try/try.html
    ${try_dir}/try.html ${PROJECT_SOURCE_DIR}/docs/examples carscene ${VORNA_DOC_EXAMPLES}
  DEPENDS ${try_targets} ${PROJECT_SOURCE_DIR}/docs/try/try.html ${PROJECT_SOURCE_DIR}/docs/try/make_try_page.py
  COMMENT "Writing the try-it page" VERBATIM)
add_custom_target(try_page ALL DEPENDS ${try_dir}/try.html)
install(DIRECTORY ${try_dir}/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/try)

# The page template and its script, and the command that wraps a linked program in them.
set(VORNA_WEB_DATA_DIR ${CMAKE_INSTALL_DATADIR}/vorna/web)
install(FILES ${VORNA_WEB_PAGE_FILES} DESTINATION ${VORNA_WEB_DATA_DIR})
install(PROGRAMS tools/vorna-web/vorna-web DESTINATION ${CMAKE_INSTALL_BINDIR})

include(CMakePackageConfigHelpers)
install(EXPORT vornaTargets NAMESPACE vorna:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vorna)
configure_package_config_file(cmake/vornaWebConfig.cmake.in ${CMAKE_BINARY_DIR}/vornaConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vorna PATH_VARS CMAKE_INSTALL_BINDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/vornaConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/vornaConfig.cmake ${CMAKE_BINARY_DIR}/vornaConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vorna)
