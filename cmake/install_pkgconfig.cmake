# install_pkgconfig.cmake: writes vorna.pc for the prefix being installed to and installs it into
# <libdir>/pkgconfig. Runs inside `cmake --install`, where CMAKE_INSTALL_PREFIX is the prefix
# actually used. Expects VORNA_VERSION, VORNA_LIBDIR and VORNA_INCLUDEDIR (relative to the
# prefix or absolute), VORNA_PC_TEMPLATE and VORNA_PC_WORK_DIR.

# pkg-config splits flags at blanks unless they are escaped: a prefix such as "~/My Courses/vorna"
# is written with a backslash before each blank (and before a backslash, quote or dollar), so
# that -I and -L each stay one word.
function(vorna_pc_escape text out_variable)
  string(REGEX REPLACE "([\\ \t\"'$])" "\\\\\\1" text "${text}")
  set(${out_variable} "${text}" PARENT_SCOPE)
endfunction()

# Folders under the prefix are written relative to ${prefix}, as pkg-config files usually are.
function(vorna_pc_dir dir out_variable)
  if(IS_ABSOLUTE "${dir}")
    vorna_pc_escape("${dir}" dir)
    set(${out_variable} "${dir}" PARENT_SCOPE)
  else()
    set(${out_variable} "\${prefix}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

vorna_pc_escape("${CMAKE_INSTALL_PREFIX}" VORNA_PC_PREFIX)
vorna_pc_dir("${VORNA_LIBDIR}" VORNA_PC_LIBDIR)
vorna_pc_dir("${VORNA_INCLUDEDIR}" VORNA_PC_INCLUDEDIR)
cmake_path(ABSOLUTE_PATH VORNA_LIBDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
           OUTPUT_VARIABLE full_libdir)
string(REGEX REPLACE "(.)/+$" "\\1" full_libdir "${full_libdir}")

# The loader searches its own folders (/lib, /usr/lib and their multiarch and 64-bit variants)
# without being told. Anywhere else, /usr/local/lib included until ldconfig has been run, the
# program carries the folder in its RPATH, so it starts without LD_LIBRARY_PATH.
if(full_libdir MATCHES "^/(usr/)?lib(32|64|x32)?(/[^/]+-linux-gnu[^/]*)?$")
  set(VORNA_PC_RPATH "")
else()
  set(VORNA_PC_RPATH " -Wl,-rpath,\${libdir}")
endif()

configure_file("${VORNA_PC_TEMPLATE}" "${VORNA_PC_WORK_DIR}/vorna.pc" @ONLY)
file(INSTALL DESTINATION "${full_libdir}/pkgconfig" TYPE FILE
     FILES "${VORNA_PC_WORK_DIR}/vorna.pc")
