# Settings shared by every target of our own.

set(HALDEN_SANITIZE "" CACHE STRING "Sanitizers for the native build (address,undefined or thread)")

# Our own code is reviewed by the compiler; third-party code (GoogleTest, libcurl) is not.
function(halden_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Werror)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  endif()
endfunction()

if(HALDEN_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=${HALDEN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${HALDEN_SANITIZE})
endif()

if(WIN32)
  # No C++ runtime DLLs beside the program: libstdc++, libgcc and winpthread are linked in.
  add_link_options(-static -static-libgcc -static-libstdc++)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(HALDEN_ARCH x86_64)
    set(HALDEN_DIST_NAME win64)
  else()
    set(HALDEN_ARCH i686)
    set(HALDEN_DIST_NAME win32)
  endif()
endif()

# Windows tests run only where they can execute: the 64-bit build under Wine.
if(WIN32 AND HALDEN_ARCH STREQUAL "x86_64" AND NOT HALDEN_NO_WINE_TESTS)
  set(HALDEN_WINE_TESTS ON)
else()
  set(HALDEN_WINE_TESTS OFF)
endif()
if(NOT WIN32)
  set(HALDEN_NATIVE ON)
else()
  set(HALDEN_NATIVE OFF)
endif()
