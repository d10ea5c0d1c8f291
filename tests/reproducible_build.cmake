# cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch folder> -P reproducible_build.cmake
# Builds and installs the program twice with Make, in two fresh folders one
# after the other and without SOURCE_DATE_EPOCH, and compares the programs:
# the build must work without Ninja, and must not depend on where or when it ran.
foreach(copy IN ITEMS first second)
    set(build ${WORK_DIR}/${copy})
    file(REMOVE_RECURSE ${build})
    foreach(step IN ITEMS
            "-S;${SOURCE_DIR};-B;${build};-G;Unix Makefiles;-DCMAKE_BUILD_TYPE=Release;-DBUILD_TESTING=OFF;-DHEXLARK_BUILD_BENCHMARKS=OFF;-DHEXLARK_WINDOWS_EDITION=OFF"
            "--build;${build};--parallel;2"
            "--install;${build};--prefix;${build}/installed")
        execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=SOURCE_DATE_EPOCH
                                ${CMAKE_COMMAND} ${step}
            RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "cmake ${step} failed (${status}):\n${output}")
        endif()
    endforeach()
    file(SHA256 ${build}/installed/bin/hexlark ${copy})
    message(STATUS "${copy} build: hexlark ${${copy}}")
endforeach()
if(NOT first STREQUAL second)
    message(FATAL_ERROR "two builds of one tree gave two different programs; "
                        "diffoscope ${WORK_DIR}/first/installed/bin/hexlark "
                        "${WORK_DIR}/second/installed/bin/hexlark shows how")
endif()
