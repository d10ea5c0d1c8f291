# cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch folder> -P configure_test.cmake
# Configures the Windows edition from a checkout at a path holding a space and a
# non-ASCII letter (a link to the tree, as a user who cloned into "My Projects"
# has it), and builds its resources there: the icon's images, the manifest, the
# headings and the version record, each named in the .rc by its path.
set(checkout "${WORK_DIR}/My Projects/Hexlärk")
set(build "${WORK_DIR}/My Projects/build")
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY "${WORK_DIR}/My Projects")
file(CREATE_LINK ${SOURCE_DIR} ${checkout} SYMBOLIC)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${checkout} -B ${build} -G Ninja
                        -DCMAKE_TOOLCHAIN_FILE=${checkout}/cmake/mingw-w64.cmake COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --target windows/CMakeFiles/hexlark.dir/hexlark.rc.res
                COMMAND_ERROR_IS_FATAL ANY)
