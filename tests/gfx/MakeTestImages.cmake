# Draws the pictures the picture and texture tests decode (run with cmake -P):
# a 64 x 48 picture in four colours (red, blue / green, white from top-left) as GIF, PNG,
# JPEG, TIFF and BMP, a 96 x 192 PNG (yellow over magenta), an RGBA PNG, and files that are
# not pictures at all. CONVERT names ImageMagick's convert, OUT the folder.
file(MAKE_DIRECTORY ${OUT})
set(quad -size 64x48 xc:white -fill red -draw "rectangle 0,0 31,23" -fill blue
         -draw "rectangle 32,0 63,23" -fill lime -draw "rectangle 0,24 31,47")
foreach(picture "quad.gif" "quad.png" "PNG24:quad24.png" "quad.jpg" "TIFF:quad.tif" "BMP3:quad.bmp")
  set(extra "")
  set(target ${OUT}/${picture})
  if(picture MATCHES "^([A-Z0-9]+):(.*)$")
    set(target "${CMAKE_MATCH_1}:${OUT}/${CMAKE_MATCH_2}")
  endif()
  if(picture MATCHES "jpg$")
    set(extra -quality 95)
  elseif(picture MATCHES "tif$")
    set(extra -type TrueColor -compress none)
  endif()
  execute_process(COMMAND ${CONVERT} ${quad} ${extra} ${target} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "convert failed for ${picture}")
  endif()
endforeach()
execute_process(COMMAND ${CONVERT} -size 96x192 xc:magenta -fill yellow -draw "rectangle 0,0 95,95"
                ${OUT}/tall.png RESULT_VARIABLE rc)
execute_process(COMMAND ${CONVERT} -size 32x32 xc:none -fill "rgba(0,0,255,0.5)" -draw "rectangle 0,0 15,31"
                -fill "rgba(255,0,0,1)" -draw "rectangle 16,0 31,31" PNG32:${OUT}/alpha.png RESULT_VARIABLE rc2)
if(rc OR rc2)
  message(FATAL_ERROR "convert failed")
endif()
file(WRITE ${OUT}/notapicture.jpg "This is a text file that only calls itself a picture.\n")
