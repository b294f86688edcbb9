# The library's layers. ostak_layer(NAME FOLDER [BELOW]) makes the object
# library NAME of FOLDER/*.cpp on top of the layer BELOW. Its sources see an
# include folder of their own in the build tree, holding links to FOLDER, the
# folders of every layer below and include/: so `#include "6-merge/..."` from
# a lower layer is not found and fails the build.

# What every layer's code is compiled with.
add_library(ostak_layer_settings INTERFACE)
target_compile_definitions(ostak_layer_settings INTERFACE OSTAK_BUILDING_LIBRARY
    OSTAK_ICU_LIBRARY_NAME="${OSTAK_ICU_LIBRARY_NAME}"
    OSTAK_ICU_SUFFIX="${OSTAK_ICU_SUFFIX}")
target_link_libraries(ostak_layer_settings INTERFACE XercesC::XercesC ${CMAKE_DL_LIBS})

function(ostak_layer name folder)
    set(below ${ARGN})
    set(folders ${folder})
    if(below)
        get_target_property(belowFolders ${below} OSTAK_VISIBLE_FOLDERS)
        list(APPEND folders ${belowFolders})
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
    add_library(${name} OBJECT ${sources})
    set_target_properties(${name} PROPERTIES
        OSTAK_VISIBLE_FOLDERS "${folders}"
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)

    set(view ${PROJECT_BINARY_DIR}/layers/${name})
    file(REMOVE_RECURSE ${view})
    file(MAKE_DIRECTORY ${view})
    foreach(visible IN LISTS folders ITEMS include)
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${visible} ${view}/${visible} SYMBOLIC)
    endforeach()
    target_include_directories(${name} PRIVATE ${view})
    target_link_libraries(${name} PUBLIC ostak_layer_settings ${below})
endfunction()
