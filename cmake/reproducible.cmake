# The DLL and the runner are the same bytes from every build of one commit,
# whatever folder it is built in, and whenever.
#
# - ld bases a DLL at a hash of the output's full path: the base is fixed
#   instead, in the range ld picks from.
# - The link time stamp in the PE header stays 0. (The checksum, which ld
#   writes, is checked and put right after the link all the same.)
# - Paths below the source folder that the compiler might embed (__FILE__)
#   are made relative to it.
set(SKERROW_IMAGE_BASE 0x6c380000)
set(SKERROW_FILE_PREFIX_MAP -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)

foreach(target skerrow_engine platform_windows skerrow_dll skerrow_run)
  target_compile_options(${target} PRIVATE ${SKERROW_FILE_PREFIX_MAP})
endforeach()
target_link_options(skerrow_dll PRIVATE -Wl,--image-base,${SKERROW_IMAGE_BASE})
foreach(target skerrow_dll skerrow_run)
  target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/pe-checksum --write $<TARGET_FILE:${target}>
    VERBATIM)
endforeach()
