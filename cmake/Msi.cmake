# MSI packages of the programs, built by wixl (see installer/).
find_program(WIXL wixl REQUIRED)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(MSI_ARCH x64)
else()
  set(MSI_ARCH x86)
endif()
set(BENCH_MSI ${CMAKE_BINARY_DIR}/tolvek-lark-bench-${PROJECT_VERSION}-${MSI_ARCH}.msi)
set(MSI_SOURCE ${CMAKE_SOURCE_DIR}/installer/tolvek-lark.wxs)
set(MSI_ICON ${CMAKE_SOURCE_DIR}/agent/res/Quorvel.ico)

# add_msi(target file VERSION v VENDOR_DIR d [SERVICE_DIR d] [BENCH] [DEPENDS targets...])
function(add_msi target file)
  cmake_parse_arguments(M "BENCH" "VERSION;VENDOR_DIR;SERVICE_DIR" "DEPENDS" ${ARGN})
  if(NOT M_SERVICE_DIR)
    set(M_SERVICE_DIR ${DIST_DIR})
  endif()
  # wixl finds files only by paths relative to the folder it runs in.
  foreach(var DIST_DIR M_SERVICE_DIR M_VENDOR_DIR MSI_ICON)
    file(RELATIVE_PATH relative_${var} ${CMAKE_BINARY_DIR} ${${var}})
  endforeach()
  set(defines -D Arch=${MSI_ARCH} -D Version=${M_VERSION} -D DistDir=${relative_DIST_DIR}
    -D ServiceDir=${relative_M_SERVICE_DIR} -D VendorDir=${relative_M_VENDOR_DIR} -D IconFile=${relative_MSI_ICON})
  if(M_BENCH)
    list(APPEND defines -D Bench=yes)
  else()
    list(APPEND defines -D Bench=no)
  endif()
  if(TOLVEK_SIGN_COMMAND)
    set(sign_msi COMMAND ${TOLVEK_SIGN_COMMAND} ${file})
  endif()
  add_custom_command(OUTPUT ${file}
    COMMAND ${WIXL} -a ${MSI_ARCH} ${defines} -o ${file} ${MSI_SOURCE}
    ${sign_msi}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${MSI_SOURCE} ${MSI_ICON} saddrin Quorvel ${LANGUAGE_LIBRARIES} ${M_DEPENDS}
    COMMENT "Package ${file}")
  add_custom_target(${target} ALL DEPENDS ${file})
endfunction()
