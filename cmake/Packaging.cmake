# The Debian package: "cpack -G DEB" in the build folder writes
# quorvel_<version>_amd64.deb from the install rules of Install.cmake.
# Library dependencies are read from the binaries by dpkg-shlibdeps; what the
# programs load at run time without linking it (Qt's TIFF and WebP image
# plug-ins, the service's recognition models) is named by hand.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The quorvel developers")
set(CPACK_PACKAGE_CONTACT "The quorvel developers <quorvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "image toolbox: convert, compress, resize and rotate photos, images to PDF and back")
set(CPACK_PACKAGE_DESCRIPTION
    "quorvel gathers everyday picture jobs in one window: converting HEIC, camera RAW,
PSD, SVG, WebP and other pictures to JPG, PNG, BMP, WebP or TIF; JPEG and GIF
compression with a preview; batch compress, rotate and resize; images to PDF
and PDF pages to images. It never overwrites a file. The quorvel-cli command
runs the same engines from a terminal or a script.")
# The install rules write the desktop entry and the user unit with the prefix
# they install to: CPack must install with that prefix into a staging DESTDIR,
# not with the staging folder as the prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvel.github.io/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The service's text recognition reads the language models at run time.
set(QUORVEL_PACKAGE_DEPENDS qt5-image-formats-plugins tesseract-ocr-eng tesseract-ocr-chi-sim)
# The libraries the program opens on first use instead of linking them
# (src/codec/LazyLibrary.h) are invisible to dpkg-shlibdeps: their packages
# are named here, as found on the build machine.
foreach(_lazy IN ITEMS "${QUORVEL_HEIF_LIBRARY}" "${FreeImage_LIBRARY}")
    get_filename_component(_lazy_file "${_lazy}" REALPATH)
    execute_process(COMMAND dpkg-query -S "${_lazy_file}"
                    OUTPUT_VARIABLE _lazy_owner RESULT_VARIABLE _lazy_status ERROR_QUIET)
    if(_lazy_status EQUAL 0 AND _lazy_owner MATCHES "^([^:, ]+)")
        list(APPEND QUORVEL_PACKAGE_DEPENDS ${CMAKE_MATCH_1})
    else()
        message(WARNING "no Debian package holds ${_lazy_file}; the package will not depend on it")
    endif()
endforeach()
list(JOIN QUORVEL_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

include(CPack)
