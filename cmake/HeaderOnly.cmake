# CLI11 and nlohmann/json are header-only. A native build finds them as packages; a
# cross build takes their headers alone from the build machine (its other headers are
# for another system) into a folder of its own.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 REQUIRED)
  find_package(nlohmann_json REQUIRED)
  return()
endif()
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(COPY /usr/include/CLI /usr/include/nlohmann DESTINATION ${host_headers})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 INTERFACE ${host_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${host_headers})
