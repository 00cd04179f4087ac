# The Debian package kestrane_<version>_amd64.deb, built by CPack from the
# install rules (scripts/package). Depends come from the programs' shared
# libraries (dpkg-shlibdeps). Included from packaging/CMakeLists.txt, which
# sets KESTRANE_MAINTAINER and KESTRANE_HAS_BRIDGE_UNIT.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrane Monitor developers")
set(CPACK_PACKAGE_CONTACT ${KESTRANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor and configure MPPT solar charge controllers")
# Lines of at most 80 characters, as Debian asks of a description.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Kestrane Monitor shows the live state of an MPPT solar charge controller"
    "attached through a serial line (USB-serial adapter, RS-485, RS-232) and"
    "edits its battery and load-control settings. The controller is a Modbus"
    "RTU slave. While monitoring runs, the readings go to a daily CSV log."
    ""
    "The package holds the window (kestrane-monitor, in English and Simplified"
    "Chinese), a command-line tool that reads the controller from a terminal"
    "(kestrane-cli), a controller simulator for trying both without hardware"
    "(kestrane-sim), and a service for always-on machines (kestrane-bridge) that"
    "polls many controllers, keeps their history, publishes them over MQTT and"
    "serves a web dashboard with live values, charts and Prometheus metrics.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KESTRANE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kestrane.github.io/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The bridge's web page draws its charts with Debian's Chart.js, read from
# /usr/share/javascript/chart.js when the bridge starts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-chart.js")
# The Chinese texts need a CJK face; the service dialogs are laid out for a
# face with Times metrics.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, fonts-urw-base35")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Maintainer scripts exist only for the bridge's systemd unit.
if(KESTRANE_HAS_BRIDGE_UNIT)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
        ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
        ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
        ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
endif()

include(CPack)
