# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Writes the demo drive's cells that have a "site" (cells of a network that
# broadcasts no positions) as an OpenCellID CSV file, for `funkor-tool
# celldb import`. The positions are the simulator's, not real ones.
#
#   cmake -DSCENARIO=berlin.json -DOUTPUT=cells.csv -P demo_cells.cmake
file(READ "${SCENARIO}" json)
set(csv "radio,mcc,net,area,cell,unit,lon,lat,range,samples,changeable,created,updated,averageSignal\n")
string(JSON count LENGTH "${json}" cells)
set(rows 0)
if(count GREATER 0)
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON site ERROR_VARIABLE no_site GET "${json}" cells ${i} site)
    if(no_site)
      continue()
    endif()
    string(JSON lac GET "${json}" cells ${i} lac)
    string(JSON ci GET "${json}" cells ${i} ci)
    string(JSON operator GET "${json}" cells ${i} operator)
    string(JSON lat GET "${site}" lat)
    string(JSON lon GET "${site}" lon)
    string(JSON range GET "${site}" range)
    # JSON numbers come back with the noise of binary doubles
    # (52.600000000000001); the scenario gives at most 6 decimals.
    foreach(v lat lon)
      string(REGEX MATCH "^-?[0-9]+(\\.[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?)?" ${v} "${${v}}")
    endforeach()
    string(SUBSTRING "${operator}" 0 3 mcc)
    string(SUBSTRING "${operator}" 3 -1 net)
    math(EXPR net "${net}")
    math(EXPR area "0x${lac}")
    math(EXPR cell "0x${ci}")
    # A fixed time stamp keeps the file the same from build to build.
    string(APPEND csv "GSM,${mcc},${net},${area},${cell},0,${lon},${lat},${range},1,1,1764547200,1764547200,0\n")
    math(EXPR rows "${rows} + 1")
  endforeach()
endif()
if(rows EQUAL 0)
  message(FATAL_ERROR "${SCENARIO}: no cell has a site")
endif()
file(WRITE "${OUTPUT}" "${csv}")
