# One target carries the flags that every target of the project builds with.
add_library(tunelix_flags INTERFACE)
target_compile_features(tunelix_flags INTERFACE cxx_std_20)
target_compile_options(tunelix_flags INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(tunelix_flags INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_USE_QSTRINGBUILDER
  QT_NO_FOREACH
  QT_DISABLE_DEPRECATED_BEFORE=0x060400)

if(TUNELIX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TUNELIX_FUZZ needs clang (CXX=clang++)")
  endif()
  # Coverage for libFuzzer in every library; the fuzz targets add -fsanitize=fuzzer at link.
  target_compile_options(tunelix_flags INTERFACE -fsanitize=fuzzer-no-link)
  set(TUNELIX_SANITIZE ON)
endif()

if(TUNELIX_SANITIZE)
  target_compile_options(tunelix_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tunelix_flags INTERFACE -fsanitize=address,undefined)
endif()
if(TUNELIX_TSAN)
  target_compile_options(tunelix_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tunelix_flags INTERFACE -fsanitize=thread)
endif()
