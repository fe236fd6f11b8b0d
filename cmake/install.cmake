# Install rules: the library with its SONAME links, the header, the tool, the
# batched environment library, a CMake package (zibber::zibber) and a
# pkg-config file.
include(CMakePackageConfigHelpers)

set(ZIBBER_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zibber)

install(TARGETS zibber EXPORT zibberTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/zibber.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET zibber_env)
  # It finds libzibber beside itself wherever the tree is installed.
  set_target_properties(zibber_env PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS zibber_env LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/include/zibber_env.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()
if(TARGET zibber_cli AND ZIBBER_BUILD_CLI)
  # Relative, so the installed tree can be moved as a whole.
  set_target_properties(zibber_cli PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS zibber_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT zibberTargets NAMESPACE zibber:: DESTINATION ${ZIBBER_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zibberConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zibberConfig.cmake INSTALL_DESTINATION ${ZIBBER_CMAKE_DIR})
# 0.x releases keep the C interface; a new major version may break it.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zibberConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zibberConfig.cmake ${PROJECT_BINARY_DIR}/zibberConfigVersion.cmake
  DESTINATION ${ZIBBER_CMAKE_DIR})

# pkg-config wants absolute paths, and `cmake --install --prefix P` settles
# the prefix only when installing: the prefix is filled in then.
foreach(_dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${_dir}}")
    set(ZIBBER_PC_${_dir} "${CMAKE_INSTALL_${_dir}}")
  else()
    set(ZIBBER_PC_${_dir} "\${prefix}/${CMAKE_INSTALL_${_dir}}")
  endif()
endforeach()
set(ZIBBER_PC_PREFIX "@ZIBBER_PC_PREFIX@")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zibber.pc.in ${PROJECT_BINARY_DIR}/zibber.pc.in @ONLY)
install(CODE "
  set(ZIBBER_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/zibber.pc.in\" \"${PROJECT_BINARY_DIR}/pkgconfig/zibber.pc\" @ONLY)
  file(INSTALL \"${PROJECT_BINARY_DIR}/pkgconfig/zibber.pc\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\")
")
