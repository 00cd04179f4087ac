# The Debian packages, one per install component, built by CPack from the
# install rules (scripts/package):
#   kestrane-monitor_<version>_<arch>.deb  the window (component monitor)
#   kestrane-cli_<version>_<arch>.deb      kestrane-cli and kestrane-sim (cli)
#   kestrane-bridge_<version>_<arch>.deb   the bridge and its web page (bridge)
# A build without the window (KESTRANE_BUILD_UI=OFF) makes only the last two.
# Depends come from the programs' shared libraries (dpkg-shlibdeps), so only
# kestrane-monitor depends on Qt. Included from packaging/CMakeLists.txt, which
# sets KESTRANE_MAINTAINER, KESTRANE_COMPONENTS and KESTRANE_HAS_BRIDGE_UNIT.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${KESTRANE_COMPONENTS})
set(CPACK_PACKAGE_NAME kestrane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrane Monitor developers")
set(CPACK_PACKAGE_CONTACT ${KESTRANE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE kestrane)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KESTRANE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Up to 1.3 everything was one package, kestrane. Each new package breaks it,
# so apt removes it, and replaces it, so dpkg lets each take over its share
# of kestrane's files when kestrane is still there (tests/install/upgrade_check.sh).
set(CPACK_DEBIAN_PACKAGE_REPLACES "kestrane (<< 1.4)")
set(CPACK_DEBIAN_PACKAGE_BREAKS "kestrane (<< 1.4)")

# Descriptions: a summary line, then lines of at most 80 characters, as Debian
# asks. The package's summary is the first line (CPACK_PACKAGE_DESCRIPTION_SUMMARY
# stays unset, so CPack does not put one summary above all three). No line may
# hold a semicolon: CMake would cut the list there.
set(about_controller
    "Kestrane Monitor reads and configures MPPT solar charge controllers attached"
    "through a serial line (USB-serial adapter, RS-485, RS-232). The controller"
    "is a Modbus RTU slave.")
string(JOIN "\n" CPACK_DEBIAN_MONITOR_DESCRIPTION
    "window to monitor and configure an MPPT solar charge controller"
    ${about_controller}
    ""
    "This package holds the window, kestrane-monitor (English and Simplified"
    "Chinese): the controller's live state, its battery and load-control"
    "settings, its bus address and clock, a daily CSV log of the readings and"
    "charts of that log. Install it on a machine with a screen.")
string(JOIN "\n" CPACK_DEBIAN_CLI_DESCRIPTION
    "command-line tool and simulator for MPPT solar charge controllers"
    ${about_controller}
    ""
    "This package holds kestrane-cli, which reads a controller from a terminal"
    "(one cycle as JSON, live values, a link doctor that finds the address and"
    "rate, settings profiles, the daily logs' history), and kestrane-sim, a"
    "simulated controller on a pseudo-terminal for trying the programs without"
    "hardware. Neither needs a display.")
string(JOIN "\n" CPACK_DEBIAN_BRIDGE_DESCRIPTION
    "bridge from MPPT solar charge controllers to MQTT and a web page"
    ${about_controller}
    ""
    "This package holds kestrane-bridge, a service for an always-on machine"
    "without a screen: it polls many controllers on several serial buses, keeps"
    "their daily history, publishes them to an MQTT broker with Home Assistant"
    "discovery, and serves a web page (built into the program) with live values,"
    "charts, settings for an administrator and Prometheus metrics. With it come"
    "its systemd unit and an example configuration.")

# Component X makes the package kestrane-X, whose documentation folder the
# install rules name the same way.
foreach(component IN LISTS KESTRANE_COMPONENTS)
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME kestrane-${component})
endforeach()
# The Chinese texts need a CJK face; the service dialogs are laid out for a
# face with Times metrics.
set(CPACK_DEBIAN_MONITOR_PACKAGE_RECOMMENDS "fonts-noto-cjk, fonts-urw-base35")
# The bridge's web page draws its charts with Debian's Chart.js, read from
# /usr/share/javascript/chart.js when the bridge starts.
set(CPACK_DEBIAN_BRIDGE_PACKAGE_DEPENDS "libjs-chart.js")
# Maintainer scripts exist only for the bridge's systemd unit.
if(KESTRANE_HAS_BRIDGE_UNIT)
    set(CPACK_DEBIAN_BRIDGE_PACKAGE_CONTROL_EXTRA
        ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
        ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
        ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
endif()

include(CPack)
