# Shared build settings and the one-library-per-folder helper.

add_library(kinovex_options INTERFACE)
target_compile_options(kinovex_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Wunused -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(KINOVEX_WERROR)
    target_compile_options(kinovex_options INTERFACE -Werror)
    # GCC 12 at -O3 reports std::string copies inside libstdc++'s char_traits as overlapping
    # (-Wrestrict, a known false positive of that release); it stays a warning there, not an
    # error, so a Release build with warnings as errors builds.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(kinovex_options INTERFACE -Wno-error=restrict)
    endif()
endif()
if(KINOVEX_SANITIZE)
    target_compile_options(kinovex_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(kinovex_options INTERFACE -fsanitize=address,undefined)
endif()
# ThreadSanitizer cannot share a build with AddressSanitizer.
option(KINOVEX_TSAN "Build with ThreadSanitizer" OFF)
if(KINOVEX_TSAN)
    if(KINOVEX_SANITIZE)
        message(FATAL_ERROR "KINOVEX_TSAN and KINOVEX_SANITIZE cannot be combined")
    endif()
    target_compile_options(kinovex_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(kinovex_options INTERFACE -fsanitize=thread)
endif()

# kinovex_library(<target> [QT_FREE] [RECURSE] DEPENDS <libs...>)
#
# Builds every .cpp/.h in the calling folder (and below it with RECURSE) into one static
# library. QT_FREE folders are recorded so the test suite can prove they include no Qt header;
# the other folders get moc.
function(kinovex_library name)
    cmake_parse_arguments(ARG "QT_FREE;RECURSE" "" "DEPENDS" ${ARGN})
    if(ARG_RECURSE)
        file(GLOB_RECURSE sources CONFIGURE_DEPENDS
            ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    else()
        file(GLOB sources CONFIGURE_DEPENDS
            ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    endif()
    set(cpp_sources ${sources})
    list(FILTER cpp_sources INCLUDE REGEX "\\.cpp$")
    if(cpp_sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} PUBLIC kinovex_options ${ARG_DEPENDS})
    else()
        # A folder with headers only (or nothing yet) still gives dependants its include path.
        add_library(${name} INTERFACE ${sources})
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE kinovex_options ${ARG_DEPENDS})
    endif()
    set_property(GLOBAL APPEND PROPERTY KINOVEX_LIBRARIES ${name})
    if(ARG_QT_FREE)
        set(mode "")
        if(ARG_RECURSE)
            set(mode "RECURSE")
        endif()
        set_property(GLOBAL APPEND PROPERTY KINOVEX_QT_FREE_DIRS
            "${mode}${CMAKE_CURRENT_SOURCE_DIR}")
        set_property(GLOBAL APPEND PROPERTY KINOVEX_QT_FREE_TARGETS ${name})
    elseif(cpp_sources)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
endfunction()

# Places an executable in the program folder, and installs it there too.
function(kinovex_program name)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KINOVEX_PROGRAM_DIR})
    install(TARGETS ${name} RUNTIME DESTINATION ${KINOVEX_INSTALL_DIR})
endfunction()

# Links <prefix>/bin/<command> to the program of that name in the installed program folder, so
# that the command is on PATH while the program still finds its folder (links resolved).
function(kinovex_command_link command)
    install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
        file(CREATE_LINK ../${KINOVEX_INSTALL_DIR}/${command}
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${command}\" SYMBOLIC)
        message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${command}\")")
endfunction()
