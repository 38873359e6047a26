# Finds libUEMF (Debian libuemf-dev), the EMF/WMF record library, which ships
# no pkg-config file.
#
# Result: UEMF_FOUND, UEMF_INCLUDE_DIR, UEMF_LIBRARY and the imported target
# UEMF::UEMF.

find_path(UEMF_INCLUDE_DIR NAMES uemf.h uwmf.h)
find_library(UEMF_LIBRARY NAMES uemf)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(UEMF REQUIRED_VARS UEMF_LIBRARY UEMF_INCLUDE_DIR)

if(UEMF_FOUND AND NOT TARGET UEMF::UEMF)
    add_library(UEMF::UEMF UNKNOWN IMPORTED)
    set_target_properties(UEMF::UEMF PROPERTIES
        IMPORTED_LOCATION "${UEMF_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${UEMF_INCLUDE_DIR}")
endif()

mark_as_advanced(UEMF_INCLUDE_DIR UEMF_LIBRARY)
