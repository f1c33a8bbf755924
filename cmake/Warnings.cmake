# Warnings for the project's own targets (not for third-party code built here).
function(tagwright_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow=local -Wnon-virtual-dtor
                                           -Wno-missing-field-initializers)
endfunction()
