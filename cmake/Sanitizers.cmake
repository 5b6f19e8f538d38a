option(TESSELLARIUM_SANITIZE "Build with the address and undefined-behaviour sanitizers" OFF)
if(TESSELLARIUM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Data races between threads; run by hand over the tests that use threads. It cannot be combined
# with the address sanitizer.
option(TESSELLARIUM_TSAN "Build with the thread sanitizer instead of the address sanitizer" OFF)
if(TESSELLARIUM_TSAN)
  if(TESSELLARIUM_SANITIZE)
    message(FATAL_ERROR "TESSELLARIUM_TSAN and TESSELLARIUM_SANITIZE cannot be on together")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
