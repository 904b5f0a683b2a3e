# Build settings for programs and the shared object that start once per
# document or carry the hot paths. Sanitized builds keep the defaults, so that
# the sanitizers see every allocation and every function.

# The C++ runtime linked in: a program started once per document spends no
# time loading and binding the shared C++ library's symbols.
function(icf_link_cxx_runtime target)
  if(NOT ICF_SANITIZE)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()

# Release builds of target optimise the files of archive as one. The archive
# keeps its ordinary code too, so that the tests and tools link it as it is.
function(icf_optimise_across_files archive target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT ICF_SANITIZE)
    target_compile_options(${archive} PRIVATE $<$<CONFIG:Release>:-flto=auto -ffat-lto-objects>)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-flto=auto>)
    target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-flto=auto>)
  endif()
endfunction()
