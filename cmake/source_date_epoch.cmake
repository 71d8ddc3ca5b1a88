# The build's one time stamp, read once when configuring: SOURCE_DATE_EPOCH when given, otherwise 0.
# The image's COFF time stamp, the signing time and the cabinet's member dates all take it, so that
# two clean builds give identical files.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
        message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds since 1970, not '$ENV{SOURCE_DATE_EPOCH}'")
    endif()
    set(BUILD_TIME_STAMP $ENV{SOURCE_DATE_EPOCH})
    set(BUILD_TIME_STAMP_GIVEN ON)
else()
    set(BUILD_TIME_STAMP 0)
    set(BUILD_TIME_STAMP_GIVEN OFF)
endif()
