# Fails when a source file includes a header from a folder at or above its own layer, so that
# the folders keep stacking in the order below. Run as: cmake -DROOT=<source dir> -P this file.
#
# Lowest first. A folder may include its own headers and those of any folder before it; the
# folders of common/ sit under every folder of app/ and share/.
set(layers
  common/text common/inbox common/instance
  app/model app/platform app/util app/html app/readable app/pages app/search app/metadata
  app/security app/duplicates app/keeping app/intake app/exchange app/bookmarks app/state
  app/views/widgets app/views/dialogs app/views/settings app/views/window app/shell)
# What each folder's headers are included as.
set(prefix_common/text text)
set(prefix_common/inbox inbox)
set(prefix_common/instance instance)
# share/ is Dropslip: it sits on common/ alone and no folder of app/ may reach it.
set(share_rank 2)

set(rank 0)
foreach(layer IN LISTS layers)
  if(DEFINED prefix_${layer})
    set(name ${prefix_${layer}})
  else()
    string(REGEX REPLACE "^app/" "" name ${layer})
  endif()
  set(rank_of_${name} ${rank})
  set(folder_rank_${layer} ${rank})
  math(EXPR rank "${rank} + 1")
endforeach()
set(rank_of_share 1000)
set(folder_rank_share ${share_rank})

file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/app/*.h ${ROOT}/app/*.cpp
  ${ROOT}/common/*.h ${ROOT}/common/*.cpp ${ROOT}/share/*.h ${ROOT}/share/*.cpp)
set(failures "")
foreach(source IN LISTS sources)
  get_filename_component(folder ${source} DIRECTORY)
  if(NOT DEFINED folder_rank_${folder})
    string(APPEND failures "\n  ${source}: its folder has no place in the layers")
    continue()
  endif()
  set(own ${folder_rank_${folder}})
  file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    if(NOT line MATCHES "include[ \t]*[<\"]([^>\"]+)[>\"]")
      continue()
    endif()
    set(header ${CMAKE_MATCH_1})
    if(header MATCHES "^views/([a-z]+)/")
      set(target views/${CMAKE_MATCH_1})
    elseif(header MATCHES "^([a-z]+)/")
      set(target ${CMAKE_MATCH_1})
    else()
      continue()
    endif()
    if(NOT DEFINED rank_of_${target})
      continue() # a system header such as <sys/socket.h>
    endif()
    if(target STREQUAL "share")
      if(NOT folder STREQUAL "share")
        string(APPEND failures "\n  ${source} includes <${header}> from Dropslip")
      endif()
    elseif(rank_of_${target} GREATER own)
      string(APPEND failures "\n  ${source} includes <${header}> from a layer above its own")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Includes that run back up:${failures}")
endif()
