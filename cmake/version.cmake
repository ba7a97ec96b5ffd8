# The one version of every artefact is project()'s, in the top CMakeLists.txt:
# the programs' --version, the savers' version resources, the installer, the
# zip and the Debian package take it from here.
# Windows file versions have four parts.
string(REPLACE "." ";" version_parts "${PROJECT_VERSION}.0.0.0")
list(SUBLIST version_parts 0 4 version_parts)
string(JOIN "." VELMORA_VERSION_QUAD ${version_parts})
string(JOIN "," VELMORA_VERSION_COMMAS ${version_parts})
set(VELMORA_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/src/velmora_version.h.in ${VELMORA_GENERATED_DIR}/velmora_version.h @ONLY)
# The saver's manifest names its assembly's version; the resource compiler
# finds it here through the saver's include directories.
configure_file(${PROJECT_SOURCE_DIR}/resources/velmora.manifest.in ${VELMORA_GENERATED_DIR}/velmora.manifest @ONLY)
