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

# A test executable per tst_*.cpp file of the calling folder, registered with CTest and run headless.
function(vorn_add_tests)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    foreach(src IN LISTS tests)
        get_filename_component(name ${src} NAME_WE)
        set(target ${folder}_${name})
        qt_add_executable(${target} ${src})
        set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        target_link_libraries(${target} PRIVATE ${ARG_LIBS} Qt6::Test vorn_config)
        add_test(NAME ${folder}/${name} COMMAND ${target})
        set_tests_properties(${folder}/${name} PROPERTIES
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0"
            TIMEOUT 300)
    endforeach()
endfunction()
