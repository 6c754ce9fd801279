# cmake -DFROM=<dir> -DTO=<dir> [-DEXCLUDE=<name>] -P copytree.cmake
# Copies the contents of FROM into TO (made when missing), leaving out any
# entry named EXCLUDE; a missing FROM copies nothing, so folders that are
# still empty in git need no care.
file(MAKE_DIRECTORY ${TO})
if(IS_DIRECTORY ${FROM})
  if(EXCLUDE)
    file(COPY ${FROM}/ DESTINATION ${TO} PATTERN ${EXCLUDE} EXCLUDE)
  else()
    file(COPY ${FROM}/ DESTINATION ${TO})
  endif()
endif()
