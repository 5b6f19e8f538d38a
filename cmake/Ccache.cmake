# The compiler cache keys on paths relative to the checkout (CCACHE_BASEDIR) and not on the build
# folder, so that a second clone of the project reuses what the first compiled; the precompiled
# headers need its pch sloppiness. The project's entries keep a namespace of their own: a
# precompiled header made by an older checkout that named its headers by absolute paths must never
# be restored into this one.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(launcher "${CMAKE_COMMAND}" -E env
    "CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}"
    "CCACHE_NOHASHDIR=1"
    "CCACHE_NAMESPACE=tessellarium"
    "CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime"
    "${CCACHE_PROGRAM}")
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()
