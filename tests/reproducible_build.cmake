# cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch folder> -P reproducible_build.cmake
# Builds and installs the program twice with Make, in two fresh folders one
# after the other and without SOURCE_DATE_EPOCH, and compares the programs:
# the build must work without Ninja, and must not depend on where or when it ran.
# Where PACKAGING, the Windows edition's build folder, has a package, it also
# packages that build's hexlark.exe after each build, as a new copy in each
# folder, and compares the packages with each other and with the build's.
set(package_script ${PACKAGING}/package_msi.cmake)
foreach(copy IN ITEMS first second)
    set(build ${WORK_DIR}/${copy})
    file(REMOVE_RECURSE ${build})
    foreach(step IN ITEMS
            "-S;${SOURCE_DIR};-B;${build};-G;Unix Makefiles;-DCMAKE_BUILD_TYPE=Release;-DBUILD_TESTING=OFF;-DHEXLARK_BUILD_BENCHMARKS=OFF;-DHEXLARK_WINDOWS_EDITION=OFF"
            "--build;${build};--parallel;2"
            "--install;${build};--prefix;${build}/installed")
        execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=SOURCE_DATE_EPOCH
                                ${CMAKE_COMMAND} ${step}
            COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    file(SHA256 ${build}/installed/bin/hexlark ${copy})
    message(STATUS "${copy} build: hexlark ${${copy}}")
    if(EXISTS ${package_script})
        file(COPY_FILE ${PACKAGING}/hexlark.exe ${build}/hexlark.exe)
        file(TOUCH ${build}/hexlark.exe)
        execute_process(COMMAND ${CMAKE_COMMAND} -DDIR=${PACKAGING} -DPROGRAM=${build}/hexlark.exe
                                -DMSI=${build}/hexlark.msi -P ${package_script}
            COMMAND_ERROR_IS_FATAL ANY)
        file(SHA256 ${build}/hexlark.msi ${copy}_msi)
    endif()
endforeach()
if(NOT first STREQUAL second)
    message(FATAL_ERROR "two builds of one tree gave two different programs; "
                        "diffoscope ${WORK_DIR}/first/installed/bin/hexlark "
                        "${WORK_DIR}/second/installed/bin/hexlark shows how")
endif()
if(EXISTS ${package_script})
    file(SHA256 ${PACKAGING}/hexlark.msi built_msi)
    if(NOT first_msi STREQUAL second_msi OR NOT first_msi STREQUAL built_msi)
        message(FATAL_ERROR "one program gave different packages; diffoscope "
                            "${WORK_DIR}/first/hexlark.msi ${PACKAGING}/hexlark.msi shows how")
    endif()
endif()
