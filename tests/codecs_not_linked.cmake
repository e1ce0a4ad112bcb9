# Fails when the program names OpenCV's decoders or video reader as a needed library: the
# dynamic loader would then map them, and their few hundred dependencies, at every start.
# They belong in the codec module, which must be beside the program.
find_program(READELF readelf REQUIRED)
execute_process(COMMAND ${READELF} -d "${EXECUTABLE}" OUTPUT_VARIABLE dynamic
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${EXECUTABLE}")
endif()
string(REGEX MATCHALL "\\[libopencv_(imgcodecs|videoio)[^]]*\\]" needed "${dynamic}")
if(needed)
  message(FATAL_ERROR "${EXECUTABLE} links OpenCV's codecs: ${needed}")
endif()
get_filename_component(folder "${EXECUTABLE}" DIRECTORY)
if(NOT EXISTS "${folder}/${MODULE}")
  message(FATAL_ERROR "${MODULE} is not beside ${EXECUTABLE}")
endif()
