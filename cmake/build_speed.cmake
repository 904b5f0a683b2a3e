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

# Profile-guided optimisation (GCC): ICF_PROFILE_GENERATE names a folder where
# the programs of this build record where they spend their time as they run;
# ICF_PROFILE_USE names such a folder, and this build is optimised with what
# the runs recorded there (build_release.sh does both). Object files are named
# from the build folder on, so that two build folders share one record.
set(ICF_PROFILE_GENERATE "" CACHE PATH "Folder where an instrumented build records its runs")
set(ICF_PROFILE_USE "" CACHE PATH "Folder of recorded runs that this build is optimised with")
if(ICF_PROFILE_GENERATE AND ICF_PROFILE_USE)
  message(FATAL_ERROR "ICF_PROFILE_GENERATE and ICF_PROFILE_USE exclude each other")
endif()
if(ICF_PROFILE_GENERATE)
  add_compile_options(-fprofile-generate=${ICF_PROFILE_GENERATE} -fprofile-prefix-path=${CMAKE_BINARY_DIR})
  add_link_options(-fprofile-generate=${ICF_PROFILE_GENERATE})
elseif(ICF_PROFILE_USE)
  # What the training never ran is optimised as usual, not as if it never ran;
  # files the training did not touch (tests, benchmarks) have no record; a
  # function changed since the training is warned of and compiled without its record.
  add_compile_options(-fprofile-use=${ICF_PROFILE_USE} -fprofile-partial-training -fprofile-prefix-path=${CMAKE_BINARY_DIR}
                      -Wno-missing-profile -Wno-error=coverage-mismatch)
  add_link_options(-fprofile-use=${ICF_PROFILE_USE} -fprofile-partial-training)
endif()
