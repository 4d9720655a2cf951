# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Precompiled headers: Qt's and GoogleTest's headers are most of what each of
# our sources compiles, so each target that uses them compiles them once
# (target_precompile_headers) instead of once per source. (The core, which
# uses neither, gains too little from it.) The lists name the
# headers that most sources include anyway; a source still includes what it
# uses, so it compiles without them too (FUNKOR_PCH=OFF checks that).
option(FUNKOR_PCH "Precompile the Qt and GoogleTest headers per target" ON)

set(FUNKOR_PCH_STD <algorithm> <array> <cstdint> <functional> <map> <memory> <optional>
    <string> <string_view> <vector>)
set(FUNKOR_PCH_QT <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QElapsedTimer> <QFile>
    <QHash> <QList> <QObject> <QPointer> <QString> <QStringList> <QTimer>)
set(FUNKOR_PCH_QT_NETWORK <QHostAddress> <QTcpServer> <QTcpSocket>)
set(FUNKOR_PCH_QT_WIDGETS <QCheckBox> <QComboBox> <QLabel> <QListWidget> <QMainWindow>
    <QPushButton> <QRadioButton> <QScrollBar> <QWidget>)
set(FUNKOR_PCH_GTEST <gtest/gtest.h>)

# funkor_use_pch(TARGET [STD] [QT] [WIDGETS] [GTEST]): the chosen lists.
function(funkor_use_pch target)
  if(NOT FUNKOR_PCH)
    return()
  endif()
  set(headers)
  foreach(part ${ARGN})
    if(part STREQUAL "STD")
      list(APPEND headers ${FUNKOR_PCH_STD})
    elseif(part STREQUAL "QT")
      list(APPEND headers ${FUNKOR_PCH_QT})
    elseif(part STREQUAL "WIDGETS")
      list(APPEND headers ${FUNKOR_PCH_QT_NETWORK} ${FUNKOR_PCH_QT_WIDGETS})
    elseif(part STREQUAL "GTEST")
      list(APPEND headers ${FUNKOR_PCH_GTEST})
    endif()
  endforeach()
  target_precompile_headers(${target} PRIVATE ${headers})
  # GCC 12 takes std::string's inlined copies for out-of-bounds writes when
  # the standard headers come through a precompiled header (a concatenation
  # such as std::string(DIR) + "/file" is enough); the test programs, which
  # build many such paths, leave out these warnings (and the over-read one of the same copies). The program's own
  # libraries keep them.
  if("GTEST" IN_LIST ARGN AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread)
  endif()
endfunction()

# ccache reuses an object built against a precompiled header only when it is
# told that the header's defines and time macros may be relied on; without
# that it compiles every such source again.
if(FUNKOR_PCH)
  foreach(lang C CXX)
    if(CMAKE_${lang}_COMPILER_LAUNCHER MATCHES "ccache" AND
       NOT CMAKE_${lang}_COMPILER_LAUNCHER MATCHES "CCACHE_SLOPPINESS")
      set(CMAKE_${lang}_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env
          CCACHE_SLOPPINESS=pch_defines,time_macros ${CMAKE_${lang}_COMPILER_LAUNCHER})
    endif()
  endforeach()
endif()
