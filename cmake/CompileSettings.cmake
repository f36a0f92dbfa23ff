# The project's compile settings, linked PRIVATE by every target it builds
# (never passed on: a project that takes in fenban_gui keeps its own flags).
add_library(fenban_compile_settings INTERFACE)
target_compile_features(fenban_compile_settings INTERFACE cxx_std_20)
target_compile_definitions(fenban_compile_settings INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(fenban_compile_settings INTERFACE
    -Wall -Wextra -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
endif()

# Warnings fail the build in scripts/test.sh; users' builds only show them.
option(FENBAN_WERROR "Treat compiler warnings as errors" OFF)
if(FENBAN_WERROR)
  target_compile_options(fenban_compile_settings INTERFACE $<$<CXX_COMPILER_ID:GNU,Clang,AppleClang>:-Werror>)
endif()
