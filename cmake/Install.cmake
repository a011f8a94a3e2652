# Installation and the Debian package.
#
#   cmake --install build --prefix /usr/local    # or any prefix
#   cmake --build build --target package         # build/tbxrun_<version>_<arch>.deb
#
# Installs tbxrun and its companion scripts (bin) with their shared Python
# modules (share/tbxrun), their manual pages (share/man/man1), the README,
# the licence as the package's copyright file and the example jobs with their
# reports and plots and the library's example program (share/doc/tbxrun); and the library for other programs:
# libtbxrun.a (lib), its public headers (include/tbxrun), the CMake package
# (lib/cmake/tbxrun: find_package(tbxrun), target tbxrun::tbxrun) and
# lib/pkgconfig/tbxrun.pc.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS tbxrun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The library. Its clients need what it links: threads, and the TOML parser,
# which Debian builds as a shared library.
install(TARGETS tbx EXPORT tbxrunTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/tbxrun DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.hpp")
set(TBX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tbxrun)
install(EXPORT tbxrunTargets NAMESPACE tbxrun:: DESTINATION ${TBX_CMAKE_DIR})
configure_package_config_file(cmake/tbxrunConfig.cmake.in ${CMAKE_BINARY_DIR}/tbxrunConfig.cmake
  INSTALL_DESTINATION ${TBX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/tbxrunConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/tbxrunConfig.cmake ${CMAKE_BINARY_DIR}/tbxrunConfigVersion.cmake
  DESTINATION ${TBX_CMAKE_DIR})
# The pkg-config file finds the prefix from its own place, so that it stays
# right for an install under another prefix (cmake --install --prefix) and in
# the Debian package.
file(RELATIVE_PATH TBX_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" TBX_PC_TO_PREFIX "${TBX_PC_TO_PREFIX}")
configure_file(cmake/tbxrun.pc.in ${CMAKE_BINARY_DIR}/tbxrun.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/tbxrun.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(PROGRAMS tools/tbxplot tools/tbxcollect tools/tbxsweep DESTINATION ${CMAKE_INSTALL_BINDIR})
# The Python modules the scripts share; they look for them in ../share/tbxrun.
install(FILES tools/tbxseries.py tools/tbxjobfile.py tools/tbxtomljob.py tools/tbxstudy.py
  tools/tbxdesign.py tools/tbxcheck.py DESTINATION ${CMAKE_INSTALL_DATADIR}/tbxrun)
install(FILES docs/tbxrun.1 docs/tbxplot.1 docs/tbxcollect.1 docs/tbxsweep.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian looks for the licence in share/doc/<package>/copyright.
configure_file(cmake/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The examples as committed: the jobs, their reports and plots, and the batch
# family without whatever a batch run in the source tree left behind.
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  FILES_MATCHING
  PATTERN "*.dat"
  PATTERN "*.toml"
  PATTERN "*_summary.json"
  PATTERN "*_summary.csv"
  PATTERN "*_report.txt"
  PATTERN "*.png"
  PATTERN "*.svg"
  PATTERN "Makefile"
  PATTERN "jobs.txt"
  REGEX "/api/(main\\.cpp|CMakeLists\\.txt)$"
  REGEX "/batch/.*_(rs|xls)\\.dat$" EXCLUDE
  REGEX "/batch/.*_(summary\\.json|summary\\.csv|report\\.txt)$" EXCLUDE
  REGEX "/batch/.*\\.(png|svg)$" EXCLUDE)
install(PROGRAMS examples/batch/tbxrun-array.sbatch
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/batch)

# ---------------------------------------------------------------------------
# Debian package

set(TBX_PACKAGE_MAINTAINER "tbxrun maintainers <tbxrun@users.noreply.invalid>" CACHE STRING
  "Maintainer field of the Debian package, as: Name <address>")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tbxrun")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${TBX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "probability of chloride-induced corrosion of reinforced concrete in marine exposure")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "tbxrun estimates by Monte Carlo simulation, for a series of exposure times,
the probability that chlorides have reached the reinforcement of a concrete
member in a critical concentration, with its standard error and the
reliability index. Diffusion parameters can be fitted to a measured chloride
profile first.

tbxplot draws the probability of corrosion and the reliability index over
time and reports the service life at a target index; tbxcollect gathers the
results of many jobs into one CSV table; tbxsweep makes, runs (on all cores
or as a Slurm job array) and collects parameter studies.")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
# The scripts need python3; plotting needs gnuplot, batch runs like parallel.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3")
# The Python module adds what it needs (python/CMakeLists.txt).
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "${TBX_PYTHON_DEB_DEPENDS}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnuplot-nox | gnuplot")
# A program built on the library needs the TOML parser's
# development files (its CMake package and the linker's name for it).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "parallel, slurm-client, libtomlplusplus-dev")
# The library dependencies of the program come from dpkg-shlibdeps (package
# dpkg-dev) when it is there, otherwise from this fixed list.
find_program(TBX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TBX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libc6, libgcc-s1, libstdc++6")
endif()

include(CPack)
