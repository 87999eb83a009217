# Reads platforms.conf, the table of Linux platforms, for the shell scripts
# (sourced, not run).
platforms_table=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/platforms.conf

# platform_rows: one line a platform, its columns separated by tabs (read
# them with IFS=$'\t' read -r name triple debian uname qemu cpus file packages refuses systems serves).
platform_rows() {
  awk -F' *[|] *' -v OFS='\t' '/^[a-z0-9]/ { sub(/ +$/, ""); $1 = $1; print }' "$platforms_table"
}

# platform_row NAME: that platform's line, or a failure naming the table.
platform_row() {
  platform_rows | awk -F'\t' -v name="$1" '$1 == name { print; found = 1 } END { exit !found }' ||
    { echo "no platform '$1' in $platforms_table" >&2; return 1; }
}
