# Read by cpack once per generator. The archive is the relocatable program folder: the
# install tree at its root, marked so the self-installer and the updater recognise it.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_PACKAGING_INSTALL_PREFIX "")
  set(CPACK_CUSTOM_INSTALL_VARIABLES "OSTREVANE_RELOCATABLE=ON")
endif()
