# Installation: shared libraries with a version and SONAME, headers that keep
# their relative paths, and one CMake package per library family (EQCORE,
# EQLINK) with its exported targets, found by find_package(<name>).
# Everything installed is relocatable: run paths, the package files and the
# pkg-config file locate the rest relative to themselves.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(EQLINK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake)
# The bundled example data (data files, solution dictionary, case files).
set(EQLINK_INSTALL_EXAMPLESDIR ${CMAKE_INSTALL_DATADIR}/eqlink/examples)

# Installed libraries find each other beside themselves, installed programs
# in the library directory. Must be set before the targets are made.
file(RELATIVE_PATH eqlink_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(CMAKE_INSTALL_RPATH "$ORIGIN" "$ORIGIN/${eqlink_bin_to_lib}")

# Installs shared library `target` into the export set `package`Targets, as
# lib<name>.so.<version> with the SONAME lib<name>.so.<major>.
function(eqlink_install_library target package version)
  string(REGEX MATCH "^[0-9]+" major ${version})
  set_target_properties(${target} PROPERTIES VERSION ${version} SOVERSION ${major})
  install(TARGETS ${target} EXPORT ${package}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# Installs headers given relative to `base` under include/`subdir`, each
# keeping its relative path (session/session.hpp -> include/eqcore/session/).
function(eqlink_install_headers base subdir)
  foreach(header ${ARGN})
    cmake_path(GET header PARENT_PATH parent)
    install(FILES ${base}/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${subdir}/${parent})
  endforeach()
endfunction()

# The package `name` at `version`: its exported targets in the namespace
# `name`::, a config file that first finds the packages it depends on
# (DEPENDS, each "<package> <version>") and sets the variables of installed
# directories (DIRECTORIES, each "<variable>=<path below the prefix>"), and a
# version file (the same major version is compatible).
function(eqlink_install_package name version)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "DEPENDS;DIRECTORIES")
  set(PACKAGE_NAME ${name})
  set(PACKAGE_DEPENDENCIES "")
  foreach(dep ${arg_DEPENDS})
    string(APPEND PACKAGE_DEPENDENCIES "find_dependency(${dep})\n")
  endforeach()
  set(PACKAGE_DIRECTORIES "")
  foreach(dir ${arg_DIRECTORIES})
    string(REPLACE "=" ";" var_path ${dir})
    list(GET var_path 0 var)
    list(GET var_path 1 path)
    string(APPEND PACKAGE_DIRECTORIES "set_and_check(${var} \"\${PACKAGE_PREFIX_DIR}/${path}\")\n")
  endforeach()
  set(dest ${EQLINK_INSTALL_CMAKEDIR}/${name})
  set(out ${PROJECT_BINARY_DIR}/package/${name})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PackageConfig.cmake.in
    ${out}/${name}Config.cmake INSTALL_DESTINATION ${dest})
  write_basic_package_version_file(${out}/${name}ConfigVersion.cmake
    VERSION ${version} COMPATIBILITY SameMajorVersion)
  install(EXPORT ${name}Targets NAMESPACE ${name}:: DESTINATION ${dest})
  install(FILES ${out}/${name}Config.cmake ${out}/${name}ConfigVersion.cmake DESTINATION ${dest})
endfunction()
