# Under clang, the Qt and standard headers that nearly every source reads are parsed once into a
# precompiled header, which a group of targets with the same flags reuses. The program's sources
# share two: one for the libraries that stay off Qt GUI and Qt Widgets (the guard in
# core/nowidgets.h holds, since this header defines no GUI or Widgets macro), one for those that
# draw. The tests have their own (tests/CMakeLists.txt). gcc builds without them.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  return()
endif()

add_library(tovel_pch_core OBJECT ${CMAKE_CURRENT_LIST_DIR}/pch.cpp)
target_link_libraries(tovel_pch_core PRIVATE Qt6::Core Qt6::Network Qt6::SerialPort)
target_precompile_headers(tovel_pch_core PRIVATE <QtCore> <QtNetwork> <QSerialPort> ${TOVEL_PCH_STANDARD})

add_library(tovel_pch_widgets OBJECT ${CMAKE_CURRENT_LIST_DIR}/pch.cpp)
target_link_libraries(tovel_pch_widgets PRIVATE Qt6::Widgets Qt6::Network Qt6::SerialPort)
target_precompile_headers(tovel_pch_widgets PRIVATE <QtWidgets> <QtNetwork> <QSerialPort> ${TOVEL_PCH_STANDARD})


foreach(target tovel_core tovel_console tovel_usb tovel_usb_drivers tovel_protocol tovel_link tovel_catalogue
               tovel_params tovel_config tovel_update tovel_look tovel_ir tovel_firmware
               tovel_session tovel_actions tovel_cli tovel tovel_pedal tovel-pedal-sim)
  target_precompile_headers(${target} REUSE_FROM tovel_pch_core)
endforeach()
foreach(target tovel_console_ui tovel_look_ui tovel_ir_ui tovel_app tovel-editor)
  target_precompile_headers(${target} REUSE_FROM tovel_pch_widgets)
endforeach()
