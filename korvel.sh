#!/bin/sh
# From a bare Debian 12 to a working Korvel: installs what the build needs,
# make included (only the packages that are missing), then runs make with
# the arguments given:
#
#   ./korvel.sh run       build everything and start Korvel
#   ./korvel.sh test      build everything and run every test
#   ./korvel.sh package   build korvel_<version>_amd64.deb
#
# Plain sh and bash only, as a minimal Debian has nothing more; as root it
# needs no sudo, as a user it asks sudo for the installation.
set -eu
cd "$(dirname "$0")"
bash scripts/bootstrap.sh
exec make "$@"
