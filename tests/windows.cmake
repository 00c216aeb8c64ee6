# The core's tests that need no pseudo-terminal, simulator or Qt, built for Windows and run
# under Wine. Each Wine start costs about half a second, so the suites are grouped into a few
# programs, one CTest test each.

# GoogleTest from Debian's source, built with the cross compiler.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Wine keeps its Windows folder inside the build; without the .NET and HTML runtimes a new
# folder is made in a few seconds instead of asking to download them.
set(KESTIVA_WINE_ENVIRONMENT
    "WINEPREFIX=${CMAKE_BINARY_DIR}/wine"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=mscoree,mshtml=")

# kestiva_windows_test(name SOURCES ... LIBS ...): one GoogleTest program run under Wine.
function(kestiva_windows_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main ${T_LIBS})
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    kestiva_executable(${name})
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${KESTIVA_BIN_DIR})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${KESTIVA_WINE_ENVIRONMENT}"
                                            LABELS windows)
endfunction()

kestiva_windows_test(windows_settings_test
    SOURCES settings/ProfileFileTest.cpp settings/LanguageCatalogueTest.cpp
            settings/NumberTextTest.cpp settings/NumberEditTextTest.cpp
            settings/CommunicationSettingsTest.cpp
            settings/SamplingConfigTest.cpp settings/SettingsFuzzTest.cpp
            settings/ProgramFolderTest.cpp settings/FileCallsTest.cpp
    LIBS kestiva_settings)

# Sample tables, number texts, frames and the decoding of a capture: plain functions. The frame
# tests share a file with the port rules, whose code needs the serial device to link.
set(recording_link_sources recording/SampleTablesTest.cpp recording/TextToLongTest.cpp
    link/CaptureDecodingTest.cpp)
if(EXISTS ${CMAKE_SOURCE_DIR}/link/SerialDevice_win32.cpp)
    list(APPEND recording_link_sources link/ModbusFramesTest.cpp)
endif()
kestiva_windows_test(windows_recording_link_test
    SOURCES ${recording_link_sources}
    LIBS kestiva_link)

kestiva_windows_test(windows_files_test
    SOURCES files/CsvWriterTest.cpp files/CsvReaderTest.cpp files/CsvFuzzTest.cpp
            files/ReceiveDumpTest.cpp files/JournalTest.cpp
    LIBS kestiva_files)

# The journal's writer thread, on files alone.
kestiva_windows_test(windows_session_test
    SOURCES session/JournalWriterTest.cpp session/WindowMarshalTest.cpp
    LIBS kestiva_session)

# The window without a toolkit: geometry, layout, the rasteriser's rules and the models.
kestiva_windows_test(windows_window_test
    SOURCES window/GraphGeometryTest.cpp window/MonitorLayoutTest.cpp window/LineRasterTest.cpp
            window/MainWindowModelTest.cpp window/ComSettingModelTest.cpp
            window/StartUpModelTest.cpp window/PageGraphsTest.cpp
            window/TraceColumnsTest.cpp window/LiveDataGraphTest.cpp window/MonitorPageModelTest.cpp
            window/SerialPortRowsTest.cpp
    LIBS kestiva_window)

# The window for Windows: its way to the window thread, its text conversions, the fitting of
# dialog texts and its image files.
if(TARGET kestiva_win32)
    kestiva_windows_test(windows_win32_test
        SOURCES win32/WindowThreadTest.cpp win32/PagePaneTest.cpp win32/TextFitTest.cpp
                win32/ImageFileTest.cpp
        LIBS kestiva_win32)
endif()

# The driver of the window tests under Wine (tests/win32/window_under_wine.sh): a user of
# kestiva.exe from outside it.
if(TARGET kestiva)
    add_executable(window-driver win32/driver/WindowDriver.cpp
        win32/driver/ControlReading.cpp win32/driver/ControlReading.h)
    target_compile_definitions(window-driver PRIVATE UNICODE _UNICODE)
    target_link_libraries(window-driver PRIVATE user32)
endif()
