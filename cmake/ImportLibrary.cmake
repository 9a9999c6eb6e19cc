# Makes an import library from a .def file, for DLLs that mingw-w64 ships no
# import library for (XmlLite) and for the vendor's wps_api.dll. The .def
# names __stdcall functions with their @N decoration, which x86 calls carry
# (-k keeps it out of the imported names); x64 has no such decoration.
function(add_import_library target def_file)
  set(lib ${CMAKE_CURRENT_BINARY_DIR}/lib${target}.a)
  if(NOT DLLTOOL_MACHINE STREQUAL "i386")
    file(READ ${def_file} exports)
    string(REGEX REPLACE "@[0-9]+" "" exports "${exports}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_file})
    get_filename_component(def_name ${def_file} NAME)
    set(def_file ${CMAKE_CURRENT_BINARY_DIR}/undecorated-${def_name})
    file(CONFIGURE OUTPUT ${def_file} CONTENT "${exports}" @ONLY)
  endif()
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_DLLTOOL} -d ${def_file} -l ${lib} -m ${DLLTOOL_MACHINE} -k
    DEPENDS ${def_file}
    COMMENT "Import library ${target}")
  add_custom_target(${target}_implib DEPENDS ${lib})
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(${target} ${target}_implib)
endfunction()
