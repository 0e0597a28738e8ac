# Windows build: the program, its component tests under Wine and the end-to-end tests.

# libjpeg-turbo, cross-built once per build tree from Debian's source package.
set(EVESK_JPEG_DIR ${CMAKE_BINARY_DIR}/libjpeg)
if(NOT EXISTS ${EVESK_JPEG_DIR}/lib/libjpeg.a)
  message(STATUS "Cross-building libjpeg-turbo into ${EVESK_JPEG_DIR}")
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/build-libjpeg.sh ${EVESK_JPEG_DIR}
                  RESULT_VARIABLE jpeg_rc)
  if(NOT jpeg_rc EQUAL 0)
    message(FATAL_ERROR "libjpeg-turbo cross build failed")
  endif()
endif()
add_library(evesk_jpeg STATIC IMPORTED)
set_target_properties(evesk_jpeg PROPERTIES IMPORTED_LOCATION ${EVESK_JPEG_DIR}/lib/libjpeg.a
                      INTERFACE_INCLUDE_DIRECTORIES ${EVESK_JPEG_DIR}/include)
target_link_libraries(evesk_core PUBLIC evesk_jpeg)

# Readers of descriptions, options, archives and tables run once per start or skin; built for
# size like the Windows layer. The pixel and decoding work keeps the full optimisation.
foreach(src app/CategoryMask.cpp app/NewsReply.cpp app/RetrySchedule.cpp app/ServiceAddress.cpp app/Stamp.cpp
            framework/Classes.cpp framework/DateUtils.cpp framework/Exception.cpp framework/FormReader.cpp
            framework/IcoFile.cpp framework/Stream.cpp framework/SysUtils.cpp imaging/acImageSize.cpp
            net/HTTPText.cpp skin/acSkinPack.cpp skin/acSkinPackWriter.cpp skin/sCommonKinds.cpp skin/sSkinLoader.cpp skin/sSkinOptions.cpp
            skin/sSkinSources.cpp skin/sSkinTables.cpp skin/sStoredSkins.cpp)
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/${src} APPEND PROPERTY COMPILE_OPTIONS $<$<CONFIG:Release>:-Os>)
endforeach()

get_property(winsrc GLOBAL PROPERTY EVESK_WINDOWS_SOURCES)
add_library(evesk_win STATIC ${winsrc})
target_include_directories(evesk_win PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(evesk_win PRIVATE ${EVESK_WARNINGS})
# The Windows layer handles messages and calls the system: its speed is the system's, so it is
# built for size. The pixel work lives in the portable library, which keeps the full optimisation.
target_compile_options(evesk_win PRIVATE $<$<CONFIG:Release>:-Os>)
target_compile_definitions(evesk_win PUBLIC EVESK_SERVICE_HOST="${EVESK_SERVICE_HOST}")
target_link_libraries(evesk_win PUBLIC evesk_core evesk_jpeg wininet gdi32 user32 shell32
                      advapi32 msimg32 ole32 uuid)
get_property(startupsrc GLOBAL PROPERTY EVESK_STARTUP_SOURCES)
add_library(evesk_startup OBJECT ${startupsrc})
target_include_directories(evesk_startup PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(evesk_startup PRIVATE ${EVESK_WARNINGS} $<$<CONFIG:Release>:-Os>)
# Whatever links the Windows library gets these objects on its own link line, ahead of the library.
target_link_libraries(evesk_win INTERFACE $<TARGET_OBJECTS:evesk_startup>)
add_dependencies(evesk_win evesk_startup)

# Tests run under Wine through this runner; it owns the prefix of this build tree.
set(EVESK_WINE_RUN ${CMAKE_SOURCE_DIR}/tools/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${EVESK_WINE_RUN})

# The main window's description, packed (assets inlined, code page 1250) and compiled in as
# RCDATA; the program and the tests of the main window link the same resource.
set(EVESK_FORM_BIN ${CMAKE_BINARY_DIR}/Unit1.form.bin)
file(GLOB evesk_assets CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/*.png ${CMAKE_SOURCE_DIR}/assets/*.ico)

# The skin "Topaz" is packed from its folder by our own packer, built natively in a tree of its
# own (the packer must run on the build machine).
set(EVESK_NATIVE_DIR ${CMAKE_BINARY_DIR}/native)
set(EVESK_SKINPACK ${EVESK_NATIVE_DIR}/tools/host/skinpack)
file(GLOB evesk_packer_sources ${CMAKE_SOURCE_DIR}/skin/*.cpp ${CMAKE_SOURCE_DIR}/tools/host/skinpack.cpp)
add_custom_command(OUTPUT ${EVESK_SKINPACK}
  COMMAND env -u CC -u CXX ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${EVESK_NATIVE_DIR} -G Ninja
          -DCMAKE_BUILD_TYPE=Release -DEVESK_SANITIZE=OFF -DCMAKE_C_COMPILER=cc -DCMAKE_CXX_COMPILER=c++ >/dev/null
  COMMAND ${CMAKE_COMMAND} --build ${EVESK_NATIVE_DIR} --target skinpack
  DEPENDS ${evesk_packer_sources})
set(EVESK_GENERATED_ASSETS ${CMAKE_BINARY_DIR}/generated)
file(GLOB evesk_topaz CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/Topaz/*)
add_custom_command(OUTPUT ${EVESK_GENERATED_ASSETS}/assets/Topaz.asz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${EVESK_GENERATED_ASSETS}/assets
  COMMAND ${EVESK_SKINPACK} pack ${CMAKE_SOURCE_DIR}/assets/Topaz ${EVESK_GENERATED_ASSETS}/assets/Topaz.asz
  DEPENDS ${EVESK_SKINPACK} ${evesk_topaz})

add_custom_command(OUTPUT ${EVESK_FORM_BIN}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/formpack.py ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/app/Unit1.form ${EVESK_FORM_BIN}
          ${EVESK_GENERATED_ASSETS}
  DEPENDS ${CMAKE_SOURCE_DIR}/app/Unit1.form ${CMAKE_SOURCE_DIR}/tools/formpack.py ${evesk_assets}
          ${EVESK_GENERATED_ASSETS}/assets/Topaz.asz)
set(EVESK_FORM_RC ${CMAKE_BINARY_DIR}/evesk-form.rc)
# The main window's description and the program's icon (its windows' classes load "MAINICON").
# Written only when its text changes: a new time stamp on every configure would rebuild the
# resource and relink every program that carries it.
file(CONFIGURE OUTPUT ${EVESK_FORM_RC}
     CONTENT "TMAINFORM RCDATA \"${EVESK_FORM_BIN}\"\nMAINICON ICON \"${CMAKE_SOURCE_DIR}/assets/evesk.ico\"\n")
set(EVESK_FORM_RC_DEPENDS ${EVESK_FORM_BIN} ${CMAKE_SOURCE_DIR}/assets/evesk.ico)
set_source_files_properties(${EVESK_FORM_RC} PROPERTIES OBJECT_DEPENDS "${EVESK_FORM_RC_DEPENDS}")
add_custom_target(evesk_form DEPENDS ${EVESK_FORM_BIN})

add_subdirectory(app/exe)

set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_subdirectory(tests/win)
add_subdirectory(tests/e2e)
add_subdirectory(tests/bench/win)

# The run and test commands configure before every build: that alone must leave nothing to build.
add_test(NAME build.nothing_to_redo
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/check-no-rebuild.py ${CMAKE_BINARY_DIR})
