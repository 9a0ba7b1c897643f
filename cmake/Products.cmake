# The three products a packager installs: the applet, the recorder engine and
# qvpack. On Linux the applet and the engine share a folder of their own,
# because the applet loads the engine from its own folder; on Windows all
# three sit side by side.
include(GNUInstallDirs)

if(WIN32)
  set(QV_APPLET_INSTALL_DIR ${CMAKE_INSTALL_BINDIR})
else()
  set(QV_APPLET_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/qvapplet)
endif()

# qv_product(target DESTINATION): installed there, and linked without symbols
# in Release builds. Stripping at the link keeps the applet's payload offset
# right: it is stamped after the link, so a later strip would cut the stamped
# size short.
function(qv_product target destination)
  target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-s>)
  install(TARGETS ${target}
    RUNTIME DESTINATION ${destination}
    LIBRARY DESTINATION ${destination}
    # A DLL's import library is of no use to anyone but this build.
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} EXCLUDE_FROM_ALL)
endfunction()
