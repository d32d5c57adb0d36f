# Writes the packager's version to OUTPUT, rewriting it only when it changes,
# so that packager.jar is rebuilt for a new version and not otherwise: a
# release's own (RELEASE on, as scripts/release.sh builds it) is VERSION; any
# other build is VERSION-dev, with the commit of the checkout it was built in
# (+COMMIT, and "-modified" when its tracked files differ from the commit).
#   cmake -DVERSION=1.2.0 -DRELEASE=OFF -DSOURCE_DIR=... -DOUTPUT=file -P packager-version.cmake
set(version "${VERSION}")
if(NOT RELEASE)
  set(version "${VERSION}-dev")
  find_program(GIT git)
  if(GIT)
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE not_a_checkout ERROR_QUIET)
    if(NOT not_a_checkout)
      string(APPEND version "+${commit}")
      execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" diff --quiet HEAD -- RESULT_VARIABLE modified ERROR_QUIET)
      if(modified)
        string(APPEND version "-modified")
      endif()
    endif()
  endif()
endif()
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL version)
  file(WRITE "${OUTPUT}" "${version}")
endif()
