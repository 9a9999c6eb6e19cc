# MSI packages of the programs, built by wixl (see installer/) and finished by
# scripts/msi-finish.sh.
find_program(WIXL wixl REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)
find_program(MSIINFO msiinfo REQUIRED)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(MSI_ARCH x64)
else()
  set(MSI_ARCH x86)
endif()
set(STANDIN_MSI ${CMAKE_BINARY_DIR}/tolvek-lark-standins-${PROJECT_VERSION}-${MSI_ARCH}.msi)
set(MSI_SOURCE ${CMAKE_SOURCE_DIR}/installer/tolvek-lark.wxs)
set(MSI_FINISH ${CMAKE_SOURCE_DIR}/scripts/msi-finish.sh)
set(MSI_ICON ${CMAKE_SOURCE_DIR}/agent/res/Quorvel.ico)
set(FOLDER_CHECK_DIR ${CMAKE_BINARY_DIR}/installer-tools)

# What Programs and Features links to; an empty one is left out.
set(TOLVEK_HELP_LINK "" CACHE STRING "Support link shown in Programs and Features (ARPHELPLINK)")
set(TOLVEK_ABOUT_URL "" CACHE STRING "Publisher's web page shown in Programs and Features (ARPURLINFOABOUT)")
set(TOLVEK_CONTACT "" CACHE STRING "Contact shown in Programs and Features (ARPCONTACT)")

# add_msi(target file VERSION v VENDOR_DIR d [SERVICE_DIR d] [STAND_INS] [FAIL_LATE] [DEPENDS targets...])
# FAIL_LATE: a test package whose install fails at its end when TOLVEK_FAIL_LATE=1.
function(add_msi target file)
  cmake_parse_arguments(M "STAND_INS;FAIL_LATE" "VERSION;VENDOR_DIR;SERVICE_DIR" "DEPENDS" ${ARGN})
  if(NOT M_SERVICE_DIR)
    set(M_SERVICE_DIR ${DIST_DIR})
  endif()
  # wixl finds files only by paths relative to the folder it runs in.
  foreach(var DIST_DIR M_SERVICE_DIR M_VENDOR_DIR MSI_ICON FOLDER_CHECK_DIR)
    file(RELATIVE_PATH relative_${var} ${CMAKE_BINARY_DIR} ${${var}})
  endforeach()
  set(defines -D Arch=${MSI_ARCH} -D Version=${M_VERSION} -D DistDir=${relative_DIST_DIR}
    -D ServiceDir=${relative_M_SERVICE_DIR} -D VendorDir=${relative_M_VENDOR_DIR} -D IconFile=${relative_MSI_ICON}
    -D FolderCheck=${relative_FOLDER_CHECK_DIR}/folder_check.exe
    -D StandIns=$<IF:$<BOOL:${M_STAND_INS}>,yes,no> -D FailLate=$<IF:$<BOOL:${M_FAIL_LATE}>,yes,no>)

  set(finish --file saddrin.exe ${M_SERVICE_DIR}/saddrin.exe --file Quorvel.exe ${DIST_DIR}/Quorvel.exe
    --vendor-file wps_api.dll ${M_VENDOR_DIR}/wps_api.dll --vendor-file wl.exe ${M_VENDOR_DIR}/wl.exe
    --property "ARPHELPLINK=${TOLVEK_HELP_LINK}" --property "ARPURLINFOABOUT=${TOLVEK_ABOUT_URL}"
    --property "ARPCONTACT=${TOLVEK_CONTACT}")
  foreach(library ${LANGUAGE_LIBRARIES})
    list(APPEND finish --file ${library}.dll ${DIST_DIR}/${library}.dll)
  endforeach()
  set(sign)
  if(TOLVEK_SIGN_COMMAND)
    set(sign COMMAND ${TOLVEK_SIGN_COMMAND} ${file})
  endif()

  add_custom_command(OUTPUT ${file}
    COMMAND ${WIXL} -a ${MSI_ARCH} -I ${CMAKE_BINARY_DIR}/generated ${defines} -o ${file} ${MSI_SOURCE}
    COMMAND ${MSI_FINISH} ${file} ${finish}
    ${sign}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${MSI_SOURCE} ${CMAKE_BINARY_DIR}/generated/language_components.wxi ${MSI_FINISH} ${MSI_ICON} saddrin Quorvel folder_check ${LANGUAGE_LIBRARIES} ${M_DEPENDS}
    COMMENT "Package ${file}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${file})
  # For the package check: each package with the values it was given.
  set_property(GLOBAL APPEND PROPERTY TOLVEK_PACKAGES
    "${file}|ARPHELPLINK=${TOLVEK_HELP_LINK}|ARPURLINFOABOUT=${TOLVEK_ABOUT_URL}|ARPCONTACT=${TOLVEK_CONTACT}")
endfunction()
