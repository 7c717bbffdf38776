# Every test runs with HOME at an empty folder of the build and the XDG folders elsewhere, so no
# test can read or write the player's documents folder; the last test checks that the folder is
# still empty (a test that wrote there names itself by what it left).
#   cmake -DHOME_DIR=... -DSTEP=setup|check -P home_untouched.cmake
if(STEP STREQUAL "setup")
  file(REMOVE_RECURSE "${HOME_DIR}")
  file(MAKE_DIRECTORY "${HOME_DIR}")
elseif(STEP STREQUAL "check")
  file(GLOB_RECURSE left LIST_DIRECTORIES true "${HOME_DIR}/*" "${HOME_DIR}/.*")
  if(left)
    list(JOIN left "\n  " shown)
    message(FATAL_ERROR "a test wrote into the home folder it was given:\n  ${shown}")
  endif()
  message(STATUS "the home folder the tests were given is still empty")
endif()
