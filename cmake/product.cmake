# What makes the executable a product's own: its file name, and on Windows its
# icon, version resource and manifest. Every option is checked here, so that a
# bad value stops the configure step with a message naming it, never a
# silently broken resource.

set(LAUNCHER_OUTPUT_NAME "launcher" CACHE STRING "The executable's file name, without .exe")
set(LAUNCHER_ICON "" CACHE FILEPATH "Windows: an .ico file, the executable's icon in Explorer, the taskbar and shortcuts")
set(LAUNCHER_VERSION "${PROJECT_VERSION}" CACHE STRING "Windows: the file and product version, one to four numbers (1.2.3)")
set(LAUNCHER_PRODUCT_NAME "Java application launcher" CACHE STRING "Windows: the product name in the file's properties")
set(LAUNCHER_FILE_DESCRIPTION "Java application launcher" CACHE STRING "Windows: the file description (Task Manager shows it)")
set(LAUNCHER_COMPANY_NAME "" CACHE STRING "Windows: the company name in the file's properties")
set(LAUNCHER_COPYRIGHT "" CACHE STRING "Windows: the copyright in the file's properties")
option(LAUNCHER_DPI_AWARE "Windows: declare per-monitor DPI awareness, as java.exe does (OFF for Java 8 runtimes)" ON)
option(LAUNCHER_CONSOLE "Windows: a console-subsystem executable for command-line programs, as java.exe is to javaw.exe" OFF)
option(LAUNCHER_SERVICE "Windows: the executable of a Windows service, which the service manager runs (launcher-service.exe)" OFF)
if(LAUNCHER_SERVICE AND LAUNCHER_CONSOLE)
  message(FATAL_ERROR "LAUNCHER_SERVICE and LAUNCHER_CONSOLE are two variants of the executable: give one")
endif()

if(NOT LAUNCHER_OUTPUT_NAME MATCHES "^[^<>:\"/\\\\|?*]+$" OR LAUNCHER_OUTPUT_NAME MATCHES "[. ]$")
  message(FATAL_ERROR "LAUNCHER_OUTPUT_NAME \"${LAUNCHER_OUTPUT_NAME}\" is not a file name Windows accepts: "
                      "leave out < > : \" / \\ | ? * and a dot or space at the end")
endif()

if(NOT LAUNCHER_VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
  message(FATAL_ERROR "LAUNCHER_VERSION \"${LAUNCHER_VERSION}\" is not one to four numbers separated by dots, such as 1.2.3")
endif()
string(REPLACE "." ";" launcher_version_parts "${LAUNCHER_VERSION}")
list(LENGTH launcher_version_parts launcher_version_count)
while(launcher_version_count LESS 4)
  list(APPEND launcher_version_parts 0)
  math(EXPR launcher_version_count "${launcher_version_count} + 1")
endwhile()
foreach(part IN LISTS launcher_version_parts)
  # Each number is 16 bits in the resource; a longer text would be cut silently.
  string(LENGTH "${part}" part_length)
  if(part_length GREATER 5 OR part GREATER 65535)
    message(FATAL_ERROR "LAUNCHER_VERSION \"${LAUNCHER_VERSION}\": each number must be at most 65535")
  endif()
endforeach()
list(JOIN launcher_version_parts "," LAUNCHER_VERSION_NUMBERS)

# A text for a version string: UTF-8 in the resource script (which the
# resource compiler reads as code page 65001 and stores as UTF-16), with the
# script's own escapes for quotes and backslashes.
function(launcher_resource_text option result)
  set(text "${${option}}")
  string(ASCII 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127 control)
  if(text MATCHES "[${control}]")
    message(FATAL_ERROR "${option} holds a control character (a line break or tab, say); a version string is one line")
  endif()
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

# An .ico file is a directory of images: it must hold at least one, and every
# image it lists must lie inside the file.
function(launcher_check_icon path)
  if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
    message(FATAL_ERROR "LAUNCHER_ICON: ${path} does not exist or is not a file")
  endif()
  file(SIZE "${path}" size)
  file(READ "${path}" header HEX LIMIT 6)
  string(LENGTH "${header}" header_length)
  if(header_length LESS 12 OR NOT header MATCHES "^00000100")
    message(FATAL_ERROR "LAUNCHER_ICON: ${path} is not an .ico file (it does not start with an icon directory)")
  endif()
  string(SUBSTRING "${header}" 10 2 count_high)
  string(SUBSTRING "${header}" 8 2 count_low)
  math(EXPR count "0x${count_high}${count_low}")
  math(EXPR directory_end "6 + 16 * ${count}")
  if(count EQUAL 0 OR directory_end GREATER size)
    message(FATAL_ERROR "LAUNCHER_ICON: ${path} is not a usable .ico file (it lists ${count} images in ${size} bytes)")
  endif()
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${last})
    math(EXPR entry_offset "6 + 16 * ${index}")
    file(READ "${path}" entry HEX OFFSET ${entry_offset} LIMIT 16)
    set(numbers "")
    foreach(field_start 16 24)  # the image's size and offset, 32-bit little-endian
      set(value "")
      foreach(byte 3 2 1 0)
        math(EXPR at "${field_start} + 2 * ${byte}")
        string(SUBSTRING "${entry}" ${at} 2 digits)
        string(APPEND value "${digits}")
      endforeach()
      math(EXPR value "0x${value}")
      list(APPEND numbers ${value})
    endforeach()
    list(GET numbers 0 image_size)
    list(GET numbers 1 image_offset)
    math(EXPR image_end "${image_offset} + ${image_size}")
    if(image_size EQUAL 0 OR image_offset LESS directory_end OR image_end GREATER size)
      message(FATAL_ERROR "LAUNCHER_ICON: ${path} is damaged: image ${index} lies outside the file")
    endif()
  endforeach()
endfunction()

if(WIN32)
  foreach(option LAUNCHER_PRODUCT_NAME LAUNCHER_FILE_DESCRIPTION LAUNCHER_COMPANY_NAME LAUNCHER_COPYRIGHT
                 LAUNCHER_OUTPUT_NAME)
    launcher_resource_text(${option} ${option}_RC)
  endforeach()
  set(LAUNCHER_ICON_RC "")
  if(LAUNCHER_ICON)
    launcher_check_icon("${LAUNCHER_ICON}")
    # Copied under a plain name, so that no character of the user's path needs escaping in the script.
    configure_file("${LAUNCHER_ICON}" "${CMAKE_BINARY_DIR}/resources/product.ico" COPYONLY)
    set(LAUNCHER_ICON_RC "// The first icon group: Explorer, the taskbar and shortcuts show it.\n1 ICON \"product.ico\"")
  endif()
  set(LAUNCHER_DPI_AWARENESS "")
  if(LAUNCHER_DPI_AWARE)
    set(LAUNCHER_DPI_AWARENESS [[
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/PM</dpiAware>
    </windowsSettings>
  </application>
]])
  endif()
  configure_file("${CMAKE_SOURCE_DIR}/launcher/windows/launcher.manifest.in" "${CMAKE_BINARY_DIR}/resources/launcher.manifest" @ONLY)
  configure_file("${CMAKE_SOURCE_DIR}/launcher/windows/launcher.rc.in" "${CMAKE_BINARY_DIR}/resources/launcher.rc" @ONLY)
endif()
