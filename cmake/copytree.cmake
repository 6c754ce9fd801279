# cmake -DFROM=<dir> -DTO=<dir> -P copytree.cmake
# Copies the contents of FROM into TO (made when missing); a missing FROM
# copies nothing, so folders that are still empty in git need no care.
file(MAKE_DIRECTORY ${TO})
if(IS_DIRECTORY ${FROM})
  file(COPY ${FROM}/ DESTINATION ${TO})
endif()
