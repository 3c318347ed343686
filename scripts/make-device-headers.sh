#!/bin/sh
# Generates STUDIO/include/<device>.h from every memory map in
# STUDIO/targets with slipway's own "mkhdr", through a small solution of
# combining projects, one per device.
#   scripts/make-device-headers.sh STUDIO_DIR
set -e
STUDIO=$(cd "$1" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$STUDIO/include" "$WORK/config"
rm -f "$STUDIO"/include/msp430*.h
{
  echo '<!DOCTYPE Halyard_Project_File>'
  echo '<solution Name="device_headers" version="1">'
  echo '  <configuration Name="Release"/>'
  for map in "$STUDIO"/targets/MSP430*.xml; do
    dev=$(basename "$map" .xml)
    lower=$(echo "$dev" | tr 'A-Z' 'a-z')
    echo "  <project Name=\"$lower\">"
    echo "    <configuration Name=\"Common\" project_type=\"Combining\" project_directory=\".\"" \
         "combine_output_filepath=\"\$(StudioDir)/include/$lower.h\"" \
         "combine_command=\"mkhdr -regbaseoffs &quot;\$(CombiningRelInputPaths)&quot; &quot;\$(CombiningOutputFilePath)&quot; &quot;$dev&quot;\"/>"
    echo "    <file file_name=\"\$(StudioDir)/targets/$dev.xml\"/>"
    echo "  </project>"
  done
  echo '</solution>'
} > "$WORK/headers.hzp"
cd "$WORK"
XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" HOME="$WORK" "$STUDIO/bin/slipway" -config Release headers.hzp > "$WORK/log" 2>&1 || true
for map in "$STUDIO"/targets/MSP430*.xml; do
  lower=$(basename "$map" .xml | tr 'A-Z' 'a-z')
  if [ ! -s "$STUDIO/include/$lower.h" ]; then
    cat "$WORK/log" >&2
    echo "make-device-headers: $lower.h was not generated" >&2
    exit 1
  fi
done
