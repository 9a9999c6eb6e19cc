# tolvek_package_version(target version): the version (major.minor.patch) that
# the target's version resource carries (common/package_version.rh).
function(tolvek_package_version target version)
  string(REPLACE "." ";" parts ${version})
  list(GET parts 0 major)
  list(GET parts 1 minor)
  list(GET parts 2 patch)
  target_compile_definitions(${target} PRIVATE
    TOLVEK_VERSION_MAJOR=${major} TOLVEK_VERSION_MINOR=${minor} TOLVEK_VERSION_PATCH=${patch})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/common)
endfunction()
