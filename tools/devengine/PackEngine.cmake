# cmake -DENGINE=<binary> -DARCHIVE=<out.tar.gz> -DWORK=<scratch> [-DSTRIP=<strip>] -P PackEngine.cmake
# One top-level file named juicefs, packed reproducibly: sorted, epoch mtimes, numeric root
# ownership, and gzip without a name or time stamp.
find_program(TAR_PROGRAM tar REQUIRED)
find_program(GZIP_PROGRAM gzip REQUIRED)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY_FILE ${ENGINE} ${WORK}/juicefs)
if(STRIP)
  execute_process(COMMAND ${STRIP} --strip-unneeded ${WORK}/juicefs COMMAND_ERROR_IS_FATAL ANY)
endif()
file(CHMOD ${WORK}/juicefs PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

get_filename_component(archive_dir ${ARCHIVE} DIRECTORY)
file(MAKE_DIRECTORY ${archive_dir})
execute_process(
  COMMAND ${TAR_PROGRAM} --sort=name --mtime=@0 --owner=0 --group=0 --numeric-owner
    --format=gnu -cf - -C ${WORK} juicefs
  COMMAND ${GZIP_PROGRAM} -n -9 -c
  OUTPUT_FILE ${ARCHIVE}.partial
  RESULTS_VARIABLE results)
foreach(result IN LISTS results)
  if(NOT result EQUAL 0)
    file(REMOVE ${ARCHIVE}.partial)
    message(FATAL_ERROR "packing ${ARCHIVE} failed: ${results}")
  endif()
endforeach()
file(RENAME ${ARCHIVE}.partial ${ARCHIVE})
