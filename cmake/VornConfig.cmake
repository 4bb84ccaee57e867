# One INTERFACE target that every target of the project links: warnings, Qt defines, sanitizers.
add_library(vorn_config INTERFACE)
target_compile_options(vorn_config INTERFACE -Wall -Wextra -Wold-style-cast)
target_compile_definitions(vorn_config INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    VORN_VERSION="${PROJECT_VERSION}")
if(VORN_WERROR)
    target_compile_options(vorn_config INTERFACE -Werror)
endif()
if(VORN_SANITIZE)
    target_compile_options(vorn_config INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    target_link_options(vorn_config INTERFACE -fsanitize=address,undefined)
endif()

# Windows (MinGW): the C++ runtime is linked in, so an executable runs without DLLs beside it.
if(MINGW)
    target_link_options(vorn_config INTERFACE -static)
endif()

# Qt built as static libraries (the Windows build) has no plugins to load at run time: the executable
# takes in the Windows platform plugin, its styles, and for headless tests the offscreen platform.
get_target_property(VORN_QT_TYPE Qt6::Core TYPE)
function(vorn_import_qt_plugins target)
    if(WIN32 AND VORN_QT_TYPE STREQUAL "STATIC_LIBRARY")
        qt_import_plugins(${target} INCLUDE Qt6::QWindowsIntegrationPlugin Qt6::QOffscreenIntegrationPlugin
            Qt6::QWindowsVistaStylePlugin)
    endif()
endfunction()

# A test executable per tst_*.cpp file of the calling folder, registered with CTest and run headless.
# Tests named under UNIX_ONLY are built on Unix only: those that play the controller on a Unix
# pseudo-terminal (tests/support/PtyPeer.h, the simulator) or start a Unix program of their own.
function(vorn_add_tests)
    cmake_parse_arguments(ARG "" "" "LIBS;UNIX_ONLY" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    foreach(src IN LISTS tests)
        get_filename_component(name ${src} NAME_WE)
        if(NOT UNIX AND name IN_LIST ARG_UNIX_ONLY)
            continue()
        endif()
        set(target ${folder}_${name})
        qt_add_executable(${target} ${src})
        set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        target_link_libraries(${target} PRIVATE ${ARG_LIBS} Qt6::Test vorn_config)
        vorn_import_qt_plugins(${target})
        add_test(NAME ${folder}/${name} COMMAND ${target})
        set_tests_properties(${folder}/${name} PROPERTIES
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0"
            TIMEOUT 300)
    endforeach()
endfunction()
