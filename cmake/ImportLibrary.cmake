# Makes an import library from a .def file, for DLLs that mingw-w64 ships no
# import library for (XmlLite) and for the vendor's wps_api.dll.
function(add_import_library target def_file)
  set(lib ${CMAKE_CURRENT_BINARY_DIR}/lib${target}.a)
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_DLLTOOL} -d ${def_file} -l ${lib} -m i386:x86-64
    DEPENDS ${def_file}
    COMMENT "Import library ${target}")
  add_custom_target(${target}_implib DEPENDS ${lib})
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(${target} ${target}_implib)
endfunction()
