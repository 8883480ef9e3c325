# Run as `cmake -DROOT=<source dir> -P CheckLayering.cmake`: a second net beside the build
# (where each target sees only the headers of what it links). Fails when a folder includes a
# project header from a folder below which it does not sit in the layering, or when core
# code includes Qt Widgets (or, in the SWF engine, any Qt at all).

set(layers
    "base|base/"
    "clib|base/ clib/"
    "audio|base/ audio/"
    "audio/qt|base/ audio/"
    "swf/format|base/ clib/ swf/format/"
    "swf/image|base/ clib/ swf/format/ swf/image/"
    "swf/raster|base/ clib/ swf/format/ swf/raster/"
    "swf/sound|base/ clib/ swf/format/ swf/sound/"
    "swf/text|base/ swf/format/ swf/text/"
    "swf/video|base/ clib/ swf/video/"
    "swf/player|base/ clib/ swf/format/ swf/image/ swf/raster/ swf/text/ swf/video/ swf/player/"
    "swf/avm1|base/ clib/ swf/format/ swf/image/ swf/raster/ swf/text/ swf/player/ swf/sound/ swf/avm1/"
    "swf/writer|base/ swf/writer/"
    "swf|base/ clib/ swf/format/ swf/image/ swf/raster/ swf/text/ swf/player/ swf/sound/ swf/avm1/ swf/"
    "settings|base/ settings/"
    "source|base/ clib/ swf/format/ swf/image/ swf/raster/ swf/text/ swf/player/ swf/avm1/ swf/movie source/"
    "crop|base/ clib/ settings/ encode/image/ crop/"
    "encode/audio|base/ clib/ encode/audio/"
    "encode/image|base/ clib/ swf/format/ swf/image/ encode/image/ encode/frame_writer.h"
    "encode/avi|base/ clib/ encode/audio/ encode/avi/ encode/frame_writer.h"
    "encode/mpeg|base/ clib/ encode/audio/ encode/mpeg/ encode/frame_writer.h"
    "encode/video_file|base/ clib/ encode/audio/ encode/mpeg/ encode/video_file/ encode/frame_writer.h"
    "encode|base/ clib/ settings/ crop/ encode/"
    "capture|base/ clib/ audio/ settings/ source/ crop/ encode/ capture/"
    "cli|base/ clib/ audio/ settings/ source/ encode/ capture/ crop/ cli/"
    "resources/demo|base/ swf/writer/ resources/demo/"
    "app|base/ audio/ settings/ source/ encode/ capture/ crop/ app/"
    "app/record|base/ audio/ settings/ source/ encode/ capture/ crop/ app/"
    "app/widgets|base/ app/widgets/"
    "app/help|app/help/"
)

set(failures "")
foreach(entry IN LISTS layers)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 folder)
    list(GET parts 1 allowed)
    string(REPLACE " " ";" allowed "${allowed}")
    file(GLOB files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(path IN LISTS files)
        file(STRINGS "${path}" lines REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS lines)
            if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
                set(header "${CMAKE_MATCH_1}")
                set(ok FALSE)
                foreach(prefix IN LISTS allowed)
                    string(FIND "${header}" "${prefix}" at)
                    if(at EQUAL 0)
                        set(ok TRUE)
                    endif()
                endforeach()
                if(NOT ok)
                    string(APPEND failures "  ${folder}: ${path} includes \"${header}\"\n")
                endif()
            endif()
            if(NOT folder MATCHES "^app" AND line MATCHES "<(QtWidgets|QWidget|QDialog|QMainWindow|QApplication|QMessageBox|QPushButton|QLabel|QFileDialog)")
                string(APPEND failures "  ${folder}: ${path} includes Qt Widgets\n")
            endif()
            if(folder MATCHES "^swf" AND line MATCHES "<Q")
                string(APPEND failures "  ${folder}: ${path} includes Qt; the SWF engine must not\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "Layering broken:\n${failures}")
endif()
message(STATUS "Layering holds")
