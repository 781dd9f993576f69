# cmake -DJAR=jar -DOUT=out.jar -DMAIN=class -DSTAGE=dir -DINPUTS="a.jar|b.jar" -P MergeJars.cmake
# Unpacks every input archive into STAGE (later ones do not replace earlier classes' names:
# the inputs share none) and packs STAGE into OUT with MAIN as its entry point. The inputs'
# manifests are dropped; the Class-Path of Debian's YUI archive names a jar that the parts we
# use do not need.
string(REPLACE "|" ";" INPUTS "${INPUTS}")
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
foreach(input IN LISTS INPUTS)
  execute_process(COMMAND ${JAR} xf ${input} WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${input})
    message(FATAL_ERROR "cannot unpack ${input}")
  endif()
endforeach()
file(REMOVE_RECURSE ${STAGE}/META-INF)
file(REMOVE ${OUT}.tmp)
execute_process(COMMAND ${JAR} --create --file ${OUT}.tmp --main-class ${MAIN} -C ${STAGE} .
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot pack ${OUT}")
endif()
file(RENAME ${OUT}.tmp ${OUT})
