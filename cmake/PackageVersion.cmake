# tolvek_package_version(target version): the version (major.minor.patch) that
# the target's version resource carries (common/package_version.rh).
function(tolvek_package_version target version)
  string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)" parts ${version})
  target_compile_definitions(${target} PRIVATE
    TOLVEK_VERSION_MAJOR=${CMAKE_MATCH_1} TOLVEK_VERSION_MINOR=${CMAKE_MATCH_2} TOLVEK_VERSION_PATCH=${CMAKE_MATCH_3})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/common)
endfunction()
