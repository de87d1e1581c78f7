# embed_file(INPUT SYMBOL OUTPUT): turns a data file into a C++ source defining
#   extern const unsigned char SYMBOL[]; extern const std::size_t SYMBOL_size;
function(embed_file input symbol output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DSYMBOL=${symbol} -DOUTPUT=${output}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedFileScript.cmake
    DEPENDS ${input} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedFileScript.cmake
    VERBATIM)
endfunction()
