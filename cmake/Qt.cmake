# The desktop program's targets: Qt's meta-object compiler, our warnings, and
# no implicit conversions between byte strings and QString (with code pages
# 862 and 1255 in play every conversion must be explicit).
function(corvelin_qt target)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${target} PUBLIC QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                              QT_NO_CAST_FROM_BYTEARRAY)
  corvelin_warnings(${target})
endfunction()
