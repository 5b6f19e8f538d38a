add_compile_options(-Wall -Wextra)

# GCC 12 reports impossible overlaps inside std::string's operator+ when optimising
# (GCC bug 105651); the warning says nothing about our code there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()

# Paths inside the objects (__FILE__, debug information) are relative to the checkout, so objects
# do not depend on where it lies.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.")
