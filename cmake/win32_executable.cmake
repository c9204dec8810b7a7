# animconv.exe on KERNEL32.dll alone: our own entry (src/platform/win32_start.cpp) and none of the C or C++
# runtime libraries. libgcc stays for the compiler's own helpers (__main, stack probes).
target_sources(animconv PRIVATE src/platform/win32_start.cpp)
# The byte loops there must not be recognised as memcpy/memset and turned into calls to themselves.
set_source_files_properties(src/platform/win32_start.cpp PROPERTIES
  COMPILE_OPTIONS "-ffreestanding;-fno-tree-loop-distribute-patterns")
target_link_options(animconv PRIVATE -nostdlib -Wl,--entry=animconvStart -Wl,--subsystem,console)
target_link_libraries(animconv PRIVATE kernel32 gcc)

# With no C++ runtime behind it the tool's code needs no exception tables, and it is always optimised so
# that the standard library's range checks that can never fire (substr(0, n)) fold away with their throw
# helpers, in a Debug build too. A check that cannot be folded shows up as a link error.
foreach(library animconv_bmp animconv_platform animconv_convert animconv_app animconv)
  target_compile_options(${library} PRIVATE -fno-exceptions -O2)
endforeach()
