# velmora_room(<room> SOURCES <files...> USES <rooms...> [QT <Qt targets...>])
#
# Makes the library velmora_<room> from the sources of src/<room>/. It links
# the rooms it USES (and, through them, the rooms below those) and nothing
# else, so its sources see only the headers of those rooms: an include of a
# room above fails to compile. The rooms and their arrows are also written
# into the build folder, where the room check (tests/architecture) reads
# them to refuse any include that points upwards or sideways.
function(velmora_room room)
  cmake_parse_arguments(R "" "" "SOURCES;USES;QT" ${ARGN})
  add_library(velmora_${room} STATIC ${R_SOURCES})
  target_include_directories(velmora_${room} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  set(libs)
  foreach(u IN LISTS R_USES)
    list(APPEND libs velmora_${u})
  endforeach()
  target_link_libraries(velmora_${room} PUBLIC ${libs} ${R_QT})
  string(REPLACE ";" "," uses "${R_USES}")
  set_property(GLOBAL APPEND PROPERTY VELMORA_ROOMS "${room}=${uses}")
endfunction()

# Writes build/rooms.txt: one line "room=used,rooms" per room.
function(velmora_write_rooms)
  get_property(rooms GLOBAL PROPERTY VELMORA_ROOMS)
  string(REPLACE ";" "\n" text "${rooms}")
  file(WRITE ${CMAKE_BINARY_DIR}/rooms.txt "${text}\n")
endfunction()
