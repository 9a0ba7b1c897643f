# One place for the warning set: every target of the project calls this.
# Warnings stop the build only with QV_WERROR: a packager's newer compiler
# may warn where ours does not.
function(qv_warnings target)
  # C++ sources only: a resource compiler takes no such options.
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow>)
  if(QV_WERROR)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Werror>)
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # g++ 12 reports false overlaps inside std::string at -O3 (GCC bug 105329).
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
  endif()
endfunction()
