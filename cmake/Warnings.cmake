add_compile_options(-Wall -Wextra)

# GCC 12 reports impossible overlaps, bounds and uninitialised members inside std::string's
# operator+ and copies when optimising (GCC bugs 105651, 105329, 105562); the warnings say nothing
# about our code there. The unoptimised builds, which never show them, keep every check.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict
    $<$<NOT:$<CONFIG:Debug>>:-Wno-array-bounds>
    $<$<NOT:$<CONFIG:Debug>>:-Wno-stringop-overflow>
    $<$<NOT:$<CONFIG:Debug>>:-Wno-stringop-overread>
    $<$<NOT:$<CONFIG:Debug>>:-Wno-maybe-uninitialized>)
endif()

# Paths inside the objects (__FILE__, debug information) are relative to the checkout, so objects
# do not depend on where it lies.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.")
