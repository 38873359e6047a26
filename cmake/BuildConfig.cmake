# One INTERFACE target that every target of the project links: language level,
# warnings, Qt defines. Sanitizers apply to the whole build, third-party code included.

option(QUORVEL_SANITIZE "Build everything with AddressSanitizer and UBSan" OFF)
option(QUORVEL_WERROR "Treat compiler warnings as errors" OFF)
option(QUORVEL_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

add_library(quorvel_config INTERFACE)
target_compile_features(quorvel_config INTERFACE cxx_std_17)
target_compile_options(quorvel_config INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>
    $<$<BOOL:${QUORVEL_WERROR}>:-Werror>)
target_compile_definitions(quorvel_config INTERFACE
    QT_NO_CAST_FROM_BYTEARRAY
    QT_USE_QSTRINGBUILDER
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_DEPRECATED_WARNINGS
    POINTERHOLDER_TRANSITION=4)

if(QUORVEL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
