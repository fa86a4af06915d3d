# The unit tests read "Numen.json" back with nlohmann/json (header-only,
# Debian package nlohmann-json3-dev); the engine writes it without any library.
if(NUMEN_BUILD_TESTS AND TARGET numen-unittests)
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(numen-unittests PRIVATE nlohmann_json::nlohmann_json)
endif()
