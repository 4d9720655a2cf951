# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Debian's hardening flags (dpkg-buildflags with every hardening feature):
# stack protector, fortified library calls, format-string checks, a
# read-only relocation table bound at start-up, and position-independent
# executables. Only the hardening flags are taken; optimisation and debug
# information stay with the build type. Not for the sanitizer and fuzzing
# builds, whose instrumentation does not go with fortified calls.
option(FUNKOR_HARDENING "Build with Debian's hardening flags" ON)
if(FUNKOR_HARDENING AND NOT FUNKOR_SANITIZE AND NOT FUNKOR_FUZZ)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  set(hardening_compile)
  set(hardening_link)
  if(DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      foreach(flag ${flags})
        if(flag MATCHES "^-(D_FORTIFY_SOURCE|fstack-protector|fcf-protection|Wformat|Werror=format)")
          list(APPEND hardening_compile ${flag})
        elseif(flag MATCHES "^-Wl,-z,")
          list(APPEND hardening_link ${flag})
        endif()
      endforeach()
    endforeach()
  endif()
  if(NOT hardening_compile)
    # Without dpkg-buildflags: the same set as Debian 12 gives.
    set(hardening_compile -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat
                          -Werror=format-security)
    set(hardening_link -Wl,-z,relro -Wl,-z,now)
  endif()
  # Fortified calls need the optimiser; a build at -O0 would only be warned.
  if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    list(FILTER hardening_compile EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
  endif()
  add_compile_options(${hardening_compile})
  add_link_options(${hardening_link})
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()
endif()
