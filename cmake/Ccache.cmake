# The compiler cache keys on paths relative to the checkout (CCACHE_BASEDIR) and not on the build
# folder, so that a second clone of the project reuses what the first compiled; the units built
# on precompiled headers need its pch sloppiness. The precompiled headers themselves are never
# taken from the cache (CompilerLauncher.sh): a restored one could hold an older header.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(launcher "${CMAKE_COMMAND}" -E env
    "CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}"
    "CCACHE_NOHASHDIR=1"
    "CCACHE_NAMESPACE=tessellarium"
    "CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime"
    sh "${PROJECT_SOURCE_DIR}/cmake/CompilerLauncher.sh" "${CCACHE_PROGRAM}")
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()
