# Builds packager.jar from the packager's sources, with the classes of XZ
# for Java (XZ_JAR) inside it, so that the packager runs with a JDK alone; the
# same bytes on every build of the same sources: compiled for Java 17, entries
# in sorted order, every entry time taken from SOURCE_DATE_EPOCH (else a fixed
# date).
#   cmake -DJDK=... -DSOURCES=a.java;b.java -DXZ_JAR=xz.jar -DCLASSES=dir -DJAR=packager.jar \
#         -DVERSION_FILE=packager-version.txt -P packager-jar.cmake
file(REMOVE_RECURSE "${CLASSES}")
execute_process(COMMAND "${JDK}/bin/javac" --release 17 -Xlint:all -Werror -encoding UTF-8 -cp "${XZ_JAR}"
                        -d "${CLASSES}" ${SOURCES}
                COMMAND_ERROR_IS_FATAL ANY)
# Its classes only: its manifest and module descriptor describe another jar.
file(ARCHIVE_EXTRACT INPUT "${XZ_JAR}" DESTINATION "${CLASSES}" PATTERNS "org/tukaani/*.class")
file(GLOB_RECURSE classes RELATIVE "${CLASSES}" "${CLASSES}/*.class")
list(SORT classes)
set(entries)
foreach(class IN LISTS classes)
  list(APPEND entries -C "${CLASSES}" "${class}")
endforeach()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP date "%Y-%m-%dT%H:%M:%SZ" UTC)
else()
  set(date "1980-01-01T00:00:02Z")
endif()
# The version --version prints, as the manifest's Implementation-Version.
file(READ "${VERSION_FILE}" version)
file(WRITE "${CLASSES}.manifest" "Implementation-Version: ${version}\n")
file(REMOVE "${JAR}")
execute_process(COMMAND "${JDK}/bin/jar" --create --file "${JAR}" --main-class packager.Main
                        "--manifest=${CLASSES}.manifest" "--date=${date}" ${entries}
                COMMAND_ERROR_IS_FATAL ANY)
