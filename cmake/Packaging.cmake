# What users install: a Debian package from a Linux build, a zip and an
# installer from the Windows build (scripts/package.sh makes the first two
# with CPack, writes the zip again with fixed times and order, and builds the
# installer from the zip's files with makensis). Their files form the component "dist",
# which a plain `cmake --install` leaves out. Only where TARVEL_PACKAGE is on
# (the release and win64 presets).
if(NOT TARVEL_PACKAGE OR NOT TARGET Tarvel OR NOT TARGET Tarvel_vst3 OR NOT TARGET Tarvel_clap OR NOT TARGET tarvel-render)
  return()
endif()

# The one time the packages carry (the manual page's date, every file's time),
# so that two builds of one commit give the same bytes: SOURCE_DATE_EPOCH when
# set, else the commit's time, else (no git) the latest changelog entry's.
# scripts/package.sh reads it from the build tree.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog signature REGEX "^ -- .*>  " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" when "${signature}")
    execute_process(COMMAND date -u -d "${when}" +%s OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "No time for the packages: set SOURCE_DATE_EPOCH")
endif()
set(TARVEL_SOURCE_DATE_EPOCH ${epoch})
file(WRITE ${PROJECT_BINARY_DIR}/source-date-epoch "${epoch}\n")

set(CPACK_PACKAGE_NAME tarvel)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_CONTACT "Corvane <tarvel@corvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "linear-phase five-band graphic equaliser (VST 2.4, VST3, LV2 and CLAP plug-in)")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};Tarvel;dist;/")
set(CPACK_STRIP_FILES TRUE)

if(WIN32)
  # tarvel-render.exe finds the DLL beside itself (tools/render/CMakeLists.txt).
  install(TARGETS Tarvel LIBRARY DESTINATION . COMPONENT dist EXCLUDE_FROM_ALL)
  install(TARGETS tarvel-render RUNTIME DESTINATION . COMPONENT dist EXCLUDE_FROM_ALL)
  # The VST3 bundle, whole, for C:\Program Files\Common Files\VST3.
  install(TARGETS Tarvel_vst3 LIBRARY DESTINATION Tarvel.vst3/Contents/x86_64-win COMPONENT dist EXCLUDE_FROM_ALL)
  install(FILES ${TARVEL_VST3_BUNDLE}/Contents/Resources/moduleinfo.json
          DESTINATION Tarvel.vst3/Contents/Resources COMPONENT dist EXCLUDE_FROM_ALL)
  # The CLAP module, one file, for C:\Program Files\Common Files\CLAP.
  install(TARGETS Tarvel_clap LIBRARY DESTINATION . COMPONENT dist EXCLUDE_FROM_ALL)
  configure_file(packaging/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt COPYONLY)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .
          COMPONENT dist EXCLUDE_FROM_ALL)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Tarvel-${PROJECT_VERSION}-win64)
  # The installer (packaging/windows/tarvel.nsi), which scripts/package.sh
  # builds from the zip's files: its metadata and file names, one makensis
  # define a line. A new plug-in format adds its line here, its install()
  # above and its component in the script.
  get_filename_component(vst3Bundle ${TARVEL_VST3_BUNDLE} NAME)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/installer-defines CONTENT
"PRODUCT=${PROJECT_NAME}
VERSION=${PROJECT_VERSION}
PUBLISHER=${CPACK_PACKAGE_VENDOR}
VST2_FILE=$<TARGET_FILE_NAME:Tarvel>
VST3_BUNDLE=${vst3Bundle}
RENDER_FILE=$<TARGET_FILE_NAME:tarvel-render>
CLAP_FILE=$<TARGET_FILE_NAME:Tarvel_clap>
SETUP_FILE=${CPACK_PACKAGE_FILE_NAME}-setup.exe
")
  include(CPack)
  return()
endif()

# Linux: /usr/lib/vst is where Debian's plug-in packages put theirs and where
# Linux hosts look by default; tarvel-render in /usr/bin finds it as
# ../lib/vst (tools/render/CMakeLists.txt).
set(doc share/doc/tarvel)
install(TARGETS Tarvel LIBRARY DESTINATION lib/vst COMPONENT dist EXCLUDE_FROM_ALL
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(TARGETS tarvel-render RUNTIME DESTINATION bin COMPONENT dist EXCLUDE_FROM_ALL)
# The VST3 bundle in /usr/lib/vst3, one of the folders VST3 hosts on Linux search.
install(TARGETS Tarvel_vst3 LIBRARY DESTINATION lib/vst3/Tarvel.vst3/Contents/x86_64-linux COMPONENT dist
        EXCLUDE_FROM_ALL PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${TARVEL_VST3_BUNDLE}/Contents/Resources/moduleinfo.json
        DESTINATION lib/vst3/Tarvel.vst3/Contents/Resources COMPONENT dist EXCLUDE_FROM_ALL)
# The LV2 bundle in /usr/lib/lv2, where Debian's LV2 packages put theirs and
# LV2 hosts look by default.
install(TARGETS tarvel_lv2_module LIBRARY DESTINATION lib/lv2/tarvel.lv2 COMPONENT dist EXCLUDE_FROM_ALL
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${TARVEL_LV2_BUNDLE}/manifest.ttl ${TARVEL_LV2_BUNDLE}/tarvel.ttl DESTINATION lib/lv2/tarvel.lv2
        COMPONENT dist EXCLUDE_FROM_ALL)
# The CLAP module in /usr/lib/clap, where CLAP hosts on Linux look by default.
install(TARGETS Tarvel_clap LIBRARY DESTINATION lib/clap COMPONENT dist EXCLUDE_FROM_ALL
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The manual page from tarvel-render's own --help and --version; Debian wants
# it and the changelog compressed with gzip -9n.
find_program(TARVEL_HELP2MAN help2man REQUIRED)
find_program(TARVEL_GZIP gzip REQUIRED)
add_custom_command(OUTPUT tarvel-render.1.gz changelog.gz
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TARVEL_SOURCE_DATE_EPOCH} ${TARVEL_HELP2MAN} --no-info --section 1 --output tarvel-render.1
          --name "render audio files through the Tarvel equaliser" $<TARGET_FILE:tarvel-render>
  COMMAND ${TARVEL_GZIP} -9nf tarvel-render.1
  COMMAND ${TARVEL_GZIP} -9n <${PROJECT_SOURCE_DIR}/packaging/changelog >changelog.gz
  DEPENDS tarvel-render ${PROJECT_SOURCE_DIR}/packaging/changelog
  COMMENT "Manual page of tarvel-render")
add_custom_target(tarvel_package_docs ALL DEPENDS tarvel-render.1.gz changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/tarvel-render.1.gz DESTINATION share/man/man1 COMPONENT dist EXCLUDE_FROM_ALL)
install(FILES README.md packaging/copyright ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${doc}
        COMPONENT dist EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: from the libraries the binaries link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The summary above is its first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarvel is a five-band, linear-phase graphic equaliser for one stereo pair,
as a VST 2.4 effect plug-in in /usr/lib/vst, a VST3 one in /usr/lib/vst3, an
LV2 plug-in with its editor in /usr/lib/lv2 and a CLAP one in /usr/lib/clap,
where Linux hosts such as Ardour and Qtractor look by default. Its bands sit
at 80 Hz, 250 Hz, 800 Hz, 2.5 kHz and 8 kHz, each from -60 dB to +30 dB.

tarvel-render renders WAV, FLAC and AIFF files through the plug-in without a
host, and measures or plots the response of a setting.")
include(CPack)
